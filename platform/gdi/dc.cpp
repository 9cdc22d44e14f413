// The virtual screen and device contexts: creation, selection, attributes, saved states,
// clipping and device capabilities.
#include <algorithm>
#include <utility>

#include "platform/gdi/internal.h"

namespace win::gdi {
namespace {

struct Screen {
  int depth = 32;
  int width = 1280;
  int height = 800;
};
Screen& TheScreen() {
  static Screen screen;
  return screen;
}

DcState DefaultState() {
  DcState s;
  s.brush = static_cast<Brush*>(Stock(WHITE_BRUSH));
  s.pen = static_cast<Pen*>(Stock(BLACK_PEN));
  s.palette = static_cast<Palette*>(Stock(DEFAULT_PALETTE));
  s.font = static_cast<Font*>(Stock(SYSTEM_FONT));
  return s;
}

HDC NewDc(DcKind kind) {
  auto dc = std::make_unique<Dc>();
  dc->dcKind = kind;
  dc->state = DefaultState();
  if (kind == DcKind::Memory) dc->state.bitmap = StockBitmap();
  AcquireState(dc->state, dc.get());
  return static_cast<HDC>(Register(std::move(dc)));
}

Dc* FindDc(HDC dc) {
  auto* d = FindAs<Dc>(dc);
  if (!d) SetError(ERROR_INVALID_HANDLE);
  return d;
}

// Replaces one selected object, keeping the selection counts right. Returns the old one's
// handle, taken before the release may delete it.
template <typename T>
HGDIOBJ Swap(Dc* dc, T*& slot, T* object) {
  T* old = slot;
  HGDIOBJ oldHandle = HandleOf(old);
  if (old == object) return oldHandle;
  Acquire(object, dc);
  slot = object;
  Release(old);
  return oldHandle;
}

RECT ToDevice(const Dc* dc, int left, int top, int right, int bottom) {
  const POINT& o = dc->state.viewportOrg;
  return Rect(std::min(left, right) + o.x, std::min(top, bottom) + o.y, std::max(left, right) + o.x,
              std::max(top, bottom) + o.y);
}

// The clip region as a list; without one, everything a coordinate can address.
RectList CurrentClip(const Dc* dc) {
  if (dc->state.clip) return *dc->state.clip;
  if (Bitmap* b = dc->Surface()) return RectList{Rect(0, 0, b->width, b->height)};
  const Screen& s = TheScreen();
  return RectList{Rect(0, 0, s.width, s.height)};
}

}  // namespace

Dc::~Dc() {
  ReleaseState(state);
  for (auto& s : saved) ReleaseState(s);
}

}  // namespace win::gdi

