#include "imaging/canvas.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/gdi_guards.h"
#include "runtime/exceptions.h"
#include "runtime/gui_thread.h"
#include "runtime/strings.h"

// --- Shared native objects -----------------------------------------------------------------
//
// Tools with equal settings share one native pen, brush or font: each distinct setting is one
// cache entry with a reference count, and its native object is made on first use and deleted
// with the last reference.

namespace canvas_detail {

struct Resource {
  int refCount = 0;
  win::HGDIOBJ handle = nullptr;
  void (*release)(Resource*) = nullptr;  // the owning cache's release
  const void* key = nullptr;             // the owning cache's key
};

}  // namespace canvas_detail

namespace {

using canvas_detail::Resource;

std::mutex& ResourceLock() {
  static auto* lock = new std::mutex;  // outlives every static tool
  return *lock;
}

struct PenKey {
  TColor color;
  int width;
  TPenStyle style;
  auto operator<=>(const PenKey&) const = default;
};

struct BrushKey {
  TColor color;
  TBrushStyle style;
  auto operator<=>(const BrushKey&) const = default;
};

struct FontKey {
  AnsiString name;
  int height;
  std::uint8_t style;
  std::uint8_t charset;
  auto operator<=>(const FontKey&) const = default;
};

template <class Key>
class ResourceCache {
 public:
  static ResourceCache& Instance() {
    static auto* cache = new ResourceCache;  // outlives every static tool
    return *cache;
  }

  Resource* Alloc(const Key& key) {
    std::lock_guard guard(ResourceLock());
    auto [it, inserted] = entries_.try_emplace(key);
    Resource& r = it->second;
    if (inserted) {
      r.release = &ReleaseThunk;
      r.key = &it->first;
    }
    ++r.refCount;
    return &r;
  }

 private:
  static void ReleaseThunk(Resource* r) { Instance().Free(*static_cast<const Key*>(r->key)); }

  void Free(const Key& key) {
    std::lock_guard guard(ResourceLock());
    auto it = entries_.find(key);
    if (it == entries_.end() || --it->second.refCount > 0) return;
    if (it->second.handle != nullptr) win::DeleteObject(it->second.handle);
    entries_.erase(it);
  }

  std::map<Key, Resource> entries_;
};

// The native object of a resource, made on first use.
win::HGDIOBJ EnsureHandle(Resource* r, const std::function<win::HGDIOBJ()>& create) {
  std::lock_guard guard(ResourceLock());
  if (r->handle == nullptr) r->handle = create();
  return r->handle;
}

int ToPenStyle(TPenStyle style) {
  switch (style) {
    case TPenStyle::psSolid:
      return win::PS_SOLID;
    case TPenStyle::psDash:
      return win::PS_DASH;
    case TPenStyle::psDot:
      return win::PS_DOT;
    case TPenStyle::psDashDot:
      return win::PS_DASHDOT;
    case TPenStyle::psDashDotDot:
      return win::PS_DASHDOTDOT;
    case TPenStyle::psClear:
      return win::PS_NULL;
    case TPenStyle::psInsideFrame:
      return win::PS_INSIDEFRAME;
  }
  return win::PS_SOLID;
}

int ToHatch(TBrushStyle style) {
  switch (style) {
    case TBrushStyle::bsHorizontal:
      return win::HS_HORIZONTAL;
    case TBrushStyle::bsVertical:
      return win::HS_VERTICAL;
    case TBrushStyle::bsFDiagonal:
      return win::HS_FDIAGONAL;
    case TBrushStyle::bsBDiagonal:
      return win::HS_BDIAGONAL;
    case TBrushStyle::bsCross:
      return win::HS_CROSS;
    default:
      return win::HS_DIAGCROSS;
  }
}

}  // namespace

TGraphicsObject::~TGraphicsObject() {
  if (resource_ != nullptr) resource_->release(resource_);
}

