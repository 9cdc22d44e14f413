#include "widgets/color_math.h"

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"

namespace {

using widget_test::Hex;

struct HslCase {
  const char* why;
  TColor color;
  THsl hsl;
};

TEST(ColorMathTest, ToHslOnTheTwoHundredFortyScale) {
  const HslCase cases[] = {
      {"the client panel's flat colour", Hex(0x2F88A2), {129, 132, 98}},
      {"black", Hex(0x000000), {0, 0, 0}},
      {"white", Hex(0xFFFFFF), {0, 0, 240}},
      {"grey has no hue or saturation", Hex(0x808080), {0, 0, 120}},
      {"red, hue 0", Hex(0xFF0000), {0, 240, 120}},
      {"green is a third round", Hex(0x00FF00), {80, 240, 120}},
      {"blue is two thirds round", Hex(0x0000FF), {160, 240, 120}},
      {"magenta: negative hue wraps", Hex(0xFF00FF), {200, 240, 120}},
      {"a system colour is resolved first", clBtnShadow, {0, 0, 120}},
  };
  for (const auto& c : cases) EXPECT_EQ(ToHsl(c.color), c.hsl) << c.why;
}

struct ColorCase {
  const char* why;
  win::COLORREF got;
  win::COLORREF want;
};

TEST(ColorMathTest, WorkedColours) {
  const ColorCase cases[] = {
      {"client panel border", LightenColor(Hex(0x2F88A2), 30), Hex(0x47AAC9)},
      {"preview frame outline", LightenColor(Hex(0x92A655), 30), Hex(0xADBD7E)},
      {"thumbnail frame outline", LightenColor(Hex(0x808080), 30), Hex(0x9F9F9F)},
      {"button shadow by name", LightenColor(clBtnShadow, 30), Hex(0x9F9F9F)},
      {"button face top", LightenColor(Hex(0xA2E0FF), 30), Hex(0xE1F5FF)},
      {"button face bottom and pressed face", DarkenColor(Hex(0xA2E0FF), 10), Hex(0x8CD8FF)},
      {"button's upper bottom line", DarkenColor(Hex(0xA2E0FF), 20), Hex(0x77D1FF)},
      {"button's lowest line", DarkenColor(Hex(0xA2E0FF), 30), Hex(0x62CAFF)},
      {"hot ring top", BlendColor(clWhite, Hex(0xF09B14), 190), Hex(0xFBE6C3)},
      {"lightening caps at 255, past white's 240", LightenColor(Hex(0xF0F0F0), 100), Hex(0xFFFFFF)},
      {"darkening floors at black", DarkenColor(Hex(0x202020), 100), Hex(0x000000)},
      {"shift up is lighten", ShiftLuminance(Hex(0x2F88A2), 30), Hex(0x47AAC9)},
      {"shift down is darken", ShiftLuminance(Hex(0xA2E0FF), -10), Hex(0x8CD8FF)},
      {"shift 0 resolves unchanged", ShiftLuminance(clBtnFace, 0), Hex(0xD4D0C8)},
      {"blend weight 255 is the first colour", BlendColor(Hex(0x123456), Hex(0xABCDEF), 255),
       Hex(0x123456)},
      {"blend weight 0 is the second colour", BlendColor(Hex(0x123456), Hex(0xABCDEF), 0),
       Hex(0xABCDEF)},
      {"blend rounds to nearest", BlendColor(Hex(0xFF0000), Hex(0x000000), 128), Hex(0x800000)},
      {"blend resolves system colours", BlendColor(clBtnHighlight, cl3DDkShadow, 0), Hex(0x404040)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.why;
}

TEST(ColorMathTest, FromHslDividesTheHueBy239) {
  const ColorCase cases[] = {
      // With 240 the last hue would stop short of red and 120 would land exactly on cyan.
      {"hue 239 is red again", FromHsl(239, 240, 120), Hex(0xFF0000)},
      {"hue 120 is just short of cyan", FromHsl(120, 240, 120), Hex(0x00FCFF)},
      {"hue 0 is red", FromHsl(0, 240, 120), Hex(0xFF0000)},
      {"zero luminance is black", FromHsl(100, 240, 0), Hex(0x000000)},
      {"luminance above 240 saturates", FromHsl(129, 132, 255), Hex(0xFFFFFF)},
      {"no saturation is grey", FromHsl(77, 0, 120), Hex(0x808080)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.why;
}

}  // namespace