namespace win {
using namespace gdi;

void SetScreenDepth(int bitsPerPixel) {
  if (bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32) {
    TheScreen().depth = bitsPerPixel;
  }
}
int ScreenDepth() {
  return TheScreen().depth;
}
void SetScreenSize(int width, int height) {
  if (width > 0 && height > 0) {
    TheScreen().width = width;
    TheScreen().height = height;
  }
}

HDC GetDC(HWND window) {
  if (window) {  // window DCs arrive with the window layer
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return NewDc(DcKind::Screen);
}

int ReleaseDC(HWND, HDC dc) {
  Dc* d = FindAs<Dc>(dc);
  if (!d || d->dcKind != DcKind::Screen) return 0;
  Destroy(d);
  return 1;
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc && !FindDc(dc)) return nullptr;
  return NewDc(DcKind::Memory);
}

BOOL DeleteDC(HDC dc) {
  Dc* d = FindDc(dc);
  if (!d) return FALSE;
  Destroy(d);
  return TRUE;
}

int SaveDC(HDC dc) {
  Dc* d = FindDc(dc);
  if (!d) return 0;
  DcState copy = d->state;
  AcquireState(copy, d);
  d->saved.push_back(std::move(copy));
  return int(d->saved.size());
}

BOOL RestoreDC(HDC dc, int savedDc) {
  Dc* d = FindDc(dc);
  if (!d) return FALSE;
  int level = int(d->saved.size());
  int target = savedDc < 0 ? level + 1 + savedDc : savedDc;
  if (target < 1 || target > level) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // States above the target are dropped; the target becomes current.
  while (int(d->saved.size()) > target) {
    ReleaseState(d->saved.back());
    d->saved.pop_back();
  }
  DcState restored = std::move(d->saved.back());
  d->saved.pop_back();
  DcState old = std::move(d->state);
  d->state = std::move(restored);  // already acquired when saved
  ReleaseState(old);
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  Dc* d = FindDc(dc);
  Object* o = Find(object);
  if (!d) return nullptr;
  if (!o) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  switch (o->kind) {
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(o);
      if (d->dcKind != DcKind::Memory) return nullptr;
      if (b->selectedIn && b->selectedIn != d) return nullptr;  // one DC at a time
      return Swap(d, d->state.bitmap, b);
    }
    case Kind::Brush:
      return Swap(d, d->state.brush, static_cast<Brush*>(o));
    case Kind::Pen:
      return Swap(d, d->state.pen, static_cast<Pen*>(o));
    case Kind::Font:
      return Swap(d, d->state.font, static_cast<Font*>(o));
    case Kind::Region: {
      int type = SelectClipRgn(dc, static_cast<HRGN>(object));
      return reinterpret_cast<HGDIOBJ>(std::uintptr_t(type));
    }
    case Kind::Palette:
    case Kind::Dc:
      break;
  }
  SetError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  Dc* d = FindDc(dc);
  if (!d) return nullptr;
  switch (type) {
    case OBJ_BITMAP:
      return HandleOf(d->state.bitmap ? d->state.bitmap : StockBitmap());
    case OBJ_BRUSH:
      return HandleOf(d->state.brush);
    case OBJ_PEN:
      return HandleOf(d->state.pen);
    case OBJ_PAL:
      return HandleOf(d->state.palette);
    case OBJ_FONT:
      return HandleOf(d->state.font);
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

int GetDeviceCaps(HDC dc, int index) {
  if (!FindDc(dc)) return 0;
  // Memory DCs report the screen they are compatible with, as on Windows.
  const Screen& s = TheScreen();
  bool palette = s.depth == 8;
  switch (index) {
    case HORZRES:
      return s.width;
    case VERTRES:
      return s.height;
    case HORZSIZE:
      return s.width * 254 / 960;  // millimetres at 96 pixels per inch
    case VERTSIZE:
      return s.height * 254 / 960;
    case BITSPIXEL:
      return s.depth;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return palette ? 20 : -1;
    case RASTERCAPS:
      return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB |
             (palette ? RC_PALETTE : 0);
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case SIZEPALETTE:
      return palette ? 256 : 0;
    case NUMRESERVED:
      return palette ? 20 : 0;
    default:
      return 0;
  }
}

BOOL GdiFlush() {
  return TRUE;
}

int GdiObjectCount() {
  return gdi::LiveObjectCount();
}

// --- Attributes ---------------------------------------------------------------------------------

COLORREF SetTextColor(HDC dc, COLORREF color) {
  Dc* d = FindDc(dc);
  if (!d) return CLR_INVALID;
  return std::exchange(d->state.textColor, color);
}
COLORREF GetTextColor(HDC dc) {
  Dc* d = FindDc(dc);
  return d ? d->state.textColor : CLR_INVALID;
}
COLORREF SetBkColor(HDC dc, COLORREF color) {
  Dc* d = FindDc(dc);
  if (!d) return CLR_INVALID;
  return std::exchange(d->state.bkColor, color);
}
COLORREF GetBkColor(HDC dc) {
  Dc* d = FindDc(dc);
  return d ? d->state.bkColor : CLR_INVALID;
}
int SetBkMode(HDC dc, int mode) {
  Dc* d = FindDc(dc);
  if (!d) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(d->state.bkMode, mode);
}
int GetBkMode(HDC dc) {
  Dc* d = FindDc(dc);
  return d ? d->state.bkMode : 0;
}
int SetROP2(HDC dc, int mode) {
  Dc* d = FindDc(dc);
  if (!d) return 0;
  if (mode < R2_BLACK || mode > R2_WHITE) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(d->state.rop2, mode);
}
int GetROP2(HDC dc) {
  Dc* d = FindDc(dc);
  return d ? d->state.rop2 : 0;
}
int SetStretchBltMode(HDC dc, int mode) {
  Dc* d = FindDc(dc);
  if (!d) return 0;
  if (mode < BLACKONWHITE || mode > HALFTONE) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(d->state.stretchMode, mode);
}
int GetStretchBltMode(HDC dc) {
  Dc* d = FindDc(dc);
  return d ? d->state.stretchMode : 0;
}
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old) {
  Dc* d = FindDc(dc);
  if (!d) return FALSE;
  if (old) *old = d->state.brushOrg;
  d->state.brushOrg = POINT{x, y};
  return TRUE;
}
BOOL GetBrushOrgEx(HDC dc, POINT* origin) {
  Dc* d = FindDc(dc);
  if (!d || !origin) return FALSE;
  *origin = d->state.brushOrg;
  return TRUE;
}
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
  Dc* d = FindDc(dc);
  if (!d) return FALSE;
  if (old) *old = d->state.viewportOrg;
  d->state.viewportOrg = POINT{x, y};
  return TRUE;
}
BOOL GetViewportOrgEx(HDC dc, POINT* origin) {
  Dc* d = FindDc(dc);
  if (!d || !origin) return FALSE;
  *origin = d->state.viewportOrg;
  return TRUE;
}

// --- Clipping -----------------------------------------------------------------------------------

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  Dc* d = FindDc(dc);
  if (!d) return ERROR;
  d->state.clip = IntersectRects(CurrentClip(d), ToDevice(d, left, top, right, bottom));
  return RegionType(*d->state.clip);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  Dc* d = FindDc(dc);
  if (!d) return ERROR;
  d->state.clip = SubtractRect(CurrentClip(d), ToDevice(d, left, top, right, bottom));
  return RegionType(*d->state.clip);
}

int SelectClipRgn(HDC dc, HRGN region) {
  Dc* d = FindDc(dc);
  if (!d) return ERROR;
  if (!region) {
    d->state.clip.reset();
    return SIMPLEREGION;
  }
  auto* r = FindAs<Region>(region);
  if (!r) {
    SetError(ERROR_INVALID_HANDLE);
    return ERROR;
  }
  d->state.clip = r->rects;
  return RegionType(r->rects);
}

int GetClipBox(HDC dc, RECT* rect) {
  Dc* d = FindDc(dc);
  if (!d || !rect) return ERROR;
  RectList clip = CurrentClip(d);
  if (Bitmap* b = d->Surface()) clip = IntersectRects(clip, Rect(0, 0, b->width, b->height));
  RECT box = BoundingBox(clip);
  const POINT& o = d->state.viewportOrg;
  *rect = IsEmpty(box) ? RECT{0, 0, 0, 0}
                       : Rect(box.left - o.x, box.top - o.y, box.right - o.x, box.bottom - o.y);
  return RegionType(clip);
}

}  // namespace win
