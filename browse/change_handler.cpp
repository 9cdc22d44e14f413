#include "browse/change_handler.h"

#include <string>

#include "runtime/exceptions.h"

// What the GUI thread and the worker share. The worker holds a reference too, so a worker
// that outlives its 30 s of grace still finds its state; whoever lets go last closes the
// handles.
struct TChangeHandlerThread::Shared {
  win::HWND owner = nullptr;
  win::UINT message = 0;
  win::HANDLE request = nullptr;  // auto-reset
  win::HANDLE done = nullptr;     // auto-reset
  // Written by the GUI thread before `request` is signalled, by the worker before `done` is.
  Action action = kRemoveAll;
  win::HANDLE pending = nullptr;
  int slot = -1;  // in: the slot to remove; out: the slot given to the pending handle
  // The worker's alone while it runs.
  win::HANDLE watchSlots[kSlotCount] = {};

  ~Shared() {
    for (win::HANDLE& h : watchSlots) Drop(h);
    Drop(pending);
    if (request != nullptr) win::CloseHandle(request);
    if (done != nullptr) win::CloseHandle(done);
  }
  static void Drop(win::HANDLE& change) {
    if (change != nullptr) win::FindCloseChangeNotification(change);
    change = nullptr;
  }
  // Carries out one request; false for the request to end.
  bool Perform() {
    switch (action) {
      case kAddHandle:
        slot = -1;
        for (int i = 0; i < kSlotCount; ++i) {
          if (watchSlots[i] == nullptr) {
            watchSlots[i] = pending;
            pending = nullptr;
            slot = i;
            break;
          }
        }
        return true;
      case kRemoveSlot:
        if (slot >= 0 && slot < kSlotCount) Drop(watchSlots[slot]);
        return true;
      case kRemoveAll:
        for (win::HANDLE& h : watchSlots) Drop(h);
        return true;
      case kEnd:
        return false;
    }
    return true;
  }
};

win::DWORD TChangeHandlerThread::Work(void* parameter) {
  std::shared_ptr<Shared> s = std::move(*static_cast<std::shared_ptr<Shared>*>(parameter));
  delete static_cast<std::shared_ptr<Shared>*>(parameter);
  win::HANDLE list[win::MAXIMUM_WAIT_OBJECTS];
  int slotOf[win::MAXIMUM_WAIT_OBJECTS];
  for (;;) {
    // The wait list is built afresh on every wake: the request event, then the watches.
    win::DWORD count = 0;
    list[count++] = s->request;
    for (int i = 0; i < kSlotCount; ++i) {
      if (s->watchSlots[i] != nullptr) {
        slotOf[count] = i;
        list[count++] = s->watchSlots[i];
      }
    }
    const win::DWORD result = win::WaitForMultipleObjects(count, list, win::FALSE, win::INFINITE);
    if (result == win::WAIT_OBJECT_0) {
      const bool goOn = s->Perform();
      win::SetEvent(s->done);
      if (!goOn) return 0;
    } else if (result > win::WAIT_OBJECT_0 && result < win::WAIT_OBJECT_0 + count) {
      const int slot = slotOf[result - win::WAIT_OBJECT_0];
      if (s->owner != nullptr) win::PostMessage(s->owner, s->message, win::WPARAM(slot), 0);
      if (!win::FindNextChangeNotification(s->watchSlots[slot])) Shared::Drop(s->watchSlots[slot]);
    } else if (result == win::WAIT_ABANDONED_0) {
      return 0;  // the request event is gone: nobody can talk to this worker any more
    } else if (result > win::WAIT_ABANDONED_0 && result < win::WAIT_ABANDONED_0 + count) {
      Shared::Drop(s->watchSlots[slotOf[result - win::WAIT_ABANDONED_0]]);
    } else {
      // A handle was closed before the wait could look at it: drop the dead watches. A wait
      // does not take a change notification's signal, so looking is harmless.
      bool dropped = false;
      for (win::HANDLE& h : s->watchSlots) {
        if (h != nullptr && win::WaitForSingleObject(h, 0) == win::WAIT_FAILED) {
          h = nullptr;  // already closed; nothing left to close
          dropped = true;
        }
      }
      if (!dropped) return 0;  // then it was the request event
    }
  }
}

TChangeHandlerThread::TChangeHandlerThread(win::HWND owner, win::UINT message)
    : shared_(std::make_shared<Shared>()) {
  shared_->owner = owner;
  shared_->message = message;
  shared_->request = win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr);
  shared_->done = win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr);
  if (shared_->request == nullptr || shared_->done == nullptr) {
    const win::DWORD error = win::GetLastError();
    throw EOSError(SysErrorMessage(error), error);
  }
  auto* handOver = new std::shared_ptr<Shared>(shared_);
  thread_ = win::CreateThread(nullptr, 0, Work, handOver, 0, nullptr);
  if (thread_ == nullptr) {
    const win::DWORD error = win::GetLastError();
    delete handOver;
    throw EOSError(SysErrorMessage(error), error);
  }
}

