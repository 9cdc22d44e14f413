#include "widgets/panel_paint.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/widgets/widget_test_support.h"
#include "widgets/frame_paint.h"

namespace {

using widget_test::Code;
using widget_test::GradientRow;
using widget_test::Hex;
using widget_test::Surface;

const win::COLORREF kFace = Hex(0xD4D0C8);

// The main window's panels as their layout stores them.
TPanelLook ClientPanel() {  // RzPanel1
  TPanelLook p;
  p.borderOuter = TFrameStyleEx::fsFlatBold;
  p.flatColor = 10651695;
  p.borderShadow = 10651695;
  p.visualStyle = TVisualStyle::vsGradient;
  p.gradientColorStyle = TGradientColorStyle::gcsCustom;
  return p;
}
TPanelLook PreviewFrame() {  // RzPanel5
  TPanelLook p;
  p.borderOuter = TFrameStyleEx::fsFlatRounded;
  p.flatColor = 5613202;
  p.color = 16775924;
  p.visualStyle = TVisualStyle::vsGradient;
  p.gradientColorStyle = TGradientColorStyle::gcsCustom;
  return p;
}
TPanelLook ThumbnailFrame() {  // RzPanel6
  TPanelLook p;
  p.borderOuter = TFrameStyleEx::fsFlatRounded;
  p.color = clWhite;
  return p;
}

TEST(PanelPaintTest, FlatBoldBorderOverAGradientOfTheDefaultColours) {
  Surface s(12, 10);
  const win::RECT in = PaintPanel(s.Canvas(), {0, 0, 12, 10}, ClientPanel(), clBtnFace);
  EXPECT_EQ(in.left, 2);
  EXPECT_EQ(in.top, 2);
  EXPECT_EQ(in.right, 10);
  EXPECT_EQ(in.bottom, 8);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool border = x < 2 || y < 2 || x >= 10 || y >= 8;
      const win::COLORREF want =
          border ? Hex(0x47AAC9) : GradientRow(Hex(0xFFFFFF), kFace, 6, y - 2);
      ASSERT_EQ(s.At(x, y), want) << x << "," << y;
    }
}

// Rounded outlines: corner pixels outside show the parent, the pixels set diagonally inside and
// the shortened sides are the flat colour, the ring next to the outline is the panel's colour.
struct RoundedCase {
  const char* why;
  TPanelLook look;
  win::COLORREF flat;
  win::COLORREF ring;
};

TEST(PanelPaintTest, RoundedOutlineOnAWhiteParent) {
  const RoundedCase cases[] = {
      {"preview frame", PreviewFrame(), Hex(0xADBD7E), Hex(0xF4FAFF)},
      {"thumbnail frame, default flat colour", ThumbnailFrame(), Hex(0x9F9F9F), Hex(0xFFFFFF)},
  };
  const int w = 14, h = 9;
  for (const auto& c : cases) {
    Surface s(w, h);
    const win::RECT in = PaintPanel(s.Canvas(), {0, 0, w, h}, c.look, clWhite);
    EXPECT_EQ(in.left, 2) << c.why;
    EXPECT_EQ(in.bottom, h - 2) << c.why;
    const win::COLORREF white = Hex(0xFFFFFF);
    const win::POINT corners[] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1},
                                  {1, 0}, {0, 1},     {w - 2, 0}, {w - 1, h - 2}};
    for (auto p : corners) EXPECT_EQ(s.At(p.x, p.y), white) << c.why << " " << p.x << "," << p.y;
    const win::POINT diagonals[] = {{1, 1}, {w - 2, 1}, {w - 2, h - 2}, {1, h - 2}};
    for (auto p : diagonals) EXPECT_EQ(s.At(p.x, p.y), c.flat) << c.why << " " << p.x << "," << p.y;
    for (int x = 2; x < w - 2; ++x) {
      EXPECT_EQ(s.At(x, 0), c.flat) << c.why << " top " << x;
      EXPECT_EQ(s.At(x, h - 1), c.flat) << c.why << " bottom " << x;
    }
    for (int y = 2; y < h - 2; ++y) {
      EXPECT_EQ(s.At(0, y), c.flat) << c.why << " left " << y;
      EXPECT_EQ(s.At(w - 1, y), c.flat) << c.why << " right " << y;
      EXPECT_EQ(s.At(1, y), c.ring) << c.why << " ring " << y;
    }
    EXPECT_EQ(s.At(5, 1), c.ring) << c.why;
  }
}

