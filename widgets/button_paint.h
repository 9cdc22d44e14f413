// Painting of the hot-tracking push button (TRzButton) without visual styles: the etched ring
// in the parent's colour, the frame with cut corners, a pressed, gradient or solid face, the hot
// and focus rings, the caption and the dotted focus rectangle.
#pragma once

#include <functional>

#include "imaging/canvas.h"
#include "imaging/colors.h"
#include "platform/gdi/gdi.h"

enum class TVerticalAlignment : std::uint8_t { avTop, avCenter, avBottom };

struct TButtonLook {
  TColor color = clBtnFace;
  TColor frameColor = cl3DDkShadow;
  TColor highlightColor = clHighlight;
  TColor hotTrackColor = 0x00149BF0;  // RGB #F09B14
  TColor parentColor = clBtnFace;     // button face when there is no parent
  bool showFocusRect = true;
  TVerticalAlignment alignmentVertical = TVerticalAlignment::avCenter;
};

struct TButtonState {
  bool enabled = true;
  bool mouseOver = false;
  bool pressed = false;  // the pressed look: left button held inside, or Space held
  bool focused = false;
  bool isDefault = false;
};

// The colours of a two-pixel ring from top to bottom; none when `visible` is false.
struct TRingColors {
  bool visible = false;
  win::COLORREF top = 0;
  win::COLORREF bottom = 0;
};

// Which ring the face gets: hot when the mouse is over, else the highlight ring when focused or
// default (a highlight colour too close to the button face is darkened by 30 first), else none.
TRingColors ButtonRingColors(const TButtonLook& look, const TButtonState& state);

// The frame ring's colour: FrameColor when enabled; disabled, the lightened button shadow on a
// button-face button, else the darkened button colour.
win::COLORREF ButtonFrameColor(const TButtonLook& look, bool enabled);

// Everything but the caption and the focus rectangle, on the client rectangle.
void PaintButtonFace(TCanvas& canvas, const win::RECT& client, const TButtonLook& look,
                     const TButtonState& state);

// The caption's rectangle: the client rectangle moved in by 5, then placed by the vertical
// alignment for a text of textHeight pixels (top = (top + bottom - textHeight) / 2 when centred).
win::RECT ButtonTextRect(const win::RECT& client, int textHeight, TVerticalAlignment alignment);

// The dotted focus rectangle on the client rectangle moved in by 3: every second pixel of each
// side, starting one after the side's start, in black.
void PaintButtonFocusRect(TCanvas& canvas, const win::RECT& client);

// Draws the caption into the client rectangle (measuring it, placing it with ButtonTextRect and
// drawing it centred and word-wrapped in the given colour).
using TCaptionPainter = std::function<void(TCanvas&, const win::RECT& client, win::COLORREF)>;

// The whole button: face, caption (font colour, gray text while disabled) and, when focused with
// ShowFocusRect, the focus rectangle.
void PaintButton(TCanvas& canvas, const win::RECT& client, const TButtonLook& look,
                 const TButtonState& state, TColor fontColor, const TCaptionPainter& caption);
