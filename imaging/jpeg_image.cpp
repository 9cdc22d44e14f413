#include "imaging/jpeg_image.h"

#include <limits>
#include <utility>

#include "imaging/canvas.h"
#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

TJPEGSettings DefaultJpegSettings;

bool SameDecodeSettings(const TJPEGSettings& a, const TJPEGSettings& b) {
  return a.GrayOutput == b.GrayOutput && a.SpeedMode == b.SpeedMode &&
         a.OutputDepth == b.OutputDepth && a.ShowScans == b.ShowScans &&
         a.ReduceShift == b.ReduceShift && a.BlockSmoothing == b.BlockSmoothing;
}

namespace {

TJPEGDecodeSupplier* decodeSupplier = nullptr;

}  // namespace

void SetJpegDecodeSupplier(TJPEGDecodeSupplier* supplier) {
  decodeSupplier = supplier;
}

namespace {

constexpr win::RECT kNoRect{0, 0, 0, 0};

int ScreenBitsPerPixel() {
  const win::HDC screen = win::GetDC(nullptr);
  const int bits =
      win::GetDeviceCaps(screen, win::BITSPIXEL) * win::GetDeviceCaps(screen, win::PLANES);
  win::ReleaseDC(nullptr, screen);
  return bits;
}

std::vector<win::PALETTEENTRY> EntriesOf(win::HPALETTE palette) {
  std::vector<win::PALETTEENTRY> entries(256);
  const win::UINT count = win::GetPaletteEntries(palette, 0, 256, entries.data());
  entries.resize(count);
  return entries;
}

// A logical palette (version 0x300) of the entries; EOutOfResources when none can be made.
win::HPALETTE PaletteOf(const std::vector<win::PALETTEENTRY>& entries) {
  win::LOGPALETTE logical{};
  logical.palVersion = 0x300;
  logical.palNumEntries = static_cast<win::WORD>(std::min<std::size_t>(entries.size(), 256));
  for (std::size_t i = 0; i < logical.palNumEntries; ++i) {
    logical.palPalEntry[i] = entries[i];
    logical.palPalEntry[i].peFlags = 0;
  }
  const win::HPALETTE palette = win::CreatePalette(&logical);
  if (palette == nullptr) RaiseOutOfResources();
  return palette;
}

}  // namespace

void AdjustDefaultsToScreen() {
  DefaultJpegSettings.OutputDepth =
      ScreenBitsPerPixel() <= 8 ? TJPEGOutputDepth::Out8Bit : TJPEGOutputDepth::Out24Bit;
}

namespace {
// The module starts once; a second start (several test suites in one process) must not list
// the extensions twice in the file dialog's filter.
bool jpegFormatsRegistered = false;
}  // namespace

void RegisterJpegFormats() {
  AdjustDefaultsToScreen();
  if (jpegFormatsRegistered) return;
  TPicture::RegisterFormat("jpeg", strings::kJPEGImageFile, TJPEGImage::StaticClass());
  TPicture::RegisterFormat("jpg", strings::kJPEGImageFile, TJPEGImage::StaticClass());
  jpegFormatsRegistered = true;
}

void UnregisterJpegFormats() {
  TPicture::UnregisterGraphicClass(TJPEGImage::StaticClass());
  jpegFormatsRegistered = false;
}

// --- Decoding into the held bitmap --------------------------------------------------------

// Sizes the bitmap when the decoder knows the output size and gives it the decoder's palette
// when one is ready; rows go straight into the bitmap's memory.
class TJPEGImage::BitmapTarget : public jpeg::DecodeTarget {
 public:
  BitmapTarget(TJPEGImage& owner, TBitmap& bitmap, bool ownPalette)
      : owner_(owner), bitmap_(bitmap), ownPalette_(ownPalette) {}

  jpeg::RowSpan SizeKnown(int width, int height) override {
    bitmap_.ClearImage();
    bitmap_.SetWidth(width);
    bitmap_.SetHeight(height);
    return Rows();
  }

  jpeg::RowSpan PaletteReady(const std::vector<win::PALETTEENTRY>& entries,
                             bool firstScanPass) override {
    const bool take =
        ownPalette_ && (!firstScanPass || bitmap_.ColorDepth() == TColorDepth::Depth8);
    if (take) {
      bitmap_.SetPalette(PaletteOf(entries));
      owner_.SetPaletteModified(true);
    }
    return Rows();
  }

 private:
  // The step comes from the row layout, so a picture one row high is read like any other.
  jpeg::RowSpan Rows() { return {bitmap_.RowPointer(0), bitmap_.RowStep()}; }

  TJPEGImage& owner_;
  TBitmap& bitmap_;
  bool ownPalette_;
};

