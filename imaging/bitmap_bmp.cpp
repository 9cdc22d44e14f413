// BMP data: the reader and writer of TBitmap's files, stored "Data" and bitmap resources.
//
// Accepted: OS/2 core headers (12 bytes) and Windows headers of 16 bytes or more (40, 108 and
// 124 are the usual ones; only the first 40 bytes and, from 52 bytes on, the three masks are
// used), 1, 4, 8, 16, 24 and 32 bits, BI_RGB and BI_BITFIELDS read straight into a DIB
// section, and anything else (BI_RLE8, BI_RLE4) handed to the platform's CreateDIBitmap, which
// decodes it into a device-dependent bitmap; the compressed bytes are kept as the image's saved
// source stream and written back unchanged until the image is changed.
//
// Every count in the data is distrusted. The reader works inside a window of the stated
// length and never reads past it:
// - the headers and the colour table must be complete, else EReadError "Stream read error"
//   (the data or the stream ends too early);
// - pixel bytes may be missing at the end: the rows they belong to stay zero;
// - a structure that makes no sense (no "BM", planes not 1, a bit count other than 1, 4, 8, 16,
//   24 or 32, no area, an image beyond 2^31 - 1 bytes) raises EInvalidGraphic "Bitmap image is
//   not valid" before anything is allocated;
// - a combination the platform refuses (bad bit-field masks, an unknown compression, run-length
//   data that is top-down or of the wrong depth) raises EOSError with the platform's error code,
//   or EInvalidGraphic when it gives none.
// The bitmap keeps its previous image on every failure.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/gdi_guards.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

struct BmpCodec {
  // Whether the data starts with the 14-byte file header (a file or stored data) or directly
  // with the info header (a bitmap resource).
  enum class Layout : std::uint8_t { File, Resource };

  static void Read(TBitmap& bitmap, TStream& stream, std::int64_t size, Layout layout);
  static void Write(TBitmap& bitmap, TStream& stream, bool withLength);
};

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
// The smallest Windows-style header that still holds the bit count.
constexpr std::uint32_t kShortestHeader = 16;
// Headers with the masks inside (version 2 and later) are at least this long.
constexpr std::uint32_t kMaskedHeaderSize = 52;
constexpr std::uint32_t kLargestHeader = 124;
constexpr std::uint32_t kMaskBytes = 12;
constexpr std::int64_t kMaxImageBytes = std::numeric_limits<std::int32_t>::max();

constexpr win::DWORD kMask565[3] = {0xF800, 0x07E0, 0x001F};
constexpr win::DWORD kMask888[3] = {0xFF0000, 0x00FF00, 0x0000FF};

[[noreturn]] void Invalid() {
  throw EInvalidGraphic(strings::kInvalidBitmap);
}

