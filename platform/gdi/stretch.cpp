// StretchBlt: HALFTONE (exact area average), COLORONCOLOR (nearest pixel), and BLACKONWHITE /
// WHITEONBLACK (nearest when enlarging; AND / OR of the eliminated pixels when reducing).
//
// Every mode works in "virtual" target coordinates u in [0, W), v in [0, H), unmirrored; a
// mirrored transfer only reverses where the rows and columns land. Target pixels whose source
// footprint leaves the source bitmap are not drawn.
#include <algorithm>
#include <cstring>
#include <numeric>

#include "platform/gdi/internal.h"

namespace win::gdi {
namespace {

using i64 = std::int64_t;
using u64 = std::uint64_t;

// Source interval [first, last) one target index depends on, per mode and axis.
struct Footprint {
  enum class Rule : std::uint8_t { Area, Nearest, Group } rule;
  i64 from;  // source extent
  i64 to;    // target extent
  i64 First(i64 u) const {
    switch (rule) {
      case Rule::Area:
        return u * from / to;
      case Rule::Nearest:
        return (2 * u + 1) * from / (2 * to);
      case Rule::Group:
        return (u * from + to - 1) / to;
    }
    return 0;
  }
  i64 Last(i64 u) const {
    switch (rule) {
      case Rule::Area:
        return ((u + 1) * from + to - 1) / to;
      case Rule::Nearest:
        return First(u) + 1;
      case Rule::Group:
        return ((u + 1) * from + to - 1) / to;
    }
    return 0;
  }
};

// The target indexes [lo, hi) whose footprint lies within source positions [0, size) when the
// footprint is offset by `origin`. Footprints grow with u, so the range is contiguous.
std::pair<i64, i64> ValidRange(const Footprint& f, i64 origin, i64 size) {
  i64 lo = 0, hi = f.to;
  // First u with origin + First(u) >= 0.
  i64 a = 0, b = f.to;
  while (a < b) {
    i64 m = a + (b - a) / 2;
    if (origin + f.First(m) >= 0) {
      b = m;
    } else {
      a = m + 1;
    }
  }
  lo = a;
  // First u with origin + Last(u) > size.
  a = lo, b = f.to;
  while (a < b) {
    i64 m = a + (b - a) / 2;
    if (origin + f.Last(m) > size) {
      b = m;
    } else {
      a = m + 1;
    }
  }
  hi = a;
  return {lo, std::max(lo, hi)};
}

// Where a transfer's source and target lie, after normalising signs.
struct Geometry {
  i64 dx0, dy0, W, H;  // target device rectangle
  i64 sx0, sy0, w, h;  // source device rectangle
  bool flipX, flipY;
};

// Colours into target values; a monochrome target takes 1 where the colour is the source
// DC's background colour, as a block transfer does.
class RgbSink {
 public:
  RgbSink(const Bitmap& target, const Dc* dest, const Dc* src)
      : encoder_(target, dest), mono_(target.IsMono()) {
    bk_ = ResolveColor(src, src->state.bkColor);
  }
  void Row(const std::uint32_t* rgb, std::uint32_t* out, int n) {
    if (mono_) {
      for (int i = 0; i < n; ++i) out[i] = (rgb[i] & 0xFFFFFF) == bk_ ? 1 : 0;
      return;
    }
    encoder_.EncodeRow(rgb, out, n);
  }

 private:
  Encoder encoder_;
  bool mono_;
  std::uint32_t bk_ = 0;
};

// Source rows as 8-bit channels: a pointer into the bitmap for B, G, R (24) and B, G, R, X
// (32) layouts, else a decoded B, G, R, 0 copy.
class ChannelRows {
 public:
  ChannelRows(const Bitmap& source, const Converter& convert, i64 col0, i64 col1)
      : source_(source), convert_(convert), col0_(int(col0)), n_(int(col1 - col0)) {
    direct_ = source.format.IsBgr8();
    channels_ = direct_ ? source.format.bpp / 8 : 4;
    if (!direct_) {
      values_.resize(std::size_t(n_));
      rgb_.resize(std::size_t(n_));
    }
  }
  int Channels() const { return channels_; }
  const std::uint8_t* Row(int y) {
    if (direct_) return source_.Row(y) + std::size_t(col0_) * std::size_t(channels_);
    ReadValues(source_, y, col0_, n_, values_.data());
    convert_.ToRgb(values_.data(), rgb_.data(), n_);
    return reinterpret_cast<const std::uint8_t*>(rgb_.data());
  }

