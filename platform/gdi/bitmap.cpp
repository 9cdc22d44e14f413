// Bitmaps: DDBs, DIB sections, DIB colour tables, and the DIB transfers GetDIBits, SetDIBits
// and CreateDIBitmap.
#include <algorithm>
#include <cstring>

#include "platform/gdi/internal.h"

namespace win::gdi {
namespace {

// A DIB layout as a BITMAPINFO describes it.
struct DibLayout {
  int width = 0;
  int height = 0;  // absolute
  bool topDown = false;
  DWORD compression = BI_RGB;
  PixelFormat format;
  std::vector<std::uint32_t> colors;
  std::size_t stride = 0;
};

bool ContiguousMask(std::uint32_t m) {
  if (!m) return false;
  while (!(m & 1)) m >>= 1;
  return (m & (m + 1)) == 0;
}

const std::uint8_t* ColorTableOf(const BITMAPINFO* info) {
  const auto* base = reinterpret_cast<const std::uint8_t*>(info);
  std::size_t offset = info->bmiHeader.biSize;
  // A plain 40-byte header with bit fields is followed by the three masks, then the table.
  if (info->bmiHeader.biCompression == BI_BITFIELDS && info->bmiHeader.biSize == 40) offset += 12;
  return base + offset;
}

std::vector<std::uint32_t> ReadColorTable(const BITMAPINFO* info, UINT usage, const Dc* dc,
                                          int bpp) {
  std::size_t size = std::size_t(1) << bpp;
  std::size_t used =
      info->bmiHeader.biClrUsed ? std::min<std::size_t>(info->bmiHeader.biClrUsed, size) : size;
  std::vector<std::uint32_t> colors(size, kRgbBlack);
  const std::uint8_t* table = ColorTableOf(info);
  if (usage == DIB_PAL_COLORS) {
    const Palette* p = dc ? dc->state.palette : nullptr;
    for (std::size_t i = 0; i < used; ++i) {
      WORD index;
      std::memcpy(&index, table + 2 * i, 2);
      if (p && index < p->entries.size()) colors[i] = RgbFromEntry(p->entries[index]);
    }
  } else {
    for (std::size_t i = 0; i < used; ++i) {
      RGBQUAD q;
      std::memcpy(&q, table + 4 * i, 4);
      colors[i] = RgbFromQuad(q);
    }
  }
  return colors;
}

// Validates a BITMAPINFO; allowRle for the transfers that take compressed bits.
std::optional<DibLayout> ParseLayout(const BITMAPINFO* info, UINT usage, const Dc* dc,
                                     bool allowRle) {
  if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) ||
      (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
    return std::nullopt;
  }
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN || h.biPlanes != 1) {
    return std::nullopt;
  }
  DibLayout l;
  l.width = h.biWidth;
  l.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  l.topDown = h.biHeight < 0;
  l.compression = h.biCompression;
  int bpp = h.biBitCount;
  switch (h.biCompression) {
    case BI_RGB:
      if (bpp == 1 || bpp == 4 || bpp == 8) {
        l.format = PixelFormat::Indexed(bpp);
      } else if (bpp == 16) {
        l.format = PixelFormat::Direct(16, 0x7C00, 0x03E0, 0x001F);
      } else if (bpp == 24 || bpp == 32) {
        l.format = PixelFormat::Direct(bpp, 0xFF0000, 0xFF00, 0xFF);
      } else {
        return std::nullopt;
      }
      break;
    case BI_BITFIELDS: {
      if (bpp != 16 && bpp != 32) return std::nullopt;
      DWORD m[3];
      std::memcpy(m, reinterpret_cast<const std::uint8_t*>(info) + 40, sizeof m);
      std::uint64_t limit = std::uint64_t(1) << bpp;
      for (DWORD mask : m) {
        if (!ContiguousMask(mask) || mask >= limit) return std::nullopt;
      }
      if ((m[0] & m[1]) || (m[0] & m[2]) || (m[1] & m[2])) return std::nullopt;
      l.format = PixelFormat::Direct(bpp, m[0], m[1], m[2]);
      break;
    }
    case BI_RLE8:
    case BI_RLE4:
      if (!allowRle || l.topDown || bpp != (h.biCompression == BI_RLE8 ? 8 : 4)) {
        return std::nullopt;
      }
      l.format = PixelFormat::Indexed(bpp);
      break;
    default:
      return std::nullopt;
  }
  // A row beyond 2^31 - 1 bytes leaves the stride 0; the size checks at allocation and at
  // each transfer report it as a lack of memory.
  l.stride = CheckedStride(l.width, bpp, 4).value_or(0);
  if (bpp <= 8) l.colors = ReadColorTable(info, usage, dc, bpp);
  return l;
}

