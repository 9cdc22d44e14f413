// Captions on canvases of the control layer. Every canvas a control paints on is a DC over a
// 32-bit DIB section (its own paint buffer or its parent's), so text can be drawn straight
// into those pixels with the canvas's font, colour and the DC's origin and clip.
#pragma once

#include <cstdint>

#include "imaging/canvas.h"

namespace ui {

// How DrawCaption places text (these combine like the system's DrawText flags).
enum TextFormat : std::uint32_t {
  tfLeft = 0,
  tfCenter = 1,
  tfRight = 2,
  tfTop = 0,
  tfVCenter = 4,
  tfBottom = 8,
  tfWordBreak = 16,
  tfSingleLine = 32,
  tfExpandTabs = 64,
  tfEndEllipsis = 128,
  tfNoPrefix = 256,  // "&" is shown as it is rather than underlining the next character
};

// Draws text inside rect (canvas coordinates) with the canvas's font; the background is
// left as it is (captions are drawn over what the control painted).
void DrawCaption(TCanvas& canvas, const AnsiString& text, const win::RECT& rect,
                 std::uint32_t format);
// The size text takes with the font (the height of one line for an empty text).
win::SIZE CaptionExtent(TFont& font, const AnsiString& text);
// With word breaking inside width: the height the lines take.
int CaptionHeight(TFont& font, const AnsiString& text, int width);

}  // namespace ui