TEST(PanelPaintTest, InteriorsAndRings) {
  struct Case {
    const char* why;
    TPanelLook look;
    win::RECT inside;
    // Probe points and their colours.
    win::POINT at[3];
    win::COLORREF want[3];
  };
  TPanelLook plainWhite;  // RzPanel2, RzPanel7, RzPanel4
  plainWhite.borderOuter = TFrameStyleEx::fsNone;
  plainWhite.color = clWhite;
  TPanelLook bottomStrip;  // rpBottom
  bottomStrip.borderOuter = TFrameStyleEx::fsNone;
  bottomStrip.visualStyle = TVisualStyle::vsGradient;
  bottomStrip.gradientColorStyle = TGradientColorStyle::gcsCustom;
  bottomStrip.gradientColorStart = 16379341;
  bottomStrip.gradientColorStop = 16310439;
  TPanelLook widthRing;
  widthRing.borderOuter = TFrameStyleEx::fsFlat;
  widthRing.borderWidth = 2;
  widthRing.borderColor = Hex(0x0000FF);
  widthRing.color = Hex(0x00FF00);
  TPanelLook roundedRing = widthRing;  // the ring next to the outline takes BorderColor
  roundedRing.borderOuter = TFrameStyleEx::fsFlatRounded;
  roundedRing.borderWidth = 1;
  TPanelLook transparent = plainWhite;
  transparent.borderOuter = TFrameStyleEx::fsFlat;
  transparent.transparent = true;
  const Case cases[] = {
      {"no border, solid white",
       plainWhite,
       {0, 0, 10, 28},
       {{0, 0}, {9, 27}, {5, 5}},
       {Hex(0xFFFFFF), Hex(0xFFFFFF), Hex(0xFFFFFF)}},
      {"the bottom strip's gradient",
       bottomStrip,
       {0, 0, 10, 28},
       {{0, 0}, {9, 27}, {4, 13}},
       {Hex(0xCBECF8), Hex(0xA7E0F8), GradientRow(Hex(0xCDEDF9), Hex(0xA7E0F8), 28, 13)}},
      {"BorderWidth rings inside the flat border",
       widthRing,
       {3, 3, 7, 25},
       {{0, 5}, {2, 5}, {3, 5}},
       {Hex(0x9F9F9F), Hex(0x0000FF), Hex(0x00FF00)}},
      {"rounded with a ring: BorderColor next to the outline",
       roundedRing,
       {3, 3, 7, 25},
       {{1, 5}, {2, 5}, {3, 5}},
       {Hex(0x0000FF), Hex(0x0000FF), Hex(0x00FF00)}},
      {"transparent: border only",
       transparent,
       {1, 1, 9, 27},
       {{0, 5}, {4, 4}, {8, 20}},
       {Hex(0x9F9F9F), Code(4, 4), Code(8, 20)}},
  };
  for (const auto& c : cases) {
    Surface s(10, 28);
    const win::RECT in = PaintPanel(s.Canvas(), {0, 0, 10, 28}, c.look, clWhite);
    EXPECT_EQ(in.left, c.inside.left) << c.why;
    EXPECT_EQ(in.top, c.inside.top) << c.why;
    EXPECT_EQ(in.right, c.inside.right) << c.why;
    EXPECT_EQ(in.bottom, c.inside.bottom) << c.why;
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(s.At(c.at[i].x, c.at[i].y), c.want[i]) << c.why << " probe " << i;
  }
}

