// TCanvas: a drawing surface over a device context, with its font, pen and brush.
// TBitmapCanvas: the canvas of a TBitmap, over a memory device context that it creates on
// demand and frees again after every window message (FreeBitmapCanvasContexts).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <mutex>

#include "imaging/colors.h"
#include "imaging/graphic.h"
#include "platform/gdi/gdi.h"
#include "runtime/persistent.h"

class TBitmap;

enum class TPenStyle : std::uint8_t {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame
};

// Each mode maps to the binary raster operation (SetROP2) of the same name.
enum class TPenMode : std::uint8_t {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};

enum class TBrushStyle : std::uint8_t {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

enum class TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles.
class TFontStyles {
 public:
  constexpr TFontStyles() = default;
  constexpr TFontStyles(std::initializer_list<TFontStyle> styles) {
    for (TFontStyle s : styles) bits_ |= Bit(s);
  }
  constexpr bool Contains(TFontStyle s) const { return (bits_ & Bit(s)) != 0; }
  constexpr TFontStyles With(TFontStyle s) const { return FromBits(bits_ | Bit(s)); }
  constexpr TFontStyles Without(TFontStyle s) const { return FromBits(bits_ & ~Bit(s)); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr std::uint8_t Bits() const { return bits_; }
  constexpr auto operator<=>(const TFontStyles&) const = default;

 private:
  static constexpr std::uint8_t Bit(TFontStyle s) { return std::uint8_t(1u << unsigned(s)); }
  static constexpr TFontStyles FromBits(unsigned bits) {
    TFontStyles r;
    r.bits_ = std::uint8_t(bits);
    return r;
  }
  std::uint8_t bits_ = 0;
};

namespace canvas_detail {
struct Resource;  // a cached native object shared by all tools with equal settings
}

class TGraphicsObject;

// The library's own listener of a drawing tool: the canvas (or control) it belongs to. It
// hears of every change before the tool's OnChange, which is the program's own, and must let
// go of the tool's old native object there, since that object is freed right after.
class TGraphicsObjectOwner {
 public:
  virtual void ToolChanged(TGraphicsObject& tool) = 0;

 protected:
  ~TGraphicsObjectOwner() = default;
};

// Base of the drawing tools. A tool belongs to at most one owner and takes the owner's lock
// while it changes.
class TGraphicsObject : public TPersistent {
 public:
  ~TGraphicsObject() override;
  const char* ClassName() const override { return "TGraphicsObject"; }

  // The program's event: fired after every change of a setting, with the tool as sender.
  TNotifyEvent OnChange;

  // The library's wiring: the owner that follows this tool and its lock (none for either).
  void SetOwner(TGraphicsObjectOwner* owner, std::recursive_mutex* lock) {
    owner_ = owner;
    ownerLock_ = lock;
  }

 protected:
  TGraphicsObject() = default;
  // Replaces the tool's resource by the one for the new settings: allocates the new one, tells
  // the owner (which deselects the old native object), then frees the old one.
  template <class Key>
  void ChangeResource(const Key& key);
  // A change that keeps the native object (a colour, a mix mode).
  void Changed();
  std::unique_lock<std::recursive_mutex> LockOwner();

  canvas_detail::Resource* resource_ = nullptr;

 private:
  // Tells the owner, then fires OnChange; false when a handler destroyed the tool.
  bool Notify();

  TGraphicsObjectOwner* owner_ = nullptr;
  std::recursive_mutex* ownerLock_ = nullptr;
};

class TFont : public TGraphicsObject {
 public:
  TFont();
  const char* ClassName() const override { return "TFont"; }
  void CopyFrom(const TPersistent* source) override;  // another TFont: all settings

  // The native font for the settings (shared with every font of equal settings).
  win::HFONT Handle();

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& value);
  // Negative: the em height in pixels; positive: the cell height.
  int Height() const { return height_; }
  void SetHeight(int value);
  // Points at 96 pixels per inch.
  int Size() const;
  void SetSize(int points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles value);
  std::uint8_t Charset() const { return charset_; }
  void SetCharset(std::uint8_t value);

  static constexpr int kPixelsPerInch = 96;

 private:
  void Update(bool nativeChange);

  TColor color_ = clWindowText;
  AnsiString name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_;
  std::uint8_t charset_ = 1;  // DEFAULT_CHARSET
};

class TPen : public TGraphicsObject {
 public:
  TPen();
  const char* ClassName() const override { return "TPen"; }
  void CopyFrom(const TPersistent* source) override;  // another TPen: all settings

  win::HPEN Handle();

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle value);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode value);
  // The binary raster operation (R2_*) of the mode.
  int Rop2() const;

 private:
  void Update();

  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = TPenStyle::psSolid;
  TPenMode mode_ = TPenMode::pmCopy;
};

class TBrush : public TGraphicsObject {
 public:
  TBrush();
  const char* ClassName() const override { return "TBrush"; }
  void CopyFrom(const TPersistent* source) override;  // another TBrush: all settings

  win::HBRUSH Handle();

  TColor Color() const { return color_; }
  // A colour on a clear brush makes it solid again.
  void SetColor(TColor value);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle value);

 private:
  void Update();

  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
};

// What of a canvas's device context is set up.
enum TCanvasStates : std::uint8_t {
  csHandleValid = 1,
  csFontValid = 2,
  csPenValid = 4,
  csBrushValid = 8,
  csAllValid = 15
};

class TCanvas : public TPersistent, private TGraphicsObjectOwner {
 public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  const char* ClassName() const override { return "TCanvas"; }

