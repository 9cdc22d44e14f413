// Object registry, stock objects, brushes, pens, fonts, regions, and the object calls that
// apply to every kind.
#include <algorithm>
#include <array>
#include <cstring>

#include "platform/gdi/internal.h"
#include "platform/kernel/handle_table.h"

namespace win::gdi {
namespace {

using detail::HandleKind;

detail::HandleTable<Object>& Objects() {
  static auto* table = new detail::HandleTable<Object>();  // outlives static destructors
  return *table;
}

// Each GDI kind has a handle kind of its own, so a brush's handle is never taken for a pen's.
constexpr HandleKind HandleKindOf(Kind kind) {
  switch (kind) {
    case Kind::Bitmap:
      return HandleKind::kGdiBitmap;
    case Kind::Brush:
      return HandleKind::kGdiBrush;
    case Kind::Pen:
      return HandleKind::kGdiPen;
    case Kind::Palette:
      return HandleKind::kGdiPalette;
    case Kind::Font:
      return HandleKind::kGdiFont;
    case Kind::Region:
      return HandleKind::kGdiRegion;
    case Kind::Dc:
      return HandleKind::kGdiDc;
  }
  return HandleKind::kGdiDc;
}

std::unique_ptr<Brush> MakeBrush(UINT style, COLORREF color) {
  auto b = std::make_unique<Brush>();
  b->style = style;
  b->color = color;
  return b;
}
std::unique_ptr<Pen> MakePen(UINT style, int width, COLORREF color) {
  auto p = std::make_unique<Pen>();
  p->style = style;
  p->width = width;
  p->color = color;
  return p;
}
std::unique_ptr<Font> MakeStockFont(LONG height, const char* face) {
  auto f = std::make_unique<Font>();
  f->description.lfHeight = height;
  f->description.lfWeight = FW_NORMAL;
  f->description.lfCharSet = DEFAULT_CHARSET;
  std::strncpy(f->description.lfFaceName, face, LF_FACESIZE - 1);
  return f;
}

// Stock objects are owned by the handle table like any other and never leave it.
struct StockTable {
  std::array<Object*, 18> objects{};
  Bitmap* bitmap = nullptr;
  int count = 0;

  StockTable() {
    std::array<std::unique_ptr<Object>, 18> made;
    made[WHITE_BRUSH] = MakeBrush(BS_SOLID, RGB(255, 255, 255));
    made[LTGRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(192, 192, 192));
    made[GRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(128, 128, 128));
    made[DKGRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(64, 64, 64));
    made[BLACK_BRUSH] = MakeBrush(BS_SOLID, RGB(0, 0, 0));
    made[NULL_BRUSH] = MakeBrush(BS_NULL, 0);
    made[WHITE_PEN] = MakePen(PS_SOLID, 1, RGB(255, 255, 255));
    made[BLACK_PEN] = MakePen(PS_SOLID, 1, RGB(0, 0, 0));
    made[NULL_PEN] = MakePen(PS_NULL, 1, 0);
    made[SYSTEM_FONT] = MakeStockFont(16, "System");
    made[DEFAULT_GUI_FONT] = MakeStockFont(-11, "MS Sans Serif");
    auto palette = std::make_unique<Palette>();
    palette->entries = VgaEntries();
    made[DEFAULT_PALETTE] = std::move(palette);
    for (std::size_t i = 0; i < made.size(); ++i) {
      if (made[i]) objects[i] = Publish(std::move(made[i]));
    }
    bitmap = static_cast<Bitmap*>(Publish(NewBitmap(1, 1, PixelFormat::Mono(), false, true)));
  }