TEST(PanelPaintTest, UnstoredGradientColoursAreTheSystemButtonFace) {
  // No colours stored: the stop stays the system colour and is resolved at each paint.
  const TPanelLook look = ClientPanel();
  EXPECT_EQ(look.gradientColorStop, clBtnFace);
  Surface s(6, 7);
  PaintPanel(s.Canvas(), {0, 0, 6, 7}, look, clBtnFace);
  EXPECT_EQ(s.At(3, 4), GetSysColor(kColorBtnFace));
}

// --- Framed controls ---------------------------------------------------------------------

TFrameSettings FileListFrame() {  // RzListBox1
  TFrameSettings f;
  f.frameVisible = true;
  f.frameColor = 12638925;
  f.frameHotColor = 12638925;
  return f;
}

struct FrameCase {
  const char* why;
  TFrameSettings settings;
  TFrameState state;
  int frameWidth;  // on every side
  win::COLORREF frame;
  win::COLORREF erased;  // the rest of the 2-pixel border
};

TEST(FramePaintTest, FlatFrameOverTheErasedBorder) {
  const win::COLORREF list = Hex(0xCDDAC0);
  TFrameSettings hot = FileListFrame();
  hot.frameHotTrack = true;
  hot.frameHotColor = Hex(0xFF0000);
  TFrameSettings coloured = FileListFrame();
  coloured.focusColor = Hex(0x00FFFF);
  coloured.disabledColor = Hex(0x00FF00);
  const FrameCase cases[] = {
      {"the list unfocused", FileListFrame(), {}, 1, list, Hex(0xFFFFFF)},
      {"the list stays one pixel while focused",
       FileListFrame(),
       {true, true, false},
       1,
       list,
       Hex(0xFFFFFF)},
      {"and while hovered", FileListFrame(), {true, false, true}, 1, list, Hex(0xFFFFFF)},
      {"hot-tracking, focused: hot colour, bold",
       hot,
       {true, true, false},
       2,
       Hex(0xFF0000),
       Hex(0xFFFFFF)},
      {"hot-tracking, hovered", hot, {true, false, true}, 2, Hex(0xFF0000), Hex(0xFFFFFF)},
      {"hot-tracking, neither", hot, {}, 1, list, Hex(0xFFFFFF)},
      {"focused background", coloured, {true, true, false}, 1, list, Hex(0x00FFFF)},
      {"disabled wins over focus", coloured, {false, true, false}, 1, list, Hex(0x00FF00)},
  };
  const int w = 9, h = 7;
  for (const auto& c : cases) {
    Surface s(w, h);
    PaintControlFrame(s.Canvas(), w, h, c.settings, c.state);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int ring = std::min(std::min(x, y), std::min(w - 1 - x, h - 1 - y));
        const win::COLORREF want = ring < c.frameWidth ? c.frame : ring < 2 ? c.erased : Code(x, y);
        ASSERT_EQ(s.At(x, y), want) << c.why << " at " << x << "," << y;
      }
  }
}

TEST(FramePaintTest, HiddenFramesAndChosenSides) {
  TFrameSettings hidden = FileListFrame();
  hidden.frameVisible = false;
  Surface a(6, 5);
  PaintControlFrame(a.Canvas(), 6, 5, hidden, {});
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(a.At(x, y), Code(x, y));
  EXPECT_FALSE(FrameDrawn(FileListFrame(), /*visualStylesActive=*/true));
  TFrameSettings custom = FileListFrame();
  custom.framingPreference = TFramingPreference::fpCustomFraming;
  EXPECT_TRUE(FrameDrawn(custom, true));

  TFrameSettings leftOnly = FileListFrame();
  leftOnly.frameSides = {TSide::sdLeft};
  Surface b(6, 5);
  PaintControlFrame(b.Canvas(), 6, 5, leftOnly, {});
  EXPECT_EQ(b.At(0, 2), Hex(0xCDDAC0));
  EXPECT_EQ(b.At(3, 0), Hex(0xFFFFFF));  // erased, no frame on top
  EXPECT_EQ(b.At(5, 2), Hex(0xFFFFFF));
}

}  // namespace
