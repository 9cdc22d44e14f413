// The shell namespace: folders as reference-counted objects answering HRESULTs.
//
// The desktop (桌面) holds the shell's items 我的文档 (the documents folder), 我的电脑 (one item
// per drive of the drive table, then 控制面板), 网上邻居 and 回收站, then the desktop folder's
// own entries. Item bytes: a kind byte, then a fixed tag for the shell's items, the drive's
// root ("C:\") for drives, or the name in the ANSI code page for file-system items.
#pragma once

#include <string>

#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "platform/shell/item_list.h"

namespace win {

using WCHAR = char16_t;  // UTF-16, as on Windows
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

constexpr DWORD SHCONTF_FOLDERS = 0x20;
constexpr DWORD SHCONTF_NONFOLDERS = 0x40;
constexpr DWORD SHCONTF_INCLUDEHIDDEN = 0x80;

struct IEnumIDList : IUnknown {
  // Up to `count` relative lists, each the caller's to free. S_FALSE when fewer were left.
  virtual HRESULT Next(ULONG count, LPITEMIDLIST* items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;

 protected:
  ~IEnumIDList() = default;
};

constexpr UINT STRRET_WSTR = 0;
constexpr UINT STRRET_OFFSET = 1;
constexpr UINT STRRET_CSTR = 2;
struct STRRET {
  UINT uType;
  union {
    LPWSTR pOleStr;  // task allocator; the caller frees it
    UINT uOffset;    // of an ANSI string inside the item's list
    char cStr[MAX_PATH];
  };
};

constexpr DWORD SHGDN_NORMAL = 0;
constexpr DWORD SHGDN_INFOLDER = 0x1;
constexpr DWORD SHGDN_FOREDITING = 0x1000;
constexpr DWORD SHGDN_FORADDRESSBAR = 0x4000;
constexpr DWORD SHGDN_FORPARSING = 0x8000;

constexpr ULONG SFGAO_CANCOPY = 0x1;
constexpr ULONG SFGAO_CANMOVE = 0x2;
constexpr ULONG SFGAO_CANLINK = 0x4;
constexpr ULONG SFGAO_STORAGE = 0x8;
constexpr ULONG SFGAO_CANRENAME = 0x10;
constexpr ULONG SFGAO_CANDELETE = 0x20;
constexpr ULONG SFGAO_DROPTARGET = 0x100;
constexpr ULONG SFGAO_LINK = 0x10000;
constexpr ULONG SFGAO_SHARE = 0x20000;
constexpr ULONG SFGAO_READONLY = 0x40000;
constexpr ULONG SFGAO_HIDDEN = 0x80000;
constexpr ULONG SFGAO_STREAM = 0x400000;
constexpr ULONG SFGAO_VALIDATE = 0x1000000;
constexpr ULONG SFGAO_REMOVABLE = 0x2000000;
constexpr ULONG SFGAO_FILESYSANCESTOR = 0x10000000;
constexpr ULONG SFGAO_FOLDER = 0x20000000;
constexpr ULONG SFGAO_FILESYSTEM = 0x40000000;
constexpr ULONG SFGAO_HASSUBFOLDER = 0x80000000;

// Interface ids for GetUIObjectOf and CreateViewObject (IID_IDataObject is drag and drop's,
// in platform/user/ole.h).
inline constexpr IID IID_IContextMenu{0x000214E4};
inline constexpr IID IID_IDropTarget{0x00000122};

struct IShellFolder : IUnknown {
  // A path relative to this folder ("C:\dir\sub" on the desktop or the computer, "dir\sub"
  // in a file-system folder) to a relative list. Components are matched with their exact
  // name first, then without case. HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when one is
  // missing. `eaten` and `attributes` may be null; attributes are answered as by
  // GetAttributesOf.
  virtual HRESULT ParseDisplayName(HWND owner, void* bindContext, LPCWSTR name, ULONG* eaten,
                                   LPITEMIDLIST* list, ULONG* attributes) = 0;
  // A snapshot of the folder's items. A removable or optical drive without medium fails with
  // HRESULT_FROM_WIN32(ERROR_NOT_READY), a missing or unreadable folder with its error.
  virtual HRESULT EnumObjects(HWND owner, DWORD flags, IEnumIDList** items) = 0;
  // The folder of a relative list of one or more items.
  virtual HRESULT BindToObject(LPCITEMIDLIST list, void* bindContext, IShellFolder** folder) = 0;
  // The shell's order (the shell's items first in a fixed order, drives by letter, folders
  // before files, then names without case in natural number order), as a success code whose
  // low 16 bits are a signed result. Distinct items never compare equal.
  virtual HRESULT CompareIDs(LPARAM column, LPCITEMIDLIST first, LPCITEMIDLIST second) = 0;
  // An object for the folder itself: IID_IDropTarget (an IDropTarget* dropping into this
  // folder, with a reference for the caller; failures are told in boxes owned by `owner`).
  // E_NOINTERFACE for other ids and for folders that hold nothing on disk (我的电脑, ...).
  virtual HRESULT CreateViewObject(HWND owner, const IID& iid, void** object) = 0;
  // In: the bits asked for; out: those of them that every item has. File-system items are
  // looked at on disk each time, so a vanished item fails (the cached form is always valid).
  virtual HRESULT GetAttributesOf(UINT count, LPCITEMIDLIST* items, ULONG* inOut) = 0;
  // Answers into `name` as preset by the caller when it asks for an ANSI buffer (STRRET_CSTR),
  // else as an offset into the item (file-system names) or a wide string.
  virtual HRESULT GetDisplayNameOf(LPCITEMIDLIST list, DWORD flags, STRRET* name) = 0;
  // Renames one item of this folder (a relative list of one item) to `name`. The shell refuses
  // what Windows refuses (an empty name, any of \ / : * ? " < > |, a name another item has)
  // and tells the user why in a message box owned by `owner` (none without one). On success
  // `newItem` (may be null) gets the item's new relative list, the caller's to free.
  virtual HRESULT SetNameOf(HWND owner, LPCITEMIDLIST item, LPCWSTR name, DWORD flags,
                            LPITEMIDLIST* newItem) = 0;
  // An object for items of this folder (relative lists of one item each), with a reference
  // for the caller: IID_IContextMenu (an IContextMenu*) and IID_IDropTarget (an IDropTarget*,
  // for an item with SFGAO_DROPTARGET) for one item; IID_IDataObject (an IDataObject*, see
  // shell_dnd.h) for one or more. E_NOINTERFACE for other ids and for items that are no drop
  // target.
  virtual HRESULT GetUIObjectOf(HWND owner, UINT count, LPCITEMIDLIST* items, const IID& iid,
                                UINT* reserved, void** object) = 0;

