#include "browse/device_change.h"

#include <algorithm>
#include <exception>

#include "platform/user/device.h"
#include "runtime/exceptions.h"
#include "ui/guard.h"

TRzDeviceChangeHandler& TRzDeviceChangeHandler::Instance() {
  // Kept until exit: trees register and unregister until the very end.
  static auto* handler = new TRzDeviceChangeHandler;
  return *handler;
}

TRzDeviceChangeHandler::TRzDeviceChangeHandler() : window_(win::CreateMessageWindow()) {
  if (window_ == nullptr) {
    const win::DWORD error = win::GetLastError();
    throw EOSError(SysErrorMessage(error), error);
  }
  win::SetWindowProc(window_, [this](win::HWND, win::UINT m, win::WPARAM w, win::LPARAM l) {
    return WndProc(m, w, l);
  });
  win::ListenForDeviceBroadcasts(window_, win::TRUE);
}

win::LRESULT TRzDeviceChangeHandler::WndProc(win::UINT message, win::WPARAM wParam,
                                             win::LPARAM lParam) {
  switch (message) {
    case win::WM_DEVICECHANGE:
      win::PostMessage(window_, kRelayMessage, wParam, lParam);
      return win::TRUE;  // the broadcast is answered at once, as the default handling would
    case kRelayMessage:
      Relay(wParam, lParam);
      return 0;
    default:
      return 0;
  }
}

void TRzDeviceChangeHandler::Relay(win::WPARAM wParam, win::LPARAM lParam) {
  if (!active_) return;
  // A receiver may unregister itself or another one (a tree destroyed from a dialog): walk a
  // copy of the ids and call only those still registered.
  std::vector<std::uint64_t> ids;
  for (const Receiver& r : receivers_) ids.push_back(r.id);
  for (std::uint64_t id : ids) {
    auto it = std::find_if(receivers_.begin(), receivers_.end(),
                           [id](const Receiver& r) { return r.id == id; });
    if (it == receivers_.end()) continue;
    TDeviceChangeEvent handler = it->handler;  // the receiver may go while it runs
    try {
      handler(wParam, lParam);
    } catch (...) {
      ui::HandleEscaped(std::current_exception());  // shown; the others still hear of it
    }
  }
}

void TRzDeviceChangeHandler::Register(TControl* control, TDeviceChangeEvent handler) {
  if (control == nullptr || !handler) return;
  auto it = std::find_if(receivers_.begin(), receivers_.end(),
                         [control](const Receiver& r) { return r.control == control; });
  if (it != receivers_.end()) {
    it->handler = std::move(handler);
    return;
  }
  receivers_.push_back({nextId_++, control, std::move(handler)});
}

void TRzDeviceChangeHandler::Unregister(TControl* control) {
  receivers_.erase(std::remove_if(receivers_.begin(), receivers_.end(),
                                  [control](const Receiver& r) { return r.control == control; }),
                   receivers_.end());
}
