// StretchBlt modes against plain references written here.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/platform/gdi/gdi_test_util.h"
#include "tests/support/area_average.h"

namespace win {
namespace {

using test::Canvas;
using test::DibLayout;
using test::Random;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// Colour of a source pixel as the test understands the format (independent of the GDI).
Rgb SourceColor(const Canvas& c, const DibLayout& layout, int x, int y) {
  std::uint32_t v = c.Value(x, y);
  switch (layout.bpp) {
    case 1:
    case 4:
    case 8: {
      const RGBQUAD& q = layout.colors[v];
      return {q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    case 16:
      if (layout.compression == BI_BITFIELDS) {  // 5-6-5
        int r = int(v >> 11 & 31), g = int(v >> 5 & 63), b = int(v & 31);
        return {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
      } else {  // 5-5-5
        int r = int(v >> 10 & 31), g = int(v >> 5 & 31), b = int(v & 31);
        return {r << 3 | r >> 2, g << 3 | g >> 2, b << 3 | b >> 2};
      }
    default:
      if (layout.compression == BI_BITFIELDS) {  // 10-10-10: the top 8 bits of each channel
        return {int(v >> 22 & 255), int(v >> 12 & 255), int(v >> 2 & 255)};
      }
      return {int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)};
  }
}

Rgb TargetColor24(const Canvas& c, int x, int y) {
  std::uint32_t v = c.Value(x, y);
  return {int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)};
}

void FillRandom(const Canvas& c, const DibLayout& layout, Random& random) {
  for (int y = 0; y < c.Height(); ++y) {
    for (int x = 0; x < c.Width(); ++x) {
      std::uint32_t v = random.Next();
      if (layout.bpp <= 8) v %= std::uint32_t(layout.colors.size());
      if (layout.bpp == 16) v &= layout.compression == BI_BITFIELDS ? 0xFFFF : 0x7FFF;
      if (layout.bpp == 24) v &= 0xFFFFFF;
      c.SetValue(x, y, v);
    }
  }
}

// The area average of the source pixels as the test reads them (independent of the GDI).
Rgb AreaAverage(const Canvas& src, const DibLayout& layout, int w, int h, int W, int H, int dx,
                int dy) {
  return test_support::AreaAverage<Rgb>(
      [&](int x, int y) { return SourceColor(src, layout, x, y); }, w, h, W, H, dx, dy);
}

DibLayout SourceSpec(int bpp, int width, int height, Random& random) {
  DibLayout s;
  s.width = width;
  s.height = height;
  s.bpp = bpp;
  if (bpp <= 8) {
    int n = random.Range(2, 1 << bpp);
    for (int i = 0; i < n; ++i) {
      std::uint32_t v = random.Next();
      s.colors.push_back(RGBQUAD{BYTE(v), BYTE(v >> 8), BYTE(v >> 16), 0});
    }
  }
  return s;
}

struct FormatCase {
  const char* name;
  int bpp;
  DWORD compression;
};

void PrintTo(const FormatCase& f, std::ostream* os) {
  *os << f.name;
}

class HalftoneReference : public testing::TestWithParam<FormatCase> {};

// Random reductions and enlargements, 1-pixel rows and columns included, per source format, into
// a 24-bit target where every channel is kept exactly.
TEST_P(HalftoneReference, MatchesTheAreaAverageChannelForChannel) {
  const FormatCase& f = GetParam();
  Random random(f.bpp * 7 + f.compression);
  for (int round = 0; round < 40; ++round) {
    int w = round < 4 ? 1 : random.Range(1, 37);
    int h = round % 4 == 1 ? 1 : random.Range(1, 37);
    int W = round % 5 == 2 ? 1 : random.Range(1, 41);
    int H = round % 7 == 3 ? 1 : random.Range(1, 41);
    DibLayout s = SourceSpec(f.bpp, w, (round % 2 ? -h : h), random);
    s.compression = f.compression;
    if (f.compression == BI_BITFIELDS && f.bpp == 16) {
      s.masks[0] = 0xF800, s.masks[1] = 0x07E0, s.masks[2] = 0x001F;
    } else if (f.compression == BI_BITFIELDS) {
      s.masks[0] = 0x3FF00000, s.masks[1] = 0x000FFC00, s.masks[2] = 0x000003FF;
    }
    Canvas src(s);
    ASSERT_NE(src.Bitmap(), nullptr);
    FillRandom(src, s, random);
    DibLayout t;
    t.width = W;
    t.height = round % 3 ? H : -H;
    t.bpp = 24;
    Canvas dst(t);
    SetStretchBltMode(dst.Dc(), HALFTONE);
    ASSERT_TRUE(StretchBlt(dst.Dc(), 0, 0, W, H, src.Dc(), 0, 0, w, h, SRCCOPY));
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        ASSERT_EQ(TargetColor24(dst, x, y), AreaAverage(src, s, w, h, W, H, x, y))
            << f.name << " " << w << "x" << h << " -> " << W << "x" << H << " at " << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, HalftoneReference,
                         testing::Values(FormatCase{"24", 24, BI_RGB}, FormatCase{"32", 32, BI_RGB},
                                         FormatCase{"555", 16, BI_RGB},
                                         FormatCase{"565", 16, BI_BITFIELDS},
                                         FormatCase{"8", 8, BI_RGB}, FormatCase{"4", 4, BI_RGB},
                                         FormatCase{"1", 1, BI_RGB},
                                         FormatCase{"101010", 32, BI_BITFIELDS}),
                         [](const auto& info) { return std::string("bpp") + info.param.name; });

// Other targets get the same averages, converted as any transfer converts a colour: exactly
// into 32 bits, truncated into 5-6-5, nearest entry in an 8-bit colour table, and the
// background-colour rule into a monochrome bitmap.
TEST(Halftone, EveryTargetFormatReceivesTheAverage) {
  Random random(77);
  DibLayout s = SourceSpec(24, 19, 14, random);
  Canvas src(s);
  FillRandom(src, s, random);
  Canvas exact(test::Layout(6, 5, 24));
  SetStretchBltMode(exact.Dc(), HALFTONE);
  ASSERT_TRUE(StretchBlt(exact.Dc(), 0, 0, 6, 5, src.Dc(), 0, 0, 19, 14, SRCCOPY));

  DibLayout palette = test::Layout(6, 5, 8);
  for (int i = 0; i < 256; ++i) palette.colors.push_back({BYTE(i), BYTE(255 - i), BYTE(i * 7), 0});
  DibLayout hi = test::Layout(6, -5, 16);
  hi.compression = BI_BITFIELDS;
  hi.masks[0] = 0xF800, hi.masks[1] = 0x07E0, hi.masks[2] = 0x001F;
  Canvas wide(test::Layout(6, 5, 32)), pal(palette), high(hi);
  HBITMAP mono = CreateBitmap(6, 5, 1, 1, nullptr);
  Canvas bw(mono);
  // The source's background colour is one of the averages, so the mono target has it white.
  Rgb marked = TargetColor24(exact, 2, 3);
  SetBkColor(src.Dc(), RGB(BYTE(marked.r), BYTE(marked.g), BYTE(marked.b)));
  for (HDC dc : {wide.Dc(), pal.Dc(), high.Dc(), bw.Dc()}) {
    SetStretchBltMode(dc, HALFTONE);
    ASSERT_TRUE(StretchBlt(dc, 0, 0, 6, 5, src.Dc(), 0, 0, 19, 14, SRCCOPY));
  }
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      Rgb a = TargetColor24(exact, x, y);
      EXPECT_EQ(wide.Value(x, y) & 0xFFFFFF, exact.Value(x, y));
      EXPECT_EQ(high.Value(x, y), std::uint32_t((a.r >> 3) << 11 | (a.g >> 2) << 5 | a.b >> 3));
      int best = 0, bestDistance = 1 << 30;
      for (int i = 0; i < 256; ++i) {
        const RGBQUAD& q = palette.colors[std::size_t(i)];
        int d = (q.rgbRed - a.r) * (q.rgbRed - a.r) + (q.rgbGreen - a.g) * (q.rgbGreen - a.g) +
                (q.rgbBlue - a.b) * (q.rgbBlue - a.b);
        if (d < bestDistance) bestDistance = d, best = i;
      }
      EXPECT_EQ(pal.Value(x, y), std::uint32_t(best));
      EXPECT_EQ(GetPixel(bw.Dc(), x, y), a == marked ? RGB(255, 255, 255) : RGB(0, 0, 0));
    }
  }
}

// Footprints of hundreds of whole rows and columns, where partial sums are folded in stages.
TEST(Halftone, LongFootprintsMatchTheAreaAverage) {
  Random random(99);
  const int sizes[][4] = {{3, 700, 1, 2}, {700, 2, 3, 1}, {5, 1031, 2, 3}};
  for (const auto& c : sizes) {
    DibLayout s = SourceSpec(24, c[0], c[1], random);
    Canvas src(s);
    FillRandom(src, s, random);
    DibLayout t;
    t.width = c[2];
    t.height = c[3];
    t.bpp = 24;
    Canvas dst(t);
    SetStretchBltMode(dst.Dc(), HALFTONE);
    ASSERT_TRUE(StretchBlt(dst.Dc(), 0, 0, c[2], c[3], src.Dc(), 0, 0, c[0], c[1], SRCCOPY));
    for (int y = 0; y < c[3]; ++y) {
      for (int x = 0; x < c[2]; ++x) {
        EXPECT_EQ(TargetColor24(dst, x, y), AreaAverage(src, s, c[0], c[1], c[2], c[3], x, y));
      }
    }
  }
}

// A thumbnail on a 16-bit screen: the DDB keeps 5-6-5 values truncated from the average, and
// reading it back at 24 bits widens them by repeating the high bits.
TEST(Halftone, SixteenBitScreenTruncatesAndWidensByReplication) {
  test::ScreenDepthScope depth(16);
  Random random(5);
  DibLayout s = SourceSpec(24, 23, 17, random);
  Canvas src(s);
  FillRandom(src, s, random);
  HDC screen = GetDC(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen, 9, 7);
  ReleaseDC(nullptr, screen);
  BITMAP bm{};
  ASSERT_EQ(GetObjectA(ddb, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmBitsPixel, 16);
  {
    Canvas dst(ddb);
    SetStretchBltMode(dst.Dc(), HALFTONE);
    ASSERT_TRUE(StretchBlt(dst.Dc(), 0, 0, 9, 7, src.Dc(), 0, 0, 23, 17, SRCCOPY));
    HDC probe = CreateCompatibleDC(nullptr);
    std::vector<std::uint8_t> bits(std::size_t(9 * 7 * 4));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 9;
    info.bmiHeader.biHeight = -7;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    ASSERT_EQ(GetDIBits(probe, ddb, 0, 7, bits.data(), &info, DIB_RGB_COLORS), 7);
    DeleteDC(probe);
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 9; ++x) {
        Rgb avg = AreaAverage(src, s, 23, 17, 9, 7, x, y);
        int r5 = avg.r >> 3, g6 = avg.g >> 2, b5 = avg.b >> 3;
        const std::uint8_t* p = bits.data() + 4 * (y * 9 + x);
        EXPECT_EQ(p[2], r5 << 3 | r5 >> 2);
        EXPECT_EQ(p[1], g6 << 2 | g6 >> 4);
        EXPECT_EQ(p[0], b5 << 3 | b5 >> 2);
      }
    }
  }
}

// The same pixels come out whatever part of the target the clip region lets through, and
// nothing outside it changes.
TEST(Halftone, ClippingSelectsPixelsWithoutChangingThem) {
  Random random(17);
  DibLayout s = SourceSpec(32, 31, 29, random);
  Canvas src(s);
  FillRandom(src, s, random);
  DibLayout t = test::Layout(13, 11, 32);
  Canvas whole(t), clipped(t);
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 13; ++x) clipped.SetValue(x, y, 0xABCDEF);
  }
  SetStretchBltMode(whole.Dc(), HALFTONE);
  SetStretchBltMode(clipped.Dc(), HALFTONE);
  IntersectClipRect(clipped.Dc(), 2, 3, 11, 9);
  ExcludeClipRect(clipped.Dc(), 5, 5, 7, 6);
  ASSERT_TRUE(StretchBlt(whole.Dc(), 0, 0, 13, 11, src.Dc(), 0, 0, 31, 29, SRCCOPY));
  ASSERT_TRUE(StretchBlt(clipped.Dc(), 0, 0, 13, 11, src.Dc(), 0, 0, 31, 29, SRCCOPY));
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 13; ++x) {
      bool inside = x >= 2 && x < 11 && y >= 3 && y < 9 && !(x >= 5 && x < 7 && y == 5);
      EXPECT_EQ(clipped.Value(x, y) & 0xFFFFFF, inside ? whole.Value(x, y) & 0xFFFFFF : 0xABCDEFu)
          << x << "," << y;
    }
  }
}

