// What the namespace's parts share: item bytes, places and name conversions.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "platform/shell/shell_folder.h"
#include "platform/user/user.h"

namespace win::shell {

// Kind bytes of our items, and the tags of the shell's own items.
enum : BYTE { kKindSpecial = 0x1F, kKindDrive = 0x2F, kKindFolder = 0x31, kKindFile = 0x32 };
enum : BYTE { kDocuments = 1, kComputer, kNetwork, kRecycleBin, kControlPanel };

// One item of a list, read from its bytes.
struct Item {
  BYTE kind = 0;
  BYTE tag = 0;      // kKindSpecial
  char letter = 0;   // kKindDrive
  std::string name;  // kKindFolder, kKindFile: ANSI
};
// The first item of a list; nullopt when it is empty or not one of ours.
std::optional<Item> ParseItem(LPCITEMIDLIST list);

LPITEMIDLIST MakeItemList(BYTE kind, const std::string& payload);
LPITEMIDLIST SpecialList(BYTE tag);
LPITEMIDLIST DriveList(char letter);
LPITEMIDLIST NameList(bool folder, const std::string& ansiName);

// Where a list leads: the desktop, the computer, an empty virtual folder, or a host folder
// (or file) with its Windows path (empty when no drive covers it).
struct Location {
  enum Type { kDesktop, kComputer, kEmpty, kFileSystem } type = kDesktop;
  std::string host;
  std::string winPath;
  bool driveRoot = false;
  UINT driveType = DRIVE_FIXED;
  bool folder = true;
};
Location DesktopLocation();
HRESULT Descend(const Location& at, const Item& item, Location* out);
HRESULT DescendList(Location at, LPCITEMIDLIST list, Location* out);
// A drive's name without its letter: the volume's label, else its kind ("本地磁盘"), ANSI.
std::string DriveLabel(const Location& drive);

// What SetNameOf and GetUIObjectOf do for a folder at `parent` (shell_ops.cpp).
HRESULT RenameItem(HWND owner, const Location& parent, const Item& item, LPCWSTR name,
                   LPITEMIDLIST* newItem);
HRESULT CreateItemContextMenu(const Location& parent, const Item& item, void** menu);

// What GetUIObjectOf and CreateViewObject give for drag and drop (shell_dnd.cpp): the data
// object of items of `folder` (absolute list `folderList`), a folder's own drop handler
// (E_NOINTERFACE for a virtual folder) and an item's (回收站's moves to the trash).
HRESULT CreateItemDataObject(LPCITEMIDLIST folderList, const Location& folder, UINT count,
                             LPCITEMIDLIST* items, void** object);
HRESULT CreateDropHandler(HWND owner, const Location& folder, void** handler);
HRESULT CreateItemDropHandler(HWND owner, const Location& parent, const Item& item, void** handler);

std::string Ansi(const char* utf8);
std::optional<std::string> AnsiFromHostName(const std::string& hostName);
std::optional<std::string> HostFromAnsiName(const std::string& ansiName);
std::string JoinHost(const std::string& folder, const std::string& name);

// printf into UTF-8 text; every argument is UTF-8 text too.
template <class... Args>
inline std::string Compose(const char* format, const Args&... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return format;
  std::string out(std::size_t(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(std::size_t(n));
  return out;
}
// The name of one of the shell's own items (UTF-8): "我的文档", "我的电脑", ...
const char* SpecialName(BYTE tag);
// The name of a kind of drive (UTF-8): "本地磁盘", "可移动磁盘", ...
const char* DriveTypeName(UINT type);
// The system's text for an error number, as UTF-8.
std::string ErrorText(DWORD code);
// A box of UTF-8 texts owned by `owner`; none without an owner unless `always` (IDCANCEL).
int Tell(HWND owner, const std::string& text, const std::string& caption, UINT type,
         bool always = false);
// The last component of a host path, and the folder above it ("." without one).
std::string BaseName(const std::string& host);
std::string DirName(const std::string& host);

}  // namespace win::shell
