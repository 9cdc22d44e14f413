#include "imaging/bitmap.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/user/clipboard.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

using win::BITMAPINFO;
using win::DIBSECTION;
using win::HBITMAP;
using win::HDC;
using win::HGDIOBJ;
using win::HPALETTE;

namespace {

// Guards the exchange of image records between bitmaps.
std::mutex& ImageLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

class ScreenDC {
 public:
  ScreenDC() : dc_(win::GetDC(nullptr)) {
    if (dc_ == nullptr) RaiseOutOfResources();
  }
  ~ScreenDC() { win::ReleaseDC(nullptr, dc_); }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
};

class MemoryDC {
 public:
  explicit MemoryDC(HDC reference) : dc_(win::CreateCompatibleDC(reference)) {
    if (dc_ == nullptr) RaiseOutOfResources();
  }
  ~MemoryDC() { win::DeleteDC(dc_); }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
};

int DeviceBits(HDC dc) {
  return win::GetDeviceCaps(dc, win::BITSPIXEL) * win::GetDeviceCaps(dc, win::PLANES);
}

constexpr win::DWORD kMask565[3] = {0xF800, 0x07E0, 0x001F};
constexpr win::DWORD kMask888[3] = {0xFF0000, 0x00FF00, 0x0000FF};

void PutMasks(BITMAPINFO& info, const win::DWORD masks[3]) {
  std::memcpy(info.bmiColors, masks, 3 * sizeof(win::DWORD));
}

// A DIB description of a device-dependent bitmap's own depth. The 16-bit screen is 5-6-5, so
// its copy uses those bit fields and loses nothing.
DIBSECTION DibDescriptionOf(HBITMAP ddb) {
  DIBSECTION d{};
  win::GetObjectA(ddb, sizeof(win::BITMAP), &d.dsBm);
  d.dsBm.bmBits = nullptr;
  d.dsBm.bmHeight = std::abs(d.dsBm.bmHeight);
  d.dsBmih.biSize = sizeof(win::BITMAPINFOHEADER);
  d.dsBmih.biWidth = d.dsBm.bmWidth;
  d.dsBmih.biHeight = d.dsBm.bmHeight;
  d.dsBmih.biPlanes = 1;
  d.dsBmih.biBitCount = win::WORD(d.dsBm.bmPlanes * d.dsBm.bmBitsPixel);
  if (d.dsBmih.biBitCount == 16) {
    d.dsBmih.biCompression = win::BI_BITFIELDS;
    std::memcpy(d.dsBitfields, kMask565, sizeof kMask565);
  }
  return d;
}

// The description of a device-dependent bitmap: its BITMAP part, no header.
DIBSECTION DdbDescriptionOf(HBITMAP ddb) {
  DIBSECTION d{};
  win::GetObjectA(ddb, sizeof(win::BITMAP), &d.dsBm);
  d.dsBm.bmBits = nullptr;
  return d;
}

HPALETTE PaletteFromColors(const win::RGBQUAD* colors, win::UINT count) {
  if (count == 0) return nullptr;
  win::LOGPALETTE lp{};
  lp.palVersion = 0x300;
  lp.palNumEntries = win::WORD(count);
  for (win::UINT i = 0; i < count; ++i)
    lp.palPalEntry[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  return win::CreatePalette(&lp);
}

// The colour table of a DIB section, read through dc when the section is selected there.
win::UINT DibColorTable(HBITMAP dib, HDC selectedIn, win::RGBQUAD* colors) {
  if (selectedIn != nullptr) return win::GetDIBColorTable(selectedIn, 0, 256, colors);
  MemoryDC mem(nullptr);
  HGDIOBJ old = win::SelectObject(mem.dc(), dib);
  if (old == nullptr) return 0;
  const win::UINT n = win::GetDIBColorTable(mem.dc(), 0, 256, colors);
  win::SelectObject(mem.dc(), old);
  return n;
}

// The copy-image step's bitmap part: a new native bitmap made to the description dib from
// source (may be 0), filled white or with the canvas brush, the source's pixels copied in at
// the top-left. dib is refreshed from the result. Returns 0 when the description has no area.
HBITMAP CopyBitmap(HBITMAP source, HPALETTE sourcePalette, HPALETTE targetPalette, DIBSECTION& dib,
                   TCanvas* canvas) {
  win::BITMAPINFOHEADER& header = dib.dsBmih;
  const bool hasHeader = header.biSize != 0;
  if ((hasHeader && (header.biWidth == 0 || header.biHeight == 0)) ||
      (!hasHeader && (dib.dsBm.bmWidth == 0 || dib.dsBm.bmHeight == 0))) {
    dib.dsBm.bmBits = nullptr;
    return nullptr;
  }

  DIBSECTION src{};
  if (source != nullptr) {
    DeselectBitmap(source);
    if (win::GetObjectA(source, sizeof src, &src) < int(sizeof(win::BITMAP)))
      throw EInvalidGraphic(strings::kInvalidBitmap);
  }

  ScreenDC screen;
  MemoryDC mem(screen.dc());
  HBITMAP result = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  HPALETTE oldPalette = nullptr;
  try {
    bool isDib = false;
    int width = dib.dsBm.bmWidth;
    int height = std::abs(dib.dsBm.bmHeight);
    if (header.biSize >= sizeof(win::BITMAPINFOHEADER)) {
      isDib = true;
      BITMAPINFO info{};
      info.bmiHeader = header;
      info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
      info.bmiHeader.biPlanes = 1;
      if (info.bmiHeader.biBitCount == 0)
        info.bmiHeader.biBitCount = win::WORD(DeviceBits(screen.dc()));
      win::BITMAPINFOHEADER& h = info.bmiHeader;
      dib.dsBm.bmWidth = width = h.biWidth;
      dib.dsBm.bmHeight = h.biHeight;
      height = std::abs(h.biHeight);
      if (h.biBitCount <= 8) {
        const win::UINT maxColors = 1u << h.biBitCount;
        if (h.biBitCount == 1 && (source == nullptr || src.dsBm.bmBits == nullptr)) {
          info.bmiColors[0] = {0, 0, 0, 0};
          info.bmiColors[1] = {255, 255, 255, 0};
          h.biClrUsed = 2;
        } else if (targetPalette != nullptr) {
          win::PALETTEENTRY entries[256];
          win::UINT n = win::GetPaletteEntries(targetPalette, 0, 256, entries);
          if (n > maxColors) n = maxColors;
          for (win::UINT i = 0; i < n; ++i)
            info.bmiColors[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
          h.biClrUsed = n;
        } else if (source != nullptr && src.dsBm.bmBits != nullptr) {
          win::UINT n = DibColorTable(source, nullptr, info.bmiColors);
          if (n > maxColors) n = maxColors;
          h.biClrUsed = n;
        } else if (source != nullptr) {
          // The colours the system reports for a device-dependent bitmap's pixel values.
          BITMAPINFO query{};
          query.bmiHeader = h;
          win::GetDIBits(screen.dc(), source, 0, win::UINT(height), nullptr, &query,
                         win::DIB_RGB_COLORS);
          std::memcpy(info.bmiColors, query.bmiColors, maxColors * sizeof(win::RGBQUAD));
        }
      } else if ((h.biBitCount == 16 || h.biBitCount == 32) &&
                 h.biCompression == win::BI_BITFIELDS) {
        const win::DWORD* defaults = h.biBitCount == 16 ? kMask565 : kMask888;
        for (int i = 0; i < 3; ++i)
          if (dib.dsBitfields[i] == 0) dib.dsBitfields[i] = defaults[i];
        PutMasks(info, dib.dsBitfields);
      }
      void* bits = nullptr;
      result = win::CreateDIBSection(screen.dc(), &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
      if (result != nullptr && bits == nullptr) {
        win::DeleteObject(result);
        result = nullptr;
      }
      if (result == nullptr) RaiseOutOfResources();
      // Same size, true colour: fetch the pixels straight into the new format.
      if (source != nullptr && src.dsBm.bmWidth == h.biWidth &&
          std::abs(src.dsBm.bmHeight) == height && h.biBitCount > 8 &&
          win::GetDIBits(screen.dc(), source, 0, win::UINT(height), bits, &info,
                         win::DIB_RGB_COLORS) != 0) {
        dib = {};
        win::GetObjectA(result, sizeof dib, &dib);
        return result;
      }
    } else if ((dib.dsBm.bmPlanes | dib.dsBm.bmBitsPixel) == 1) {
      result = win::CreateBitmap(width, height, 1, 1, nullptr);
    } else {
      result = win::CreateCompatibleBitmap(screen.dc(), width, height);
    }
    if (result == nullptr) RaiseOutOfResources();

    oldBitmap = win::SelectObject(mem.dc(), result);
    if (oldBitmap == nullptr) RaiseOutOfResources();
    if (targetPalette != nullptr) {
      oldPalette = win::SelectPalette(mem.dc(), targetPalette, win::FALSE);
      win::RealizePalette(mem.dc());
    }

    win::COLORREF textColor = 0;
    win::COLORREF backColor = 0;
    if (canvas != nullptr) {
      textColor = ColorToRGB(canvas->Font().Color());
      backColor = ColorToRGB(canvas->Brush().Color());
      const win::RECT all{0, 0, width, height};
      win::FillRect(mem.dc(), &all, canvas->Brush().Handle());
      win::SetTextColor(mem.dc(), textColor);
      win::SetBkColor(mem.dc(), backColor);
      if (isDib && header.biBitCount == 1) {
        const win::RGBQUAD table[2] = {
            {win::GetBValue(textColor), win::GetGValue(textColor), win::GetRValue(textColor), 0},
            {win::GetBValue(backColor), win::GetGValue(backColor), win::GetRValue(backColor), 0}};
        win::SetDIBColorTable(mem.dc(), 0, 2, table);
      }
    } else {
      win::PatBlt(mem.dc(), 0, 0, width, height, win::WHITENESS);
    }

    if (source != nullptr) {
      MemoryDC from(screen.dc());
      HGDIOBJ oldSource = win::SelectObject(from.dc(), source);
      if (oldSource == nullptr) RaiseOutOfResources();
      HPALETTE oldSourcePalette = nullptr;
      if (sourcePalette != nullptr) {
        oldSourcePalette = win::SelectPalette(from.dc(), sourcePalette, win::FALSE);
        win::RealizePalette(from.dc());
      }
      if (canvas != nullptr) {
        win::SetTextColor(from.dc(), textColor);
        win::SetBkColor(from.dc(), backColor);
      }
      win::BitBlt(mem.dc(), 0, 0, width, height, from.dc(), 0, 0, win::SRCCOPY);
      if (oldSourcePalette != nullptr) win::SelectPalette(from.dc(), oldSourcePalette, win::TRUE);
      win::SelectObject(from.dc(), oldSource);
    }

    if (oldPalette != nullptr) win::SelectPalette(mem.dc(), oldPalette, win::TRUE);
    win::SelectObject(mem.dc(), oldBitmap);
  } catch (...) {
    if (oldPalette != nullptr) win::SelectPalette(mem.dc(), oldPalette, win::TRUE);
    if (oldBitmap != nullptr) win::SelectObject(mem.dc(), oldBitmap);
    if (result != nullptr) win::DeleteObject(result);
    throw;
  }
  dib = {};
  win::GetObjectA(result, sizeof dib, &dib);
  return result;
}

}  // namespace

// --- Palettes ------------------------------------------------------------------------------

HPALETTE SystemPalette16() {
  // The stock default palette is the 16-colour system palette; deleting it does nothing.
  return static_cast<HPALETTE>(win::GetStockObject(win::DEFAULT_PALETTE));
}

HPALETTE CopyPalette(HPALETTE palette) {
  if (palette == nullptr) return nullptr;
  win::WORD count = 0;
  if (win::GetObjectA(palette, sizeof count, &count) == 0 || count == 0) return nullptr;
  win::LOGPALETTE lp{};
  lp.palVersion = 0x300;
  lp.palNumEntries = count > 256 ? 256 : count;
  win::GetPaletteEntries(palette, 0, lp.palNumEntries, lp.palPalEntry);
  HPALETTE copy = win::CreatePalette(&lp);
  if (copy == nullptr) RaiseOutOfResources();
  return copy;
}

// --- TBitmapImage --------------------------------------------------------------------------

void TBitmapImage::FreeHandle() {
  if (handle != nullptr) {
    DeselectBitmap(handle);
    if (handle != dibHandle) win::DeleteObject(handle);
  }
  if (dibHandle != nullptr) {
    DeselectBitmap(dibHandle);
    win::DeleteObject(dibHandle);
  }
  if (maskHandle != nullptr) win::DeleteObject(maskHandle);
  if (palette != nullptr && palette != SystemPalette16()) win::DeleteObject(palette);
  handle = dibHandle = maskHandle = nullptr;
  palette = nullptr;
  saveStream.reset();
}

// --- TBitmap -------------------------------------------------------------------------------

const TGraphicClass& TBitmap::StaticClass() {
  static const TGraphicClass kClass{
      "TBitmap", &TGraphic::StaticClass(),
      []() -> std::unique_ptr<TGraphic> { return std::make_unique<TBitmap>(); }};
  return kClass;
}

TBitmap::TBitmap() : image_(new TBitmapImage) {
  image_->Reference();
}

TBitmap::~TBitmap() {
  FreeContext();
  image_->Release();
  canvas_.reset();
}

void TBitmap::CopyFrom(const TPersistent* source) {
  const auto* other = dynamic_cast<const TBitmap*>(source);
  if (source != nullptr && other == nullptr) {
    TGraphic::CopyFrom(source);
    return;
  }
  FreeContext();
  TBitmapImage* incoming = other != nullptr ? other->image_ : new TBitmapImage;
  TBitmapImage* old;
  {
    std::lock_guard guard(ImageLock());
    incoming->Reference();
    old = image_;
    image_ = incoming;
  }
  old->Release();
  if (other != nullptr) {
    StoreTransparent(other->Transparent());
    transparentColor_ = other->transparentColor_;
    transparentMode_ = other->transparentMode_;
  }
  ignorePalette_ = false;
  SetPaletteModified(Palette() != nullptr);
  NotifyChange();
}

void TBitmap::NotifyChange() {
  maskValid_ = false;
  if (!suppressChange_) TGraphic::NotifyChange();
}

bool TBitmap::IsEmpty() const {
  return image_->handle == nullptr && image_->dibHandle == nullptr && !image_->saveStream;
}

int TBitmap::Width() const {
  return image_->dib.dsBm.bmWidth;
}

int TBitmap::Height() const {
  return std::abs(image_->dib.dsBm.bmHeight);
}

bool TBitmap::HandleAllocated() const {
  return image_->handle != nullptr;
}

bool TBitmap::Monochrome() const {
  return image_->dib.dsBm.bmPlanes == 1 && image_->dib.dsBm.bmBitsPixel == 1;
}

void TBitmap::FreeContext() {
  if (canvas_) canvas_->FreeContext();
}

void TBitmap::NewImage(HBITMAP handle, HPALETTE palette, const DIBSECTION& dib, bool os2Format,
                       std::unique_ptr<TMemoryStream> saveStream) {
  auto* image = new TBitmapImage;
  image->handle = handle;
  image->palette = palette;
  image->dib = dib;
  if (handle == nullptr) image->dib.dsBm.bmBits = nullptr;
  if (handle != nullptr && image->dib.dsBm.bmBits != nullptr) image->dibHandle = handle;
  image->os2Format = os2Format;
  image->saveStream = std::move(saveStream);
  image->Reference();
  TBitmapImage* old;
  {
    std::lock_guard guard(ImageLock());
    old = image_;
    image_ = image;
  }
  old->Release();
  ignorePalette_ = false;
  maskValid_ = false;
}

void TBitmap::CopyImage(HBITMAP source, HPALETTE palette, const DIBSECTION& dib) {
  FreeContext();
  const bool keepHalftone = palette != nullptr && palette == image_->palette && image_->halftone;
  HPALETTE target = palette == SystemPalette16() ? palette : CopyPalette(palette);
  DIBSECTION description = dib;
  HBITMAP handle;
  try {
    handle = CopyBitmap(source, palette, target, description, canvas_.get());
  } catch (...) {
    if (target != nullptr && target != SystemPalette16()) win::DeleteObject(target);
    throw;
  }
  NewImage(handle, target, description, image_->os2Format);
  image_->halftone = keepHalftone;
}

DIBSECTION TBitmap::CopyDescription() const {
  const TBitmapImage& img = *image_;
  if (img.handle != nullptr && img.dibHandle != nullptr && img.handle != img.dibHandle)
    return DdbDescriptionOf(img.handle);
  return img.dib;
}

void TBitmap::SyncDIBCopy() {
  TBitmapImage& img = *image_;
  if (!img.dibCopyDirty) return;
  img.dibCopyDirty = false;
  if (img.handle == nullptr || img.dibHandle == nullptr || img.handle == img.dibHandle) return;
  win::GdiFlush();
  DeselectBitmap(img.handle);
  BITMAPINFO info{};
  info.bmiHeader = img.dib.dsBmih;
  info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
  if (info.bmiHeader.biBitCount <= 8)
    DibColorTable(img.dibHandle, nullptr, info.bmiColors);
  else if (info.bmiHeader.biCompression == win::BI_BITFIELDS)
    PutMasks(info, img.dib.dsBitfields);
  ScreenDC screen;
  win::SetDIBits(screen.dc(), img.handle, 0, win::UINT(Height()), img.dib.dsBm.bmBits, &info,
                 win::DIB_RGB_COLORS);
}

void TBitmap::HandleNeeded() {
  SyncDIBCopy();
  if (image_->handle != nullptr || !image_->saveStream) return;
  // Only the bytes of a compressed BMP are held: decode them again, quietly.
  TMemoryStream bytes;
  TMemoryStream& saved = *image_->saveStream;
  bytes.WriteBuffer(saved.Memory(), std::int32_t(saved.Size()));
  bytes.SetPosition(0);
  const bool previous = suppressChange_;
  suppressChange_ = true;
  try {
    ReadFromStream(bytes);
  } catch (...) {
    suppressChange_ = previous;
    throw;
  }
  suppressChange_ = previous;
}

void TBitmap::MakePrivate(DibCopy dibCopy) {
  SyncDIBCopy();
  TBitmapImage& img = *image_;
  if (img.RefCount() > 1) {
    CopyImage(img.handle, img.halftone ? nullptr : img.palette, CopyDescription());
  } else if (dibCopy == DibCopy::Drop && img.dibHandle != nullptr && img.dibHandle != img.handle) {
    // A DIB copy would go stale under the coming write.
    DeselectBitmap(img.dibHandle);
    win::DeleteObject(img.dibHandle);
    img.dibHandle = nullptr;
    img.dib = DdbDescriptionOf(img.handle);
  }
  image_->dib.dsBmih.biClrUsed = 0;
  image_->dib.dsBmih.biClrImportant = 0;
  image_->saveStream.reset();
}

void TBitmap::Changing() {
  MakePrivate(DibCopy::Drop);
}

void TBitmap::PaletteNeeded() {
  TBitmapImage& img = *image_;
  if (img.palette != nullptr || ignorePalette_) return;
  if (img.dibHandle != nullptr && img.dib.dsBmih.biBitCount <= 8) {
    win::RGBQUAD colors[256];
    HDC selectedIn =
        canvas_ && canvas_->SelectedBitmap() == img.dibHandle ? canvas_->CurrentHandle() : nullptr;
    img.palette = PaletteFromColors(colors, DibColorTable(img.dibHandle, selectedIn, colors));
  }
  if (img.palette == nullptr && img.handle != nullptr) {
    ScreenDC screen;
    if (DeviceBits(screen.dc()) < img.dib.dsBm.bmBitsPixel * img.dib.dsBm.bmPlanes) {
      img.palette = win::CreateHalftonePalette(screen.dc());
      img.halftone = img.palette != nullptr;
    }
  }
  if (img.palette == nullptr) ignorePalette_ = true;
}

void TBitmap::DIBNeeded() {
  TBitmapImage& img = *image_;
  if (img.handle == nullptr || img.dibHandle != nullptr) return;
  PaletteNeeded();
  DIBSECTION d = DibDescriptionOf(img.handle);
  HBITMAP copy = CopyBitmap(img.handle, img.palette, img.palette, d, nullptr);
  img.dibHandle = copy;
  img.dib = d;
}

HPALETTE TBitmap::Palette() {
  PaletteNeeded();
  return image_->palette;
}

void TBitmap::SetPalette(HPALETTE value) {
  if (value == image_->palette) return;
  if (value == nullptr && image_->RefCount() == 1) {
    if (image_->palette != SystemPalette16()) win::DeleteObject(image_->palette);
    image_->palette = nullptr;
    image_->halftone = false;
  } else {
    HandleNeeded();
    FreeContext();
    DIBSECTION d = CopyDescription();
    // White fill: the canvas brush plays no part in a palette change.
    HBITMAP handle = CopyBitmap(image_->handle, image_->palette, value, d, nullptr);
    NewImage(handle, value, d, image_->os2Format);
  }
  ignorePalette_ = false;
  SetPaletteModified(true);
  NotifyChange();
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    HandleNeeded();
    canvas_ = std::make_unique<TBitmapCanvas>(this);
    canvas_->OnChange = [this](TObject*) { NotifyChange(); };
    canvas_->OnChanging = [this](TObject*) { Changing(); };
  }
  return *canvas_;
}

HBITMAP TBitmap::Handle() {
  // The caller may select the bitmap into a context of its own.
  FreeContext();
  HandleNeeded();
  MakePrivate(DibCopy::Drop);
  return image_->handle;
}

HBITMAP TBitmap::MaskHandle() {
  if (maskValid_ && image_->maskHandle != nullptr) return image_->maskHandle;
  // The mask belongs to this bitmap's transparent colour; another sharer may want another.
  if (image_->RefCount() > 1) MakePrivate(DibCopy::Keep);
  if (image_->handle == nullptr) return nullptr;
  const win::COLORREF key = EffectiveTransparentColor();
  const int width = Width();
  const int height = Height();
  HBITMAP mask = win::CreateBitmap(width, height, 1, 1, nullptr);
  if (mask == nullptr) RaiseOutOfResources();
  TCanvas& canvas = Canvas();
  canvas.RequiredState(csHandleValid);
  HDC source = canvas.CurrentHandle();
  MemoryDC mem(nullptr);
  HGDIOBJ old = win::SelectObject(mem.dc(), mask);
  // Colour to monochrome: pixels of the background colour become 1, the others 0.
  const win::COLORREF oldBack = win::SetBkColor(source, key);
  win::BitBlt(mem.dc(), 0, 0, width, height, source, 0, 0, win::SRCCOPY);
  win::SetBkColor(source, oldBack);
  win::SelectObject(mem.dc(), old);
  if (image_->maskHandle != nullptr) win::DeleteObject(image_->maskHandle);
  image_->maskHandle = mask;
  maskValid_ = true;
  return mask;
}

TBitmapStorageKind TBitmap::StorageKind() const {
  const TBitmapImage& img = *image_;
  if (img.handle != nullptr && img.handle != img.dibHandle)
    return TBitmapStorageKind::DeviceDependent;
  if (img.dibHandle == nullptr && img.dib.dsBmih.biSize == 0)
    return TBitmapStorageKind::DeviceDependent;
  return TBitmapStorageKind::DeviceIndependent;
}

void TBitmap::SetStorageKind(TBitmapStorageKind value) {
  if (value == StorageKind()) return;
  TBitmapImage& img = *image_;
  if (img.handle == nullptr && img.dibHandle == nullptr) {
    // No pixels: only the recorded format changes.
    DIBSECTION d = img.dib;
    if (value == TBitmapStorageKind::DeviceDependent) {
      d.dsBmih = {};
      std::memset(d.dsBitfields, 0, sizeof d.dsBitfields);
    } else {
      d.dsBmih.biSize = sizeof(win::BITMAPINFOHEADER);
      d.dsBmih.biWidth = d.dsBm.bmWidth;
      d.dsBmih.biHeight = d.dsBm.bmHeight;
      d.dsBmih.biPlanes = 1;
    }
    if (img.RefCount() == 1)
      img.dib = d;
    else
      NewImage(nullptr, CopyPalette(img.palette), d, img.os2Format);
    return;
  }
  FreeContext();
  HandleNeeded();
  PaletteNeeded();
  DIBSECTION d;
  if (value == TBitmapStorageKind::DeviceIndependent) {
    d = DibDescriptionOf(image_->handle);
  } else {
    d = {};
    d.dsBm = image_->dib.dsBm;
    d.dsBm.bmBits = nullptr;
    d.dsBm.bmHeight = Height();
  }
  CopyImage(image_->handle, image_->palette, d);
  NotifyChange();
}

TColorDepth TBitmap::ColorDepth() const {
  if (StorageKind() == TBitmapStorageKind::DeviceDependent) return TColorDepth::DepthDevice;
  const win::BITMAPINFOHEADER& h = image_->dib.dsBmih;
  switch (h.biBitCount) {
    case 1:
      return TColorDepth::Depth1;
    case 4:
      return TColorDepth::Depth4;
    case 8:
      return TColorDepth::Depth8;
    case 16:
      if (h.biCompression == win::BI_RGB) return TColorDepth::Depth15;
      if (h.biCompression == win::BI_BITFIELDS && image_->dib.dsBitfields[1] == 0x07E0)
        return TColorDepth::Depth16;
      return TColorDepth::DepthCustom;
    case 24:
      return TColorDepth::Depth24;
    case 32:
      return h.biCompression == win::BI_RGB ? TColorDepth::Depth32 : TColorDepth::DepthCustom;
    default:
      return TColorDepth::DepthCustom;
  }
}

void TBitmap::SetColorDepth(TColorDepth value) {
  if (value == ColorDepth()) return;
  if (value == TColorDepth::DepthDevice) {
    SetStorageKind(TBitmapStorageKind::DeviceDependent);
    return;
  }
  if (value == TColorDepth::DepthCustom) throw EInvalidGraphic(strings::kInvalidPixelFormat);

  DIBSECTION d{};
  d.dsBm = image_->dib.dsBm;
  d.dsBm.bmBits = nullptr;
  win::BITMAPINFOHEADER& h = d.dsBmih;
  h.biSize = sizeof(win::BITMAPINFOHEADER);
  h.biWidth = d.dsBm.bmWidth;
  h.biHeight = std::abs(d.dsBm.bmHeight);
  h.biPlanes = 1;
  h.biCompression = win::BI_RGB;
  HPALETTE palette = image_->palette;
  bool ownPalette = false;
  switch (value) {
    case TColorDepth::Depth1:
      h.biBitCount = 1;
      break;
    case TColorDepth::Depth4:
      h.biBitCount = 4;
      palette = SystemPalette16();
      break;
    case TColorDepth::Depth8: {
      h.biBitCount = 8;
      ScreenDC screen;
      palette = win::CreateHalftonePalette(screen.dc());
      if (palette == nullptr) RaiseOutOfResources();
      ownPalette = true;
      break;
    }
    case TColorDepth::Depth15:
      h.biBitCount = 16;
      break;
    case TColorDepth::Depth16:
      h.biBitCount = 16;
      h.biCompression = win::BI_BITFIELDS;
      std::memcpy(d.dsBitfields, kMask565, sizeof kMask565);
      break;
    case TColorDepth::Depth24:
      h.biBitCount = 24;
      break;
    case TColorDepth::Depth32:
      h.biBitCount = 32;
      break;
    default:
      break;
  }

  // Step B reads the current image without writing it, so a shared image need not be made
  // private first: the new record replaces it either way.
  try {
    FreeContext();
    HandleNeeded();
    CopyImage(image_->handle, palette, d);
  } catch (...) {
    if (ownPalette) win::DeleteObject(palette);
    throw;
  }
  if (ownPalette) win::DeleteObject(palette);
  SetPaletteModified(palette != nullptr);
  NotifyChange();
}

void TBitmap::SetWidth(int value) {
  if (value == image_->dib.dsBm.bmWidth) return;
  HandleNeeded();
  DIBSECTION d = CopyDescription();
  d.dsBm.bmWidth = value;
  d.dsBmih.biWidth = value;
  CopyImage(image_->handle, image_->palette, d);
  NotifyChange();
}

void TBitmap::SetHeight(int value) {
  if (value == image_->dib.dsBm.bmHeight) return;
  HandleNeeded();
  DIBSECTION d = CopyDescription();
  d.dsBm.bmHeight = value;
  d.dsBmih.biHeight = value;
  CopyImage(image_->handle, image_->palette, d);
  NotifyChange();
}

std::int32_t TBitmap::BytesPerRow(std::int32_t width, std::int32_t bitCount) {
  const std::int64_t bits = std::int64_t(width) * bitCount;
  return std::int32_t(((bits + 31) & ~std::int64_t{31}) / 8);
}

std::uint8_t* TBitmap::RowPointer(int row) {
  MakePrivate(DibCopy::Keep);
  if (row < 0 || row >= Height()) throw EInvalidGraphicOperation(strings::kScanLine);
  DIBNeeded();
  TBitmapImage& img = *image_;
  if (img.dibHandle != nullptr && img.dibHandle != img.handle) img.dibCopyDirty = true;
  win::GdiFlush();
  auto* bits = static_cast<std::uint8_t*>(img.dib.dsBm.bmBits);
  if (bits == nullptr) return nullptr;
  const win::BITMAPINFOHEADER& h = img.dib.dsBmih;
  if (h.biHeight > 0) row = h.biHeight - row - 1;
  return bits + std::ptrdiff_t(row) * BytesPerRow(h.biWidth, h.biBitCount);
}

std::int32_t TBitmap::RowStep() const {
  const win::BITMAPINFOHEADER& h = image_->dib.dsBmih;
  if (h.biSize != 0) {
    const std::int32_t step = BytesPerRow(h.biWidth, h.biBitCount);
    return h.biHeight > 0 ? -step : step;
  }
  // Not yet a DIB: the copy that RowPointer makes is bottom-up, of the device's depth.
  const win::BITMAP& b = image_->dib.dsBm;
  return -BytesPerRow(b.bmWidth, b.bmPlanes * b.bmBitsPixel);
}

void TBitmap::ClearImage() {
  if (image_->handle == nullptr) return;
  FreeContext();
  HPALETTE palette;
  const bool halftone = image_->halftone;
  if (image_->RefCount() == 1) {
    palette = image_->palette;
    image_->palette = nullptr;  // taken over by the new record
  } else {
    palette = image_->palette == SystemPalette16() ? image_->palette : CopyPalette(image_->palette);
  }
  NewImage(nullptr, palette, DIBSECTION{}, false);
  image_->halftone = halftone;
  NotifyChange();
}

void TBitmap::SetTransparentColor(TColor value) {
  if (value == transparentColor_) return;
  transparentColor_ = value;
  transparentMode_ = value != clDefault;
  NotifyChange();
}

win::COLORREF TBitmap::EffectiveTransparentColor() {
  if (transparentColor_ != clDefault) return ColorToRGB(transparentColor_);
  if (Monochrome()) return win::RGB(255, 255, 255);
  return Canvas().Pixels(0, Height() - 1);
}

void TBitmap::DrawInto(TCanvas& canvas, const win::RECT& rect) {
  canvas.RequiredState(csAllValid);
  PaletteNeeded();
  HDC target = canvas.CurrentHandle();
  HPALETTE oldPalette = nullptr;
  if (image_->palette != nullptr) {
    oldPalette = win::SelectPalette(target, image_->palette, win::TRUE);
    win::RealizePalette(target);
  }
  try {
    const int targetBits = DeviceBits(target);
    const int ownBits = image_->dib.dsBm.bmBitsPixel * image_->dib.dsBm.bmPlanes;
    if (targetBits <= 8 && targetBits < ownBits) {
      win::POINT origin{};
      win::GetBrushOrgEx(target, &origin);
      win::SetStretchBltMode(target, win::HALFTONE);
      win::SetBrushOrgEx(target, origin.x, origin.y, nullptr);
    } else if (!Monochrome()) {
      win::SetStretchBltMode(target, win::COLORONCOLOR);
    }
    TCanvas& own = Canvas();
    own.RequiredState(csAllValid);
    HDC source = own.CurrentHandle();
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (!Transparent()) {
      win::StretchBlt(target, rect.left, rect.top, width, height, source, 0, 0, Width(), Height(),
                      canvas.CopyMode());
    } else {
      win::TransparentBlt(target, rect.left, rect.top, width, height, source, 0, 0, Width(),
                          Height(), EffectiveTransparentColor());
    }
  } catch (...) {
    if (oldPalette != nullptr) win::SelectPalette(target, oldPalette, win::TRUE);
    throw;
  }
  if (oldPalette != nullptr) win::SelectPalette(target, oldPalette, win::TRUE);
}

void TBitmap::ReadFromClipboard(std::uint16_t format, win::HANDLE data, HPALETTE palette) {
  if (format != win::CF_BITMAP || data == nullptr)
    throw EInvalidGraphic(strings::kUnknownClipboardFormat);
  FreeContext();
  auto* source = static_cast<HBITMAP>(data);
  DIBSECTION d{};
  win::GetObjectA(source, sizeof d, &d);
  if (d.dsBm.bmBits == nullptr) d.dsBmih.biSize = 0;
  CopyImage(source, palette, d);
  image_->os2Format = false;
  SetPaletteModified(Palette() != nullptr);
  NotifyChange();
}

void TBitmap::WriteToClipboard(std::uint16_t& format, win::HANDLE& data, HPALETTE& palette) {
  HandleNeeded();
  DIBSECTION d{};
  d.dsBm = image_->dib.dsBm;
  d.dsBm.bmBits = nullptr;
  d.dsBm.bmHeight = Height();
  HBITMAP copy = CopyBitmap(image_->handle, image_->palette, image_->palette, d, canvas_.get());
  HPALETTE paletteCopy = nullptr;
  try {
    paletteCopy = CopyPalette(image_->palette);
  } catch (...) {
    if (copy != nullptr) win::DeleteObject(copy);
    throw;
  }
  format = win::CF_BITMAP;
  data = copy;
  palette = paletteCopy;
}
