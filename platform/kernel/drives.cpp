// The drive table: which host folder each drive letter stands for, and what kind of drive
// it is. C: is the host's root; volumes mounted under /media, /run/media and /mnt follow.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win {

namespace {

struct DriveState {
  std::mutex mutex;
  std::vector<DriveMapping> replaced;  // SetDriveTable; empty = default
  std::string parsedList;              // SUOTU_DRIVES value that `fromList` was built from
  std::vector<DriveMapping> fromList;
  int mountsFd = -1;  // /proc/self/mounts, polled for changes
  bool mountsRead = false;
  std::map<std::string, char> mountLetters;  // host root -> letter, kept while mounted
  std::vector<DriveMapping> fromMounts;
};

DriveState& State() {
  static DriveState* state = new DriveState;  // never destroyed: used until exit
  return *state;
}

std::string TrimSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::optional<UINT> TypeFromName(const std::string& name) {
  static const std::pair<const char*, UINT> kTypes[] = {
      {"fixed", DRIVE_FIXED},   {"removable", DRIVE_REMOVABLE}, {"cdrom", DRIVE_CDROM},
      {"remote", DRIVE_REMOTE}, {"ramdisk", DRIVE_RAMDISK},
  };
  for (const auto& [text, type] : kTypes) {
    if (name == text) return type;
  }
  return std::nullopt;
}

// /proc/self/mounts writes blanks and a few other bytes as octal escapes ("\040").
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && std::isdigit(field[i + 1]) &&
        std::isdigit(field[i + 2]) && std::isdigit(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool ReadSysFlag(const std::string& path) {
  std::ifstream in(path);
  int value = 0;
  return (in >> value) && value != 0;
}

// Removable when the block device says so or sits on a USB or card reader bus; a volume
// with no block device behind it is judged by where it is mounted.
UINT BlockDeviceType(const std::string& device, const std::string& mountPoint) {
  const bool underMedia =
      mountPoint.starts_with("/media/") || mountPoint.starts_with("/run/media/");
  if (!device.starts_with("/dev/")) return underMedia ? DRIVE_REMOVABLE : DRIVE_FIXED;
  char* real = realpath(device.c_str(), nullptr);
  if (real == nullptr) return underMedia ? DRIVE_REMOVABLE : DRIVE_FIXED;
  const std::string name = detail::HostBaseName(real);
  free(real);
  if (name.starts_with("sr")) return DRIVE_CDROM;
  const std::string sysBlock = "/sys/class/block/" + name;
  char* sysReal = realpath(sysBlock.c_str(), nullptr);
  if (sysReal == nullptr) return underMedia ? DRIVE_REMOVABLE : DRIVE_FIXED;
  const std::string sysPath = sysReal;
  free(sysReal);
  if (sysPath.find("/usb") != std::string::npos || sysPath.find("/mmc") != std::string::npos) {
    return DRIVE_REMOVABLE;
  }
  // A partition's own folder has no "removable"; its disk's folder (the parent) has.
  if (ReadSysFlag(sysPath + "/removable") || ReadSysFlag(sysPath + "/../removable")) {
    return DRIVE_REMOVABLE;
  }
  return underMedia ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

UINT MountType(const std::string& device, const std::string& mountPoint,
               const std::string& fsType) {
  if (fsType == "iso9660" || fsType == "udf") return DRIVE_CDROM;
  if (fsType == "nfs" || fsType == "nfs4" || fsType == "cifs" || fsType == "smb3" ||
      fsType == "smbfs" || fsType == "fuse.sshfs" || fsType == "9p") {
    return DRIVE_REMOTE;
  }
  if (fsType == "tmpfs" || fsType == "ramfs") return DRIVE_RAMDISK;
  return BlockDeviceType(device, mountPoint);
}

bool IsVolumeMountPoint(const std::string& path) {
  for (const char* base : {"/media/", "/run/media/", "/mnt/"}) {
    if (path.starts_with(base) && path.size() > std::string(base).size()) return true;
  }
  return path == "/mnt";
}

// Rebuilds the mount-based table when the kernel reports a change of the mount list.
// Letters stay with their volume while it is mounted; a new volume gets the first free one.
void RefreshMounts(DriveState& s) {
  if (s.mountsFd < 0) s.mountsFd = open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
  if (s.mountsRead && s.mountsFd >= 0) {
    pollfd p{s.mountsFd, POLLPRI, 0};
    if (poll(&p, 1, 0) <= 0 || (p.revents & (POLLPRI | POLLERR)) == 0) return;
  }
  s.mountsRead = true;
  std::string text;
  if (s.mountsFd >= 0) {
    lseek(s.mountsFd, 0, SEEK_SET);
    char buffer[8192];
    ssize_t n;
    while ((n = read(s.mountsFd, buffer, sizeof buffer)) > 0) text.append(buffer, n);
  }
  s.fromMounts = detail::DrivesFromMounts(text, s.mountLetters);
}

std::vector<DriveMapping> CurrentTable(DriveState& s) {
  if (!s.replaced.empty()) return s.replaced;
  const char* drives = std::getenv("SUOTU_DRIVES");
  if (drives != nullptr && *drives != '\0') {
    if (s.parsedList != drives) {
      s.parsedList = drives;
      s.fromList = ParseDriveList(drives);
    }
    if (!s.fromList.empty()) return s.fromList;
  }
  RefreshMounts(s);
  return s.fromMounts;
}

// "D:", "d:\" or "D:/" -> 'D'; anything else -> 0.
char RootLetter(LPCSTR rootPath) {
  if (rootPath == nullptr) return 0;
  const std::string root = rootPath;
  if (root.size() < 2 || root.size() > 3 || root[1] != ':') return 0;
  if (root.size() == 3 && root[2] != '\\' && root[2] != '/') return 0;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  return letter >= 'A' && letter <= 'Z' ? letter : 0;
}

}  // namespace

std::vector<DriveMapping> ParseDriveList(const std::string& drives) {
  std::vector<DriveMapping> table;
  std::istringstream entries(drives);
  std::string entry;
  while (std::getline(entries, entry, ';')) {
    if (entry.empty()) continue;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(entry[0])));
    if (entry.size() < 3 || entry[1] != '=' || letter < 'A' || letter > 'Z' || entry[2] != '/') {
      std::fprintf(stderr, "SUOTU_DRIVES: ignoring \"%s\"\n", entry.c_str());
      continue;
    }
    std::string root = entry.substr(2);
    UINT type = DRIVE_FIXED;
    const std::size_t colon = root.rfind(':');
    if (colon != std::string::npos) {
      if (auto named = TypeFromName(root.substr(colon + 1))) {
        type = *named;
        root.resize(colon);
      }
    }
    if (root.empty()) continue;
    const bool taken = std::any_of(table.begin(), table.end(),
                                   [&](const DriveMapping& d) { return d.letter == letter; });
    if (!taken) table.push_back({letter, TrimSlashes(root), type});
  }
  std::sort(table.begin(), table.end(),
            [](const DriveMapping& a, const DriveMapping& b) { return a.letter < b.letter; });
  return table;
}

