// The tick count.
#include <time.h>

#include "platform/kernel/kernel.h"

namespace win {

DWORD GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                  static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
  return static_cast<DWORD>(ms);  // wraps at 2^32 like Windows' count
}

}  // namespace win
