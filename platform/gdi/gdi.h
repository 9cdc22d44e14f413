// Windows GDI stand-in: a software raster graphics layer.
//
// Keeps the Windows meaning of every call, value and result the system relies on: device
// contexts with selected objects, device-dependent bitmaps in the virtual screen's format,
// DIB sections, palettes, brushes, pens, block transfers with ternary raster operations and
// the stretch modes. Handles are pointers to objects owned by this layer; a handle of 0 is
// "none". Failures return 0/FALSE and set the kernel's last error, as Windows does.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel.h"

namespace win {

// --- Handles -----------------------------------------------------------------------------
struct HDC__;
struct HBITMAP__;
struct HPALETTE__;
struct HBRUSH__;
struct HPEN__;
struct HFONT__;
struct HRGN__;
struct HWND__;
using HDC = HDC__*;
using HBITMAP = HBITMAP__*;
using HPALETTE = HPALETTE__*;
using HBRUSH = HBRUSH__*;
using HPEN = HPEN__*;
using HFONT = HFONT__*;
using HRGN = HRGN__*;
using HWND = HWND__*;
using HGDIOBJ = void*;

// --- Basic types -------------------------------------------------------------------------
using COLORREF = DWORD;  // 0x00BBGGRR
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) {
  return BYTE(c);
}
constexpr BYTE GetGValue(COLORREF c) {
  return BYTE(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c) {
  return BYTE(c >> 16);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
// PALETTEINDEX(i) and PALETTERGB(r,g,b) forms of a COLORREF.
constexpr COLORREF PALETTEINDEX(WORD i) {
  return 0x01000000u | i;
}
constexpr COLORREF PALETTERGB(BYTE r, BYTE g, BYTE b) {
  return 0x02000000u | RGB(r, g, b);
}

struct POINT {
  LONG x;
  LONG y;
};
struct SIZE {
  LONG cx;
  LONG cy;
};
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};
struct RGBTRIPLE {
  BYTE rgbtBlue;
  BYTE rgbtGreen;
  BYTE rgbtRed;
};
struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};
struct LOGPALETTE {
  WORD palVersion;  // 0x300
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[256];
};

// The Windows BITMAP description. bmBits is non-null only for a DIB section.
struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: rows stored bottom-up
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
// A header followed by room for a full colour table. With BI_BITFIELDS the three masks take
// the first three entries, as in Windows.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};
struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;
constexpr DWORD CBM_INIT = 4;

struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  std::uintptr_t lbHatch;  // hatch style, or the HBITMAP of a pattern brush
};
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_HATCHED = 2;
constexpr UINT BS_PATTERN = 3;
constexpr int HS_HORIZONTAL = 0;
constexpr int HS_VERTICAL = 1;
constexpr int HS_FDIAGONAL = 2;
constexpr int HS_BDIAGONAL = 3;
constexpr int HS_CROSS = 4;
constexpr int HS_DIAGCROSS = 5;

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
};
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;

// Font description. Text output resolves it through fontconfig and draws with FreeType (see
// text.h for how a description resolves).
constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
  LONG lfHeight;  // negative: em height in pixels
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;

