#include "widgets/panel_paint.h"

#include "widgets/color_math.h"

namespace {

using enum TFrameStyleEx;

// The rounded one-pixel outline: each side shortened by two pixels at both ends, and a pixel
// set diagonally inside each corner.
void DrawRoundedOutline(win::HDC dc, const win::RECT& r, TSides sides, TColor color) {
  const bool left = sides.Contains(TSide::sdLeft);
  const bool top = sides.Contains(TSide::sdTop);
  const bool right = sides.Contains(TSide::sdRight);
  const bool bottom = sides.Contains(TSide::sdBottom);
  if (left) FillSolid(dc, {r.left, r.top + 2, r.left + 1, r.bottom - 2}, color);
  if (top) FillSolid(dc, {r.left + 2, r.top, r.right - 2, r.top + 1}, color);
  if (right) FillSolid(dc, {r.right - 1, r.top + 2, r.right, r.bottom - 2}, color);
  if (bottom) FillSolid(dc, {r.left + 2, r.bottom - 1, r.right - 2, r.bottom}, color);
  auto dot = [&](int x, int y) { FillSolid(dc, {x, y, x + 1, y + 1}, color); };
  if (left && top) dot(r.left + 1, r.top + 1);
  if (right && top) dot(r.right - 2, r.top + 1);
  if (right && bottom) dot(r.right - 2, r.bottom - 2);
  if (left && bottom) dot(r.left + 1, r.bottom - 2);
}

// Moves rect in by n on each of the sides.
win::RECT Inset(win::RECT r, TSides sides, int n) {
  if (sides.Contains(TSide::sdLeft)) r.left += n;
  if (sides.Contains(TSide::sdTop)) r.top += n;
  if (sides.Contains(TSide::sdRight)) r.right -= n;
  if (sides.Contains(TSide::sdBottom)) r.bottom -= n;
  return r;
}

// Borders other than the rounded one. The 3-D styles are not used by this program's layout;
// they draw the classic bevels from BorderHighlight and BorderShadow.
win::RECT DrawBorder(win::HDC dc, win::RECT r, TFrameStyleEx style, const TPanelLook& look,
                     win::COLORREF flat) {
  const TSides sides = look.borderSides;
  const TColor hi = look.borderHighlight;
  const TColor lo = look.borderShadow;
  switch (style) {
    case fsNone:
    case fsFlatRounded:  // handled by the caller
      return r;
    case fsFlat:
      return DrawSides(dc, r, sides, flat, flat, 1);
    case fsFlatBold:
      return DrawSides(dc, r, sides, flat, flat, 2);
    case fsRaised:
    case fsButtonUp:
    case fsPopup:
      return DrawSides(dc, r, sides, hi, lo, 1);
    case fsLowered:
    case fsButtonDown:
    case fsStatus:
      return DrawSides(dc, r, sides, lo, hi, 1);
    case fsGroove:
      r = DrawSides(dc, r, sides, lo, hi, 1);
      return DrawSides(dc, r, sides, hi, lo, 1);
    case fsBump:
      r = DrawSides(dc, r, sides, hi, lo, 1);
      return DrawSides(dc, r, sides, lo, hi, 1);
  }
  return r;
}

// How far in a border style reaches.
int BorderThickness(TFrameStyleEx style) {
  switch (style) {
    case fsNone:
      return 0;
    case fsFlatBold:
    case fsFlatRounded:
    case fsGroove:
    case fsBump:
      return 2;
    default:
      return 1;
  }
}

}  // namespace

win::RECT PanelInterior(const win::RECT& rect, const TPanelLook& look) {
  const int n = BorderThickness(look.borderOuter) + (look.borderWidth > 0 ? look.borderWidth : 0) +
                BorderThickness(look.borderInner);
  return Inset(rect, look.borderSides, n);
}

win::COLORREF PanelFlatColor(const TPanelLook& look) {
  return ShiftLuminance(look.flatColor, look.flatColorAdjustment);
}

win::RECT PaintPanel(TCanvas& canvas, const win::RECT& rect, const TPanelLook& look,
                     TColor parentColor) {
  win::HDC dc = canvas.Handle();
  const win::COLORREF flat = PanelFlatColor(look);
  win::RECT r = rect;

  if (look.borderOuter == fsFlatRounded) {
    if (!look.transparent) {
      // The parent's colour first, so the cut corners show the parent, then the ring just
      // inside in the colour the area next to the outline will have.
      const bool ringed = look.borderWidth > 0 || look.borderInner != fsNone;
      const win::RECT in = DrawSides(dc, r, look.borderSides, parentColor, parentColor, 1);
      const TColor next = ringed ? look.borderColor : look.color;
      DrawSides(dc, in, look.borderSides, next, next, 1);
    }
    DrawRoundedOutline(dc, r, look.borderSides, flat);
    r = Inset(r, look.borderSides, 2);
  } else {
    r = DrawBorder(dc, r, look.borderOuter, look, flat);
  }

  if (look.borderWidth > 0)
    r = DrawSides(dc, r, look.borderSides, look.borderColor, look.borderColor, look.borderWidth);

  if (look.borderInner == fsFlatRounded) {
    DrawRoundedOutline(dc, r, look.borderSides, flat);
    r = Inset(r, look.borderSides, 2);
  } else {
    r = DrawBorder(dc, r, look.borderInner, look, flat);
  }

  if (!look.transparent) {
    if (look.visualStyle == TVisualStyle::vsGradient)
      GradientFill(dc, r, look.gradientDirection, look.gradientColorStart, look.gradientColorStop);
    else
      FillSolid(dc, r, look.color);
  }
  return r;
}
