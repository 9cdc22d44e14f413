// Unscaled drawing: PatBlt, BitBlt, MaskBlt, TransparentBlt, rectangle fills and frames, lines
// and single pixels. Every call clips to the target bitmap and the DC's clip region.
#include <algorithm>
#include <cstring>

#include "platform/gdi/internal.h"

namespace win::gdi {
namespace {

Dc* FindDc(HDC dc) {
  auto* d = FindAs<Dc>(dc);
  if (!d) SetError(ERROR_INVALID_HANDLE);
  return d;
}

POINT ToDevice(const Dc* dc, int x, int y) {
  return POINT{x + dc->state.viewportOrg.x, y + dc->state.viewportOrg.y};
}

// The device rectangle (x, y, width, height) with negative extents turned around.
RECT Normalized(const Dc* dc, int x, int y, int width, int height) {
  POINT p = ToDevice(dc, x, y);
  std::int64_t l = p.x, t = p.y, r = std::int64_t(p.x) + width, b = std::int64_t(p.y) + height;
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  auto clamp = [](std::int64_t v) {
    return LONG(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
  };
  return Rect(clamp(l), clamp(t), clamp(r), clamp(b));
}

// The ternary rop equal to a binary (pen) mix mode, the pen in the pattern's place.
std::uint8_t RopFromRop2(int rop2) {
  std::uint8_t rop = 0;
  for (int t = 0; t < 8; ++t) {
    int p = t >> 2 & 1, d = t & 1;
    if ((rop2 - 1) >> (p << 1 | d) & 1) rop |= std::uint8_t(1 << t);
  }
  return rop;
}

ConvertRules BlitRules(const Dc* dest, const Dc* src, const Bitmap& source) {
  ConvertRules r;
  r.monoZeroRgb = ResolveColor(dest, dest->state.textColor);
  r.monoOneRgb = ResolveColor(dest, dest->state.bkColor);
  if (source.format.kind != FormatKind::Mono) {
    Encoder e(source, src);
    r.sourceBkValue = e.Encode(ResolveColor(src, src->state.bkColor));
  }
  return r;
}

struct Blit {
  Dc* dest = nullptr;
  Bitmap* target = nullptr;
  RECT area{};  // device rectangle on the target
  Dc* src = nullptr;
  const Bitmap* source = nullptr;
  POINT sourceAt{};  // device point of the source under area's top-left
  std::uint8_t rop = 0xCC;
  const Bitmap* mask = nullptr;
  POINT maskAt{};
  std::uint8_t backRop = 0xCC;
};

// Restricts `r` to the columns and rows whose counterpart in a bitmap of w x h at `at`
// (matching area's top-left) exists.
RECT InsideOf(const RECT& r, const RECT& area, POINT at, int w, int h) {
  RECT allowed = Rect(area.left - at.x, area.top - at.y, area.left - at.x + w, area.top - at.y + h);
  return Intersect(r, allowed);
}

BOOL Run(const Blit& job) {
  Bitmap& target = *job.target;
  bool usesS = RopUsesSource(job.rop) || (job.mask && RopUsesSource(job.backRop));
  bool usesP = RopUsesPattern(job.rop) || (job.mask && RopUsesPattern(job.backRop));
  bool usesD = RopUsesDest(job.rop) || (job.mask && RopUsesDest(job.backRop));
  PatternSource pattern;
  if (usesP && !pattern.Realize(job.dest->state.brush, job.dest, target)) return TRUE;
  std::optional<Converter> convert;
  if (usesS)
    convert.emplace(*job.source, target, job.dest, BlitRules(job.dest, job.src, *job.source));
  std::uint32_t valueMask = target.format.valueMask;

  for (const RECT& clip : DrawableRects(job.dest, target)) {
    RECT r = Intersect(job.area, clip);
    if (usesS) r = InsideOf(r, job.area, job.sourceAt, job.source->width, job.source->height);
    if (job.mask) r = InsideOf(r, job.area, job.maskAt, job.mask->width, job.mask->height);
    if (IsEmpty(r)) continue;
    int n = r.right - r.left;
    int sx = job.sourceAt.x + (r.left - job.area.left);
    int syTop = job.sourceAt.y + (r.top - job.area.top);
    int mx = job.maskAt.x + (r.left - job.area.left);
    int myTop = job.maskAt.y + (r.top - job.area.top);
    // Same bitmap, source above the target: walk upwards so no source row is overwritten
    // before it is read.
    bool upward = usesS && job.source == &target && syTop < r.top;
    bool plainCopy =
        !job.mask && job.rop == 0xCC && convert && convert->Identity() && target.format.bpp >= 8;

    std::vector<std::uint32_t> s(usesS ? std::size_t(n) : 0), p(static_cast<std::size_t>(n)),
        d(static_cast<std::size_t>(n)), back(job.mask ? std::size_t(n) : 0),
        m(job.mask ? std::size_t(n) : 0);
    std::vector<std::uint8_t> opaque(std::size_t(n), 1);
    for (int k = 0; k < r.bottom - r.top; ++k) {
      int row = upward ? r.bottom - 1 - k : r.top + k;
      int sy = syTop + (row - r.top);
      if (plainCopy) {
        std::size_t bpp = std::size_t(target.format.bpp / 8);
        std::memmove(target.Row(row) + std::size_t(r.left) * bpp,
                     job.source->Row(sy) + std::size_t(sx) * bpp, std::size_t(n) * bpp);
        continue;
      }
      if (usesS) {
        ReadValues(*job.source, sy, sx, n, s.data());
        convert->Row(s.data(), s.data(), n);
      }
      bool masked = usesP && pattern.Row(r.left, row, n, p.data(), opaque.data());
      if (usesD || masked || job.mask) ReadValues(target, row, r.left, n, d.data());
      if (job.mask) {
        back = d;
        ApplyRop(job.backRop, p.data(), usesS ? s.data() : nullptr, back.data(), n, valueMask);
        ReadValues(*job.mask, myTop + (row - r.top), mx, n, m.data());
      }
      ApplyRop(job.rop, p.data(), usesS ? s.data() : nullptr, d.data(), n, valueMask);
      if (job.mask) {
        for (int i = 0; i < n; ++i) {
          if (!(m[std::size_t(i)] & 1)) d[std::size_t(i)] = back[std::size_t(i)];
        }
      }
      if (masked) {
        WriteValuesMasked(target, row, r.left, n, d.data(), opaque.data());
      } else {
        WriteValues(target, row, r.left, n, d.data());
      }
    }
  }
  return TRUE;
}

// Fills a device rectangle through the clip region with a realised pattern.
void Fill(const Dc* dc, Bitmap& target, const RECT& area, std::uint8_t rop,
          const PatternSource& pattern) {
  for (const RECT& clip : DrawableRects(dc, target)) {
    RECT r = Intersect(area, clip);
    if (!IsEmpty(r)) PatternFill(target, r, rop, pattern);
  }
}

bool Inside(const RectList& rects, int x, int y) {
  for (const RECT& r : rects) {
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  }
  return false;
}

// Pen pixels with the DC's mix mode.
class PenPainter {
 public:
  PenPainter(Dc* dc, Bitmap& target, const Pen& pen)
      : target_(target), clip_(DrawableRects(dc, target)), rop_(RopFromRop2(dc->state.rop2)) {
    Encoder e(target, dc);
    color_ = e.Encode(ResolveColor(dc, pen.color));
    gapColor_ = e.Encode(ResolveColor(dc, dc->state.bkColor));
    width_ = pen.width;
    opaqueGaps_ = dc->state.bkMode == OPAQUE;
    if (pen.width <= 1) {
      switch (pen.style) {
        case PS_DASH:
          dashes_ = {18, 6};
          break;
        case PS_DOT:
          dashes_ = {3, 3};
          break;
        case PS_DASHDOT:
          dashes_ = {9, 6, 3, 6};
          break;
        case PS_DASHDOTDOT:
          dashes_ = {9, 3, 3, 3, 3, 3};
          break;
        default:
          break;
      }
    }
  }

  // Line from a to b, b excluded.
  void Line(POINT a, POINT b) {
    std::int64_t dx = std::int64_t(b.x) - a.x, dy = std::int64_t(b.y) - a.y;
    std::int64_t steps = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
    if (steps > (std::int64_t(1) << 26)) return;  // no surface is that large
    std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    int sxStep = dx < 0 ? -1 : 1, syStep = dy < 0 ? -1 : 1;
    std::int64_t x = a.x, y = a.y, err = 0;
    for (std::int64_t i = 0; i < steps; ++i) {
      Styled(x, y);
      if (adx >= ady) {
        x += sxStep;
        err += 2 * ady;
        if (err > adx) {
          y += syStep;
          err -= 2 * adx;
        }
      } else {
        y += syStep;
        err += 2 * adx;
        if (err > ady) {
          x += sxStep;
          err -= 2 * ady;
        }
      }
    }
  }

  // A solid band (wide outlines).
  void Band(const RECT& r) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) Plot(x, y, color_);
    }
  }