struct TEXTMETRICA {
  LONG tmHeight;  // ascent + descent
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;  // tmHeight minus the em height
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

// TextOut alignment (SetTextAlign): one horizontal and one vertical value, plus TA_UPDATECP.
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;

// ExtTextOut options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// DrawText formats.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_INTERNAL = 0x00001000;
constexpr UINT DT_EDITCONTROL = 0x00002000;
constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_MODIFYSTRING = 0x00010000;
constexpr UINT DT_RTLREADING = 0x00020000;
constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
constexpr UINT DT_NOFULLWIDTHCHARBREAK = 0x00080000;
constexpr UINT DT_HIDEPREFIX = 0x00100000;
constexpr UINT DT_PREFIXONLY = 0x00200000;

// Object types (GetObjectType / GetCurrentObject).
constexpr UINT OBJ_PEN = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_DC = 3;
constexpr UINT OBJ_PAL = 5;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;
constexpr UINT OBJ_REGION = 8;
constexpr UINT OBJ_MEMDC = 10;

// Failure result of calls that return a count or a region type.
constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
// The 16-colour system palette: the 16 VGA colours in their usual order (black, maroon,
// green, olive, navy, purple, teal, silver, gray, red, lime, yellow, blue, fuchsia, aqua,
// white). Every DC starts with it selected; selecting it never limits the colours drawn.
constexpr int DEFAULT_PALETTE = 15;
constexpr int DEFAULT_GUI_FONT = 17;

// GetDeviceCaps indexes.
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int NUMRESERVED = 106;
constexpr int RC_BITBLT = 0x0001;
constexpr int RC_BITMAP64 = 0x0008;
constexpr int RC_DI_BITMAP = 0x0080;
constexpr int RC_PALETTE = 0x0100;
constexpr int RC_DIBTODEV = 0x0200;
constexpr int RC_STRETCHBLT = 0x0800;
constexpr int RC_STRETCHDIB = 0x2000;

// Raster operations: the high word's low byte is the ternary truth table over P, S, D.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Binary raster operations (SetROP2), for pens.
// The value minus 1 is the truth table over pen P and destination D, bit (P << 1 | D).
constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

// Stretch modes.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr int STRETCH_ANDSCANS = BLACKONWHITE;
constexpr int STRETCH_ORSCANS = WHITEONBLACK;
constexpr int STRETCH_DELETESCANS = COLORONCOLOR;
constexpr int STRETCH_HALFTONE = HALFTONE;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Region results.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

// --- The virtual screen ------------------------------------------------------------------
// Device-dependent bitmaps take the screen's pixel format: 32 (B, G, R, unused), 24, 16
// (5-6-5) or 8 (indexes into the system palette). 32 unless a test or the host says otherwise.
void SetScreenDepth(int bitsPerPixel);
int ScreenDepth();
void SetScreenSize(int width, int height);  // 1280 x 800 when headless

// --- Device contexts ---------------------------------------------------------------------
HDC GetDC(HWND window);  // 0: the screen
int ReleaseDC(HWND window, HDC dc);
// A memory DC with the stock 1 x 1 monochrome bitmap, WHITE_BRUSH, BLACK_PEN, SYSTEM_FONT and
// DEFAULT_PALETTE selected; text colour black, background white and opaque, R2_COPYPEN,
// BLACKONWHITE. Device capabilities are the screen's.
HDC CreateCompatibleDC(HDC dc);
// Deselects everything (a bitmap selected here becomes free for another DC).
BOOL DeleteDC(HDC dc);
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int savedDc);
// Returns the previous object of that kind, or 0. A bitmap can be selected into one memory DC
// at a time (the stock bitmap excepted): selecting it into a second one fails. Palettes go
// through SelectPalette, not here. A region sets the clip region and returns its type.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
int GetDeviceCaps(HDC dc, int index);
BOOL GdiFlush();
// Not a Windows call: the number of live objects (DCs, bitmaps, palettes, brushes, pens, fonts,
// regions) apart from stock objects, as Task Manager's "GDI objects" column counts a process's
// handles. Tests use it to find handles that are never deleted.
int GdiObjectCount();

// --- Objects -----------------------------------------------------------------------------
// Stock objects ignore it (TRUE). A bitmap selected into a DC is refused (FALSE); a selected
// pen, brush, palette or font is deleted once the last DC deselects it (TRUE).
BOOL DeleteObject(HGDIOBJ object);
// Copies the object's description: BITMAP (or DIBSECTION when cb allows and the bitmap is a
// DIB section), LOGBRUSH, LOGPEN, LOGFONTA, or the palette's entry count (a WORD). Returns
// bytes written; with out null the size needed. A DDB's bmWidthBytes is its row size padded to
// 2 bytes, a DIB section's padded to 4; dsBm.bmHeight is positive, dsBmih.biHeight signed.
int GetObjectA(HGDIOBJ object, int cb, void* out);
UINT GetObjectType(HGDIOBJ object);
HGDIOBJ GetStockObject(int index);
BOOL UnrealizeObject(HGDIOBJ object);

