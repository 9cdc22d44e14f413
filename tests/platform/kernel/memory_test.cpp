#include <gtest/gtest.h>
#include <time.h>

#include <cstring>

#include "platform/kernel/kernel.h"

namespace {

TEST(GlobalMemory, BlockLifecycle) {
  const win::HGLOBAL block = win::GlobalAlloc(win::GHND, 1000);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(win::GlobalSize(block), 1000u);
  auto* bytes = static_cast<unsigned char*>(win::GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(bytes[i], 0) << "GHND zero-fills, byte " << i;
  std::memset(bytes, 0xAB, 1000);
  // Locks nest; the last unlock returns FALSE with no error, as on Windows.
  EXPECT_EQ(win::GlobalLock(block), bytes);
  EXPECT_TRUE(win::GlobalUnlock(block));
  EXPECT_FALSE(win::GlobalUnlock(block));
  EXPECT_EQ(win::GetLastError(), win::ERROR_SUCCESS);
  EXPECT_EQ(win::GlobalFree(block), nullptr);
  // A freed block is no longer a handle.
  EXPECT_EQ(win::GlobalFree(block), block);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(win::GlobalSize(block), 0u);
  EXPECT_EQ(win::GlobalLock(block), nullptr);
}

TEST(GlobalMemory, EmptyBlocksAreDistinct) {
  const win::HGLOBAL a = win::GlobalAlloc(win::GMEM_MOVEABLE, 0);
  const win::HGLOBAL b = win::GlobalAlloc(win::GMEM_MOVEABLE, 0);
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(win::GlobalSize(a), 0u);
  EXPECT_EQ(win::GlobalFree(a), nullptr);
  EXPECT_EQ(win::GlobalFree(b), nullptr);
}

std::uint64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

TEST(TickCount, IsTheMonotonicClockInMillisecondsModulo32Bits) {
  const std::uint64_t before = MonotonicMs();
  const win::DWORD tick = win::GetTickCount();
  const std::uint64_t after = MonotonicMs();
  // Unsigned differences stay right across the 2^32 wrap.
  EXPECT_LE(static_cast<win::DWORD>(tick - static_cast<win::DWORD>(before)),
            static_cast<win::DWORD>(after - before));
}

}  // namespace
