// Helpers for pixel tests of bitmaps: coordinate-coded pictures and reading any bitmap back as
// 24-bit colours.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/bitmap.h"
#include "platform/gdi/gdi.h"

namespace bitmap_test {

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "rgb(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}

inline constexpr Rgb kWhite{255, 255, 255};

// A colour that encodes its position and is never white.
inline Rgb Code(int x, int y) {
  return Rgb{std::uint8_t((x * 37 + y * 11) % 240), std::uint8_t((x * 5 + y * 73 + 17) % 240),
             std::uint8_t(((x ^ y) * 29 + 3) % 240)};
}

// Screen depth changes are process-wide: every test that makes one goes back to 32 bits.
class ScreenDepthTest : public ::testing::Test {
 protected:
  void TearDown() override { win::SetScreenDepth(32); }
};

// Makes bitmap a width x height 24-bit DIB section holding Code(x, y).
inline void MakeCoded24(TBitmap& bitmap, int width, int height) {
  bitmap.SetColorDepth(TColorDepth::Depth24);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.RowPointer(y);
    for (int x = 0; x < width; ++x) {
      const Rgb c = Code(x, y);
      row[3 * x] = c.b;
      row[3 * x + 1] = c.g;
      row[3 * x + 2] = c.r;
    }
  }
}

// Every pixel of bitmap as 24-bit colours, row 0 first, read through a private 24-bit copy (as
// the JPEG encoder reads them).
inline std::vector<Rgb> Read24(const TBitmap& bitmap) {
  TBitmap copy;
  copy.CopyFrom(&bitmap);
  copy.SetColorDepth(TColorDepth::Depth24);
  std::vector<Rgb> pixels;
  for (int y = 0; y < copy.Height(); ++y) {
    const std::uint8_t* row = copy.RowPointer(y);
    for (int x = 0; x < copy.Width(); ++x)
      pixels.push_back({row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  return pixels;
}

}  // namespace bitmap_test
