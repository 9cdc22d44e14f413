// Helpers for the widget pixel tests: a 24-bit surface pre-filled with coordinate-coded colours
// (so an unwritten or misplaced pixel shows), read back as COLORREFs, and a reference model of
// the vertical gradient's rows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/bitmap.h"
#include "imaging/colors.h"
#include "platform/gdi/gdi.h"

namespace widget_test {

// Never white, never one of the few flat colours the tests look for.
inline win::COLORREF Code(int x, int y) {
  return win::RGB(win::BYTE((x * 37 + y * 11) % 200 + 1), win::BYTE((x * 5 + y * 73 + 17) % 200),
                  win::BYTE(((x ^ y) * 29 + 3) % 200));
}

class Surface {
 public:
  Surface(int width, int height, bool coded = true) {
    bitmap_.SetColorDepth(TColorDepth::Depth24);
    bitmap_.SetWidth(width);
    bitmap_.SetHeight(height);
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = bitmap_.RowPointer(y);
      for (int x = 0; x < width; ++x) {
        const win::COLORREF c = coded ? Code(x, y) : win::RGB(255, 255, 255);
        row[3 * x] = win::GetBValue(c);
        row[3 * x + 1] = win::GetGValue(c);
        row[3 * x + 2] = win::GetRValue(c);
      }
    }
  }
  TCanvas& Canvas() { return bitmap_.Canvas(); }
  TBitmap& Bitmap() { return bitmap_; }
  win::COLORREF At(int x, int y) { return bitmap_.Canvas().Pixels(x, y); }
  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }

 private:
  TBitmap bitmap_;
};

// Row y (0 = top) of an h-row gradient from start (top) to stop (bottom): the stop colour plus
// (h - 1 - y) steps of the truncated 16.16 step per channel.
inline win::COLORREF GradientRow(win::COLORREF start, win::COLORREF stop, int h, int y) {
  auto channel = [&](int from, int to) {
    const std::int64_t step = (std::int64_t(from) * 65536 - std::int64_t(to) * 65536) / h;
    return win::BYTE(((std::int64_t(to) * 65536 + step * (h - 1 - y)) >> 16) & 0xFF);
  };
  return win::RGB(channel(win::GetRValue(start), win::GetRValue(stop)),
                  channel(win::GetGValue(start), win::GetGValue(stop)),
                  channel(win::GetBValue(start), win::GetBValue(stop)));
}

inline constexpr win::COLORREF Hex(std::uint32_t rgb) {
  return win::RGB(win::BYTE(rgb >> 16), win::BYTE(rgb >> 8), win::BYTE(rgb));
}

// Screen depth is process-wide; a test that changes it goes back to 32 bits.
struct ScreenDepthScope {
  explicit ScreenDepthScope(int bits) { win::SetScreenDepth(bits); }
  ~ScreenDepthScope() { win::SetScreenDepth(32); }
};

}  // namespace widget_test
