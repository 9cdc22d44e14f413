// The folder tree's side of change watching: the watcher thread over the drives, the option
// that switches it, and the receiver of device arrivals and removals.
#include "browse/change_handler.h"
#include "browse/device_change.h"
#include "browse/shell_tree.h"
#include "platform/user/device.h"

namespace {

// Raised while a device event's Resync runs: an event handled inside it (a dialog's message
// loop) only resyncs, without checking the drive list again. Shared by every tree.
int deviceResyncDepth = 0;

struct DepthRaised {
  DepthRaised() { ++deviceResyncDepth; }
  ~DepthRaised() { --deviceResyncDepth; }
  DepthRaised(const DepthRaised&) = delete;
  DepthRaised& operator=(const DepthRaised&) = delete;
};

// Asks the computer folder to check its drive list again.
void ValidateDriveList() {
  win::IShellFolder* desktop = nullptr;
  if (win::FAILED(win::SHGetDesktopFolder(&desktop))) return;
  win::LPITEMIDLIST computer = nullptr;
  if (win::SUCCEEDED(win::SHGetSpecialFolderLocation(nullptr, win::CSIDL_DRIVES, &computer))) {
    win::LPCITEMIDLIST items[] = {computer};
    win::ULONG attributes = win::SFGAO_VALIDATE;
    desktop->GetAttributesOf(1, items, &attributes);
    win::ILFree(computer);
  }
  desktop->Release();
}

}  // namespace

void TRzShellTree::SetOptions(TRzShellTreeOptions value) {
  if (value == options_) return;
  const bool wasWatching = HasOption(TRzShellTreeOption::stoDynamicRefresh);
  options_ = value;
  ApplyDragOptions();
  const bool watching = HasOption(TRzShellTreeOption::stoDynamicRefresh);
  if (watching && !wasWatching) {
    StartWatching();
  } else if (!watching && wasWatching && watcher_ != nullptr) {
    watcher_->RemoveAllWatches();
  }
}

void TRzShellTree::StartWatching() {
  // The worker posts to the tree's window, so there is nothing to watch for without one.
  if (!HandleAllocated() || Loading()) return;
  if (watcher_ == nullptr)
    watcher_ = std::make_unique<TChangeHandlerThread>(Handle(), kShellTreeChangeSignal);
  watcher_->WatchDrives(HasOption(TRzShellTreeOption::stoIncludeNonFolders));
}

void TRzShellTree::StopWatching() {
  watcher_.reset();  // ends the worker and closes its watches
}

void TRzShellTree::DeviceChanged(win::WPARAM event, win::LPARAM) {
  if (event != win::DBT_DEVICEARRIVAL && event != win::DBT_DEVICEREMOVECOMPLETE) return;
  if (deviceResyncDepth == 0) ValidateDriveList();
  DepthRaised raised;
  Resync();
}

void TRzShellTree::RegisterWithDeviceHandler() {
  TRzDeviceChangeHandler::Instance().Register(
      this, [this](win::WPARAM event, win::LPARAM data) { DeviceChanged(event, data); });
}

void TRzShellTree::UnregisterFromDeviceHandler() {
  TRzDeviceChangeHandler::Instance().Unregister(this);
}