// A bitmap over caller memory: `rows` rows of the layout, the first row at `bits`.
std::unique_ptr<Bitmap> View(const DibLayout& l, void* bits, int rows) {
  auto v = std::make_unique<Bitmap>();
  v->width = l.width;
  v->height = rows;
  v->format = l.format;
  v->dib = true;
  v->topDown = true;
  v->stride = l.stride;
  v->bits = static_cast<std::uint8_t*>(bits);
  v->ownsBits = false;
  v->colors = l.colors;
  return v;
}

// Copies row `from` of a into row `to` of b, converting, over the common width.
void CopyRow(const Bitmap& a, int from, Bitmap& b, int to, Converter& c,
             std::vector<std::uint32_t>& buffer) {
  int n = std::min(a.width, b.width);
  if (c.Identity() && a.format.bpp >= 8) {
    std::memcpy(b.Row(to), a.Row(from), std::size_t(n) * std::size_t(a.format.bpp / 8));
    return;
  }
  buffer.resize(static_cast<std::size_t>(n));
  ReadValues(a, from, 0, n, buffer.data());
  c.Row(buffer.data(), buffer.data(), n);
  WriteValues(b, to, 0, n, buffer.data());
}

HBITMAP Publish(std::unique_ptr<Bitmap> b) {
  if (!b) return nullptr;
  return static_cast<HBITMAP>(Register(std::move(b)));
}

HBITMAP StockBitmapHandle() {
  return static_cast<HBITMAP>(HandleOf(StockBitmap()));
}

std::unique_ptr<Bitmap> NewDdb(int width, int height, int bpp) {
  auto b = NewBitmap(width, height, DdbFormat(bpp), false, true);
  if (b) b->colors = DdbColors(bpp);
  return b;
}

// The colour table a DIB of `bpp` bits read from `b` gets.
std::vector<std::uint32_t> OutputColors(const Bitmap& b, int bpp) {
  if (b.format.kind == FormatKind::Indexed && b.format.bpp == bpp) return b.colors;
  if (bpp == 1) return {kRgbBlack, kRgbWhite};
  if (bpp == 4) return RgbTable(VgaEntries());
  return RgbTable(HalftoneEntries());
}

void WriteColorTable(BITMAPINFO* info, const std::vector<std::uint32_t>& colors, UINT usage) {
  auto* table = reinterpret_cast<std::uint8_t*>(info) + info->bmiHeader.biSize;
  for (std::size_t i = 0; i < colors.size(); ++i) {
    if (usage == DIB_PAL_COLORS) {
      WORD index = WORD(i);
      std::memcpy(table + 2 * i, &index, 2);
    } else {
      RGBQUAD q = QuadFromRgb(colors[i]);
      std::memcpy(table + 4 * i, &q, 4);
    }
  }
}

// DIB scan line s of a layout `topDown` over `height` rows is bitmap row:
int BitmapRowOfScan(const Bitmap& b, bool topDown, int scan) {
  return topDown ? scan : b.height - 1 - scan;
}

Bitmap* FindBitmap(HBITMAP bitmap) {
  auto* b = FindAs<Bitmap>(bitmap);
  if (!b) SetError(ERROR_INVALID_HANDLE);
  return b;
}

}  // namespace
}  // namespace win::gdi

