// Captions on canvases of the control layer, drawn and measured by GDI text (DrawText) with the
// canvas's font and colour, so every custom-drawn caption shows the glyphs text output shows:
// the Latin sans face and, at the UI sizes, the Chinese bitmap strike.
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
// left as it is (captions are drawn over what the control painted). Vertical centring and
// bottom alignment place several lines as a block.
void DrawCaption(TCanvas& canvas, const AnsiString& text, const win::RECT& rect,
                 std::uint32_t format);
// The size text takes with the font on one line per line break (the height of one line for an
// empty text); format's prefix and tab flags apply as DrawCaption applies them.
win::SIZE CaptionExtent(TFont& font, const AnsiString& text, std::uint32_t format = tfNoPrefix);
// With word breaking inside width: the height the lines take.
int CaptionHeight(TFont& font, const AnsiString& text, int width,
                  std::uint32_t format = tfNoPrefix);

}  // namespace ui
