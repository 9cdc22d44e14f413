// Window handles for the parts of the system that only need a window to name: the owner of
// an open clipboard, the receiver of posted messages. The user-interface layer maps its real
// windows onto these handles.
#pragma once

#include "platform/gdi/gdi.h"

namespace win {

// A hidden window that only receives messages. Never 0 unless the process is out of handles.
HWND CreateMessageWindow();
// FALSE (ERROR_INVALID_WINDOW_HANDLE) for a handle that is not a live window.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// The application's own hidden window (0 until the application object sets it).
HWND ApplicationWindow();
void SetApplicationWindow(HWND window);

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;

}  // namespace win
