#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/user/user.h"

namespace win {

namespace {

struct Timer {
  TIMERPROC proc = nullptr;
};

struct Posted {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Answers for a program without a GUI: tests of the layers below the controls, and tools.
class HeadlessHost final : public UserHost {
 public:
  bool PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    std::lock_guard guard(lock_);
    queue_.push_back({window, message, wParam, lParam});
    return true;
  }
  bool StartTimer(HWND, UINT_PTR, UINT) override { return true; }
  void StopTimer(HWND, UINT_PTR) override {}
  POINT CursorPos() override { return cursor_; }
  void MoveCursor(int x, int y) override { cursor_ = {x, y}; }
  void ShowCursor(int) override {}
  int ShowMessageBox(HWND, const std::string&, const std::string&, UINT) override { return IDOK; }
  void Beep() override {}
  RECT VirtualScreen() override { return {0, 0, 1280, 800}; }
  RECT PrimaryScreen() override { return {0, 0, 1280, 800}; }
  RECT WorkArea() override { return {0, 0, 1280, 800}; }
  int MonitorCount() override { return 1; }
  UINT DoubleClickTime() override { return 500; }
  UINT WheelScrollLines() override { return 3; }

  std::deque<Posted> Take() {
    std::lock_guard guard(lock_);
    return std::exchange(queue_, {});
  }

 private:
  std::mutex lock_;
  std::deque<Posted> queue_;
  POINT cursor_{0, 0};
};

struct State {
  std::mutex lock;
  std::unordered_map<HWND, std::shared_ptr<WindowProc>> procs;
  std::map<std::pair<HWND, UINT_PTR>, Timer> timers;
  UINT_PTR nextThreadTimer = 0x7FF0;
  HeadlessHost headless;
  UserHost* host = &headless;
  MessageBoxPresenter presenter;
  HWND capture = nullptr;
  HCURSOR cursor = nullptr;
};

State& S() {
  static State state;
  return state;
}

UserHost& Host() {
  State& s = S();
  std::lock_guard guard(s.lock);
  return *s.host;
}

std::shared_ptr<WindowProc> ProcOf(HWND window) {
  State& s = S();
  std::lock_guard guard(s.lock);
  auto it = s.procs.find(window);
  return it == s.procs.end() ? nullptr : it->second;
}

}  // namespace

void SetUserHost(UserHost* host) {
  State& s = S();
  std::lock_guard guard(s.lock);
  s.host = host != nullptr ? host : &s.headless;
}

BOOL SetWindowProc(HWND window, WindowProc proc) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  State& s = S();
  std::vector<UINT_PTR> stopped;
  UserHost* host;
  {
    std::lock_guard guard(s.lock);
    host = s.host;
    if (proc) {
      s.procs[window] = std::make_shared<WindowProc>(std::move(proc));
      return TRUE;
    }
    s.procs.erase(window);
    for (auto it = s.timers.lower_bound({window, 0});
         it != s.timers.end() && it->first.first == window;) {
      stopped.push_back(it->first.second);
      it = s.timers.erase(it);
    }
    if (s.capture == window) s.capture = nullptr;
  }
  for (UINT_PTR id : stopped) host->StopTimer(window, id);
  return TRUE;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<WindowProc> proc = IsWindow(window) ? ProcOf(window) : nullptr;
  if (!proc) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // The shared copy keeps the handler alive if it unregisters itself while it runs.
  return (*proc)(window, message, wParam, lParam);
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return Host().PostToWindow(window, message, wParam, lParam) ? TRUE : FALSE;
}

void DeliverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (std::shared_ptr<WindowProc> proc = IsWindow(window) ? ProcOf(window) : nullptr)
    (*proc)(window, message, wParam, lParam);
}