  Object* Publish(std::unique_ptr<Object> object) {
    if (!object) return nullptr;
    object->stock = true;
    Object* raw = object.get();
    if (Register(std::move(object)) == nullptr) return nullptr;
    ++count;
    return raw;
  }
};

StockTable& Stocks() {
  static auto* table = new StockTable();  // stock objects live as long as the process
  return *table;
}

}  // namespace

void SetError(DWORD code) {
  SetLastError(code);
}

void* Register(std::unique_ptr<Object> object) {
  if (!object) return nullptr;
  Object* raw = object.get();
  const HandleKind kind = HandleKindOf(raw->kind);
  void* handle = Objects().Add(std::move(object), kind);
  if (handle == nullptr) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  raw->handle = handle;
  return handle;
}

int LiveObjectCount() {
  const int stock = Stocks().count;
  return int(Objects().Count()) - stock;
}

Object* Find(const void* handle) {
  return Objects().Get(handle);
}

Object* Find(const void* handle, Kind kind) {
  return Objects().Get(handle, HandleKindOf(kind));
}

void Destroy(Object* object) {
  if (!object || object->stock) return;
  Objects().Remove(object->handle);  // nothing else pins GDI objects: freed here
}

Object* Stock(int index) {
  auto& t = Stocks();
  if (index < 0 || index >= int(t.objects.size())) return nullptr;
  return t.objects[std::size_t(index)];
}

Bitmap* StockBitmap() {
  return Stocks().bitmap;
}

void Acquire(Object* object, Dc* dc) {
  if (!object) return;
  ++object->selections;
  if (object->kind == Kind::Bitmap && !object->stock) static_cast<Bitmap*>(object)->selectedIn = dc;
}

void Release(Object* object) {
  if (!object || object->selections <= 0) return;
  if (--object->selections > 0) return;
  if (object->kind == Kind::Bitmap) static_cast<Bitmap*>(object)->selectedIn = nullptr;
  if (object->deletePending) Destroy(object);
}

void AcquireState(DcState& s, Dc* dc) {
  Acquire(s.bitmap, dc);
  Acquire(s.brush, dc);
  Acquire(s.pen, dc);
  Acquire(s.palette, dc);
  Acquire(s.font, dc);
}

void ReleaseState(DcState& s) {
  Release(s.bitmap);
  Release(s.brush);
  Release(s.pen);
  Release(s.palette);
  Release(s.font);
  s.bitmap = nullptr;
  s.brush = nullptr;
  s.pen = nullptr;
  s.palette = nullptr;
  s.font = nullptr;
}

// --- Regions ---------------------------------------------------------------------------------

RECT Rect(int left, int top, int right, int bottom) {
  return RECT{left, top, right, bottom};
}

bool IsEmpty(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) return RECT{0, 0, 0, 0};
  return r;
}

RectList IntersectRects(const RectList& rects, const RECT& r) {
  RectList out;
  for (const RECT& a : rects) {
    RECT i = Intersect(a, r);
    if (!IsEmpty(i)) out.push_back(i);
  }
  return out;
}

RectList SubtractRect(const RectList& rects, const RECT& r) {
  RectList out;
  for (const RECT& a : rects) {
    RECT i = Intersect(a, r);
    if (IsEmpty(i)) {
      out.push_back(a);
      continue;
    }
    // Up to four pieces: above, below, and left and right of the cut within its rows.
    if (a.top < i.top) out.push_back(Rect(a.left, a.top, a.right, i.top));
    if (i.bottom < a.bottom) out.push_back(Rect(a.left, i.bottom, a.right, a.bottom));
    if (a.left < i.left) out.push_back(Rect(a.left, i.top, i.left, i.bottom));
    if (i.right < a.right) out.push_back(Rect(i.right, i.top, a.right, i.bottom));
  }
  return out;
}

