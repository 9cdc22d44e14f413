// Menu handles: popup menus built by code (the shell fills one for an item), read back by the
// window layer, which shows them with its own popup menus.
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
constexpr UINT MF_DEFAULT = 0x1000;

// An empty popup menu; DestroyMenu frees it.
HMENU CreatePopupMenu();
// FALSE (ERROR_INVALID_HANDLE) for a handle that is not a live menu.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// Adds an entry at the end: a text (code page 936, "&" before the access key) with a command
// number, or a separator (text and id not used).
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
// Inserts before the entry at `position` (MF_BYPOSITION; past the end appends). Inserting by
// command is not supported (ERROR_INVALID_PARAMETER).
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text);
// -1 (ERROR_INVALID_HANDLE) for a bad handle.
int GetMenuItemCount(HMENU menu);
// The command of the entry at a position; UINT(-1) for a separator or a bad position.
UINT GetMenuItemID(HMENU menu, int position);
// The entry's flags (MF_SEPARATOR, MF_GRAYED, MF_DEFAULT); UINT(-1) when there is none.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// The entry's text into buffer (cut to size - 1 bytes); its length. With a null buffer only
// the length. 0 for a separator or a missing entry.
int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags);

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

// Shows the menu at (x, y) on the screen for `owner` and waits until it closes. With
// TPM_RETURNCMD the chosen command is returned (0 when the menu was dismissed); otherwise
// the command goes to the owner as WM_COMMAND and the result is TRUE when one was chosen.
// While the menu is open its owner receives the menu messages (WM_INITMENUPOPUP, owner-draw
// measuring and drawing, WM_MENUCHAR, WM_MENUSELECT), unless TPM_NONOTIFY is given. FALSE
// (ERROR_INVALID_HANDLE) for a menu that is not live; `reserved` and `rect` are not used.
UINT_PTR TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                        const RECT* rect);
// Not Windows calls: who shows the menu (the window layer installs one). The host answers
// the chosen command, 0 for none. Without a host every menu is dismissed at once.
using MenuTrackHost = std::function<UINT(HMENU menu, UINT flags, int x, int y, HWND owner)>;
MenuTrackHost SetMenuTrackHost(MenuTrackHost host);

}  // namespace win
