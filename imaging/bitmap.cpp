#include "imaging/bitmap.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "imaging/gdi_guards.h"
#include "platform/user/clipboard.h"
#include "runtime/exceptions.h"
#include "runtime/gui_thread.h"
#include "runtime/scope.h"
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

using guard::MemoryDC;
using guard::ScreenDC;

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
  MemoryDC mem;
  const guard::SelectedObject selected(mem.Get(), dib);
  if (!selected.Selected()) return 0;
  return win::GetDIBColorTable(mem.Get(), 0, 256, colors);
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
  MemoryDC mem(screen.Get());
  // Deleted again unless the step completes.
  guard::GdiObject<HBITMAP> result;
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
      info.bmiHeader.biBitCount = win::WORD(DeviceBits(screen.Get()));
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
        win::GetDIBits(screen.Get(), source, 0, win::UINT(height), nullptr, &query,
                       win::DIB_RGB_COLORS);
        std::memcpy(info.bmiColors, query.bmiColors, maxColors * sizeof(win::RGBQUAD));
      }
    } else if ((h.biBitCount == 16 || h.biBitCount == 32) && h.biCompression == win::BI_BITFIELDS) {
      const win::DWORD* defaults = h.biBitCount == 16 ? kMask565 : kMask888;
      for (int i = 0; i < 3; ++i)
        if (dib.dsBitfields[i] == 0) dib.dsBitfields[i] = defaults[i];
      PutMasks(info, dib.dsBitfields);
    }
    void* bits = nullptr;
    result.Reset(
        win::CreateDIBSection(screen.Get(), &info, win::DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!result || bits == nullptr) RaiseOutOfResources();
    // Same size, true colour: fetch the pixels straight into the new format.
    if (source != nullptr && src.dsBm.bmWidth == h.biWidth &&
        std::abs(src.dsBm.bmHeight) == height && h.biBitCount > 8 &&
        win::GetDIBits(screen.Get(), source, 0, win::UINT(height), bits, &info,
                       win::DIB_RGB_COLORS) != 0) {
      dib = {};
      win::GetObjectA(result.Get(), sizeof dib, &dib);
      return result.Release();
    }
  } else if ((dib.dsBm.bmPlanes | dib.dsBm.bmBitsPixel) == 1) {
    result.Reset(win::CreateBitmap(width, height, 1, 1, nullptr));
  } else {
    result.Reset(win::CreateCompatibleBitmap(screen.Get(), width, height));
  }
  if (!result) RaiseOutOfResources();

  {
    const guard::SelectedObject selected(mem.Get(), result.Get());
    selected.Require();
    const guard::SelectedPalette palette(mem.Get(), targetPalette, false);

    win::COLORREF textColor = 0;
    win::COLORREF backColor = 0;
    if (canvas != nullptr) {
      textColor = ColorToRGB(canvas->Font().Color());
      backColor = ColorToRGB(canvas->Brush().Color());
      const win::RECT all{0, 0, width, height};
      win::FillRect(mem.Get(), &all, canvas->Brush().Handle());
      win::SetTextColor(mem.Get(), textColor);
      win::SetBkColor(mem.Get(), backColor);
      if (isDib && header.biBitCount == 1) {
        const win::RGBQUAD table[2] = {
            {win::GetBValue(textColor), win::GetGValue(textColor), win::GetRValue(textColor), 0},
            {win::GetBValue(backColor), win::GetGValue(backColor), win::GetRValue(backColor), 0}};
        win::SetDIBColorTable(mem.Get(), 0, 2, table);
      }
    } else {
      win::PatBlt(mem.Get(), 0, 0, width, height, win::WHITENESS);
    }

    if (source != nullptr) {
      MemoryDC from(screen.Get());
      const guard::SelectedObject sourceSelected(from.Get(), source);
      sourceSelected.Require();
      const guard::SelectedPalette sourcePaletteSelected(from.Get(), sourcePalette, false);
      if (canvas != nullptr) {
        win::SetTextColor(from.Get(), textColor);
        win::SetBkColor(from.Get(), backColor);
      }
      win::BitBlt(mem.Get(), 0, 0, width, height, from.Get(), 0, 0, win::SRCCOPY);
    }
  }
  dib = {};
  win::GetObjectA(result.Get(), sizeof dib, &dib);
  return result.Release();
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

