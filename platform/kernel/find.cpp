// Wildcard search over a folder, in the host's enumeration order.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win {

namespace {

using detail::Fail;

class FindObject : public detail::KernelObject {
 public:
  DIR* dir = nullptr;
  std::string pattern;  // ANSI name pattern
  bool driveRoot = false;

  ~FindObject() override {
    if (dir != nullptr) closedir(dir);
  }
  BOOL Close() override {
    closedir(dir);
    dir = nullptr;
    return TRUE;
  }
};

// Reads on to the next entry that matches; false at the end of the folder.
bool NextMatch(FindObject& find, WIN32_FIND_DATAA* data) {
  while (const dirent* entry = readdir(find.dir)) {
    const std::string hostName = entry->d_name;
    const bool dots = hostName == "." || hostName == "..";
    if (dots && find.driveRoot) continue;
    // Names the code page cannot carry are skipped, never mangled.
    const auto ansi = HostNameToAnsi(hostName);
    if (!ansi || ansi->size() >= MAX_PATH) continue;
    if (!WildcardMatch(find.pattern, *ansi)) continue;
    struct stat st;
    if (fstatat(dirfd(find.dir), entry->d_name, &st, 0) != 0 &&
        fstatat(dirfd(find.dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // gone since it was listed
    }
    *data = WIN32_FIND_DATAA{};
    data->dwFileAttributes = detail::AttributesFrom(st, hostName);
    data->ftCreationTime = detail::FileTimeFrom(st.st_mtim);
    data->ftLastAccessTime = detail::FileTimeFrom(st.st_atim);
    data->ftLastWriteTime = detail::FileTimeFrom(st.st_mtim);
    if (S_ISREG(st.st_mode)) {
      const auto size = static_cast<std::uint64_t>(st.st_size);
      data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
      data->nFileSizeLow = static_cast<DWORD>(size);
    }
    std::memcpy(data->cFileName, ansi->c_str(), ansi->size() + 1);
    return true;
  }
  return false;
}

// One character of a code page 936 string, as a view.
struct Char {
  const char* p;
  std::size_t length;
  bool Is(char c) const { return length == 1 && *p == c; }
};

std::vector<Char> Chars(const std::string& s) {
  std::vector<Char> chars;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t length = detail::CharLength(s, i);
    chars.push_back({s.data() + i, length});
    i += length;
  }
  return chars;
}

bool SameChar(const Char& a, const Char& b) {
  if (a.length != b.length) return false;
  if (a.length == 1) {
    const auto fold = [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    };
    return fold(*a.p) == fold(*b.p);
  }
  return std::memcmp(a.p, b.p, a.length) == 0;
}

}  // namespace

namespace detail {

FILETIME FileTimeFrom(const struct timespec& ts) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  const std::int64_t ticks = (ts.tv_sec + kSecondsFrom1601To1970) * 10000000 + ts.tv_nsec / 100;
  const auto value = static_cast<std::uint64_t>(ticks < 0 ? 0 : ticks);
  return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

}  // namespace detail

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  // "*.*" is every name, with or without an extension, as on Windows.
  static const std::string kAny = "*";
  const std::vector<Char> p = Chars(pattern == "*.*" ? kAny : pattern);
  const std::vector<Char> n = Chars(name);
  // Greedy match with one backtrack point: the last "*" seen.
  std::size_t pi = 0, ni = 0, starP = std::string::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi].Is('?') || (!p[pi].Is('*') && SameChar(p[pi], n[ni])))) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi].Is('*')) {
      starP = pi++;
      starN = ni;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi].Is('*')) ++pi;
  return pi == p.size();
}

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  if (pattern == nullptr || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto full = detail::MakeFullPath(pattern);
  if (!full) return INVALID_HANDLE_VALUE;
  if (full->parts.empty() || full->trailingSeparator) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto find = std::make_unique<FindObject>();
  find->pattern = full->parts.back();
  full->parts.pop_back();
  find->driveRoot = full->parts.empty();
  const detail::Resolved folder = detail::Resolve(full->Text());
  if (folder.lookup != detail::Lookup::kFound) {
    SetLastError(folder.lookup == detail::Lookup::kLastMissing ? ERROR_PATH_NOT_FOUND
                                                               : folder.error);
    return INVALID_HANDLE_VALUE;
  }
  find->dir = opendir(folder.host.c_str());
  if (find->dir == nullptr) {
    SetLastError(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  if (!NextMatch(*find, data)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(ERROR_SUCCESS);
  return detail::RegisterHandle(std::move(find));
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
  auto f = detail::LookupHandleAs<FindObject>(find);
  if (f == nullptr) return FALSE;
  if (data == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!NextMatch(*f, data)) return Fail(ERROR_NO_MORE_FILES);
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  auto f = detail::UnregisterHandleAs<FindObject>(find);
  if (f == nullptr) return Fail(ERROR_INVALID_HANDLE);
  return f->Close();
}

}  // namespace win
