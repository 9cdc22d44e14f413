// TChangeHandlerThread: the folder tree's watcher. A worker thread waits on the change
// notifications of the watched drives and posts the owner window a message for each change;
// the tree turns those into one Resync.
//
// The GUI thread hands the worker its work through an action code, a pending handle and a slot
// index, written before it signals the action-request event and read back after the worker
// signals the action-done event. There is no lock: the two events order the accesses.
#pragma once

#include <memory>

#include "platform/kernel/sync.h"
#include "platform/user/user.h"

class TChangeHandlerThread {
 public:
  static constexpr int kSlotCount = 63;  // with the request event, the 64 a wait takes
  static constexpr win::DWORD kActionTimeout = 2000;
  static constexpr win::DWORD kEndTimeout = 30000;
  enum Action { kAddHandle = 0, kRemoveSlot = 1, kRemoveAll = 2, kEnd = 3 };

  // Starts the worker, which posts `message` (wParam the slot index, lParam 0) to `owner`
  // (0: to nobody) for every change. EOSError when the events or the thread cannot be made.
  TChangeHandlerThread(win::HWND owner, win::UINT message);
  // Ends the worker (waiting up to 30 s for it) and closes every handle it held.
  ~TChangeHandlerThread();
  TChangeHandlerThread(const TChangeHandlerThread&) = delete;
  TChangeHandlerThread& operator=(const TChangeHandlerThread&) = delete;

  // Gives a change notification to the worker. Its slot, or -1 when every slot is taken (the
  // handle is then closed) or the worker did not confirm within 2 s (it may still take it).
  int AddWatch(win::HANDLE change);
  // False when the worker did not confirm within 2 s.
  bool RemoveWatch(int slot);
  bool RemoveAllWatches();
  // Removes every watch, then watches the root of every fixed disk, RAM disk and connected
  // network drive, for folder names (and with `includeFiles` file names too) in the whole
  // drive. Drives that cannot be watched are skipped. Returns how many are watched.
  int WatchDrives(bool includeFiles);

  win::HWND Owner() const;

 private:
  struct Shared;
  static win::DWORD Work(void* parameter);
  bool Request(Action action, win::HANDLE pending, int slot);
  bool Settle();
  void Confirmed();

  std::shared_ptr<Shared> shared_;
  win::HANDLE thread_ = nullptr;
  Action lastAction_ = kRemoveAll;
  bool unconfirmed_ = false;
};

// Whether a network drive ("X:") is connected, by the network-use query.
bool NetworkDriveUsable(char letter);