 protected:
  ~IShellFolder() = default;
};

// The desktop folder, with a reference for the caller.
HRESULT SHGetDesktopFolder(IShellFolder** folder);

constexpr int CSIDL_DESKTOP = 0x00;
constexpr int CSIDL_CONTROLS = 0x03;
constexpr int CSIDL_PERSONAL = 0x05;
constexpr int CSIDL_BITBUCKET = 0x0A;
constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
constexpr int CSIDL_DRIVES = 0x11;
constexpr int CSIDL_NETWORK = 0x12;
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* list);

// The file-system path of an absolute list into `path` (MAX_PATH bytes): "C:\" for a drive
// root, no trailing "\" otherwise, the desktop folder's path for the empty list. FALSE with
// an empty `path` for items without one (the computer, the control panel, ...).
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path);
// The absolute list of a Windows path, or null when a component does not exist.
LPITEMIDLIST ILCreateFromPathA(const char* path);
// Whether two absolute lists name the same item.
BOOL ILIsEqual(LPCITEMIDLIST first, LPCITEMIDLIST second);

// A display name as ANSI into `buffer` (cut to `size` - 1 bytes); a wide result is freed.
HRESULT StrRetToBufA(STRRET* name, LPCITEMIDLIST item, char* buffer, UINT size);

// Not Windows calls.
// The shell's name order: without case, digit runs by their value, punctuation before digits
// before letters before other characters; names that differ only in case or leading zeros
// are ordered by their bytes, so only equal names give 0.
int CompareShellNames(const std::string& first, const std::string& second);
// Host folders of the desktop and of 我的文档 (tests); an empty string restores the default:
// SUOTU_DESKTOP or the XDG desktop folder or the home folder, and the home folder.
void SetShellFolderLocations(const std::string& desktopHost, const std::string& documentsHost);
std::string DesktopHostFolder();
std::string DocumentsHostFolder();

}  // namespace win