TBitmapImage::TBitmapImage(HBITMAP handle, HPALETTE palette, const DIBSECTION& dib, bool os2Format,
                           std::unique_ptr<TMemoryStream> saveStream)
    : handle_(handle),
      palette_(palette),
      dib_(dib),
      saveStream_(std::move(saveStream)),
      os2Format_(os2Format) {
  if (handle_ == nullptr) dib_.dsBm.bmBits = nullptr;
  // A native bitmap with bits is a DIB section: its own DIB handle.
  if (handle_ != nullptr && dib_.dsBm.bmBits != nullptr) dibHandle_ = handle_;
}

void TBitmapImage::FreeHandle() {
  if (handle_ != nullptr) {
    DeselectBitmap(handle_);
    if (handle_ != dibHandle_) win::DeleteObject(handle_);
  }
  if (dibHandle_ != nullptr) {
    DeselectBitmap(dibHandle_);
    win::DeleteObject(dibHandle_);
  }
  if (maskHandle_ != nullptr) win::DeleteObject(maskHandle_);
  if (palette_ != nullptr && palette_ != SystemPalette16()) win::DeleteObject(palette_);
  handle_ = dibHandle_ = maskHandle_ = nullptr;
  palette_ = nullptr;
  saveStream_.reset();
}

void TBitmapImage::AttachDibCopy(HBITMAP copy, const DIBSECTION& dib) {
  dibHandle_ = copy;
  dib_ = dib;
  dibCopyWritten_ = false;
}

void TBitmapImage::DropDibCopy() {
  if (!HasSeparateDibCopy()) return;
  DeselectBitmap(dibHandle_);
  win::DeleteObject(dibHandle_);
  dibHandle_ = nullptr;
  dibCopyWritten_ = false;
  dib_ = DdbDescriptionOf(handle_);
}

void TBitmapImage::MarkDibCopyWritten() {
  if (HasSeparateDibCopy()) dibCopyWritten_ = true;
}

void TBitmapImage::WriteBackDibCopy() {
  if (!dibCopyWritten_) return;
  dibCopyWritten_ = false;
  if (!HasSeparateDibCopy()) return;
  win::GdiFlush();
  DeselectBitmap(handle_);
  BITMAPINFO info{};
  info.bmiHeader = dib_.dsBmih;
  info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
  if (info.bmiHeader.biBitCount <= 8)
    DibColorTable(dibHandle_, nullptr, info.bmiColors);
  else if (info.bmiHeader.biCompression == win::BI_BITFIELDS)
    PutMasks(info, dib_.dsBitfields);
  ScreenDC screen;
  win::SetDIBits(screen.Get(), handle_, 0, win::UINT(std::abs(dib_.dsBm.bmHeight)),
                 dib_.dsBm.bmBits, &info, win::DIB_RGB_COLORS);
}

void TBitmapImage::ReplacePalette(HPALETTE palette, bool halftone) {
  if (palette_ != nullptr && palette_ != palette && palette_ != SystemPalette16())
    win::DeleteObject(palette_);
  palette_ = palette;
  halftone_ = halftone;
}

HPALETTE TBitmapImage::TakePalette() {
  return std::exchange(palette_, nullptr);
}

void TBitmapImage::ReplaceMask(HBITMAP mask) {
  if (maskHandle_ != nullptr && maskHandle_ != mask) win::DeleteObject(maskHandle_);
  maskHandle_ = mask;
}

void TBitmapImage::Redescribe(const DIBSECTION& dib) {
  if (handle_ != nullptr || dibHandle_ != nullptr) return;
  dib_ = dib;
  dib_.dsBm.bmBits = nullptr;
}

void TBitmapImage::ForgetSource() {
  dib_.dsBmih.biClrUsed = 0;
  dib_.dsBmih.biClrImportant = 0;
  saveStream_.reset();
}

// --- TBitmap -------------------------------------------------------------------------------

