#include "platform/shell/shell_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/shell/shell.h"
#include "platform/shell/shell_internal.h"
#include "platform/shell/strings.h"
#include "platform/user/clipboard.h"
#include "platform/user/user.h"

namespace win {
namespace {

using namespace shell;
namespace fs = std::filesystem;

std::string Utf8(const std::string& ansi) {
  return AnsiToUtf8(ansi).value_or(ansi);
}

// Whether an entry of `folder` other than `except` (ANSI names) is called `name` in any case.
bool NameTaken(const std::string& folder, const std::string& name, const std::string& except) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  bool taken = false;
  while (const dirent* e = readdir(dir)) {
    const std::optional<std::string> ansi = AnsiFromHostName(e->d_name);
    if (!ansi || *ansi == except || *ansi == "." || *ansi == "..") continue;
    if (AnsiEqualNoCase(*ansi, name)) {
      taken = true;
      break;
    }
  }
  closedir(dir);
  return taken;
}

bool Exists(const std::string& host) {
  struct stat st {};
  return lstat(host.c_str(), &st) == 0;
}

// rename(2) that never replaces what is at `to`.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: check, then rename.
  if (Exists(to)) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool HasForbiddenCharacter(const std::string& ansi) {
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    const auto c = static_cast<BYTE>(ansi[i]);
    if (IsDBCSLeadByte(c)) {
      ++i;
      continue;
    }
    if (c < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return true;
  }
  return false;
}

DWORD ErrorOfGio(const GError* error) {
  if (error == nullptr || error->domain != G_IO_ERROR) return ERROR_GEN_FAILURE;
  switch (error->code) {
    case G_IO_ERROR_NOT_FOUND:
      return ERROR_FILE_NOT_FOUND;
    case G_IO_ERROR_PERMISSION_DENIED:
      return ERROR_ACCESS_DENIED;
    case G_IO_ERROR_NOT_SUPPORTED:
      return ERROR_NOT_SUPPORTED;
    case G_IO_ERROR_NO_SPACE:
      return ERROR_DISK_FULL;
    case G_IO_ERROR_READ_ONLY:
      return ERROR_WRITE_PROTECT;
    case G_IO_ERROR_BUSY:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_GEN_FAILURE;
  }
}

bool IsInsideOrSame(const fs::path& inner, const fs::path& outer) {
  std::error_code ec;
  const fs::path a = fs::weakly_canonical(inner, ec);
  if (ec) return false;
  const fs::path b = fs::weakly_canonical(outer, ec);
  if (ec) return false;
  auto ia = a.begin();
  for (auto ib = b.begin(); ib != b.end(); ++ib, ++ia) {
    if (ia == a.end() || *ia != *ib) return false;
  }
  return true;
}

// A free name in `folder` for a copy of `name` (host names).
std::optional<std::string> FreeCopyName(const std::string& folder, const std::string& name) {
  if (!Exists(JoinHost(folder, name))) return name;
  for (int n = 1; n < 1000; ++n) {
    const std::string prefix =
        n == 1 ? strings::kCopyPrefix : Compose(strings::kCopyNumberedPrefix, n);
    const std::string candidate = prefix + name;
    if (!Exists(JoinHost(folder, candidate))) return candidate;
  }
  return std::nullopt;
}

DWORD CopyTree(const std::string& source, const std::string& dest) {
  std::error_code ec;
  fs::copy(source, dest, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec) return ERROR_SUCCESS;
  std::error_code ignored;
  fs::remove_all(dest, ignored);  // what was made of the copy; nothing was there before
  return ErrorFromErrno(ec.value());
}

struct Totals {
  std::uintmax_t bytes = 0;
  int files = 0;
  int folders = 0;
};

Totals Measure(const std::string& host) {
  Totals t;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(host, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    const fs::file_status st = it->symlink_status(ec);
    if (ec) break;
    if (fs::is_directory(st)) {
      ++t.folders;
    } else {
      ++t.files;
      if (fs::is_regular_file(st)) t.bytes += it->file_size(ec);
      ec.clear();
    }
  }
  return t;
}

// 1234567 -> "1,234,567"
std::string Grouped(std::uintmax_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

HGLOBAL TextGlobal(const std::string& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (memory == nullptr) return nullptr;
  auto* p = static_cast<char*>(GlobalLock(memory));
  if (p == nullptr) {
    GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(p, text.c_str(), text.size() + 1);
  GlobalUnlock(memory);
  return memory;
}

std::optional<std::string> GlobalText(HANDLE memory) {
  if (memory == nullptr) return std::nullopt;
  const std::size_t size = GlobalSize(memory);
  const auto* p = static_cast<const char*>(GlobalLock(memory));
  if (p == nullptr) return std::nullopt;
  std::string text(p, strnlen(p, size));
  GlobalUnlock(memory);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

}  // namespace

// --- Files --------------------------------------------------------------------------------

DWORD MoveToTrash(const std::string& host) {
  if (host.empty() || host[0] != '/') return ERROR_INVALID_PARAMETER;
  if (!Exists(host)) return ERROR_FILE_NOT_FOUND;
  GFile* file = g_file_new_for_path(host.c_str());
  GError* error = nullptr;
  const gboolean done = g_file_trash(file, nullptr, &error);
  g_object_unref(file);
  if (done) return ERROR_SUCCESS;
  const DWORD code = ErrorOfGio(error);
  g_clear_error(&error);
  return code;
}

DWORD DeleteTree(const std::string& host) {
  if (host.empty() || host[0] != '/' || host == "/") return ERROR_INVALID_PARAMETER;
  if (!Exists(host)) return ERROR_FILE_NOT_FOUND;
  std::error_code ec;
  fs::remove_all(host, ec);
  return ec ? ErrorFromErrno(ec.value()) : ERROR_SUCCESS;
}

DWORD CopyOrMoveInto(const std::string& source, const std::string& targetFolder, bool move,
                     std::string* made) {
  if (source.empty() || targetFolder.empty() || source == "/") return ERROR_INVALID_PARAMETER;
  struct stat st {};
  if (lstat(source.c_str(), &st) != 0) return ErrorFromErrno(errno);
  struct stat target {};
  if (stat(targetFolder.c_str(), &target) != 0) return ErrorFromErrno(errno);
  if (!S_ISDIR(target.st_mode)) return ERROR_DIRECTORY;
  // A folder cannot go into itself or below itself.
  if (S_ISDIR(st.st_mode) && IsInsideOrSame(targetFolder, source)) return ERROR_INVALID_PARAMETER;
  const std::string name = BaseName(source);
  if (move && IsInsideOrSame(DirName(source), targetFolder) &&
      IsInsideOrSame(targetFolder, DirName(source))) {
    if (made != nullptr) *made = source;  // already there
    return ERROR_SUCCESS;
  }
  const std::optional<std::string> free = FreeCopyName(targetFolder, name);
  if (!free) return ERROR_FILE_EXISTS;
  const std::string dest = JoinHost(targetFolder, *free);
  DWORD code = ERROR_SUCCESS;
  if (move) {
    const int err = RenameNoReplace(source, dest);
    if (err == EXDEV) {  // another volume: copy, then remove the original
      code = CopyTree(source, dest);
      if (code == ERROR_SUCCESS) code = DeleteTree(source);
    } else if (err != 0) {
      code = ErrorFromErrno(err);
    }
  } else {
    code = CopyTree(source, dest);
  }
  if (code == ERROR_SUCCESS && made != nullptr) *made = dest;
  return code;
}

// --- The home trash ---------------------------------------------------------------------

std::string HomeTrashFolder() {
  // The folder g_file_trash uses for what lives on the home volume.
  return JoinHost(g_get_user_data_dir(), "Trash");
}

int HomeTrashItemCount() {
  std::error_code ec;
  int count = 0;
  for (fs::directory_iterator it(JoinHost(HomeTrashFolder(), "files"), ec), end; !ec && it != end;
       it.increment(ec))
    ++count;
  return count;
}

DWORD EmptyHomeTrash(int* left) {
  if (left != nullptr) *left = 0;
  const std::string trash = HomeTrashFolder();
  const std::string files = JoinHost(trash, "files");
  const std::string info = JoinHost(trash, "info");
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(files, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  DWORD first = ERROR_SUCCESS;
  int failed = 0;
  for (const std::string& name : names) {
    const DWORD code = DeleteTree(JoinHost(files, name));
    if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) {
      if (first == ERROR_SUCCESS) first = code;
      ++failed;
      continue;
    }
    // The information goes only with its item, so what stays can still be restored.
    ::unlink(JoinHost(info, name + ".trashinfo").c_str());
  }
  // The cached sizes of trashed folders name items that are gone now.
  if (failed == 0) ::unlink(JoinHost(trash, "directorysizes").c_str());
  if (left != nullptr) *left = failed;
  return first;
}

// --- File lists on the clipboard ------------------------------------------------------------

UINT UriListFormat() {
  return RegisterClipboardFormatA("text/uri-list");
}

UINT GnomeCopiedFilesFormat() {
  return RegisterClipboardFormatA("x-special/gnome-copied-files");
}

std::string FileUriFromHost(const std::string& host) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char ch : host) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) || std::strchr("/-._~", c) != nullptr) {
      uri += char(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xF];
    }
  }
  return uri;
}