// --- TJPEGImage ----------------------------------------------------------------------------

const TGraphicClass& TJPEGImage::StaticClass() {
  static const TGraphicClass kClass{
      "TJPEGImage", &TGraphic::StaticClass(),
      []() -> std::unique_ptr<TGraphic> { return std::make_unique<TJPEGImage>(); }};
  return kClass;
}

TJPEGImage::TJPEGImage() : settings_(DefaultJpegSettings) {
  ReplaceData();
}

TJPEGImage::~TJPEGImage() {
  if (displayPalette_ != nullptr) win::DeleteObject(displayPalette_);
}

void TJPEGImage::ReplaceData() {
  sharedData_ = TSharedRef<TJPEGData>(new TJPEGData);
  reducedFor_ = nullptr;
}

void TJPEGImage::ReplaceBitmap() {
  decodedBitmap_ = std::make_unique<TBitmap>();
}

void TJPEGImage::DropBitmap() {
  decodedBitmap_.reset();
}

void TJPEGImage::CopyTo(TPersistent* dest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    // Decoding on demand is a cache fill: the picture itself does not change.
    bitmap->CopyFrom(&const_cast<TJPEGImage*>(this)->ObtainBitmap());
    return;
  }
  TGraphic::CopyTo(dest);
}

void TJPEGImage::CopyFrom(const TPersistent* source) {
  if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(source)) {
    if (jpeg == this) return;
    sharedData_ = jpeg->sharedData_;
    reducedFor_ = nullptr;
    if (jpeg->decodedBitmap_ != nullptr) {
      ReplaceBitmap();
      decodedBitmap_->CopyFrom(jpeg->decodedBitmap_.get());
    } else {
      // An old bitmap would go on being drawn and measured instead of the new bytes.
      DropBitmap();
    }
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    // Copy first, so a failure leaves this object as it was.
    auto copy = std::make_unique<TBitmap>();
    copy->CopyFrom(bitmap);
    ReplaceData();
    decodedBitmap_ = std::move(copy);
    return;
  }
  TGraphic::CopyFrom(source);
}

void TJPEGImage::DrawInto(TCanvas& canvas, const win::RECT& rect) {
  canvas.StretchDraw(rect, &ObtainBitmap());
}

bool TJPEGImage::SameAs(TGraphic* other) {
  const auto* jpeg = dynamic_cast<TJPEGImage*>(other);
  if (jpeg == nullptr) return false;
  if (sharedData_->StoredBytes != nullptr && jpeg->sharedData_->StoredBytes != nullptr)
    return TGraphic::SameAs(other);
  return sharedData_.get() == jpeg->sharedData_.get();
}

bool TJPEGImage::IsEmpty() const {
  return sharedData_->StoredBytes == nullptr &&
         (decodedBitmap_ == nullptr || decodedBitmap_->IsEmpty());
}

win::SIZE TJPEGImage::ReducedSize() const {
  TMemoryStream* bytes = sharedData_->StoredBytes.get();
  if (bytes == nullptr) return {sharedData_->StoredWidth, sharedData_->StoredHeight};
  if (reducedFor_ == bytes && reducedShift_ == settings_.ReduceShift) return reducedSize_;
  // The header only, without progress notifications. Data whose header cannot be read has
  // no size.
  win::SIZE size{0, 0};
  try {
    TMemoryStream& stored = *sharedData_->StoredBytes;
    stored.SetPosition(0);
    jpeg::Decoder decoder(stored);
    decoder.ReadHeader();
    decoder.Configure(settings_);
    size = decoder.OutputSize();
    if (jpeg::SwapsAxes(sharedData_->StoredOrientation)) std::swap(size.cx, size.cy);
  } catch (const EJPEG&) {
  }
  reducedSize_ = size;
  reducedFor_ = bytes;
  reducedShift_ = settings_.ReduceShift;
  return size;
}

int TJPEGImage::Height() const {
  if (decodedBitmap_ != nullptr) return decodedBitmap_->Height();
  if (settings_.ReduceShift == 0) return sharedData_->StoredHeight;
  return ReducedSize().cy;
}

int TJPEGImage::Width() const {
  if (decodedBitmap_ != nullptr) return decodedBitmap_->Width();
  if (settings_.ReduceShift == 0) return sharedData_->StoredWidth;
  return ReducedSize().cx;
}

win::HPALETTE TJPEGImage::Palette() {
  if (decodedBitmap_ != nullptr) return decodedBitmap_->Palette();
  if (displayPalette_ != nullptr) return displayPalette_;
  if (settings_.OutputDepth == TJPEGOutputDepth::Out24Bit && ScreenBitsPerPixel() <= 8) {
    const win::HDC screen = win::GetDC(nullptr);
    displayPalette_ = win::CreateHalftonePalette(screen);
    win::ReleaseDC(nullptr, screen);
    return displayPalette_;
  }
  return nullptr;
}