// Opposite signs of the two widths (or heights) mirror the picture.
TEST(Halftone, NegativeExtentMirrors) {
  Random random(23);
  DibLayout s = SourceSpec(24, 17, 13, random);
  Canvas src(s);
  FillRandom(src, s, random);
  DibLayout t = test::Layout(7, 5, 24);
  Canvas plain(t), mirrored(t), flipped(t);
  for (HDC dc : {plain.Dc(), mirrored.Dc(), flipped.Dc()}) SetStretchBltMode(dc, HALFTONE);
  ASSERT_TRUE(StretchBlt(plain.Dc(), 0, 0, 7, 5, src.Dc(), 0, 0, 17, 13, SRCCOPY));
  ASSERT_TRUE(StretchBlt(mirrored.Dc(), 7, 0, -7, 5, src.Dc(), 0, 0, 17, 13, SRCCOPY));
  ASSERT_TRUE(StretchBlt(flipped.Dc(), 0, 0, 7, 5, src.Dc(), 0, 13, 17, -13, SRCCOPY));
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) {
      EXPECT_EQ(mirrored.Value(x, y), plain.Value(6 - x, y));
      EXPECT_EQ(flipped.Value(x, y), plain.Value(x, 4 - y));
    }
  }
}

// Target pixels whose footprint leaves the source bitmap are not drawn.
TEST(Halftone, FootprintsOutsideTheSourceAreSkipped) {
  Random random(31);
  DibLayout s = SourceSpec(24, 10, 10, random);
  Canvas src(s);
  FillRandom(src, s, random);
  DibLayout t = test::Layout(4, 4, 24);
  Canvas dst(t);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) dst.SetValue(x, y, 0x123456);
  }
  SetStretchBltMode(dst.Dc(), HALFTONE);
  // Source rectangle (5, 0)-(15, 10): target columns 2 and 3 map to columns 10..14, outside.
  ASSERT_TRUE(StretchBlt(dst.Dc(), 0, 0, 4, 4, src.Dc(), 5, 0, 10, 10, SRCCOPY));
  for (int y = 0; y < 4; ++y) {
    EXPECT_NE(dst.Value(0, y), 0x123456u);
    EXPECT_EQ(dst.Value(2, y), 0x123456u);
    EXPECT_EQ(dst.Value(3, y), 0x123456u);
  }
}