[[noreturn]] void ShortData() {
  throw EReadError(strings::kReadError);
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

bool Compressed(win::DWORD compression) {
  return compression != win::BI_RGB && compression != win::BI_BITFIELDS;
}

// Reads a window of a stream, keeping the position as an offset into the BMP data (a resource
// counts as if a file header preceded it), so the file header's bits offset can be compared.
class WindowReader {
 public:
  WindowReader(TStream& stream, std::int64_t position, std::int64_t end)
      : stream_(&stream), position_(position), end_(end) {}

  std::int64_t Position() const { return position_; }
  std::int64_t End() const { return end_; }
  std::int64_t Remaining() const { return end_ - position_; }

  void Read(void* buffer, std::int64_t count) {
    if (count < 0 || count > Remaining()) ShortData();
    stream_->ReadBuffer(buffer, std::int32_t(count));
    position_ += count;
  }
  void Skip(std::int64_t count) {
    if (count < 0 || count > Remaining()) ShortData();
    if (count != 0) stream_->Seek(count, TSeekOrigin::soCurrent);
    position_ += count;
  }
  // Everything from here to the end of the window goes to target.
  void CopyRest(TStream& target) {
    if (Remaining() > 0) target.CopyFrom(*stream_, Remaining());
    position_ = end_;
  }
  // Reading goes on from another stream positioned at the same offset of the same data.
  void Switch(TStream& stream, std::int64_t position) {
    stream_ = &stream;
    position_ = position;
  }

 private:
  TStream* stream_;
  std::int64_t position_;
  std::int64_t end_;
};

// The info header as read, widened to a 40-byte header.
struct InfoHeader {
  win::BITMAPINFOHEADER h{};
  win::DWORD masks[3] = {0, 0, 0};
  std::uint32_t size = 0;  // as stated in the data
  bool os2 = false;
};

// Reads the info header size and the header (step 3). The first 124 bytes are kept in raw for
// a saved stream; a longer header is skipped over later.
InfoHeader ReadInfoHeader(WindowReader& in, std::uint8_t (&raw)[kLargestHeader]) {
  InfoHeader info;
  in.Read(raw, 4);
  info.size = Le32(raw);
  win::BITMAPINFOHEADER& h = info.h;
  if (info.size == kCoreHeaderSize) {
    in.Read(raw + 4, kCoreHeaderSize - 4);
    h.biWidth = Le16(raw + 4);
    h.biHeight = Le16(raw + 6);
    h.biPlanes = Le16(raw + 8);
    h.biBitCount = Le16(raw + 10);
    info.os2 = true;
  } else {
    if (info.size < kShortestHeader) Invalid();
    in.Read(raw + 4, std::min(info.size, kLargestHeader) - 4);
    // Fields a short header leaves out stay zero.
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
    if (info.size >= kMaskedHeaderSize)
      for (int i = 0; i < 3; ++i) info.masks[i] = Le32(raw + 40 + 4 * i);
  }
  h.biSize = kInfoHeaderSize;
  return info;
}

// Entries in the colour table: colours used, or the full table at 8 bits or fewer. A count
// above what the bit count can index is cut to that (the rest could never be used).
std::uint32_t ColorTableEntries(const win::BITMAPINFOHEADER& h) {
  if (h.biBitCount > 8) return h.biClrUsed;
  const std::uint32_t full = 1u << h.biBitCount;
  return h.biClrUsed == 0 ? full : std::min(h.biClrUsed, full);
}

bool MasksFollowHeader(const InfoHeader& info) {
  return info.size == kInfoHeaderSize && info.h.biCompression == win::BI_BITFIELDS &&
         (info.h.biBitCount == 16 || info.h.biBitCount == 32);
}

win::HPALETTE PaletteFromTable(const win::RGBQUAD* colors, std::uint32_t count) {
  if (count == 0) return nullptr;
  win::LOGPALETTE lp{};
  lp.palVersion = 0x300;
  lp.palNumEntries = win::WORD(count);
  for (std::uint32_t i = 0; i < count; ++i)
    lp.palPalEntry[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  return win::CreatePalette(&lp);
}

using guard::GdiObject;
using ScreenContext = guard::ScreenDC;

// A creation the platform refused: its error code when it gives one.
[[noreturn]] void CreationFailed() {
  const win::DWORD code = win::GetLastError();
  if (code != 0) RaiseOSError(code);
  Invalid();
}

}  // namespace

void BmpCodec::Read(TBitmap& bitmap, TStream& stream, std::int64_t size, Layout layout) {
  // 1. Nothing to read: an empty image.
  bitmap.FreeContext();
  if (size <= 0) {
    bitmap.NewImage(nullptr, nullptr, win::DIBSECTION{}, false);
    bitmap.SetPaletteModified(false);
    bitmap.NotifyChange();
    return;
  }
  const std::int64_t start = stream.Position();
  const std::int64_t base = layout == Layout::File ? 0 : kFileHeaderSize;
  WindowReader in(stream, base, base + size);

  // 2. The file header; the bits offset is used only when it is plausible (below).
  std::uint8_t fileHeader[kFileHeaderSize] = {};
  std::int64_t bitsOffset = 0;
  if (layout == Layout::File) {
    in.Read(fileHeader, kFileHeaderSize);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') Invalid();
    bitsOffset = Le32(fileHeader + 10);
  }

  // 3. The info header.
  std::uint8_t raw[kLargestHeader] = {};
  InfoHeader info = ReadInfoHeader(in, raw);
  win::BITMAPINFOHEADER& h = info.h;
  const std::uint32_t kept = info.os2 ? kCoreHeaderSize : std::min(info.size, kLargestHeader);
  const std::uint32_t entrySize = info.os2 ? 3 : 4;
  const std::uint32_t entries = ColorTableEntries(h);
  const std::int64_t tableBytes = std::int64_t(entries) * entrySize;

  // 4. Compressed data is kept whole as the saved source stream, and read on from that copy.
  std::unique_ptr<TMemoryStream> saved;
  if (Compressed(h.biCompression)) {
    saved = std::make_unique<TMemoryStream>();
    if (layout == Layout::Resource) {
      // A resource has no file header: make one, so the saved bytes are a BMP file.
      const std::int64_t offset = kFileHeaderSize + std::int64_t(info.size) + tableBytes;
      fileHeader[0] = 'B';
      fileHeader[1] = 'M';
      Put32(fileHeader + 2, std::uint32_t(std::min<std::int64_t>(in.End(), UINT32_MAX)));
      Put32(fileHeader + 10, std::uint32_t(std::min<std::int64_t>(offset, UINT32_MAX)));
    }
    saved->WriteBuffer(fileHeader, kFileHeaderSize);
    saved->WriteBuffer(raw, std::int32_t(kept));
    const std::int64_t resume = in.Position();
    in.CopyRest(*saved);
    saved->SetPosition(resume);
    in.Switch(*saved, resume);
  }
  if (info.size > kept) in.Skip(std::int64_t(info.size) - kept);

  // 5. Checks that need nothing allocated.
  if (h.biPlanes != 1 || !SupportedBitCount(h.biBitCount)) Invalid();
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<std::int32_t>::min())
    Invalid();
  const std::int64_t rowBytes = TBitmap::BytesPerRow(h.biWidth, h.biBitCount);
  const std::int64_t fullSize = rowBytes * std::abs(std::int64_t(h.biHeight));
  if (fullSize > kMaxImageBytes) Invalid();

  // 6. Masks after a plain 40-byte header.
  if (MasksFollowHeader(info)) {
    std::uint8_t m[kMaskBytes];
    in.Read(m, kMaskBytes);
    for (int i = 0; i < 3; ++i) info.masks[i] = Le32(m + 4 * i);
  }

  // 7. The colour table; entries past 256 are passed over.
  win::BITMAPINFO bmi{};
  const std::uint32_t colors = std::min<std::uint32_t>(entries, 256);
  if (tableBytes > in.Remaining()) ShortData();
  for (std::uint32_t i = 0; i < colors; ++i) {
    std::uint8_t e[4] = {};
    in.Read(e, entrySize);
    bmi.bmiColors[i] = {e[0], e[1], e[2], 0};
  }
  in.Skip(tableBytes - std::int64_t(colors) * entrySize);

  // The bits start at the offset the file header names when that lies at or after the end of
  // the colour table and inside the data; otherwise right after the table.
  if (bitsOffset > in.Position() && bitsOffset < in.End()) in.Skip(bitsOffset - in.Position());

  // 8. How many bytes of bits to read.
  std::int64_t imageSize = h.biSizeImage;
  if (imageSize == 0) imageSize = saved ? in.Remaining() : fullSize;
  if (!saved) imageSize = std::min(imageSize, fullSize);
  const std::int64_t toRead = std::min(imageSize, in.Remaining());

  bmi.bmiHeader = h;
  if (h.biBitCount <= 8) {
    bmi.bmiHeader.biClrUsed = colors;
  } else if (h.biCompression == win::BI_BITFIELDS) {
    // The masks take the place of the first three colour entries.
    std::memcpy(bmi.bmiColors, info.masks, sizeof info.masks);
  }

  // 9. The native bitmap.
  ScreenContext screen;
  GdiObject<> handle;
  GdiObject<> palette;
  if (!saved) {
    void* bits = nullptr;
    bmi.bmiHeader.biSizeImage = 0;
    win::SetLastError(0);
    handle.Reset(win::CreateDIBSection(screen.Get(), &bmi, win::DIB_RGB_COLORS, &bits, nullptr, 0));
    if (handle.Get() == nullptr || bits == nullptr) CreationFailed();
    in.Read(bits, toRead);
    // 10. A colour table beside true-colour pixels is the image's palette.
    if (h.biBitCount > 8 && colors > 0) {
      palette.Reset(PaletteFromTable(bmi.bmiColors, colors));
      if (palette.Get() == nullptr) RaiseOutOfResources();
    }
  } else {
    // The decoder trusts biSizeImage as the length of the buffer: it is exactly that.
    std::vector<std::uint8_t> bits(std::size_t(std::max<std::int64_t>(toRead, 1)));
    in.Read(bits.data(), toRead);
    bmi.bmiHeader.biSizeImage = win::DWORD(toRead);
    palette.Reset(PaletteFromTable(bmi.bmiColors, colors));
    if (colors > 0 && palette.Get() == nullptr) RaiseOutOfResources();
    win::DWORD error = 0;
    {
      const guard::SelectedPalette selected(screen.Get(), static_cast<win::HPALETTE>(palette.Get()),
                                            false);
      win::SetLastError(0);
      handle.Reset(win::CreateDIBitmap(screen.Get(), &bmi.bmiHeader, win::CBM_INIT, bits.data(),
                                       &bmi, win::DIB_RGB_COLORS));
      error = win::GetLastError();
    }
    if (handle.Get() == nullptr) {
      win::SetLastError(error);
      CreationFailed();
    }
  }
  stream.SetPosition(start + size);

  // 11. Install the new image.
  win::DIBSECTION d{};
  if (!saved) {
    win::GetObjectA(handle.Get(), sizeof d, &d);
  } else {
    win::GetObjectA(handle.Get(), sizeof(win::BITMAP), &d.dsBm);
    d.dsBm.bmBits = nullptr;
  }
  d.dsBmih.biXPelsPerMeter = h.biXPelsPerMeter;
  d.dsBmih.biYPelsPerMeter = h.biYPelsPerMeter;
  d.dsBmih.biClrUsed = h.biClrUsed;
  d.dsBmih.biClrImportant = h.biClrImportant;
  const bool hasPalette = palette.Get() != nullptr;
  bitmap.NewImage(static_cast<win::HBITMAP>(handle.Get()),
                  static_cast<win::HPALETTE>(palette.Get()), d, info.os2, std::move(saved));
  handle.Release();
  palette.Release();
  bitmap.SetPaletteModified(hasPalette);
  bitmap.NotifyChange();
}

