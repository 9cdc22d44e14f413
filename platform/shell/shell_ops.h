// What the shell does for its items besides naming them: renaming (IShellFolder::SetNameOf),
// their context menus and verbs (IContextMenu from IShellFolder::GetUIObjectOf), the trash,
// copying and moving folders, and file lists on the clipboard.
//
// The verbs report their own failures with a message box owned by the window they are given
// (none without an owner) in the system's words, and answer the failure's HRESULT.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell/shell_folder.h"
#include "platform/user/menu.h"

namespace win {

// Flags for QueryContextMenu.
constexpr UINT CMF_NORMAL = 0x0;
constexpr UINT CMF_DEFAULTONLY = 0x1;
constexpr UINT CMF_EXPLORE = 0x4;
constexpr UINT CMF_CANRENAME = 0x10;

// GetCommandString's kinds.
constexpr UINT GCS_VERBA = 0x0;
constexpr UINT GCS_HELPTEXTA = 0x1;

// CMINVOKECOMMANDINFO::fMask: Shift was held (the delete verb then deletes for good).
constexpr DWORD CMIC_MASK_SHIFT_DOWN = 0x10000000;
constexpr DWORD CMIC_MASK_FLAG_NO_UI = 0x00000400;

struct CMINVOKECOMMANDINFO {
  DWORD cbSize = sizeof(CMINVOKECOMMANDINFO);
  DWORD fMask = 0;
  HWND hwnd = nullptr;
  // A command offset (below 0x10000, see MakeIntVerb) or a verb name ("delete").
  LPCSTR lpVerb = nullptr;
  LPCSTR lpParameters = nullptr;
  LPCSTR lpDirectory = nullptr;
  int nShow = 1;
};

// The command offset form of lpVerb.
inline LPCSTR MakeIntVerb(UINT offset) {
  return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(offset & 0xFFFF));
}

inline constexpr IID IID_IContextMenu2{0x000214F4};
inline constexpr IID IID_IContextMenu3{0xBCFCE0A0};

struct IContextMenu : IUnknown {
  // The same object as another of its interfaces (IID_IContextMenu2, IID_IContextMenu3), with
  // a reference for the caller; E_NOINTERFACE (and null) when it has none of that kind.
  virtual HRESULT QueryInterface(const IID& iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!(iid == IID_IContextMenu)) return E_NOINTERFACE;
    AddRef();
    *object = this;
    return S_OK;
  }
  // Fills `menu` from `position` with commands idFirst + offset (none past idLast); answers a
  // success code whose low 16 bits are the highest offset used + 1.
  virtual HRESULT QueryContextMenu(HMENU menu, UINT position, UINT idFirst, UINT idLast,
                                   UINT flags) = 0;
  virtual HRESULT InvokeCommand(const CMINVOKECOMMANDINFO* info) = 0;
  // The verb name (GCS_VERBA) or help text of a command offset, ANSI, into buffer.
  virtual HRESULT GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, char* buffer,
                                   UINT size) = 0;

 protected:
  ~IContextMenu() = default;
};

// A handler that fills or draws sub-menus itself: the menu's owner passes it the menu messages
// it receives while the menu is open (WM_INITMENUPOPUP, WM_MEASUREITEM, WM_DRAWITEM; and
// through HandleMenuMsg2, which can answer, WM_MENUCHAR). S_OK when the handler took it.
struct IContextMenu2 : IContextMenu {
  virtual HRESULT HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~IContextMenu2() = default;
};
struct IContextMenu3 : IContextMenu2 {
  // `result` (may be null) takes the message's answer.
  virtual HRESULT HandleMenuMsg2(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;

 protected:
  ~IContextMenu3() = default;
};

// Command offsets of the menus this shell builds (the rename command is offset 18, as
// callers that start renaming themselves expect).
enum : UINT {
  kCmdOpen = 0,
  kCmdExplore = 1,
  kCmdDelete = 17,
  kCmdRename = 18,
  kCmdProperties = 19,
  kCmdCut = 24,
  kCmdCopy = 25,
  kCmdPaste = 26,
  kCmdEmptyRecycleBin = 27,
  // "发送到": the desktop, the documents folder, then one per drive letter (A: at
  // kCmdSendToDrive).
  kCmdSendToDesktop = 32,
  kCmdSendToDocuments = 33,
  kCmdSendToDrive = 34,
  kCmdLast = kCmdSendToDrive + 25,
};

// Not a Windows call: the trash of the home volume (the freedesktop trash under the user's
// data folder, where MoveToTrash puts what is on that volume). Emptying removes every item
// and its information file; the count of items that could not be removed goes to `left`.
std::string HomeTrashFolder();
int HomeTrashItemCount();
DWORD EmptyHomeTrash(int* left);

// Not Windows calls.
// Moves a file or folder (host path) to the freedesktop trash of its volume; ERROR_* code.
DWORD MoveToTrash(const std::string& host);
// Removes a file or a folder with everything in it; ERROR_* code of the first failure.
DWORD DeleteTree(const std::string& host);
// Copies (or moves) `source` into the folder `targetFolder`, keeping its name, or naming it
// "复件 name" (then "复件 (2) name", ...) when the name is taken there. The new host path
// goes to `made` on success. Copying a folder into itself fails with ERROR_INVALID_PARAMETER.
DWORD CopyOrMoveInto(const std::string& source, const std::string& targetFolder, bool move,
                     std::string* made);

// A list of files on the clipboard, as Linux file managers exchange it: text/uri-list and
// x-special/gnome-copied-files ("copy" or "cut", then file:// addresses).
struct ClipboardFileList {
  bool cut = false;
  std::vector<std::string> hosts;  // host paths
};
// Registered clipboard formats of the two lists.
UINT UriListFormat();
UINT GnomeCopiedFilesFormat();
// The clipboard is opened without a window (the owner is kept for Windows' signature).
BOOL PutFileListOnClipboard(HWND owner, const ClipboardFileList& list);
// What the clipboard names, from the gnome list when it is there, else the uri list (copied).
// False when it names no local file.
bool ReadFileListFromClipboard(HWND owner, ClipboardFileList* list);
// file:///a%20b -> /a b; nullopt for another scheme or a malformed escape.
std::optional<std::string> HostFromFileUri(const std::string& uri);
std::string FileUriFromHost(const std::string& host);

}  // namespace win
