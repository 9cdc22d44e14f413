// TBitmap: the raster image. Its pixels live in a native bitmap (device-dependent, in the
// screen's format, or a DIB section) held by a reference-counted image record that several
// bitmaps may share; a bitmap that is about to write takes a private copy first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/canvas.h"
#include "imaging/colors.h"
#include "imaging/graphic.h"
#include "imaging/shared_image.h"
#include "platform/gdi/gdi.h"
#include "runtime/stream.h"

enum class TBitmapStorageKind : std::uint8_t { DeviceDependent, DeviceIndependent };

enum class TColorDepth : std::uint8_t {
  DepthDevice,
  Depth1,
  Depth4,
  Depth8,
  Depth15,
  Depth16,
  Depth24,
  Depth32,
  DepthCustom
};

// The image record shared by bitmaps: the native bitmap with its mask, palette, DIB section
// and description. It keeps the rules that tie these together: a DIB section is its own DIB
// handle; a device-dependent image may have a separate DIB copy beside it, whose rows, once
// handed out for writing, are written back before the native bitmap is used again. The
// record owns every handle it holds and frees them with its last reference.
class TBitmapImage : public TSharedImage {
 public:
  TBitmapImage() = default;
  // A record of handle (0: none) with palette and description; takes ownership of both
  // handles and of saveStream.
  TBitmapImage(win::HBITMAP handle, win::HPALETTE palette, const win::DIBSECTION& dib,
               bool os2Format, std::unique_ptr<TMemoryStream> saveStream);

  // The object the canvas selects.
  win::HBITMAP Handle() const { return handle_; }
  // Monochrome transparency mask.
  win::HBITMAP MaskHandle() const { return maskHandle_; }
  win::HPALETTE Palette() const { return palette_; }
  // Equal to Handle for a DIB section; a separate DIB copy of a device-dependent image once
  // its rows were asked for or it was written to a stream.
  win::HBITMAP DibHandle() const { return dibHandle_; }
  // The DIB copy's description when there is one, else the native bitmap's; the header part
  // is zero for a device-dependent image.
  const win::DIBSECTION& Description() const { return dib_; }
  // A compressed BMP as it was read (none otherwise).
  TMemoryStream* SaveStream() const { return saveStream_.get(); }
  // Read from a core header and written back in that form.
  bool OS2Format() const { return os2Format_; }
  // The palette is a halftone palette made for a lower-depth display.
  bool Halftone() const { return halftone_; }

  bool IsEmpty() const { return handle_ == nullptr && dibHandle_ == nullptr && !saveStream_; }
  bool HasSeparateDibCopy() const {
    return handle_ != nullptr && dibHandle_ != nullptr && handle_ != dibHandle_;
  }

  // Installs a DIB copy made of the device-dependent image (described by dib).
  void AttachDibCopy(win::HBITMAP copy, const win::DIBSECTION& dib);
  // Deletes a separate DIB copy (it would go stale under a write to the native bitmap).
  void DropDibCopy();
  // Rows of the DIB copy were handed out: they go back into the native bitmap before it is
  // next used.
  void MarkDibCopyWritten();
  void WriteBackDibCopy();
  // A new palette (owned from now on; the old one is deleted).
  void ReplacePalette(win::HPALETTE palette, bool halftone);
  // Hands the palette to a new record; this one forgets it.
  win::HPALETTE TakePalette();
  // A new mask (owned from now on; the old one is deleted).
  void ReplaceMask(win::HBITMAP mask);
  // A record without pixels takes a new description (only the recorded format changes).
  void Redescribe(const win::DIBSECTION& dib);
  void SetOS2Format(bool value) { os2Format_ = value; }
  void SetHalftone(bool value) { halftone_ = value; }
  // Before a write: the colour counts no longer hold and a saved stream no longer is the
  // image.
  void ForgetSource();

 protected:
  ~TBitmapImage() override = default;
  void FreeHandle() override;

 private:
  win::HBITMAP handle_ = nullptr;
  win::HBITMAP maskHandle_ = nullptr;
  win::HPALETTE palette_ = nullptr;
  win::HBITMAP dibHandle_ = nullptr;
  win::DIBSECTION dib_{};
  std::unique_ptr<TMemoryStream> saveStream_;
  bool os2Format_ = false;
  bool halftone_ = false;
  bool dibCopyWritten_ = false;
};