std::unique_lock<std::recursive_mutex> TGraphicsObject::LockOwner() {
  if (ownerLock_ == nullptr) return {};
  return std::unique_lock(*ownerLock_);
}

bool TGraphicsObject::Notify() {
  TDestroyGuard guard(*this);
  if (owner_ != nullptr) owner_->ToolChanged(*this);
  if (!guard.Destroyed() && OnChange) OnChange(this);
  return !guard.Destroyed();
}

void TGraphicsObject::Changed() {
  auto lock = LockOwner();
  // A handler that destroyed the tool destroyed its owner and the owner's lock with it.
  if (!Notify()) lock.release();
}

template <class Key>
void TGraphicsObject::ChangeResource(const Key& key) {
  auto lock = LockOwner();
  Resource* old = resource_;
  resource_ = ResourceCache<Key>::Instance().Alloc(key);
  // The owner deselects the old object before it may be deleted.
  if (!Notify()) lock.release();
  if (old != nullptr) old->release(old);
}

// --- TFont ---------------------------------------------------------------------------------

TFont::TFont() {
  Update(true);
}

void TFont::CopyFrom(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFont*>(source);
  if (other == nullptr) {
    TPersistent::CopyFrom(source);
    return;
  }
  if (other == this) return;
  color_ = other->color_;
  name_ = other->name_;
  height_ = other->height_;
  style_ = other->style_;
  charset_ = other->charset_;
  Update(true);
}

void TFont::Update(bool nativeChange) {
  if (nativeChange) {
    ChangeResource(FontKey{name_, height_, style_.Bits(), charset_});
    return;
  }
  Changed();
}

win::HFONT TFont::Handle() {
  win::LOGFONTA lf{};
  lf.lfHeight = height_;
  lf.lfWeight = style_.Contains(TFontStyle::fsBold) ? win::FW_BOLD : win::FW_NORMAL;
  lf.lfItalic = style_.Contains(TFontStyle::fsItalic) ? 1 : 0;
  lf.lfUnderline = style_.Contains(TFontStyle::fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = style_.Contains(TFontStyle::fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = charset_;
  lf.lfQuality = win::DEFAULT_QUALITY;
  name_.copy(lf.lfFaceName, sizeof lf.lfFaceName - 1);
  return static_cast<win::HFONT>(EnsureHandle(
      resource_, [&lf] { return static_cast<win::HGDIOBJ>(win::CreateFontIndirectA(&lf)); }));
}

void TFont::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Update(false);
}

void TFont::SetName(const AnsiString& value) {
  if (value.empty() || value == name_) return;
  name_ = value;
  Update(true);
}

void TFont::SetHeight(int value) {
  if (value == height_) return;
  height_ = value;
  Update(true);
}

int TFont::Size() const {
  // Points from pixels, rounded like MulDiv.
  const long long n = -static_cast<long long>(height_) * 72;
  const long long half = kPixelsPerInch / 2;
  return int(n >= 0 ? (n + half) / kPixelsPerInch : (n - half) / kPixelsPerInch);
}

void TFont::SetSize(int points) {
  const long long n = static_cast<long long>(points) * kPixelsPerInch;
  const int pixels = int(n >= 0 ? (n + 36) / 72 : (n - 36) / 72);
  SetHeight(-pixels);
}

void TFont::SetStyle(TFontStyles value) {
  if (value == style_) return;
  style_ = value;
  Update(true);
}

void TFont::SetCharset(std::uint8_t value) {
  if (value == charset_) return;
  charset_ = value;
  Update(true);
}

// --- TPen ----------------------------------------------------------------------------------

TPen::TPen() {
  Update();
}

void TPen::CopyFrom(const TPersistent* source) {
  const auto* other = dynamic_cast<const TPen*>(source);
  if (other == nullptr) {
    TPersistent::CopyFrom(source);
    return;
  }
  if (other == this) return;
  color_ = other->color_;
  width_ = other->width_;
  style_ = other->style_;
  mode_ = other->mode_;
  Update();
}

void TPen::Update() {
  ChangeResource(PenKey{color_, width_, style_});
}

win::HPEN TPen::Handle() {
  const TColor color = color_;
  const int width = width_;
  const TPenStyle style = style_;
  return static_cast<win::HPEN>(EnsureHandle(resource_, [=] {
    return static_cast<win::HGDIOBJ>(win::CreatePen(ToPenStyle(style), width, ColorToRGB(color)));
  }));
}

void TPen::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Update();
}

