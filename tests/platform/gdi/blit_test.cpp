// Block transfers, fills, frames, lines, pixels and clipping.
#include <gtest/gtest.h>

#include <optional>

#include "tests/platform/gdi/gdi_test_util.h"

namespace win {
namespace {

using test::Canvas;
using test::CoordinateColor;
using test::DibLayout;
using test::Layout;

constexpr std::uint32_t kSentinel = 0x5A5AA5;

void FillCoordinates(const Canvas& c) {
  for (int y = 0; y < c.Height(); ++y) {
    for (int x = 0; x < c.Width(); ++x) c.SetValue(x, y, CoordinateColor(x, y));
  }
}
void FillValue(const Canvas& c, std::uint32_t v) {
  for (int y = 0; y < c.Height(); ++y) {
    for (int x = 0; x < c.Width(); ++x) c.SetValue(x, y, v);
  }
}

struct BlitCase {
  const char* why;
  int x, y, width, height, srcX, srcY;
  POINT viewport;
  std::optional<RECT> clip;     // logical, intersected
  std::optional<RECT> exclude;  // logical
};

// Every target pixel is either the source pixel its position maps to or the untouched sentinel;
// the expected picture is worked out pixel by pixel from the case's own numbers.
TEST(BitBlt, CoordinateCodedCopiesLandExactlyWhereTheyBelong) {
  const BlitCase cases[] = {
      {"inside both", 3, 2, 10, 8, 5, 4, {0, 0}, {}, {}},
      {"target origin negative", -4, -3, 12, 9, 0, 0, {0, 0}, {}, {}},
      {"runs off the target", 10, 8, 20, 20, 0, 0, {0, 0}, {}, {}},
      {"source partly outside", 2, 2, 12, 10, 14, 9, {0, 0}, {}, {}},
      {"source origin negative", 0, 0, 8, 8, -3, -2, {0, 0}, {}, {}},
      {"viewport origin", 1, 1, 6, 5, 2, 2, {4, 3}, {}, {}},
      {"clip rectangle", 0, 0, 17, 13, 0, 0, {0, 0}, RECT{2, 3, 9, 7}, {}},
      {"excluded hole", 0, 0, 17, 13, 1, 1, {0, 0}, {}, RECT{4, 4, 8, 6}},
      {"clip under viewport", 0, 0, 10, 10, 0, 0, {2, 1}, RECT{1, 1, 5, 5}, RECT{2, 2, 3, 3}},
      {"negative extents", 12, 10, -5, -4, 9, 8, {0, 0}, {}, {}},
  };
  for (const BlitCase& c : cases) {
    Canvas src(Layout(20, 15, 32));
    FillCoordinates(src);
    Canvas dst(Layout(17, -13, 24));
    FillValue(dst, kSentinel);
    SetViewportOrgEx(dst.Dc(), c.viewport.x, c.viewport.y, nullptr);
    if (c.clip)
      IntersectClipRect(dst.Dc(), c.clip->left, c.clip->top, c.clip->right, c.clip->bottom);
    if (c.exclude) {
      ExcludeClipRect(dst.Dc(), c.exclude->left, c.exclude->top, c.exclude->right,
                      c.exclude->bottom);
    }
    ASSERT_TRUE(BitBlt(dst.Dc(), c.x, c.y, c.width, c.height, src.Dc(), c.srcX, c.srcY, SRCCOPY))
        << c.why;
    int left = std::min(c.x, c.x + c.width), top = std::min(c.y, c.y + c.height);
    int srcLeft = c.srcX + (left - c.x), srcTop = c.srcY + (top - c.y);
    int w = std::abs(c.width), h = std::abs(c.height);
    for (int y = 0; y < 13; ++y) {
      for (int x = 0; x < 17; ++x) {
        int lx = x - c.viewport.x, ly = y - c.viewport.y;  // logical position of the pixel
        bool inRect = lx >= left && lx < left + w && ly >= top && ly < top + h;
        bool inClip = !c.clip || (lx >= c.clip->left && lx < c.clip->right && ly >= c.clip->top &&
                                  ly < c.clip->bottom);
        bool excluded = c.exclude && lx >= c.exclude->left && lx < c.exclude->right &&
                        ly >= c.exclude->top && ly < c.exclude->bottom;
        int sx = srcLeft + (lx - left), sy = srcTop + (ly - top);
        bool inSource = sx >= 0 && sx < 20 && sy >= 0 && sy < 15;
        std::uint32_t expected =
            inRect && inClip && !excluded && inSource ? CoordinateColor(sx, sy) : kSentinel;
        ASSERT_EQ(dst.Value(x, y), expected) << c.why << " at " << x << "," << y;
      }
    }
  }
}

TEST(BitBlt, OverlappingCopyWithinOneBitmapReadsTheOriginalPixels) {
  const POINT shifts[] = {{3, 2}, {-3, -2}, {2, -3}, {-2, 3}, {0, 1}, {1, 0}};
  for (POINT s : shifts) {
    Canvas c(Layout(16, 12, 32));
    FillCoordinates(c);
    ASSERT_TRUE(BitBlt(c.Dc(), 2 + s.x, 2 + s.y, 10, 7, c.Dc(), 2, 2, SRCCOPY));
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 16; ++x) {
        int sx = x - s.x, sy = y - s.y;
        bool moved = x >= 2 + s.x && x < 12 + s.x && y >= 2 + s.y && y < 9 + s.y;
        std::uint32_t expected = moved ? CoordinateColor(sx, sy) : CoordinateColor(x, y);
        ASSERT_EQ(c.Value(x, y), expected) << s.x << "," << s.y << " at " << x << "," << y;
      }
    }
  }
}

