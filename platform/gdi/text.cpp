// Text output: TextOut, ExtTextOut, DrawText, text extents and metrics.
#include <algorithm>
#include <cstring>

#include "platform/gdi/font_engine.h"
#include "platform/gdi/internal.h"

namespace win::gdi {
namespace {

Dc* TextDc(HDC dc) {
  auto* d = FindAs<Dc>(dc);
  if (!d) SetError(ERROR_INVALID_HANDLE);
  return d;
}

// The DC's font, resolved. Call with TextLock() held.
ResolvedFont* FontOf(const Dc* dc) {
  const Font* f = dc->state.font ? dc->state.font : static_cast<Font*>(Stock(SYSTEM_FONT));
  return FontFor(f->description);
}

RECT Offset(const RECT& r, POINT o) {
  return Rect(r.left + o.x, r.top + o.y, r.right + o.x, r.bottom + o.y);
}

RECT Normalized(const RECT& r) {
  return Rect(std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
              std::max(r.top, r.bottom));
}

// One glyph of a laid-out line, x relative to the line's start.
struct Placed {
  const GlyphImage* glyph = nullptr;  // nullptr: nothing to draw (tab, control character)
  int x = 0;
  int advance = 0;
  bool underline = false;  // a prefixed ("&x") character
};

struct Line {
  std::vector<Placed> glyphs;
  int width = 0;
};

// Draws lines of glyphs into a DC's surface: background cells, glyphs blended over what is
// there, underlines and strike-outs. Coordinates are device pixels.
class Painter {
 public:
  Painter(Dc* dc, Bitmap& target, ResolvedFont& font, const RECT* clip)
      : dc_(dc), target_(target), font_(font), encoder_(target, dc) {
    rects_ = DrawableRects(dc, target);
    if (clip) rects_ = IntersectRects(rects_, *clip);
    textRgb_ = ResolveColor(dc, dc->state.textColor);
    bkRgb_ = ResolveColor(dc, dc->state.bkColor);
    textValue_ = encoder_.Encode(textRgb_);
  }

  bool Empty() const { return rects_.empty(); }

  void Fill(const RECT& r, std::uint32_t rgb) {
    PatternSource solid;
    solid.SolidColor(rgb, dc_, target_);
    for (const RECT& c : rects_) {
      RECT i = Intersect(c, r);
      if (!IsEmpty(i)) PatternFill(target_, i, 0xF0, solid);  // PATCOPY
    }
  }
  void FillBackground(const RECT& r) { Fill(r, bkRgb_); }

  // A line with its top at (x, top).
  void DrawLine(const Line& line, int x, int top, bool glyphs, bool prefixUnderlines) {
    const FontMetrics& m = font_.Metrics();
    const int baseline = top + m.ascent;
    const FontResolution& res = font_.Resolution();
    for (const Placed& p : line.glyphs) {
      if (glyphs && p.glyph) DrawGlyph(*p.glyph, x + p.x, baseline);
      if (prefixUnderlines && p.underline) {
        Fill(Rect(x + p.x, baseline + m.underlineOffset, x + p.x + p.advance,
                  baseline + m.underlineOffset + m.underlineThickness),
             textRgb_);
      }
    }
    if (!glyphs || line.width <= 0) return;
    if (res.underline) {
      Fill(Rect(x, baseline + m.underlineOffset, x + line.width,
                baseline + m.underlineOffset + m.underlineThickness),
           textRgb_);
    }
    if (res.strikeOut) {
      Fill(Rect(x, baseline - m.strikeOutOffset, x + line.width,
                baseline - m.strikeOutOffset + m.strikeOutThickness),
           textRgb_);
    }
  }