RECT BoundingBox(const RectList& rects) {
  if (rects.empty()) return RECT{0, 0, 0, 0};
  RECT b = rects.front();
  for (const RECT& r : rects) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

int RegionType(const RectList& rects) {
  if (rects.empty()) return NULLREGION;
  return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace win::gdi

namespace win {
using namespace gdi;

HGDIOBJ GetStockObject(int index) {
  Object* o = Stock(index);
  return o ? HandleOf(o) : nullptr;
}

BOOL DeleteObject(HGDIOBJ handle) {
  Object* o = Find(handle);
  if (!o || o->kind == Kind::Dc) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (o->stock) return TRUE;
  if (o->selections > 0) {
    if (o->kind == Kind::Bitmap) return FALSE;
    o->deletePending = true;
    return TRUE;
  }
  Destroy(o);
  return TRUE;
}

UINT GetObjectType(HGDIOBJ handle) {
  Object* o = Find(handle);
  if (!o) {
    SetError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (o->kind) {
    case Kind::Bitmap:
      return OBJ_BITMAP;
    case Kind::Brush:
      return OBJ_BRUSH;
    case Kind::Pen:
      return OBJ_PEN;
    case Kind::Palette:
      return OBJ_PAL;
    case Kind::Font:
      return OBJ_FONT;
    case Kind::Region:
      return OBJ_REGION;
    case Kind::Dc:
      return static_cast<Dc*>(o)->dcKind == DcKind::Memory ? OBJ_MEMDC : OBJ_DC;
  }
  return 0;
}

namespace {

int CopyOut(const void* data, int size, int cb, void* out) {
  if (!out) return size;
  if (cb < size) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::memcpy(out, data, std::size_t(size));
  return size;
}

BITMAP BitmapDescription(const Bitmap& b) {
  BITMAP bm{};
  bm.bmType = 0;
  bm.bmWidth = b.width;
  bm.bmHeight = b.height;
  bm.bmWidthBytes = LONG(b.stride);
  bm.bmPlanes = 1;
  bm.bmBitsPixel = WORD(b.format.bpp);
  bm.bmBits = b.dib ? b.bits : nullptr;
  return bm;
}

}  // namespace

int GetObjectA(HGDIOBJ handle, int cb, void* out) {
  Object* o = Find(handle);
  if (!o || o->kind == Kind::Dc) {
    SetError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (o->kind) {
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(o);
      if (b->dib && (!out || cb >= int(sizeof(DIBSECTION)))) {
        DIBSECTION ds{};
        ds.dsBm = BitmapDescription(*b);
        ds.dsBmih = b->header;
        if (b->format.kind == FormatKind::Direct && b->format.bpp != 24) {
          for (int i = 0; i < 3; ++i) ds.dsBitfields[i] = b->format.masks[i];
        }
        return CopyOut(&ds, sizeof ds, cb, out);
      }
      BITMAP bm = BitmapDescription(*b);
      return CopyOut(&bm, sizeof bm, cb, out);
    }
    case Kind::Brush: {
      auto* b = static_cast<Brush*>(o);
      LOGBRUSH lb{b->style, b->color, 0};
      if (b->style == BS_HATCHED) lb.lbHatch = std::uintptr_t(b->hatch);
      if (b->style == BS_PATTERN) {
        lb.lbColor = 0;
        lb.lbHatch = reinterpret_cast<std::uintptr_t>(b->patternHandle);
      }
      return CopyOut(&lb, sizeof lb, cb, out);
    }
    case Kind::Pen: {
      auto* p = static_cast<Pen*>(o);
      LOGPEN lp{p->style, POINT{p->width, 0}, p->color};
      return CopyOut(&lp, sizeof lp, cb, out);
    }
    case Kind::Palette: {
      WORD count = WORD(static_cast<Palette*>(o)->entries.size());
      return CopyOut(&count, sizeof count, cb, out);
    }
    case Kind::Font:
      return CopyOut(&static_cast<Font*>(o)->description, sizeof(LOGFONTA), cb, out);
    case Kind::Region:
    case Kind::Dc:
      break;
  }
  SetError(ERROR_INVALID_HANDLE);
  return 0;
}

BOOL UnrealizeObject(HGDIOBJ handle) {
  Object* o = Find(handle);
  if (!o || (o->kind != Kind::Brush && o->kind != Kind::Palette)) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Brush origins are applied when drawing and palettes are matched when drawing, so there is
  // no realised state to reset.
  return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto b = MakeBrush(BS_SOLID, color);
  return static_cast<HBRUSH>(Register(std::move(b)));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto b = MakeBrush(BS_HATCHED, color);
  b->hatch = hatch;
  return static_cast<HBRUSH>(Register(std::move(b)));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto* source = FindAs<Bitmap>(bitmap);
  if (!source) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto copy = CopyBitmap(*source);
  if (!copy) return nullptr;
  auto b = MakeBrush(BS_PATTERN, 0);
  b->pattern = std::move(copy);
  b->patternHandle = bitmap;
  return static_cast<HBRUSH>(Register(std::move(b)));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  switch (brush->lbStyle) {
    case BS_SOLID:
      return CreateSolidBrush(brush->lbColor);
    case BS_NULL:
      return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case BS_HATCHED:
      return CreateHatchBrush(int(brush->lbHatch), brush->lbColor);
    case BS_PATTERN:
      return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto p = MakePen(UINT(style), std::max(width, 1), color);
  if (style == PS_NULL) p->width = 1;
  return static_cast<HPEN>(Register(std::move(p)));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreatePen(int(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto f = std::make_unique<Font>();
  f->description = *font;
  f->description.lfFaceName[LF_FACESIZE - 1] = '\0';
  return static_cast<HFONT>(Register(std::move(f)));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  auto r = std::make_unique<Region>();
  RECT rect = Rect(std::min(left, right), std::min(top, bottom), std::max(left, right),
                   std::max(top, bottom));
  if (!IsEmpty(rect)) r->rects.push_back(rect);
  return static_cast<HRGN>(Register(std::move(r)));
}

}  // namespace win
