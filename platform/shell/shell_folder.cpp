// The shell namespace over the drive table and the host's folders.
#include "platform/shell/shell_folder.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/kernel/sync.h"
#include "platform/shell/shell_internal.h"
#include "platform/shell/strings.h"
#include "platform/user/ole.h"

namespace win {

namespace {

constexpr DWORD kErrorInsufficientBuffer = 122;

struct Places {
  std::mutex mutex;
  std::string desktop;
  std::string documents;
};

Places& PlaceState() {
  static auto* places = new Places;  // used until exit
  return *places;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return "/";
}

bool IsDirectory(const std::string& host) {
  struct stat st {};
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The XDG desktop folder from user-dirs.dirs (XDG_DESKTOP_DIR="$HOME/Desktop").
std::string XdgDesktop(const std::string& home) {
  if (const char* env = std::getenv("XDG_DESKTOP_DIR"); env != nullptr && *env == '/') return env;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string file =
      (config != nullptr && *config == '/' ? std::string(config) : home + "/.config") +
      "/user-dirs.dirs";
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DESKTOP_DIR=\"";
    if (!line.starts_with(key) || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.starts_with("$HOME")) value = home + value.substr(5);
    if (value.starts_with("/")) return value;
  }
  return {};
}

std::string DefaultDesktop() {
  if (const char* env = std::getenv("SUOTU_DESKTOP"); env != nullptr && *env == '/') return env;
  const std::string home = HomeFolder();
  const std::string xdg = XdgDesktop(home);
  if (!xdg.empty() && IsDirectory(xdg)) return xdg;
  return home;
}

std::string Trimmed(std::string host) {
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  return host;
}

}  // namespace

void SetShellFolderLocations(const std::string& desktopHost, const std::string& documentsHost) {
  Places& p = PlaceState();
  std::lock_guard lock(p.mutex);
  p.desktop = Trimmed(desktopHost);
  p.documents = Trimmed(documentsHost);
}

std::string DesktopHostFolder() {
  Places& p = PlaceState();
  {
    std::lock_guard lock(p.mutex);
    if (!p.desktop.empty()) return p.desktop;
  }
  return Trimmed(DefaultDesktop());
}

std::string DocumentsHostFolder() {
  Places& p = PlaceState();
  {
    std::lock_guard lock(p.mutex);
    if (!p.documents.empty()) return p.documents;
  }
  return Trimmed(HomeFolder());
}

namespace shell {

std::string Ansi(const char* utf8) {
  return Utf8ToAnsi(utf8).value_or(std::string());
}

// Names go through the kernel's name mapping, so a host name with a character Windows
// forbids is listed under its private-use stand-in and still reaches the same file.
std::optional<std::string> AnsiFromHostName(const std::string& hostName) {
  return HostNameToAnsi(hostName);
}

std::optional<std::string> HostFromAnsiName(const std::string& ansiName) {
  return AnsiNameToHost(ansiName);
}

std::string JoinHost(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::optional<Item> ParseItem(LPCITEMIDLIST list) {
  if (ILIsEmpty(list)) return std::nullopt;
  const auto* p = reinterpret_cast<const BYTE*>(list);
  const UINT cb = UINT(p[0]) | (UINT(p[1]) << 8);
  if (cb < 3) return std::nullopt;
  const BYTE* body = p + 2;
  const UINT n = cb - 2;
  Item item;
  item.kind = body[0];
  switch (item.kind) {
    case kKindSpecial:
      if (n != 2 || body[1] < kDocuments || body[1] > kControlPanel) return std::nullopt;
      item.tag = body[1];
      return item;
    case kKindDrive:
      if (n != 5 || body[1] < 'A' || body[1] > 'Z' || body[2] != ':' || body[3] != '\\' ||
          body[4] != 0) {
        return std::nullopt;
      }
      item.letter = char(body[1]);
      return item;
    case kKindFolder:
    case kKindFile: {
      if (n < 3 || body[n - 1] != 0) return std::nullopt;
      item.name.assign(reinterpret_cast<const char*>(body + 1), n - 2);
      if (item.name.find('\0') != std::string::npos) return std::nullopt;
      return item;
    }
    default:
      return std::nullopt;
  }
}

LPITEMIDLIST MakeItemList(BYTE kind, const std::string& payload) {
  const std::size_t cb = 3 + payload.size();
  if (cb > 0xFFFF) return nullptr;
  auto* out = static_cast<BYTE*>(CoTaskMemAlloc(cb + 2));
  if (out == nullptr) return nullptr;
  out[0] = BYTE(cb & 0xFF);
  out[1] = BYTE(cb >> 8);
  out[2] = kind;
  std::memcpy(out + 3, payload.data(), payload.size());
  out[cb] = 0;
  out[cb + 1] = 0;
  return reinterpret_cast<LPITEMIDLIST>(out);
}

LPITEMIDLIST SpecialList(BYTE tag) {
  return MakeItemList(kKindSpecial, std::string(1, char(tag)));
}

LPITEMIDLIST DriveList(char letter) {
  return MakeItemList(kKindDrive, std::string{letter, ':', '\\', '\0'});
}

LPITEMIDLIST NameList(bool folder, const std::string& ansiName) {
  return MakeItemList(folder ? kKindFolder : kKindFile, ansiName + '\0');
}

std::optional<DriveMapping> FindDrive(char letter) {
  for (const DriveMapping& d : DriveTable()) {
    if (d.letter == letter) return d;
  }
  return std::nullopt;
}

Location DesktopLocation() {
  Location loc;
  loc.type = Location::kDesktop;
  loc.host = DesktopHostFolder();
  loc.winPath = WindowsPathFromHost(loc.host).value_or(std::string());
  return loc;
}

HRESULT Descend(const Location& at, const Item& item, Location* out) {
  if (!at.folder) return E_INVALIDARG;
  Location next;
  if (item.kind == kKindSpecial) {
    const bool onDesktop = at.type == Location::kDesktop;
    if (item.tag == kDocuments && onDesktop) {
      next.type = Location::kFileSystem;
      next.host = DocumentsHostFolder();
      next.winPath = WindowsPathFromHost(next.host).value_or(std::string());
    } else if (item.tag == kComputer && onDesktop) {
      next.type = Location::kComputer;
    } else if ((item.tag == kNetwork || item.tag == kRecycleBin) && onDesktop) {
      next.type = Location::kEmpty;
    } else if (item.tag == kControlPanel && at.type == Location::kComputer) {
      next.type = Location::kEmpty;
    } else {
      return E_INVALIDARG;
    }
  } else if (item.kind == kKindDrive) {
    if (at.type != Location::kComputer) return E_INVALIDARG;
    const std::optional<DriveMapping> drive = FindDrive(item.letter);
    if (!drive) return HRESULT_FROM_WIN32(ERROR_INVALID_DRIVE);
    next.type = Location::kFileSystem;
    next.host = Trimmed(drive->hostRoot);
    next.winPath = std::string{item.letter, ':', '\\'};
    next.driveRoot = true;
    next.driveType = drive->type;
  } else {
    if (at.type != Location::kFileSystem && at.type != Location::kDesktop) return E_INVALIDARG;
    const std::optional<std::string> hostName = HostFromAnsiName(item.name);
    if (!hostName) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    next.type = Location::kFileSystem;
    next.host = JoinHost(at.host, *hostName);
    if (!at.winPath.empty()) {
      next.winPath = at.driveRoot ? at.winPath + item.name : at.winPath + "\\" + item.name;
    }
    next.folder = item.kind == kKindFolder;
  }
  *out = std::move(next);
  return S_OK;
}

HRESULT DescendList(Location loc, LPCITEMIDLIST list, Location* out) {
  for (LPCITEMIDLIST p = list; !ILIsEmpty(p); p = ILGetNext(p)) {
    const std::optional<Item> item = ParseItem(p);
    if (!item) return E_INVALIDARG;
    Location next;
    if (HRESULT hr = Descend(loc, *item, &next); FAILED(hr)) return hr;
    loc = std::move(next);
  }
  *out = std::move(loc);
  return S_OK;
}

}  // namespace shell

namespace {

using namespace shell;

// A folder counts as having subfolders unless it can be read and holds none; one that cannot
// be read keeps its expand button, and expanding it reports why.
bool HasSubfolder(const std::string& host) {
  DIR* dir = opendir(host.c_str());
  if (dir == nullptr) return true;
  bool found = false;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (e->d_type != DT_DIR && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
    if (e->d_type != DT_DIR && !IsDirectory(JoinHost(host, name))) continue;
    if (!AnsiFromHostName(name)) continue;
    found = true;
    break;
  }
  closedir(dir);
  return found;
}

// A removable or optical drive's folder stands empty while no medium is in: missing, or an
// empty folder that nothing is mounted on.
bool WithoutMedium(const std::string& root) {
  struct stat st {};
  struct stat parent {};
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return true;
  if (stat(JoinHost(root, "..").c_str(), &parent) == 0 && parent.st_dev != st.st_dev) {
    return false;  // a mounted volume, even an empty one
  }
  DIR* dir = opendir(root.c_str());
  if (dir == nullptr) return false;  // let the enumeration report why
  bool empty = true;
  while (const dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      empty = false;
      break;
    }
  }
  closedir(dir);
  return empty;
}

HRESULT ListFileSystem(const std::string& host, DWORD flags, std::vector<LPITEMIDLIST>& out) {
  DIR* dir = opendir(host.c_str());
  if (dir == nullptr) {
    // A folder that is not there is a path not found, as a folder search reports it.
    const int err = errno;
    return HRESULT_FROM_WIN32(err == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(err));
  }
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name[0] == '.' && (flags & SHCONTF_INCLUDEHIDDEN) == 0) continue;
    const std::optional<std::string> ansi = AnsiFromHostName(name);
    if (!ansi) continue;  // no Windows name: not listed rather than mangled
    bool folder = e->d_type == DT_DIR;
    if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) folder = IsDirectory(JoinHost(host, name));
    if ((folder && (flags & SHCONTF_FOLDERS) == 0) ||
        (!folder && (flags & SHCONTF_NONFOLDERS) == 0)) {
      continue;
    }
    if (LPITEMIDLIST list = NameList(folder, *ansi)) out.push_back(list);
  }
  closedir(dir);
  // A listed folder is one a tree may show: subtree change notifications watch it from now.
  NoteFolderListed(host);
  return S_OK;
}