 private:
  void DrawGlyph(const GlyphImage& g, int penX, int baseline) {
    if (g.width <= 0 || g.rows <= 0) return;
    const RECT box =
        Rect(penX + g.left, baseline - g.top, penX + g.left + g.width, baseline - g.top + g.rows);
    for (const RECT& c : rects_) {
      const RECT r = Intersect(c, box);
      if (IsEmpty(r)) continue;
      const int n = r.right - r.left;
      values_.resize(std::size_t(n));
      for (int y = r.top; y < r.bottom; ++y) {
        const std::uint8_t* cov = g.coverage.data() +
                                  std::size_t(y - box.top) * std::size_t(g.width) +
                                  std::size_t(r.left - box.left);
        ReadValues(target_, y, r.left, n, values_.data());
        bool touched = false;
        for (int i = 0; i < n; ++i) {
          const unsigned a = cov[i];
          if (a == 0) continue;
          touched = true;
          values_[std::size_t(i)] = a == 255 ? textValue_ : Blend(values_[std::size_t(i)], a);
        }
        if (touched) WriteValues(target_, y, r.left, n, values_.data());
      }
    }
  }

  // Partial coverage mixes the text colour into the pixel's colour.
  std::uint32_t Blend(std::uint32_t value, unsigned a) {
    const std::uint32_t under = target_.IsMono()
                                    ? (value ? kRgbWhite : kRgbBlack)
                                    : DecodeValue(target_.format, target_.colors, value);
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const unsigned t = (textRgb_ >> shift) & 0xFF, d = (under >> shift) & 0xFF;
      out |= ((t * a + d * (255 - a) + 127) / 255) << shift;
    }
    return encoder_.Encode(out);
  }

  Dc* dc_;
  Bitmap& target_;
  ResolvedFont& font_;
  Encoder encoder_;
  RectList rects_;
  std::uint32_t textRgb_ = 0, bkRgb_ = 0, textValue_ = 0;
  std::vector<std::uint32_t> values_;
};

// A plain run (TextOut): every character at its advance, or at the caller's advances.
Line LayoutRun(ResolvedFont& font, const std::vector<AnsiChar>& chars, const int* dx) {
  Line line;
  int x = 0;
  for (const AnsiChar& c : chars) {
    Placed p;
    p.glyph = &font.Glyph(c.code);
    p.x = x;
    if (dx) {
      p.advance = 0;
      for (std::size_t k = 0; k < c.length; ++k) p.advance += dx[c.offset + k];
    } else {
      p.advance = p.glyph->advance;
    }
    x += p.advance;
    line.glyphs.push_back(p);
  }
  line.width = x;
  return line;
}

// The shared body of TextOut and ExtTextOut.
BOOL TextOutImpl(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text,
                 std::size_t count, const int* dx) {
  Dc* d = TextDc(dc);
  if (!d) return FALSE;
  if (count > 0 && !text) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(TextLock());
  ResolvedFont* font = FontOf(d);
  if (!font) return FALSE;
  const std::vector<AnsiChar> chars = SplitAnsi(text, count);
  const Line line = LayoutRun(*font, chars, dx);
  const FontMetrics& m = font->Metrics();
  const UINT align = d->state.textAlign;
  const bool updateCp = (align & TA_UPDATECP) != 0;
  if (updateCp) {
    x = d->state.position.x;
    y = d->state.position.y;
  }
  int left = x;
  switch (align & (TA_CENTER | TA_RIGHT)) {
    case TA_RIGHT:
      left = x - line.width;
      break;
    case TA_CENTER:
      left = x - line.width / 2;
      break;
    default:
      break;
  }
  int top = y;
  if ((align & TA_BASELINE) == TA_BASELINE) {
    top = y - m.ascent;
  } else if (align & TA_BOTTOM) {
    top = y - m.height;
  }
  if (updateCp && (align & TA_CENTER) != TA_CENTER) {
    d->state.position.x += (align & TA_RIGHT) ? -line.width : line.width;
  }

  Bitmap* target = d->Surface();
  if (!target) return TRUE;
  const POINT o = d->state.viewportOrg;
  std::optional<RECT> optRect;
  if (rect) optRect = Offset(Normalized(*rect), o);
  if (optRect && (options & ETO_OPAQUE)) {
    Painter whole(d, *target, *font, nullptr);
    whole.FillBackground(*optRect);
  }
  const RECT* clip = optRect && (options & ETO_CLIPPED) ? &*optRect : nullptr;
  Painter painter(d, *target, *font, clip);
  if (painter.Empty()) return TRUE;
  const int devLeft = left + o.x, devTop = top + o.y;
  if (d->state.bkMode == OPAQUE && line.width > 0) {
    painter.FillBackground(Rect(devLeft, devTop, devLeft + line.width, devTop + m.height));
  }
  painter.DrawLine(line, devLeft, devTop, true, false);
  return TRUE;
}

// --- DrawText layout -----------------------------------------------------------------------

struct Item {
  char32_t code = 0;
  bool underline = false;
};

bool IsBlank(char32_t c) {
  return c == U' ' || c == U'\t' || c == 0x3000;
}
// No line starts with these or ends with the openers.
bool IsCloser(char32_t c) {
  static constexpr char32_t kClosers[] = {
      U'!',   U')',   U',',   U'.',   U':',   U';',   U'?',   U']',   U'}',   0x3001, 0x3002,
      0x3009, 0x300B, 0x300D, 0x300F, 0x3011, 0x3015, 0x3017, 0xFF01, 0xFF09, 0xFF0C, 0xFF0E,
      0xFF1A, 0xFF1B, 0xFF1F, 0xFF3D, 0xFF5D, 0x2019, 0x201D, 0x2026, 0x00B7, 0x30FB};
  return std::find(std::begin(kClosers), std::end(kClosers), c) != std::end(kClosers);
}
bool IsOpener(char32_t c) {
  static constexpr char32_t kOpeners[] = {U'(',   U'[',   U'{',   0x3008, 0x300A,
                                          0x300C, 0x300E, 0x3010, 0x3014, 0x3016,
                                          0xFF08, 0xFF3B, 0xFF5B, 0x2018, 0x201C};
  return std::find(std::begin(kOpeners), std::end(kOpeners), c) != std::end(kOpeners);
}

class TextFormatter {
 public:
  TextFormatter(ResolvedFont& font, UINT format) : font_(font), format_(format) {
    int tabChars = 8;
    if (format_ & DT_TABSTOP) {
      tabChars = int((format_ >> 8) & 0xFF);
      if (tabChars == 0) tabChars = 8;
      format_ &= ~UINT(0xFF00);  // those bits hold the count
    }
    tabStep_ = std::max(1, tabChars * font_.Metrics().aveCharWidth);
  }
  UINT Format() const { return format_; }

