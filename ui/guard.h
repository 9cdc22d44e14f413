// The guard every call from Qt into our code passes through: events, paints, timers, posted
// messages, menu actions. An escaping exception goes to the application's failure display and
// never crosses a Qt frame; when the outermost guarded call returns, the bitmap canvases give
// back their device contexts, as the image layer expects after every message.
#pragma once

#include <exception>
#include <utility>

namespace ui {

class GuardScope {
 public:
  GuardScope();
  ~GuardScope();
  GuardScope(const GuardScope&) = delete;
  GuardScope& operator=(const GuardScope&) = delete;
  // How many guarded calls are running (nested calls count each).
  static int Depth();
};

// Hands what escaped to Application->HandleException (or swallows it when there is no
// application object).
void HandleEscaped(std::exception_ptr failure) noexcept;

template <class Fn>
void Guard(Fn&& fn) noexcept {
  GuardScope scope;
  try {
    std::forward<Fn>(fn)();
  } catch (...) {
    HandleEscaped(std::current_exception());
  }
}

// As Guard, and answers fallback when fn fails.
template <class Fn, class R>
R GuardValue(Fn&& fn, R fallback) noexcept {
  GuardScope scope;
  try {
    return std::forward<Fn>(fn)();
  } catch (...) {
    HandleEscaped(std::current_exception());
    return fallback;
  }
}

}  // namespace ui