namespace win {
using namespace gdi;

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (width < 0 || height < 0 || planes != 1 ||
      (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
       bitsPerPixel != 24 && bitsPerPixel != 32)) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (width == 0 || height == 0) return StockBitmapHandle();
  auto b = NewDdb(width, height, int(bitsPerPixel));
  if (!b) return nullptr;
  if (bits) std::memcpy(b->bits, bits, b->stride * std::size_t(height));
  return Publish(std::move(b));
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  Dc* d = FindAs<Dc>(dc);
  if (!d) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (width < 0 || height < 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (width == 0 || height == 0) return StockBitmapHandle();
  const Bitmap* selected = d->Surface();
  if (selected && selected->dib) {
    auto b = NewBitmap(width, height, selected->format, true, selected->topDown);
    if (!b) return nullptr;
    b->colors = selected->colors;
    b->header = selected->header;
    b->header.biWidth = width;
    b->header.biHeight = selected->topDown ? -height : height;
    b->header.biSizeImage = DWORD(b->stride * std::size_t(height));
    return Publish(std::move(b));
  }
  int bpp = selected ? selected->format.bpp : ScreenDepth();
  return Publish(NewDdb(width, height, bpp));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
  if (bits) *bits = nullptr;
  const Dc* d = dc ? FindAs<Dc>(dc) : nullptr;
  auto layout = ParseLayout(info, usage, d, false);
  if (!layout || section) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto b = NewBitmap(layout->width, layout->height, layout->format, true, layout->topDown);
  if (!b) return nullptr;
  b->colors = std::move(layout->colors);
  b->header = info->bmiHeader;
  b->header.biSize = sizeof(BITMAPINFOHEADER);
  b->header.biSizeImage = DWORD(b->stride * std::size_t(b->height));
  if (bits) *bits = b->bits;
  return Publish(std::move(b));
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT scanLines, void* bits, BITMAPINFO* info,
              UINT usage) {
  Dc* d = FindAs<Dc>(dc);
  Bitmap* b = FindBitmap(bitmap);
  if (!d || !b || !info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
    SetError(!d || !b ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return 0;
  }
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (!bits && h.biBitCount == 0) {
    // Describe the bitmap in its own format.
    h.biWidth = b->width;
    h.biHeight = b->dib ? b->header.biHeight : b->height;
    h.biPlanes = 1;
    h.biBitCount = WORD(b->format.bpp);
    bool fields =
        b->format.kind == FormatKind::Direct && b->format.bpp == 16 && b->format.masks[0] != 0x7C00;
    fields = fields || (b->format.kind == FormatKind::Direct && b->format.bpp == 32 &&
                        b->format.masks[0] != 0xFF0000);
    h.biCompression = fields ? BI_BITFIELDS : BI_RGB;
    if (fields) std::memcpy(reinterpret_cast<std::uint8_t*>(info) + 40, b->format.masks, 12);
    h.biSizeImage = DWORD(CheckedImageSize(b->width, b->height, b->format.bpp, 4).value_or(0));
    h.biClrUsed = 0;
    h.biClrImportant = 0;
    return b->height;
  }
  if (h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32)) {
    // Zero masks ask for the bitmap's own (or the usual ones for that depth).
    auto* masks = reinterpret_cast<std::uint8_t*>(info) + 40;
    DWORD m[3];
    std::memcpy(m, masks, sizeof m);
    if (!m[0] && !m[1] && !m[2]) {
      if (b->format.kind == FormatKind::Direct && b->format.bpp == h.biBitCount) {
        std::memcpy(m, b->format.masks, sizeof m);
      } else if (h.biBitCount == 16) {
        m[0] = 0xF800, m[1] = 0x07E0, m[2] = 0x001F;
      } else {
        m[0] = 0xFF0000, m[1] = 0xFF00, m[2] = 0xFF;
      }
      std::memcpy(masks, m, sizeof m);
    }
  }
  auto layout = ParseLayout(info, usage, d, false);
  if (!layout) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto size = CheckedImageSize(layout->width, layout->height, layout->format.bpp, 4);
  if (!size) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  h.biSizeImage = DWORD(*size);
  if (layout->format.bpp <= 8) {
    layout->colors = OutputColors(*b, layout->format.bpp);
    WriteColorTable(info, layout->colors, usage);
  }
  if (!bits) return layout->height;
  if (startScan >= UINT(layout->height)) return 0;
  int lines = int(std::min<UINT>(scanLines, UINT(layout->height) - startScan));
  auto view = View(*layout, bits, lines);
  ConvertRules rules;  // a monochrome bitmap reads as black and white
  Converter c(*b, *view, nullptr, rules);
  std::vector<std::uint32_t> buffer;
  int copied = 0;
  for (int k = 0; k < lines; ++k) {
    int y = BitmapRowOfScan(*b, layout->topDown, int(startScan) + k);
    if (y < 0 || y >= b->height) continue;
    CopyRow(*b, y, *view, k, c, buffer);
    ++copied;
  }
  return copied;
}

namespace {

// Decodes RLE bits and applies the written pixels to `target` rows of scans
// [startScan, startScan + lines).
int ApplyRle(Bitmap& target, const Dc* dc, const DibLayout& l, const BITMAPINFOHEADER& h,
             const void* bits, UINT startScan, int lines) {
  std::vector<std::uint8_t> indexes, written;
  // The compressed size is the only bound on reading; without it the data cannot be trusted.
  if (h.biSizeImage == 0 || !DecodeRle(static_cast<const std::uint8_t*>(bits), h.biSizeImage,
                                       l.format.bpp, l.width, l.height, indexes, written)) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Encoder e(target, dc);
  std::vector<std::uint32_t> mapped(l.colors.size());
  for (std::size_t i = 0; i < l.colors.size(); ++i) mapped[i] = e.Encode(l.colors[i]);
  std::vector<std::uint32_t> values(std::size_t(l.width));
  int n = std::min(l.width, target.width);
  int copied = 0;
  for (int k = 0; k < lines; ++k) {
    int scan = int(startScan) + k;
    int y = BitmapRowOfScan(target, false, scan);
    int row = l.height - 1 - scan;  // decoded rows are top-down
    if (y < 0 || y >= target.height) continue;
    const std::uint8_t* idx = indexes.data() + std::size_t(row) * std::size_t(l.width);
    const std::uint8_t* wr = written.data() + std::size_t(row) * std::size_t(l.width);
    for (int x = 0; x < n; ++x) values[std::size_t(x)] = mapped[idx[x] % mapped.size()];
    WriteValuesMasked(target, y, 0, n, values.data(), wr);
    ++copied;
  }
  return copied;
}

int SetBits(Bitmap& b, const Dc* dc, UINT startScan, UINT scanLines, const void* bits,
            const BITMAPINFO* info, UINT usage) {
  auto layout = ParseLayout(info, usage, dc, true);
  if (!layout || !bits) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!CheckedImageSize(layout->width, layout->height, layout->format.bpp, 4)) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (startScan >= UINT(layout->height)) return 0;
  int lines = int(std::min<UINT>(scanLines, UINT(layout->height) - startScan));
  if (layout->compression == BI_RLE8 || layout->compression == BI_RLE4) {
    return ApplyRle(b, dc, *layout, info->bmiHeader, bits, startScan, lines);
  }
  auto view = View(*layout, const_cast<void*>(bits), lines);
  Converter c(*view, b, dc, ConvertRules{});
  std::vector<std::uint32_t> buffer;
  int copied = 0;
  for (int k = 0; k < lines; ++k) {
    int y = BitmapRowOfScan(b, layout->topDown, int(startScan) + k);
    if (y < 0 || y >= b.height) continue;
    CopyRow(*view, k, b, y, c, buffer);
    ++copied;
  }
  return copied;
}

}  // namespace