  // Characters of the text with prefixes taken out; lines split at CR, LF and CR LF.
  std::vector<std::vector<Item>> Paragraphs(const std::vector<AnsiChar>& chars) const {
    std::vector<std::vector<Item>> out(1);
    const bool prefixes = (format_ & DT_NOPREFIX) == 0;
    const bool single = (format_ & DT_SINGLELINE) != 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      const char32_t c = chars[i].code;
      if (prefixes && c == U'&') {
        if (i + 1 == chars.size()) break;  // a lone trailing "&" shows nothing
        ++i;
        Item item{chars[i].code, chars[i].code != U'&' && (format_ & DT_HIDEPREFIX) == 0};
        out.back().push_back(item);
        continue;
      }
      if (!single && (c == U'\r' || c == U'\n')) {
        if (c == U'\r' && i + 1 < chars.size() && chars[i + 1].code == U'\n') ++i;
        out.emplace_back();
        continue;
      }
      out.back().push_back(Item{c, false});
    }
    return out;
  }

  // Advance of item at pen position x from the line's start.
  int Advance(const Item& item, int x) {
    if (item.code == U'\t' && (format_ & DT_EXPANDTABS)) return (x / tabStep_ + 1) * tabStep_ - x;
    return font_.Glyph(item.code).advance;
  }
  int Width(const std::vector<Item>& items) {
    int x = 0;
    for (const Item& i : items) x += Advance(i, x);
    return x;
  }

  bool CanBreakBefore(const std::vector<Item>& items, std::size_t i) const {
    const char32_t prev = items[i - 1].code, cur = items[i].code;
    if (IsBlank(cur)) return false;
    if (IsBlank(prev)) return true;
    if (IsCloser(cur) || IsOpener(prev)) return false;
    return IsHanCharacter(cur) || IsHanCharacter(prev);
  }

