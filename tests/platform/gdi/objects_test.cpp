// Objects, DCs, selection rules, descriptions, device capabilities and palettes.
#include <gtest/gtest.h>

#include "tests/platform/gdi/gdi_test_util.h"

namespace win {
namespace {

using test::Canvas;
using test::DibLayout;
using test::Layout;

TEST(Dc, MemoryDcStartsWithTheDocumentedObjectsAndAttributes) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetObjectType(dc), OBJ_MEMDC);
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(GetCurrentObject(dc, OBJ_BITMAP), sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 1);
  EXPECT_EQ(bm.bmHeight, 1);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PAL), GetStockObject(DEFAULT_PALETTE));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetROP2(dc), R2_COPYPEN);
  EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);
  EXPECT_TRUE(GdiFlush());
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(GetObjectType(dc), 0u);
}

TEST(Dc, ABitmapIsSelectedIntoOneDcAtATime) {
  HBITMAP bmp = CreateBitmap(4, 4, 1, 32, nullptr);
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HGDIOBJ oldA = SelectObject(a, bmp);
  ASSERT_NE(oldA, nullptr);
  EXPECT_EQ(SelectObject(b, bmp), nullptr);
  EXPECT_EQ(SelectObject(a, bmp), bmp);  // again into the same DC is fine
  EXPECT_FALSE(DeleteObject(bmp));       // selected: refused
  EXPECT_EQ(GetObjectType(bmp), OBJ_BITMAP);
  EXPECT_EQ(SelectObject(a, oldA), bmp);
  EXPECT_NE(SelectObject(b, bmp), nullptr);  // free again
  // The stock bitmap of new memory DCs is shared by all of them.
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_NE(SelectObject(a, GetCurrentObject(other, OBJ_BITMAP)), nullptr);
  DeleteDC(other);
  DeleteDC(b);  // deleting a DC deselects its bitmap
  HDC c = CreateCompatibleDC(nullptr);
  EXPECT_NE(SelectObject(c, bmp), nullptr);
  DeleteDC(c);
  EXPECT_TRUE(DeleteObject(bmp));
  DeleteDC(a);
}

TEST(Dc, SelectedBrushesAreDeletedWhenReleasedAndStockObjectsNever) {
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, brush);
  EXPECT_EQ(old, GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(brush), OBJ_BRUSH);  // still in use by the DC
  SelectObject(dc, old);
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), OBJ_PEN);
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_FALSE(DeleteObject(dc));  // DCs go through DeleteDC
  DeleteDC(dc);
}