TEST(ColorOnColor, PicksTheNearestPixelByFormula) {
  Random random(41);
  for (int round = 0; round < 30; ++round) {
    int w = random.Range(1, 40), h = random.Range(1, 40);
    int W = random.Range(1, 60), H = random.Range(1, 60);
    DibLayout s = test::Layout(w, h, 32);
    Canvas src(s);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) src.SetValue(x, y, test::CoordinateColor(x, y));
    }
    DibLayout t = test::Layout(W, -H, 32);
    Canvas dst(t);
    SetStretchBltMode(dst.Dc(), COLORONCOLOR);
    ASSERT_TRUE(StretchBlt(dst.Dc(), 0, 0, W, H, src.Dc(), 0, 0, w, h, SRCCOPY));
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        int sx = (2 * x + 1) * w / (2 * W), sy = (2 * y + 1) * h / (2 * H);
        ASSERT_EQ(dst.Value(x, y) & 0xFFFFFF, test::CoordinateColor(sx, sy))
            << w << "x" << h << " -> " << W << "x" << H << " at " << x << "," << y;
      }
    }
  }
}

// BLACKONWHITE keeps the darkest channel values of the pixels a reduction eliminates
// (AND on black-and-white pictures); WHITEONBLACK the lightest. Each source pixel belongs to the
// target pixel floor(sx * W / w).
TEST(BlackOnWhite, ReductionCombinesEliminatedPixels) {
  Random random(43);
  for (int mode : {BLACKONWHITE, WHITEONBLACK}) {
    int w = 23, h = 19, W = 7, H = 5;
    DibLayout s = test::Layout(w, h, 24);
    Canvas src(s);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) src.SetValue(x, y, random.Next() & 0xFFFFFF);
    }
    DibLayout t = test::Layout(W, H, 24);
    Canvas dst(t);
    EXPECT_EQ(SetStretchBltMode(dst.Dc(), mode), BLACKONWHITE);
    ASSERT_TRUE(StretchBlt(dst.Dc(), 0, 0, W, H, src.Dc(), 0, 0, w, h, SRCCOPY));
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        int best[3] = {mode == BLACKONWHITE ? 255 : 0, mode == BLACKONWHITE ? 255 : 0,
                       mode == BLACKONWHITE ? 255 : 0};
        for (int sy = 0; sy < h; ++sy) {
          for (int sx = 0; sx < w; ++sx) {
            if (sx * W / w != x || sy * H / h != y) continue;
            std::uint32_t v = src.Value(sx, sy);
            for (int k = 0; k < 3; ++k) {
              int c = int(v >> (8 * k) & 255);
              best[k] = mode == BLACKONWHITE ? std::min(best[k], c) : std::max(best[k], c);
            }
          }
        }
        std::uint32_t expected = std::uint32_t(best[0] | best[1] << 8 | best[2] << 16);
        EXPECT_EQ(dst.Value(x, y), expected) << mode << " " << x << "," << y;
      }
    }
  }
}

