// Windows paths onto host paths: drive letters, "\" separators, the current directory and
// case-insensitive lookup of names that do not exist with their exact case.
#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <memory>
#include <mutex>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Splits at "\" and "/" that are whole characters (a double-byte character's second byte
// may be 0x5C). Empty pieces are kept, so a trailing separator shows as a final "".
std::vector<std::string> SplitWindows(const std::string& s) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t length = detail::CharLength(s, i);
    if (length == 1 && IsSeparator(s[i])) {
      parts.emplace_back();
    } else {
      parts.back().append(s, i, length);
    }
    i += length;
  }
  return parts;
}

std::string JoinHost(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

struct CurrentDirectory {
  std::mutex mutex;
  detail::FullPath path;  // C:\ until SetCurrentDirectoryA
};

CurrentDirectory& Current() {
  static CurrentDirectory* current = new CurrentDirectory;  // used until exit
  return *current;
}

detail::FullPath CurrentPath() {
  CurrentDirectory& c = Current();
  std::lock_guard lock(c.mutex);
  return c.path;
}

// Finds an entry of `folder` whose ANSI name equals `name` without case; "" when none.
std::string FindNoCase(const std::string& folder, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return {};
  while (const dirent* entry = readdir(dir.get())) {
    const std::string hostName = entry->d_name;
    if (hostName == "." || hostName == "..") continue;
    const auto ansi = HostNameToAnsi(hostName);
    if (ansi && AnsiEqualNoCase(*ansi, name)) return hostName;
  }
  return {};
}

}  // namespace

namespace detail {

std::string FullPath::Text() const {
  std::string text{drive, ':', '\\'};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += '\\';
    text += parts[i];
  }
  if (trailingSeparator && !parts.empty()) text += '\\';
  return text;
}

std::optional<FullPath> MakeFullPath(const std::string& path) {
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    SetLastError(ERROR_INVALID_NAME);  // network paths have no host counterpart here
    return std::nullopt;
  }
  FullPath current = CurrentPath();
  FullPath full;
  std::string rest = path;
  const bool hasDrive =
      path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
  if (hasDrive) {
    full.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    rest = path.substr(2);
  } else {
    full.drive = current.drive;
  }
  // Relative paths continue from the current directory when it is on the same drive,
  // else from the drive's root.
  if (!(rest.size() > 0 && IsSeparator(rest[0])) && full.drive == current.drive) {
    full.parts = current.parts;
  }
  const std::vector<std::string> pieces = SplitWindows(rest);
  for (const std::string& piece : pieces) {
    if (piece.empty() || piece == ".") continue;
    if (piece == "..") {
      if (!full.parts.empty()) full.parts.pop_back();
      continue;
    }
    full.parts.push_back(piece);
  }
  full.trailingSeparator = pieces.size() > 1 && pieces.back().empty();
  return full;
}