 private:
  const Bitmap& source_;
  const Converter& convert_;
  int col0_, n_;
  bool direct_ = false;
  int channels_ = 4;
  std::vector<std::uint32_t> values_, rgb_;
};

// acc[i] += weight * src[i]: a plain loop over bytes that the compiler vectorises.
template <typename Acc>
void Accumulate(Acc* __restrict acc, const std::uint8_t* __restrict src, std::size_t n,
                Acc weight) {
  for (std::size_t i = 0; i < n; ++i) acc[i] += weight * src[i];
}

// Sums of whole rows, unweighted, in 16 bits: at most 257 rows of 255 fit.
void AddRow(std::uint16_t* __restrict sum, const std::uint8_t* __restrict src, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) sum[i] = std::uint16_t(sum[i] + src[i]);
}
template <typename Acc>
void Fold(Acc* __restrict acc, std::uint16_t* __restrict sum, std::size_t n, Acc weight) {
  for (std::size_t i = 0; i < n; ++i) {
    acc[i] += weight * sum[i];
    sum[i] = 0;
  }
}

// (n + t/2) / t for a fixed t, without a division per call: an estimate through the
// reciprocal corrected to the exact quotient.
class RoundedDivider {
 public:
  explicit RoundedDivider(u64 t) : t_(t), half_(t / 2), inverse_(1.0 / double(t)) {}
  std::uint32_t operator()(u64 sum) const {
    u64 n = sum + half_;
    u64 q = u64(double(n) * inverse_);
    while (q * t_ > n) --q;
    while ((q + 1) * t_ <= n) ++q;
    return std::uint32_t(q);
  }

 private:
  u64 t_, half_;
  double inverse_;
};

// The exact area average. Weights are overlaps in units where a source pixel is W / g long and
// a target pixel w / g (g = gcd), so every weight is an integer and a target pixel's weights
// sum to w / g. Vertical pass first: the footprint rows of a target row go into a per-column
// accumulator (rows inside the footprint all weigh the same); then one horizontal pass per
// target row over the accumulator with precomputed column weights.
template <typename Acc>
class HalftoneKernel {
 public:
  HalftoneKernel(const Geometry& g, i64 u0, i64 u1, ChannelRows& rows)
      : g_(g), u0_(u0), u1_(u1), rows_(rows) {
    i64 gx = std::gcd(g.W, g.w), gy = std::gcd(g.H, g.h);
    unitX_ = g.W / gx;  // a source column in x units
    spanX_ = g.w / gx;  // a target column in x units
    unitY_ = g.H / gy;
    spanY_ = g.h / gy;
    Footprint fx{Footprint::Rule::Area, g.w, g.W};
    col0_ = fx.First(u0);
    i64 col1 = fx.Last(u1 - 1);
    channels_ = rows.Channels();
    for (i64 u = u0; u < u1; ++u) {
      first_.push_back(std::uint32_t(fx.First(u) - col0_));
      i64 a = fx.First(u), b = fx.Last(u);
      for (i64 s = a; s < b; ++s) {
        weights_.push_back(std::uint32_t(Overlap(s, u, unitX_, spanX_)));
      }
      count_.push_back(std::uint32_t(b - a));
    }
    width_ = std::size_t(col1 - col0_) * std::size_t(channels_);
    acc_.assign(width_, 0);
    sum_.assign(width_, 0);
  }

  // Target row v (virtual) as rgb values for u0..u1-1.
  void Row(i64 v, std::uint32_t* out, const RoundedDivider& divide) {
    std::fill(acc_.begin(), acc_.end(), Acc(0));
    Footprint fy{Footprint::Rule::Area, g_.h, g_.H};
    i64 a = fy.First(v), b = fy.Last(v);
    int pending = 0;
    for (i64 s = a; s < b; ++s) {
      i64 w = Overlap(s, v, unitY_, spanY_);
      const std::uint8_t* src = rows_.Row(int(g_.sy0 + s));
      if (w == unitY_) {
        // A whole row: add it unweighted now, weigh the sum once.
        AddRow(sum_.data(), src, width_);
        if (++pending == 257) {
          Fold(acc_.data(), sum_.data(), width_, Acc(unitY_));
          pending = 0;
        }
      } else {
        Accumulate(acc_.data(), src, width_, Acc(w));
      }
    }
    if (pending) Fold(acc_.data(), sum_.data(), width_, Acc(unitY_));

    const std::uint32_t* weight = weights_.data();
    int c = channels_;
    for (std::size_t i = 0; i < count_.size(); ++i) {
      const Acc* p = acc_.data() + std::size_t(first_[i]) * std::size_t(c);
      u64 b0 = 0, g0 = 0, r0 = 0;
      for (std::uint32_t k = 0; k < count_[i]; ++k, p += c) {
        u64 wk = u64(weight[k]);
        b0 += wk * p[0];
        g0 += wk * p[1];
        r0 += wk * p[2];
      }
      weight += count_[i];
      out[i] = divide(r0) << 16 | divide(g0) << 8 | divide(b0);
    }
  }

