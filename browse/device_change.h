// TRzDeviceChangeHandler: the one relay of device broadcasts in the process. Its hidden window
// hears a volume arrive or go, posts itself the relay message (1124) with the same two
// parameters and answers the broadcast at once; on the relay message it calls the registered
// receivers in the order they registered, so receivers (which may resync a tree and show
// dialogs) never run inside the broadcast.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/user/user.h"

class TControl;

class TRzDeviceChangeHandler {
 public:
  static constexpr win::UINT kRelayMessage = win::WM_USER + 100;  // 1124
  // wParam the event (DBT_DEVICEARRIVAL, ...), lParam what the broadcast carried: it is only
  // valid during the broadcast, so a receiver must not read through it.
  using TDeviceChangeEvent = std::function<void(win::WPARAM event, win::LPARAM data)>;

  // The process's relay, made on first use (the first tree makes it) and kept until exit.
  static TRzDeviceChangeHandler& Instance();

  // A control's receiver; registering the control again replaces its handler in place.
  void Register(TControl* control, TDeviceChangeEvent handler);
  void Unregister(TControl* control);
  int ReceiverCount() const { return int(receivers_.size()); }

  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  win::HWND Handle() const { return window_; }

 private:
  TRzDeviceChangeHandler();
  win::LRESULT WndProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
  void Relay(win::WPARAM wParam, win::LPARAM lParam);

  struct Receiver {
    std::uint64_t id;
    TControl* control;
    TDeviceChangeEvent handler;
  };
  std::vector<Receiver> receivers_;
  std::uint64_t nextId_ = 1;
  win::HWND window_ = nullptr;
  bool active_ = true;
};