std::vector<DriveMapping> DriveTable() {
  DriveState& s = State();
  std::lock_guard lock(s.mutex);
  return CurrentTable(s);
}

void SetDriveTable(std::vector<DriveMapping> table) {
  for (DriveMapping& d : table) {
    d.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(d.letter)));
    d.hostRoot = TrimSlashes(d.hostRoot);
  }
  std::sort(table.begin(), table.end(),
            [](const DriveMapping& a, const DriveMapping& b) { return a.letter < b.letter; });
  {
    DriveState& s = State();
    std::lock_guard lock(s.mutex);
    s.replaced = std::move(table);
  }
  detail::DriveTableChanged();
}

DWORD GetLogicalDrives() {
  DWORD mask = 0;
  for (const DriveMapping& d : DriveTable()) mask |= DWORD{1} << (d.letter - 'A');
  return mask;
}

UINT GetDriveTypeA(LPCSTR rootPath) {
  char letter = RootLetter(rootPath);
  if (rootPath == nullptr) {
    std::string current;
    GetCurrentDirectoryA(current);
    letter = current.empty() ? 0 : current[0];
  }
  if (letter == 0) return DRIVE_NO_ROOT_DIR;
  const auto drive = detail::FindDrive(letter);
  return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

namespace detail {

std::vector<DriveMapping> DrivesFromMounts(const std::string& text,
                                           std::map<std::string, char>& letters) {
  struct Mount {
    std::string root;
    UINT type;
  };
  std::vector<Mount> mounts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, fsType;
    if (!(fields >> device >> mountPoint >> fsType)) continue;
    mountPoint = TrimSlashes(UnescapeMountField(mountPoint));
    if (!IsVolumeMountPoint(mountPoint)) continue;
    const UINT type = MountType(UnescapeMountField(device), mountPoint, fsType);
    // A later mount on the same point hides the earlier one.
    auto same = std::find_if(mounts.begin(), mounts.end(),
                             [&](const Mount& m) { return m.root == mountPoint; });
    if (same != mounts.end()) mounts.erase(same);
    mounts.push_back({mountPoint, type});
  }
  std::map<std::string, char> assigned;
  bool used[26] = {};
  used[0] = used[1] = used[2] = true;  // A: and B: are floppies by tradition, C: is "/"
  for (const Mount& m : mounts) {
    auto it = letters.find(m.root);
    if (it != letters.end()) {
      assigned[m.root] = it->second;
      used[it->second - 'A'] = true;
    }
  }
  for (const Mount& m : mounts) {
    if (assigned.count(m.root)) continue;
    for (int i = 3; i < 26; ++i) {
      if (!used[i]) {
        used[i] = true;
        assigned[m.root] = static_cast<char>('A' + i);
        break;
      }
    }
  }
  letters = assigned;
  std::vector<DriveMapping> table{{'C', "/", DRIVE_FIXED}};
  for (const Mount& m : mounts) {
    auto it = assigned.find(m.root);
    if (it != assigned.end()) table.push_back({it->second, m.root, m.type});
  }
  std::sort(table.begin(), table.end(),
            [](const DriveMapping& a, const DriveMapping& b) { return a.letter < b.letter; });
  return table;
}

std::optional<DriveMapping> FindDrive(char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const DriveMapping& d : DriveTable()) {
    if (d.letter == letter) return d;
  }
  return std::nullopt;
}

}  // namespace detail

}  // namespace win