  u64 Total() const { return u64(spanX_) * u64(spanY_); }

 private:
  static i64 Overlap(i64 s, i64 u, i64 unit, i64 span) {
    i64 lo = std::max(s * unit, u * span), hi = std::min((s + 1) * unit, (u + 1) * span);
    return std::max<i64>(0, hi - lo);
  }

  Geometry g_;
  i64 u0_, u1_;
  ChannelRows& rows_;
  i64 unitX_ = 1, spanX_ = 1, unitY_ = 1, spanY_ = 1;
  i64 col0_ = 0;
  int channels_ = 3;
  // Column weights fit 32 bits: a weight is at most W / gcd(W, w), below 2^31.
  std::vector<std::uint32_t> first_, count_, weights_;
  std::size_t width_ = 0;
  std::vector<Acc> acc_;
  std::vector<std::uint16_t> sum_;
};

// Gathers source values at the given columns of row y.
void Gather(const Bitmap& b, int y, const std::vector<int>& columns, std::uint32_t* out) {
  const std::uint8_t* row = b.Row(y);
  std::size_t n = columns.size();
  switch (b.format.bpp) {
    case 32:
      for (std::size_t i = 0; i < n; ++i)
        std::memcpy(&out[i], row + 4 * std::size_t(columns[i]), 4);
      break;
    case 24:
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* p = row + 3 * std::size_t(columns[i]);
        out[i] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
      }
      break;
    case 8:
      for (std::size_t i = 0; i < n; ++i) out[i] = row[columns[i]];
      break;
    default:
      for (std::size_t i = 0; i < n; ++i) out[i] = ReadValue(b, columns[i], y);
      break;
  }
}

std::uint32_t Combine(std::uint32_t a, std::uint32_t b, bool takeMin) {
  std::uint32_t r = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    std::uint32_t x = a >> shift & 0xFF, y = b >> shift & 0xFF;
    r |= (takeMin ? std::min(x, y) : std::max(x, y)) << shift;
  }
  return r;
}

class Stretcher {
 public:
  Stretcher(Dc* dest, Bitmap& target, Dc* src, const Bitmap& source, const Geometry& g,
            std::uint8_t rop)
      : dest_(dest),
        target_(target),
        src_(src),
        source_(source),
        g_(g),
        rop_(rop),
        convert_(source, target, dest, Rules()),
        sink_(target, dest, src) {}

  bool Run() {
    int mode = dest_->state.stretchMode;
    bool bothMono = source_.IsMono() && target_.IsMono();
    if (mode == HALFTONE && bothMono) mode = COLORONCOLOR;
    mode_ = mode;
    using Rule = Footprint::Rule;
    auto ruleFor = [&](i64 from, i64 to) {
      if (mode == HALFTONE) return Rule::Area;
      if (mode == COLORONCOLOR || from <= to) return Rule::Nearest;
      return Rule::Group;
    };
    fx_ = Footprint{ruleFor(g_.w, g_.W), g_.w, g_.W};
    fy_ = Footprint{ruleFor(g_.h, g_.H), g_.h, g_.H};
    auto [ux0, ux1] = ValidRange(fx_, g_.sx0, source_.width);
    auto [vy0, vy1] = ValidRange(fy_, g_.sy0, source_.height);
    if (RopUsesPattern(rop_) && !pattern_.Realize(dest_->state.brush, dest_, target_)) return true;
    RECT whole = Rect(int(g_.dx0), int(g_.dy0), int(g_.dx0 + g_.W), int(g_.dy0 + g_.H));
    for (const RECT& clip : DrawableRects(dest_, target_)) {
      RECT r = Intersect(whole, clip);
      if (IsEmpty(r)) continue;
      i64 u0 = g_.flipX ? g_.W - (r.right - g_.dx0) : r.left - g_.dx0;
      i64 u1 = g_.flipX ? g_.W - (r.left - g_.dx0) : r.right - g_.dx0;
      i64 v0 = g_.flipY ? g_.H - (r.bottom - g_.dy0) : r.top - g_.dy0;
      i64 v1 = g_.flipY ? g_.H - (r.top - g_.dy0) : r.bottom - g_.dy0;
      u0 = std::max(u0, ux0);
      u1 = std::min(u1, ux1);
      v0 = std::max(v0, vy0);
      v1 = std::min(v1, vy1);
      if (u0 >= u1 || v0 >= v1) continue;
      Piece(u0, u1, v0, v1);
    }
    return true;
  }

