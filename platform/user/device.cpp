// Device broadcasts from drive table changes. The kernel tells us (from any thread) that the
// table may have changed; that is posted to a hidden window of ours, which on the GUI thread
// compares the table with the one it knew and sends the listening windows the broadcasts.
#include "platform/user/device.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/kernel/sync.h"

namespace win {

namespace {

constexpr UINT kCheckDrives = WM_USER + 1;

struct Broadcaster {
  std::mutex mutex;
  std::vector<HWND> listeners;  // in the order they started to listen
  HWND relay = nullptr;
  int tableListener = 0;
  std::vector<DriveMapping> known;
};

Broadcaster& TheBroadcaster() {
  static auto* broadcaster = new Broadcaster;  // used until exit
  return *broadcaster;
}

DWORD LetterBit(char letter) {
  return DWORD{1} << (letter - 'A');
}

// Letters in `from` that `to` lacks or maps elsewhere.
DWORD Missing(const std::vector<DriveMapping>& from, const std::vector<DriveMapping>& to) {
  DWORD mask = 0;
  for (const DriveMapping& d : from) {
    if (std::find(to.begin(), to.end(), d) == to.end()) mask |= LetterBit(d.letter);
  }
  return mask;
}

void Broadcast(WPARAM event, DWORD mask, const std::vector<HWND>& windows) {
  if (mask == 0) return;
  DEV_BROADCAST_VOLUME volume{sizeof(DEV_BROADCAST_VOLUME), DBT_DEVTYP_VOLUME, 0, mask, 0};
  for (HWND w : windows) {
    SendMessage(w, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
  }
}

void CheckDrives() {
  Broadcaster& b = TheBroadcaster();
  const std::vector<DriveMapping> now = DriveTable();
  std::vector<HWND> windows;
  DWORD removed = 0;
  DWORD arrived = 0;
  {
    std::lock_guard lock(b.mutex);
    removed = Missing(b.known, now);
    arrived = Missing(now, b.known);
    b.known = now;
    b.listeners.erase(
        std::remove_if(b.listeners.begin(), b.listeners.end(), [](HWND w) { return !IsWindow(w); }),
        b.listeners.end());
    windows = b.listeners;
  }
  // Sent outside the lock: a handler may stop listening, or start, while it runs.
  Broadcast(DBT_DEVICEREMOVECOMPLETE, removed, windows);
  Broadcast(DBT_DEVICEARRIVAL, arrived, windows);
}

}  // namespace

BOOL ListenForDeviceBroadcasts(HWND window, BOOL listen) {
  if (listen && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  Broadcaster& b = TheBroadcaster();
  int stopListener = 0;
  HWND oldRelay = nullptr;
  {
    std::lock_guard lock(b.mutex);
    auto it = std::find(b.listeners.begin(), b.listeners.end(), window);
    if (listen) {
      if (it != b.listeners.end()) return TRUE;
      if (b.relay == nullptr) {
        b.relay = CreateMessageWindow();
        if (b.relay == nullptr) return FALSE;  // ERROR_NOT_ENOUGH_MEMORY
        SetWindowProc(b.relay, [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
          if (message == kCheckDrives) CheckDrives();
          return 0;
        });
        b.known = DriveTable();
        const HWND relay = b.relay;
        b.tableListener =
            AddDriveTableListener([relay] { PostMessage(relay, kCheckDrives, 0, 0); });
      }
      b.listeners.push_back(window);
      return TRUE;
    }
    if (it != b.listeners.end()) b.listeners.erase(it);
    // Windows destroyed while they listened go too; with the last one the relay goes.
    b.listeners.erase(
        std::remove_if(b.listeners.begin(), b.listeners.end(), [](HWND w) { return !IsWindow(w); }),
        b.listeners.end());
    if (!b.listeners.empty() || b.relay == nullptr) return TRUE;
    stopListener = std::exchange(b.tableListener, 0);
    oldRelay = std::exchange(b.relay, nullptr);
  }
  // The kernel's listener may be posting to the relay right now; a post to a destroyed
  // window is refused, so the order is safe either way.
  RemoveDriveTableListener(stopListener);
  SetWindowProc(oldRelay, nullptr);
  DestroyWindow(oldRelay);
  return TRUE;
}

}  // namespace win
