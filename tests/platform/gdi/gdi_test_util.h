// Test helpers: DIB sections selected into their own memory DC, with direct access to their
// bits computed independently of the GDI (rows padded to 4 bytes, bottom-up unless the height
// is negative).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"

namespace win::test {

struct DibLayout {
  int width = 1;
  int height = 1;  // negative: top-down
  int bpp = 32;
  DWORD compression = BI_RGB;
  DWORD masks[3] = {0, 0, 0};
  std::vector<RGBQUAD> colors;  // colour table for 8 bits or fewer
};

inline DibLayout Layout(int width, int height, int bpp) {
  DibLayout s;
  s.width = width;
  s.height = height;
  s.bpp = bpp;
  return s;
}

inline BITMAPINFO MakeInfo(const DibLayout& s) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = s.width;
  info.bmiHeader.biHeight = s.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = WORD(s.bpp);
  info.bmiHeader.biCompression = s.compression;
  if (s.compression == BI_BITFIELDS) {
    std::memcpy(info.bmiColors, s.masks, sizeof s.masks);
  }
  for (std::size_t i = 0; i < s.colors.size() && i < 256; ++i) info.bmiColors[i] = s.colors[i];
  if (!s.colors.empty()) info.bmiHeader.biClrUsed = DWORD(s.colors.size());
  return info;
}

// A bitmap selected into its own memory DC; released in the destructor.
class Canvas {
 public:
  explicit Canvas(HBITMAP bitmap) : bitmap_(bitmap) {
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
  }
  explicit Canvas(const DibLayout& layout) : spec_(layout) {
    BITMAPINFO info = MakeInfo(layout);
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_; }
  HBITMAP Bitmap() const { return bitmap_; }
  int Width() const { return spec_.width; }
  int Height() const { return spec_.height < 0 ? -spec_.height : spec_.height; }
  std::size_t Stride() const { return std::size_t((spec_.width * spec_.bpp + 31) / 32 * 4); }
  // Row y counted from the top of the picture.
  std::uint8_t* Row(int y) const {
    int stored = spec_.height < 0 ? y : Height() - 1 - y;
    return static_cast<std::uint8_t*>(bits_) + std::size_t(stored) * Stride();
  }
  // Raw pixel value (any depth).
  std::uint32_t Value(int x, int y) const {
    const std::uint8_t* r = Row(y);
    switch (spec_.bpp) {
      case 1:
        return (r[x / 8] >> (7 - x % 8)) & 1;
      case 4:
        return x % 2 ? r[x / 2] & 15 : r[x / 2] >> 4;
      case 8:
        return r[x];
      case 16:
        return std::uint32_t(r[2 * x] | r[2 * x + 1] << 8);
      case 24:
        return std::uint32_t(r[3 * x] | r[3 * x + 1] << 8 | r[3 * x + 2] << 16);
      default: {
        std::uint32_t v;
        std::memcpy(&v, r + 4 * x, 4);
        return v;
      }
    }
  }
  void SetValue(int x, int y, std::uint32_t v) const {
    std::uint8_t* r = Row(y);
    switch (spec_.bpp) {
      case 1:
        r[x / 8] = std::uint8_t((r[x / 8] & ~(0x80 >> (x % 8))) | ((v & 1) << (7 - x % 8)));
        break;
      case 4:
        r[x / 2] = x % 2 ? std::uint8_t((r[x / 2] & 0xF0) | (v & 15))
                         : std::uint8_t((r[x / 2] & 0x0F) | (v & 15) << 4);
        break;
      case 8:
        r[x] = std::uint8_t(v);
        break;
      case 16:
        r[2 * x] = std::uint8_t(v);
        r[2 * x + 1] = std::uint8_t(v >> 8);
        break;
      case 24:
        r[3 * x] = std::uint8_t(v);
        r[3 * x + 1] = std::uint8_t(v >> 8);
        r[3 * x + 2] = std::uint8_t(v >> 16);
        break;
      default:
        std::memcpy(r + 4 * x, &v, 4);
        break;
    }
  }

 private:
  DibLayout spec_;
  HBITMAP bitmap_ = nullptr;
  void* bits_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// Screen depth for one test, restored afterwards.
class ScreenDepthScope {
 public:
  explicit ScreenDepthScope(int depth) : old_(ScreenDepth()) { SetScreenDepth(depth); }
  ~ScreenDepthScope() { SetScreenDepth(old_); }

 private:
  int old_;
};

// Deterministic pseudo-random numbers.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  int Range(int lo, int hi) { return lo + int(Next() % std::uint32_t(hi - lo + 1)); }

 private:
  std::uint32_t state_;
};

// A colour that encodes its coordinates, distinct for every pixel of a small image.
inline std::uint32_t CoordinateColor(int x, int y) {
  return std::uint32_t((x * 37 + 11) & 0xFF) << 16 | std::uint32_t((y * 53 + 7) & 0xFF) << 8 |
         std::uint32_t((x * 5 + y * 3) & 0xFF);
}

}  // namespace win::test