const TGraphicClass& TBitmap::StaticClass() {
  static const TGraphicClass kClass{
      "TBitmap", &TGraphic::StaticClass(),
      []() -> std::unique_ptr<TGraphic> { return std::make_unique<TBitmap>(); }};
  return kClass;
}

TBitmap::TBitmap() : image_(new TBitmapImage) {}

TBitmap::~TBitmap() {
  FreeContext();
  image_ = TSharedRef<TBitmapImage>();
  canvas_.reset();
}

void TBitmap::ShareImage(TSharedRef<TBitmapImage> record) {
  TSharedRef<TBitmapImage> old;
  {
    std::lock_guard guard(ImageLock());
    old = std::move(image_);
    image_ = std::move(record);
  }
  // The old record is released outside the lock: freeing it frees canvas contexts.
}

void TBitmap::CopyFrom(const TPersistent* source) {
  const auto* other = dynamic_cast<const TBitmap*>(source);
  if (source != nullptr && other == nullptr) {
    TGraphic::CopyFrom(source);
    return;
  }
  FreeContext();
  ShareImage(other != nullptr ? other->image_ : TSharedRef<TBitmapImage>(new TBitmapImage));
  if (other != nullptr) {
    StoreTransparent(other->Transparent());
    transparentColor_ = other->transparentColor_;
    transparentMode_ = other->transparentMode_;
  }
  ignorePalette_ = false;
  maskValid_ = false;
  SetPaletteModified(Palette() != nullptr);
  NotifyChange();
}

void TBitmap::NotifyChange() {
  maskValid_ = false;
  if (!suppressChange_) TGraphic::NotifyChange();
}

bool TBitmap::IsEmpty() const {
  return image_->IsEmpty();
}

int TBitmap::Width() const {
  return image_->Description().dsBm.bmWidth;
}

int TBitmap::Height() const {
  return std::abs(image_->Description().dsBm.bmHeight);
}

bool TBitmap::HandleAllocated() const {
  return image_->Handle() != nullptr;
}

bool TBitmap::Monochrome() const {
  const win::BITMAP& b = image_->Description().dsBm;
  return b.bmPlanes == 1 && b.bmBitsPixel == 1;
}

void TBitmap::FreeContext() {
  if (canvas_) canvas_->FreeContext();
}

void TBitmap::NewImage(HBITMAP handle, HPALETTE palette, const DIBSECTION& dib, bool os2Format,
                       std::unique_ptr<TMemoryStream> saveStream) {
  ShareImage(TSharedRef<TBitmapImage>(
      new TBitmapImage(handle, palette, dib, os2Format, std::move(saveStream))));
  ignorePalette_ = false;
  maskValid_ = false;
}

void TBitmap::CopyImage(HBITMAP source, HPALETTE palette, const DIBSECTION& dib) {
  FreeContext();
  const bool keepHalftone =
      palette != nullptr && palette == image_->Palette() && image_->Halftone();
  // The step's own palette: deleted again unless the new record takes it.
  guard::GdiObject<HPALETTE> target(palette == SystemPalette16() ? nullptr : CopyPalette(palette));
  DIBSECTION description = dib;
  HBITMAP handle =
      CopyBitmap(source, palette, target ? target.Get() : palette, description, canvas_.get());
  const HPALETTE recordPalette = target ? target.Release() : palette;
  NewImage(handle, recordPalette, description, image_->OS2Format());
  image_->SetHalftone(keepHalftone);
}

DIBSECTION TBitmap::CopyDescription() const {
  if (image_->HasSeparateDibCopy()) return DdbDescriptionOf(image_->Handle());
  return image_->Description();
}

void TBitmap::HandleNeeded() {
  image_->WriteBackDibCopy();
  if (image_->Handle() != nullptr || image_->SaveStream() == nullptr) return;
  // Only the bytes of a compressed BMP are held: decode them again, quietly.
  TMemoryStream bytes;
  TMemoryStream& saved = *image_->SaveStream();
  bytes.WriteBuffer(saved.Memory(), std::int32_t(saved.Size()));
  bytes.SetPosition(0);
  const TRestore<bool> quiet(suppressChange_, true);
  ReadFromStream(bytes);
}

