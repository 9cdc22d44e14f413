// TJPEGImage: the graphic class for JPEG pictures.
//
// One object holds a picture in up to two forms: the bytes of a complete JPEG file, kept in a
// reference-counted holder (TJPEGData) that several objects may share, and a decoded bitmap.
// Each form is made from the other only when it is needed: the bytes are decoded when pixels
// are needed (drawing, conversion into a bitmap, the clipboard), and the bitmap is compressed
// when bytes are needed (saving). While bytes are held they are what is saved; while a bitmap
// is held it is what is drawn and measured.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/graphic.h"
#include "imaging/jpeg_codec.h"
#include "imaging/shared_image.h"
#include "runtime/stream.h"

// The bytes of a JPEG file and what its header says, shared by the objects that show them.
// The size is the picture's as it is shown: a photo whose EXIF orientation turns it a quarter
// reports the header's height as its width.
class TJPEGData : public TSharedImage {
 public:
  TJPEGData() = default;

  std::unique_ptr<TMemoryStream> StoredBytes;  // as read or as encoded; none: not yet
  std::int32_t StoredHeight = 0;
  std::int32_t StoredWidth = 0;
  bool StoredGray = false;
  // How the stored rows are turned for showing (encoded bytes are always upright).
  jpeg::TOrientation StoredOrientation = jpeg::TOrientation::TopLeft;

 protected:
  ~TJPEGData() override = default;
  void FreeHandle() override {}
};

// The settings every new JPEG object copies; set once at start-up.
extern TJPEGSettings DefaultJpegSettings;

// True when decoding with a and with b gives the same picture (the settings a decode reads).
bool SameDecodeSettings(const TJPEGSettings& a, const TJPEGSettings& b);

// Pictures decoded ahead of need, for example by a batch run's helper thread. While one is
// installed, ObtainBitmap asks it first and tells it of every complete 24-bit decode of its
// own. Installed, asked and removed on the GUI thread only.
class TJPEGDecodeSupplier {
 public:
  // Puts into bitmap exactly the picture that decoding data's bytes at settings gives, turned
  // by data's orientation; false when it holds no such picture.
  virtual bool Supply(const TSharedRef<TJPEGData>& data, const TJPEGSettings& settings,
                      TBitmap& bitmap) = 0;
  // bitmap holds the whole picture just decoded from data's bytes at settings.
  virtual void Decoded(const TSharedRef<TJPEGData>& data, const TJPEGSettings& settings,
                       const TBitmap& bitmap) = 0;

 protected:
  ~TJPEGDecodeSupplier() = default;
};
// nullptr removes the supplier.
void SetJpegDecodeSupplier(TJPEGDecodeSupplier* supplier);

// Out8Bit when the screen has 8 bits per pixel (times planes) or fewer, else Out24Bit.
void AdjustDefaultsToScreen();

// Start-up of the JPEG module: AdjustDefaultsToScreen, then "jpeg" and "jpg" ("JPEG Image
// File") in the picture container's format registry. Shutdown removes them again.
void RegisterJpegFormats();
void UnregisterJpegFormats();

class TJPEGImage : public TGraphic, private jpeg::ProgressListener {
 public:
  TJPEGImage();
  ~TJPEGImage() override;
  TJPEGImage(const TJPEGImage&) = delete;
  TJPEGImage& operator=(const TJPEGImage&) = delete;

  static const TGraphicClass& StaticClass();
  const TGraphicClass& GraphicClass() const override { return StaticClass(); }

