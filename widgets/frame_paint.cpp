#include "widgets/frame_paint.h"

TColor FrameBackgroundColor(const TFrameSettings& settings, const TFrameState& state) {
  if (!state.enabled) return settings.disabledColor;
  if (state.focused) return settings.focusColor;
  return settings.color;
}

bool FrameDrawn(const TFrameSettings& settings, bool visualStylesActive) {
  if (!settings.frameVisible) return false;
  return !(settings.framingPreference == TFramingPreference::fpXPThemes && visualStylesActive);
}

void PaintControlFrame(TCanvas& canvas, int width, int height, const TFrameSettings& settings,
                       const TFrameState& state, bool visualStylesActive) {
  if (!FrameDrawn(settings, visualStylesActive) || width <= 0 || height <= 0) return;
  win::HDC dc = canvas.Handle();
  const win::RECT whole{0, 0, width, height};
  const TColor back = FrameBackgroundColor(settings, state);
  DrawSides(dc, whole, TSides::All(), back, back, 2);

  const bool hot = settings.frameHotTrack && (state.focused || state.mouseOver);
  const TColor color = hot ? settings.frameHotColor : settings.frameColor;
  const TFrameStyleEx style = hot ? settings.frameHotStyle : settings.frameStyle;
  switch (style) {
    case TFrameStyleEx::fsFlat:
      DrawSides(dc, whole, settings.frameSides, color, color, 1);
      break;
    case TFrameStyleEx::fsFlatBold:
      DrawSides(dc, whole, settings.frameSides, color, color, 2);
      break;
    default:
      // The 3-D styles: the classic sunken border of the platform scheme.
      {
        const win::RECT in = DrawSides(dc, whole, settings.frameSides, clBtnShadow, clBtnHighlight);
        DrawSides(dc, in, settings.frameSides, cl3DDkShadow, cl3DLight);
      }
      break;
  }
}
