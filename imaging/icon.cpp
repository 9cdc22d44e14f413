#include "imaging/icon.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/canvas.h"
#include "imaging/gdi_guards.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr std::size_t kDirHeaderSize = 6;
constexpr std::size_t kDirEntrySize = 16;
// PNG images of an icon are at most 256 pixels a side by convention; anything far larger is
// not an icon, and its pixels would not be allocated.
constexpr int kMaxSide = 4096;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint16_t U16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
std::uint32_t BigU32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

[[noreturn]] void InvalidIcon() {
  throw EInvalidGraphic(strings::kInvalidIcon);
}

std::int64_t RowBytes(std::int64_t width, int bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

// One image of the file: where its bytes are and what they hold.
struct Image {
  TIcon::Entry entry;
  std::size_t offset;
  std::size_t size;
};

// Checks an image's header against its bytes; fills in its size and depth.
bool DescribeImage(const std::uint8_t* p, std::size_t size, TIcon::Entry& entry) {
  if (size >= 24 && std::memcmp(p, kPngSignature, 8) == 0) {
    if (std::memcmp(p + 12, "IHDR", 4) != 0) return false;
    const std::uint32_t w = BigU32(p + 16);
    const std::uint32_t h = BigU32(p + 20);
    if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide) return false;
    entry = {int(w), int(h), 32, true};
    return true;
  }
  if (size < 40 || U32(p) < 40 || U32(p) > size) return false;
  const auto width = std::int32_t(U32(p + 4));
  const auto height = std::int32_t(U32(p + 8));  // image and mask together
  const int planes = U16(p + 12);
  const int bitCount = U16(p + 14);
  const std::uint32_t compression = U32(p + 16);
  if (width <= 0 || width > kMaxSide || height == 0 ||
      std::abs(std::int64_t(height)) > 2 * kMaxSide)
    return false;
  if (planes != 1 || compression != 0) return false;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return false;
  const int rows = int(std::abs(std::int64_t(height)) / 2);
  if (rows == 0) return false;
  std::int64_t colors = 0;
  if (bitCount <= 8) {
    colors = U32(p + 32);
    if (colors == 0 || colors > (1 << bitCount)) colors = 1 << bitCount;
  }
  const std::int64_t needed = std::int64_t(U32(p)) + colors * 4 + RowBytes(width, bitCount) * rows;
  if (needed > std::int64_t(size)) return false;
  entry = {width, rows, bitCount, false};
  return true;
}

std::vector<std::uint32_t> DecodePng(const std::uint8_t* p, std::size_t size,
                                     const TIcon::Entry& entry) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, p, size)) InvalidIcon();
  if (int(image.width) != entry.width || int(image.height) != entry.height) {
    png_image_free(&image);
    InvalidIcon();
  }
  image.format = PNG_FORMAT_BGRA;
  std::vector<std::uint32_t> pixels(std::size_t(entry.width) * std::size_t(entry.height));
  // Little-endian B, G, R, A bytes are the 0xAARRGGBB words the blend reads.
  if (!png_image_finish_read(&image, nullptr, pixels.data(), entry.width * 4, nullptr))
    InvalidIcon();
  return pixels;
}