  // The device context with font, pen and brush selected. Fires OnChanging first (a bitmap
  // canvas makes its image private there). EInvalidOperation "Canvas does not allow drawing"
  // when no context can be had.
  win::HDC Handle();
  // Installs a context made elsewhere (0: none); the previous one is only deselected.
  void SetHandle(win::HDC value);
  bool HandleAllocated() const { return handle_ != nullptr; }
  // The context as it is now (0 when none), without notification or creation: for code that
  // has just made the state it needs valid with RequiredState.
  win::HDC CurrentHandle() const { return handle_; }
  // Makes the named parts valid (csHandleValid etc.), creating the context if needed.
  void RequiredState(std::uint8_t state);
  // The device context with font, pen and brush selected, for reading the surface's pixels
  // (the source of a copy or a stretch). Unlike Handle it fires no OnChanging, so an image a
  // bitmap shares with others stays shared; nothing may be drawn through it.
  win::HDC HandleForReading();
  // Deselects font, pen and brush so that they are selected again at the next use.
  void Refresh();

  TFont& Font() { return font_; }
  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }

  win::DWORD CopyMode() const { return copyMode_; }
  void SetCopyMode(win::DWORD value) { copyMode_ = value; }
  win::POINT PenPos() const { return penPos_; }
  void SetPenPos(win::POINT value) { MoveTo(value.x, value.y); }

  // Drawing. Each operation fires OnChanging before and OnChange after.
  // A border one unit wide along the inside of rect, with the brush.
  void FrameRect(const win::RECT& rect);
  void FillRect(const win::RECT& rect);
  // Nothing for none; otherwise the graphic draws itself stretched into rect.
  void StretchDraw(const win::RECT& rect, TGraphic* graphic);
  // Nothing for none or an empty graphic; otherwise drawn at its own size at (x, y), with the
  // brush colour as background and the font colour as text colour (they colour a monochrome
  // bitmap).
  void Draw(int x, int y, TGraphic* graphic);
  // StretchBlt from source's rectangle into dest with CopyMode.
  void CopyRect(const win::RECT& dest, TCanvas& source, const win::RECT& src);
  void MoveTo(int x, int y);  // no notification: moves the pen only
  void LineTo(int x, int y);
  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const win::RECT& rect) { Rectangle(rect.left, rect.top, rect.right, rect.bottom); }
  // Text in the font, (x, y) its top left corner; the brush colour fills the text's cell
  // unless the brush is clear. The pen moves to the end of the text.
  void TextOut(int x, int y, const AnsiString& text);
  // Text at (x, y) clipped to rect; a brush that is not clear fills rect first.
  void TextRect(const win::RECT& rect, int x, int y, const AnsiString& text);
  // The size of the text in the font, as TextOut draws it (no prefix or tab handling).
  win::SIZE TextExtent(const AnsiString& text);
  int TextWidth(const AnsiString& text) { return TextExtent(text).cx; }
  int TextHeight(const AnsiString& text) { return TextExtent(text).cy; }
  // Pixel access (cold code only). Pixels answers CLR_INVALID outside the surface.
  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor color);

  // The canvas lock, shared with its font, pen and brush.
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }
  bool TryLock() { return lock_.try_lock(); }

  // The program's events; the library never assigns them (a bitmap canvas tells its bitmap
  // through Changing and Changed).
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  // Fire OnChange and OnChanging.
  virtual void Changed();
  virtual void Changing();
  // Makes a context and installs it with SetHandle; a plain canvas has none to make.
  virtual void CreateHandle() {}
  std::recursive_mutex& LockObject() { return lock_; }

 private:
  // One drawing operation: OnChanging, the parts of state made valid, the drawing, OnChange.
  // A handler that destroys the canvas ends it there.
  template <class Op>
  void Drawing(std::uint8_t state, Op&& draw);
  void ToolChanged(TGraphicsObject& tool) override;
  void DeselectHandles();
  void CreateFont();
  void CreatePen();
  void CreateBrush();
  void FontChanged();
  void PenChanged();
  void BrushChanged();

  win::HDC handle_ = nullptr;
  std::uint8_t state_ = 0;
  std::recursive_mutex lock_;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  win::POINT penPos_{0, 0};
  win::DWORD copyMode_ = win::SRCCOPY;
};

class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* bitmap);
  ~TBitmapCanvas() override;
  const char* ClassName() const override { return "TBitmapCanvas"; }

  TBitmap* Bitmap() const { return bitmap_; }
  // The native bitmap selected in the context (0 when there is no context).
  win::HBITMAP SelectedBitmap() const { return selected_; }
  // Restores the context's previous bitmap and palette, deletes the context and leaves the
  // list of bitmap canvases. The pen position stays. Nothing when there is no context.
  void FreeContext();

 protected:
  void CreateHandle() override;
  // The bitmap makes its image private before a write and notifies after it, ahead of the
  // canvas's own events.
  void Changing() override;
  void Changed() override;

 private:
  TBitmap* bitmap_;
  win::HBITMAP selected_ = nullptr;
  win::HGDIOBJ oldBitmap_ = nullptr;
  win::HPALETTE oldPalette_ = nullptr;
};

// Frees the memory device context of every bitmap canvas that is not locked elsewhere. The
// message loop calls this after every window message a windowed control has processed.
void FreeBitmapCanvasContexts();
// Frees the context of every bitmap canvas that has this native bitmap selected (a bitmap can
// be selected in one context only).
void DeselectBitmap(win::HBITMAP bitmap);
// How many canvases exist, and how many bitmap canvases hold a context.
std::size_t CanvasCount();
std::size_t BitmapCanvasContextCount();
