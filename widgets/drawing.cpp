#include "widgets/drawing.h"

#include <cstdint>

namespace {

// A memory DC with a bitmap compatible with `like`, freed on every exit path.
class Offscreen {
 public:
  Offscreen(win::HDC like, int width, int height) {
    dc_ = win::CreateCompatibleDC(like);
    bitmap_ = win::CreateCompatibleBitmap(like, width, height);
    if (dc_ && bitmap_) old_ = win::SelectObject(dc_, bitmap_);
  }
  ~Offscreen() {
    if (old_) win::SelectObject(dc_, old_);
    if (bitmap_) win::DeleteObject(bitmap_);
    if (dc_) win::DeleteDC(dc_);
  }
  Offscreen(const Offscreen&) = delete;
  Offscreen& operator=(const Offscreen&) = delete;

  bool Valid() const { return old_ != nullptr; }
  win::HDC Dc() const { return dc_; }

 private:
  win::HDC dc_ = nullptr;
  win::HBITMAP bitmap_ = nullptr;
  win::HGDIOBJ old_ = nullptr;
};

void FillColorRef(win::HDC dc, const win::RECT& rect, win::COLORREF color) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  win::HBRUSH brush = win::CreateSolidBrush(color);
  if (!brush) return;
  win::FillRect(dc, &rect, brush);
  win::DeleteObject(brush);
}

}  // namespace

void FillSolid(win::HDC dc, const win::RECT& rect, TColor color) {
  if (color == clNone) return;
  FillColorRef(dc, rect, ColorToRGB(color));
}

win::RECT DrawSides(win::HDC dc, win::RECT rect, TSides sides, TColor leftTop, TColor rightBottom,
                    int thickness) {
  const bool left = sides.Contains(TSide::sdLeft) && leftTop != clNone;
  const bool top = sides.Contains(TSide::sdTop) && leftTop != clNone;
  const bool right = sides.Contains(TSide::sdRight) && rightBottom != clNone;
  const bool bottom = sides.Contains(TSide::sdBottom) && rightBottom != clNone;
  for (int pass = 0; pass < thickness; ++pass) {
    const win::RECT r = rect;
    if (left) FillSolid(dc, {r.left, r.top, r.left + 1, r.bottom}, leftTop);
    if (top) FillSolid(dc, {r.left, r.top, r.right, r.top + 1}, leftTop);
    if (right) FillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, rightBottom);
    if (bottom) FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, rightBottom);
    if (left) ++rect.left;
    if (top) ++rect.top;
    if (right) --rect.right;
    if (bottom) --rect.bottom;
  }
  return rect;
}

void GradientFill(win::HDC dc, const win::RECT& rect, TGradientDirection /*direction*/,
                  TColor start, TColor stop) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  const win::COLORREF from = ColorToRGB(start);
  const win::COLORREF to = ColorToRGB(stop);

  Offscreen strip(dc, width, height);
  if (!strip.Valid()) return;

  // Only an 8-pixel strip is coloured; the rest of the width is block copies of it.
  const int stripWidth = width < 8 ? width : 8;
  const std::int32_t starts[3] = {win::GetRValue(from), win::GetGValue(from), win::GetBValue(from)};
  std::int32_t acc[3] = {win::GetRValue(to), win::GetGValue(to), win::GetBValue(to)};
  std::int32_t step[3];
  for (int c = 0; c < 3; ++c) {
    step[c] = (starts[c] * 65536 - acc[c] * 65536) / height;  // truncates toward zero
    acc[c] *= 65536;
  }
  auto colorOf = [&acc] {
    return win::RGB(win::BYTE((acc[0] >> 16) & 0xFF), win::BYTE((acc[1] >> 16) & 0xFF),
                    win::BYTE((acc[2] >> 16) & 0xFF));
  };
  // Rows upwards from the bottom; a run of equal rows is one rectangle.
  int runBottom = height;
  win::COLORREF runColor = colorOf();
  for (int y = height - 1; y >= 0; --y) {
    const win::COLORREF c = colorOf();
    if (c != runColor) {
      FillColorRef(strip.Dc(), {0, y + 1, stripWidth, runBottom}, runColor);
      runBottom = y + 1;
      runColor = c;
    }
    for (int k = 0; k < 3; ++k) acc[k] += step[k];
  }
  FillColorRef(strip.Dc(), {0, 0, stripWidth, runBottom}, runColor);

  for (int done = stripWidth; done < width; done *= 2) {
    const int n = done < width - done ? done : width - done;
    win::BitBlt(strip.Dc(), done, 0, n, height, strip.Dc(), 0, 0, win::SRCCOPY);
  }
  win::BitBlt(dc, rect.left, rect.top, width, height, strip.Dc(), 0, 0, win::SRCCOPY);
}

bool ScreenHasManyColors() {
  win::HDC screen = win::GetDC(nullptr);
  const int bits =
      win::GetDeviceCaps(screen, win::BITSPIXEL) * win::GetDeviceCaps(screen, win::PLANES);
  win::ReleaseDC(nullptr, screen);
  return bits > 8;
}
