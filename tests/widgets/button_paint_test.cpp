#include "widgets/button_paint.h"

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"
#include "widgets/color_math.h"

namespace {

using widget_test::Code;
using widget_test::GradientRow;
using widget_test::Hex;
using widget_test::ScreenDepthScope;
using widget_test::Surface;

// RzButton2 and RzButton3 as the layout stores them, in the button-face group box.
TButtonLook BatchButton(bool whiteHighlight) {
  TButtonLook b;
  b.frameColor = 10651695;
  b.color = 16769186;
  if (whiteHighlight) b.highlightColor = clWhite;
  return b;
}

constexpr int kW = 134, kH = 49;
// Inside the frame: (2, 2)-(132, 47); the two bottom lines at rows 45 and 46; the face and
// any ring above them: rows 2 to 44.
constexpr int kFaceTop = 2, kFaceRows = 43;

win::COLORREF FaceRow(int y) {
  return GradientRow(Hex(0xE1F5FF), Hex(0x8CD8FF), kFaceRows, y - kFaceTop);
}

TEST(ButtonPaintTest, EtchedRingAndCutCornerFrame) {
  Surface s(kW, kH);
  PaintButtonFace(s.Canvas(), {0, 0, kW, kH}, BatchButton(true), {});
  const win::COLORREF dark = DarkenColor(clBtnFace, 20);
  const win::COLORREF light = LightenColor(clBtnFace, 20);
  const win::COLORREF frame = Hex(0x2F88A2);
  struct Probe {
    const char* why;
    int x, y;
    win::COLORREF want;
  } probes[] = {
      {"outer corner untouched", 0, 0, Code(0, 0)},
      {"etched left starts two rows down", 0, 1, Code(0, 1)},
      {"etched left", 0, 2, dark},
      {"etched top", 2, 0, dark},
      {"etched right", kW - 1, 10, light},
      {"etched bottom", 10, kH - 1, light},
      {"etched top ends three before the right", kW - 2, 0, Code(kW - 2, 0)},
      {"etched corner top left", 1, 1, dark},
      {"etched corner top right", kW - 2, 1, dark},
      {"etched corner bottom left", 1, kH - 2, dark},
      {"etched corner bottom right", kW - 2, kH - 2, light},
      {"frame left", 1, 2, frame},
      {"frame top", 2, 1, frame},
      {"frame right", kW - 2, 2, frame},
      {"frame bottom", 2, kH - 2, frame},
  };
  for (const auto& p : probes) EXPECT_EQ(s.At(p.x, p.y), p.want) << p.why;
}

struct FaceCase {
  const char* why;
  TButtonLook look;
  TButtonState state;
  int depth;
  // Colour of the face column at x = 60 from row 2 to row 46.
  win::COLORREF (*column)(int y);
  win::COLORREF ringTop;  // at (2, 2) and (2, 44): the ring's left edge, or the face
  win::COLORREF ringBottom;
};

win::COLORREF HotRing(int y) {
  if (y >= 45) return y == 45 ? Hex(0x77D1FF) : Hex(0x62CAFF);
  if (y < 4 || y > 42) return GradientRow(Hex(0xFBE6C3), Hex(0xF09B14), kFaceRows, y - kFaceTop);
  return FaceRow(y);
}
win::COLORREF PlainFace(int y) {
  if (y >= 45) return y == 45 ? Hex(0x77D1FF) : Hex(0x62CAFF);
  return FaceRow(y);
}
win::COLORREF Pressed(int) {
  return Hex(0x8CD8FF);
}
win::COLORREF SolidFace(int y) {
  if (y >= 45) return y == 45 ? Hex(0x77D1FF) : Hex(0x62CAFF);
  return Hex(0xA2E0FF);
}

TEST(ButtonPaintTest, FacesByState) {
  const FaceCase cases[] = {
      {"hovered: hot ring over the gradient face",
       BatchButton(true),
       {true, true, false, false},
       32,
       HotRing,
       GradientRow(Hex(0xFBE6C3), Hex(0xF09B14), kFaceRows, 0),
       Hex(0xF09B14)},
      {"neither hovered nor focused: no ring",
       BatchButton(true),
       {},
       32,
       PlainFace,
       FaceRow(kFaceTop),
       FaceRow(44)},
      {"pressed: a flat darkened face",
       BatchButton(true),
       {true, true, true, false},
       32,
       Pressed,
       Hex(0x8CD8FF),
       Hex(0x8CD8FF)},
      {"256 colours: a solid face and no ring",
       BatchButton(true),
       {true, true, false, true},
       8,
       SolidFace,
       Hex(0xA2E0FF),
       Hex(0xA2E0FF)},
  };
  for (const auto& c : cases) {
    ScreenDepthScope depth(c.depth);
    Surface s(kW, kH);
    PaintButtonFace(s.Canvas(), {0, 0, kW, kH}, c.look, c.state);
    for (int y = 2; y <= 46; ++y) ASSERT_EQ(s.At(60, y), c.column(y)) << c.why << " row " << y;
    // The ring's left edge: its top row is the gradient's stop plus 42 truncated steps.
    EXPECT_EQ(s.At(2, 2), c.ringTop) << c.why;
    EXPECT_EQ(s.At(2, 44), c.ringBottom) << c.why;
  }
}

TEST(ButtonPaintTest, RingColoursByState) {
  const win::COLORREF c = LightenColor(Hex(0xA2E0FF), 30);
  TButtonLook grey = BatchButton(false);
  grey.highlightColor = Hex(0xE0D8C8);  // beige: hue and luminance close to the button face
  struct Case {
    const char* why;
    TButtonLook look;
    TButtonState state;
    TRingColors want;
  } cases[] = {
      {"hover wins over focus",
       BatchButton(true),
       {true, true, false, true},
       {true, Hex(0xFBE6C3), Hex(0xF09B14)}},
      {"focused, white highlight",
       BatchButton(true),
       {true, false, false, true},
       {true, BlendColor(clWhite, c, 60), BlendColor(clWhite, c, 160)}},
      {"focused, system highlight",
       BatchButton(false),
       {true, false, false, true},
       {true, BlendColor(clHighlight, c, 60), BlendColor(clHighlight, c, 160)}},
      {"default button",
       BatchButton(false),
       {true, false, false, false, true},
       {true, BlendColor(clHighlight, c, 60), BlendColor(clHighlight, c, 160)}},
      {"a highlight too close to the face is darkened",
       grey,
       {true, false, false, true},
       {true, BlendColor(DarkenColor(Hex(0xE0D8C8), 30), c, 60),
        BlendColor(DarkenColor(Hex(0xE0D8C8), 30), c, 160)}},
  };
  for (const auto& k : cases) {
    const TRingColors got = ButtonRingColors(k.look, k.state);
    EXPECT_EQ(got.visible, k.want.visible) << k.why;
    EXPECT_EQ(got.top, k.want.top) << k.why;
    EXPECT_EQ(got.bottom, k.want.bottom) << k.why;
  }
  EXPECT_FALSE(ButtonRingColors(BatchButton(true), {}).visible);
}

TEST(ButtonPaintTest, DisabledButtons) {
  TButtonLook faceButton;
  struct Case {
    const char* why;
    TButtonLook look;
    win::COLORREF frame;
    win::COLORREF face;
  } cases[] = {
      {"coloured button: frame darkened by 80", BatchButton(true), DarkenColor(Hex(0xA2E0FF), 80),
       Hex(0xA2E0FF)},
      {"button-face button: lightened shadow", faceButton, Hex(0x9F9F9F), Hex(0xD4D0C8)},
  };
  for (const auto& c : cases) {
    Surface s(40, 20);
    TButtonState state;
    state.enabled = false;
    state.mouseOver = true;
    state.focused = true;
    PaintButtonFace(s.Canvas(), {0, 0, 40, 20}, c.look, state);
    EXPECT_EQ(s.At(0, 5), Code(0, 5)) << c.why << ": no etched ring";
    EXPECT_EQ(s.At(1, 5), c.frame) << c.why;
    for (int y = 2; y < 18; ++y) ASSERT_EQ(s.At(2, y), c.face) << c.why << " row " << y;
    EXPECT_EQ(s.At(20, 17), c.face) << c.why << ": no bottom lines";
  }
}

TEST(ButtonPaintTest, CaptionRectangle) {
  struct Case {
    const char* why;
    win::RECT client;
    int textHeight;
    TVerticalAlignment align;
    win::RECT want;
  } cases[] = {
      {"centred, 3 lines of 13 in RzButton2",
       {0, 0, 134, 49},
       39,
       TVerticalAlignment::avCenter,
       {5, 5, 129, 44}},
      {"centred, odd remainder rounds toward zero",
       {0, 0, 134, 47},
       26,
       TVerticalAlignment::avCenter,
       {5, 10, 129, 36}},
      {"taller than the room: negative division truncates toward zero",
       {0, 0, 40, 12},
       30,
       TVerticalAlignment::avCenter,
       {5, -9, 35, 21}},
      {"top", {0, 0, 40, 40}, 10, TVerticalAlignment::avTop, {5, 5, 35, 15}},
      {"bottom", {0, 0, 40, 40}, 10, TVerticalAlignment::avBottom, {5, 25, 35, 35}},
  };
  for (const auto& c : cases) {
    const win::RECT r = ButtonTextRect(c.client, c.textHeight, c.align);
    EXPECT_EQ(r.left, c.want.left) << c.why;
    EXPECT_EQ(r.top, c.want.top) << c.why;
    EXPECT_EQ(r.right, c.want.right) << c.why;
    EXPECT_EQ(r.bottom, c.want.bottom) << c.why;
  }
}

TEST(ButtonPaintTest, DottedFocusRectangleAndCaptionColour) {
  Surface s(20, 12, /*coded=*/false);
  TButtonState state;
  state.focused = true;
  win::COLORREF captionColor = 0;
  int captions = 0;
  PaintButton(s.Canvas(), {0, 0, 20, 12}, BatchButton(true), state, clWindowText,
              [&](TCanvas&, const win::RECT&, win::COLORREF c) {
                captionColor = c;
                ++captions;
              });
  EXPECT_EQ(captions, 1);
  EXPECT_EQ(captionColor, Hex(0x000000));
  // The rectangle (3, 3)-(17, 9): every second pixel from one after each side's start.
  for (int x = 4; x < 17; ++x) {  // (3, 8) belongs to the left side's dots
    const bool dot = (x - 3) % 2 == 1;
    EXPECT_EQ(s.At(x, 3) == 0, dot) << "top " << x;
    EXPECT_EQ(s.At(x, 8) == 0, dot) << "bottom " << x;
  }
  for (int y = 4; y < 9; ++y) {
    const bool dot = (y - 3) % 2 == 1;
    EXPECT_EQ(s.At(3, y) == 0, dot) << "left " << y;
    EXPECT_EQ(s.At(16, y) == 0, dot) << "right " << y;
  }

  Surface t(20, 12, false);
  state.enabled = false;
  PaintButton(t.Canvas(), {0, 0, 20, 12}, BatchButton(true), state, clWindowText,
              [&](TCanvas&, const win::RECT&, win::COLORREF c) { captionColor = c; });
  EXPECT_EQ(captionColor, Hex(0x808080)) << "gray text while disabled";
  TButtonLook noRect = BatchButton(true);
  noRect.showFocusRect = false;
  Surface u(20, 12, false);
  state.enabled = true;
  PaintButton(u.Canvas(), {0, 0, 20, 12}, noRect, state, clWindowText, nullptr);
  EXPECT_NE(u.At(4, 3), Hex(0x000000));
}

}  // namespace
