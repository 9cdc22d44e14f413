#include "imaging/metafile.h"

#include <cstring>
#include <limits>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/gdi_guards.h"
#include "platform/gdi/metafile.h"
#include "platform/user/clipboard.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kWmfHeaderSize = 18;
constexpr int kWmfPixelsPerInch = 96;

[[noreturn]] void InvalidMetafile() {
  throw EInvalidGraphic(strings::kInvalidMetafile);
}

std::uint16_t U16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t U32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}

// value * numerator / denominator rounded to nearest, halves away from zero (0 for a zero
// denominator).
int MulDiv(std::int64_t value, std::int64_t numerator, std::int64_t denominator) {
  if (denominator == 0) return 0;
  const std::int64_t product = value * numerator;
  const std::int64_t magnitude =
      (std::abs(product) + std::abs(denominator) / 2) / std::abs(denominator);
  return int((product < 0) != (denominator < 0) ? -magnitude : magnitude);
}

// A frame edge as the header can hold it (a rescaled frame may pass the 32-bit range).
win::LONG ClampToLong(std::int64_t value) {
  constexpr std::int64_t kMin = std::numeric_limits<win::LONG>::min();
  constexpr std::int64_t kMax = std::numeric_limits<win::LONG>::max();
  return win::LONG(value < kMin ? kMin : value > kMax ? kMax : value);
}

std::uint16_t PlaceableChecksum(const std::uint8_t* header) {
  std::uint16_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= U16(header + 2 * i);
  return sum;
}

}  // namespace

struct TMetafile::Data {
  bool enhanced = false;
  // The enhanced metafile whole, or the Windows metafile without its placeable header.
  std::vector<std::uint8_t> bytes;
  // Enhanced: the reference device in pixels and millimetres.
  win::SIZEL device{};
  win::SIZEL millimeters{};
  // Placeable: the bounding box's origin and its units per inch.
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::uint16_t inch = 0;
};

namespace {

using Data = TMetafile::Data;

// The reference device's scale; a header without one is taken as recorded on this screen.
void ReferenceDevice(const Data& data, win::SIZEL& pixels, win::SIZEL& millimeters) {
  pixels = data.device;
  millimeters = data.millimeters;
  if (pixels.cx > 0 && pixels.cy > 0 && millimeters.cx > 0 && millimeters.cy > 0) return;
  const guard::ScreenDC screenDC;
  const win::HDC screen = screenDC.Get();
  pixels = {win::GetDeviceCaps(screen, win::HORZRES), win::GetDeviceCaps(screen, win::VERTRES)};
  millimeters = {win::GetDeviceCaps(screen, win::HORZSIZE),
                 win::GetDeviceCaps(screen, win::VERTSIZE)};
  if (millimeters.cx <= 0 || millimeters.cy <= 0) {
    // 96 pixels per inch.
    millimeters = {MulDiv(pixels.cx, 254, 960), MulDiv(pixels.cy, 254, 960)};
  }
}

std::shared_ptr<Data> ParseEnhanced(std::vector<std::uint8_t> bytes, int& width, int& height) {
  win::ENHMETAHEADER header;
  if (bytes.size() < sizeof header) InvalidMetafile();
  std::memcpy(&header, bytes.data(), sizeof header);
  // Records are whole 32-bit words: the metafile handles refuse anything else, so a file taken
  // here could not be put on the clipboard.
  if (header.iType != win::EMR_HEADER || header.dSignature != win::ENHMETA_SIGNATURE ||
      header.nSize < sizeof header || header.nBytes != bytes.size() ||
      header.nSize > header.nBytes || header.nBytes % 4 != 0)
    InvalidMetafile();
  // A frame whose extent passes the 32-bit range is no picture's.
  const std::int64_t frameWidth = std::int64_t(header.rclFrame.right) - header.rclFrame.left;
  const std::int64_t frameHeight = std::int64_t(header.rclFrame.bottom) - header.rclFrame.top;
  if (frameWidth != ClampToLong(frameWidth) || frameHeight != ClampToLong(frameHeight))
    InvalidMetafile();
  auto data = std::make_shared<Data>();
  data->enhanced = true;
  data->device = header.szlDevice;
  data->millimeters = header.szlMillimeters;
  data->bytes = std::move(bytes);
  width = int(frameWidth);
  height = int(frameHeight);
  return data;
}

std::int64_t StreamRemaining(TStream& stream) {
  return stream.Size() - stream.Position();
}

}  // namespace

const TGraphicClass& TMetafile::StaticClass() {
  static const TGraphicClass kClass{
      "TMetafile", &TGraphic::StaticClass(),
      []() -> std::unique_ptr<TGraphic> { return std::make_unique<TMetafile>(); }};
  return kClass;
}

TMetafile::TMetafile() = default;

TMetafile::~TMetafile() {
  if (palette_ != nullptr) win::DeleteObject(palette_);
}

void TMetafile::SetData(std::shared_ptr<const Data> data) {
  data_ = std::move(data);
  NotifyChange();
}