ULONG SpecialAttributes(BYTE tag, ULONG mask) {
  switch (tag) {
    case kDocuments: {
      ULONG a = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_STORAGE |
                SFGAO_DROPTARGET | SFGAO_CANLINK;
      if ((mask & SFGAO_HASSUBFOLDER) && HasSubfolder(DocumentsHostFolder())) {
        a |= SFGAO_HASSUBFOLDER;
      }
      return a;
    }
    case kComputer:
      return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER | SFGAO_CANLINK;
    case kRecycleBin:
      return SFGAO_FOLDER | SFGAO_DROPTARGET | SFGAO_CANLINK;
    default:  // the network neighbourhood and the control panel list nothing here
      return SFGAO_FOLDER | SFGAO_CANLINK;
  }
}

HRESULT ItemAttributes(const Location& parent, const Item& item, ULONG mask, ULONG* out) {
  if (item.kind == kKindSpecial) {
    *out = SpecialAttributes(item.tag, mask);
    return S_OK;
  }
  Location loc;
  if (HRESULT hr = Descend(parent, item, &loc); FAILED(hr)) return hr;
  if (item.kind == kKindDrive) {
    ULONG a = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER |
              SFGAO_STORAGE | SFGAO_DROPTARGET | SFGAO_CANLINK;
    if (loc.driveType == DRIVE_REMOVABLE || loc.driveType == DRIVE_CDROM) a |= SFGAO_REMOVABLE;
    *out = a;
    return S_OK;
  }
  struct stat ls {};
  if (lstat(loc.host.c_str(), &ls) != 0) return HRESULT_FROM_WIN32(ErrorFromErrno(errno));
  struct stat st = ls;
  const bool link = S_ISLNK(ls.st_mode);
  if (link && stat(loc.host.c_str(), &st) != 0) st = ls;  // a dangling link is a plain item
  ULONG a = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME |
            SFGAO_CANDELETE;
  if (S_ISDIR(st.st_mode)) {
    a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_STORAGE | SFGAO_DROPTARGET;
    if ((mask & SFGAO_HASSUBFOLDER) && HasSubfolder(loc.host)) a |= SFGAO_HASSUBFOLDER;
  } else {
    a |= SFGAO_STREAM;
  }
  if (item.name[0] == '.') a |= SFGAO_HIDDEN;
  if (link) a |= SFGAO_LINK;
  if ((st.st_mode & S_IWUSR) == 0) a |= SFGAO_READONLY;
  *out = a;
  return S_OK;
}