void TBitmap::MakePrivate(DibCopy dibCopy) {
  image_->WriteBackDibCopy();
  if (image_->RefCount() > 1) {
    const TBitmapImage& shared = *image_;
    CopyImage(shared.Handle(), shared.Halftone() ? nullptr : shared.Palette(), CopyDescription());
  } else if (dibCopy == DibCopy::Drop) {
    image_->DropDibCopy();
  }
  image_->ForgetSource();
}

void TBitmap::Changing() {
  MakePrivate(DibCopy::Drop);
}

void TBitmap::PaletteNeeded() {
  TBitmapImage& img = *image_;
  if (img.Palette() != nullptr || ignorePalette_) return;
  const DIBSECTION& d = img.Description();
  if (img.DibHandle() != nullptr && d.dsBmih.biBitCount <= 8) {
    win::RGBQUAD colors[256];
    HDC selectedIn = canvas_ && canvas_->SelectedBitmap() == img.DibHandle()
                         ? canvas_->CurrentHandle()
                         : nullptr;
    img.ReplacePalette(
        PaletteFromColors(colors, DibColorTable(img.DibHandle(), selectedIn, colors)), false);
  }
  if (img.Palette() == nullptr && img.Handle() != nullptr) {
    ScreenDC screen;
    if (DeviceBits(screen.Get()) < d.dsBm.bmBitsPixel * d.dsBm.bmPlanes) {
      const HPALETTE halftone = win::CreateHalftonePalette(screen.Get());
      img.ReplacePalette(halftone, halftone != nullptr);
    }
  }
  if (img.Palette() == nullptr) ignorePalette_ = true;
}

void TBitmap::DIBNeeded() {
  TBitmapImage& img = *image_;
  if (img.Handle() == nullptr || img.DibHandle() != nullptr) return;
  PaletteNeeded();
  DIBSECTION d = DibDescriptionOf(img.Handle());
  HBITMAP copy = CopyBitmap(img.Handle(), img.Palette(), img.Palette(), d, nullptr);
  img.AttachDibCopy(copy, d);
}

HPALETTE TBitmap::Palette() {
  PaletteNeeded();
  return image_->Palette();
}

void TBitmap::SetPalette(HPALETTE value) {
  if (value == image_->Palette()) return;
  if (value == nullptr && image_->RefCount() == 1) {
    image_->ReplacePalette(nullptr, false);
  } else {
    HandleNeeded();
    FreeContext();
    DIBSECTION d = CopyDescription();
    // White fill: the canvas brush plays no part in a palette change.
    HBITMAP handle = CopyBitmap(image_->Handle(), image_->Palette(), value, d, nullptr);
    NewImage(handle, value, d, image_->OS2Format());
  }
  ignorePalette_ = false;
  SetPaletteModified(true);
  NotifyChange();
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    HandleNeeded();
    // The canvas tells this bitmap of its changes itself; its events stay the program's.
    canvas_ = std::make_unique<TBitmapCanvas>(this);
  }
  return *canvas_;
}

HBITMAP TBitmap::Handle() {
  // The caller may select the bitmap into a context of its own.
  FreeContext();
  HandleNeeded();
  MakePrivate(DibCopy::Drop);
  return image_->Handle();
}

HBITMAP TBitmap::MaskHandle() {
  if (maskValid_ && image_->MaskHandle() != nullptr) return image_->MaskHandle();
  // The mask belongs to this bitmap's transparent colour; another sharer may want another.
  if (image_->RefCount() > 1) MakePrivate(DibCopy::Keep);
  if (image_->Handle() == nullptr) return nullptr;
  const win::COLORREF key = EffectiveTransparentColor();
  const int width = Width();
  const int height = Height();
  guard::GdiObject<HBITMAP> mask(win::CreateBitmap(width, height, 1, 1, nullptr));
  if (!mask) RaiseOutOfResources();
  const HDC source = Canvas().HandleForReading();
  {
    MemoryDC mem;
    const guard::SelectedObject selected(mem.Get(), mask.Get());
    selected.Require();
    // Colour to monochrome: pixels of the background colour become 1, the others 0.
    const guard::SavedDC saved(source);
    win::SetBkColor(source, key);
    win::BitBlt(mem.Get(), 0, 0, width, height, source, 0, 0, win::SRCCOPY);
  }
  image_->ReplaceMask(mask.Release());
  maskValid_ = true;
  return image_->MaskHandle();
}

