// Drawing primitives shared by the styled widgets: solid fills, side lines and the vertical
// gradient fill. They draw on a TCanvas's device context directly, with their own brushes, so
// the canvas's tools are left as they were.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "imaging/canvas.h"
#include "imaging/colors.h"
#include "platform/gdi/gdi.h"

enum class TSide : std::uint8_t { sdLeft, sdTop, sdRight, sdBottom };

// A set of rectangle sides.
class TSides {
 public:
  constexpr TSides() = default;
  constexpr TSides(std::initializer_list<TSide> sides) {
    for (TSide s : sides) bits_ |= Bit(s);
  }
  static constexpr TSides All() {
    return {TSide::sdLeft, TSide::sdTop, TSide::sdRight, TSide::sdBottom};
  }
  constexpr bool Contains(TSide s) const { return (bits_ & Bit(s)) != 0; }
  constexpr TSides With(TSide s) const {
    TSides r = *this;
    r.bits_ = std::uint8_t(r.bits_ | Bit(s));
    return r;
  }
  constexpr bool operator==(const TSides&) const = default;

 private:
  static constexpr std::uint8_t Bit(TSide s) { return std::uint8_t(1u << unsigned(s)); }
  std::uint8_t bits_ = 0;
};

enum class TGradientDirection : std::uint8_t {
  gdDiagonalUp,
  gdDiagonalDown,
  gdHorizontalEnd,
  gdHorizontalCenter,
  gdHorizontalBox,
  gdVerticalEnd,
  gdVerticalCenter,
  gdVerticalBox,
  gdSquareBox,
  gdBigSquareBox
};

// Fills [left, right) x [top, bottom) with the resolved colour; nothing for clNone or an empty
// rectangle.
void FillSolid(win::HDC dc, const win::RECT& rect, TColor color);

// One-pixel lines on the chosen sides of rect (right and bottom exclusive), `thickness` passes,
// each one pixel further in: left and top in leftTop, right and bottom in rightBottom, drawn in
// the order left, top, right, bottom. A side whose colour is clNone is skipped and does not move
// the rectangle. Returns the rectangle inside what was drawn.
win::RECT DrawSides(win::HDC dc, win::RECT rect, TSides sides, TColor leftTop, TColor rightBottom,
                    int thickness = 1);
inline win::RECT DrawSides(TCanvas& canvas, const win::RECT& rect, TSides sides, TColor leftTop,
                           TColor rightBottom, int thickness = 1) {
  return DrawSides(canvas.Handle(), rect, sides, leftTop, rightBottom, thickness);
}

// Fills rect with a gradient from start to stop. gdHorizontalEnd, the direction this program
// uses, runs in horizontal bands from start at the top to stop at the bottom; it is computed in
// 16.16 fixed point upwards from the bottom row, so the bottom row is exactly `stop`. The other
// directions fall back to it.
void GradientFill(win::HDC dc, const win::RECT& rect, TGradientDirection direction, TColor start,
                  TColor stop);
inline void GradientFill(TCanvas& canvas, const win::RECT& rect, TGradientDirection direction,
                         TColor start, TColor stop) {
  GradientFill(canvas.Handle(), rect, direction, start, stop);
}

// True when the screen shows more than 256 colours (the styled faces fall back to solid fills
// and drop their rings otherwise).
bool ScreenHasManyColors();
