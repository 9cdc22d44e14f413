// The flat frame of framed controls (the file list and the folder tree): settings, the
// background colour rule and the frame painting over the 2-pixel border a standard control has.
// One implementation for every framed control; the control calls it after the toolkit has
// drawn its own border, and again on enter, leave, focus changes and resizes.
#pragma once

#include <cstdint>

#include "imaging/canvas.h"
#include "imaging/colors.h"
#include "widgets/drawing.h"
#include "widgets/panel_paint.h"

enum class TFramingPreference : std::uint8_t { fpXPThemes, fpCustomFraming };

struct TFrameSettings {
  bool frameVisible = false;
  TColor frameColor = clBtnShadow;
  TColor frameHotColor = clBtnShadow;
  TFrameStyleEx frameStyle = TFrameStyleEx::fsFlat;
  TFrameStyleEx frameHotStyle = TFrameStyleEx::fsFlatBold;
  bool frameHotTrack = false;
  TSides frameSides = TSides::All();
  TFramingPreference framingPreference = TFramingPreference::fpXPThemes;
  TColor color = clWindow;
  TColor focusColor = clWindow;
  TColor disabledColor = clBtnFace;
};

struct TFrameState {
  bool enabled = true;
  bool focused = false;
  bool mouseOver = false;
};

// DisabledColor while disabled, FocusColor while focused, Color otherwise.
TColor FrameBackgroundColor(const TFrameSettings& settings, const TFrameState& state);

// Whether the frame is drawn at all: only when visible, and not when the control leaves framing
// to active visual styles (this program never enables them).
bool FrameDrawn(const TFrameSettings& settings, bool visualStylesActive = false);

// Paints the frame on a canvas covering the whole control (width x height): the toolkit's
// 2-pixel border erased in the background colour, then the flat frame on FrameSides (one pass
// for fsFlat, two for fsFlatBold), hot colour and style when hot-tracking and focused or hovered.
// Nothing when FrameDrawn is false.
void PaintControlFrame(TCanvas& canvas, int width, int height, const TFrameSettings& settings,
                       const TFrameState& state, bool visualStylesActive = false);