TEST(Dc, SaveAndRestoreBringBackObjectsAttributesAndClip) {
  Canvas c(Layout(10, 10, 32));
  HDC dc = c.Dc();
  EXPECT_EQ(SaveDC(dc), 1);
  HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
  SelectObject(dc, brush);
  SetTextColor(dc, RGB(1, 0, 0));
  IntersectClipRect(dc, 0, 0, 2, 2);
  EXPECT_EQ(SaveDC(dc), 2);
  SetTextColor(dc, RGB(2, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  EXPECT_TRUE(RestoreDC(dc, -1));
  EXPECT_EQ(GetTextColor(dc), RGB(1, 0, 0));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(SaveDC(dc), 2);
  EXPECT_TRUE(RestoreDC(dc, 1));  // drops level 2 too
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  RECT box{};
  GetClipBox(dc, &box);
  EXPECT_EQ(box.right, 10);
  EXPECT_FALSE(RestoreDC(dc, 1));
  EXPECT_FALSE(RestoreDC(dc, -1));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(brush), 0u);
}

struct WidthBytesCase {
  int width, bpp, ddbBytes, dibBytes;
};

// DDB rows are padded to 2 bytes, DIB rows to 4.
TEST(Describe, RowBytesOfDdbsAndDibSections) {
  const WidthBytesCase cases[] = {{9, 1, 2, 4},  {17, 1, 4, 4},   {3, 4, 2, 4},   {5, 8, 6, 8},
                                  {3, 16, 6, 8}, {3, 24, 10, 12}, {3, 32, 12, 12}};
  for (const auto& c : cases) {
    HBITMAP ddb = CreateBitmap(c.width, 2, 1, UINT(c.bpp), nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(ddb, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidthBytes, c.ddbBytes) << c.bpp;
    EXPECT_EQ(bm.bmBitsPixel, c.bpp);
    EXPECT_EQ(bm.bmPlanes, 1);
    EXPECT_EQ(bm.bmBits, nullptr);
    DeleteObject(ddb);

    Canvas dib(Layout(c.width, 2, c.bpp));
    ASSERT_EQ(GetObjectA(dib.Bitmap(), sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidthBytes, c.dibBytes) << c.bpp;
    EXPECT_NE(bm.bmBits, nullptr);
  }
}

TEST(Describe, DibSectionDescriptionKeepsHeaderAndMasks) {
  DibLayout layout = Layout(5, -3, 16);
  layout.compression = BI_BITFIELDS;
  layout.masks[0] = 0xF800, layout.masks[1] = 0x07E0, layout.masks[2] = 0x001F;
  BITMAPINFO info = test::MakeInfo(layout);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(GetObjectA(bmp, 0, nullptr), int(sizeof(DIBSECTION)));
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectA(bmp, sizeof ds, &ds), int(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, 5);
  EXPECT_EQ(ds.dsBm.bmHeight, 3);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 12);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(ds.dsBmih.biSize, sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(ds.dsBmih.biHeight, -3);
  EXPECT_EQ(ds.dsBmih.biBitCount, 16);
  EXPECT_EQ(ds.dsBmih.biCompression, BI_BITFIELDS);
  EXPECT_EQ(ds.dsBmih.biSizeImage, 36u);
  EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
  EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);
  EXPECT_EQ(ds.dsBitfields[2], 0x001Fu);
  EXPECT_EQ(ds.dshSection, nullptr);
  // A BITMAP-sized buffer gets the BITMAP part only.
  BITMAP bm{};
  EXPECT_EQ(GetObjectA(bmp, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmBits, bits);
  EXPECT_EQ(GetObjectA(bmp, 10, &bm), 0);  // too small for any description
  // The bits stay where they are through selection and drawing, and start at zero.
  for (int i = 0; i < 36; ++i) EXPECT_EQ(static_cast<std::uint8_t*>(bits)[i], 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  PatBlt(dc, 0, 0, 5, 3, WHITENESS);
  SelectObject(dc, old);
  DeleteDC(dc);
  GetObjectA(bmp, sizeof ds, &ds);
  EXPECT_EQ(ds.dsBm.bmBits, bits);
  EXPECT_EQ(static_cast<std::uint8_t*>(bits)[0], 0xFF);
  DeleteObject(bmp);
}

TEST(Describe, BrushPenFontAndPaletteDescriptions) {
  HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, RGB(4, 5, 6));
  LOGBRUSH lb{};
  EXPECT_EQ(GetObjectA(hatch, sizeof lb, &lb), int(sizeof lb));
  EXPECT_EQ(lb.lbStyle, BS_HATCHED);
  EXPECT_EQ(lb.lbColor, RGB(4, 5, 6));
  EXPECT_EQ(lb.lbHatch, std::uintptr_t(HS_BDIAGONAL));
  EXPECT_EQ(GetObjectType(hatch), OBJ_BRUSH);
  DeleteObject(hatch);

  HPEN pen = CreatePen(PS_DOT, 3, RGB(7, 8, 9));
  LOGPEN lp{};
  EXPECT_EQ(GetObjectA(pen, sizeof lp, &lp), int(sizeof lp));
  EXPECT_EQ(lp.lopnStyle, UINT(PS_DOT));
  EXPECT_EQ(lp.lopnWidth.x, 3);
  EXPECT_EQ(lp.lopnColor, RGB(7, 8, 9));
  DeleteObject(pen);

  LOGFONTA font{};
  font.lfHeight = -12;
  std::strcpy(font.lfFaceName, "Tahoma");
  HFONT f = CreateFontIndirectA(&font);
  LOGFONTA back{};
  EXPECT_EQ(GetObjectA(f, sizeof back, &back), int(sizeof back));
  EXPECT_EQ(back.lfHeight, -12);
  EXPECT_STREQ(back.lfFaceName, "Tahoma");
  EXPECT_EQ(GetObjectType(f), OBJ_FONT);
  DeleteObject(f);

  WORD count = 0;
  EXPECT_EQ(GetObjectA(GetStockObject(DEFAULT_PALETTE), sizeof count, &count), 2);
  EXPECT_EQ(count, 16);
}

TEST(Bitmaps, CompatibleBitmapsTakeTheFormatOfTheDc) {
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP mono = CreateCompatibleBitmap(memory, 5, 5);
  BITMAP bm{};
  GetObjectA(mono, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);  // a new memory DC holds a monochrome bitmap
  DeleteObject(mono);

  for (int depth : {8, 16, 24, 32}) {
    test::ScreenDepthScope scope(depth);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetObjectType(screen), OBJ_DC);
    HBITMAP ddb = CreateCompatibleBitmap(screen, 5, 5);
    GetObjectA(ddb, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, depth);
    EXPECT_EQ(bm.bmBits, nullptr);
    // A memory DC holding it makes more of the same.
    HGDIOBJ old = SelectObject(memory, ddb);
    HBITMAP same = CreateCompatibleBitmap(memory, 2, 2);
    GetObjectA(same, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, depth);
    SelectObject(memory, old);
    DeleteObject(same);
    DeleteObject(ddb);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  }

  Canvas dib(Layout(3, -3, 8));
  HBITMAP section = CreateCompatibleBitmap(dib.Dc(), 6, 2);
  DIBSECTION ds{};
  EXPECT_EQ(GetObjectA(section, sizeof ds, &ds), int(sizeof ds));  // a DIB section again
  EXPECT_EQ(ds.dsBmih.biBitCount, 8);
  EXPECT_EQ(ds.dsBmih.biHeight, -2);
  DeleteObject(section);
  DeleteDC(memory);
}

TEST(Bitmaps, ZeroAndNegativeSizes) {
  HDC screen = GetDC(nullptr);
  HBITMAP empty = CreateCompatibleBitmap(screen, 0, 10);
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(empty, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 1);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_TRUE(DeleteObject(empty));
  EXPECT_EQ(GetObjectType(empty), OBJ_BITMAP);  // the shared 1 x 1 bitmap stays

  const int sizes[][2] = {{-1, 10}, {10, -1}, {-5, -5}};
  for (const auto& s : sizes) {
    SetLastError(0);
    EXPECT_EQ(CreateCompatibleBitmap(screen, s[0], s[1]), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_EQ(CreateBitmap(s[0], s[1], 1, 32, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  ReleaseDC(nullptr, screen);
}

struct BadHeader {
  const char* why;
  int width, height, bpp;
  WORD planes;
  DWORD compression;
  DWORD masks[3];
  DWORD error;
};

TEST(Bitmaps, DibSectionHeadersAreCheckedBeforeAllocating) {
  const BadHeader cases[] = {
      {"bit count 7", 4, 4, 7, 1, BI_RGB, {}, ERROR_INVALID_PARAMETER},
      {"two planes", 4, 4, 8, 2, BI_RGB, {}, ERROR_INVALID_PARAMETER},
      {"zero width", 0, 4, 8, 1, BI_RGB, {}, ERROR_INVALID_PARAMETER},
      {"negative width", -4, 4, 8, 1, BI_RGB, {}, ERROR_INVALID_PARAMETER},
      {"zero height", 4, 0, 8, 1, BI_RGB, {}, ERROR_INVALID_PARAMETER},
      {"bit fields at 24 bits",
       4,
       4,
       24,
       1,
       BI_BITFIELDS,
       {0xFF0000, 0xFF00, 0xFF},
       ERROR_INVALID_PARAMETER},
      {"overlapping masks",
       4,
       4,
       16,
       1,
       BI_BITFIELDS,
       {0xF800, 0x0FE0, 0x1F},
       ERROR_INVALID_PARAMETER},
      {"gap in a mask", 4, 4, 32, 1, BI_BITFIELDS, {0xFF0F00, 0xF0, 0xF}, ERROR_INVALID_PARAMETER},
      {"run-length section", 4, 4, 8, 1, BI_RLE8, {}, ERROR_INVALID_PARAMETER},
      {"row beyond 2^31", 0x7FFFFFFF, 1, 32, 1, BI_RGB, {}, ERROR_NOT_ENOUGH_MEMORY},
      {"image beyond 2^31", 100000, 100000, 32, 1, BI_RGB, {}, ERROR_NOT_ENOUGH_MEMORY},
      {"most negative height", 4, INT32_MIN, 32, 1, BI_RGB, {}, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = c.width;
    info.bmiHeader.biHeight = c.height;
    info.bmiHeader.biPlanes = c.planes;
    info.bmiHeader.biBitCount = WORD(c.bpp);
    info.bmiHeader.biCompression = c.compression;
    std::memcpy(info.bmiColors, c.masks, sizeof c.masks);
    void* bits = &info;
    SetLastError(0);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr)
        << c.why;
    EXPECT_EQ(bits, nullptr) << c.why;
    EXPECT_EQ(GetLastError(), c.error) << c.why;
  }
}

TEST(DeviceCaps, ScreenValuesFollowSizeAndDepth) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1280);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 800);
  EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_EQ(GetDeviceCaps(screen, SIZEPALETTE), 0);
  SetScreenSize(1024, 768);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1024);
  SetScreenSize(1280, 800);
  {
    test::ScreenDepthScope depth(8);
    EXPECT_EQ(GetDeviceCaps(memory, BITSPIXEL), 8);
    EXPECT_NE(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_EQ(GetDeviceCaps(screen, SIZEPALETTE), 256);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

TEST(Palettes, StockHalftoneAndLogicalPalettes) {
  PALETTEENTRY e[256]{};
  auto stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  ASSERT_EQ(GetPaletteEntries(stock, 0, 256, e), 16u);
  EXPECT_EQ(RGB(e[0].peRed, e[0].peGreen, e[0].peBlue), RGB(0, 0, 0));
  EXPECT_EQ(RGB(e[9].peRed, e[9].peGreen, e[9].peBlue), RGB(255, 0, 0));
  EXPECT_EQ(RGB(e[15].peRed, e[15].peGreen, e[15].peBlue), RGB(255, 255, 255));

  HPALETTE halftone = CreateHalftonePalette(nullptr);
  ASSERT_EQ(GetPaletteEntries(halftone, 0, 256, e), 256u);
  EXPECT_EQ(RGB(e[7].peRed, e[7].peGreen, e[7].peBlue), RGB(192, 192, 192));
  EXPECT_EQ(RGB(e[255].peRed, e[255].peGreen, e[255].peBlue), RGB(255, 255, 255));
  EXPECT_EQ(RGB(e[249].peRed, e[249].peGreen, e[249].peBlue), RGB(255, 0, 0));
  int cube = 0;  // every level combination of the 6 x 6 x 6 cube is present
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) {
        COLORREF want = RGB(BYTE(r * 51), BYTE(g * 51), BYTE(b * 51));
        UINT i = GetNearestPaletteIndex(halftone, want);
        cube += RGB(e[i].peRed, e[i].peGreen, e[i].peBlue) == want;
      }
    }
  }
  EXPECT_EQ(cube, 216);
  UINT red = GetNearestPaletteIndex(halftone, RGB(250, 5, 5));
  EXPECT_EQ(RGB(e[red].peRed, e[red].peGreen, e[red].peBlue), RGB(255, 0, 0));
  DeleteObject(halftone);

  LOGPALETTE lp{};
  lp.palVersion = 0x300;
  lp.palNumEntries = 3;
  lp.palPalEntry[0] = {10, 10, 10, 0};
  lp.palPalEntry[1] = {200, 0, 0, 0};
  lp.palPalEntry[2] = {0, 0, 200, 0};
  HPALETTE p = CreatePalette(&lp);
  EXPECT_EQ(GetNearestPaletteIndex(p, RGB(0, 0, 150)), 2u);
  EXPECT_EQ(GetPaletteEntries(p, 1, 10, e), 2u);
  EXPECT_EQ(e[0].peRed, 200);
  DeleteObject(p);
  lp.palNumEntries = 0;
  EXPECT_EQ(CreatePalette(&lp), nullptr);
}

// On an 8-bit screen a DDB holds indexes of the fixed system (halftone) palette; a realised
// logical palette makes colours snap to its entries first.
TEST(Palettes, EightBitScreenDdbsIndexTheSystemPalette) {
  test::ScreenDepthScope depth(8);
  HDC screen = GetDC(nullptr);
  PALETTEENTRY system[256]{};
  ASSERT_EQ(GetSystemPaletteEntries(screen, 0, 256, system), 256u);
  HBITMAP ddb = CreateCompatibleBitmap(screen, 4, 1);
  ReleaseDC(nullptr, screen);
  {
    Canvas c(ddb);
    EXPECT_EQ(SetPixel(c.Dc(), 0, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
    std::uint8_t raw[4]{};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 8;
    ASSERT_EQ(GetDIBits(c.Dc(), ddb, 0, 1, raw, &info, DIB_RGB_COLORS), 1);
    const PALETTEENTRY& red = system[raw[0]];
    EXPECT_EQ(RGB(red.peRed, red.peGreen, red.peBlue), RGB(255, 0, 0));

    LOGPALETTE lp{};
    lp.palVersion = 0x300;
    lp.palNumEntries = 2;
    lp.palPalEntry[0] = {0, 0, 0, 0};
    lp.palPalEntry[1] = {255, 255, 255, 0};
    HPALETTE bw = CreatePalette(&lp);
    HPALETTE old = SelectPalette(c.Dc(), bw, TRUE);
    EXPECT_EQ(old, GetStockObject(DEFAULT_PALETTE));
    EXPECT_EQ(RealizePalette(c.Dc()), 2u);
    EXPECT_EQ(SetPixel(c.Dc(), 1, 0, RGB(200, 190, 180)), RGB(255, 255, 255));
    EXPECT_EQ(SetPixel(c.Dc(), 2, 0, PALETTEINDEX(0)), RGB(0, 0, 0));
    SelectPalette(c.Dc(), old, TRUE);
    DeleteObject(bw);
  }
}

TEST(Palettes, DibColorTableThroughTheDc) {
  DibLayout layout = Layout(2, 1, 4);
  layout.colors = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  Canvas c(layout);
  RGBQUAD table[16]{};
  EXPECT_EQ(GetDIBColorTable(c.Dc(), 0, 16, table), 16u);
  EXPECT_EQ(table[1].rgbRed, 255);
  EXPECT_EQ(table[2].rgbRed, 0);  // unlisted entries are black
  c.SetValue(0, 0, 1);
  EXPECT_EQ(GetPixel(c.Dc(), 0, 0), RGB(255, 255, 255));
  RGBQUAD green{0, 255, 0, 0};
  EXPECT_EQ(SetDIBColorTable(c.Dc(), 1, 1, &green), 1u);
  EXPECT_EQ(GetPixel(c.Dc(), 0, 0), RGB(0, 255, 0));
  EXPECT_EQ(SetDIBColorTable(c.Dc(), 16, 1, &green), 0u);
  Canvas wide(Layout(2, 1, 24));
  EXPECT_EQ(GetDIBColorTable(wide.Dc(), 0, 1, table), 0u);
}

TEST(Palettes, PaletteColoursSelectDibTablesByIndex) {
  LOGPALETTE lp{};
  lp.palVersion = 0x300;
  lp.palNumEntries = 2;
  lp.palPalEntry[0] = {1, 2, 3, 0};
  lp.palPalEntry[1] = {4, 5, 6, 0};
  HPALETTE p = CreatePalette(&lp);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectPalette(dc, p, FALSE);
  BITMAPINFO info = test::MakeInfo(Layout(2, 1, 1));
  WORD indexes[2] = {1, 0};
  std::memcpy(info.bmiColors, indexes, sizeof indexes);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &info, DIB_PAL_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bmp, nullptr);
  HDC probe = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(probe, bmp);
  RGBQUAD table[2]{};
  EXPECT_EQ(GetDIBColorTable(probe, 0, 2, table), 2u);
  EXPECT_EQ(table[0].rgbRed, 4);
  EXPECT_EQ(table[1].rgbBlue, 3);
  SelectObject(probe, old);
  DeleteDC(probe);
  DeleteObject(bmp);
  SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
  DeleteDC(dc);
  DeleteObject(p);
}

TEST(Handles, StaleAndForeignHandlesAreRefused) {
  HBRUSH brush = CreateSolidBrush(0);
  DeleteObject(brush);
  SetLastError(0);
  EXPECT_EQ(GetObjectType(brush), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  int local = 0;
  EXPECT_EQ(GetObjectA(&local, sizeof local, &local), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(dc, &local), nullptr);
  EXPECT_EQ(SelectObject(dc, GetStockObject(DEFAULT_PALETTE)), nullptr);  // SelectPalette's job
  EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, reinterpret_cast<HDC>(&local), 0, 0, SRCCOPY));
  DeleteDC(dc);
}

}  // namespace
}  // namespace win