void TMetafile::CopyFrom(const TPersistent* source) {
  if (source == nullptr) {
    frameWidth_ = frameHeight_ = 0;
    if (palette_ != nullptr) win::DeleteObject(palette_);
    palette_ = nullptr;
    SetData(nullptr);
    return;
  }
  if (auto* other = dynamic_cast<const TMetafile*>(source)) {
    win::HPALETTE palette = CopyPalette(other->palette_);
    if (palette_ != nullptr) win::DeleteObject(palette_);
    palette_ = palette;
    frameWidth_ = other->frameWidth_;
    frameHeight_ = other->frameHeight_;
    SetData(other->data_);
    return;
  }
  TGraphic::CopyFrom(source);
}

bool TMetafile::Enhanced() const {
  return data_ && data_->enhanced;
}

int TMetafile::Width() const {
  if (!data_) return 0;
  if (!data_->enhanced) return MulDiv(frameWidth_, kWmfPixelsPerInch, data_->inch);
  win::SIZEL pixels, millimeters;
  ReferenceDevice(*data_, pixels, millimeters);
  return MulDiv(frameWidth_, pixels.cx, std::int64_t(millimeters.cx) * 100);
}

int TMetafile::Height() const {
  if (!data_) return 0;
  if (!data_->enhanced) return MulDiv(frameHeight_, kWmfPixelsPerInch, data_->inch);
  win::SIZEL pixels, millimeters;
  ReferenceDevice(*data_, pixels, millimeters);
  return MulDiv(frameHeight_, pixels.cy, std::int64_t(millimeters.cy) * 100);
}

void TMetafile::SetWidth(int value) {
  if (!data_ || value == Width()) return;
  if (data_->enhanced) {
    win::SIZEL pixels, millimeters;
    ReferenceDevice(*data_, pixels, millimeters);
    frameWidth_ = MulDiv(value, std::int64_t(millimeters.cx) * 100, pixels.cx);
  } else {
    frameWidth_ = MulDiv(value, data_->inch, kWmfPixelsPerInch);
  }
  NotifyChange();
}

void TMetafile::SetHeight(int value) {
  if (!data_ || value == Height()) return;
  if (data_->enhanced) {
    win::SIZEL pixels, millimeters;
    ReferenceDevice(*data_, pixels, millimeters);
    frameHeight_ = MulDiv(value, std::int64_t(millimeters.cy) * 100, pixels.cy);
  } else {
    frameHeight_ = MulDiv(value, data_->inch, kWmfPixelsPerInch);
  }
  NotifyChange();
}

int TMetafile::MMWidth() const {
  if (!data_) return 0;
  return data_->enhanced ? frameWidth_ : MulDiv(frameWidth_, 2540, data_->inch);
}

int TMetafile::MMHeight() const {
  if (!data_) return 0;
  return data_->enhanced ? frameHeight_ : MulDiv(frameHeight_, 2540, data_->inch);
}

void TMetafile::DrawInto(TCanvas& canvas, const win::RECT& rect) {
  if (!data_) return;
  const win::RECT inner{rect.left, rect.top, rect.right - 1, rect.bottom - 1};
  if (inner.right <= inner.left || inner.bottom <= inner.top) return;
  canvas.RequiredState(csHandleValid);
  win::FrameRect(canvas.Handle(), &inner,
                 static_cast<win::HBRUSH>(win::GetStockObject(win::BLACK_BRUSH)));
}

void TMetafile::ReadFromStream(TStream& stream) {
  const std::int64_t available = StreamRemaining(stream);
  if (available < 4) InvalidMetafile();
  std::uint8_t first[kPlaceableSize + kWmfHeaderSize];
  stream.ReadBuffer(first, 4);
  const std::uint32_t key = U32(first);
  int width = 0;
  int height = 0;
  std::shared_ptr<Data> data;
  if (key == win::EMR_HEADER) {
    if (available < std::int64_t(sizeof(win::ENHMETAHEADER))) InvalidMetafile();
    stream.ReadBuffer(first + 4, 4);
    std::uint8_t header[sizeof(win::ENHMETAHEADER)];
    std::memcpy(header, first, 8);
    stream.ReadBuffer(header + 8, sizeof header - 8);
    const std::int64_t total = U32(header + 48);  // nBytes
    if (total < std::int64_t(sizeof header) || total > available) InvalidMetafile();
    std::vector<std::uint8_t> bytes(header, header + sizeof header);
    bytes.resize(std::size_t(total));
    stream.ReadBuffer(bytes.data() + sizeof header,
                      std::int32_t(total - std::int64_t(sizeof header)));
    data = ParseEnhanced(std::move(bytes), width, height);
  } else if (key == kPlaceableKey) {
    if (available < std::int64_t(kPlaceableSize + kWmfHeaderSize)) InvalidMetafile();
    stream.ReadBuffer(first + 4, kPlaceableSize + kWmfHeaderSize - 4);
    const std::uint8_t* wmf = first + kPlaceableSize;
    const std::int64_t total = std::int64_t(U32(wmf + 6)) * 2;  // mtSize counts words
    if (PlaceableChecksum(first) != U16(first + 20) || U16(first + 14) == 0 ||
        (U16(wmf) != 1 && U16(wmf) != 2) || U16(wmf + 2) != kWmfHeaderSize / 2 ||
        total < std::int64_t(kWmfHeaderSize) || total > available - std::int64_t(kPlaceableSize))
      InvalidMetafile();
    data = std::make_shared<Data>();
    data->left = std::int16_t(U16(first + 6));
    data->top = std::int16_t(U16(first + 8));
    data->inch = U16(first + 14);
    width = std::int16_t(U16(first + 10)) - data->left;
    height = std::int16_t(U16(first + 12)) - data->top;
    data->bytes.assign(wmf, wmf + kWmfHeaderSize);
    data->bytes.resize(std::size_t(total));
    stream.ReadBuffer(data->bytes.data() + kWmfHeaderSize,
                      std::int32_t(total - std::int64_t(kWmfHeaderSize)));
  } else {
    InvalidMetafile();
  }
  frameWidth_ = width;
  frameHeight_ = height;
  SetData(std::move(data));
}