const char* SpecialParsingName(BYTE tag) {
  switch (tag) {
    case kDocuments:
      return "::Documents";
    case kComputer:
      return "::Computer";
    case kNetwork:
      return "::Network";
    case kRecycleBin:
      return "::RecycleBin";
    default:
      return "::ControlPanel";
  }
}

}  // namespace

const char* shell::SpecialName(BYTE tag) {
  switch (tag) {
    case kDocuments:
      return strings::kDocumentsName;
    case kComputer:
      return strings::kComputerName;
    case kNetwork:
      return strings::kNetworkName;
    case kRecycleBin:
      return strings::kRecycleBinName;
    default:
      return strings::kControlPanelName;
  }
}

const char* shell::DriveTypeName(UINT type) {
  switch (type) {
    case DRIVE_REMOVABLE:
      return strings::kRemovableDriveName;
    case DRIVE_CDROM:
      return strings::kCdDriveName;
    case DRIVE_REMOTE:
      return strings::kRemoteDriveName;
    case DRIVE_RAMDISK:
      return strings::kRamDiskName;
    default:
      return strings::kFixedDriveName;
  }
}

// A volume under /media or /run/media is named by its mount folder, which is its label.
std::string shell::DriveLabel(const Location& drive) {
  if (drive.host.starts_with("/media/") || drive.host.starts_with("/run/media/")) {
    const std::string base = drive.host.substr(drive.host.rfind('/') + 1);
    if (std::optional<std::string> label = AnsiFromHostName(base); label && !label->empty()) {
      return *label;
    }
  }
  return Ansi(DriveTypeName(drive.driveType));
}