// Row 0 of the picture is the last row in memory for a bottom-up section and the first for a
// top-down one.
TEST(DibSection, BottomUpAndTopDownRowOrder) {
  for (int height : {4, -4}) {
    DibLayout layout = Layout(3, height, 24);
    BITMAPINFO info = test::MakeInfo(layout);
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    SetPixel(dc, 1, 0, RGB(10, 20, 30));
    auto* bytes = static_cast<std::uint8_t*>(bits);
    std::size_t stride = 12;  // 9 bytes padded to 12
    std::size_t row = height > 0 ? 3 : 0;
    EXPECT_EQ(bytes[row * stride + 3], 30);
    EXPECT_EQ(bytes[row * stride + 4], 20);
    EXPECT_EQ(bytes[row * stride + 5], 10);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
}

// The truth-table bits of a rop evaluated one bit at a time.
std::uint32_t RopByBits(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
  std::uint32_t r = 0;
  for (int bit = 0; bit < 24; ++bit) {
    int index = int((p >> bit & 1) << 2 | (s >> bit & 1) << 1 | (d >> bit & 1));
    r |= std::uint32_t(rop >> index & 1) << bit;
  }
  return r;
}

TEST(BitBlt, TernaryRopsFollowTheirTruthTable) {
  const DWORD rops[] = {SRCCOPY,    SRCPAINT,    SRCAND,     SRCINVERT,  SRCERASE,
                        NOTSRCCOPY, NOTSRCERASE, MERGECOPY,  MERGEPAINT, PATPAINT,
                        PATINVERT,  DSTINVERT,   0x00B8074A, 0x00E20746, 0x00960000};
  const COLORREF brushColor = RGB(0x3C, 0xA5, 0x0F);
  const std::uint32_t p = 0x3CA50F;
  for (DWORD rop : rops) {
    Canvas src(Layout(8, 8, 32)), dst(Layout(8, 8, 32));
    test::Random random(rop);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        src.SetValue(x, y, random.Next() & 0xFFFFFF);
        dst.SetValue(x, y, random.Next() & 0xFFFFFF);
      }
    }
    std::vector<std::uint32_t> before;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) before.push_back(dst.Value(x, y));
    }
    HBRUSH brush = CreateSolidBrush(brushColor);
    HGDIOBJ oldBrush = SelectObject(dst.Dc(), brush);
    ASSERT_TRUE(BitBlt(dst.Dc(), 0, 0, 8, 8, src.Dc(), 0, 0, rop));
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        std::uint8_t r = std::uint8_t(rop >> 16);
        ASSERT_EQ(dst.Value(x, y), RopByBits(r, p, src.Value(x, y), before[std::size_t(y * 8 + x)]))
            << std::hex << rop << " at " << x << "," << y;
      }
    }
    SelectObject(dst.Dc(), oldBrush);
    DeleteObject(brush);
  }
}