namespace {

// The colour table of a DIB section, read where it is selected (a bitmap can be selected in one
// context only).
std::uint32_t SectionColors(TBitmapCanvas* canvas, win::HBITMAP dib, win::RGBQUAD* colors) {
  if (canvas != nullptr && canvas->SelectedBitmap() == dib && canvas->CurrentHandle() != nullptr)
    return win::GetDIBColorTable(canvas->CurrentHandle(), 0, 256, colors);
  const guard::MemoryDC dc;
  const guard::SelectedObject selected(dc.Get(), dib);
  return selected.Selected() ? win::GetDIBColorTable(dc.Get(), 0, 256, colors) : 0;
}

void WriteLength(TStream& stream, std::uint32_t length) {
  std::uint8_t n[4];
  Put32(n, length);
  stream.WriteBuffer(n, 4);
}

}  // namespace

void BmpCodec::Write(TBitmap& bitmap, TStream& stream, bool withLength) {
  if (bitmap.IsEmpty()) {
    if (withLength) WriteLength(stream, 0);
    return;
  }
  // 1. Compressed data as it was read.
  if (TMemoryStream* saved = bitmap.image_->SaveStream()) {
    const auto length = std::int32_t(saved->Size());
    if (withLength) WriteLength(stream, std::uint32_t(length));
    stream.WriteBuffer(saved->Memory(), length);
    return;
  }

  // 2. The pixels as a DIB: a device-dependent image gets a DIB copy of its own depth.
  bitmap.HandleNeeded();
  bitmap.DIBNeeded();
  const TBitmapImage& image = *bitmap.image_;
  const win::DIBSECTION& dib = image.Description();
  const win::BITMAPINFOHEADER& h = dib.dsBmih;
  if (image.DibHandle() == nullptr || dib.dsBm.bmBits == nullptr) {
    if (withLength) WriteLength(stream, 0);
    return;
  }
  win::GdiFlush();
  const int bitCount = h.biBitCount;
  const bool bitfields = (bitCount == 16 || bitCount == 32) && h.biCompression == win::BI_BITFIELDS;
  // A core header holds the bit counts it was made for, 16-bit sizes and bottom-up rows only.
  const bool os2 = image.OS2Format() && !bitfields &&
                   (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24) &&
                   h.biWidth <= 0xFFFF && h.biHeight > 0 && h.biHeight <= 0xFFFF;

  // 4. The colour table: the section's own, or else the palette's.
  win::RGBQUAD colors[256] = {};
  std::uint32_t count = 0;
  if (bitCount <= 8) {
    count = SectionColors(bitmap.canvas_.get(), image.DibHandle(), colors);
    count = std::min(count, 1u << bitCount);
    if (h.biClrUsed != 0 && h.biClrUsed < count) count = h.biClrUsed;
  }
  if (count == 0 && !os2 && image.Palette() != nullptr && !image.Halftone()) {
    win::PALETTEENTRY entries[256];
    count = win::GetPaletteEntries(image.Palette(), 0, 256, entries);
    if (bitCount <= 8) count = std::min(count, 1u << bitCount);
    for (std::uint32_t i = 0; i < count; ++i)
      colors[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  }
  // A core header has no colour count: its table is always full.
  if (os2) count = bitCount <= 8 ? 1u << bitCount : 0;

  // 3. and 5. Sizes and the file header.
  const std::uint32_t infoSize = os2 ? kCoreHeaderSize + 3 * count
                                     : kInfoHeaderSize + (bitfields ? kMaskBytes : 0) + 4 * count;
  const auto imageSize =
      std::uint32_t(TBitmap::BytesPerRow(h.biWidth, bitCount) * std::abs(std::int64_t(h.biHeight)));
  const std::uint32_t fileSize = kFileHeaderSize + infoSize + imageSize;

  if (withLength) WriteLength(stream, fileSize);
  std::uint8_t head[kFileHeaderSize + kInfoHeaderSize + kMaskBytes] = {};
  std::uint8_t* p = head;
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, fileSize);
  Put32(p + 10, kFileHeaderSize + infoSize);
  p += kFileHeaderSize;

  // 7. The info header, masks, colour table and bits.
  if (os2) {
    Put32(p, kCoreHeaderSize);
    Put16(p + 4, std::uint16_t(h.biWidth));
    Put16(p + 6, std::uint16_t(h.biHeight));
    Put16(p + 8, 1);
    Put16(p + 10, std::uint16_t(bitCount));
    p += kCoreHeaderSize;
  } else {
    Put32(p, kInfoHeaderSize);
    Put32(p + 4, std::uint32_t(h.biWidth));
    Put32(p + 8, std::uint32_t(h.biHeight));
    Put16(p + 12, 1);
    Put16(p + 14, std::uint16_t(bitCount));
    Put32(p + 16, bitfields ? win::BI_BITFIELDS : win::BI_RGB);
    Put32(p + 20, imageSize);
    Put32(p + 24, std::uint32_t(h.biXPelsPerMeter));
    Put32(p + 28, std::uint32_t(h.biYPelsPerMeter));
    Put32(p + 32, count);
    Put32(p + 36, h.biClrImportant <= count ? h.biClrImportant : 0);
    p += kInfoHeaderSize;
    if (bitfields) {
      const win::DWORD* defaults = bitCount == 16 ? kMask565 : kMask888;
      for (int i = 0; i < 3; ++i) {
        const win::DWORD mask = dib.dsBitfields[i];
        Put32(p + 4 * i, mask != 0 ? mask : defaults[i]);
      }
      p += kMaskBytes;
    }
  }
  stream.WriteBuffer(head, std::int32_t(p - head));
  const std::uint32_t entrySize = os2 ? 3 : 4;
  std::vector<std::uint8_t> table(std::size_t(count) * entrySize);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint8_t* e = table.data() + std::size_t(i) * entrySize;
    e[0] = colors[i].rgbBlue;
    e[1] = colors[i].rgbGreen;
    e[2] = colors[i].rgbRed;
    if (entrySize == 4) e[3] = 0;
  }
  if (!table.empty()) stream.WriteBuffer(table.data(), std::int32_t(table.size()));
  stream.WriteBuffer(dib.dsBm.bmBits, std::int32_t(imageSize));
}

void TBitmap::ReadFromStream(TStream& stream) {
  BmpCodec::Read(*this, stream, stream.Size() - stream.Position(), BmpCodec::Layout::File);
}

void TBitmap::ReadStoredData(TStream& stream) {
  std::uint8_t n[4];
  stream.ReadBuffer(n, 4);
  const std::int64_t length = Le32(n);
  // The length names bytes that must all be there; reading never goes past them.
  if (length > stream.Size() - stream.Position()) ShortData();
  BmpCodec::Read(*this, stream, length, BmpCodec::Layout::File);
}

void TBitmap::WriteToStream(TStream& stream) {
  BmpCodec::Write(*this, stream, false);
}

void TBitmap::WriteStoredData(TStream& stream) {
  BmpCodec::Write(*this, stream, true);
}

void TBitmap::LoadFromResourceData(const void* data, std::size_t size) {
  if (size > std::size_t(kMaxImageBytes)) Invalid();
  TMemoryStream stream;
  if (size != 0) stream.WriteBuffer(data, std::int32_t(size));
  stream.SetPosition(0);
  BmpCodec::Read(*this, stream, std::int64_t(size), BmpCodec::Layout::Resource);
}