 private:
  void Styled(std::int64_t x, std::int64_t y) {
    if (!dashes_.empty()) {
      int total = 0;
      for (int v : dashes_) total += v;
      int at = int(styleStep_++ % total), index = 0;
      while (at >= dashes_[std::size_t(index)]) at -= dashes_[std::size_t(index++)];
      if (index % 2 == 1) {  // a gap
        if (opaqueGaps_) Plot(x, y, gapColor_);
        return;
      }
    }
    if (width_ <= 1) {
      Plot(x, y, color_);
      return;
    }
    int lo = -(width_ - 1) / 2;
    for (int oy = lo; oy < lo + width_; ++oy) {
      for (int ox = lo; ox < lo + width_; ++ox) Plot(x + ox, y + oy, color_);
    }
  }

  void Plot(std::int64_t x, std::int64_t y, std::uint32_t value) {
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) return;
    if (!Inside(clip_, int(x), int(y))) return;
    std::uint32_t d = ReadValue(target_, int(x), int(y));
    ApplyRop(rop_, &value, nullptr, &d, 1, target_.format.valueMask);
    WriteValues(target_, int(y), int(x), 1, &d);
  }

  Bitmap& target_;
  RectList clip_;
  std::uint8_t rop_;
  std::uint32_t color_ = 0, gapColor_ = 0;
  int width_ = 1;
  bool opaqueGaps_ = true;
  std::vector<int> dashes_;
  std::int64_t styleStep_ = 0;
};

}  // namespace
}  // namespace win::gdi

