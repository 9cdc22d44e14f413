#include "widgets/drawing.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/widgets/widget_test_support.h"

namespace {

using widget_test::Code;
using widget_test::GradientRow;
using widget_test::Hex;
using widget_test::Surface;

constexpr win::COLORREF kRed = Hex(0xFF0000);
constexpr win::COLORREF kBlue = Hex(0x0000FF);

struct SidesCase {
  const char* why;
  TSides sides;
  TColor leftTop;
  TColor rightBottom;
  int thickness;
  win::RECT inside;
  // What pixel (x, y) of the 8 x 6 surface must be: 'L' first colour, 'R' second, '.' untouched.
  const char* map[6];
};

TEST(DrawSidesTest, LinesPassesAndTheRectangleInside) {
  const SidesCase cases[] = {
      {"one pass on all sides: right and bottom are drawn last and own their corners",
       TSides::All(),
       kRed,
       kBlue,
       1,
       {1, 1, 7, 5},
       {"LLLLLLLR", "L......R", "L......R", "L......R", "L......R", "RRRRRRRR"}},
      {"two passes, each one further in",
       TSides::All(),
       kRed,
       kBlue,
       2,
       {2, 2, 6, 4},
       {"LLLLLLLR", "LLLLLLRR", "LL....RR", "LL....RR", "LRRRRRRR", "RRRRRRRR"}},
      {"only the chosen sides",
       {TSide::sdTop, TSide::sdRight},
       kRed,
       kBlue,
       1,
       {0, 1, 7, 6},
       {"LLLLLLLR", ".......R", ".......R", ".......R", ".......R", ".......R"}},
      {"a side with no colour is skipped and keeps its room",
       TSides::All(),
       clNone,
       kBlue,
       1,
       {0, 0, 7, 5},
       {".......R", ".......R", ".......R", ".......R", ".......R", "RRRRRRRR"}},
      {"no sides, nothing",
       TSides(),
       kRed,
       kBlue,
       3,
       {0, 0, 8, 6},
       {"........", "........", "........", "........", "........", "........"}},
  };
  for (const auto& c : cases) {
    Surface s(8, 6);
    const win::RECT in =
        DrawSides(s.Canvas(), {0, 0, 8, 6}, c.sides, c.leftTop, c.rightBottom, c.thickness);
    EXPECT_EQ(in.left, c.inside.left) << c.why;
    EXPECT_EQ(in.top, c.inside.top) << c.why;
    EXPECT_EQ(in.right, c.inside.right) << c.why;
    EXPECT_EQ(in.bottom, c.inside.bottom) << c.why;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const char m = c.map[y][x];
        const win::COLORREF want = m == 'L' ? kRed : m == 'R' ? kBlue : Code(x, y);
        ASSERT_EQ(s.At(x, y), want) << c.why << " at " << x << "," << y;
      }
  }
}

struct GradientCase {
  const char* why;
  int width;
  int height;
  win::COLORREF start;
  win::COLORREF stop;
};

TEST(GradientFillTest, RowsAreTheStopColourPlusTruncatedSteps) {
  const GradientCase cases[] = {
      {"the bottom strip: 28 rows, light blue", 37, 28, Hex(0xCDEDF9), Hex(0xA7E0F8)},
      {"one row is exactly the stop colour", 20, 1, Hex(0xFFFFFF), Hex(0xD4D0C8)},
      {"equal colours are a solid fill", 19, 13, Hex(0x2F88A2), Hex(0x2F88A2)},
      {"narrower than the computed strip", 3, 9, Hex(0x000000), Hex(0xFFFFFF)},
      {"falling and rising channels", 70, 50, Hex(0x10F020), Hex(0xF0100F)},
      {"more rows than colour steps", 9, 300, Hex(0x000000), Hex(0x0A0A0A)},
  };
  for (const auto& c : cases) {
    // A margin of untouched pixels round the rectangle shows any spill.
    Surface s(c.width + 4, c.height + 3);
    GradientFill(s.Canvas(), {2, 1, 2 + c.width, 1 + c.height}, TGradientDirection::gdHorizontalEnd,
                 c.start, c.stop);
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) {
        const bool inside = x >= 2 && x < 2 + c.width && y >= 1 && y < 1 + c.height;
        const win::COLORREF want =
            inside ? GradientRow(c.start, c.stop, c.height, y - 1) : Code(x, y);
        ASSERT_EQ(s.At(x, y), want) << c.why << " at " << x << "," << y;
      }
    // The first and last rows, stated outright.
    EXPECT_EQ(s.At(2, c.height), c.stop) << c.why;
  }
}

TEST(GradientFillTest, WorkedRowsOfTheBottomStrip) {
  Surface s(10, 28);
  GradientFill(s.Canvas(), {0, 0, 10, 28}, TGradientDirection::gdHorizontalEnd, Hex(0xCDEDF9),
               Hex(0xA7E0F8));
  EXPECT_EQ(s.At(9, 27), Hex(0xA7E0F8));  // bottom: the stop colour
  EXPECT_EQ(s.At(9, 0), Hex(0xCBECF8));   // top: stop + 27 truncated steps, just short of start
}

TEST(GradientFillTest, EmptyRectanglesDrawNothing) {
  const win::RECT rects[] = {{3, 3, 3, 8}, {3, 3, 8, 3}, {5, 5, 2, 2}};
  for (const auto& r : rects) {
    Surface s(10, 10);
    GradientFill(s.Canvas(), r, TGradientDirection::gdHorizontalEnd, clWhite, clBtnFace);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) ASSERT_EQ(s.At(x, y), Code(x, y));
  }
}

TEST(GradientFillTest, SystemColoursAreResolvedWhenDrawing) {
  Surface s(4, 6);
  GradientFill(s.Canvas(), {0, 0, 4, 6}, TGradientDirection::gdHorizontalEnd, clWhite, clBtnFace);
  EXPECT_EQ(s.At(0, 5), GetSysColor(kColorBtnFace));
  EXPECT_EQ(s.At(3, 0), GradientRow(Hex(0xFFFFFF), GetSysColor(kColorBtnFace), 6, 0));
}

}  // namespace