TEST(PatBlt, PatternBrushFollowsTheBrushOrigin) {
  Canvas pattern(Layout(8, 8, 32));
  FillCoordinates(pattern);
  HBRUSH brush = CreatePatternBrush(pattern.Bitmap());
  ASSERT_NE(brush, nullptr);
  Canvas dst(Layout(21, 19, 32));
  FillValue(dst, kSentinel);
  HGDIOBJ old = SelectObject(dst.Dc(), brush);
  SetBrushOrgEx(dst.Dc(), 3, 5, nullptr);
  ASSERT_TRUE(PatBlt(dst.Dc(), 2, 1, 17, 15, PATCOPY));
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 21; ++x) {
      bool inside = x >= 2 && x < 19 && y >= 1 && y < 16;
      std::uint32_t expected =
          inside ? CoordinateColor(((x - 3) % 8 + 8) % 8, ((y - 5) % 8 + 8) % 8) : kSentinel;
      ASSERT_EQ(dst.Value(x, y), expected) << x << "," << y;
    }
  }
  SelectObject(dst.Dc(), old);
  DeleteObject(brush);
}

TEST(PatBlt, WhitenessAndBlacknessAreColoursInEveryFormat) {
  DibLayout indexed = Layout(4, 2, 8);
  indexed.colors = {{0, 0, 9, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}, {255, 255, 254, 0}};
  Canvas pal(indexed);
  PatBlt(pal.Dc(), 0, 0, 4, 1, WHITENESS);
  PatBlt(pal.Dc(), 0, 1, 4, 1, BLACKNESS);
  EXPECT_EQ(pal.Value(0, 0), 1u);
  EXPECT_EQ(pal.Value(3, 1), 2u);

  Canvas direct(Layout(2, 1, 16));
  PatBlt(direct.Dc(), 0, 0, 2, 1, WHITENESS);
  EXPECT_EQ(direct.Value(0, 0), 0x7FFFu);  // 5-5-5 white
  Canvas wide(Layout(2, 1, 32));
  PatBlt(wide.Dc(), 0, 0, 2, 1, WHITENESS);
  EXPECT_EQ(wide.Value(1, 0), 0xFFFFFFu);
}

TEST(PatBlt, NullBrushDrawsNothingAndSourceRopsAreRefused) {
  Canvas c(Layout(4, 4, 32));
  FillValue(c, kSentinel);
  SelectObject(c.Dc(), GetStockObject(NULL_BRUSH));
  EXPECT_TRUE(PatBlt(c.Dc(), 0, 0, 4, 4, PATCOPY));
  EXPECT_EQ(c.Value(2, 2), kSentinel);
  EXPECT_FALSE(PatBlt(c.Dc(), 0, 0, 4, 4, SRCCOPY));
  SelectObject(c.Dc(), GetStockObject(WHITE_BRUSH));
}

// Hatched brushes paint their lines in the brush colour and the gaps in the background colour,
// or leave the gaps alone in transparent mode.
TEST(PatBlt, HatchedBrushGapsFollowTheBackgroundMode) {
  HBRUSH hatch = CreateHatchBrush(HS_CROSS, RGB(255, 0, 0));
  for (int mode : {OPAQUE, TRANSPARENT}) {
    Canvas c(Layout(8, 8, 32));
    FillValue(c, kSentinel);
    HGDIOBJ old = SelectObject(c.Dc(), hatch);
    SetBkMode(c.Dc(), mode);
    SetBkColor(c.Dc(), RGB(0, 0, 255));
    PatBlt(c.Dc(), 0, 0, 8, 8, PATCOPY);
    int lines = 0, gaps = 0, untouched = 0;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        std::uint32_t v = c.Value(x, y);
        lines += v == 0xFF0000;
        gaps += v == 0x0000FF;
        untouched += v == kSentinel;
      }
    }
    EXPECT_EQ(lines, 15);  // one row and one column of 8
    EXPECT_EQ(mode == OPAQUE ? gaps : untouched, 49);
    SelectObject(c.Dc(), old);
  }
  DeleteObject(hatch);
}