class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  static const TGraphicClass& StaticClass();
  const TGraphicClass& GraphicClass() const override { return StaticClass(); }

  // A TBitmap source shares its image (no pixels copied); none empties this bitmap; anything
  // else is asked to copy itself here.
  void CopyFrom(const TPersistent* source) override;
  void NotifyChange() override;
  // Stretches the image into rect on canvas (COLORONCOLOR, or HALFTONE for a palette target of
  // lower depth), masked when transparent.
  void DrawInto(TCanvas& canvas, const win::RECT& rect) override;
  bool IsEmpty() const override;
  int Height() const override;
  int Width() const override;
  // Re-create the image at the new size: pixels keep their place from the top-left corner,
  // new ones are white (or the canvas brush colour once the canvas exists). Setting the
  // current value does nothing. A platform refusal raises EOutOfResources and keeps the image.
  void SetHeight(int value) override;
  void SetWidth(int value) override;
  // The image's palette, built on demand from a DIB colour table (or a halftone palette for
  // a lower-depth display); 0 when there is none.
  win::HPALETTE Palette() override;
  // The bitmap takes ownership of value.
  void SetPalette(win::HPALETTE value) override;

  // BMP data (bitmap_bmp.cpp). ReadStoredData / WriteStoredData add a 32-bit length.
  void ReadStoredData(TStream& stream) override;
  void WriteStoredData(TStream& stream) override;
  void ReadFromStream(TStream& stream) override;
  void WriteToStream(TStream& stream) override;
  // Reads a bitmap resource: a DIB (info header, colour table, bits) without a file header, as
  // resources compiled into the program hold it. Failures as ReadFromStream.
  void LoadFromResourceData(const void* data, std::size_t size);

  // CF_BITMAP only: the bitmap takes its own copy of data and palette (both stay the
  // clipboard's). Anything else: EInvalidGraphic "Unsupported clipboard format".
  void ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE palette) override;
  // CF_BITMAP, a new device-dependent copy, and a copy of the palette (0 when none).
  void WriteToClipboard(std::uint16_t& format, win::HANDLE& data, win::HPALETTE& palette) override;

  // The drawing surface, created on first use.
  TCanvas& Canvas();
  bool HasCanvas() const { return canvas_ != nullptr; }

  // The native bitmap for the caller to select and draw on: frees the canvas's context and
  // makes the image private first.
  win::HBITMAP Handle();
  bool HandleAllocated() const;
  // The monochrome mask of the transparent colour (1 where the pixel has that colour).
  win::HBITMAP MaskHandle();

  TBitmapStorageKind StorageKind() const;
  void SetStorageKind(TBitmapStorageKind value);
  TColorDepth ColorDepth() const;
  // DepthCustom: EInvalidGraphic "Invalid pixel format". On an empty bitmap only the format is
  // recorded; the next sizing to a non-zero area creates a bottom-up DIB section of it.
  void SetColorDepth(TColorDepth value);

  // Address of a row's first byte; row 0 is the top row. A bottom-up image (the usual kind)
  // has its top row at the highest address. EInvalidGraphicOperation "Scan line index out of
  // range" when row is not in [0, Height). Null when the image has no pixels (a zero width).
  // The address stays valid until the image is next replaced or drawn on.
  std::uint8_t* RowPointer(int row);
  // The distance in bytes from one row to the next below it (negative for bottom-up).
  std::int32_t RowStep() const;
  // Bytes per row of a DIB of this width and bit count (rows are padded to 32 bits).
  static std::int32_t BytesPerRow(std::int32_t width, std::int32_t bitCount);

  // Replaces a held image by an empty one that keeps the palette; nothing when there is no
  // native bitmap (so a recorded ColorDepth survives).
  void ClearImage();

  // Takes a DIB section made and filled elsewhere (a decode helper's own, handed over once
  // the helper is done with it) as the new image, without copying its pixels; the bitmap owns
  // it from now on. A handle that is no DIB section raises EInvalidGraphic "Bitmap image is not
  // valid" and stays the caller's.
  void TakeDibSection(win::HBITMAP section);

  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor value);
  bool Monochrome() const;

  // The shared image record (read-only view for the BMP code and tests).
  const TBitmapImage& Image() const { return *image_; }

 protected:
  // Before any write: takes a private copy of a shared image, drops a stale DIB copy, the
  // colour counts and any saved source stream.
  void Changing();

 private:
  friend class TBitmapCanvas;
  friend struct BmpCodec;  // the BMP reader and writer (bitmap_bmp.cpp)

  enum class DibCopy : std::uint8_t { Drop, Keep };
  void MakePrivate(DibCopy dibCopy);
  // Makes sure a native bitmap exists (re-reading a saved stream) and that rows written
  // through a DIB copy are back in it.
  void HandleNeeded();
  void PaletteNeeded();
  // Makes sure a DIB section exists beside a device-dependent image.
  void DIBNeeded();
  void FreeContext();
  // The copy-image step: a new record from source (may be 0) re-created to the description.
  void CopyImage(win::HBITMAP source, win::HPALETTE palette, const win::DIBSECTION& dib);
  // Installs a new record; the old one is released.
  void NewImage(win::HBITMAP handle, win::HPALETTE palette, const win::DIBSECTION& dib,
                bool os2Format, std::unique_ptr<TMemoryStream> saveStream = nullptr);
  // Shares record (under the image lock); the old one is released.
  void ShareImage(TSharedRef<TBitmapImage> record);
  // The description to re-create the image from: a device-dependent image with a DIB copy
  // is described as device-dependent.
  win::DIBSECTION CopyDescription() const;
  win::COLORREF EffectiveTransparentColor();

  TSharedRef<TBitmapImage> image_;
  std::unique_ptr<TBitmapCanvas> canvas_;
  TColor transparentColor_ = clDefault;
  bool transparentMode_ = false;
  bool maskValid_ = false;
  bool ignorePalette_ = false;
  bool suppressChange_ = false;
};

// The 16-colour system palette (shared, never deleted).
win::HPALETTE SystemPalette16();
// A new palette with the same entries (0 for 0); EOutOfResources when it cannot be made.
win::HPALETTE CopyPalette(win::HPALETTE palette);
