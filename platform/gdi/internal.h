// Objects and raster helpers shared by the GDI sources. Not part of the interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace win::gdi {

enum class Kind : std::uint8_t { Bitmap, Brush, Pen, Palette, Font, Region, Dc };

// Every handle names one of these through the GDI handle table, which owns it. Objects
// referenced by a DC state (current or saved) count as selected; deleting a selected pen,
// brush, palette or font is deferred until the last DC lets it go.
//
// GDI objects belong to the GUI thread: lookups return plain pointers, valid until the object
// is deleted on that same thread.
struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Kind kind;
  bool stock = false;
  int selections = 0;
  bool deletePending = false;
  void* handle = nullptr;  // null for private objects (a pattern brush's copy, DIB views)
};

// Hands the object to the handle table; its handle, or nullptr (ERROR_NOT_ENOUGH_MEMORY, the
// object destroyed) when the process is out of GDI handles.
void* Register(std::unique_ptr<Object> object);
// Live non-stock objects.
int LiveObjectCount();
Object* Find(const void* handle);
Object* Find(const void* handle, Kind kind);
template <typename T>
T* FindAs(const void* handle) {
  return static_cast<T*>(Find(handle, T::kKind));
}
// Makes a non-stock object's handle stale and frees the object.
void Destroy(Object* object);
inline void* HandleOf(const Object* object) {
  return object ? object->handle : nullptr;
}