TBitmapStorageKind TBitmap::StorageKind() const {
  const TBitmapImage& img = *image_;
  if (img.Handle() != nullptr && img.Handle() != img.DibHandle())
    return TBitmapStorageKind::DeviceDependent;
  if (img.DibHandle() == nullptr && img.Description().dsBmih.biSize == 0)
    return TBitmapStorageKind::DeviceDependent;
  return TBitmapStorageKind::DeviceIndependent;
}

void TBitmap::SetStorageKind(TBitmapStorageKind value) {
  if (value == StorageKind()) return;
  if (image_->Handle() == nullptr && image_->DibHandle() == nullptr) {
    // No pixels: only the recorded format changes.
    DIBSECTION d = image_->Description();
    if (value == TBitmapStorageKind::DeviceDependent) {
      d.dsBmih = {};
      std::memset(d.dsBitfields, 0, sizeof d.dsBitfields);
    } else {
      d.dsBmih.biSize = sizeof(win::BITMAPINFOHEADER);
      d.dsBmih.biWidth = d.dsBm.bmWidth;
      d.dsBmih.biHeight = d.dsBm.bmHeight;
      d.dsBmih.biPlanes = 1;
    }
    if (image_->RefCount() == 1)
      image_->Redescribe(d);
    else
      NewImage(nullptr, CopyPalette(image_->Palette()), d, image_->OS2Format());
    return;
  }
  FreeContext();
  HandleNeeded();
  PaletteNeeded();
  DIBSECTION d;
  if (value == TBitmapStorageKind::DeviceIndependent) {
    d = DibDescriptionOf(image_->Handle());
  } else {
    d = {};
    d.dsBm = image_->Description().dsBm;
    d.dsBm.bmBits = nullptr;
    d.dsBm.bmHeight = Height();
  }
  CopyImage(image_->Handle(), image_->Palette(), d);
  NotifyChange();
}