// A black line one pixel thin survives a 4:1 monochrome reduction under BLACKONWHITE and
// vanishes under COLORONCOLOR when the sampled pixel misses it.
TEST(BlackOnWhite, ThinBlackLinesSurviveMonochromeReduction) {
  HBITMAP mono = CreateBitmap(16, 4, 1, 1, nullptr);
  HBITMAP small = CreateBitmap(4, 1, 1, 1, nullptr);
  HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
  HGDIOBJ oldSrc = SelectObject(src, mono), oldDst = SelectObject(dst, small);
  PatBlt(src, 0, 0, 16, 4, WHITENESS);
  PatBlt(src, 4, 0, 1, 4, BLACKNESS);  // column 4, in target column 1 but not its sample (6)
  SetStretchBltMode(dst, BLACKONWHITE);
  ASSERT_TRUE(StretchBlt(dst, 0, 0, 4, 1, src, 0, 0, 16, 4, SRCCOPY));
  EXPECT_EQ(GetPixel(dst, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dst, 1, 0), RGB(0, 0, 0));
  SetStretchBltMode(dst, COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(dst, 0, 0, 4, 1, src, 0, 0, 16, 4, SRCCOPY));
  EXPECT_EQ(GetPixel(dst, 1, 0), RGB(255, 255, 255));
  SelectObject(src, oldSrc);
  SelectObject(dst, oldDst);
  DeleteDC(src);
  DeleteDC(dst);
  DeleteObject(mono);
  DeleteObject(small);
}

