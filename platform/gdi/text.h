// How a font description resolves to font files, for code that draws text with a toolkit of its
// own (the window layer builds its toolkit fonts from this) and must show the same glyphs as GDI
// text output. No toolkit types here: plain paths, indexes and pixel sizes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gdi/gdi.h"

namespace win {

// One face that a font draws some of its characters from.
struct FontFaceChoice {
  std::string family;  // the family name the font file gives, e.g. "DejaVu Sans"
  std::string file;    // absolute path of the font file (UTF-8)
  int faceIndex = 0;   // face within a collection file (.ttc); 0 otherwise
  int pixelSize = 0;   // em height in device pixels as rendered
  bool antialias = true;
  // Glyphs come from the face's embedded bitmap strike of pixelSize (drawn as they are, never
  // antialiased or scaled).
  bool bitmapStrike = false;
  int weight = FW_NORMAL;  // weight of the face itself (100 - 900)
  bool italic = false;     // the face itself is italic or oblique
  // Requested but missing from the face: made by widening each glyph one pixel (bold) or by
  // slanting its outline (italic; never for a bitmap strike).
  bool syntheticBold = false;
  bool syntheticItalic = false;
  bool operator==(const FontFaceChoice&) const = default;
};

// A font description resolved for drawing. Characters for which IsHanCharacter is true come
// from `han`, all others from `latin`; a character that its face lacks is taken from the other
// face, then from any installed face that has it. Cell metrics are those of the latin face (the
// linked Chinese glyphs sit on its baseline, as font linking does).
struct FontResolution {
  FontFaceChoice latin;
  FontFaceChoice han;
  bool underline = false;
  bool strikeOut = false;
  int ascent = 0;   // pixels above the baseline
  int descent = 0;  // pixels below it
  int height = 0;   // ascent + descent: the line height
  bool operator==(const FontResolution&) const = default;
};

// CJK ideographs, CJK symbols and punctuation, kana, bopomofo, Hangul and full-width forms.
bool IsHanCharacter(char32_t c);

// Resolves a description as text output does: lfHeight negative is the em height in pixels,
// positive the cell height, 0 the default (em 12 pixels). Chinese at em heights 10 to 16 comes
// from the bitmap strikes of "WenQuanYi Zen Hei Sharp" (12 pixels for em 10 to 12); other sizes
// from an antialiased outline face. Outline faces are always antialiased (lfQuality is not
// followed: an outline face at UI sizes without antialiasing does not read). FALSE with
// ERROR_INVALID_PARAMETER for null arguments, ERROR_FILE_NOT_FOUND when no usable font is
// installed at all.
BOOL ResolveFontDescription(const LOGFONTA* font, FontResolution* out);
// The same for a font object; ERROR_INVALID_HANDLE for anything that is not a font.
BOOL GetFontResolution(HFONT font, FontResolution* out);

}  // namespace win
