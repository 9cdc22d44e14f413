// BMP data: the reader and writer of uncompressed BMP files (core and Windows headers,
// 1 to 32 bits, BI_RGB and BI_BITFIELDS). Run-length data is not read yet.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

struct BmpCodec {
  static void Read(TBitmap& bitmap, TStream& stream, std::int64_t size);
  static void Write(TBitmap& bitmap, TStream& stream, bool withLength);
};

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kLargestHeader = 124;

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(strings::kInvalidBitmap);
}

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | p[1] << 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}

bool SupportedBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

void BmpCodec::Read(TBitmap& bitmap, TStream& stream, std::int64_t size) {
  bitmap.FreeContext();
  const std::int64_t start = stream.Position();
  if (size <= 0) {
    bitmap.NewImage(nullptr, nullptr, win::DIBSECTION{}, false);
    bitmap.SetPaletteModified(false);
    bitmap.NotifyChange();
    return;
  }

  std::uint8_t fileHeader[kFileHeaderSize];
  stream.ReadBuffer(fileHeader, sizeof fileHeader);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') Invalid();

  std::uint8_t raw[kLargestHeader] = {};
  stream.ReadBuffer(raw, 4);
  const std::uint32_t headerSize = Le32(raw);
  win::BITMAPINFOHEADER h{};
  bool os2 = false;
  win::DWORD masks[3] = {0, 0, 0};
  if (headerSize == kCoreHeaderSize) {
    stream.ReadBuffer(raw + 4, kCoreHeaderSize - 4);
    h.biWidth = Le16(raw + 4);
    h.biHeight = Le16(raw + 6);
    h.biPlanes = Le16(raw + 8);
    h.biBitCount = Le16(raw + 10);
    os2 = true;
  } else if (headerSize >= kInfoHeaderSize && headerSize <= kLargestHeader) {
    stream.ReadBuffer(raw + 4, std::int32_t(headerSize - 4));
    h.biWidth = std::int32_t(Le32(raw + 4));
    h.biHeight = std::int32_t(Le32(raw + 8));
    h.biPlanes = Le16(raw + 12);
    h.biBitCount = Le16(raw + 14);
    h.biCompression = Le32(raw + 16);
    h.biSizeImage = Le32(raw + 20);
    h.biXPelsPerMeter = std::int32_t(Le32(raw + 24));
    h.biYPelsPerMeter = std::int32_t(Le32(raw + 28));
    h.biClrUsed = Le32(raw + 32);
    h.biClrImportant = Le32(raw + 36);
    if (headerSize >= 52)
      for (int i = 0; i < 3; ++i) masks[i] = Le32(raw + 40 + 4 * i);
  } else {
    Invalid();
  }
  h.biSize = kInfoHeaderSize;

  if (h.biCompression != win::BI_RGB && h.biCompression != win::BI_BITFIELDS) Invalid();
  if (h.biPlanes != 1 || !SupportedBitCount(h.biBitCount)) Invalid();
  if (h.biCompression == win::BI_BITFIELDS && h.biBitCount != 16 && h.biBitCount != 32) Invalid();
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<std::int32_t>::min())
    Invalid();

  std::int64_t consumed = kFileHeaderSize + headerSize;
  if (headerSize == kInfoHeaderSize && h.biCompression == win::BI_BITFIELDS) {
    std::uint8_t m[12];
    stream.ReadBuffer(m, sizeof m);
    for (int i = 0; i < 3; ++i) masks[i] = Le32(m + 4 * i);
    consumed += sizeof m;
  }

  win::BITMAPINFO info{};
  info.bmiHeader = h;
  std::uint32_t colors = h.biClrUsed;
  if (colors == 0 && h.biBitCount <= 8) colors = 1u << h.biBitCount;
  if (colors > 256) Invalid();
  const std::uint32_t entrySize = os2 ? 3 : 4;
  for (std::uint32_t i = 0; i < colors; ++i) {
    std::uint8_t e[4] = {};
    stream.ReadBuffer(e, std::int32_t(entrySize));
    info.bmiColors[i] = {e[0], e[1], e[2], 0};
  }
  consumed += std::int64_t(colors) * entrySize;
  if (h.biBitCount <= 8) info.bmiHeader.biClrUsed = colors;
  if (h.biCompression == win::BI_BITFIELDS) std::memcpy(info.bmiColors, masks, sizeof masks);

  const std::int64_t rowBytes = TBitmap::BytesPerRow(h.biWidth, h.biBitCount);
  const std::int64_t fullSize = rowBytes * std::abs(std::int64_t(h.biHeight));
  if (rowBytes <= 0 || fullSize > std::numeric_limits<std::int32_t>::max()) Invalid();
  std::int64_t toRead = h.biSizeImage != 0 ? std::int64_t(h.biSizeImage) : fullSize;
  if (toRead > fullSize) toRead = fullSize;
  if (toRead > size - consumed) toRead = std::max<std::int64_t>(0, size - consumed);

  win::HDC screen = win::GetDC(nullptr);
  void* bits = nullptr;
  win::HBITMAP handle =
      win::CreateDIBSection(screen, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
  win::ReleaseDC(nullptr, screen);
  if (handle == nullptr || bits == nullptr) {
    if (handle != nullptr) win::DeleteObject(handle);
    Invalid();
  }
  win::HPALETTE palette = nullptr;
  try {
    stream.ReadBuffer(bits, std::int32_t(toRead));
    if (h.biBitCount > 8 && h.biCompression == win::BI_RGB && colors > 0) {
      win::LOGPALETTE lp{};
      lp.palVersion = 0x300;
      lp.palNumEntries = win::WORD(colors);
      for (std::uint32_t i = 0; i < colors; ++i)
        lp.palPalEntry[i] = {info.bmiColors[i].rgbRed, info.bmiColors[i].rgbGreen,
                             info.bmiColors[i].rgbBlue, 0};
      palette = win::CreatePalette(&lp);
    }
  } catch (...) {
    win::DeleteObject(handle);
    throw;
  }
  stream.SetPosition(start + size);

  win::DIBSECTION d{};
  win::GetObjectA(handle, sizeof d, &d);
  d.dsBmih.biXPelsPerMeter = h.biXPelsPerMeter;
  d.dsBmih.biYPelsPerMeter = h.biYPelsPerMeter;
  d.dsBmih.biClrUsed = h.biClrUsed;
  d.dsBmih.biClrImportant = h.biClrImportant;
  bitmap.NewImage(handle, palette, d, os2);
  bitmap.SetPaletteModified(palette != nullptr);
  bitmap.NotifyChange();
}