namespace win {
using namespace gdi;

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  Dc* d = FindDc(dc);
  if (!d) return FALSE;
  std::uint8_t r = std::uint8_t(rop >> 16);
  if (RopUsesSource(r)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Bitmap* target = d->Surface();
  if (!target) return TRUE;
  RECT area = Normalized(d, x, y, width, height);
  PatternSource pattern;
  if (r == 0x00 || r == 0xFF) {
    // BLACKNESS and WHITENESS are the colours black and white, whatever the format.
    pattern.SolidColor(r ? kRgbWhite : kRgbBlack, d, *target);
    r = 0xF0;
  } else if (RopUsesPattern(r) && !pattern.Realize(d->state.brush, d, *target)) {
    return TRUE;
  }
  Fill(d, *target, area, r, pattern);
  return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  Dc* d = FindDc(dest);
  if (!d) return FALSE;
  std::uint8_t r = std::uint8_t(rop >> 16);
  if (!RopUsesSource(r)) return PatBlt(dest, x, y, width, height, rop);
  Dc* s = FindDc(src);
  if (!s) return FALSE;
  Blit job;
  job.dest = d;
  job.target = d->Surface();
  job.src = s;
  job.source = s->Surface();
  if (!job.target) return TRUE;
  if (!job.source) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Negative extents turn the destination and the source rectangles around together.
  if (width < 0) {
    x += width;
    srcX += width;
    width = -width;
  }
  if (height < 0) {
    y += height;
    srcY += height;
    height = -height;
  }
  job.area = Normalized(d, x, y, width, height);
  job.sourceAt = ToDevice(s, srcX, srcY);
  job.rop = r;
  if (r == 0x00 || r == 0xFF) return PatBlt(dest, x, y, width, height, rop);
  return Run(job);
}

BOOL MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
             HBITMAP mask, int maskX, int maskY, DWORD rop4) {
  std::uint8_t fore = std::uint8_t(rop4 >> 16), back = std::uint8_t(rop4 >> 24);
  if (!mask) return BitBlt(dest, x, y, width, height, src, srcX, srcY, DWORD(fore) << 16);
  Dc* d = FindDc(dest);
  if (!d) return FALSE;
  auto* m = FindAs<Bitmap>(mask);
  if (!m || m->format.bpp != 1) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Blit job;
  job.dest = d;
  job.target = d->Surface();
  if (!job.target) return TRUE;
  bool usesS = RopUsesSource(fore) || RopUsesSource(back);
  if (usesS) {
    Dc* s = FindDc(src);
    if (!s) return FALSE;
    job.src = s;
    job.source = s->Surface();
    if (!job.source) {
      SetError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    job.sourceAt = ToDevice(s, srcX, srcY);
  }
  if (width < 0 || height < 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  job.area = Normalized(d, x, y, width, height);
  job.rop = fore;
  job.backRop = back;
  job.mask = m;
  job.maskAt = POINT{maskX, maskY};
  if (!usesS) {
    // Run() needs a source bitmap object only for rops that read it.
    job.source = nullptr;
  }
  return Run(job);
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                    int srcWidth, int srcHeight, UINT transparentColor) {
  Dc* d = FindDc(dest);
  Dc* s = FindDc(src);
  if (!d || !s) return FALSE;
  if (width < 0 || height < 0 || srcWidth <= 0 || srcHeight <= 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Bitmap* target = d->Surface();
  const Bitmap* source = s->Surface();
  if (!target) return TRUE;
  if (!source) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (width == 0 || height == 0) return TRUE;
  std::unique_ptr<Bitmap> copy;  // onto itself: read from a copy
  if (source == target) {
    copy = CopyBitmap(*source);
    if (!copy) return FALSE;
    source = copy.get();
  }
  POINT at = ToDevice(d, x, y);
  POINT from = ToDevice(s, srcX, srcY);
  Encoder sourceEncoder(*source, s);
  std::uint32_t key = sourceEncoder.Encode(RgbFromColorRef(transparentColor & 0xFFFFFF));
  Converter convert(*source, *target, d, BlitRules(d, s, *source));
  // Nearest source pixel of each target pixel, as COLORONCOLOR picks it.
  auto pick = [](int i, int to, int from) {
    return int((2 * std::int64_t(i) + 1) * from / (2 * std::int64_t(to)));
  };
  RECT area = Rect(at.x, at.y, at.x + width, at.y + height);
  for (const RECT& clip : DrawableRects(d, *target)) {
    RECT r = Intersect(area, clip);
    if (IsEmpty(r)) continue;
    int n = r.right - r.left;
    std::vector<std::uint32_t> values(static_cast<std::size_t>(n));
    std::vector<std::uint8_t> keep(static_cast<std::size_t>(n));
    for (int row = r.top; row < r.bottom; ++row) {
      int sy = from.y + pick(row - at.y, height, srcHeight);
      if (sy < 0 || sy >= source->height) continue;
      for (int i = 0; i < n; ++i) {
        int sx = from.x + pick(r.left + i - at.x, width, srcWidth);
        bool inside = sx >= 0 && sx < source->width;
        values[std::size_t(i)] = inside ? ReadValue(*source, sx, sy) : key;
        keep[std::size_t(i)] = inside && values[std::size_t(i)] != key;
      }
      convert.Row(values.data(), values.data(), n);
      WriteValuesMasked(*target, row, r.left, n, values.data(), keep.data());
    }
  }
  return TRUE;
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop) {
  Dc* d = FindDc(dest);
  if (!d) return FALSE;
  std::uint8_t r = std::uint8_t(rop >> 16);
  if (!RopUsesSource(r)) return PatBlt(dest, x, y, width, height, rop);
  if (width == srcWidth && height == srcHeight) {
    return BitBlt(dest, x, y, width, height, src, srcX, srcY, rop);
  }
  Dc* s = FindDc(src);
  if (!s) return FALSE;
  return Stretch(d, x, y, width, height, s, srcX, srcY, srcWidth, srcHeight, rop);
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  Dc* d = FindDc(dc);
  auto* b = FindAs<Brush>(brush);
  if (!d || !rect || !b) {
    if (d) SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Bitmap* target = d->Surface();
  if (!target) return 1;
  PatternSource pattern;
  if (!pattern.Realize(b, d, *target)) return 1;
  Fill(d, *target,
       Normalized(d, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top),
       0xF0, pattern);
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  Dc* d = FindDc(dc);
  auto* b = FindAs<Brush>(brush);
  if (!d || !rect || !b) {
    if (d) SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Bitmap* target = d->Surface();
  if (!target || rect->right <= rect->left || rect->bottom <= rect->top) return 1;
  PatternSource pattern;
  if (!pattern.Realize(b, d, *target)) return 1;
  POINT tl = ToDevice(d, rect->left, rect->top);
  POINT br = ToDevice(d, rect->right, rect->bottom);
  // One unit along the inside of each edge; the sides skip the corners the rows drew.
  Fill(d, *target, Rect(tl.x, tl.y, br.x, tl.y + 1), 0xF0, pattern);
  if (br.y - 1 > tl.y) Fill(d, *target, Rect(tl.x, br.y - 1, br.x, br.y), 0xF0, pattern);
  Fill(d, *target, Rect(tl.x, tl.y + 1, tl.x + 1, br.y - 1), 0xF0, pattern);
  if (br.x - 1 > tl.x) Fill(d, *target, Rect(br.x - 1, tl.y + 1, br.x, br.y - 1), 0xF0, pattern);
  return 1;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* old) {
  Dc* d = FindDc(dc);
  if (!d) return FALSE;
  if (old) *old = d->state.position;
  d->state.position = POINT{x, y};
  return TRUE;
}

BOOL GetCurrentPositionEx(HDC dc, POINT* position) {
  Dc* d = FindDc(dc);
  if (!d || !position) return FALSE;
  *position = d->state.position;
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  Dc* d = FindDc(dc);
  if (!d) return FALSE;
  POINT from = ToDevice(d, d->state.position.x, d->state.position.y);
  d->state.position = POINT{x, y};
  Bitmap* target = d->Surface();
  const Pen* pen = d->state.pen;
  if (!target || !pen || pen->style == PS_NULL) return TRUE;
  PenPainter painter(d, *target, *pen);
  painter.Line(from, ToDevice(d, x, y));
  return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  Dc* d = FindDc(dc);
  if (!d) return FALSE;
  Bitmap* target = d->Surface();
  if (!target) return TRUE;
  RECT r = Normalized(d, left, top, right - left, bottom - top);
  if (IsEmpty(r)) return TRUE;
  const Pen* pen = d->state.pen;
  bool outline = pen && pen->style != PS_NULL;
  int w = outline ? pen->width : 0;
  // The figure covers right - 1 and bottom - 1 exclusive of the far edges; a wide pen is centred
  // on that outline unless it is an inside-frame pen.
  RECT outer = Rect(r.left, r.top, r.right - (outline ? 0 : 1), r.bottom - (outline ? 0 : 1));
  if (outline && w > 1 && pen->style != PS_INSIDEFRAME) {
    outer = Rect(r.left - (w - 1) / 2, r.top - (w - 1) / 2, r.right + w / 2, r.bottom + w / 2);
  }
  RECT inner =
      outline ? Rect(outer.left + w, outer.top + w, outer.right - w, outer.bottom - w) : outer;
  PatternSource pattern;
  if (!IsEmpty(inner) && pattern.Realize(d->state.brush, d, *target)) {
    Fill(d, *target, inner, RopFromRop2(d->state.rop2), pattern);
  }
  if (!outline) return TRUE;
  PenPainter painter(d, *target, *pen);
  if (w <= 1) {
    POINT a{outer.left, outer.top}, b{outer.right - 1, outer.top},
        c{outer.right - 1, outer.bottom - 1}, e{outer.left, outer.bottom - 1};
    painter.Line(a, b);
    painter.Line(b, c);
    painter.Line(c, e);
    painter.Line(e, a);
    if (outer.right - outer.left == 1 || outer.bottom - outer.top == 1) painter.Band(outer);
    return TRUE;
  }
  painter.Band(Rect(outer.left, outer.top, outer.right, std::min(outer.top + w, outer.bottom)));
  if (outer.bottom - w > outer.top + w) {
    painter.Band(Rect(outer.left, outer.bottom - w, outer.right, outer.bottom));
    painter.Band(
        Rect(outer.left, outer.top + w, std::min(outer.left + w, outer.right), outer.bottom - w));
    if (outer.right - w > outer.left + w) {
      painter.Band(Rect(outer.right - w, outer.top + w, outer.right, outer.bottom - w));
    }
  } else if (outer.bottom > outer.top + w) {
    painter.Band(Rect(outer.left, outer.top + w, outer.right, outer.bottom));
  }
  return TRUE;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  Dc* d = FindDc(dc);
  if (!d) return CLR_INVALID;
  Bitmap* b = d->Surface();
  if (!b) return CLR_INVALID;
  POINT p = ToDevice(d, x, y);
  if (!Inside(DrawableRects(d, *b), p.x, p.y)) return CLR_INVALID;
  return ColorRefFromRgb(DecodeValue(b->format, b->colors, ReadValue(*b, p.x, p.y)));
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  Dc* d = FindDc(dc);
  if (!d) return CLR_INVALID;
  Bitmap* b = d->Surface();
  if (!b) return CLR_INVALID;
  POINT p = ToDevice(d, x, y);
  if (!Inside(DrawableRects(d, *b), p.x, p.y)) return CLR_INVALID;
  Encoder e(*b, d);
  std::uint32_t v = e.Encode(ResolveColor(d, color));
  WriteValues(*b, p.y, p.x, 1, &v);
  return ColorRefFromRgb(DecodeValue(b->format, b->colors, v));
}

}  // namespace win
