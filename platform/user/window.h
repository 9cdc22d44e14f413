// Window handles for the parts of the system that only need a window to name: the owner of
// an open clipboard, the receiver of posted messages. The user-interface layer maps its real
// windows onto these handles (its own data goes in GWLP_USERDATA).
//
// Handles are slots of a handle table: a destroyed window's handle is refused for good, even
// after new windows are made. Every call here may come from any thread.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"

namespace win {

using LONG_PTR = std::intptr_t;

// A hidden window that only receives messages. 0 (ERROR_NOT_ENOUGH_MEMORY) only when the
// process is out of handles.
HWND CreateMessageWindow();
// FALSE (ERROR_INVALID_WINDOW_HANDLE) for a handle that is not a live window.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// The window's user data, 0 when new. Only GWLP_USERDATA is kept; another index fails with
// ERROR_INVALID_INDEX, a handle that is not a live window with ERROR_INVALID_WINDOW_HANDLE
// (both return 0). SetWindowLongPtrA returns the previous value.
constexpr int GWLP_USERDATA = -21;
LONG_PTR GetWindowLongPtrA(HWND window, int index);
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);

// The application's own hidden window (0 until the application object sets it).
HWND ApplicationWindow();
void SetApplicationWindow(HWND window);

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_INVALID_INDEX = 1413;

}  // namespace win