// Monochrome to colour: 0 bits take the target's text colour, 1 bits its background colour.
// Colour to monochrome: pixels equal to the source's background colour become 1, others 0.
TEST(BitBlt, MonochromeConversionsUseTheDcColours) {
  const BYTE rows[2][2] = {{0xA5, 0x00}, {0x3C, 0x00}};  // 8 pixels, rows padded to 2 bytes
  HBITMAP mono = CreateBitmap(8, 2, 1, 1, rows);
  Canvas m(mono);
  Canvas colour(Layout(8, 2, 24));
  SetTextColor(colour.Dc(), RGB(200, 0, 0));
  SetBkColor(colour.Dc(), RGB(0, 0, 100));
  ASSERT_TRUE(BitBlt(colour.Dc(), 0, 0, 8, 2, m.Dc(), 0, 0, SRCCOPY));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 8; ++x) {
      bool one = rows[y][0] >> (7 - x) & 1;
      EXPECT_EQ(colour.Value(x, y), one ? 0x000064u : 0xC80000u) << x << "," << y;
    }
  }

  Canvas picture(Layout(8, 1, 24));
  for (int x = 0; x < 8; ++x) picture.SetValue(x, 0, x % 3 == 0 ? 0x00FF00 : 0x00FE00);
  SetBkColor(picture.Dc(), RGB(0, 255, 0));
  HBITMAP target = CreateBitmap(8, 1, 1, 1, nullptr);
  Canvas t(target);
  ASSERT_TRUE(BitBlt(t.Dc(), 0, 0, 8, 1, picture.Dc(), 0, 0, SRCCOPY));
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(GetPixel(t.Dc(), x, 0), x % 3 == 0 ? RGB(255, 255, 255) : RGB(0, 0, 0)) << x;
  }
}

// 8-bit channels narrow to 5 or 6 bits by truncation and widen back by repeating high bits.
TEST(BitBlt, SixteenBitChannelsTruncateAndReplicate) {
  for (bool is565 : {true, false}) {
    Canvas src(Layout(256, 1, 24));
    for (int x = 0; x < 256; ++x) src.SetValue(x, 0, std::uint32_t(x << 16 | (255 - x) << 8 | x));
    DibLayout mid = Layout(256, 1, 16);
    if (is565) {
      mid.compression = BI_BITFIELDS;
      mid.masks[0] = 0xF800, mid.masks[1] = 0x07E0, mid.masks[2] = 0x001F;
    }
    Canvas m(mid), back(Layout(256, 1, 24));
    ASSERT_TRUE(BitBlt(m.Dc(), 0, 0, 256, 1, src.Dc(), 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(back.Dc(), 0, 0, 256, 1, m.Dc(), 0, 0, SRCCOPY));
    int gBits = is565 ? 6 : 5;
    for (int x = 0; x < 256; ++x) {
      int r = x >> 3, g = (255 - x) >> (8 - gBits), b = x >> 3;
      std::uint32_t raw =
          is565 ? std::uint32_t(r << 11 | g << 5 | b) : std::uint32_t(r << 10 | g << 5 | b);
      ASSERT_EQ(m.Value(x, 0), raw) << x;
      int g8 = is565 ? (g << 2 | g >> 4) : (g << 3 | g >> 2);
      ASSERT_EQ(back.Value(x, 0),
                std::uint32_t((r << 3 | r >> 2) << 16 | g8 << 8 | (b << 3 | b >> 2)))
          << x;
    }
  }
}

TEST(BitBlt, PaletteTargetsTakeTheNearestEntry) {
  DibLayout layout = Layout(4, 1, 8);
  layout.colors = {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 255, 255, 0}};
  Canvas pal(layout), src(Layout(4, 1, 32));
  src.SetValue(0, 0, 0x200000);  // dark red: black
  src.SetValue(1, 0, 0xC01010);  // red: the red entry
  src.SetValue(2, 0, 0x10E010);  // green
  src.SetValue(3, 0, 0xD0D0D0);  // light gray: white
  ASSERT_TRUE(BitBlt(pal.Dc(), 0, 0, 4, 1, src.Dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(pal.Value(0, 0), 0u);
  EXPECT_EQ(pal.Value(1, 0), 1u);
  EXPECT_EQ(pal.Value(2, 0), 2u);
  EXPECT_EQ(pal.Value(3, 0), 3u);
}

TEST(MaskBlt, MaskOneTakesTheForegroundRopAndZeroTheBackground) {
  Canvas src(Layout(8, 2, 32)), dst(Layout(8, 2, 32));
  FillCoordinates(src);
  FillValue(dst, kSentinel);
  const BYTE bits[2][2] = {{0xF0, 0}, {0x0F, 0}};
  HBITMAP mask = CreateBitmap(8, 2, 1, 1, bits);
  ASSERT_TRUE(MaskBlt(dst.Dc(), 0, 0, 8, 2, src.Dc(), 0, 0, mask, 0, 0,
                      MAKEROP4(SRCCOPY, 0x00AA0029)));  // background: leave the target
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 8; ++x) {
      bool one = bits[y][0] >> (7 - x) & 1;
      EXPECT_EQ(dst.Value(x, y), one ? CoordinateColor(x, y) : kSentinel) << x << "," << y;
    }
  }
  DeleteObject(mask);
}

