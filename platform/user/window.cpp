#include "platform/user/window.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/kernel/handle_table.h"

namespace win {
namespace detail {
// Drag and drop lets go of a destroyed window's drop target (platform/user/ole.cpp).
void ForgetDropTarget(HWND window);
}  // namespace detail

namespace {

using detail::HandleKind;

struct Window {
  std::atomic<LONG_PTR> userData{0};
};

detail::HandleTable<Window>& Windows() {
  static auto* table = new detail::HandleTable<Window>;  // used until exit
  return *table;
}

struct Application {
  std::mutex lock;
  HWND window = nullptr;
};

Application& TheApplication() {
  static Application application;
  return application;
}

auto FindWindow(HWND window) {
  auto found = Windows().Pin(window, HandleKind::kWindow);
  if (!found) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return found;
}

}  // namespace

HWND CreateMessageWindow() {
  void* handle = Windows().Add(std::make_unique<Window>(), HandleKind::kWindow);
  if (handle == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return static_cast<HWND>(handle);
}

BOOL DestroyWindow(HWND window) {
  if (!Windows().Remove(window, HandleKind::kWindow)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  detail::ForgetDropTarget(window);
  Application& application = TheApplication();
  std::lock_guard guard(application.lock);
  if (application.window == window) application.window = nullptr;
  return TRUE;
}

BOOL IsWindow(HWND window) {
  return Windows().Get(window, HandleKind::kWindow) != nullptr ? TRUE : FALSE;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  auto found = FindWindow(window);
  if (!found) return 0;
  if (index != GWLP_USERDATA) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return found->userData.load();
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  auto found = FindWindow(window);
  if (!found) return 0;
  if (index != GWLP_USERDATA) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  // As on Windows, a previous value of 0 is told from a failure by the last error.
  SetLastError(ERROR_SUCCESS);
  return found->userData.exchange(value);
}

HWND ApplicationWindow() {
  Application& application = TheApplication();
  std::lock_guard guard(application.lock);
  return application.window;
}

void SetApplicationWindow(HWND window) {
  Application& application = TheApplication();
  std::lock_guard guard(application.lock);
  application.window = window;
}

}  // namespace win