// --- Bitmaps -----------------------------------------------------------------------------
// DDBs. Pixels start black (zero) unless bits (rows padded to 2 bytes, top row first) are
// given. CreateBitmap takes 1 plane of 1, 4, 8, 16 (5-6-5), 24 or 32 bits. A width or height of
// 0 gives the stock 1 x 1 monochrome bitmap; a negative one fails (ERROR_INVALID_PARAMETER).
// CreateCompatibleBitmap takes the format of the bitmap selected in a memory DC (so a new
// memory DC gives monochrome, and a DIB section gives a DIB section of its format), or the
// screen's for the screen DC.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// 1, 4, 8, 16, 24, 32 bits; BI_RGB or BI_BITFIELDS (16 and 32); bottom-up or top-down.
// Zero-filled; *bits stays valid for the section's life. Sections backed by a file mapping
// (section != 0) are not supported. Fails with ERROR_INVALID_PARAMETER for a bad header and
// ERROR_NOT_ENOUGH_MEMORY when the image would exceed 2^31 - 1 bytes or cannot be allocated.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A device-dependent bitmap; with CBM_INIT it is initialised from DIB bits, which may be
// BI_RLE8 or BI_RLE4 compressed.
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
// Copies rows of a bitmap into a DIB layout (the format given in info); with bits null only
// fills in info (with biBitCount 0: the bitmap's own format; then biSizeImage, and the colour
// table for 8 bits or fewer). Scan 0 is the bottom row for a bottom-up (positive height)
// layout. A monochrome DDB reads as black (0) and white (1). Returns the rows copied.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT scanLines, void* bits, BITMAPINFO* info,
              UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT scanLines, const void* bits,
              const BITMAPINFO* info, UINT usage);
// Colour table of the DIB section selected in dc.
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);

// --- Palettes ----------------------------------------------------------------------------
HPALETTE CreatePalette(const LOGPALETTE* palette);
// 256 entries: the 20 static colours at 0-9 and 246-255, a 6 x 6 x 6 colour cube at 10-225
// and 20 grays between.
HPALETTE CreateHalftonePalette(HDC dc);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
// A realised logical palette makes colours drawn into an 8-bit DDB snap to its entries first.
// 8-bit DIB sections always match against their colour table. PALETTEINDEX colours refer to
// the selected palette.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);
// Colours the system reports for a device-dependent bitmap's pixel values (8-bit screen).
// On an 8-bit screen the system palette is fixed and equals the halftone palette, so an 8-bit
// DDB's pixel values index the halftone colours. 0 on other screens.
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);

// --- Brushes, pens -----------------------------------------------------------------------
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HFONT CreateFontIndirectA(const LOGFONTA* font);
// Brush origins are in device coordinates; the stretch mode does not move them.
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetBrushOrgEx(HDC dc, POINT* origin);

// --- DC attributes -----------------------------------------------------------------------
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
// Logical (0, 0) maps to device (x, y).
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);

// --- Clipping ----------------------------------------------------------------------------
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int SelectClipRgn(HDC dc, HRGN region);  // region 0 removes the clipping; a region is copied
int GetClipBox(HDC dc, RECT* rect);
HRGN CreateRectRgn(int left, int top, int right, int bottom);  // device coordinates

// --- Text ----------------------------------------------------------------------------------
// Strings are bytes in code page 936 (a double-byte or GB18030 four-byte character counts as
// its bytes in `count`); count -1 means up to the terminating zero (DrawText only). Text is
// drawn with the selected font in the text colour, antialiased glyphs blended with what is
// below them; in OPAQUE mode the text's cell is first filled with the background colour.
// Measuring works on every DC, the screen DC included; drawing on the screen DC does nothing.
// The text module keeps its faces and rendered glyphs in one cache behind a lock, so text calls
// may come from any thread.
UINT SetTextAlign(HDC dc, UINT align);  // GDI_ERROR for a bad DC
UINT GetTextAlign(HDC dc);
// (x, y) is the reference point of the text alignment (top left by default). With TA_UPDATECP
// the current position is used instead of (x, y) and moves by the text's width.
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count);
// ETO_OPAQUE fills rect with the background colour (whatever the background mode), ETO_CLIPPED
// clips the text to rect. dx, when given, holds the advance of each byte; a character advances
// by the sum of its bytes' entries.
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count,
                 const int* dx);