 private:
  ConvertRules Rules() const {
    ConvertRules r;
    r.monoZeroRgb = ResolveColor(dest_, dest_->state.textColor);
    r.monoOneRgb = ResolveColor(dest_, dest_->state.bkColor);
    if (!source_.IsMono()) {
      Encoder e(source_, src_);
      r.sourceBkValue = e.Encode(ResolveColor(src_, src_->state.bkColor));
    }
    return r;
  }

  // Writes target values of virtual row v, columns u0..u1-1, through the rop.
  void Emit(i64 v, i64 u0, i64 u1, std::vector<std::uint32_t>& values) {
    int n = int(u1 - u0);
    if (g_.flipX) std::reverse(values.begin(), values.begin() + n);
    int x = int(g_.dx0 + (g_.flipX ? g_.W - u1 : u0));
    int y = int(g_.dy0 + (g_.flipY ? g_.H - 1 - v : v));
    if (rop_ == 0xCC) {
      WriteValues(target_, y, x, n, values.data());
      return;
    }
    pRow_.resize(static_cast<std::size_t>(n));
    dRow_.resize(static_cast<std::size_t>(n));
    mask_.assign(std::size_t(n), 1);
    bool masked = RopUsesPattern(rop_) && pattern_.Row(x, y, n, pRow_.data(), mask_.data());
    ReadValues(target_, y, x, n, dRow_.data());
    ApplyRop(rop_, pRow_.data(), values.data(), dRow_.data(), n, target_.format.valueMask);
    if (masked) {
      WriteValuesMasked(target_, y, x, n, dRow_.data(), mask_.data());
    } else {
      WriteValues(target_, y, x, n, dRow_.data());
    }
  }

  void Piece(i64 u0, i64 u1, i64 v0, i64 v1) {
    std::vector<std::uint32_t> values(std::size_t(u1 - u0)), rgb(std::size_t(u1 - u0));
    if (mode_ == HALFTONE) {
      ChannelRows rows(source_, convert_, fx_.First(u0) + g_.sx0, fx_.Last(u1 - 1) + g_.sx0);
      HalftoneTyped(u0, u1, v0, v1, rows, values, rgb);
      return;
    }
    std::vector<int> columns;
    for (i64 u = u0; u < u1; ++u) columns.push_back(int(g_.sx0 + fx_.First(u)));
    if (fx_.rule == Footprint::Rule::Nearest && fy_.rule == Footprint::Rule::Nearest) {
      for (i64 v = v0; v < v1; ++v) {
        Gather(source_, int(g_.sy0 + fy_.First(v)), columns, values.data());
        convert_.Row(values.data(), values.data(), int(u1 - u0));
        Emit(v, u0, u1, values);
      }
      return;
    }
    CombineRows(u0, u1, v0, v1, values, rgb);
  }

  void HalftoneTyped(i64 u0, i64 u1, i64 v0, i64 v1, ChannelRows& rows,
                     std::vector<std::uint32_t>& values, std::vector<std::uint32_t>& rgb) {
    // 32-bit accumulators hold 255 times a target row's total weight when it fits.
    i64 gy = std::gcd(g_.H, g_.h);
    if (255 * (g_.h / gy) < (i64(1) << 32)) {
      HalftoneRun<std::uint32_t>(u0, u1, v0, v1, rows, values, rgb);
    } else {
      HalftoneRun<u64>(u0, u1, v0, v1, rows, values, rgb);
    }
  }

  template <typename Acc>
  void HalftoneRun(i64 u0, i64 u1, i64 v0, i64 v1, ChannelRows& rows,
                   std::vector<std::uint32_t>& values, std::vector<std::uint32_t>& rgb) {
    HalftoneKernel<Acc> kernel(g_, u0, u1, rows);
    RoundedDivider divide(kernel.Total());
    for (i64 v = v0; v < v1; ++v) {
      kernel.Row(v, rgb.data(), divide);
      sink_.Row(rgb.data(), values.data(), int(u1 - u0));
      Emit(v, u0, u1, values);
    }
  }