void TMetafile::WriteToStream(TStream& stream) {
  if (!data_) return;
  if (data_->enhanced) {
    std::vector<std::uint8_t> bytes = data_->bytes;
    win::ENHMETAHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    header.rclFrame.right = ClampToLong(std::int64_t(header.rclFrame.left) + frameWidth_);
    header.rclFrame.bottom = ClampToLong(std::int64_t(header.rclFrame.top) + frameHeight_);
    std::memcpy(bytes.data(), &header, sizeof header);
    stream.WriteBuffer(bytes.data(), std::int32_t(bytes.size()));
    return;
  }
  std::uint8_t header[kPlaceableSize] = {};
  std::memcpy(header, &kPlaceableKey, 4);
  PutU16(header + 6, std::uint16_t(data_->left));
  PutU16(header + 8, std::uint16_t(data_->top));
  PutU16(header + 10, std::uint16_t(data_->left + frameWidth_));
  PutU16(header + 12, std::uint16_t(data_->top + frameHeight_));
  PutU16(header + 14, data_->inch);
  PutU16(header + 20, PlaceableChecksum(header));
  stream.WriteBuffer(header, kPlaceableSize);
  stream.WriteBuffer(data_->bytes.data(), std::int32_t(data_->bytes.size()));
}

void TMetafile::ReadFromClipboard(std::uint16_t, win::HANDLE, win::HPALETTE palette) {
  auto handle = static_cast<win::HENHMETAFILE>(win::GetClipboardData(win::CF_ENHMETAFILE));
  if (handle == nullptr) throw EInvalidGraphic(strings::kUnknownClipboardFormat);
  const win::UINT size = win::GetEnhMetaFileBits(handle, 0, nullptr);
  std::vector<std::uint8_t> bytes(size);
  if (size == 0 || win::GetEnhMetaFileBits(handle, size, bytes.data()) != size)
    throw EInvalidGraphic(strings::kUnknownClipboardFormat);
  int width = 0;
  int height = 0;
  std::shared_ptr<Data> data = ParseEnhanced(std::move(bytes), width, height);
  win::HPALETTE copy = CopyPalette(palette);
  if (palette_ != nullptr) win::DeleteObject(palette_);
  palette_ = copy;
  frameWidth_ = width;
  frameHeight_ = height;
  SetData(std::move(data));
}

void TMetafile::WriteToClipboard(std::uint16_t& format, win::HANDLE& data, win::HPALETTE& palette) {
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (!data_) return;
  // The palette copy first: it is deleted again if the data cannot be made, and nothing is
  // left to free when the copy itself fails.
  guard::GdiObject<win::HPALETTE> paletteCopy(CopyPalette(palette_));
  TMemoryStream stream;
  WriteToStream(stream);
  if (data_->enhanced) {
    data = win::SetEnhMetaFileBits(win::UINT(stream.Size()), stream.Memory());
    if (data == nullptr) RaiseOutOfResources();
    format = win::CF_ENHMETAFILE;
  } else {
    const std::uint8_t* wmf = stream.Memory() + kPlaceableSize;
    win::HMETAFILE metafile =
        win::SetMetaFileBitsEx(win::UINT(stream.Size()) - kPlaceableSize, wmf);
    win::HGLOBAL memory =
        metafile ? win::GlobalAlloc(win::GHND, sizeof(win::METAFILEPICT)) : nullptr;
    if (memory == nullptr) {
      if (metafile != nullptr) win::DeleteMetaFile(metafile);
      RaiseOutOfResources();
    }
    auto* picture = static_cast<win::METAFILEPICT*>(win::GlobalLock(memory));
    *picture = {win::MM_ANISOTROPIC, MMWidth(), MMHeight(), metafile};
    win::GlobalUnlock(memory);
    data = memory;
    format = win::CF_METAFILEPICT;
  }
  palette = paletteCopy.Release();
}