TColorDepth TBitmap::ColorDepth() const {
  if (StorageKind() == TBitmapStorageKind::DeviceDependent) return TColorDepth::DepthDevice;
  const DIBSECTION& d = image_->Description();
  const win::BITMAPINFOHEADER& h = d.dsBmih;
  switch (h.biBitCount) {
    case 1:
      return TColorDepth::Depth1;
    case 4:
      return TColorDepth::Depth4;
    case 8:
      return TColorDepth::Depth8;
    case 16:
      if (h.biCompression == win::BI_RGB) return TColorDepth::Depth15;
      if (h.biCompression == win::BI_BITFIELDS && d.dsBitfields[1] == 0x07E0)
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
  d.dsBm = image_->Description().dsBm;
  d.dsBm.bmBits = nullptr;
  win::BITMAPINFOHEADER& h = d.dsBmih;
  h.biSize = sizeof(win::BITMAPINFOHEADER);
  h.biWidth = d.dsBm.bmWidth;
  h.biHeight = std::abs(d.dsBm.bmHeight);
  h.biPlanes = 1;
  h.biCompression = win::BI_RGB;
  HPALETTE palette = image_->Palette();
  // A halftone palette made for this step only; the new record keeps a copy.
  guard::GdiObject<HPALETTE> ownPalette;
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
      ownPalette.Reset(win::CreateHalftonePalette(screen.Get()));
      if (!ownPalette) RaiseOutOfResources();
      palette = ownPalette.Get();
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
  FreeContext();
  HandleNeeded();
  CopyImage(image_->Handle(), palette, d);
  SetPaletteModified(palette != nullptr);
  NotifyChange();
}

void TBitmap::SetWidth(int value) {
  if (value == image_->Description().dsBm.bmWidth) return;
  HandleNeeded();
  DIBSECTION d = CopyDescription();
  d.dsBm.bmWidth = value;
  d.dsBmih.biWidth = value;
  CopyImage(image_->Handle(), image_->Palette(), d);
  NotifyChange();
}

void TBitmap::SetHeight(int value) {
  if (value == image_->Description().dsBm.bmHeight) return;
  HandleNeeded();
  DIBSECTION d = CopyDescription();
  d.dsBm.bmHeight = value;
  d.dsBmih.biHeight = value;
  CopyImage(image_->Handle(), image_->Palette(), d);
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
  img.MarkDibCopyWritten();
  win::GdiFlush();
  const DIBSECTION& d = img.Description();
  auto* bits = static_cast<std::uint8_t*>(d.dsBm.bmBits);
  if (bits == nullptr) return nullptr;
  const win::BITMAPINFOHEADER& h = d.dsBmih;
  if (h.biHeight > 0) row = h.biHeight - row - 1;
  return bits + std::ptrdiff_t(row) * BytesPerRow(h.biWidth, h.biBitCount);
}

std::int32_t TBitmap::RowStep() const {
  const DIBSECTION& d = image_->Description();
  const win::BITMAPINFOHEADER& h = d.dsBmih;
  if (h.biSize != 0) {
    const std::int32_t step = BytesPerRow(h.biWidth, h.biBitCount);
    return h.biHeight > 0 ? -step : step;
  }
  // Not yet a DIB: the copy that RowPointer makes is bottom-up, of the device's depth.
  const win::BITMAP& b = d.dsBm;
  return -BytesPerRow(b.bmWidth, b.bmPlanes * b.bmBitsPixel);
}

void TBitmap::ClearImage() {
  if (image_->Handle() == nullptr) return;
  FreeContext();
  const bool halftone = image_->Halftone();
  HPALETTE palette;
  if (image_->RefCount() == 1) {
    palette = image_->TakePalette();  // taken over by the new record
  } else {
    palette =
        image_->Palette() == SystemPalette16() ? image_->Palette() : CopyPalette(image_->Palette());
  }
  NewImage(nullptr, palette, DIBSECTION{}, false);
  image_->SetHalftone(halftone);
  NotifyChange();
}

void TBitmap::TakeDibSection(HBITMAP section) {
  DIBSECTION d{};
  if (section == nullptr || win::GetObjectA(section, sizeof d, &d) != int(sizeof d) ||
      d.dsBm.bmBits == nullptr)
    throw EInvalidGraphic(strings::kInvalidBitmap);
  FreeContext();
  NewImage(section, nullptr, d, false);
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
  const guard::SelectedPalette palette(target, image_->Palette(), true);
  const int targetBits = DeviceBits(target);
  const win::BITMAP& own = image_->Description().dsBm;
  const int ownBits = own.bmBitsPixel * own.bmPlanes;
  if (targetBits <= 8 && targetBits < ownBits) {
    win::POINT origin{};
    win::GetBrushOrgEx(target, &origin);
    win::SetStretchBltMode(target, win::HALFTONE);
    win::SetBrushOrgEx(target, origin.x, origin.y, nullptr);
  } else if (!Monochrome()) {
    win::SetStretchBltMode(target, win::COLORONCOLOR);
  }
  // Reading only: an image shared with other bitmaps stays shared.
  const HDC source = Canvas().HandleForReading();
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (!Transparent()) {
    win::StretchBlt(target, rect.left, rect.top, width, height, source, 0, 0, Width(), Height(),
                    canvas.CopyMode());
  } else {
    win::TransparentBlt(target, rect.left, rect.top, width, height, source, 0, 0, Width(), Height(),
                        EffectiveTransparentColor());
  }
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
  image_->SetOS2Format(false);
  SetPaletteModified(Palette() != nullptr);
  NotifyChange();
}

void TBitmap::WriteToClipboard(std::uint16_t& format, win::HANDLE& data, HPALETTE& palette) {
  HandleNeeded();
  DIBSECTION d{};
  d.dsBm = image_->Description().dsBm;
  d.dsBm.bmBits = nullptr;
  d.dsBm.bmHeight = Height();
  guard::GdiObject<HBITMAP> copy(
      CopyBitmap(image_->Handle(), image_->Palette(), image_->Palette(), d, canvas_.get()));
  const HPALETTE paletteCopy = CopyPalette(image_->Palette());
  format = win::CF_BITMAP;
  data = copy.Release();
  palette = paletteCopy;
}
