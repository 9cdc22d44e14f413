// HALFTONE reduction of a 6000 x 4000 24-bit DIB section to 200 x 133, into a 32-bit
// screen-compatible DDB and into a 24-bit DIB section, timed against a plain memcpy of the same
// 72 MB of source bits in the same run. Also reports the peak heap memory the stretch takes
// beyond its source and target (counted by replacing the global allocation functions).
//
// Usage: halftone_bench [repetitions]   (default 7; the best time of each is reported)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};

void* Counted(std::size_t size) {
  // The size is kept in front of the block so delete can subtract it.
  auto* p = static_cast<std::size_t*>(std::malloc(size + 16));
  if (!p) throw std::bad_alloc();
  *p = size;
  long long now = liveBytes += static_cast<long long>(size);
  long long peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
  return reinterpret_cast<char*>(p) + 16;
}
void Uncounted(void* block) {
  if (!block) return;
  auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(block) - 16);
  liveBytes -= static_cast<long long>(*p);
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) {
  return Counted(size);
}
void* operator new[](std::size_t size) {
  return Counted(size);
}
void operator delete(void* p) noexcept {
  Uncounted(p);
}
void operator delete[](void* p) noexcept {
  Uncounted(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Uncounted(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Uncounted(p);
}

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSourceWidth = 6000, kSourceHeight = 4000;
constexpr int kTargetWidth = 200, kTargetHeight = 133;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

win::HBITMAP Dib(int width, int height, int bpp, void** bits) {
  win::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<win::WORD>(bpp);
  info.bmiHeader.biCompression = win::BI_RGB;
  return win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, bits, nullptr, 0);
}

struct Result {
  double seconds = 1e9;
  long long extraBytes = 0;
};

// Best time of `repetitions` HALFTONE stretches from srcDc into target.
Result TimeStretch(win::HDC srcDc, win::HBITMAP target, int repetitions) {
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  win::HGDIOBJ old = win::SelectObject(dc, target);
  win::SetStretchBltMode(dc, win::HALFTONE);
  Result r;
  for (int i = 0; i < repetitions; ++i) {
    long long base = liveBytes.load();
    peakBytes = base;
    auto t0 = Clock::now();
    win::StretchBlt(dc, 0, 0, kTargetWidth, kTargetHeight, srcDc, 0, 0, kSourceWidth, kSourceHeight,
                    win::SRCCOPY);
    auto t1 = Clock::now();
    r.seconds = std::min(r.seconds, Seconds(t1 - t0));
    r.extraBytes = std::max(r.extraBytes, peakBytes.load() - base);
  }
  win::SelectObject(dc, old);
  win::DeleteDC(dc);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

  void* sourceBits = nullptr;
  win::HBITMAP source = Dib(kSourceWidth, kSourceHeight, 24, &sourceBits);
  if (!source) {
    std::fprintf(stderr, "cannot create the source DIB section\n");
    return 1;
  }
  win::DIBSECTION ds{};
  win::GetObjectA(source, sizeof ds, &ds);
  std::size_t bytes = ds.dsBmih.biSizeImage;
  // A photo-like source: smooth gradients with noise, every page touched.
  auto* p = static_cast<unsigned char*>(sourceBits);
  unsigned seed = 12345;
  for (std::size_t i = 0; i < bytes; ++i) {
    seed = seed * 1103515245u + 12345u;
    p[i] = static_cast<unsigned char>((i / 3 % 6000) * 255 / 6000 + (seed >> 27));
  }
  std::vector<unsigned char> copy(bytes, 1);  // touched, so memcpy pays no page faults

  double memcpySeconds = 1e9;
  for (int i = 0; i < repetitions; ++i) {
    auto t0 = Clock::now();
    std::memcpy(copy.data(), sourceBits, bytes);
    auto t1 = Clock::now();
    memcpySeconds = std::min(memcpySeconds, Seconds(t1 - t0));
  }
  volatile unsigned char sink = copy[bytes / 2];
  (void)sink;

  win::HDC srcDc = win::CreateCompatibleDC(nullptr);
  win::HGDIOBJ oldSource = win::SelectObject(srcDc, source);
  win::HDC screen = win::GetDC(nullptr);
  win::HBITMAP ddb = win::CreateCompatibleBitmap(screen, kTargetWidth, kTargetHeight);
  win::ReleaseDC(nullptr, screen);
  void* dibBits = nullptr;
  win::HBITMAP dib = Dib(kTargetWidth, kTargetHeight, 24, &dibBits);

  Result toDdb = TimeStretch(srcDc, ddb, repetitions);
  Result toDib = TimeStretch(srcDc, dib, repetitions);

  std::printf("source: %d x %d, 24-bit DIB section, %zu bytes\n", kSourceWidth, kSourceHeight,
              bytes);
  std::printf("memcpy of the source bits:          %8.2f ms\n", memcpySeconds * 1e3);
  std::printf("HALFTONE -> 200 x 133 32-bit DDB:   %8.2f ms  ratio %.2f  extra memory %lld bytes\n",
              toDdb.seconds * 1e3, toDdb.seconds / memcpySeconds, toDdb.extraBytes);
  std::printf("HALFTONE -> 200 x 133 24-bit DIB:   %8.2f ms  ratio %.2f  extra memory %lld bytes\n",
              toDib.seconds * 1e3, toDib.seconds / memcpySeconds, toDib.extraBytes);
  std::printf("(one source row is %u bytes)\n", static_cast<unsigned>(ds.dsBm.bmWidthBytes));

  win::SelectObject(srcDc, oldSource);
  win::DeleteDC(srcDc);
  win::DeleteObject(source);
  win::DeleteObject(ddb);
  win::DeleteObject(dib);
  return 0;
}