std::vector<std::uint32_t> DecodeDib(const std::uint8_t* p, std::size_t size,
                                     const TIcon::Entry& entry) {
  const int w = entry.width;
  const int h = entry.height;
  const int bits = entry.bitCount;
  const std::uint32_t headerSize = U32(p);
  const bool bottomUp = std::int32_t(U32(p + 8)) > 0;
  std::uint32_t colorCount = 0;
  if (bits <= 8) {
    colorCount = U32(p + 32);
    if (colorCount == 0 || colorCount > (1u << bits)) colorCount = 1u << bits;
  }
  const std::uint8_t* table = p + headerSize;
  const std::uint8_t* xorBits = table + colorCount * 4;
  const std::int64_t xorRow = RowBytes(w, bits);
  const std::uint8_t* andBits = xorBits + xorRow * h;
  const std::int64_t andRow = RowBytes(w, 1);
  const bool hasMask = (andBits - p) + andRow * h <= std::int64_t(size);

  std::vector<std::uint32_t> pixels(std::size_t(w) * std::size_t(h));
  bool anyAlpha = false;
  for (int y = 0; y < h; ++y) {
    const int stored = bottomUp ? h - 1 - y : y;
    const std::uint8_t* row = xorBits + xorRow * stored;
    std::uint32_t* out = pixels.data() + std::size_t(y) * std::size_t(w);
    for (int x = 0; x < w; ++x) {
      std::uint32_t argb = 0;
      if (bits <= 8) {
        const int perByte = 8 / bits;
        const int shift = (perByte - 1 - x % perByte) * bits;
        std::uint32_t index = (row[x / perByte] >> shift) & ((1u << bits) - 1);
        if (index >= colorCount) index = 0;
        const std::uint8_t* c = table + index * 4;
        argb = 0xFF000000u | (std::uint32_t(c[2]) << 16) | (std::uint32_t(c[1]) << 8) | c[0];
      } else if (bits == 16) {
        const std::uint16_t v = U16(row + x * 2);  // 5-5-5
        const std::uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        argb = 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) |
               ((b << 3) | (b >> 2));
      } else if (bits == 24) {
        const std::uint8_t* c = row + x * 3;
        argb = 0xFF000000u | (std::uint32_t(c[2]) << 16) | (std::uint32_t(c[1]) << 8) | c[0];
      } else {
        argb = U32(row + x * 4);
        anyAlpha = anyAlpha || (argb >> 24) != 0;
      }
      out[x] = argb;
    }
  }
  // A 32-bit image with an alpha channel carries its own transparency; every other one (and a
  // 32-bit image whose alpha is all zero) takes it from the AND mask.
  if (bits == 32 && anyAlpha) return pixels;
  for (int y = 0; y < h; ++y) {
    const int stored = bottomUp ? h - 1 - y : y;
    std::uint32_t* out = pixels.data() + std::size_t(y) * std::size_t(w);
    for (int x = 0; x < w; ++x) {
      const bool transparent =
          hasMask && ((andBits[andRow * stored + x / 8] >> (7 - x % 8)) & 1) != 0;
      out[x] = transparent ? 0 : (out[x] | 0xFF000000u);
    }
  }
  return pixels;
}

std::uint8_t Blend(std::uint32_t src, std::uint32_t dst, std::uint32_t alpha) {
  return std::uint8_t((src * alpha + dst * (255 - alpha) + 127) / 255);
}

}  // namespace

struct TIcon::Data {
  std::vector<std::uint8_t> bytes;
  std::vector<Image> images;
  std::vector<std::vector<std::uint32_t>> pixels;  // decoded when read, so a bad image fails then
};

namespace {

std::shared_ptr<TIcon::Data> ParseIcon(std::vector<std::uint8_t> bytes) {
  auto data = std::make_shared<TIcon::Data>();
  const std::uint8_t* p = bytes.data();
  const std::size_t count = U16(p + 4);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = p + kDirHeaderSize + i * kDirEntrySize;
    Image image{};
    image.size = U32(e + 8);
    image.offset = U32(e + 12);
    const std::uint8_t* imageBytes = p + image.offset;
    if (!DescribeImage(imageBytes, image.size, image.entry)) InvalidIcon();
    data->images.push_back(image);
    data->pixels.push_back(image.entry.png ? DecodePng(imageBytes, image.size, image.entry)
                                           : DecodeDib(imageBytes, image.size, image.entry));
  }
  data->bytes = std::move(bytes);
  return data;
}

}  // namespace

const TGraphicClass& TIcon::StaticClass() {
  static const TGraphicClass kClass{
      "TIcon", &TGraphic::StaticClass(),
      []() -> std::unique_ptr<TGraphic> { return std::make_unique<TIcon>(); }};
  return kClass;
}

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

