// Fonts for text output: descriptions resolved through fontconfig, faces opened with FreeType,
// rendered glyphs cached per face. Not part of the interface.
//
// Everything here runs under TextLock(): faces, glyphs and resolved fonts are shared by all
// DCs, and a pointer handed out stays valid until the lock is released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"

namespace win::gdi {

std::mutex& TextLock();

// A rendered glyph: coverage 0 (nothing) to 255 (full text colour), rows top-down.
struct GlyphImage {
  int left = 0;  // columns from the pen position to the first column
  int top = 0;   // rows from the first row down to the baseline
  int width = 0;
  int rows = 0;
  int advance = 0;  // whole pixels
  std::vector<std::uint8_t> coverage;
};

class FontFace;  // one opened face at one pixel size (font_engine.cpp)

struct FontMetrics {
  int emPixels = 0;
  int ascent = 0;
  int descent = 0;
  int height = 0;
  int externalLeading = 0;
  int aveCharWidth = 0;
  int maxCharWidth = 0;
  int underlineOffset = 0;  // rows below the baseline of the underline's first row
  int underlineThickness = 1;
  int strikeOutOffset = 0;  // rows above the baseline of the strike-out's first row
  int strikeOutThickness = 1;
};

// A font description ready to draw: its two faces, fallbacks found on the way, metrics.
class ResolvedFont {
 public:
  ResolvedFont(const LOGFONTA& description, FontResolution resolution, FontMetrics metrics,
               FontFace* latin, FontFace* han);
  const LOGFONTA& Description() const { return description_; }
  const FontResolution& Resolution() const { return resolution_; }
  const FontMetrics& Metrics() const { return metrics_; }
  // The glyph that draws c: from its own face, the other face, or any installed face that has
  // it, else the latin face's missing-glyph image. Control characters draw nothing.
  const GlyphImage& Glyph(char32_t c);

 private:
  FontFace* FaceFor(char32_t c);

  LOGFONTA description_;
  FontResolution resolution_;
  FontMetrics metrics_;
  FontFace* latin_;
  FontFace* han_;
  std::unordered_map<char32_t, FontFace*> fallback_;
};

// The resolved font for a description, cached by description. nullptr (last error set) when no
// usable face is installed. Call with TextLock() held; the result lives until the lock is let go.
ResolvedFont* FontFor(const LOGFONTA& description);

// One character of a code-page-936 string.
struct AnsiChar {
  std::size_t offset = 0;
  std::size_t length = 1;
  char32_t code = 0;
};
// Splits bytes into characters (single bytes, double-byte pairs, GB18030 four-byte forms) and
// decodes each; bytes that are not a character decode as "?".
std::vector<AnsiChar> SplitAnsi(const char* text, std::size_t count);

}  // namespace win::gdi
