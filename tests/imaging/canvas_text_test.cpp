// The canvas's text operations over GDI text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "tests/imaging/bitmap_test_support.h"

namespace {

using bitmap_test::Code;
using bitmap_test::MakeCoded24;
using bitmap_test::Read24;
using bitmap_test::Rgb;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// The size GDI gives the text in the canvas's font, measured on a DC of our own.
win::SIZE GdiExtent(TFont& font, const std::string& text) {
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  win::HGDIOBJ old = win::SelectObject(dc, font.Handle());
  win::SIZE size{};
  win::GetTextExtentPoint32A(dc, text.data(), int(text.size()), &size);
  win::SelectObject(dc, old);
  win::DeleteDC(dc);
  return size;
}

TEST(CanvasText, TextOutFillsTheCellWithTheBrushAndMovesThePen) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 80, 20);
  TCanvas& canvas = bitmap.Canvas();
  const std::string text = "Thumb";
  const win::SIZE e = GdiExtent(canvas.Font(), text);
  canvas.TextOut(3, 2, text);
  EXPECT_EQ(canvas.PenPos().x, 3 + e.cx);
  EXPECT_EQ(canvas.PenPos().y, 2);
  const auto pixels = Read24(bitmap);
  int black = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 80; ++x) {
      const Rgb p = pixels[std::size_t(y * 80 + x)];
      const bool cell = x >= 3 && x < 3 + e.cx && y >= 2 && y < 2 + e.cy;
      // A glyph's antialiased edge may reach one pixel past its advance.
      const bool edge = (x == 2 || x == 3 + e.cx) && y >= 2 && y < 2 + e.cy;
      if (edge) continue;
      if (!cell) {
        ASSERT_EQ(p, Code(x, y)) << x << "," << y;
      } else {
        // The default brush is solid white and the font colour the window text (black).
        ASSERT_TRUE(p.r == p.g && p.g == p.b) << x << "," << y;
        black += p == kBlack;
      }
    }
  EXPECT_GT(black, 5);
}

TEST(CanvasText, ClearBrushLeavesTheBackground) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 60, 20);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Font().SetColor(clWhite);
  canvas.TextOut(2, 2, "ab");
  const auto pixels = Read24(bitmap);
  int changed = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) {
      const Rgb p = pixels[std::size_t(y * 60 + x)];
      if (p == Code(x, y)) continue;
      ++changed;
      // Only glyph pixels change, towards white.
      ASSERT_GE(int(p.r) + p.g + p.b, int(Code(x, y).r) + Code(x, y).g + Code(x, y).b);
    }
  EXPECT_GT(changed, 5);
  EXPECT_LT(changed, 2 * 13 * 8);
}

TEST(CanvasText, TextRectClipsAndFillsItsRectangle) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 60, 20);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Brush().SetColor(clWhite);
  const win::RECT r{10, 4, 30, 16};
  canvas.TextRect(r, 0, 3, "Clipped caption text");
  const auto pixels = Read24(bitmap);
  int black = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) {
      const Rgb p = pixels[std::size_t(y * 60 + x)];
      const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      if (!inside) {
        ASSERT_EQ(p, Code(x, y)) << x << "," << y;
      } else {
        ASSERT_TRUE(p.r == p.g && p.g == p.b) << x << "," << y;
        black += p == kBlack;
      }
    }
  EXPECT_GT(black, 3);
}

TEST(CanvasText, ExtentsFollowTheFont) {
  TBitmap bitmap;
  bitmap.SetWidth(10);
  bitmap.SetHeight(10);
  TCanvas& canvas = bitmap.Canvas();
  const std::string text = "Thumbnail width";
  EXPECT_EQ(canvas.TextWidth(text), GdiExtent(canvas.Font(), text).cx);
  EXPECT_EQ(canvas.TextHeight(text), 13);
  EXPECT_EQ(canvas.TextWidth(""), 0);
  const int regular = canvas.TextWidth(text);
  canvas.Font().SetStyle({TFontStyle::fsBold});
  EXPECT_GT(canvas.TextWidth(text), regular);
  canvas.Font().SetHeight(-20);
  EXPECT_GT(canvas.TextHeight(text), 20);
}

TEST(CanvasText, DrawingNotifiesMeasuringDoesNot) {
  TBitmap bitmap;
  bitmap.SetWidth(40);
  bitmap.SetHeight(20);
  TCanvas& canvas = bitmap.Canvas();
  std::vector<std::string> events;
  canvas.OnChanging = [&](TObject*) { events.push_back("changing"); };
  canvas.OnChange = [&](TObject*) { events.push_back("change"); };
  canvas.TextWidth("abc");
  canvas.TextHeight("abc");
  EXPECT_TRUE(events.empty());
  canvas.TextOut(0, 0, "abc");
  canvas.TextRect({0, 0, 10, 10}, 0, 0, "abc");
  EXPECT_EQ(events, (std::vector<std::string>{"changing", "change", "changing", "change"}));
}

TEST(CanvasText, ChineseCaptionDrawsInTheFontColourOnly) {
  TBitmap bitmap;
  bitmap.SetWidth(70);
  bitmap.SetHeight(16);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Font().SetColor(clBlack);
  // "缩略图宽度" in code page 936.
  canvas.TextOut(1, 1, "\xcb\xf5\xc2\xd4\xcd\xbc\xbf\xed\xb6\xc8");
  int black = 0;
  for (const Rgb& p : Read24(bitmap)) {
    ASSERT_TRUE(p == kBlack || p == kWhite) << p;
    black += p == kBlack;
  }
  EXPECT_GT(black, 50);
}

}  // namespace