namespace {

struct DisplayName {
  std::string ansi;
  bool inItem = false;  // the item's own name bytes: may be answered as an offset
};

HRESULT ItemDisplayName(const Location& parent, const Item& item, DWORD flags, DisplayName* out) {
  const bool parsing = (flags & SHGDN_FORPARSING) != 0;
  const bool inFolder = (flags & SHGDN_INFOLDER) != 0;
  if (item.kind == kKindSpecial) {
    if (parsing && item.tag == kDocuments && !inFolder) {
      Location loc;
      if (SUCCEEDED(Descend(parent, item, &loc)) && !loc.winPath.empty()) {
        out->ansi = loc.winPath;
        return S_OK;
      }
    }
    out->ansi = parsing ? SpecialParsingName(item.tag) : Ansi(SpecialName(item.tag));
    return S_OK;
  }
  if (item.kind == kKindDrive) {
    Location loc;
    if (HRESULT hr = Descend(parent, item, &loc); FAILED(hr)) return hr;
    if (parsing) {
      out->ansi = loc.winPath;
    } else if (flags & SHGDN_FOREDITING) {
      out->ansi = DriveLabel(loc);
    } else {
      out->ansi = DriveLabel(loc) + " (" + std::string{item.letter, ':'} + ")";
    }
    return S_OK;
  }
  if (parsing && !inFolder) {
    Location loc;
    if (HRESULT hr = Descend(parent, item, &loc); FAILED(hr)) return hr;
    if (!loc.winPath.empty()) {
      out->ansi = loc.winPath;
      return S_OK;
    }
  }
  out->ansi = item.name;
  out->inItem = true;
  return S_OK;
}

HRESULT AnswerName(const DisplayName& name, UINT offset, STRRET* out) {
  if (out->uType == STRRET_CSTR) {
    if (name.ansi.size() >= MAX_PATH) return HRESULT_FROM_WIN32(kErrorInsufficientBuffer);
    std::memcpy(out->cStr, name.ansi.c_str(), name.ansi.size() + 1);
    return S_OK;
  }
  if (name.inItem) {
    out->uType = STRRET_OFFSET;
    out->uOffset = offset;
    return S_OK;
  }
  const std::optional<std::string> utf8 = AnsiToUtf8(name.ansi);
  if (!utf8) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  const std::u16string wide = Utf8ToUtf16(*utf8);
  auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc((wide.size() + 1) * sizeof(WCHAR)));
  if (copy == nullptr) return E_OUTOFMEMORY;
  std::copy(wide.begin(), wide.end(), copy);
  copy[wide.size()] = 0;
  out->uType = STRRET_WSTR;
  out->pOleStr = copy;
  return S_OK;
}

int Rank(const Item& item) {
  switch (item.kind) {
    case kKindSpecial:
      return item.tag == kControlPanel ? 5 : item.tag - kDocuments;  // 0..3
    case kKindDrive:
      return 4;
    case kKindFolder:
      return 6;
    default:
      return 7;
  }
}

int CompareItems(const Item& a, const Item& b) {
  const int ra = Rank(a);
  const int rb = Rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (a.kind == kKindDrive) return a.letter == b.letter ? 0 : (a.letter < b.letter ? -1 : 1);
  if (a.kind == kKindSpecial) return 0;
  return CompareShellNames(a.name, b.name);
}

std::vector<std::string> SplitWindowsPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string piece;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto b = static_cast<BYTE>(path[i]);
    if (IsDBCSLeadByte(b) && i + 1 < path.size()) {
      piece += path[i];
      piece += path[++i];
    } else if (b == '\\' || b == '/') {
      if (!piece.empty()) parts.push_back(piece);
      piece.clear();
    } else {
      piece += path[i];
    }
  }
  if (!piece.empty()) parts.push_back(piece);
  return parts;
}

