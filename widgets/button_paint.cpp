#include "widgets/button_paint.h"

#include <cstdlib>

#include "widgets/color_math.h"
#include "widgets/drawing.h"

namespace {

void Dot(win::HDC dc, int x, int y, TColor color) {
  FillSolid(dc, {x, y, x + 1, y + 1}, color);
}

// A highlight colour that would vanish against the button face.
bool TooCloseToButtonFace(TColor color) {
  const THsl c = ToHsl(color);
  const THsl face = ToHsl(clBtnFace);
  return std::abs(c.hue - face.hue) < 20 && std::abs(c.luminance - face.luminance) < 60;
}

// The etched ring in the parent's colour, darker on the left and top.
void PaintEtchedRing(win::HDC dc, const win::RECT& r, TColor parent) {
  const win::COLORREF dark = DarkenColor(parent, 20);
  const win::COLORREF light = LightenColor(parent, 20);
  FillSolid(dc, {r.left, r.top + 2, r.left + 1, r.bottom - 2}, dark);
  FillSolid(dc, {r.left + 2, r.top, r.right - 2, r.top + 1}, dark);
  FillSolid(dc, {r.right - 1, r.top + 2, r.right, r.bottom - 2}, light);
  FillSolid(dc, {r.left + 2, r.bottom - 1, r.right - 2, r.bottom}, light);
  Dot(dc, r.left + 1, r.top + 1, dark);
  Dot(dc, r.right - 2, r.top + 1, dark);
  Dot(dc, r.left + 1, r.bottom - 2, dark);
  Dot(dc, r.right - 2, r.bottom - 2, light);
}

void PaintCutCornerFrame(win::HDC dc, const win::RECT& r, win::COLORREF color) {
  FillSolid(dc, {r.left, r.top + 1, r.left + 1, r.bottom - 1}, color);
  FillSolid(dc, {r.left + 1, r.top, r.right - 1, r.top + 1}, color);
  FillSolid(dc, {r.right - 1, r.top + 1, r.right, r.bottom - 1}, color);
  FillSolid(dc, {r.left + 1, r.bottom - 1, r.right - 1, r.bottom}, color);
}

}  // namespace

TRingColors ButtonRingColors(const TButtonLook& look, const TButtonState& state) {
  if (state.mouseOver) {
    return {true, BlendColor(clWhite, look.hotTrackColor, 190), ColorToRGB(look.hotTrackColor)};
  }
  if (state.focused || state.isDefault) {
    TColor h = ColorToRGB(look.highlightColor);
    if (TooCloseToButtonFace(h)) h = DarkenColor(h, 30);
    const win::COLORREF c = LightenColor(look.color, 30);
    return {true, BlendColor(h, c, 60), BlendColor(h, c, 160)};
  }
  return {};
}

win::COLORREF ButtonFrameColor(const TButtonLook& look, bool enabled) {
  if (enabled) return ColorToRGB(look.frameColor);
  if (ColorToRGB(look.color) == ColorToRGB(clBtnFace)) return LightenColor(clBtnShadow, 30);
  return DarkenColor(look.color, 80);
}

void PaintButtonFace(TCanvas& canvas, const win::RECT& client, const TButtonLook& look,
                     const TButtonState& state) {
  win::HDC dc = canvas.Handle();
  win::RECT r = client;
  if (state.enabled) PaintEtchedRing(dc, r, look.parentColor);

  r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  PaintCutCornerFrame(dc, r, ButtonFrameColor(look, state.enabled));

  r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  if (!state.enabled) {
    FillSolid(dc, r, look.color);
    return;
  }
  if (state.pressed) {
    FillSolid(dc, r, DarkenColor(look.color, 10));
    return;
  }

  const bool manyColors = ScreenHasManyColors();
  FillSolid(dc, {r.left, r.bottom - 2, r.right, r.bottom - 1}, DarkenColor(look.color, 20));
  FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, DarkenColor(look.color, 30));
  r.bottom -= 2;  // the face above the two lines; the ring stays above them too
  if (manyColors)
    GradientFill(dc, r, TGradientDirection::gdHorizontalEnd, LightenColor(look.color, 30),
                 DarkenColor(look.color, 10));
  else
    FillSolid(dc, r, look.color);

  const TRingColors ring = ButtonRingColors(look, state);
  if (!ring.visible || !manyColors) return;
  const int saved = win::SaveDC(dc);
  win::ExcludeClipRect(dc, r.left + 2, r.top + 2, r.right - 2, r.bottom - 2);
  GradientFill(dc, r, TGradientDirection::gdHorizontalEnd, ring.top, ring.bottom);
  win::RestoreDC(dc, saved);
}

win::RECT ButtonTextRect(const win::RECT& client, int textHeight, TVerticalAlignment alignment) {
  win::RECT r{client.left + 5, client.top + 5, client.right - 5, client.bottom - 5};
  switch (alignment) {
    case TVerticalAlignment::avTop:
      break;
    case TVerticalAlignment::avCenter:
      r.top = (r.top + r.bottom - textHeight) / 2;  // C++ division truncates toward zero
      break;
    case TVerticalAlignment::avBottom:
      r.top = r.bottom - textHeight;
      break;
  }
  r.bottom = r.top + textHeight;
  return r;
}

void PaintButtonFocusRect(TCanvas& canvas, const win::RECT& client) {
  win::HDC dc = canvas.Handle();
  const win::RECT r{client.left + 3, client.top + 3, client.right - 3, client.bottom - 3};
  if (r.right <= r.left || r.bottom <= r.top) return;
  for (int x = r.left + 1; x < r.right; x += 2) {
    win::SetPixel(dc, x, r.top, clBlack);
    win::SetPixel(dc, x, r.bottom - 1, clBlack);
  }
  for (int y = r.top + 1; y < r.bottom; y += 2) {
    win::SetPixel(dc, r.left, y, clBlack);
    win::SetPixel(dc, r.right - 1, y, clBlack);
  }
}

void PaintButton(TCanvas& canvas, const win::RECT& client, const TButtonLook& look,
                 const TButtonState& state, TColor fontColor, const TCaptionPainter& caption) {
  PaintButtonFace(canvas, client, look, state);
  if (caption) caption(canvas, client, ColorToRGB(state.enabled ? fontColor : clGrayText));
  if (state.focused && look.showFocusRect) PaintButtonFocusRect(canvas, client);
}