void BmpCodec::Write(TBitmap& bitmap, TStream& stream, bool withLength) {
  if (bitmap.IsEmpty()) {
    if (withLength) {
      std::uint8_t zero[4] = {};
      stream.WriteBuffer(zero, 4);
    }
    return;
  }
  TBitmapImage& img = *bitmap.image_;
  if (img.saveStream) {
    TMemoryStream& saved = *img.saveStream;
    const auto length = std::int32_t(saved.Size());
    if (withLength) {
      std::uint8_t n[4];
      Put32(n, std::uint32_t(length));
      stream.WriteBuffer(n, 4);
    }
    stream.WriteBuffer(saved.Memory(), length);
    return;
  }

  bitmap.HandleNeeded();
  bitmap.DIBNeeded();
  const TBitmapImage& image = *bitmap.image_;
  const win::BITMAPINFOHEADER& h = image.dib.dsBmih;
  win::GdiFlush();

  win::RGBQUAD colors[256] = {};
  std::uint32_t colorCount = 0;
  if (h.biBitCount <= 8 && image.dibHandle != nullptr) {
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    win::HGDIOBJ old = win::SelectObject(dc, image.dibHandle);
    if (old != nullptr) {
      colorCount = win::GetDIBColorTable(dc, 0, 256, colors);
      win::SelectObject(dc, old);
    }
    win::DeleteDC(dc);
    if (h.biClrUsed != 0 && h.biClrUsed < colorCount) colorCount = h.biClrUsed;
  }
  const bool bitfields = h.biCompression == win::BI_BITFIELDS && h.biBitCount > 8;
  const bool os2 = image.os2Format && h.biBitCount <= 24 && !bitfields;
  const std::uint32_t tableEntries =
      h.biBitCount <= 8 ? (os2 ? 1u << h.biBitCount : colorCount) : 0;
  const std::uint32_t infoSize = os2 ? kCoreHeaderSize + 3 * tableEntries
                                     : kInfoHeaderSize + 4 * tableEntries + (bitfields ? 12 : 0);
  const std::int64_t imageSize =
      std::int64_t(TBitmap::BytesPerRow(h.biWidth, h.biBitCount)) * std::abs(h.biHeight);
  const std::int64_t fileSize = kFileHeaderSize + infoSize + imageSize;
  if (fileSize > std::numeric_limits<std::int32_t>::max()) throw EWriteError(strings::kWriteError);

  std::uint8_t head[kFileHeaderSize + kInfoHeaderSize + 12] = {};
  std::uint8_t* p = head;
  if (withLength) {
    std::uint8_t n[4];
    Put32(n, std::uint32_t(fileSize));
    stream.WriteBuffer(n, 4);
  }
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, std::uint32_t(fileSize));
  Put32(p + 10, kFileHeaderSize + infoSize);
  p += kFileHeaderSize;
  if (os2) {
    Put32(p, kCoreHeaderSize);
    Put16(p + 4, std::uint16_t(h.biWidth));
    Put16(p + 6, std::uint16_t(h.biHeight));
    Put16(p + 8, 1);
    Put16(p + 10, h.biBitCount);
    p += kCoreHeaderSize;
  } else {
    Put32(p, kInfoHeaderSize);
    Put32(p + 4, std::uint32_t(h.biWidth));
    Put32(p + 8, std::uint32_t(h.biHeight));
    Put16(p + 12, 1);
    Put16(p + 14, h.biBitCount);
    Put32(p + 16, bitfields ? win::BI_BITFIELDS : win::BI_RGB);
    Put32(p + 20, std::uint32_t(imageSize));
    Put32(p + 24, std::uint32_t(h.biXPelsPerMeter));
    Put32(p + 28, std::uint32_t(h.biYPelsPerMeter));
    Put32(p + 32, tableEntries);
    Put32(p + 36, h.biBitCount <= 8 ? h.biClrImportant : 0);
    p += kInfoHeaderSize;
    if (bitfields) {
      for (int i = 0; i < 3; ++i) Put32(p + 4 * i, image.dib.dsBitfields[i]);
      p += 12;
    }
  }
  stream.WriteBuffer(head, std::int32_t(p - head));
  for (std::uint32_t i = 0; i < tableEntries; ++i) {
    const std::uint8_t e[4] = {colors[i].rgbBlue, colors[i].rgbGreen, colors[i].rgbRed, 0};
    stream.WriteBuffer(e, std::int32_t(os2 ? 3 : 4));
  }
  stream.WriteBuffer(image.dib.dsBm.bmBits, std::int32_t(imageSize));
}

void TBitmap::ReadFromStream(TStream& stream) {
  BmpCodec::Read(*this, stream, stream.Size() - stream.Position());
}

void TBitmap::ReadStoredData(TStream& stream) {
  std::uint8_t n[4];
  stream.ReadBuffer(n, 4);
  BmpCodec::Read(*this, stream, std::int32_t(Le32(n)));
}

void TBitmap::WriteToStream(TStream& stream) {
  BmpCodec::Write(*this, stream, false);
}

void TBitmap::WriteStoredData(TStream& stream) {
  BmpCodec::Write(*this, stream, true);
}