// The ANSI name of the entry of `host` called `name`: its exact name when it exists, else
// the first one that matches without case.
std::optional<std::string> FindEntry(const std::string& host, const std::string& name) {
  if (const auto hostName = HostFromAnsiName(name)) {
    struct stat st {};
    if (lstat(JoinHost(host, *hostName).c_str(), &st) == 0) return name;
  }
  DIR* dir = opendir(host.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<std::string> found;
  while (const dirent* e = readdir(dir)) {
    const std::optional<std::string> ansi = AnsiFromHostName(e->d_name);
    if (ansi && AnsiEqualNoCase(*ansi, name)) {
      found = ansi;
      break;
    }
  }
  closedir(dir);
  return found;
}

class Enumerator final : public IEnumIDList {
 public:
  explicit Enumerator(std::vector<LPITEMIDLIST> items) : items_(std::move(items)) {}
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT Next(ULONG count, LPITEMIDLIST* items, ULONG* fetched) override {
    if (items == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) {
      items[n] = ILClone(items_[next_]);
      if (items[n] == nullptr) {
        for (ULONG k = 0; k < n; ++k) ILFree(items[k]);
        if (fetched != nullptr) *fetched = 0;
        return E_OUTOFMEMORY;
      }
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    const std::size_t left = items_.size() - next_;
    next_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    next_ = 0;
    return S_OK;
  }

 private:
  ~Enumerator() {
    for (LPITEMIDLIST list : items_) ILFree(list);
  }
  std::atomic<ULONG> refs_{1};
  std::vector<LPITEMIDLIST> items_;
  std::size_t next_ = 0;
};

class Folder final : public IShellFolder {
 public:
  // `absolute` is the folder's own absolute list (its bytes, terminator included).
  Folder(Location location, std::string absolute)
      : loc_(std::move(location)), absolute_(std::move(absolute)) {}
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT ParseDisplayName(HWND, void*, LPCWSTR name, ULONG* eaten, LPITEMIDLIST* list,
                           ULONG* attributes) override {
    if (name == nullptr || list == nullptr) return E_INVALIDARG;
    *list = nullptr;
    const std::u16string wide(name);
    const std::optional<std::string> ansi = Utf8ToAnsi(Utf16ToUtf8(wide));
    if (!ansi) return E_INVALIDARG;
    std::vector<std::string> parts = SplitWindowsPath(*ansi);
    if (parts.empty()) return E_INVALIDARG;
    Location at = loc_;
    LPITEMIDLIST result = MakeEmpty();
    auto append = [&result](LPITEMIDLIST item) {
      LPITEMIDLIST combined = item == nullptr ? nullptr : ILCombine(result, item);
      ILFree(item);
      ILFree(result);
      result = combined;
      return result != nullptr;
    };
    auto fail = [&result](HRESULT hr) {
      ILFree(result);
      return hr;
    };
    if (at.type == Location::kDesktop || at.type == Location::kComputer) {
      const std::string& drive = parts.front();
      if (drive.size() != 2 || drive[1] != ':' || !std::isalpha(BYTE(drive[0]))) {
        return fail(E_INVALIDARG);
      }
      const char letter = char(std::toupper(BYTE(drive[0])));
      if (at.type == Location::kDesktop && !append(SpecialList(kComputer))) {
        return fail(E_OUTOFMEMORY);
      }
      if (!append(DriveList(letter))) return fail(E_OUTOFMEMORY);
      Location computer;
      computer.type = Location::kComputer;
      Item driveItem;
      driveItem.kind = kKindDrive;
      driveItem.letter = letter;
      if (HRESULT hr = Descend(computer, driveItem, &at); FAILED(hr)) return fail(hr);
      parts.erase(parts.begin());
    } else if (at.type != Location::kFileSystem) {
      return fail(E_INVALIDARG);
    }
    Location parent = at;
    Item last;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (parts[i] == "." || parts[i] == "..") return fail(E_INVALIDARG);
      if (!at.folder) return fail(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
      const std::optional<std::string> entry = FindEntry(at.host, parts[i]);
      if (!entry) {
        return fail(HRESULT_FROM_WIN32(i + 1 == parts.size() ? ERROR_FILE_NOT_FOUND
                                                             : ERROR_PATH_NOT_FOUND));
      }
      last.kind =
          IsDirectory(JoinHost(at.host, *HostFromAnsiName(*entry))) ? kKindFolder : kKindFile;
      last.name = *entry;
      if (!append(NameList(last.kind == kKindFolder, *entry))) return fail(E_OUTOFMEMORY);
      parent = at;
      if (HRESULT hr = Descend(parent, last, &at); FAILED(hr)) return fail(hr);
    }
    if (attributes != nullptr) {
      ULONG found = 0;
      HRESULT hr = S_OK;
      if (parts.empty()) {  // a drive root
        Location computer;
        computer.type = Location::kComputer;
        Item driveItem;
        driveItem.kind = kKindDrive;
        driveItem.letter = at.winPath[0];
        hr = ItemAttributes(computer, driveItem, *attributes, &found);
      } else {
        hr = ItemAttributes(parent, last, *attributes, &found);
      }
      if (FAILED(hr)) return fail(hr);
      *attributes &= found;
    }
    if (eaten != nullptr) *eaten = ULONG(wide.size());
    *list = result;
    return S_OK;
  }

  HRESULT EnumObjects(HWND, DWORD flags, IEnumIDList** items) override {
    if (items == nullptr) return E_POINTER;
    *items = nullptr;
    std::vector<LPITEMIDLIST> found;
    HRESULT hr = S_OK;
    const bool folders = (flags & SHCONTF_FOLDERS) != 0;
    switch (loc_.type) {
      case Location::kDesktop:
        if (folders) {
          for (BYTE tag : {kDocuments, kComputer, kNetwork, kRecycleBin}) {
            if (LPITEMIDLIST list = SpecialList(tag)) found.push_back(list);
          }
        }
        ListFileSystem(loc_.host, flags, found);  // a missing desktop folder lists no more
        break;
      case Location::kComputer:
        if (folders) {
          std::vector<DriveMapping> drives = DriveTable();
          std::sort(drives.begin(), drives.end(), [](const DriveMapping& a, const DriveMapping& b) {
            return a.letter < b.letter;
          });
          for (const DriveMapping& d : drives) {
            if (LPITEMIDLIST list = DriveList(d.letter)) found.push_back(list);
          }
          if (LPITEMIDLIST list = SpecialList(kControlPanel)) found.push_back(list);
        }
        break;
      case Location::kEmpty:
        break;
      case Location::kFileSystem:
        if (loc_.driveRoot &&
            (loc_.driveType == DRIVE_REMOVABLE || loc_.driveType == DRIVE_CDROM) &&
            WithoutMedium(loc_.host)) {
          hr = HRESULT_FROM_WIN32(ERROR_NOT_READY);
        } else {
          hr = ListFileSystem(loc_.host, flags, found);
        }
        break;
    }
    if (FAILED(hr)) {
      for (LPITEMIDLIST list : found) ILFree(list);
      return hr;
    }
    *items = new Enumerator(std::move(found));
    return S_OK;
  }

  HRESULT BindToObject(LPCITEMIDLIST list, void*, IShellFolder** folder) override {
    if (folder == nullptr) return E_POINTER;
    *folder = nullptr;
    if (ILIsEmpty(list)) return E_INVALIDARG;
    Location loc;
    if (HRESULT hr = DescendList(loc_, list, &loc); FAILED(hr)) return hr;
    if (!loc.folder) return E_NOINTERFACE;
    // Ours followed by the list: the new folder's absolute list.
    std::string absolute = absolute_.substr(0, absolute_.size() - 2);
    absolute.append(reinterpret_cast<const char*>(list), ILGetSize(list));
    *folder = new Folder(std::move(loc), std::move(absolute));
    return S_OK;
  }

  HRESULT CompareIDs(LPARAM, LPCITEMIDLIST first, LPCITEMIDLIST second) override {
    const int r = Compare(loc_, first, second);
    if (r == kInvalid) return E_INVALIDARG;
    return MAKE_HRESULT(0, 0, USHORT(std::int16_t(r)));
  }

  HRESULT CreateViewObject(HWND owner, const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IDropTarget) return CreateDropHandler(owner, loc_, object);
    return E_NOINTERFACE;
  }

  HRESULT GetAttributesOf(UINT count, LPCITEMIDLIST* items, ULONG* inOut) override {
    if (inOut == nullptr || (count > 0 && items == nullptr)) return E_POINTER;
    const ULONG mask = *inOut & ~SFGAO_VALIDATE;
    ULONG common = ~ULONG{0};
    for (UINT i = 0; i < count; ++i) {
      const std::optional<Item> item = ParseItem(items[i]);
      if (!item || !ILIsEmpty(ILGetNext(items[i]))) return E_INVALIDARG;
      ULONG a = 0;
      if (HRESULT hr = ItemAttributes(loc_, *item, mask, &a); FAILED(hr)) return hr;
      common &= a;
    }
    *inOut = mask & common;
    return S_OK;
  }

  HRESULT GetDisplayNameOf(LPCITEMIDLIST list, DWORD flags, STRRET* name) override {
    if (name == nullptr) return E_POINTER;
    if (list == nullptr) return E_INVALIDARG;
    if (ILIsEmpty(list)) {
      if (loc_.type != Location::kDesktop) return E_INVALIDARG;
      DisplayName own;
      own.ansi = (flags & SHGDN_FORPARSING) && !loc_.winPath.empty() ? loc_.winPath
                                                                     : Ansi(strings::kDesktopName);
      return AnswerName(own, 0, name);
    }
    // The parent of the last item, then the last item's name there.
    Location parent = loc_;
    LPCITEMIDLIST last = list;
    for (LPCITEMIDLIST next = ILGetNext(last); !ILIsEmpty(next); next = ILGetNext(next)) {
      const std::optional<Item> step = ParseItem(last);
      if (!step) return E_INVALIDARG;
      Location down;
      if (HRESULT hr = Descend(parent, *step, &down); FAILED(hr)) return hr;
      parent = std::move(down);
      last = next;
    }
    const std::optional<Item> item = ParseItem(last);
    if (!item) return E_INVALIDARG;
    DisplayName display;
    if (HRESULT hr = ItemDisplayName(parent, *item, flags, &display); FAILED(hr)) return hr;
    const auto offset =
        UINT(reinterpret_cast<const BYTE*>(last) - reinterpret_cast<const BYTE*>(list)) + 3;
    return AnswerName(display, offset, name);
  }

  HRESULT SetNameOf(HWND owner, LPCITEMIDLIST list, LPCWSTR name, DWORD,
                    LPITEMIDLIST* newItem) override {
    if (newItem != nullptr) *newItem = nullptr;
    const std::optional<Item> item = ParseItem(list);
    if (!item || !ILIsEmpty(ILGetNext(list)) || name == nullptr) return E_INVALIDARG;
    return RenameItem(owner, loc_, *item, name, newItem);
  }

  HRESULT GetUIObjectOf(HWND owner, UINT count, LPCITEMIDLIST* items, const IID& iid, UINT*,
                        void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IDataObject) {
      return CreateItemDataObject(reinterpret_cast<LPCITEMIDLIST>(absolute_.data()), loc_, count,
                                  items, object);
    }
    if (count != 1 || items == nullptr) return E_INVALIDARG;
    const std::optional<Item> item = ParseItem(items[0]);
    if (!item || !ILIsEmpty(ILGetNext(items[0]))) return E_INVALIDARG;
    if (iid == IID_IContextMenu) return CreateItemContextMenu(loc_, *item, object);
    if (iid == IID_IDropTarget) {
      ULONG attributes = 0;
      if (HRESULT hr = ItemAttributes(loc_, *item, SFGAO_DROPTARGET, &attributes); FAILED(hr))
        return hr;
      if ((attributes & SFGAO_DROPTARGET) == 0) return E_NOINTERFACE;
      return CreateItemDropHandler(owner, loc_, *item, object);
    }
    return E_NOINTERFACE;
  }

 private:
  static constexpr int kInvalid = 2;

  ~Folder() = default;

  static LPITEMIDLIST MakeEmpty() {
    auto* list = static_cast<BYTE*>(CoTaskMemAlloc(2));
    if (list != nullptr) list[0] = list[1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(list);
  }

  // -1, 0 or 1 in the shell's order, first items first, a shorter list before its
  // extensions; kInvalid for a malformed list.
  static int Compare(const Location& at, LPCITEMIDLIST a, LPCITEMIDLIST b) {
    if (a == nullptr || b == nullptr) return kInvalid;
    for (Location loc = at;;) {
      const bool endA = ILIsEmpty(a);
      const bool endB = ILIsEmpty(b);
      if (endA || endB) return endA == endB ? 0 : (endA ? -1 : 1);
      const std::optional<Item> ia = ParseItem(a);
      const std::optional<Item> ib = ParseItem(b);
      if (!ia || !ib) return kInvalid;
      if (const int r = CompareItems(*ia, *ib); r != 0) return r;
      a = ILGetNext(a);
      b = ILGetNext(b);
      if (ILIsEmpty(a) && ILIsEmpty(b)) return 0;
      Location next;
      if (FAILED(Descend(loc, *ia, &next))) return 0;  // equal so far and nothing below
      loc = std::move(next);
    }
  }

  std::atomic<ULONG> refs_{1};
  Location loc_;
  std::string absolute_;
};

// Character classes of the shell's name order.
int CharClass(BYTE b) {
  if (b >= 0x80) return 3;
  if (std::isdigit(b)) return 1;
  if (std::isalpha(b)) return 2;
  return 0;
}

// Length of the character at `i`: GB18030 four-byte sequences, double-byte pairs, single bytes.
std::size_t CharLength(const std::string& s, std::size_t i) {
  const auto b = static_cast<BYTE>(s[i]);
  if (!IsDBCSLeadByte(b) || i + 1 >= s.size()) return 1;
  const auto second = static_cast<BYTE>(s[i + 1]);
  if (second >= 0x30 && second <= 0x39 && i + 3 < s.size()) return 4;
  return 2;
}

}  // namespace