TChangeHandlerThread::~TChangeHandlerThread() {
  if (Settle()) {
    shared_->action = kEnd;
    win::ResetEvent(shared_->done);
    win::SetEvent(shared_->request);
  } else {
    // The worker is still busy with an earlier request, so its fields are not ours to write;
    // closing the request event ends it as soon as it waits again.
    win::CloseHandle(shared_->request);
  }
  win::WaitForSingleObject(thread_, kEndTimeout);
  win::CloseHandle(thread_);
  // After the worker's end this closes the events and every watch, a pending one included;
  // a worker still running keeps the state until it ends.
  shared_.reset();
}

win::HWND TChangeHandlerThread::Owner() const {
  return shared_->owner;
}

// Waits for the confirmation of a request that timed out, so that the next one does not write
// fields the worker may still be reading.
bool TChangeHandlerThread::Settle() {
  if (!unconfirmed_) return true;
  if (win::WaitForSingleObject(shared_->done, kActionTimeout) != win::WAIT_OBJECT_0) return false;
  unconfirmed_ = false;
  Confirmed();
  return true;
}

void TChangeHandlerThread::Confirmed() {
  // A handle the worker had no slot for is still ours.
  if (lastAction_ == kAddHandle && shared_->slot < 0) Shared::Drop(shared_->pending);
}

bool TChangeHandlerThread::Request(Action action, win::HANDLE pending, int slot) {
  if (!Settle()) return false;
  lastAction_ = action;
  shared_->action = action;
  shared_->pending = pending;
  shared_->slot = slot;
  win::ResetEvent(shared_->done);
  win::SetEvent(shared_->request);
  if (win::WaitForSingleObject(shared_->done, kActionTimeout) != win::WAIT_OBJECT_0) {
    unconfirmed_ = true;
    return false;
  }
  Confirmed();
  return true;
}

int TChangeHandlerThread::AddWatch(win::HANDLE change) {
  if (change == nullptr || change == win::INVALID_HANDLE_VALUE) return -1;
  if (unconfirmed_ && !Settle()) {
    win::FindCloseChangeNotification(change);  // never handed over
    return -1;
  }
  if (!Request(kAddHandle, change, -1)) return -1;
  return shared_->slot;
}

bool TChangeHandlerThread::RemoveWatch(int slot) {
  if (slot < 0 || slot >= kSlotCount) return false;
  return Request(kRemoveSlot, nullptr, slot);
}

bool TChangeHandlerThread::RemoveAllWatches() {
  return Request(kRemoveAll, nullptr, -1);
}

int TChangeHandlerThread::WatchDrives(bool includeFiles) {
  RemoveAllWatches();
  const win::DWORD filter =
      includeFiles ? win::FILE_NOTIFY_CHANGE_DIR_NAME | win::FILE_NOTIFY_CHANGE_FILE_NAME
                   : win::FILE_NOTIFY_CHANGE_DIR_NAME;
  const win::DWORD drives = win::GetLogicalDrives();
  int watched = 0;
  for (int i = 0; i < 26; ++i) {
    if ((drives & (win::DWORD{1} << i)) == 0) continue;
    const char letter = char('A' + i);
    std::string root{letter, ':'};
    if (root.back() != '\\') root += '\\';
    const win::UINT type = win::GetDriveTypeA(root.c_str());
    const bool watch = type == win::DRIVE_FIXED || type == win::DRIVE_RAMDISK ||
                       (type == win::DRIVE_REMOTE && NetworkDriveUsable(letter));
    if (!watch) continue;  // removable, optical and unknown drives are left alone
    win::HANDLE change = win::FindFirstChangeNotificationA(root.c_str(), win::TRUE, filter);
    if (change == win::INVALID_HANDLE_VALUE) continue;
    if (AddWatch(change) >= 0) ++watched;
  }
  return watched;
}

bool NetworkDriveUsable(char letter) {
  const char16_t name[] = {char16_t(letter), u':', 0};
  win::BYTE* buffer = nullptr;
  if (win::NetUseGetInfo(nullptr, name, 1, &buffer) != win::NERR_Success) return false;
  const bool usable = reinterpret_cast<const win::USE_INFO_1*>(buffer)->ui1_status == win::USE_OK;
  win::NetApiBufferFree(buffer);
  return usable;
}
