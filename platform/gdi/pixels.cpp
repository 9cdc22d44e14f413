// Pixel formats, bitmap storage, value rows, colour conversion, raster operations and brush
// patterns: the pieces every drawing call is built from.
#include <sys/mman.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/gdi/internal.h"

namespace win::gdi {
namespace {

int LowestBit(std::uint32_t m) {
  int s = 0;
  while (m && !(m & 1)) {
    m >>= 1;
    ++s;
  }
  return s;
}
int BitCount(std::uint32_t m) {
  int n = 0;
  for (; m; m &= m - 1) ++n;
  return n;
}

// Widens a channel of `width` bits to 8 by repeating its high bits (5 bits abcde give
// abcdeabc); wider channels keep their top 8 bits.
std::uint32_t Expand(std::uint32_t v, int width) {
  if (width <= 0) return 0;
  if (width >= 8) return (v >> (width - 8)) & 0xFF;
  std::uint32_t x = v << (8 - width);
  for (int s = width; s < 8; s += width) x |= x >> s;
  return x & 0xFF;
}

// Narrows an 8-bit channel to `width` bits by truncation.
std::uint32_t Narrow(std::uint32_t v8, int width) {
  if (width <= 0) return 0;
  if (width <= 8) return v8 >> (8 - width);
  return Expand(v8, 8) << (width - 8) | (v8 >> (16 - width));
}

std::uint32_t NearestMono(std::uint32_t rgb) {
  int sum = int(rgb >> 16 & 0xFF) + int(rgb >> 8 & 0xFF) + int(rgb & 0xFF);
  return sum > 382 ? 1 : 0;  // nearer to white than to black
}

inline std::uint32_t Load16(const std::uint8_t* p) {
  return std::uint32_t(p[0] | p[1] << 8);
}
inline std::uint32_t Load24(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
}

inline void PutValue(std::uint8_t* row, int bpp, int x, std::uint32_t v) {
  switch (bpp) {
    case 1: {
      std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
      if (v & 1) {
        row[x >> 3] |= bit;
      } else {
        row[x >> 3] &= std::uint8_t(~bit);
      }
      break;
    }
    case 4: {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? std::uint8_t((b & 0xF0) | (v & 0x0F))
                  : std::uint8_t((b & 0x0F) | (v & 0x0F) << 4);
      break;
    }
    case 8:
      row[x] = std::uint8_t(v);
      break;
    case 16:
      row[2 * x] = std::uint8_t(v);
      row[2 * x + 1] = std::uint8_t(v >> 8);
      break;
    case 24:
      row[3 * x] = std::uint8_t(v);
      row[3 * x + 1] = std::uint8_t(v >> 8);
      row[3 * x + 2] = std::uint8_t(v >> 16);
      break;
    default:
      std::memcpy(row + 4 * std::size_t(x), &v, 4);
      break;
  }
}

}  // namespace

// --- Formats and storage ---------------------------------------------------------------------

PixelFormat PixelFormat::Mono() {
  PixelFormat f;
  f.kind = FormatKind::Mono;
  f.bpp = 1;
  f.valueMask = 1;
  return f;
}

PixelFormat PixelFormat::Indexed(int bpp) {
  PixelFormat f;
  f.kind = FormatKind::Indexed;
  f.bpp = bpp;
  f.valueMask = (1u << bpp) - 1;
  return f;
}

PixelFormat PixelFormat::Direct(int bpp, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  PixelFormat f;
  f.kind = FormatKind::Direct;
  f.bpp = bpp;
  f.masks[0] = r;
  f.masks[1] = g;
  f.masks[2] = b;
  for (int c = 0; c < 3; ++c) {
    f.shift[c] = LowestBit(f.masks[c]);
    f.width[c] = BitCount(f.masks[c]);
  }
  f.valueMask = r | g | b;
  return f;
}

std::optional<std::size_t> CheckedStride(std::int64_t width, int bpp, int align) {
  if (width < 0) return std::nullopt;
  std::int64_t bitsPerRow = width * bpp;
  std::int64_t alignBits = std::int64_t(align) * 8;
  std::int64_t stride = (bitsPerRow + alignBits - 1) / alignBits * align;
  if (stride > INT_MAX) return std::nullopt;
  return std::size_t(stride);
}

std::optional<std::size_t> CheckedImageSize(std::int64_t width, std::int64_t height, int bpp,
                                            int align) {
  auto stride = CheckedStride(width, bpp, align);
  if (!stride || height < 0) return std::nullopt;
  std::int64_t total = std::int64_t(*stride) * height;
  if (total > INT_MAX) return std::nullopt;
  return std::size_t(total);
}

namespace {

// Pixel memory. Large images are mapped on their own, aligned to 2 MB and marked for huge
// pages: a decoded photo is written once from end to end, and taking it in 2 MB pages instead
// of 4 KB ones removes most of the cost of touching tens of megabytes of fresh memory. The
// mapping comes zero-filled, like calloc.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kMapThreshold = std::size_t{4} << 20;

struct PixelMemory {
  std::uint8_t* bits = nullptr;
  std::size_t mappedBytes = 0;  // 0: from calloc
};

PixelMemory AllocatePixels(std::size_t size) {
  if (size < kMapThreshold) return {static_cast<std::uint8_t*>(std::calloc(size, 1)), 0};
  const std::size_t length = (size + kHugePage - 1) & ~(kHugePage - 1);
  void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (raw == MAP_FAILED) return {};
  // Trim the mapping to a 2 MB-aligned window of the rounded length.
  const auto base = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (base + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > base) munmap(raw, aligned - base);
  const std::uintptr_t end = base + length + kHugePage;
  if (end > aligned + length)
    munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
  auto* bits = reinterpret_cast<std::uint8_t*>(aligned);
  madvise(bits, length, MADV_HUGEPAGE);  // a hint: without huge pages it just goes slower
  return {bits, length};
}

void FreePixels(std::uint8_t* bits, std::size_t mappedBytes) {
  if (mappedBytes != 0) {
    munmap(bits, mappedBytes);
  } else {
    std::free(bits);
  }
}

}  // namespace

Bitmap::~Bitmap() {
  if (ownsBits) FreePixels(bits, mappedBytes);
}

std::unique_ptr<Bitmap> NewBitmap(int width, int height, const PixelFormat& format, bool dib,
                                  bool topDown) {
  if (width <= 0 || height <= 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int align = dib ? 4 : 2;
  auto size = CheckedImageSize(width, height, format.bpp, align);
  if (!size) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const PixelMemory memory = AllocatePixels(*size);
  std::uint8_t* bits = memory.bits;
  if (!bits) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto b = std::make_unique<Bitmap>();
  b->width = width;
  b->height = height;
  b->format = format;
  b->dib = dib;
  b->topDown = topDown;
  b->stride = *CheckedStride(width, format.bpp, align);
  b->bits = bits;
  b->mappedBytes = memory.mappedBytes;
  return b;
}

PixelFormat DdbFormat(int bpp) {
  switch (bpp) {
    case 1:
      return PixelFormat::Mono();
    case 4:
      return PixelFormat::Indexed(4);
    case 8:
      return PixelFormat::Indexed(8);
    case 16:
      return PixelFormat::Direct(16, 0xF800, 0x07E0, 0x001F);
    case 24:
      return PixelFormat::Direct(24, 0xFF0000, 0xFF00, 0xFF);
    default:
      return PixelFormat::Direct(32, 0xFF0000, 0xFF00, 0xFF);
  }
}

std::vector<std::uint32_t> DdbColors(int bpp) {
  if (bpp == 8) return RgbTable(HalftoneEntries());
  if (bpp == 4) return RgbTable(VgaEntries());
  return {};
}

std::unique_ptr<Bitmap> CopyBitmap(const Bitmap& source) {
  auto b = NewBitmap(source.width, source.height, source.format, source.dib, source.topDown);
  if (!b) return nullptr;
  b->colors = source.colors;
  b->header = source.header;
  for (int y = 0; y < source.height; ++y) {
    std::memcpy(b->Row(y), source.Row(y), std::min(source.stride, b->stride));
  }
  return b;
}

// --- Value rows ---------------------------------------------------------------------------------

void ReadValues(const Bitmap& b, int y, int x0, int n, std::uint32_t* out) {
  const std::uint8_t* row = b.Row(y);
  switch (b.format.bpp) {
    case 1:
      for (int i = 0; i < n; ++i) {
        int x = x0 + i;
        out[i] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      }
      break;
    case 4:
      for (int i = 0; i < n; ++i) {
        int x = x0 + i;
        out[i] = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
      }
      break;
    case 8:
      for (int i = 0; i < n; ++i) out[i] = row[x0 + i];
      break;
    case 16:
      for (int i = 0; i < n; ++i) out[i] = Load16(row + 2 * std::size_t(x0 + i));
      break;
    case 24:
      for (int i = 0; i < n; ++i) out[i] = Load24(row + 3 * std::size_t(x0 + i));
      break;
    default:
      std::memcpy(out, row + 4 * std::size_t(x0), 4 * std::size_t(n));
      break;
  }
}

std::uint32_t ReadValue(const Bitmap& b, int x, int y) {
  std::uint32_t v;
  ReadValues(b, y, x, 1, &v);
  return v;
}

void WriteValues(Bitmap& b, int y, int x0, int n, const std::uint32_t* in) {
  std::uint8_t* row = b.Row(y);
  switch (b.format.bpp) {
    case 8:
      for (int i = 0; i < n; ++i) row[x0 + i] = std::uint8_t(in[i]);
      break;
    case 24: {
      std::uint8_t* p = row + 3 * std::size_t(x0);
      for (int i = 0; i < n; ++i, p += 3) {
        p[0] = std::uint8_t(in[i]);
        p[1] = std::uint8_t(in[i] >> 8);
        p[2] = std::uint8_t(in[i] >> 16);
      }
      break;
    }
    case 32:
      std::memcpy(row + 4 * std::size_t(x0), in, 4 * std::size_t(n));
      break;
    default:
      for (int i = 0; i < n; ++i) PutValue(row, b.format.bpp, x0 + i, in[i]);
      break;
  }
}

void WriteValuesMasked(Bitmap& b, int y, int x0, int n, const std::uint32_t* in,
                       const std::uint8_t* mask) {
  std::uint8_t* row = b.Row(y);
  for (int i = 0; i < n; ++i) {
    if (mask[i]) PutValue(row, b.format.bpp, x0 + i, in[i]);
  }
}

// --- Colour conversion
// ----------------------------------------------------------------------------

std::uint32_t DecodeValue(const PixelFormat& f, const std::vector<std::uint32_t>& colors,
                          std::uint32_t v) {
  switch (f.kind) {
    case FormatKind::Mono:
      return v & 1 ? kRgbWhite : kRgbBlack;
    case FormatKind::Indexed:
      return v < colors.size() ? colors[v] : kRgbBlack;
    case FormatKind::Direct:
      if (f.IsBgr8()) return v & 0xFFFFFF;
      return Expand((v & f.masks[0]) >> f.shift[0], f.width[0]) << 16 |
             Expand((v & f.masks[1]) >> f.shift[1], f.width[1]) << 8 |
             Expand((v & f.masks[2]) >> f.shift[2], f.width[2]);
  }
  return 0;
}

void DecodeRow(const PixelFormat& f, const std::vector<std::uint32_t>& colors,
               const std::uint32_t* in, std::uint32_t* out, int n) {
  if (f.IsBgr8()) {
    for (int i = 0; i < n; ++i) out[i] = in[i] & 0xFFFFFF;
    return;
  }
  if (f.kind == FormatKind::Indexed) {
    for (int i = 0; i < n; ++i) out[i] = in[i] < colors.size() ? colors[in[i]] : kRgbBlack;
    return;
  }
  if (f.kind == FormatKind::Direct && f.width[0] <= 8 && f.width[1] <= 8 && f.width[2] <= 8) {
    // Per-channel lookup tables for narrow channels (5-5-5, 5-6-5 and friends).
    std::uint8_t lut[3][256];
    for (int c = 0; c < 3; ++c) {
      for (std::uint32_t v = 0; v < (1u << f.width[c]); ++v)
        lut[c][v] = std::uint8_t(Expand(v, f.width[c]));
    }
    for (int i = 0; i < n; ++i) {
      std::uint32_t v = in[i];
      out[i] = std::uint32_t(lut[0][(v & f.masks[0]) >> f.shift[0]]) << 16 |
               std::uint32_t(lut[1][(v & f.masks[1]) >> f.shift[1]]) << 8 |
               lut[2][(v & f.masks[2]) >> f.shift[2]];
    }
    return;
  }
  for (int i = 0; i < n; ++i) out[i] = DecodeValue(f, colors, in[i]);
}

Encoder::Encoder(const Bitmap& target, const Dc* dc) : target_(target) {
  if (target.format.kind != FormatKind::Indexed) return;
  matcher_.emplace(target.colors);
  // An 8-bit DDB matches through the DC's realised logical palette first, as a palette
  // device does.
  if (!target.dib && dc && dc->state.paletteRealized && dc->state.palette &&
      !dc->state.palette->stock) {
    logical_ = RgbTable(dc->state.palette->entries);
    logicalMatcher_.emplace(logical_);
  }
}

std::uint32_t Encoder::Encode(std::uint32_t rgb) {
  const PixelFormat& f = target_.format;
  switch (f.kind) {
    case FormatKind::Mono:
      return NearestMono(rgb);
    case FormatKind::Indexed:
      if (logicalMatcher_) rgb = logical_[logicalMatcher_->Nearest(rgb)];
      return matcher_->Nearest(rgb);
    case FormatKind::Direct:
      if (f.IsBgr8()) return rgb & 0xFFFFFF;
      return Narrow(rgb >> 16 & 0xFF, f.width[0]) << f.shift[0] |
             Narrow(rgb >> 8 & 0xFF, f.width[1]) << f.shift[1] |
             Narrow(rgb & 0xFF, f.width[2]) << f.shift[2];
  }
  return 0;
}

void Encoder::EncodeRow(const std::uint32_t* rgb, std::uint32_t* out, int n) {
  const PixelFormat& f = target_.format;
  if (f.IsBgr8()) {
    for (int i = 0; i < n; ++i) out[i] = rgb[i] & 0xFFFFFF;
    return;
  }
  if (f.kind == FormatKind::Direct && f.width[0] <= 8 && f.width[1] <= 8 && f.width[2] <= 8) {
    int s0 = 8 - f.width[0], s1 = 8 - f.width[1], s2 = 8 - f.width[2];
    for (int i = 0; i < n; ++i) {
      std::uint32_t c = rgb[i];
      out[i] = ((c >> 16 & 0xFF) >> s0) << f.shift[0] | ((c >> 8 & 0xFF) >> s1) << f.shift[1] |
               ((c & 0xFF) >> s2) << f.shift[2];
    }
    return;
  }
  for (int i = 0; i < n; ++i) out[i] = Encode(rgb[i]);
}

Converter::Converter(const Bitmap& source, const Bitmap& target, const Dc* targetDc,
                     const ConvertRules& rules)
    : source_(source), target_(target), rules_(rules), encoder_(target, targetDc) {
  const PixelFormat& s = source.format;
  const PixelFormat& t = target.format;
  identity_ = s.SameLayout(t) && (s.kind != FormatKind::Indexed || source.colors == target.colors);
  if (s.kind == FormatKind::Mono && t.kind != FormatKind::Mono) {
    monoZero_ = encoder_.Encode(rules.monoZeroRgb);
    monoOne_ = encoder_.Encode(rules.monoOneRgb);
  }
}

void Converter::ToRgb(const std::uint32_t* in, std::uint32_t* out, int n) const {
  if (source_.format.kind == FormatKind::Mono) {
    for (int i = 0; i < n; ++i) out[i] = in[i] & 1 ? rules_.monoOneRgb : rules_.monoZeroRgb;
    return;
  }
  DecodeRow(source_.format, source_.colors, in, out, n);
}

void Converter::Row(const std::uint32_t* in, std::uint32_t* out, int n) {
  if (identity_) {
    if (in != out) std::memcpy(out, in, 4 * std::size_t(n));
    return;
  }
  const PixelFormat& s = source_.format;
  const PixelFormat& t = target_.format;
  if (s.kind == FormatKind::Mono) {
    for (int i = 0; i < n; ++i) out[i] = in[i] & 1 ? monoOne_ : monoZero_;
    return;
  }
  if (t.kind == FormatKind::Mono && rules_.sourceBkValue) {
    std::uint32_t bk = *rules_.sourceBkValue;
    for (int i = 0; i < n; ++i) out[i] = in[i] == bk ? 1 : 0;
    return;
  }
  if (scratch_.size() < std::size_t(n)) scratch_.resize(static_cast<std::size_t>(n));
  DecodeRow(s, source_.colors, in, scratch_.data(), n);
  encoder_.EncodeRow(scratch_.data(), out, n);
}

// --- Raster operations
// ------------------------------------------------------------------------------

void ApplyRop(std::uint8_t rop, const std::uint32_t* p, const std::uint32_t* s, std::uint32_t* d,
              int n, std::uint32_t m) {
  switch (rop) {
    case 0xCC:
      for (int i = 0; i < n; ++i) d[i] = s[i] & m;
      return;
    case 0xF0:
      for (int i = 0; i < n; ++i) d[i] = p[i] & m;
      return;
    case 0x66:
      for (int i = 0; i < n; ++i) d[i] = (s[i] ^ d[i]) & m;
      return;
    case 0x88:
      for (int i = 0; i < n; ++i) d[i] = s[i] & d[i] & m;
      return;
    case 0xEE:
      for (int i = 0; i < n; ++i) d[i] = (s[i] | d[i]) & m;
      return;
    case 0x5A:
      for (int i = 0; i < n; ++i) d[i] = (p[i] ^ d[i]) & m;
      return;
    case 0x55:
      for (int i = 0; i < n; ++i) d[i] = ~d[i] & m;
      return;
    case 0x33:
      for (int i = 0; i < n; ++i) d[i] = ~s[i] & m;
      return;
    default:
      break;
  }
  // Sum of the minterms whose truth-table bit is set; bit i stands for P = i>>2, S = i>>1 & 1,
  // D = i & 1.
  for (int i = 0; i < n; ++i) {
    std::uint32_t pv = p ? p[i] : 0, sv = s ? s[i] : 0, dv = d[i], r = 0;
    for (int t = 0; t < 8; ++t) {
      if (!(rop >> t & 1)) continue;
      r |= (t & 4 ? pv : ~pv) & (t & 2 ? sv : ~sv) & (t & 1 ? dv : ~dv);
    }
    d[i] = r & m;
  }
}

// --- Brush patterns
// -----------------------------------------------------------------------------------

void PatternSource::SolidColor(std::uint32_t rgb, const Dc* dc, const Bitmap& target) {
  Encoder e(target, dc);
  solid_ = true;
  hasMask_ = false;
  value_ = e.Encode(rgb);
}

namespace {
bool HatchBit(int hatch, int x, int y) {
  switch (hatch) {
    case HS_HORIZONTAL:
      return y == 7;
    case HS_VERTICAL:
      return x == 7;
    case HS_FDIAGONAL:
      return x == y;
    case HS_BDIAGONAL:
      return x + y == 7;
    case HS_CROSS:
      return x == 7 || y == 7;
    default:
      return x == y || x + y == 7;
  }
}
}  // namespace

bool PatternSource::Realize(const Brush* brush, const Dc* dc, const Bitmap& target) {
  if (!brush || brush->style == BS_NULL) return false;
  origin_ = dc ? dc->state.brushOrg : POINT{0, 0};
  if (brush->style == BS_SOLID) {
    SolidColor(ResolveColor(dc, brush->color), dc, target);
    return true;
  }
  solid_ = false;
  Encoder e(target, dc);
  if (brush->style == BS_HATCHED) {
    w_ = h_ = 8;
    std::uint32_t fg = e.Encode(ResolveColor(dc, brush->color));
    std::uint32_t bg = e.Encode(ResolveColor(dc, dc ? dc->state.bkColor : 0xFFFFFF));
    hasMask_ = dc && dc->state.bkMode == TRANSPARENT;
    tile_.assign(64, 0);
    opaque_.assign(64, 1);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        bool on = HatchBit(brush->hatch, x, y);
        tile_[std::size_t(y * 8 + x)] = on ? fg : bg;
        opaque_[std::size_t(y * 8 + x)] = on || !hasMask_;
      }
    }
    return true;
  }
  const Bitmap& p = *brush->pattern;
  w_ = p.width;
  h_ = p.height;
  hasMask_ = false;
  ConvertRules rules;
  // A monochrome pattern draws its 0 bits in the text colour and 1 bits in the background.
  rules.monoZeroRgb = ResolveColor(dc, dc ? dc->state.textColor : 0);
  rules.monoOneRgb = ResolveColor(dc, dc ? dc->state.bkColor : 0xFFFFFF);
  Converter c(p, target, dc, rules);
  tile_.assign(std::size_t(w_) * std::size_t(h_), 0);
  std::vector<std::uint32_t> row(static_cast<std::size_t>(w_));
  for (int y = 0; y < h_; ++y) {
    ReadValues(p, y, 0, w_, row.data());
    c.Row(row.data(), tile_.data() + std::size_t(y) * std::size_t(w_), w_);
  }
  return true;
}