int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT scanLines, const void* bits,
              const BITMAPINFO* info, UINT usage) {
  const Dc* d = dc ? FindAs<Dc>(dc) : nullptr;
  Bitmap* b = FindBitmap(bitmap);
  if (!b) return 0;
  return SetBits(*b, d, startScan, scanLines, bits, info, usage);
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
  Dc* d = dc ? FindAs<Dc>(dc) : nullptr;
  if ((dc && !d) || !header || header->biSize < sizeof(BITMAPINFOHEADER) || header->biWidth < 0) {
    SetError(dc && !d ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int width = header->biWidth;
  if (header->biHeight == INT32_MIN) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  // The format CreateCompatibleBitmap would give, but always a DDB; no DC means the screen.
  const Bitmap* selected = d ? d->Surface() : nullptr;
  int bpp = selected && !selected->dib ? selected->format.bpp : ScreenDepth();
  HBITMAP handle = nullptr;
  if (width == 0 || height == 0) {
    handle = StockBitmapHandle();
  } else {
    handle = Publish(NewDdb(width, height, bpp));
  }
  if (!handle || !(init & CBM_INIT) || !bits) return handle;
  Bitmap* b = FindAs<Bitmap>(handle);
  if (b->stock) return handle;
  if (SetBits(*b, d, 0, UINT(height), bits, info, usage) == 0) {
    DeleteObject(handle);
    return nullptr;
  }
  return handle;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
  Dc* d = FindAs<Dc>(dc);
  Bitmap* b = d ? d->Surface() : nullptr;
  if (!b || !b->dib || b->format.kind != FormatKind::Indexed || !colors) return 0;
  if (start >= b->colors.size()) return 0;
  UINT n = std::min<UINT>(count, UINT(b->colors.size()) - start);
  for (UINT i = 0; i < n; ++i) colors[i] = QuadFromRgb(b->colors[start + i]);
  return n;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
  Dc* d = FindAs<Dc>(dc);
  Bitmap* b = d ? d->Surface() : nullptr;
  if (!b || !b->dib || b->format.kind != FormatKind::Indexed || !colors) return 0;
  if (start >= b->colors.size()) return 0;
  UINT n = std::min<UINT>(count, UINT(b->colors.size()) - start);
  for (UINT i = 0; i < n; ++i) b->colors[start + i] = RgbFromQuad(colors[i]);
  return n;
}

}  // namespace win