  // BLACKONWHITE / WHITEONBLACK: per-channel minimum (AND) or maximum (OR) over each target
  // pixel's group of source pixels; monochrome sources combine their bits.
  void CombineRows(i64 u0, i64 u1, i64 v0, i64 v1, std::vector<std::uint32_t>& values,
                   std::vector<std::uint32_t>& rgb) {
    bool takeMin = mode_ == BLACKONWHITE;
    bool bits = source_.IsMono();
    i64 col0 = g_.sx0 + fx_.First(u0), col1 = g_.sx0 + fx_.Last(u1 - 1);
    int n = int(col1 - col0);
    std::vector<std::uint32_t> raw(static_cast<std::size_t>(n)),
        decoded(static_cast<std::size_t>(n));
    std::uint32_t start = bits ? (takeMin ? 1u : 0u) : (takeMin ? 0xFFFFFFu : 0u);
    for (i64 v = v0; v < v1; ++v) {
      std::fill(rgb.begin(), rgb.end(), start);
      for (i64 s = fy_.First(v); s < fy_.Last(v); ++s) {
        ReadValues(source_, int(g_.sy0 + s), int(col0), n, raw.data());
        if (!bits) convert_.ToRgb(raw.data(), decoded.data(), n);
        const std::uint32_t* row = bits ? raw.data() : decoded.data();
        for (i64 u = u0; u < u1; ++u) {
          std::uint32_t& acc = rgb[std::size_t(u - u0)];
          for (i64 c = fx_.First(u); c < fx_.Last(u); ++c) {
            std::uint32_t x = row[std::size_t(g_.sx0 + c - col0)];
            acc = bits ? (takeMin ? acc & x : acc | x) : Combine(acc, x, takeMin);
          }
        }
      }
      if (bits) {
        convert_.Row(rgb.data(), values.data(), int(u1 - u0));
      } else {
        sink_.Row(rgb.data(), values.data(), int(u1 - u0));
      }
      Emit(v, u0, u1, values);
    }
  }

  Dc* dest_;
  Bitmap& target_;
  Dc* src_;
  const Bitmap& source_;
  Geometry g_;
  std::uint8_t rop_;
  Converter convert_;
  RgbSink sink_;
  PatternSource pattern_;
  int mode_ = BLACKONWHITE;
  Footprint fx_{Footprint::Rule::Nearest, 1, 1}, fy_{Footprint::Rule::Nearest, 1, 1};
  std::vector<std::uint32_t> pRow_, dRow_;
  std::vector<std::uint8_t> mask_;
};

}  // namespace

BOOL Stretch(Dc* dest, int x, int y, int width, int height, Dc* src, int srcX, int srcY,
             int srcWidth, int srcHeight, DWORD rop) {
  Bitmap* target = dest->Surface();
  if (!target) return TRUE;
  const Bitmap* source = src->Surface();
  if (!source) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (width == 0 || height == 0) return TRUE;
  if (srcWidth == 0 || srcHeight == 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Geometry g;
  g.flipX = (width < 0) != (srcWidth < 0);
  g.flipY = (height < 0) != (srcHeight < 0);
  g.W = width < 0 ? -i64(width) : width;
  g.H = height < 0 ? -i64(height) : height;
  g.w = srcWidth < 0 ? -i64(srcWidth) : srcWidth;
  g.h = srcHeight < 0 ? -i64(srcHeight) : srcHeight;
  g.dx0 = i64(x) + (width < 0 ? width : 0) + dest->state.viewportOrg.x;
  g.dy0 = i64(y) + (height < 0 ? height : 0) + dest->state.viewportOrg.y;
  g.sx0 = i64(srcX) + (srcWidth < 0 ? srcWidth : 0) + src->state.viewportOrg.x;
  g.sy0 = i64(srcY) + (srcHeight < 0 ? srcHeight : 0) + src->state.viewportOrg.y;
  // Keep every target coordinate representable; what lies outside the bitmap is clipped anyway.
  if (g.dx0 < INT32_MIN || g.dx0 + g.W > INT32_MAX || g.dy0 < INT32_MIN ||
      g.dy0 + g.H > INT32_MAX) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Stretching a bitmap onto itself would read rows it has already written: work from a copy.
  std::unique_ptr<Bitmap> copy;
  if (source == target) {
    copy = CopyBitmap(*source);
    if (!copy) return FALSE;
    source = copy.get();
  }
  Stretcher s(dest, *target, src, *source, g, std::uint8_t(rop >> 16));
  return s.Run() ? TRUE : FALSE;
}

}  // namespace win::gdi