void TJPEGImage::SetHeight(int) {
  throw EInvalidGraphicOperation(strings::kChangeJPGSize);
}

void TJPEGImage::SetWidth(int) {
  throw EInvalidGraphicOperation(strings::kChangeJPGSize);
}

void TJPEGImage::SetPalette(win::HPALETTE value) {
  if (value == displayPalette_) return;
  const bool affected = decodedBitmap_ != nullptr && value != decodedBitmap_->Palette();
  if (affected) DropBitmap();
  if (displayPalette_ != nullptr) win::DeleteObject(displayPalette_);
  displayPalette_ = value;
  if (affected) {
    SetPaletteModified(true);
    NotifyChange();
  }
}

void TJPEGImage::ReadStoredData(TStream& stream) {
  std::uint8_t count[4];
  stream.ReadBuffer(count, 4);
  LoadJpegBytes(static_cast<std::int32_t>(count[0] | count[1] << 8 | count[2] << 16 |
                                          static_cast<std::uint32_t>(count[3]) << 24),
                stream);
}

void TJPEGImage::WriteStoredData(TStream& stream) {
  TMemoryStream* bytes = sharedData_->StoredBytes.get();
  const auto count = static_cast<std::uint32_t>(bytes != nullptr ? bytes->Size() : 0);
  const std::uint8_t header[4] = {
      static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
      static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
  stream.WriteBuffer(header, 4);
  if (count > 0) stream.WriteBuffer(bytes->Memory(), static_cast<std::int32_t>(count));
}

void TJPEGImage::ReadFromStream(TStream& stream) {
  const std::int64_t remaining = stream.Size() - stream.Position();
  // A memory stream cannot hold more; cutting the count to 32 bits would load garbage.
  if (remaining > std::numeric_limits<std::int32_t>::max())
    throw EOutOfMemory(strings::kMemoryStreamError);
  LoadJpegBytes(static_cast<std::int32_t>(std::max<std::int64_t>(remaining, 0)), stream);
}

void TJPEGImage::WriteToStream(TStream& stream) {
  EnsureEncoded();
  TMemoryStream* bytes = sharedData_->StoredBytes.get();
  // The encode was aborted from OnProgress: the save ends silently, without an empty file
  // passing for the picture.
  if (bytes == nullptr) throw EAbort();
  if (bytes->Size() > 0)
    stream.WriteBuffer(bytes->Memory(), static_cast<std::int32_t>(bytes->Size()));
}

void TJPEGImage::ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE palette) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->ReadFromClipboard(format, data, palette);
  ReplaceData();
  decodedBitmap_ = std::move(bitmap);
  SetPaletteModified(decodedBitmap_->Palette() != nullptr);
  NotifyChange();
}

void TJPEGImage::WriteToClipboard(std::uint16_t& format, win::HANDLE& data,
                                  win::HPALETTE& palette) {
  ObtainBitmap().WriteToClipboard(format, data, palette);
}

TBitmap& TJPEGImage::ObtainBitmap() {
  if (decodedBitmap_ != nullptr) return *decodedBitmap_;
  decodedBitmap_ = std::make_unique<TBitmap>();
  TBitmap& bitmap = *decodedBitmap_;
  TMemoryStream* bytes = sharedData_->StoredBytes.get();
  if (bytes == nullptr) return bitmap;

  // A supplier only knows pictures decoded without a display palette.
  TJPEGDecodeSupplier* const supplier = displayPalette_ == nullptr ? decodeSupplier : nullptr;
  if (supplier != nullptr && supplier->Supply(sharedData_, settings_, bitmap)) {
    // Decoded ahead: the notifications of a decode that ran here.
    try {
      Progress(this, TProgressStage::psStarting, 0, false, kNoRect, "");
      Progress(this, TProgressStage::psEnding, 100, PaletteModified(), kNoRect, "");
      if (PaletteModified()) NotifyChange();
    } catch (const EAbort&) {
    }
    return bitmap;
  }

  bytes->SetPosition(0);
  jpeg::Decoder decoder(*bytes, this);
  decoder.ReadHeader();
  decoder.Configure(settings_);
  decoder.SetOrientation(sharedData_->StoredOrientation);

  try {
    bitmap.ClearImage();
    bitmap.SetColorDepth(decoder.EightBitOutput() ? TColorDepth::Depth8 : TColorDepth::Depth24);
    Progress(this, TProgressStage::psStarting, 0, false, kNoRect, "");
    try {
      bool ownPalette = true;
      if (displayPalette_ != nullptr) {
        if (settings_.OutputDepth == TJPEGOutputDepth::Out8Bit) {
          // Colour is decoded straight into the palette the display already uses. Gray
          // output keeps its own gray levels: the gray quantizer cannot map to a palette,
          // and its indexes shown through a colour palette would be wrong colours.
          if (decoder.EightBitOutput() && !decoder.GrayOutput()) {
            decoder.QuantizerFromPalette(EntriesOf(displayPalette_));
            bitmap.SetPalette(CopyPalette(displayPalette_));
            ownPalette = false;
          }
        } else {
          win::DeleteObject(displayPalette_);
          displayPalette_ = nullptr;
        }
      }
      BitmapTarget target(*this, bitmap, ownPalette);
      jpeg::Decode(decoder, target);
    } catch (...) {
      Progress(this, TProgressStage::psEnding, 0, PaletteModified(), kNoRect, "");
      if (PaletteModified()) NotifyChange();
      throw;
    }
    if (supplier != nullptr && !decoder.EightBitOutput())
      supplier->Decoded(sharedData_, settings_, bitmap);
    Progress(this, TProgressStage::psEnding, 100, PaletteModified(), kNoRect, "");
    if (PaletteModified()) NotifyChange();
  } catch (const EAbort&) {
    // Ended from OnProgress: the picture as far as it was decoded.
  }
  return bitmap;
}