TEST(TransparentBlt, PixelsOfTheTransparentColourLeaveTheTarget) {
  Canvas src(Layout(4, 4, 24)), dst(Layout(8, 8, 24));
  FillCoordinates(src);
  src.SetValue(1, 1, 0xFF00FF);
  src.SetValue(2, 3, 0xFF00FF);
  FillValue(dst, kSentinel);
  ASSERT_TRUE(TransparentBlt(dst.Dc(), 0, 0, 8, 8, src.Dc(), 0, 0, 4, 4, RGB(255, 0, 255)));
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      int sx = x / 2, sy = y / 2;
      bool hole = (sx == 1 && sy == 1) || (sx == 2 && sy == 3);
      EXPECT_EQ(dst.Value(x, y), hole ? kSentinel : CoordinateColor(sx, sy)) << x << "," << y;
    }
  }
}

// A new screen-compatible bitmap is black; FrameRect with the white brush draws a white line
// one pixel wide along the inside of the rectangle and nothing else.
TEST(FrameRect, DrawsAOnePixelBorderWithTheBrush) {
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 9, 6);
  ReleaseDC(nullptr, screen);
  Canvas c(bmp);
  RECT r{0, 0, 9, 6};
  EXPECT_NE(FrameRect(c.Dc(), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 9; ++x) {
      bool edge = x == 0 || y == 0 || x == 8 || y == 5;
      EXPECT_EQ(GetPixel(c.Dc(), x, y), edge ? RGB(255, 255, 255) : RGB(0, 0, 0)) << x << "," << y;
    }
  }
  RECT empty{3, 3, 3, 5};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FrameRect(c.Dc(), &empty, red);
  EXPECT_EQ(GetPixel(c.Dc(), 3, 3), RGB(0, 0, 0));
  RECT thin{2, 2, 3, 4};  // one column wide: every pixel is border
  FrameRect(c.Dc(), &thin, red);
  EXPECT_EQ(GetPixel(c.Dc(), 2, 2), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c.Dc(), 2, 3), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(c.Dc(), 3, 2), RGB(0, 0, 0));
  DeleteObject(red);
}

TEST(FillRect, FillsUpToButExcludingTheRightAndBottomEdges) {
  Canvas c(Layout(6, 6, 32));
  FillValue(c, kSentinel);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  RECT r{1, 2, 4, 5};
  EXPECT_NE(FillRect(c.Dc(), &r, brush), 0);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      bool inside = x >= 1 && x < 4 && y >= 2 && y < 5;
      EXPECT_EQ(c.Value(x, y), inside ? 0x010203u : kSentinel);
    }
  }
  DeleteObject(brush);
}

TEST(Lines, LineToExcludesItsEndPointAndMixModesApply) {
  Canvas c(Layout(10, 10, 32));
  FillValue(c, 0xFFFFFF);
  MoveToEx(c.Dc(), 1, 1, nullptr);
  LineTo(c.Dc(), 6, 1);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(c.Value(x, 1), x >= 1 && x < 6 ? 0u : 0xFFFFFFu) << x;
  POINT p{};
  GetCurrentPositionEx(c.Dc(), &p);
  EXPECT_EQ(p.x, 6);
  LineTo(c.Dc(), 9, 4);  // diagonal: (6,1), (7,2), (8,3)
  EXPECT_EQ(c.Value(7, 2), 0u);
  EXPECT_EQ(c.Value(8, 3), 0u);
  EXPECT_EQ(c.Value(9, 4), 0xFFFFFFu);

  SetROP2(c.Dc(), R2_XORPEN);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  HGDIOBJ old = SelectObject(c.Dc(), pen);
  MoveToEx(c.Dc(), 0, 5, nullptr);
  LineTo(c.Dc(), 4, 5);
  EXPECT_EQ(c.Value(2, 5), 0xFFFF00u);  // white xor blue
  MoveToEx(c.Dc(), 0, 5, nullptr);
  LineTo(c.Dc(), 4, 5);
  EXPECT_EQ(c.Value(2, 5), 0xFFFFFFu);
  SelectObject(c.Dc(), old);
  DeleteObject(pen);
}

