// Device arrival and removal broadcasts. A volume that is mounted or unmounted (the drive
// table gaining or losing a letter) is announced with WM_DEVICECHANGE to the windows that
// listen, as Windows announces a USB drive to its top-level windows.
#pragma once

#include "platform/user/user.h"

namespace win {

constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr DWORD DBT_DEVTYP_VOLUME = 0x00000002;

struct DEV_BROADCAST_HDR {
  DWORD dbch_size;
  DWORD dbch_devicetype;
  DWORD dbch_reserved;
};
struct DEV_BROADCAST_VOLUME {
  DWORD dbcv_size;
  DWORD dbcv_devicetype;  // DBT_DEVTYP_VOLUME
  DWORD dbcv_reserved;
  DWORD dbcv_unitmask;  // bit 0 A:, bit 1 B:, ...
  WORD dbcv_flags;
};

// Not a Windows call: where Windows broadcasts to every top-level window, a window here asks
// for the broadcasts (listen TRUE) and stops (FALSE). The window's handler gets
// WM_DEVICECHANGE on the GUI thread, sent, with wParam DBT_DEVICEREMOVECOMPLETE or
// DBT_DEVICEARRIVAL and lParam a DEV_BROADCAST_VOLUME that lives only while the message is
// handled; windows hear of it in the order they started to listen. Removals come before
// arrivals; a letter that now names another folder is both. Starting to listen fails
// (FALSE, ERROR_INVALID_WINDOW_HANDLE) for a window that is not live; stopping never fails.
BOOL ListenForDeviceBroadcasts(HWND window, BOOL listen);

}  // namespace win