TEST(StretchBlt, EqualSizesCopyLikeBitBltInEveryMode) {
  DibLayout s = test::Layout(9, 6, 24);
  Canvas src(s);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 9; ++x) src.SetValue(x, y, test::CoordinateColor(x, y));
  }
  for (int mode : {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR, HALFTONE}) {
    DibLayout t = test::Layout(9, 6, 24);
    Canvas dst(t);
    SetStretchBltMode(dst.Dc(), mode);
    ASSERT_TRUE(StretchBlt(dst.Dc(), 0, 0, 9, 6, src.Dc(), 0, 0, 9, 6, SRCCOPY));
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 9; ++x) EXPECT_EQ(dst.Value(x, y), test::CoordinateColor(x, y));
    }
  }
}

// Enlarging part of a bitmap over itself reads the original pixels, as from a copy.
TEST(StretchBlt, OntoItselfReadsTheOriginal) {
  for (int mode : {COLORONCOLOR, HALFTONE}) {
    Canvas self(test::Layout(8, 8, 32)), copy(test::Layout(8, 8, 32)),
        expected(test::Layout(8, 8, 32));
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        self.SetValue(x, y, test::CoordinateColor(x, y));
        copy.SetValue(x, y, test::CoordinateColor(x, y));
      }
    }
    SetStretchBltMode(self.Dc(), mode);
    SetStretchBltMode(expected.Dc(), mode);
    ASSERT_TRUE(StretchBlt(self.Dc(), 0, 0, 8, 8, self.Dc(), 1, 1, 5, 5, SRCCOPY));
    ASSERT_TRUE(StretchBlt(expected.Dc(), 0, 0, 8, 8, copy.Dc(), 1, 1, 5, 5, SRCCOPY));
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) EXPECT_EQ(self.Value(x, y), expected.Value(x, y));
    }
  }
}

TEST(StretchBlt, StretchModeValidationAndBrushOrigin) {
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);
  SetBrushOrgEx(dc, 3, 5, nullptr);
  EXPECT_EQ(SetStretchBltMode(dc, HALFTONE), BLACKONWHITE);
  POINT origin{};
  GetBrushOrgEx(dc, &origin);
  EXPECT_EQ(origin.x, 3);
  EXPECT_EQ(origin.y, 5);
  EXPECT_EQ(SetStretchBltMode(dc, 0), 0);
  EXPECT_EQ(SetStretchBltMode(dc, 5), 0);
  EXPECT_EQ(GetStretchBltMode(dc), HALFTONE);
  DeleteDC(dc);
}

}  // namespace
}  // namespace win