  // Greedy word breaking: a line ends at the last break opportunity before the text would pass
  // the width; a word wider than the width runs on to the next opportunity.
  std::vector<std::vector<Item>> Wrap(const std::vector<Item>& items, int width) {
    std::vector<std::vector<Item>> lines;
    std::size_t start = 0;
    do {
      std::size_t end = items.size();
      std::size_t lastBreak = start;
      int x = 0;
      for (std::size_t i = start; i < items.size(); ++i) {
        if (i > start && CanBreakBefore(items, i)) lastBreak = i;
        const int advance = Advance(items[i], x);
        if (!IsBlank(items[i].code) && x + advance > width && i > start) {
          if (lastBreak > start) {
            end = lastBreak;
          } else {
            std::size_t j = i + 1;
            while (j < items.size() && !CanBreakBefore(items, j)) ++j;
            end = j;
          }
          break;
        }
        x += advance;
      }
      std::vector<Item> line(items.begin() + std::ptrdiff_t(start),
                             items.begin() + std::ptrdiff_t(end));
      while (!line.empty() && IsBlank(line.back().code) && end < items.size()) line.pop_back();
      lines.push_back(std::move(line));
      start = end;  // a break opportunity never starts with a blank
    } while (start < items.size());
    return lines;
  }

  // Shortens a line that is too wide and ends it with "...".
  void Ellipsize(std::vector<Item>& line, int width) {
    if (Width(line) <= width) return;
    const std::vector<Item> dots(3, Item{U'.', false});
    while (!line.empty()) {
      std::vector<Item> trial = line;
      trial.insert(trial.end(), dots.begin(), dots.end());
      if (Width(trial) <= width) break;
      line.pop_back();
    }
    line.insert(line.end(), dots.begin(), dots.end());
  }

  Line Place(const std::vector<Item>& items) {
    Line line;
    int x = 0;
    for (const Item& item : items) {
      Placed p;
      const GlyphImage& g = font_.Glyph(item.code);
      p.advance = Advance(item, x);
      p.glyph = item.code == U'\t' && (format_ & DT_EXPANDTABS) ? nullptr : &g;
      p.x = x;
      p.underline = item.underline;
      x += p.advance;
      line.glyphs.push_back(p);
    }
    line.width = x;
    return line;
  }

  std::vector<Line> Lines(const std::vector<AnsiChar>& chars, int width) {
    std::vector<Line> out;
    if (chars.empty()) return out;
    const bool wrap = (format_ & DT_WORDBREAK) && !(format_ & DT_SINGLELINE);
    const bool ellipsis = (format_ & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) != 0;
    for (const std::vector<Item>& paragraph : Paragraphs(chars)) {
      std::vector<std::vector<Item>> lines;
      if (wrap) {
        lines = Wrap(paragraph, width);
      } else {
        lines.push_back(paragraph);
      }
      for (std::vector<Item>& line : lines) {
        if (ellipsis) Ellipsize(line, width);
        out.push_back(Place(line));
      }
    }
    return out;
  }

 private:
  ResolvedFont& font_;
  UINT format_;
  int tabStep_ = 1;
};

int DrawTextImpl(HDC dc, LPCSTR text, int count, RECT* rect, UINT format) {
  Dc* d = TextDc(dc);
  if (!d) return 0;
  if (!rect || (count != 0 && !text)) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t length = count < 0 ? std::strlen(text) : std::size_t(count);
  std::lock_guard guard(TextLock());
  ResolvedFont* font = FontOf(d);
  if (!font) return 0;
  TextFormatter formatter(*font, format);
  format = formatter.Format();
  const int width = std::max<LONG>(0, rect->right - rect->left);
  const std::vector<Line> lines = formatter.Lines(SplitAnsi(text, length), width);
  const FontMetrics& m = font->Metrics();
  const int lineHeight = m.height + ((format & DT_EXTERNALLEADING) ? m.externalLeading : 0);
  const int textHeight = lineHeight * int(lines.size());
  int textWidth = 0;
  for (const Line& l : lines) textWidth = std::max(textWidth, l.width);

  if (format & DT_CALCRECT) {
    rect->right = rect->left + textWidth;
    rect->bottom = rect->top + textHeight;
    return textHeight;
  }
  int top = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) {
      top = rect->top + (rect->bottom - rect->top - textHeight) / 2;
    } else if (format & DT_BOTTOM) {
      top = rect->bottom - textHeight;
    }
  }
  const int result = (format & (DT_VCENTER | DT_BOTTOM)) && (format & DT_SINGLELINE)
                         ? top - rect->top + textHeight
                         : textHeight;
  Bitmap* target = d->Surface();
  if (!target || lines.empty()) return result;
  const POINT o = d->state.viewportOrg;
  const RECT deviceRect = Offset(Normalized(*rect), o);
  Painter painter(d, *target, *font, (format & DT_NOCLIP) ? nullptr : &deviceRect);
  if (painter.Empty()) return result;
  const bool glyphs = (format & DT_PREFIXONLY) == 0;
  int y = top + o.y;
  for (const Line& line : lines) {
    int x = rect->left;
    if (format & DT_CENTER) {
      x = rect->left + (width - line.width) / 2;
    } else if (format & DT_RIGHT) {
      x = rect->right - line.width;
    }
    x += o.x;
    if (glyphs && d->state.bkMode == OPAQUE && line.width > 0) {
      painter.FillBackground(Rect(x, y, x + line.width, y + lineHeight));
    }
    painter.DrawLine(line, x, y, glyphs, (format & DT_HIDEPREFIX) == 0);
    y += lineHeight;
  }
  return result;
}

}  // namespace
}  // namespace win::gdi