std::optional<std::string> HostFromFileUri(const std::string& uri) {
  std::string rest;
  if (uri.starts_with("file:///")) {
    rest = uri.substr(7);
  } else if (uri.starts_with("file://localhost/")) {
    rest = uri.substr(16);
  } else {
    return std::nullopt;
  }
  std::string host;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] != '%') {
      host += rest[i];
      continue;
    }
    if (i + 2 >= rest.size() || !std::isxdigit(static_cast<unsigned char>(rest[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(rest[i + 2])))
      return std::nullopt;
    const int value = std::stoi(rest.substr(i + 1, 2), nullptr, 16);
    if (value == 0) return std::nullopt;
    host += char(value);
    i += 2;
  }
  return host;
}

BOOL PutFileListOnClipboard(HWND, const ClipboardFileList& list) {
  if (list.hosts.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string uris;
  std::string gnome = list.cut ? "cut" : "copy";
  for (const std::string& host : list.hosts) {
    const std::string uri = FileUriFromHost(host);
    uris += uri + "\r\n";
    gnome += "\n" + uri;
  }
  if (!OpenClipboard(nullptr)) return FALSE;
  BOOL done = EmptyClipboard();
  for (const auto& [format, text] :
       {std::pair{UriListFormat(), uris}, std::pair{GnomeCopiedFilesFormat(), gnome}}) {
    if (!done) break;
    HGLOBAL memory = TextGlobal(text);
    if (memory == nullptr || SetClipboardData(format, memory) == nullptr) {
      if (memory != nullptr) GlobalFree(memory);
      done = FALSE;
    }
  }
  CloseClipboard();
  return done;
}

bool ReadFileListFromClipboard(HWND, ClipboardFileList* list) {
  if (list == nullptr) return false;
  *list = {};
  if (!OpenClipboard(nullptr)) return false;
  std::optional<std::string> gnome = GlobalText(GetClipboardData(GnomeCopiedFilesFormat()));
  std::optional<std::string> uris;
  if (!gnome) uris = GlobalText(GetClipboardData(UriListFormat()));
  CloseClipboard();
  std::vector<std::string> lines;
  if (gnome) {
    lines = Lines(*gnome);
    if (lines.empty() || (lines[0] != "copy" && lines[0] != "cut")) return false;
    list->cut = lines[0] == "cut";
    lines.erase(lines.begin());
  } else if (uris) {
    lines = Lines(*uris);
  }
  for (const std::string& line : lines) {
    if (line.empty() || line[0] == '#') continue;
    if (std::optional<std::string> host = HostFromFileUri(line)) list->hosts.push_back(*host);
  }
  return !list->hosts.empty();
}

namespace shell {

std::string ErrorText(DWORD code) {
  return Utf8(SystemErrorText(code));
}

int Tell(HWND owner, const std::string& text, const std::string& caption, UINT type, bool always) {
  if (owner == nullptr && !always) return IDCANCEL;
  const std::string t = Utf8ToAnsi(text).value_or(std::string());
  const std::string c = Utf8ToAnsi(caption).value_or(std::string());
  return MessageBox(owner, t.c_str(), c.c_str(), type);
}

std::string BaseName(const std::string& host) {
  const std::size_t slash = host.rfind('/');
  return slash == std::string::npos ? host : host.substr(slash + 1);
}

std::string DirName(const std::string& host) {
  const std::size_t slash = host.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : host.substr(0, slash);
}

// --- Renaming -----------------------------------------------------------------------------

HRESULT RenameItem(HWND owner, const Location& parent, const Item& item, LPCWSTR name,
                   LPITEMIDLIST* newItem) {
  if (newItem != nullptr) *newItem = nullptr;
  if (item.kind != kKindFolder && item.kind != kKindFile)
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  Location at;
  if (HRESULT hr = Descend(parent, item, &at); FAILED(hr)) return hr;
  const std::string shown = Utf8(item.name);
  auto refuse = [&](DWORD code, const std::string& text) {
    Tell(owner, text, strings::kRenameErrorCaption, MB_OK | MB_ICONERROR);
    return HRESULT_FROM_WIN32(code);
  };
  const std::optional<std::string> ansi = Utf8ToAnsi(Utf16ToUtf8(std::u16string(name)));
  if (!ansi)
    return refuse(ERROR_NO_UNICODE_TRANSLATION,
                  Compose(strings::kRenameFailed, shown.c_str(),
                          ErrorText(ERROR_NO_UNICODE_TRANSLATION).c_str()));
  if (ansi->empty()) return refuse(ERROR_INVALID_NAME, strings::kRenameEmpty);
  if (HasForbiddenCharacter(*ansi))
    return refuse(ERROR_INVALID_NAME, strings::kRenameBadCharacters);
  if (std::all_of(ansi->begin(), ansi->end(), [](char c) { return c == '.'; }))
    return refuse(ERROR_INVALID_NAME, Compose(strings::kRenameFailed, shown.c_str(),
                                              ErrorText(ERROR_INVALID_NAME).c_str()));
  if (ansi->size() >= MAX_PATH - 4)
    return refuse(ERROR_FILENAME_EXCED_RANGE,
                  Compose(strings::kRenameFailed, shown.c_str(),
                          ErrorText(ERROR_FILENAME_EXCED_RANGE).c_str()));
  const std::optional<std::string> hostName = HostFromAnsiName(*ansi);
  if (!hostName) return refuse(ERROR_INVALID_NAME, strings::kRenameBadCharacters);
  const std::string folder = DirName(at.host);
  if (*ansi != item.name) {
    // Only the item itself may carry the new name in another case.
    if (NameTaken(folder, *ansi, item.name))
      return refuse(ERROR_ALREADY_EXISTS, Compose(strings::kRenameExists, shown.c_str()));
    if (const int err = RenameNoReplace(at.host, JoinHost(folder, *hostName)); err != 0) {
      const DWORD code = err == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(err);
      if (code == ERROR_ALREADY_EXISTS)
        return refuse(code, Compose(strings::kRenameExists, shown.c_str()));
      return refuse(code, Compose(strings::kRenameFailed, shown.c_str(), ErrorText(code).c_str()));
    }
  } else if (!Exists(at.host)) {
    return refuse(ERROR_FILE_NOT_FOUND, Compose(strings::kRenameFailed, shown.c_str(),
                                                ErrorText(ERROR_FILE_NOT_FOUND).c_str()));
  }
  if (newItem != nullptr) {
    *newItem = NameList(item.kind == kKindFolder, *ansi);
    if (*newItem == nullptr) return E_OUTOFMEMORY;
  }
  return S_OK;
}

// --- Context menus ------------------------------------------------------------------------

namespace {

struct Command {
  UINT offset;
  const char* verb;  // null for a command without one
  const char* text;  // UTF-8; null for a separator
  const char* help;
  bool popup = false;  // "发送到": a sub-menu filled when it opens
};

constexpr UINT kNoCommand = 0xFFFF;
constexpr Command kSeparator{0, nullptr, nullptr, nullptr};
constexpr Command kOpen{kCmdOpen, "open", strings::kMenuOpen, strings::kHelpOpen};
constexpr Command kExplore{kCmdExplore, "explore", strings::kMenuExplore, strings::kHelpExplore};
constexpr Command kCut{kCmdCut, "cut", strings::kMenuCut, strings::kHelpCut};
constexpr Command kCopy{kCmdCopy, "copy", strings::kMenuCopy, strings::kHelpCopy};
constexpr Command kPaste{kCmdPaste, "paste", strings::kMenuPaste, strings::kHelpPaste};
constexpr Command kDelete{kCmdDelete, "delete", strings::kMenuDelete, strings::kHelpDelete};
constexpr Command kRename{kCmdRename, "rename", strings::kMenuRename, strings::kHelpRename};
constexpr Command kProperties{kCmdProperties, "properties", strings::kMenuProperties,
                              strings::kHelpProperties};
constexpr Command kEmptyBin{kCmdEmptyRecycleBin, "emptyrecyclebin", strings::kMenuEmptyRecycleBin,
                            strings::kHelpEmptyRecycleBin};
constexpr Command kSendTo{kNoCommand, nullptr, strings::kMenuSendTo, nullptr, true};

bool VerbEquals(const char* a, const char* b) {
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) !=
        std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

HRESULT CopyString(const std::string& text, char* buffer, UINT size) {
  if (text.size() >= size) return HRESULT_FROM_WIN32(DWORD{122});  // ERROR_INSUFFICIENT_BUFFER
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return S_OK;
}

// A free name in `folder` for a shortcut to `name` (host names).
std::optional<std::string> FreeShortcutName(const std::string& folder, const std::string& name) {
  for (int n = 1; n < 1000; ++n) {
    const std::string prefix =
        n == 1 ? strings::kShortcutPrefix : Compose(strings::kShortcutNumberedPrefix, n);
    if (!Exists(JoinHost(folder, prefix + name))) return prefix + name;
  }
  return std::nullopt;
}

struct Space {
  std::uintmax_t total = 0;
  std::uintmax_t free = 0;
};

std::optional<Space> SpaceOf(const std::string& host) {
  struct statvfs vfs {};
  if (statvfs(host.c_str(), &vfs) != 0) return std::nullopt;
  Space s;
  s.total = std::uintmax_t(vfs.f_blocks) * vfs.f_frsize;
  s.free = std::uintmax_t(vfs.f_bavail) * vfs.f_frsize;
  return s;
}

// "可移动磁盘 (E:)", UTF-8.
std::string DriveCaption(const DriveMapping& drive) {
  Location at;
  at.host = drive.hostRoot;
  at.driveType = drive.type;
  return Utf8(DriveLabel(at)) + " (" + std::string{drive.letter, ':'} + ")";
}

class ItemMenu final : public IContextMenu3 {
 public:
  ItemMenu(Location parent, Item item, Location target)
      : parent_(std::move(parent)), item_(std::move(item)), target_(std::move(target)) {}
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IContextMenu) {
      *object = static_cast<IContextMenu*>(this);
    } else if (iid == IID_IContextMenu2) {
      *object = static_cast<IContextMenu2*>(this);
    } else if (iid == IID_IContextMenu3) {
      *object = static_cast<IContextMenu3*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  HRESULT QueryContextMenu(HMENU menu, UINT position, UINT idFirst, UINT idLast,
                           UINT flags) override {
    if (!IsMenu(menu)) return E_INVALIDARG;
    UINT highest = 0;
    bool pendingSeparator = false;
    bool any = false;
    idFirst_ = idFirst;
    sendTo_ = nullptr;
    for (const Command& c : Commands(flags)) {
      if (c.text == nullptr) {
        pendingSeparator = any;
        continue;
      }
      // The sub-menu's commands must all fit in the range.
      const UINT last = c.popup ? UINT(kCmdLast) : c.offset;
      if (idLast < idFirst || idLast - idFirst < last) continue;
      if (pendingSeparator) {
        InsertMenuA(menu, position++, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        pendingSeparator = false;
      }
      const std::string text = Utf8ToAnsi(c.text).value_or(std::string());
      if (c.popup) {
        HMENU sub = CreatePopupMenu();
        if (sub == nullptr || !InsertMenuA(menu, position, MF_BYPOSITION | MF_POPUP,
                                           reinterpret_cast<UINT_PTR>(sub), text.c_str())) {
          if (sub != nullptr) DestroyMenu(sub);
          continue;
        }
        ++position;
        sendTo_ = sub;
      } else {
        UINT state = MF_BYPOSITION | MF_STRING;
        if (c.offset == kCmdOpen) state |= MF_DEFAULT;
        if (c.offset == kCmdPaste && !ClipboardHasFiles()) state |= MF_GRAYED;
        if (c.offset == kCmdEmptyRecycleBin && HomeTrashItemCount() == 0) state |= MF_GRAYED;
        InsertMenuA(menu, position++, state, idFirst + c.offset, text.c_str());
      }
      highest = std::max(highest, last + 1);
      any = true;
    }
    return MAKE_HRESULT(0, 0, highest);
  }

  HRESULT InvokeCommand(const CMINVOKECOMMANDINFO* info) override {
    if (info == nullptr || info->lpVerb == nullptr) return E_INVALIDARG;
    const auto raw = reinterpret_cast<std::uintptr_t>(info->lpVerb);
    const HWND owner = (info->fMask & CMIC_MASK_FLAG_NO_UI) ? nullptr : info->hwnd;
    if (raw < 0x10000 && raw >= kCmdSendToDesktop && raw <= kCmdLast && SendsTo())
      return SendTo(owner, UINT(raw));
    std::optional<Command> chosen;
    for (const Command& c : Commands(CMF_CANRENAME)) {
      if (c.text == nullptr || c.verb == nullptr) continue;
      if (raw < 0x10000 ? raw == c.offset : VerbEquals(info->lpVerb, c.verb)) chosen = c;
    }
    if (!chosen) return E_INVALIDARG;
    switch (chosen->offset) {
      case kCmdOpen:
      case kCmdExplore:
        return Open(owner);
      case kCmdCut:
      case kCmdCopy: {
        ClipboardFileList list;
        list.cut = chosen->offset == kCmdCut;
        list.hosts.push_back(target_.host);
        if (!PutFileListOnClipboard(owner, list)) return HRESULT_FROM_WIN32(GetLastError());
        return S_OK;
      }
      case kCmdPaste:
        return Paste(owner);
      case kCmdDelete:
        return Delete(owner, (info->fMask & CMIC_MASK_SHIFT_DOWN) != 0);
      case kCmdProperties:
        return Properties(owner);
      case kCmdEmptyRecycleBin:
        return EmptyRecycleBin(owner);
      default:  // renaming happens in place, by the caller
        return E_NOTIMPL;
    }
  }

  HRESULT GetCommandString(UINT_PTR offset, UINT type, UINT*, char* buffer, UINT size) override {
    if (buffer == nullptr || size == 0) return E_INVALIDARG;
    buffer[0] = 0;
    if (type != GCS_VERBA && type != GCS_HELPTEXTA) return E_NOTIMPL;
    if (offset >= kCmdSendToDesktop && offset <= kCmdLast && SendsTo()) {
      if (type == GCS_VERBA) return E_INVALIDARG;  // these have no verbs
      std::string help;
      if (offset == kCmdSendToDesktop) {
        help = strings::kHelpSendToDesktop;
      } else if (offset == kCmdSendToDocuments) {
        help = strings::kHelpSendToDocuments;
      } else {
        const char letter = char('A' + (offset - kCmdSendToDrive));
        help = Compose(strings::kHelpSendToDrive, (std::string{letter, ':'}).c_str());
      }
      return CopyString(Ansi(help.c_str()), buffer, size);
    }
    for (const Command& c : Commands(CMF_CANRENAME)) {
      if (c.text == nullptr || c.verb == nullptr || c.offset != offset) continue;
      return CopyString(type == GCS_VERBA ? std::string(c.verb) : Ansi(c.help), buffer, size);
    }
    return E_INVALIDARG;
  }

  HRESULT HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) override {
    return HandleMenuMsg2(message, wParam, lParam, nullptr);
  }

  HRESULT HandleMenuMsg2(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override {
    if (result != nullptr) *result = 0;
    if (message != WM_INITMENUPOPUP) return S_FALSE;  // nothing of ours is drawn or keyed
    const auto menu = reinterpret_cast<HMENU>(wParam);
    if (menu == nullptr || menu != sendTo_ || !IsMenu(menu)) return S_FALSE;
    FillSendTo(menu);
    return S_OK;
  }

 private:
  ~ItemMenu() = default;

  bool FileSystemItem() const { return item_.kind == kKindFolder || item_.kind == kKindFile; }
  bool Special(BYTE tag) const { return item_.kind == kKindSpecial && item_.tag == tag; }
  bool SendsTo() const { return FileSystemItem() || Special(kDocuments); }

  std::vector<Command> Commands(UINT flags) const {
    std::vector<Command> out;
    if (FileSystemItem()) {
      const bool folder = item_.kind == kKindFolder;
      out = {kOpen};
      if (folder) out.push_back(kExplore);
      out.insert(out.end(), {kSeparator, kSendTo, kSeparator, kCut, kCopy});
      if (folder) out.push_back(kPaste);
      out.insert(out.end(), {kSeparator, kDelete});
      if (flags & CMF_CANRENAME) out.push_back(kRename);
      out.insert(out.end(), {kSeparator, kProperties});
    } else if (item_.kind == kKindDrive) {
      out = {kOpen, kExplore, kSeparator, kPaste, kSeparator, kProperties};
    } else if (Special(kDocuments)) {
      out = {kOpen, kExplore, kSeparator, kSendTo, kSeparator, kPaste, kSeparator, kProperties};
    } else if (Special(kComputer)) {
      out = {kOpen, kExplore, kSeparator, kProperties};
    } else if (Special(kRecycleBin)) {
      out = {kOpen, kExplore, kSeparator, kEmptyBin, kSeparator, kProperties};
    } else if (item_.kind == kKindSpecial) {
      out = {kOpen, kExplore};  // the network, the control panel
    }
    return out;
  }

  std::string Shown() const {
    if (item_.kind == kKindSpecial) return SpecialName(item_.tag);
    if (item_.kind == kKindDrive)
      return Utf8(DriveLabel(target_)) + " (" + target_.winPath.substr(0, 2) + ")";
    return Utf8(item_.name);
  }

  static bool ClipboardHasFiles() {
    return IsClipboardFormatAvailable(GnomeCopiedFilesFormat()) ||
           IsClipboardFormatAvailable(UriListFormat());
  }

  HRESULT Open(HWND owner) const {
    std::string target;
    if (Special(kRecycleBin)) {
      target = "trash:///";
    } else if (Special(kComputer)) {
      target = "file:///";
    } else if (target_.type == Location::kFileSystem) {
      target = FileUriFromHost(target_.host);
    } else {
      return S_FALSE;  // the network and the control panel have nothing behind them here
    }
    const auto result = reinterpret_cast<std::intptr_t>(
        ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return S_OK;
    const DWORD code = result == SE_ERR_FNF ? ERROR_FILE_NOT_FOUND : ERROR_NO_ASSOCIATION;
    Tell(owner, Compose(strings::kOpenFailed, Shown().c_str(), ErrorText(code).c_str()),
         strings::kOpenErrorCaption, MB_OK | MB_ICONERROR);
    return HRESULT_FROM_WIN32(code);
  }

  HRESULT Delete(HWND owner, bool forGood) const {
    const std::string shown = Shown();
    DWORD code = ERROR_SUCCESS;
    if (forGood) {
      const bool folder = item_.kind == kKindFolder;
      // Deleting for good is asked even without an owner: nothing brings it back.
      const int answer = Tell(owner, Compose(strings::kDeleteForGood, shown.c_str()),
                              folder ? strings::kDeleteFolderCaption : strings::kDeleteFileCaption,
                              MB_YESNO | MB_ICONQUESTION, true);
      if (answer != IDYES) return HRESULT_FROM_WIN32(ERROR_CANCELLED);
      code = DeleteTree(target_.host);
    } else {
      code = MoveToTrash(target_.host);
    }
    if (code == ERROR_SUCCESS) return S_OK;
    Tell(owner, Compose(strings::kDeleteFailed, shown.c_str(), ErrorText(code).c_str()),
         strings::kDeleteErrorCaption, MB_OK | MB_ICONERROR);
    return HRESULT_FROM_WIN32(code);
  }

  HRESULT Paste(HWND owner) const {
    ClipboardFileList list;
    if (!ReadFileListFromClipboard(owner, &list)) return S_FALSE;  // nothing to paste
    HRESULT result = S_OK;
    bool movedAll = list.cut;
    for (const std::string& host : list.hosts) {
      const DWORD code = CopyOrMoveInto(host, target_.host, list.cut, nullptr);
      if (code == ERROR_SUCCESS) continue;
      movedAll = false;
      const std::string name = BaseName(host);
      Tell(owner,
           Compose(list.cut ? strings::kMoveFailed : strings::kCopyFailed, name.c_str(),
                   ErrorText(code).c_str()),
           list.cut ? strings::kMoveErrorCaption : strings::kCopyErrorCaption,
           MB_OK | MB_ICONERROR);
      if (SUCCEEDED(result)) result = HRESULT_FROM_WIN32(code);
    }
    // What was cut is gone from where the list names it: the list is used up.
    if (movedAll && OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
    return result;
  }

  HRESULT Failed(HWND owner, DWORD code) const {
    Tell(owner, Compose(strings::kOpenFailed, Shown().c_str(), ErrorText(code).c_str()),
         strings::kOpenErrorCaption, MB_OK | MB_ICONERROR);
    return HRESULT_FROM_WIN32(code);
  }

  HRESULT Properties(HWND owner) const {
    const std::string caption = Compose(strings::kPropertiesCaption, Shown().c_str());
    if (Special(kComputer)) return ComputerProperties(owner);
    if (Special(kRecycleBin)) {
      const std::string trash = HomeTrashFolder();
      const Totals t = Measure(JoinHost(trash, "files"));
      // Its Windows path where a drive holds it.
      const std::optional<std::string> windows = WindowsPathFromHost(trash);
      const std::string where = windows ? Utf8(*windows) : trash;
      const std::string text = Compose(strings::kRecycleBinPropertiesText, where.c_str(),
                                       HomeTrashItemCount(), Grouped(t.bytes).c_str());
      Tell(owner, text, caption, MB_OK | MB_ICONINFORMATION, true);
      return S_OK;
    }
    if (target_.type != Location::kFileSystem) return E_INVALIDARG;
    struct stat st {};
    if (stat(target_.host.c_str(), &st) != 0) return Failed(owner, ErrorFromErrno(errno));
    std::string text;
    if (item_.kind == kKindDrive) {
      const std::optional<Space> space = SpaceOf(target_.host);
      if (!space) return Failed(owner, ErrorFromErrno(errno));
      text = Compose(strings::kDrivePropertiesText, Utf8(DriveLabel(target_)).c_str(),
                     DriveTypeName(target_.driveType), Grouped(space->total - space->free).c_str(),
                     Grouped(space->free).c_str(), Grouped(space->total).c_str());
    } else if (S_ISDIR(st.st_mode)) {
      const std::string where = Utf8(parent_.winPath.empty() ? target_.host : parent_.winPath);
      const Totals t = Measure(target_.host);
      text = Compose(strings::kPropertiesText, where.c_str(), Grouped(t.bytes).c_str(), t.files,
                     t.folders);
    } else {
      const std::string where = Utf8(parent_.winPath.empty() ? target_.host : parent_.winPath);
      text = Compose(strings::kPropertiesFileText, where.c_str(),
                     Grouped(std::uintmax_t(st.st_size)).c_str());
    }
    Tell(owner, text, caption, MB_OK | MB_ICONINFORMATION, true);
    return S_OK;
  }

  static HRESULT ComputerProperties(HWND owner) {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) name[0] = 0;
    std::string text = Compose(strings::kComputerPropertiesName, name);
    for (const DriveMapping& drive : DriveTable()) {
      const std::string caption = DriveCaption(drive);
      const std::optional<Space> space = SpaceOf(drive.hostRoot);
      text += "\n";
      text += space ? Compose(strings::kComputerDriveLine, caption.c_str(),
                              Grouped(space->free).c_str(), Grouped(space->total).c_str())
                    : Compose(strings::kComputerDriveNotReady, caption.c_str());
    }
    Tell(owner, text, strings::kComputerPropertiesCaption, MB_OK | MB_ICONINFORMATION, true);
    return S_OK;
  }

  HRESULT EmptyRecycleBin(HWND owner) const {
    const int count = HomeTrashItemCount();
    if (count == 0) return S_FALSE;
    // Asked even without an owner, like deleting for good.
    const std::string question = count == 1 ? std::string(strings::kEmptyRecycleBinOne)
                                            : Compose(strings::kEmptyRecycleBinMany, count);
    if (Tell(owner, question, strings::kEmptyRecycleBinCaption, MB_YESNO | MB_ICONQUESTION, true) !=
        IDYES)
      return HRESULT_FROM_WIN32(ERROR_CANCELLED);
    int left = 0;
    const DWORD code = EmptyHomeTrash(&left);
    if (code == ERROR_SUCCESS) return S_OK;
    Tell(owner, Compose(strings::kEmptyRecycleBinFailed, left, ErrorText(code).c_str()),
         strings::kDeleteErrorCaption, MB_OK | MB_ICONERROR);
    return HRESULT_FROM_WIN32(code);
  }

  // "发送到": the desktop's shortcut, the documents folder, each removable drive.
  void FillSendTo(HMENU menu) const {
    while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
    const std::string shortcut = Ansi(strings::kSendToDesktop);
    AppendMenuA(menu, MF_STRING, idFirst_ + kCmdSendToDesktop, shortcut.c_str());
    if (!Special(kDocuments)) {
      const std::string documents = Ansi(strings::kDocumentsName);
      AppendMenuA(menu, MF_STRING, idFirst_ + kCmdSendToDocuments, documents.c_str());
    }
    for (const DriveMapping& drive : DriveTable()) {
      if (drive.type != DRIVE_REMOVABLE || drive.letter < 'A' || drive.letter > 'Z') continue;
      const std::string caption = Ansi(DriveCaption(drive).c_str());
      AppendMenuA(menu, MF_STRING, idFirst_ + kCmdSendToDrive + UINT(drive.letter - 'A'),
                  caption.c_str());
    }
  }

  HRESULT SendTo(HWND owner, UINT offset) const {
    const std::string name = Special(kDocuments) ? strings::kDocumentsName : BaseName(target_.host);
    if (offset == kCmdSendToDesktop) {
      const std::string desktop = DesktopHostFolder();
      const std::optional<std::string> link = FreeShortcutName(desktop, name);
      DWORD code = link ? ERROR_SUCCESS : ERROR_FILE_EXISTS;
      if (link && symlink(target_.host.c_str(), JoinHost(desktop, *link).c_str()) != 0)
        code = ErrorFromErrno(errno);
      if (code == ERROR_SUCCESS) return S_OK;
      Tell(owner, Compose(strings::kShortcutFailed, Shown().c_str(), ErrorText(code).c_str()),
           strings::kShortcutErrorCaption, MB_OK | MB_ICONERROR);
      return HRESULT_FROM_WIN32(code);
    }
    std::string folder;
    DWORD code = ERROR_SUCCESS;
    if (offset == kCmdSendToDocuments) {
      folder = DocumentsHostFolder();
    } else {
      const char letter = char('A' + (offset - kCmdSendToDrive));
      code = ERROR_PATH_NOT_FOUND;
      for (const DriveMapping& drive : DriveTable()) {
        if (drive.letter != letter || drive.type != DRIVE_REMOVABLE) continue;
        folder = drive.hostRoot;
        code = Exists(folder) ? ERROR_SUCCESS : ERROR_NOT_READY;
      }
    }
    if (code == ERROR_SUCCESS) code = CopyOrMoveInto(target_.host, folder, false, nullptr);
    if (code == ERROR_SUCCESS) return S_OK;
    Tell(owner, Compose(strings::kCopyFailed, Shown().c_str(), ErrorText(code).c_str()),
         strings::kCopyErrorCaption, MB_OK | MB_ICONERROR);
    return HRESULT_FROM_WIN32(code);
  }

  std::atomic<ULONG> refs_{1};
  Location parent_;
  Item item_;
  Location target_;
  UINT idFirst_ = 0;
  HMENU sendTo_ = nullptr;  // in the menu last filled, which owns it
};

}  // namespace

HRESULT CreateItemContextMenu(const Location& parent, const Item& item, void** menu) {
  *menu = nullptr;
  Location target;
  if (HRESULT hr = Descend(parent, item, &target); FAILED(hr)) return hr;
  *menu = static_cast<IContextMenu*>(new ItemMenu(parent, item, std::move(target)));
  return S_OK;
}

}  // namespace shell
}  // namespace win