bool PatternSource::Row(int x0, int y, int n, std::uint32_t* out, std::uint8_t* mask) const {
  if (solid_) {
    std::fill(out, out + n, value_);
    return false;
  }
  auto mod = [](std::int64_t a, int m) { return int(((a % m) + m) % m); };
  int ty = mod(std::int64_t(y) - origin_.y, h_);
  int tx = mod(std::int64_t(x0) - origin_.x, w_);
  const std::uint32_t* row = tile_.data() + std::size_t(ty) * std::size_t(w_);
  const std::uint8_t* op = opaque_.empty() ? nullptr : opaque_.data() + std::size_t(ty) * 8;
  for (int i = 0; i < n; ++i) {
    out[i] = row[tx];
    if (mask && hasMask_) mask[i] = op[tx];
    if (++tx == w_) tx = 0;
  }
  return hasMask_;
}

// --- Fills
// ---------------------------------------------------------------------------------------------

RectList DrawableRects(const Dc* dc, const Bitmap& target) {
  RECT whole = Rect(0, 0, target.width, target.height);
  if (!dc || !dc->state.clip) return RectList{whole};
  return IntersectRects(*dc->state.clip, whole);
}

void PatternFill(Bitmap& target, const RECT& r, std::uint8_t rop, const PatternSource& pattern) {
  int n = r.right - r.left;
  if (n <= 0 || r.bottom <= r.top) return;
  std::vector<std::uint32_t> p(static_cast<std::size_t>(n)), d(static_cast<std::size_t>(n));
  std::vector<std::uint8_t> mask(std::size_t(n), 1);
  bool usesP = RopUsesPattern(rop), usesD = RopUsesDest(rop);
  std::uint32_t m = target.format.valueMask;
  // A fill that depends neither on the target nor on a tiled pattern repeats its first row.
  bool uniform = !usesD && (!usesP || pattern.Solid()) && target.format.bpp >= 8;
  std::size_t pixelBytes = std::size_t(target.format.bpp / 8);
  for (int y = r.top; y < r.bottom; ++y) {
    if (uniform && y > r.top) {
      std::size_t offset = std::size_t(r.left) * pixelBytes;
      std::memcpy(target.Row(y) + offset, target.Row(r.top) + offset, std::size_t(n) * pixelBytes);
      continue;
    }
    bool masked = false;
    if (usesP) masked = pattern.Row(r.left, y, n, p.data(), mask.data());
    if (usesD || masked) ReadValues(target, y, r.left, n, d.data());
    ApplyRop(rop, p.data(), nullptr, d.data(), n, m);
    if (masked) {
      WriteValuesMasked(target, y, r.left, n, d.data(), mask.data());
    } else {
      WriteValues(target, y, r.left, n, d.data());
    }
  }
}

}  // namespace win::gdi