void TIcon::CopyFrom(const TPersistent* source) {
  if (source == nullptr) {
    data_.reset();
    NotifyChange();
    return;
  }
  if (auto* icon = dynamic_cast<const TIcon*>(source)) {
    data_ = icon->data_;
    NotifyChange();
    return;
  }
  TGraphic::CopyFrom(source);
}

bool TIcon::IsEmpty() const {
  return data_ == nullptr;
}

// The largest image, the deeper one of two the same size.
int TIcon::LargestEntry() const {
  if (!data_) return -1;
  int best = 0;
  for (std::size_t i = 1; i < data_->images.size(); ++i) {
    const Entry& e = data_->images[i].entry;
    const Entry& b = data_->images[std::size_t(best)].entry;
    const std::int64_t area = std::int64_t(e.width) * e.height;
    const std::int64_t bestArea = std::int64_t(b.width) * b.height;
    if (area > bestArea || (area == bestArea && e.bitCount > b.bitCount)) best = int(i);
  }
  return best;
}

int TIcon::Width() const {
  const int index = LargestEntry();
  return index < 0 ? 0 : data_->images[std::size_t(index)].entry.width;
}

int TIcon::Height() const {
  const int index = LargestEntry();
  return index < 0 ? 0 : data_->images[std::size_t(index)].entry.height;
}

void TIcon::SetHeight(int) {
  if (!IsEmpty()) throw EInvalidGraphicOperation(strings::kChangeIconSize);
}

void TIcon::SetWidth(int) {
  if (!IsEmpty()) throw EInvalidGraphicOperation(strings::kChangeIconSize);
}

std::vector<TIcon::Entry> TIcon::Entries() const {
  std::vector<Entry> entries;
  if (data_)
    for (const Image& image : data_->images) entries.push_back(image.entry);
  return entries;
}

// Nearest by the sum of the differences of the sides; on a tie the larger image (shrinking
// loses less than enlarging), then the deeper one.
int TIcon::EntryFor(int width, int height) const {
  if (!data_) return -1;
  int best = -1;
  std::int64_t bestDistance = 0;
  for (std::size_t i = 0; i < data_->images.size(); ++i) {
    const Entry& e = data_->images[i].entry;
    const std::int64_t distance =
        std::abs(std::int64_t(e.width) - width) + std::abs(std::int64_t(e.height) - height);
    bool better = best < 0 || distance < bestDistance;
    if (!better && distance == bestDistance) {
      const Entry& b = data_->images[std::size_t(best)].entry;
      const std::int64_t area = std::int64_t(e.width) * e.height;
      const std::int64_t bestArea = std::int64_t(b.width) * b.height;
      better = area > bestArea || (area == bestArea && e.bitCount > b.bitCount);
    }
    if (better) {
      best = int(i);
      bestDistance = distance;
    }
  }
  return best;
}

const std::vector<std::uint32_t>& TIcon::EntryPixels(int index) const {
  static const std::vector<std::uint32_t> kNone;
  if (!data_ || index < 0 || std::size_t(index) >= data_->images.size()) return kNone;
  return data_->pixels[std::size_t(index)];
}