int CompareShellNames(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const auto ca = static_cast<BYTE>(a[i]);
    const auto cb = static_cast<BYTE>(b[j]);
    if (std::isdigit(ca) && std::isdigit(cb)) {
      std::size_t ei = i;
      std::size_t ej = j;
      while (ei < a.size() && std::isdigit(static_cast<BYTE>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<BYTE>(b[ej]))) ++ej;
      std::size_t si = i;
      std::size_t sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      if (const int r = a.compare(si, ei - si, b, sj, ej - sj); r != 0) return r < 0 ? -1 : 1;
      i = ei;
      j = ej;
      continue;
    }
    const int ka = CharClass(ca);
    const int kb = CharClass(cb);
    if (ka != kb) return ka < kb ? -1 : 1;
    const std::size_t la = CharLength(a, i);
    const std::size_t lb = CharLength(b, j);
    if (ka == 3) {
      if (const int r = a.compare(i, la, b, j, lb); r != 0) return r < 0 ? -1 : 1;
    } else {
      const int fa = std::tolower(ca);
      const int fb = std::tolower(cb);
      if (fa != fb) return fa < fb ? -1 : 1;
    }
    i += la;
    j += lb;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  const int r = a.compare(b);
  return r == 0 ? 0 : (r < 0 ? -1 : 1);
}