int DispatchPostedMessages() {
  std::deque<Posted> queue = S().headless.Take();
  for (const Posted& p : queue) DeliverMessage(p.window, p.message, p.wParam, p.lParam);
  return int(queue.size());
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (window != nullptr && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  State& s = S();
  UserHost* host;
  {
    std::lock_guard guard(s.lock);
    host = s.host;
    if (window == nullptr) {
      if (proc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      id = s.nextThreadTimer++;
    }
    s.timers[{window, id}] = Timer{proc};
  }
  // Windows raises a zero interval to its minimum of 10 ms.
  if (!host->StartTimer(window, id, std::max<UINT>(elapse, 10))) {
    std::lock_guard guard(s.lock);
    s.timers.erase({window, id});
    return 0;
  }
  return window == nullptr ? id : std::max<UINT_PTR>(id, 1);
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  State& s = S();
  UserHost* host;
  {
    std::lock_guard guard(s.lock);
    host = s.host;
    if (s.timers.erase({window, id}) == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  host->StopTimer(window, id);
  return TRUE;
}

void TimerFired(HWND window, UINT_PTR id) {
  TIMERPROC proc;
  {
    State& s = S();
    std::lock_guard guard(s.lock);
    auto it = s.timers.find({window, id});
    if (it == s.timers.end()) return;  // killed while the tick was on its way
    proc = it->second.proc;
  }
  if (proc != nullptr)
    proc(window, WM_TIMER, id, GetTickCount());
  else
    DeliverMessage(window, WM_TIMER, id, 0);
}

HCURSOR LoadCursor(HANDLE instance, LPCSTR name) {
  const auto id = reinterpret_cast<std::uintptr_t>(name);
  const bool stock = (id >= 32512 && id <= 32515) || (id >= 32642 && id <= 32650);
  if (instance != nullptr || !stock || id == 32647) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(id);
}

int CursorId(HCURSOR cursor) {
  return int(reinterpret_cast<std::uintptr_t>(cursor));
}

HCURSOR SetCursor(HCURSOR cursor) {
  State& s = S();
  HCURSOR previous;
  UserHost* host;
  {
    std::lock_guard guard(s.lock);
    previous = std::exchange(s.cursor, cursor);
    host = s.host;
  }
  if (previous != cursor) host->ShowCursor(CursorId(cursor));
  return previous;
}

HCURSOR GetCursor() {
  State& s = S();
  std::lock_guard guard(s.lock);
  return s.cursor;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *point = Host().CursorPos();
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  Host().MoveCursor(x, y);
  return TRUE;
}

HWND SetCapture(HWND window) {
  State& s = S();
  HWND previous;
  {
    std::lock_guard guard(s.lock);
    previous = std::exchange(s.capture, window);
  }
  if (previous != nullptr && previous != window)
    SendMessage(previous, WM_CAPTURECHANGED, 0, LPARAM(reinterpret_cast<std::intptr_t>(window)));
  return previous;
}

HWND GetCapture() {
  State& s = S();
  std::lock_guard guard(s.lock);
  return s.capture;
}

BOOL ReleaseCapture() {
  SetCapture(nullptr);
  return TRUE;
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
  State& s = S();
  std::lock_guard guard(s.lock);
  return std::exchange(s.presenter, std::move(presenter));
}

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const std::string t = text != nullptr ? text : "";
  // Windows captions a box without a caption "Error".
  const std::string c = caption != nullptr ? caption : "Error";
  MessageBoxPresenter presenter;
  UserHost* host;
  {
    State& s = S();
    std::lock_guard guard(s.lock);
    presenter = s.presenter;
    host = s.host;
  }
  if (presenter) return presenter(owner, t, c, type);
  return host->ShowMessageBox(owner, t, c, type);
}

BOOL MessageBeep(UINT) {
  Host().Beep();
  return TRUE;
}

int GetSystemMetrics(int index) {
  UserHost& host = Host();
  auto width = [](const RECT& r) { return int(r.right - r.left); };
  auto height = [](const RECT& r) { return int(r.bottom - r.top); };
  switch (index) {
    case SM_CXSCREEN:
      return width(host.PrimaryScreen());
    case SM_CYSCREEN:
      return height(host.PrimaryScreen());
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
      return 16;  // the classic scroll bar
    case SM_CYCAPTION:
      return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return 4;
    case SM_CXDRAG:
    case SM_CYDRAG:
      return 4;
    case SM_MOUSEWHEELPRESENT:
      return 1;
    case SM_XVIRTUALSCREEN:
      return int(host.VirtualScreen().left);
    case SM_YVIRTUALSCREEN:
      return int(host.VirtualScreen().top);
    case SM_CXVIRTUALSCREEN:
      return width(host.VirtualScreen());
    case SM_CYVIRTUALSCREEN:
      return height(host.VirtualScreen());
    case SM_CMONITORS:
      return host.MonitorCount();
    default:
      return 0;
  }
}

BOOL SystemParametersInfo(UINT action, UINT, void* value, UINT) {
  if (value == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto put = [value](UINT v) {
    *static_cast<UINT*>(value) = v;
    return TRUE;
  };
  switch (action) {
    case SPI_GETWORKAREA:
      *static_cast<RECT*>(value) = Host().WorkArea();
      return TRUE;
    case SPI_GETWHEELSCROLLLINES:
      return put(Host().WheelScrollLines());
    // The hover rectangle and delay Windows ships with.
    case SPI_GETMOUSEHOVERWIDTH:
    case SPI_GETMOUSEHOVERHEIGHT:
      return put(4);
    case SPI_GETMOUSEHOVERTIME:
      return put(400);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

UINT GetDoubleClickTime() {
  return Host().DoubleClickTime();
}

}  // namespace win