// The chosen image is scaled to the rectangle (nearest pixel) and laid over the target's
// pixels by its alpha: the target's pixels are fetched into a 32-bit section, blended there
// and put back.
void TIcon::DrawInto(TCanvas& canvas, const win::RECT& rect) {
  const int left = std::min(rect.left, rect.right);
  const int top = std::min(rect.top, rect.bottom);
  const int dw = std::abs(rect.right - rect.left);
  const int dh = std::abs(rect.bottom - rect.top);
  const int index = EntryFor(dw, dh);
  if (index < 0 || dw == 0 || dh == 0) return;
  const std::vector<std::uint32_t>& pixels = EntryPixels(index);
  const Entry& e = data_->images[std::size_t(index)].entry;

  canvas.RequiredState(csAllValid);
  win::HDC target = canvas.Handle();
  win::BITMAPINFO info{};
  info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), dw, -dh, 1, 32, win::BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const guard::GdiObject<win::HBITMAP> section(
      win::CreateDIBSection(target, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section) RaiseOutOfResources();
  const guard::MemoryDC memoryDC(target);
  const win::HDC memory = memoryDC.Get();
  const guard::SelectedObject selected(memory, section.Get());
  selected.Require();
  win::BitBlt(memory, 0, 0, dw, dh, target, left, top, win::SRCCOPY);
  win::GdiFlush();
  auto* out = static_cast<std::uint32_t*>(bits);
  for (int y = 0; y < dh; ++y) {
    const int sy = int((std::int64_t(2 * y + 1) * e.height) / (2 * std::int64_t(dh)));
    const std::uint32_t* src = pixels.data() + std::size_t(sy) * std::size_t(e.width);
    std::uint32_t* dst = out + std::size_t(y) * std::size_t(dw);
    for (int x = 0; x < dw; ++x) {
      const int sx = int((std::int64_t(2 * x + 1) * e.width) / (2 * std::int64_t(dw)));
      const std::uint32_t s = src[sx];
      const std::uint32_t a = s >> 24;
      if (a == 0) continue;
      const std::uint32_t d = dst[x];
      dst[x] = (std::uint32_t(Blend((s >> 16) & 0xFF, (d >> 16) & 0xFF, a)) << 16) |
               (std::uint32_t(Blend((s >> 8) & 0xFF, (d >> 8) & 0xFF, a)) << 8) |
               Blend(s & 0xFF, d & 0xFF, a);
    }
  }
  win::BitBlt(target, left, top, dw, dh, memory, 0, 0, win::SRCCOPY);
}

void TIcon::ReadFromStream(TStream& stream) {
  const std::int64_t available = stream.Size() - stream.Position();
  std::uint8_t header[kDirHeaderSize];
  if (available < std::int64_t(kDirHeaderSize)) InvalidIcon();
  stream.ReadBuffer(header, kDirHeaderSize);
  const std::size_t count = U16(header + 4);
  if (U16(header) != 0 || U16(header + 2) != 1 || count == 0) InvalidIcon();
  const std::size_t dirSize = kDirHeaderSize + count * kDirEntrySize;
  if (std::int64_t(dirSize) > available) InvalidIcon();
  std::vector<std::uint8_t> bytes(header, header + kDirHeaderSize);
  bytes.resize(dirSize);
  stream.ReadBuffer(bytes.data() + kDirHeaderSize, std::int32_t(dirSize - kDirHeaderSize));
  // The icon ends where its last image ends.
  std::int64_t end = std::int64_t(dirSize);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = bytes.data() + kDirHeaderSize + i * kDirEntrySize;
    const std::int64_t size = U32(e + 8);
    const std::int64_t offset = U32(e + 12);
    if (size == 0 || offset < std::int64_t(dirSize) || offset + size > available) InvalidIcon();
    end = std::max(end, offset + size);
  }
  bytes.resize(std::size_t(end));
  stream.ReadBuffer(bytes.data() + dirSize, std::int32_t(end - std::int64_t(dirSize)));
  data_ = ParseIcon(std::move(bytes));
  NotifyChange();
}

void TIcon::WriteToStream(TStream& stream) {
  if (data_) stream.WriteBuffer(data_->bytes.data(), std::int32_t(data_->bytes.size()));
}

void TIcon::ReadFromClipboard(std::uint16_t, win::HANDLE, win::HPALETTE) {
  throw EInvalidGraphic(strings::kUnknownClipboardFormat);
}

void TIcon::WriteToClipboard(std::uint16_t&, win::HANDLE&, win::HPALETTE&) {
  throw EInvalidGraphic(strings::kIconToClipboard);
}