void TPen::SetWidth(int value) {
  if (value < 0 || value == width_) return;
  width_ = value;
  Update();
}

void TPen::SetStyle(TPenStyle value) {
  if (value == style_) return;
  style_ = value;
  Update();
}

void TPen::SetMode(TPenMode value) {
  if (value == mode_) return;
  mode_ = value;
  Changed();
}

int TPen::Rop2() const {
  // R2_BLACK (1) .. R2_WHITE (16) in the order of the binary raster operation table.
  static constexpr int kRop2[] = {1, 16, 11, 6, 13, 4, 14, 5, 12, 3, 15, 2, 9, 8, 7, 10};
  return kRop2[static_cast<int>(mode_)];
}

// --- TBrush --------------------------------------------------------------------------------

TBrush::TBrush() {
  Update();
}

void TBrush::CopyFrom(const TPersistent* source) {
  const auto* other = dynamic_cast<const TBrush*>(source);
  if (other == nullptr) {
    TPersistent::CopyFrom(source);
    return;
  }
  if (other == this) return;
  color_ = other->color_;
  style_ = other->style_;
  Update();
}

void TBrush::Update() {
  ChangeResource(BrushKey{color_, style_});
}

win::HBRUSH TBrush::Handle() {
  const TColor color = color_;
  const TBrushStyle style = style_;
  return static_cast<win::HBRUSH>(EnsureHandle(resource_, [=]() -> win::HGDIOBJ {
    const win::COLORREF rgb = ColorToRGB(color);
    switch (style) {
      case TBrushStyle::bsSolid:
        return win::CreateSolidBrush(rgb);
      case TBrushStyle::bsClear: {
        const win::LOGBRUSH lb{win::BS_NULL, rgb, 0};
        return win::CreateBrushIndirect(&lb);
      }
      default:
        return win::CreateHatchBrush(ToHatch(style), rgb);
    }
  }));
}

void TBrush::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  if (style_ == TBrushStyle::bsClear) style_ = TBrushStyle::bsSolid;
  Update();
}

void TBrush::SetStyle(TBrushStyle value) {
  if (value == style_) return;
  style_ = value;
  Update();
}

// --- Canvas lists ----------------------------------------------------------------------------