namespace win {
using namespace gdi;

UINT SetTextAlign(HDC dc, UINT align) {
  Dc* d = TextDc(dc);
  if (!d) return GDI_ERROR;
  const UINT old = d->state.textAlign;
  d->state.textAlign = align & (TA_UPDATECP | TA_CENTER | TA_RIGHT | TA_BASELINE | TA_BOTTOM);
  return old;
}

UINT GetTextAlign(HDC dc) {
  Dc* d = TextDc(dc);
  return d ? d->state.textAlign : GDI_ERROR;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count) {
  if (count < 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TextOutImpl(dc, x, y, 0, nullptr, text, std::size_t(count), nullptr);
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count,
                 const int* dx) {
  if ((options & (ETO_OPAQUE | ETO_CLIPPED)) && !rect) {
    // Without a rectangle the options have nothing to work on.
    options &= ~(ETO_OPAQUE | ETO_CLIPPED);
  }
  return TextOutImpl(dc, x, y, options, rect, text, count, dx);
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size) {
  Dc* d = TextDc(dc);
  if (!d) return FALSE;
  if (!size || count < 0 || (count > 0 && !text)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(TextLock());
  ResolvedFont* font = FontOf(d);
  if (!font) return FALSE;
  const Line line = LayoutRun(*font, SplitAnsi(text, std::size_t(count)), nullptr);
  size->cx = line.width;
  size->cy = font->Metrics().height;
  return TRUE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  Dc* d = TextDc(dc);
  if (!d) return FALSE;
  if (!metrics) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(TextLock());
  ResolvedFont* font = FontOf(d);
  if (!font) return FALSE;
  const FontMetrics& m = font->Metrics();
  const LOGFONTA& lf = font->Description();
  TEXTMETRICA tm{};
  tm.tmHeight = m.height;
  tm.tmAscent = m.ascent;
  tm.tmDescent = m.descent;
  tm.tmInternalLeading = std::max(0, m.height - m.emPixels);
  tm.tmExternalLeading = m.externalLeading;
  tm.tmAveCharWidth = m.aveCharWidth;
  tm.tmMaxCharWidth = m.maxCharWidth;
  tm.tmWeight = lf.lfWeight <= 0 ? FW_NORMAL : lf.lfWeight;
  tm.tmDigitizedAspectX = 96;
  tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFF;
  tm.tmDefaultChar = '?';
  tm.tmBreakChar = ' ';
  tm.tmItalic = lf.lfItalic ? 0xFF : 0;
  tm.tmUnderlined = lf.lfUnderline ? 0xFF : 0;
  tm.tmStruckOut = lf.lfStrikeOut ? 0xFF : 0;
  tm.tmPitchAndFamily = 0x06;  // variable pitch, a TrueType face
  tm.tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? GB2312_CHARSET : lf.lfCharSet;
  *metrics = tm;
  return TRUE;
}

int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format) {
  return DrawTextImpl(dc, text, count, rect, format);
}

}  // namespace win
