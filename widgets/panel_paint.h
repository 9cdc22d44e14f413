// Painting of the styled panel: outer border (flat, bold, rounded or 3-D), the BorderWidth ring,
// inner border, and a solid or gradient interior. TRzPanel holds these settings and calls
// PaintPanel from its paint handler; tests call it on a bitmap's canvas.
#pragma once

#include <cstdint>

#include "imaging/canvas.h"
#include "imaging/colors.h"
#include "widgets/drawing.h"

enum class TFrameStyleEx : std::uint8_t {
  fsNone,
  fsFlat,
  fsGroove,
  fsBump,
  fsLowered,
  fsButtonDown,
  fsRaised,
  fsButtonUp,
  fsStatus,
  fsPopup,
  fsFlatBold,
  fsFlatRounded
};

enum class TVisualStyle : std::uint8_t { vsClassic, vsWinXP, vsGradient };
enum class TGradientColorStyle : std::uint8_t { gcsSystem, gcsMSOffice, gcsCustom };

struct TPanelLook {
  TFrameStyleEx borderOuter = TFrameStyleEx::fsRaised;
  TFrameStyleEx borderInner = TFrameStyleEx::fsNone;
  int borderWidth = 0;
  TSides borderSides = TSides::All();
  TColor borderColor = clBtnFace;
  TColor borderHighlight = clBtnHighlight;
  TColor borderShadow = clBtnShadow;
  TColor flatColor = clBtnShadow;
  int flatColorAdjustment = 30;
  TColor color = clBtnFace;
  TVisualStyle visualStyle = TVisualStyle::vsWinXP;
  TGradientColorStyle gradientColorStyle = TGradientColorStyle::gcsSystem;
  TColor gradientColorStart = clWhite;
  TColor gradientColorStop = clBtnFace;
  TGradientDirection gradientDirection = TGradientDirection::gdHorizontalEnd;
  bool transparent = false;
};

// FlatColor shifted by FlatColorAdjustment.
win::COLORREF PanelFlatColor(const TPanelLook& look);

// The rectangle inside every border: where the panel's interior and aligned children go.
win::RECT PanelInterior(const win::RECT& rect, const TPanelLook& look);

// Paints the whole panel rectangle; parentColor shows in the corners outside a rounded outline.
// Returns the interior rectangle (inside every border), where the panel's own painting goes.
// System colours are resolved now, so a changed scheme shows at the next paint.
win::RECT PaintPanel(TCanvas& canvas, const win::RECT& rect, const TPanelLook& look,
                     TColor parentColor);
