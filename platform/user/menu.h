// Menu handles: popup menus built by code (the shell fills one for an item), read back by the
// window layer, which shows them with its own popup menus. An MF_POPUP entry carries a child
// menu instead of a command; the child belongs to its entry and goes with it.
#pragma once

#include <functional>
#include <string>

#include "platform/user/user.h"

namespace win {

struct HMENU__;
using HMENU = HMENU__*;

constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_HILITE = 0x0080;
constexpr UINT MF_DEFAULT = 0x1000;
constexpr UINT MF_MOUSESELECT = 0x8000;

// WM_MENUCHAR's answers (high word; the low word is the entry's position).
constexpr UINT MNC_IGNORE = 0;
constexpr UINT MNC_CLOSE = 1;
constexpr UINT MNC_EXECUTE = 2;
constexpr UINT MNC_SELECT = 3;

// An empty popup menu; DestroyMenu frees it.
HMENU CreatePopupMenu();
// Frees the menu with its sub-menus; a sub-menu still in a menu leaves it with its entry.
// FALSE (ERROR_INVALID_HANDLE) for a handle that is not a live menu.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// Adds an entry at the end: a text (code page 936, "&" before the access key) with a command
// number, a separator (text and id not used), or with MF_POPUP a sub-menu whose handle is
// `id`. A sub-menu joins one menu only: one that is already in a menu, or that would hold its
// own parent, is refused (ERROR_INVALID_PARAMETER); a dead one is ERROR_INVALID_HANDLE.
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
// Inserts before the entry at `position` (MF_BYPOSITION; past the end appends). Inserting by
// command is not supported (ERROR_INVALID_PARAMETER).
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text);
// Removes an entry (by position, or by command); a sub-menu goes with its entry (DeleteMenu
// destroys it, RemoveMenu gives it back to the caller as a menu of its own). FALSE
// (ERROR_INVALID_HANDLE, or ERROR_INVALID_PARAMETER for a missing entry).
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);
// -1 (ERROR_INVALID_HANDLE) for a bad handle.
int GetMenuItemCount(HMENU menu);
// The command of the entry at a position; UINT(-1) for a separator, a sub-menu or a bad
// position.
UINT GetMenuItemID(HMENU menu, int position);
// The sub-menu of the entry at a position; null for any other entry.
HMENU GetSubMenu(HMENU menu, int position);
// The entry's flags (MF_SEPARATOR, MF_GRAYED, MF_DEFAULT, MF_POPUP with the sub-menu's entry
// count in the high byte); UINT(-1) when there is none.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// The entry's text into buffer (cut to size - 1 bytes); its length. With a null buffer only
// the length. 0 for a separator or a missing entry.
int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags);

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

// Shows the menu at (x, y) on the screen for `owner` and waits until it closes. A sub-menu
// itself cannot be tracked (ERROR_INVALID_PARAMETER). With
// TPM_RETURNCMD the chosen command is returned (0 when the menu was dismissed); otherwise
// the command goes to the owner as WM_COMMAND and the result is TRUE when one was chosen.
// While the menu is open its owner receives the menu messages, unless TPM_NONOTIFY is given:
// WM_INITMENUPOPUP (wParam the menu, lParam its entry's position) before the menu and each
// sub-menu shows, WM_MENUSELECT as entries are highlighted (wParam the command, or the position
// of a sub-menu's entry, in the low word and the entry's flags in the high word; lParam the
// menu holding it), once more with flags 0xFFFF and no menu when it closes, and WM_MENUCHAR
// (wParam the character in the low word, MF_POPUP in the high word; lParam the menu) for a
// key that is no entry's access key, answered with MNC_* in the high word. FALSE
// (ERROR_INVALID_HANDLE) for a menu that is not live; `reserved` and `rect` are not used.
UINT_PTR TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                        const RECT* rect);
// Not Windows calls: who shows the menu (the window layer installs one). The host answers
// the chosen command, 0 for none. Without a host every menu is dismissed at once.
using MenuTrackHost = std::function<UINT(HMENU menu, UINT flags, int x, int y, HWND owner)>;
MenuTrackHost SetMenuTrackHost(MenuTrackHost host);

}  // namespace win