HRESULT SHGetDesktopFolder(IShellFolder** folder) {
  if (folder == nullptr) return E_POINTER;
  *folder = new Folder(DesktopLocation(), std::string(2, '\0'));
  return S_OK;
}

HRESULT SHGetSpecialFolderLocation(HWND, int which, LPITEMIDLIST* list) {
  if (list == nullptr) return E_POINTER;
  *list = nullptr;
  LPITEMIDLIST out = nullptr;
  switch (which) {
    case CSIDL_DESKTOP:
      out = ILCombine(nullptr, reinterpret_cast<LPCITEMIDLIST>("\0\0"));
      break;
    case CSIDL_PERSONAL:
      out = SpecialList(kDocuments);
      break;
    case CSIDL_DRIVES:
      out = SpecialList(kComputer);
      break;
    case CSIDL_NETWORK:
      out = SpecialList(kNetwork);
      break;
    case CSIDL_BITBUCKET:
      out = SpecialList(kRecycleBin);
      break;
    case CSIDL_CONTROLS: {
      LPITEMIDLIST computer = SpecialList(kComputer);
      LPITEMIDLIST panel = SpecialList(kControlPanel);
      if (computer != nullptr && panel != nullptr) out = ILCombine(computer, panel);
      ILFree(computer);
      ILFree(panel);
      break;
    }
    case CSIDL_DESKTOPDIRECTORY: {
      const Location desktop = DesktopLocation();
      if (desktop.winPath.empty()) return E_FAIL;
      out = ILCreateFromPathA(desktop.winPath.c_str());
      if (out == nullptr) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
      break;
    }
    default:
      return E_INVALIDARG;
  }
  if (out == nullptr) return E_OUTOFMEMORY;
  *list = out;
  return S_OK;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path) {
  if (path == nullptr) return FALSE;
  path[0] = '\0';
  if (list == nullptr) return FALSE;
  Location loc;
  if (FAILED(DescendList(DesktopLocation(), list, &loc))) return FALSE;
  if (loc.type != Location::kFileSystem && loc.type != Location::kDesktop) return FALSE;
  if (loc.winPath.empty() || loc.winPath.size() >= MAX_PATH) return FALSE;
  std::memcpy(path, loc.winPath.c_str(), loc.winPath.size() + 1);
  return TRUE;
}