// Colours inside the raster code are 0x00RRGGBB ("rgb"): in memory B, G, R, 0, the layout of a
// 32-bit pixel. COLORREF is 0x00BBGGRR.
inline std::uint32_t RgbFromColorRef(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ColorRefFromRgb(std::uint32_t rgb) {
  return RgbFromColorRef(rgb);
}
inline std::uint32_t RgbFromQuad(const RGBQUAD& q) {
  return (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}
inline RGBQUAD QuadFromRgb(std::uint32_t rgb) {
  return RGBQUAD{BYTE(rgb), BYTE(rgb >> 8), BYTE(rgb >> 16), 0};
}
inline std::uint32_t RgbFromEntry(const PALETTEENTRY& e) {
  return (std::uint32_t(e.peRed) << 16) | (std::uint32_t(e.peGreen) << 8) | e.peBlue;
}
constexpr std::uint32_t kRgbBlack = 0;
constexpr std::uint32_t kRgbWhite = 0xFFFFFF;

// --- Pixel formats -------------------------------------------------------------------------
enum class FormatKind : std::uint8_t {
  Mono,     // monochrome DDB: 0 black (text colour), 1 white (background colour)
  Indexed,  // 1/4/8 bits through a colour table
  Direct,   // 16/24/32 bits with channel masks
};

struct PixelFormat {
  FormatKind kind = FormatKind::Direct;
  int bpp = 32;
  std::uint32_t masks[3] = {0xFF0000, 0x00FF00, 0x0000FF};  // red, green, blue
  int shift[3] = {16, 8, 0};
  int width[3] = {8, 8, 8};
  std::uint32_t valueMask = 0xFFFFFF;  // bits a raster operation may produce

  static PixelFormat Mono();
  static PixelFormat Indexed(int bpp);
  static PixelFormat Direct(int bpp, std::uint32_t r, std::uint32_t g, std::uint32_t b);
  bool IsBgr8() const {  // 24 or 32 bits with one byte per channel in B, G, R order
    return kind == FormatKind::Direct && (bpp == 24 || bpp == 32) && masks[0] == 0xFF0000 &&
           masks[1] == 0xFF00 && masks[2] == 0xFF;
  }
  bool SameLayout(const PixelFormat& o) const {
    return kind == o.kind && bpp == o.bpp && masks[0] == o.masks[0] && masks[1] == o.masks[1] &&
           masks[2] == o.masks[2];
  }
};

// Rows padded to 4 bytes (DIB) or 2 bytes (DDB, as GetObject reports them). nullopt when the
// row or the whole image would not fit 2^31 - 1 bytes.
std::optional<std::size_t> CheckedStride(std::int64_t width, int bpp, int align);
std::optional<std::size_t> CheckedImageSize(std::int64_t width, std::int64_t height, int bpp,
                                            int align);

struct Dc;

// A device-dependent bitmap or a DIB section. Pixels are either owned (zero-filled at creation)
// or, for the temporary views GetDIBits and SetDIBits build over caller memory, borrowed.
struct Bitmap : Object {
  static constexpr Kind kKind = Kind::Bitmap;
  Bitmap() : Object(Kind::Bitmap) {}
  ~Bitmap() override;

  int width = 0;
  int height = 0;  // rows; always positive
  PixelFormat format;
  bool dib = false;
  bool topDown = true;  // DDBs are stored top-down; DIB sections as their header says
  std::size_t stride = 0;
  std::uint8_t* bits = nullptr;
  bool ownsBits = true;
  std::size_t mappedBytes = 0;        // owned bits that came from PixelMemory's own mapping
  std::vector<std::uint32_t> colors;  // rgb colour table of Indexed formats
  BITMAPINFOHEADER header{};          // DIB sections: the header as created
  Dc* selectedIn = nullptr;

  std::uint8_t* Row(int y) { return bits + std::size_t(topDown ? y : height - 1 - y) * stride; }
  const std::uint8_t* Row(int y) const {
    return bits + std::size_t(topDown ? y : height - 1 - y) * stride;
  }
  bool IsMono() const { return format.kind == FormatKind::Mono; }
};

// Allocates a zero-filled bitmap of the format; nullptr (last error set) when too large.
std::unique_ptr<Bitmap> NewBitmap(int width, int height, const PixelFormat& format, bool dib,
                                  bool topDown);
// The format and colour table a DDB of the given depth has (the screen's formats and mono).
PixelFormat DdbFormat(int bpp);
std::vector<std::uint32_t> DdbColors(int bpp);
std::unique_ptr<Bitmap> CopyBitmap(const Bitmap& source);

struct Brush : Object {
  static constexpr Kind kKind = Kind::Brush;
  Brush() : Object(Kind::Brush) {}
  UINT style = BS_SOLID;
  COLORREF color = 0;
  int hatch = 0;
  std::unique_ptr<Bitmap> pattern;  // private copy of a pattern brush's bitmap
  HBITMAP patternHandle = nullptr;  // the bitmap it was made from, as GetObject reports it
};

struct Pen : Object {
  static constexpr Kind kKind = Kind::Pen;
  Pen() : Object(Kind::Pen) {}
  UINT style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct Palette : Object {
  static constexpr Kind kKind = Kind::Palette;
  Palette() : Object(Kind::Palette) {}
  std::vector<PALETTEENTRY> entries;
};

struct Font : Object {
  static constexpr Kind kKind = Kind::Font;
  Font() : Object(Kind::Font) {}
  LOGFONTA description{};
};

// A set of disjoint rectangles, enough for rectangular clipping with exclusions.
using RectList = std::vector<RECT>;
struct Region : Object {
  static constexpr Kind kKind = Kind::Region;
  Region() : Object(Kind::Region) {}
  RectList rects;
};

RectList IntersectRects(const RectList& rects, const RECT& r);
RectList SubtractRect(const RectList& rects, const RECT& r);
RECT BoundingBox(const RectList& rects);
int RegionType(const RectList& rects);

// The attributes SaveDC saves. Clip rectangles are in device coordinates.
struct DcState {
  Bitmap* bitmap = nullptr;
  Brush* brush = nullptr;
  Pen* pen = nullptr;
  Palette* palette = nullptr;
  Font* font = nullptr;
  COLORREF textColor = 0x000000;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  UINT textAlign = TA_LEFT | TA_TOP;
  int rop2 = R2_COPYPEN;
  int stretchMode = BLACKONWHITE;
  POINT brushOrg{0, 0};
  POINT viewportOrg{0, 0};
  POINT position{0, 0};
  bool paletteRealized = false;
  std::optional<RectList> clip;  // nullopt: the whole surface
};

// A device context: the screen (no pixels of its own) or a memory DC drawing into the selected
// bitmap. A window DC fits as a third kind whose Surface() is a 32-bit top-down bitmap of the
// window's size owned by the DC (the window layer shows that buffer). Text output reads
// state.font, textColor, bkColor, bkMode and textAlign.
enum class DcKind : std::uint8_t { Screen, Memory };
struct Dc : Object {
  static constexpr Kind kKind = Kind::Dc;
  Dc() : Object(Kind::Dc) {}
  ~Dc() override;
  DcKind dcKind = DcKind::Memory;
  DcState state;
  std::vector<DcState> saved;

  // The pixels drawing goes to, or nullptr (screen DC).
  Bitmap* Surface() const { return dcKind == DcKind::Memory ? state.bitmap : nullptr; }
};

void Acquire(Object* object, Dc* dc);
void Release(Object* object);
void AcquireState(DcState& state, Dc* dc);
void ReleaseState(DcState& state);

// --- Stock objects, screen, palettes -----------------------------------------------------------
Object* Stock(int index);
Bitmap* StockBitmap();  // the 1 x 1 monochrome bitmap of a new memory DC
const std::vector<PALETTEENTRY>& HalftoneEntries();
const std::vector<PALETTEENTRY>& VgaEntries();
std::vector<std::uint32_t> RgbTable(const std::vector<PALETTEENTRY>& entries);

// Colour of a COLORREF as drawn through dc (PALETTEINDEX goes through its palette).
std::uint32_t ResolveColor(const Dc* dc, COLORREF color);

// Nearest-entry search with a small cache, for palette targets.
class ColorMatcher {
 public:
  explicit ColorMatcher(const std::vector<std::uint32_t>& table);
  std::uint32_t Nearest(std::uint32_t rgb);

 private:
  const std::vector<std::uint32_t>& table_;
  std::vector<std::uint32_t> cacheKey_;
  std::vector<std::uint16_t> cacheValue_;
};
std::uint32_t NearestIndex(const std::vector<std::uint32_t>& table, std::uint32_t rgb);

// --- Pixel value rows ---------------------------------------------------------------------------
// Unpacked pixel values of x0..x0+n-1 on row y (top-down index).
void ReadValues(const Bitmap& b, int y, int x0, int n, std::uint32_t* out);
void WriteValues(Bitmap& b, int y, int x0, int n, const std::uint32_t* in);
// Writes only where mask[i] != 0.
void WriteValuesMasked(Bitmap& b, int y, int x0, int n, const std::uint32_t* in,
                       const std::uint8_t* mask);
std::uint32_t ReadValue(const Bitmap& b, int x, int y);
// Decodes values of a non-mono format to rgb.
void DecodeRow(const PixelFormat& f, const std::vector<std::uint32_t>& colors,
               const std::uint32_t* in, std::uint32_t* out, int n);
std::uint32_t DecodeValue(const PixelFormat& f, const std::vector<std::uint32_t>& colors,
                          std::uint32_t v);

// Turns rgb colours into values of a target. Mono targets take the nearest of black and white;
// palette targets the nearest entry (through the DC's realised logical palette first for an
// 8-bit DDB).
class Encoder {
 public:
  Encoder(const Bitmap& target, const Dc* dc);
  std::uint32_t Encode(std::uint32_t rgb);
  void EncodeRow(const std::uint32_t* rgb, std::uint32_t* out, int n);

 private:
  const Bitmap& target_;
  std::optional<ColorMatcher> matcher_;
  std::vector<std::uint32_t> logical_;
  std::optional<ColorMatcher> logicalMatcher_;
};

// Converts source values into target values, with the monochrome rules of block transfers.
struct ConvertRules {
  // Mono source: the target's values for 0 and 1 bits (the target DC's text and background
  // colours for a transfer; black and white for GetDIBits).
  std::uint32_t monoZeroRgb = kRgbBlack;
  std::uint32_t monoOneRgb = kRgbWhite;
  // Colour source into a mono target: when set, pixels equal to this source value become 1 and
  // all others 0; otherwise the nearest of black and white.
  std::optional<std::uint32_t> sourceBkValue;
};
class Converter {
 public:
  Converter(const Bitmap& source, const Bitmap& target, const Dc* targetDc,
            const ConvertRules& rules);
  void Row(const std::uint32_t* in, std::uint32_t* out, int n);
  // Source values to rgb (mono through the rules' colours).
  void ToRgb(const std::uint32_t* in, std::uint32_t* out, int n) const;
  bool Identity() const { return identity_; }
  Encoder& TargetEncoder() { return encoder_; }

 private:
  const Bitmap& source_;
  const Bitmap& target_;
  ConvertRules rules_;
  Encoder encoder_;
  bool identity_ = false;
  std::uint32_t monoZero_ = 0, monoOne_ = 0;
  std::vector<std::uint32_t> scratch_;
};

// --- Raster operations ---------------------------------------------------------------------------
inline bool RopUsesPattern(std::uint8_t rop) {
  return ((rop >> 4) ^ rop) & 0x0F;
}
inline bool RopUsesSource(std::uint8_t rop) {
  return ((rop >> 2) ^ rop) & 0x33;
}
inline bool RopUsesDest(std::uint8_t rop) {
  return ((rop >> 1) ^ rop) & 0x55;
}
// d[i] = rop(p[i], s[i], d[i]) & valueMask; p or s may be null when the rop ignores them.
void ApplyRop(std::uint8_t rop, const std::uint32_t* p, const std::uint32_t* s, std::uint32_t* d,
              int n, std::uint32_t valueMask);

// A brush realised for one target: values per device pixel, following the brush origin.
class PatternSource {
 public:
  // False (nothing to draw) for a null brush.
  bool Realize(const Brush* brush, const Dc* dc, const Bitmap& target);
  void SolidColor(std::uint32_t rgb, const Dc* dc, const Bitmap& target);
  // Values for device pixels x0..x0+n-1 of row y; mask (may be null) 0 where a hatched brush
  // in transparent mode leaves the target alone. Returns false when every mask entry is 1.
  bool Row(int x0, int y, int n, std::uint32_t* out, std::uint8_t* mask) const;
  bool Solid() const { return solid_; }

 private:
  bool solid_ = true;
  std::uint32_t value_ = 0;
  int w_ = 0, h_ = 0;
  POINT origin_{0, 0};
  std::vector<std::uint32_t> tile_;
  std::vector<std::uint8_t> opaque_;
  bool hasMask_ = false;
};

// Device rectangles drawing may touch: the surface clipped by the DC's clip region.
RectList DrawableRects(const Dc* dc, const Bitmap& target);
RECT Rect(int left, int top, int right, int bottom);
bool IsEmpty(const RECT& r);
RECT Intersect(const RECT& a, const RECT& b);

// Fills device rectangle r (already clipped) with rop over pattern and target.
void PatternFill(Bitmap& target, const RECT& r, std::uint8_t rop, const PatternSource& pattern);

// The stretch modes (stretch.cpp).
BOOL Stretch(Dc* dest, int x, int y, int width, int height, Dc* src, int srcX, int srcY,
             int srcWidth, int srcHeight, DWORD rop);

// Run-length decoding (rle.cpp): fills indexes (width * height, top-down) and sets written[i]
// for each pixel a run wrote. Never reads past size bytes or writes outside the image; runs
// that leave a row or the image are clipped. False when the data is not RLE of this kind.
bool DecodeRle(const std::uint8_t* data, std::size_t size, int bpp, int width, int height,
               std::vector<std::uint8_t>& indexes, std::vector<std::uint8_t>& written);

void SetError(DWORD code);

}  // namespace win::gdi