TEST(Lines, DashedPenLeavesGapsInTransparentMode) {
  Canvas c(Layout(30, 1, 32));
  FillValue(c, kSentinel);
  HPEN pen = CreatePen(PS_DASH, 1, RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(c.Dc(), pen);
  SetBkMode(c.Dc(), TRANSPARENT);
  MoveToEx(c.Dc(), 0, 0, nullptr);
  LineTo(c.Dc(), 30, 0);
  EXPECT_EQ(c.Value(0, 0), 0u);
  EXPECT_EQ(c.Value(17, 0), 0u);
  EXPECT_EQ(c.Value(18, 0), kSentinel);
  EXPECT_EQ(c.Value(23, 0), kSentinel);
  EXPECT_EQ(c.Value(24, 0), 0u);
  SelectObject(c.Dc(), old);
  DeleteObject(pen);
}

TEST(Rectangle, OutlineWithThePenInteriorWithTheBrush) {
  Canvas c(Layout(8, 8, 32));
  FillValue(c, kSentinel);
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 9));
  HGDIOBJ old = SelectObject(c.Dc(), brush);
  Rectangle(c.Dc(), 1, 1, 6, 5);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      bool in = x >= 1 && x < 6 && y >= 1 && y < 5;
      bool edge = in && (x == 1 || x == 5 || y == 1 || y == 4);
      EXPECT_EQ(c.Value(x, y), edge ? 0u : in ? 9u : kSentinel) << x << "," << y;
    }
  }
  // Without a pen the filled area is one smaller in each direction.
  FillValue(c, kSentinel);
  SelectObject(c.Dc(), GetStockObject(NULL_PEN));
  Rectangle(c.Dc(), 1, 1, 6, 5);
  EXPECT_EQ(c.Value(4, 3), 9u);
  EXPECT_EQ(c.Value(5, 3), kSentinel);
  EXPECT_EQ(c.Value(4, 4), kSentinel);
  SelectObject(c.Dc(), GetStockObject(BLACK_PEN));
  SelectObject(c.Dc(), old);
  DeleteObject(brush);
}

TEST(Pixels, SetPixelReportsTheColourItCouldSet) {
  DibLayout layout = Layout(2, 2, 16);
  layout.compression = BI_BITFIELDS;
  layout.masks[0] = 0xF800, layout.masks[1] = 0x07E0, layout.masks[2] = 0x001F;
  Canvas c(layout);
  EXPECT_EQ(SetPixel(c.Dc(), 0, 0, RGB(0x13, 0x57, 0x9B)), RGB(0x10, 0x55, 0x9C));
  EXPECT_EQ(GetPixel(c.Dc(), 0, 0), RGB(0x10, 0x55, 0x9C));
  EXPECT_EQ(GetPixel(c.Dc(), 2, 0), CLR_INVALID);
  EXPECT_EQ(SetPixel(c.Dc(), -1, 0, 0), CLR_INVALID);
  IntersectClipRect(c.Dc(), 1, 1, 2, 2);
  EXPECT_EQ(GetPixel(c.Dc(), 0, 0), CLR_INVALID);
  EXPECT_EQ(SelectClipRgn(c.Dc(), nullptr), SIMPLEREGION);
  EXPECT_EQ(GetPixel(c.Dc(), 0, 0), RGB(0x10, 0x55, 0x9C));
}

TEST(Clipping, ClipBoxAndRegionKinds) {
  Canvas c(Layout(20, 10, 32));
  RECT box{};
  EXPECT_EQ(GetClipBox(c.Dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 20);
  EXPECT_EQ(box.bottom, 10);
  EXPECT_EQ(IntersectClipRect(c.Dc(), 2, 2, 12, 8), SIMPLEREGION);
  EXPECT_EQ(ExcludeClipRect(c.Dc(), 4, 4, 6, 6), COMPLEXREGION);
  SetViewportOrgEx(c.Dc(), 1, 1, nullptr);
  EXPECT_EQ(GetClipBox(c.Dc(), &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 1);  // logical: device 2 minus the viewport origin
  EXPECT_EQ(box.top, 1);
  EXPECT_EQ(box.right, 11);
  EXPECT_EQ(box.bottom, 7);
  EXPECT_EQ(IntersectClipRect(c.Dc(), 30, 30, 40, 40), NULLREGION);
  HRGN region = CreateRectRgn(0, 0, 5, 5);
  EXPECT_EQ(SelectClipRgn(c.Dc(), region), SIMPLEREGION);
  DeleteObject(region);  // the DC keeps its own copy
  EXPECT_EQ(GetClipBox(c.Dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 4);
}

}  // namespace
}  // namespace win