LPITEMIDLIST ILCreateFromPathA(const char* path) {
  if (path == nullptr) return nullptr;
  const std::optional<std::string> utf8 = AnsiToUtf8(path);
  if (!utf8) return nullptr;
  IShellFolder* desktop = nullptr;
  SHGetDesktopFolder(&desktop);
  LPITEMIDLIST list = nullptr;
  const std::u16string wide = Utf8ToUtf16(*utf8);
  const HRESULT hr =
      desktop->ParseDisplayName(nullptr, nullptr, wide.c_str(), nullptr, &list, nullptr);
  desktop->Release();
  return SUCCEEDED(hr) ? list : nullptr;
}

BOOL ILIsEqual(LPCITEMIDLIST first, LPCITEMIDLIST second) {
  if (first == nullptr || second == nullptr) return first == second;
  IShellFolder* desktop = nullptr;
  SHGetDesktopFolder(&desktop);
  const HRESULT hr = desktop->CompareIDs(0, first, second);
  desktop->Release();
  return SUCCEEDED(hr) && HRESULT_CODE(hr) == 0;
}

HRESULT StrRetToBufA(STRRET* name, LPCITEMIDLIST item, char* buffer, UINT size) {
  if (name == nullptr || buffer == nullptr || size == 0) return E_INVALIDARG;
  std::string ansi;
  switch (name->uType) {
    case STRRET_WSTR: {
      if (name->pOleStr == nullptr) return E_INVALIDARG;
      const std::optional<std::string> a = Utf8ToAnsi(Utf16ToUtf8(std::u16string(name->pOleStr)));
      CoTaskMemFree(name->pOleStr);
      name->pOleStr = nullptr;
      if (!a) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
      ansi = *a;
      break;
    }
    case STRRET_OFFSET: {
      if (item == nullptr || name->uOffset >= ILGetSize(item)) return E_INVALIDARG;
      const char* start = reinterpret_cast<const char*>(item) + name->uOffset;
      ansi.assign(start, strnlen(start, ILGetSize(item) - name->uOffset));
      break;
    }
    case STRRET_CSTR:
      ansi.assign(name->cStr, strnlen(name->cStr, MAX_PATH));
      break;
    default:
      return E_INVALIDARG;
  }
  // Cut on a character boundary, so the buffer never ends inside a double-byte character.
  std::size_t n = 0;
  while (n < ansi.size()) {
    const std::size_t step = IsDBCSLeadByte(static_cast<BYTE>(ansi[n])) ? 2 : 1;
    if (n + step > size - 1 || n + step > ansi.size()) break;
    n += step;
  }
  std::memcpy(buffer, ansi.data(), n);
  buffer[n] = '\0';
  return S_OK;
}

}  // namespace win