  // A bitmap destination takes a copy of the decoded picture; others fail to assign.
  void CopyTo(TPersistent* dest) const override;
  // A JPEG source: its holder is shared (no bytes copied) and its bitmap copied; a source
  // without a bitmap leaves none here either. A bitmap source: a new empty holder and a copy
  // of the bitmap, compressed only when bytes are needed. No change notification.
  void CopyFrom(const TPersistent* source) override;
  void DrawInto(TCanvas& canvas, const win::RECT& rect) override;
  // Both hold bytes: the bytes compared; otherwise equal exactly when the holder is shared.
  bool SameAs(TGraphic* other) override;
  // No bytes (a byte stream of length 0 counts as bytes) and no bitmap, or an empty one.
  bool IsEmpty() const override;
  // The bitmap's size when one is held, else the header's (at the reduced scale if set).
  int Height() const override;
  int Width() const override;
  win::HPALETTE Palette() override;
  // EInvalidGraphicOperation "Cannot change the size of a JPEG image".
  void SetHeight(int value) override;
  void SetWidth(int value) override;
  // The object takes ownership of value; a held bitmap of another palette is dropped.
  void SetPalette(win::HPALETTE value) override;
  // Stored data: a 32-bit little-endian byte count, then the JPEG file's bytes. Writing never
  // encodes: an object holding only a bitmap writes a count of 0.
  void ReadStoredData(TStream& stream) override;
  void WriteStoredData(TStream& stream) override;
  // Everything from the stream's position to its end is the JPEG file.
  void ReadFromStream(TStream& stream) override;
  // The bytes, encoding the bitmap first when there are none. A bitmap of width or height 0
  // raises EInvalidGraphic "Cannot save an empty JPEG image"; an encode aborted from
  // OnProgress raises EAbort; nothing is written in either case.
  void WriteToStream(TStream& stream) override;
  // The clipboard's bitmap becomes the picture (the old bytes are no longer it).
  void ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE palette) override;
  void WriteToClipboard(std::uint16_t& format, win::HANDLE& data, win::HPALETTE& palette) override;

  // The held bitmap, decoding the bytes first if none is held, turned upright by the data's
  // EXIF orientation. The object keeps ownership. An object with neither bytes nor bitmap
  // gives an empty bitmap. EAbort from OnProgress ends the decode early and the bitmap is
  // returned as far as it was filled.
  TBitmap& ObtainBitmap();
  // Encode when the holder has no bytes.
  void EnsureEncoded();
  // Compresses the held bitmap into new bytes (a new holder when the current one has bytes
  // another object may share). A failure keeps no partial bytes; EAbort from OnProgress ends
  // it silently.
  void Encode();
  // Takes count bytes from stream as the new JPEG data and reads the header (size, gray,
  // several scans, EXIF orientation). A short read raises EReadError, a bad header EJPEG; the
  // object then holds the bytes as far as they were read and a size of 0 x 0. The bytes are
  // kept as they are: saving them writes the file back unchanged.
  void LoadJpegBytes(std::int32_t count, TStream& stream);

  // The shared holder (present from construction to destruction).
  const TJPEGData& Data() const { return *sharedData_; }
  bool HasBitmap() const { return decodedBitmap_ != nullptr; }

  const TJPEGSettings& Settings() const { return settings_; }
  std::uint8_t EncodeQuality() const { return settings_.EncodeQuality; }
  void SetEncodeQuality(std::uint8_t value) { settings_.EncodeQuality = value; }
  bool GrayOutput() const { return settings_.GrayOutput; }
  void SetGrayOutput(bool value) { settings_.GrayOutput = value; }
  TJPEGSpeedMode SpeedMode() const { return settings_.SpeedMode; }
  void SetSpeedMode(TJPEGSpeedMode value) { settings_.SpeedMode = value; }
  TJPEGOutputDepth OutputDepth() const { return settings_.OutputDepth; }
  void SetOutputDepth(TJPEGOutputDepth value) { settings_.OutputDepth = value; }
  bool ShowScans() const { return settings_.ShowScans; }
  void SetShowScans(bool value) { settings_.ShowScans = value; }
  // Set from the data by LoadJpegBytes; an encode writes a progressive file when set.
  bool MultiScan() const { return settings_.MultiScan; }
  void SetMultiScan(bool value) { settings_.MultiScan = value; }
  std::uint8_t ReduceShift() const { return settings_.ReduceShift; }
  void SetReduceShift(std::uint8_t value) { settings_.ReduceShift = value; }
  bool BlockSmoothing() const { return settings_.BlockSmoothing; }
  void SetBlockSmoothing(bool value) { settings_.BlockSmoothing = value; }

 private:
  class BitmapTarget;

  // Release the holder and take a new, empty one.
  void ReplaceData();
  void ReplaceBitmap();
  void DropBitmap();
  // The output size at the reduced scale, from the header (cached).
  win::SIZE ReducedSize() const;
  void CodecProgress(std::uint8_t percent, bool redrawNow, const win::RECT& r) override;

  TSharedRef<TJPEGData> sharedData_;
  std::unique_ptr<TBitmap> decodedBitmap_;
  mutable win::SIZE reducedSize_{0, 0};
  mutable const TMemoryStream* reducedFor_ = nullptr;  // bytes the cached size belongs to
  mutable std::uint8_t reducedShift_ = 0;
  win::HPALETTE displayPalette_ = nullptr;
  TJPEGSettings settings_;
};