namespace {

struct CanvasLists {
  std::recursive_mutex lock;
  std::vector<TCanvas*> canvases;
  std::vector<TBitmapCanvas*> bitmapCanvases;  // those holding a memory context
};

CanvasLists& Lists() {
  static auto* lists = new CanvasLists;  // outlives every static canvas
  return *lists;
}

template <class T>
void Erase(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

// The bitmap canvases holding a context. The list lock is the innermost lock: it is never held
// while a canvas lock is taken, so callers work on a snapshot (canvases are destroyed on the GUI
// thread only, the thread that works through the snapshot).
std::vector<TBitmapCanvas*> BitmapCanvasSnapshot() {
  CanvasLists& lists = Lists();
  std::lock_guard guard(lists.lock);
  return lists.bitmapCanvases;
}

void FreeBitmapCanvasContexts() {
  AssertGuiThread();
  for (TBitmapCanvas* canvas : BitmapCanvasSnapshot()) {
    // A canvas busy elsewhere keeps its context until the next sweep.
    if (!canvas->TryLock()) continue;
    canvas->FreeContext();
    canvas->Unlock();
  }
}

void DeselectBitmap(win::HBITMAP bitmap) {
  if (bitmap == nullptr) return;
  AssertGuiThread();
  for (TBitmapCanvas* canvas : BitmapCanvasSnapshot())
    if (canvas->SelectedBitmap() == bitmap) canvas->FreeContext();
}

std::size_t CanvasCount() {
  CanvasLists& lists = Lists();
  std::lock_guard guard(lists.lock);
  return lists.canvases.size();
}

std::size_t BitmapCanvasContextCount() {
  CanvasLists& lists = Lists();
  std::lock_guard guard(lists.lock);
  return lists.bitmapCanvases.size();
}

// --- TCanvas -------------------------------------------------------------------------------

TCanvas::TCanvas() {
  AssertGuiThread();
  font_.SetOwner(this, &lock_);
  pen_.SetOwner(this, &lock_);
  brush_.SetOwner(this, &lock_);
  CanvasLists& lists = Lists();
  std::lock_guard guard(lists.lock);
  lists.canvases.push_back(this);
}

TCanvas::~TCanvas() {
  SetHandle(nullptr);
  CanvasLists& lists = Lists();
  std::lock_guard guard(lists.lock);
  Erase(lists.canvases, this);
}

win::HDC TCanvas::Handle() {
  TDestroyGuard guard(*this);
  Changing();
  if (guard.Destroyed()) return nullptr;
  RequiredState(csAllValid);
  return handle_;
}

win::HDC TCanvas::HandleForReading() {
  RequiredState(csAllValid);
  return handle_;
}

void TCanvas::SetHandle(win::HDC value) {
  std::lock_guard guard(lock_);
  if (handle_ == value) return;
  if (handle_ != nullptr) {
    DeselectHandles();
    handle_ = nullptr;
    state_ &= std::uint8_t(~csHandleValid);
  }
  if (value != nullptr) {
    handle_ = value;
    state_ |= csHandleValid;
    win::MoveToEx(handle_, penPos_.x, penPos_.y, nullptr);
  }
}

void TCanvas::RequiredState(std::uint8_t state) {
  AssertGuiThread();
  // The context is made before the canvas lock is taken: making it may free the contexts of
  // other canvases (under their locks), and canvas locks never nest.
  if ((state & csHandleValid) != 0 && (state_ & csHandleValid) == 0) {
    CreateHandle();
    if (handle_ == nullptr) throw EInvalidOperation(strings::kNoCanvasHandle);
  }
  std::lock_guard guard(lock_);
  const std::uint8_t needed = state & std::uint8_t(~state_);
  if (needed == 0) return;
  if ((needed & csHandleValid) != 0) {
    CreateHandle();
    if (handle_ == nullptr) throw EInvalidOperation(strings::kNoCanvasHandle);
  }
  if ((needed & csFontValid) != 0) CreateFont();
  if ((needed & csPenValid) != 0) CreatePen();
  if ((needed & csBrushValid) != 0) CreateBrush();
  state_ |= needed;
}

void TCanvas::Refresh() {
  std::lock_guard guard(lock_);
  DeselectHandles();
}

void TCanvas::DeselectHandles() {
  constexpr std::uint8_t kTools = csFontValid | csPenValid | csBrushValid;
  if (handle_ == nullptr || (state_ & kTools) == 0) return;
  win::SelectObject(handle_, win::GetStockObject(win::BLACK_PEN));
  win::SelectObject(handle_, win::GetStockObject(win::NULL_BRUSH));
  win::SelectObject(handle_, win::GetStockObject(win::SYSTEM_FONT));
  state_ &= std::uint8_t(~kTools);
}

void TCanvas::CreateFont() {
  win::SelectObject(handle_, font_.Handle());
  win::SetTextColor(handle_, ColorToRGB(font_.Color()));
}

void TCanvas::CreatePen() {
  win::SelectObject(handle_, pen_.Handle());
  win::SetROP2(handle_, pen_.Rop2());
}

void TCanvas::CreateBrush() {
  win::HBRUSH brush = brush_.Handle();
  win::UnrealizeObject(brush);
  win::SelectObject(handle_, brush);
  const win::COLORREF color = ColorToRGB(brush_.Color());
  if (brush_.Style() == TBrushStyle::bsSolid) {
    win::SetBkColor(handle_, color);
    win::SetBkMode(handle_, win::OPAQUE);
  } else {
    // Hatches show the inverted colour between their lines only where asked to.
    win::SetBkColor(handle_, ~color & 0x00FFFFFF);
    win::SetBkMode(handle_, win::TRANSPARENT);
  }
}

void TCanvas::ToolChanged(TGraphicsObject& tool) {
  if (&tool == &font_)
    FontChanged();
  else if (&tool == &pen_)
    PenChanged();
  else if (&tool == &brush_)
    BrushChanged();
}

void TCanvas::FontChanged() {
  std::lock_guard guard(lock_);
  if ((state_ & csFontValid) == 0) return;
  state_ &= std::uint8_t(~csFontValid);
  win::SelectObject(handle_, win::GetStockObject(win::SYSTEM_FONT));
}

void TCanvas::PenChanged() {
  std::lock_guard guard(lock_);
  if ((state_ & csPenValid) == 0) return;
  state_ &= std::uint8_t(~csPenValid);
  win::SelectObject(handle_, win::GetStockObject(win::BLACK_PEN));
}

void TCanvas::BrushChanged() {
  std::lock_guard guard(lock_);
  if ((state_ & csBrushValid) == 0) return;
  state_ &= std::uint8_t(~csBrushValid);
  win::SelectObject(handle_, win::GetStockObject(win::NULL_BRUSH));
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

template <class Op>
void TCanvas::Drawing(std::uint8_t state, Op&& draw) {
  TDestroyGuard guard(*this);
  Changing();
  if (guard.Destroyed()) return;
  RequiredState(state);
  draw();
  Changed();
}

void TCanvas::FrameRect(const win::RECT& rect) {
  Drawing(csHandleValid | csBrushValid, [&] { win::FrameRect(handle_, &rect, brush_.Handle()); });
}

void TCanvas::FillRect(const win::RECT& rect) {
  Drawing(csHandleValid | csBrushValid, [&] { win::FillRect(handle_, &rect, brush_.Handle()); });
}

void TCanvas::StretchDraw(const win::RECT& rect, TGraphic* graphic) {
  if (graphic == nullptr) return;
  Drawing(csAllValid, [&] { graphic->DrawInto(*this, rect); });
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (graphic == nullptr || graphic->IsEmpty()) return;
  Drawing(csHandleValid, [&] {
    win::SetBkColor(handle_, ColorToRGB(brush_.Color()));
    win::SetTextColor(handle_, ColorToRGB(font_.Color()));
    graphic->DrawInto(*this, win::RECT{x, y, x + graphic->Width(), y + graphic->Height()});
  });
}

void TCanvas::CopyRect(const win::RECT& dest, TCanvas& source, const win::RECT& src) {
  Drawing(csHandleValid | csFontValid | csBrushValid, [&] {
    const win::HDC from = source.HandleForReading();
    win::StretchBlt(handle_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top,
                    from, src.left, src.top, src.right - src.left, src.bottom - src.top, copyMode_);
  });
}

void TCanvas::MoveTo(int x, int y) {
  penPos_ = {x, y};
  if (handle_ != nullptr) win::MoveToEx(handle_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  Drawing(csHandleValid | csPenValid | csBrushValid, [&] {
    win::LineTo(handle_, x, y);
    penPos_ = {x, y};
  });
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  Drawing(csHandleValid | csPenValid | csBrushValid,
          [&] { win::Rectangle(handle_, left, top, right, bottom); });
}

namespace {
int TextLength(const AnsiString& text) {
  return int(std::min<std::size_t>(text.size(), std::size_t(INT_MAX)));
}
}  // namespace

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  win::TextOutA(handle_, x, y, text.data(), TextLength(text));
  MoveTo(x + TextWidth(text), y);
  Changed();
}

void TCanvas::TextRect(const win::RECT& rect, int x, int y, const AnsiString& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  win::UINT options = win::ETO_CLIPPED;
  if (brush_.Style() != TBrushStyle::bsClear) options |= win::ETO_OPAQUE;
  win::ExtTextOutA(handle_, x, y, options, &rect, text.data(), win::UINT(TextLength(text)),
                   nullptr);
  Changed();
}

win::SIZE TCanvas::TextExtent(const AnsiString& text) {
  RequiredState(csHandleValid | csFontValid);
  win::SIZE size{0, 0};
  win::GetTextExtentPoint32A(handle_, text.data(), TextLength(text), &size);
  return size;
}

TColor TCanvas::Pixels(int x, int y) {
  RequiredState(csHandleValid);
  return win::GetPixel(handle_, x, y);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  Drawing(csHandleValid | csPenValid, [&] { win::SetPixel(handle_, x, y, ColorToRGB(color)); });
}

// --- TBitmapCanvas -------------------------------------------------------------------------

TBitmapCanvas::TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}

TBitmapCanvas::~TBitmapCanvas() {
  FreeContext();
}

void TBitmapCanvas::CreateHandle() {
  if (bitmap_ == nullptr) return;
  // Before the lock: the image may be read again from its saved stream, and another canvas
  // that has it selected lets it go under its own lock.
  bitmap_->HandleNeeded();
  const win::HBITMAP image = bitmap_->image_->Handle();
  DeselectBitmap(image);
  bitmap_->PaletteNeeded();
  const win::HPALETTE palette = bitmap_->image_->Palette();

  std::lock_guard guard(LockObject());
  if (HandleAllocated()) return;
  guard::MemoryDC dc;
  win::HGDIOBJ oldBitmap = nullptr;
  if (image != nullptr) {
    oldBitmap = win::SelectObject(dc.Get(), image);
    if (oldBitmap == nullptr) RaiseOutOfResources();
  }
  win::HPALETTE oldPalette = nullptr;
  if (palette != nullptr) {
    oldPalette = win::SelectPalette(dc.Get(), palette, win::TRUE);
    win::RealizePalette(dc.Get());
  }
  selected_ = image;
  oldBitmap_ = oldBitmap;
  oldPalette_ = oldPalette;
  // The context lives on with the canvas until FreeContext.
  SetHandle(dc.Release());
  CanvasLists& lists = Lists();
  std::lock_guard listGuard(lists.lock);
  lists.bitmapCanvases.push_back(this);
}

void TBitmapCanvas::Changing() {
  if (bitmap_ != nullptr) bitmap_->Changing();
  TCanvas::Changing();
}

void TBitmapCanvas::Changed() {
  TDestroyGuard guard(*this);
  if (bitmap_ != nullptr) bitmap_->NotifyChange();
  if (!guard.Destroyed()) TCanvas::Changed();
}

void TBitmapCanvas::FreeContext() {
  if (!HandleAllocated()) return;
  std::lock_guard guard(LockObject());
  win::HDC dc = CurrentHandle();
  SetHandle(nullptr);  // deselects font, pen and brush while the context still exists
  if (oldBitmap_ != nullptr) win::SelectObject(dc, oldBitmap_);
  if (oldPalette_ != nullptr) win::SelectPalette(dc, oldPalette_, win::TRUE);
  win::DeleteDC(dc);
  selected_ = nullptr;
  oldBitmap_ = nullptr;
  oldPalette_ = nullptr;
  CanvasLists& lists = Lists();
  std::lock_guard listGuard(lists.lock);
  Erase(lists.bitmapCanvases, this);
}
