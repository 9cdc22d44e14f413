#include "platform/user/window.h"

#include <cstdint>
#include <mutex>
#include <unordered_set>

namespace win {

namespace {

struct WindowTable {
  std::mutex lock;
  std::unordered_set<HWND> live;
  // Handle values count up like Windows' do; they are names, never dereferenced.
  std::uintptr_t next = 0x10010;
  HWND application = nullptr;
};

WindowTable& Table() {
  static WindowTable table;
  return table;
}

}  // namespace

HWND CreateMessageWindow() {
  WindowTable& table = Table();
  std::lock_guard guard(table.lock);
  auto window = reinterpret_cast<HWND>(table.next);
  table.next += 4;
  table.live.insert(window);
  return window;
}

BOOL DestroyWindow(HWND window) {
  WindowTable& table = Table();
  std::lock_guard guard(table.lock);
  if (table.live.erase(window) == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (table.application == window) table.application = nullptr;
  return TRUE;
}

BOOL IsWindow(HWND window) {
  WindowTable& table = Table();
  std::lock_guard guard(table.lock);
  return table.live.count(window) != 0 ? TRUE : FALSE;
}

HWND ApplicationWindow() {
  WindowTable& table = Table();
  std::lock_guard guard(table.lock);
  return table.application;
}

void SetApplicationWindow(HWND window) {
  WindowTable& table = Table();
  std::lock_guard guard(table.lock);
  table.application = window;
}

}  // namespace win
