#include "runtime/gui_thread.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// An id that is no thread's: nobody has claimed the GUI thread yet.
std::atomic<std::thread::id> guiThread{};

}  // namespace

void SetGuiThread() {
  guiThread.store(std::this_thread::get_id(), std::memory_order_release);
}

#ifndef NDEBUG
void AssertGuiThreadFor(const char* what) {
  const std::thread::id self = std::this_thread::get_id();
  std::thread::id owner = guiThread.load(std::memory_order_acquire);
  if (owner == self) return;
  if (owner == std::thread::id() &&
      guiThread.compare_exchange_strong(owner, self, std::memory_order_acq_rel))
    return;
  if (owner == self) return;
  std::fprintf(stderr, "%s called outside the GUI thread\n", what);
  std::abort();
}
#endif