// Width of the text as TextOut advances it; height the font's cell height. No prefix handling,
// tabs measure as the font's tab glyph (nothing).
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// Formats text into rect. Lines break at CR, LF and CR LF (not with DT_SINGLELINE); with
// DT_WORDBREAK also where the next word would pass the right edge: after blanks (which are not
// drawn at the break) and between Chinese characters, never before closing or after opening
// punctuation. A word wider than the rectangle keeps its line. DT_EXPANDTABS sets tab stops every
// 8 average character widths (DT_TABSTOP: the format's bits 8-15 give the count). Without
// DT_NOPREFIX "&x" draws x underlined and "&&" draws "&" (DT_HIDEPREFIX: no underline,
// DT_PREFIXONLY: only the underlines). DT_END_ELLIPSIS (and DT_WORD_ELLIPSIS, DT_PATH_ELLIPSIS,
// treated alike) ends a line that is too wide with "...". DT_VCENTER and DT_BOTTOM apply to
// DT_SINGLELINE only. Output is clipped to rect unless DT_NOCLIP.
// DT_CALCRECT draws nothing: it sets rect's right and bottom to bound the formatted text (the
// width of the longest line; the given width is the limit for word breaking).
// Returns the text's height; with DT_VCENTER or DT_BOTTOM the offset from rect's top to the
// bottom of the drawn text. 0 on failure (and for empty text).
int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format);

// --- Drawing -----------------------------------------------------------------------------
// Everything is clipped to the target bitmap and the DC's clip region; drawing on the screen
// DC (which has no pixels here) succeeds and does nothing.
//
// Raster operations work bitwise on pixel values of the target's format, except BLACKNESS and
// WHITENESS, which fill with the colours black and white (the nearest entries on palette
// targets). Source pixels are converted to the target's format first:
// - between colour formats through 8-bit channels; narrowing to 5 or 6 bits truncates,
//   widening repeats the high bits; palette targets take the nearest entry (Euclidean RGB,
//   lowest index on ties);
// - monochrome DDB to colour: 0 bits become the target DC's text colour, 1 bits its background
//   colour;
// - colour to monochrome DDB: pixels equal to the source DC's background colour (as the source
//   format stores it) become 1 (white), all others 0;
// - 1-bit DIB sections are palette formats: their colour table applies both ways.
// A monochrome pattern brush draws 0 bits in the text colour and 1 bits in the background
// colour; hatched brushes fill their gaps with the background colour, or leave them in
// TRANSPARENT mode. Brush patterns are aligned to the brush origin.
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
// Negative extents turn both rectangles around together. Pixels whose source lies outside the
// source bitmap are left alone. Overlapping copies within one bitmap read the original pixels.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// Equal sizes: BitBlt. Otherwise by the target DC's stretch mode; target pixels are numbered
// dx = 0..W-1 over a W-wide target and w is the source width (likewise y):
// - HALFTONE: the exact area average. Target pixel dx covers source interval
//   [dx*w/W, (dx+1)*w/W); each source pixel weighs by its overlap, each channel is the weighted
//   mean rounded half up, computed in integers; the same for enlarging. Any source format
//   (monochrome through the target's text and background colours).
// - COLORONCOLOR: the source pixel ((2*dx + 1)*w) / (2*W).
// - BLACKONWHITE / WHITEONBLACK: reducing, the source pixels sx with sx*W/w == dx are combined by
//   per-channel minimum / maximum (AND / OR of the bits for a monochrome source); otherwise as
//   COLORONCOLOR.
// Opposite signs of target and source extents mirror. Target pixels whose footprint leaves the
// source bitmap are not drawn. A zero target extent draws nothing (TRUE); a zero source extent
// fails.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop);
// Copies all pixels except those of the transparent colour (nearest-pixel stretching).
BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                    int srcWidth, int srcHeight, UINT transparentColor);
// Where the monochrome mask is 1 the foreground rop applies, where it is 0 the background
// rop (MAKEROP4(fore, back)), as in Windows. A mask of 0 means the foreground rop everywhere.
BOOL MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
             HBITMAP mask, int maskX, int maskY, DWORD rop4);
constexpr DWORD MAKEROP4(DWORD fore, DWORD back) {
  return ((back << 8) & 0xFF000000u) | fore;
}
// Fills [left, right) x [top, bottom) with the brush.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// A border one unit wide along the inside of the rectangle, drawn with the brush.
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
BOOL GetCurrentPositionEx(HDC dc, POINT* position);
// Draws with the pen and the mix mode (SetROP2), leaving out the end point. Dashed and dotted
// pens fill their gaps with the background colour in OPAQUE mode.
BOOL LineTo(HDC dc, int x, int y);
// Outline with the pen along the inside of [left, right) x [top, bottom), interior with the
// brush; without a pen the filled area ends one pixel earlier on the right and at the bottom.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
// CLR_INVALID outside the bitmap or the clip region. SetPixel returns the colour it could set.
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

}  // namespace win