Resolved Resolve(const std::string& windowsPath, LastName lastName) {
  Resolved r;
  const auto full = MakeFullPath(windowsPath);
  if (!full) {
    r.error = GetLastError();
    return r;
  }
  r.windows = full->Text();
  r.isRoot = full->parts.empty();
  const auto drive = FindDrive(full->drive);
  if (!drive) {
    r.error = ERROR_PATH_NOT_FOUND;
    return r;
  }
  std::vector<std::string> names;
  for (const std::string& part : full->parts) {
    auto host = AnsiNameToHost(part);
    if (!host) {
      r.error = ERROR_INVALID_NAME;
      return r;
    }
    names.push_back(std::move(*host));
  }
  std::string exact = drive->hostRoot;
  for (const std::string& name : names) exact = JoinHost(exact, name);

  struct stat st;
  if (lstat(exact.c_str(), &st) == 0) {
    r.lookup = Lookup::kFound;
    r.host = exact;
    return r;
  }
  if (stat(drive->hostRoot.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    r.lookup = Lookup::kFolderMissing;
    r.host = exact;
    r.error = drive->type == DRIVE_REMOVABLE || drive->type == DRIVE_CDROM ? ERROR_NOT_READY
                                                                           : ERROR_PATH_NOT_FOUND;
    return r;
  }
  // Walk down, matching each missing component without case.
  std::string host = drive->hostRoot;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool last = i + 1 == names.size();
    std::string next = JoinHost(host, names[i]);
    if (lstat(next.c_str(), &st) != 0) {
      const int err = errno;
      const bool anyCase = !last || lastName == LastName::kAnyCase;
      const std::string match =
          err == ENOENT && anyCase ? FindNoCase(host, full->parts[i]) : std::string();
      if (!match.empty()) {
        next = JoinHost(host, match);
      } else {
        for (std::size_t k = i + 1; k < names.size(); ++k) next = JoinHost(next, names[k]);
        r.host = next;
        if (err != ENOENT) {
          r.lookup = Lookup::kFolderMissing;
          r.error = err == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(err);
        } else {
          r.lookup = last ? Lookup::kLastMissing : Lookup::kFolderMissing;
          r.error = last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        }
        return r;
      }
    }
    if (!last && (stat(next.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
      for (std::size_t k = i + 1; k < names.size(); ++k) next = JoinHost(next, names[k]);
      r.host = next;
      r.lookup = Lookup::kFolderMissing;
      r.error = ERROR_PATH_NOT_FOUND;
      return r;
    }
    host = next;
  }
  r.lookup = Lookup::kFound;
  r.host = host;
  return r;
}

BOOL FailLookup(const Resolved& r) {
  return Fail(r.error);
}

bool IsCurrentDirectory(const std::string& windowsPath) {
  const auto full = MakeFullPath(windowsPath);
  if (!full) return false;
  FullPath a = *full;
  FullPath b = CurrentPath();
  a.trailingSeparator = b.trailingSeparator = false;
  return AnsiEqualNoCase(a.Text(), b.Text());
}

std::string HostBaseName(const std::string& hostPath) {
  const std::size_t slash = hostPath.rfind('/');
  return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

std::string HostDirName(const std::string& hostPath) {
  const std::size_t slash = hostPath.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : hostPath.substr(0, slash);
}

}  // namespace detail

std::optional<std::string> HostPathFromWindows(const std::string& path) {
  const detail::Resolved r = detail::Resolve(path);
  if (r.lookup == detail::Lookup::kBadName) {
    SetLastError(r.error);
    return std::nullopt;
  }
  return r.host;
}

std::optional<std::string> WindowsPathFromHost(const std::string& hostPath) {
  const auto splitHost = [](const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
      std::size_t end = path.find('/', start);
      if (end == std::string::npos) end = path.size();
      const std::string piece = path.substr(start, end - start);
      if (piece == "..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!piece.empty() && piece != ".") {
        parts.push_back(piece);
      }
      start = end + 1;
    }
    return parts;
  };
  if (hostPath.empty() || hostPath[0] != '/') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  const std::vector<std::string> parts = splitHost(hostPath);
  const DriveMapping* best = nullptr;
  std::size_t bestDepth = 0;
  const std::vector<DriveMapping> table = DriveTable();
  for (const DriveMapping& drive : table) {
    const std::vector<std::string> root = splitHost(drive.hostRoot);
    if (root.size() > parts.size() || (best != nullptr && root.size() <= bestDepth)) continue;
    if (std::equal(root.begin(), root.end(), parts.begin())) {
      best = &drive;
      bestDepth = root.size();
    }
  }
  if (best == nullptr) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  std::string windows{best->letter, ':', '\\'};
  for (std::size_t i = bestDepth; i < parts.size(); ++i) {
    const auto ansi = HostNameToAnsi(parts[i]);
    if (!ansi) {
      // Not UTF-8, or it holds a stand-in of a forbidden character itself.
      SetLastError(Utf8ToAnsi(parts[i]) ? ERROR_INVALID_NAME : ERROR_NO_UNICODE_TRANSLATION);
      return std::nullopt;
    }
    if (i > bestDepth) windows += '\\';
    windows += *ansi;
  }
  return windows;
}

DWORD GetFullPathNameA(LPCSTR fileName, std::string& fullPath) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto full = detail::MakeFullPath(fileName);
  if (!full) return 0;
  fullPath = full->Text();
  return static_cast<DWORD>(fullPath.size());
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  if (path == nullptr) return detail::Fail(ERROR_INVALID_PARAMETER);
  const detail::Resolved r = detail::Resolve(path);
  if (r.lookup != detail::Lookup::kFound) return detail::FailLookup(r);
  struct stat st;
  if (stat(r.host.c_str(), &st) != 0) return detail::FailWithErrno(errno);
  if (!S_ISDIR(st.st_mode)) return detail::Fail(ERROR_DIRECTORY);
  auto full = detail::MakeFullPath(path);
  if (!full) return FALSE;
  full->trailingSeparator = false;
  CurrentDirectory& c = Current();
  std::lock_guard lock(c.mutex);
  c.path = *full;
  return TRUE;
}

DWORD GetCurrentDirectoryA(std::string& path) {
  path = CurrentPath().Text();
  return static_cast<DWORD>(path.size());
}

}  // namespace win