void TJPEGImage::EnsureEncoded() {
  if (sharedData_->StoredBytes == nullptr) Encode();
}

void TJPEGImage::Encode() {
  if (decodedBitmap_ == nullptr || decodedBitmap_->Width() == 0 || decodedBitmap_->Height() == 0)
    throw EInvalidGraphic(strings::kEmptyJPEG);
  // Bytes another object may share are never overwritten.
  if (sharedData_->StoredBytes != nullptr) ReplaceData();

  // The new bytes reach the holder only when the file is complete, so a failure leaves no
  // partial file to be saved later.
  auto bytes = std::make_unique<TMemoryStream>();
  try {
    TBitmap working;
    working.CopyFrom(decodedBitmap_.get());
    working.SetColorDepth(TColorDepth::Depth24);
    jpeg::Encoder encoder(*bytes, this);
    jpeg::EncodeParameters parameters;
    parameters.width = working.Width();
    parameters.height = working.Height();
    parameters.quality = settings_.EncodeQuality;
    parameters.gray = settings_.GrayOutput;
    parameters.progressive = settings_.MultiScan;
    encoder.SetParameters(parameters);
    Progress(this, TProgressStage::psStarting, 0, false, kNoRect, "");
    try {
      encoder.WriteRows(working.RowPointer(0), working.RowStep());
    } catch (...) {
      Progress(this, TProgressStage::psEnding, 0, false, kNoRect, "");
      throw;
    }
    Progress(this, TProgressStage::psEnding, 100, false, kNoRect, "");
    TJPEGData& data = *sharedData_;
    bytes->SetPosition(0);
    data.StoredBytes = std::move(bytes);
    data.StoredWidth = parameters.width;
    data.StoredHeight = parameters.height;
    if (parameters.gray) data.StoredGray = true;
  } catch (const EAbort&) {
    // Ended from OnProgress: no bytes; the next need for them encodes again.
  }
}

void TJPEGImage::LoadJpegBytes(std::int32_t count, TStream& stream) {
  ReplaceData();
  DropBitmap();
  TJPEGData& data = *sharedData_;
  data.StoredBytes = std::make_unique<TMemoryStream>();
  TMemoryStream& bytes = *data.StoredBytes;
  count = std::max(count, 0);
  bytes.SetSize(count);
  if (count > 0) {
    stream.ReadBuffer(bytes.Memory(), count);
    bytes.SetPosition(0);
    jpeg::Decoder decoder(bytes);
    decoder.ReadHeader();
    const jpeg::TOrientation orientation = decoder.ExifOrientation();
    const bool swaps = jpeg::SwapsAxes(orientation);
    data.StoredWidth = swaps ? decoder.ImageHeight() : decoder.ImageWidth();
    data.StoredHeight = swaps ? decoder.ImageWidth() : decoder.ImageHeight();
    data.StoredGray = decoder.IsGray();
    data.StoredOrientation = orientation;
    settings_.MultiScan = decoder.HasMultipleScans();
  }
  SetPaletteModified(true);
  NotifyChange();
}

void TJPEGImage::CodecProgress(std::uint8_t percent, bool redrawNow, const win::RECT& r) {
  Progress(this, TProgressStage::psRunning, percent, redrawNow, r, "");
}
