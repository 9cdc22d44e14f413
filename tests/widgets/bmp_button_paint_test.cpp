#include "widgets/bmp_button_paint.h"

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"

namespace {

using widget_test::Code;
using widget_test::Hex;
using widget_test::Surface;

constexpr win::COLORREF kOlive = Hex(0x808000);

TEST(BmpButtonPaintTest, SizeFollowsTheUpBitmapAndBorder) {
  TBitmap up;
  up.SetWidth(38);
  up.SetHeight(18);
  TBitmap empty;
  struct Case {
    const char* why;
    TButtonSize sizing;
    TButtonBorder border;
    TBitmap* up;
    bool newStyle;
    bool sized;
    int w, h;
  } cases[] = {
      {"close button: no border", TButtonSize::bszButtonToBitmap, TButtonBorder::bbNone, &up, true,
       true, 38, 18},
      {"single border", TButtonSize::bszButtonToBitmap, TButtonBorder::bbSingle, &up, true, true,
       40, 20},
      {"button border, new-style controls", TButtonSize::bszButtonToBitmap, TButtonBorder::bbButton,
       &up, true, true, 42, 22},
      {"button border, old-style controls", TButtonSize::bszButtonToBitmap, TButtonBorder::bbButton,
       &up, false, true, 44, 24},
      {"an empty Up leaves the size alone", TButtonSize::bszButtonToBitmap, TButtonBorder::bbNone,
       &empty, true, false, 0, 0},
      {"no Up at all", TButtonSize::bszButtonToBitmap, TButtonBorder::bbNone, nullptr, true, false,
       0, 0},
      {"not sized to the bitmap", TButtonSize::bszNeither, TButtonBorder::bbNone, &up, true, false,
       0, 0},
  };
  for (const auto& c : cases) {
    const auto size = BmpButtonSizeFor(c.sizing, c.border, c.up, c.newStyle);
    ASSERT_EQ(size.has_value(), c.sized) << c.why;
    if (!size) continue;
    EXPECT_EQ(size->cx, c.w) << c.why;
    EXPECT_EQ(size->cy, c.h) << c.why;
  }
}

TEST(BmpButtonPaintTest, FaceForTheState) {
  TBitmap up, down, hot, disabled, stayDown, focused;
  for (TBitmap* b : {&up, &down, &hot, &disabled, &stayDown, &focused}) {
    b->SetWidth(2);
    b->SetHeight(2);
  }
  const TBmpButtonFaces all{&up, &down, &hot, &disabled, &stayDown, &focused};
  const TBmpButtonFaces closeButton{&up, &down, &hot, nullptr, nullptr, nullptr};
  const TBmpButtonFaces upOnly{&up, nullptr, nullptr, nullptr, nullptr, nullptr};
  using enum TBmpButtonFace;
  using S = TBmpButtonState;
  struct Case {
    const char* why;
    const TBmpButtonFaces* faces;
    TBmpButtonState state;
    bool over, focus, showFocus;
    TBmpButtonFace want;
  } cases[] = {
      {"up", &closeButton, S::bsUp, false, false, true, Up},
      {"up, hovered", &closeButton, S::bsUp, true, false, true, Hot},
      {"hovered without a Hot face", &upOnly, S::bsUp, true, false, true, Up},
      {"hot wins over focus", &all, S::bsUp, true, true, true, Hot},
      {"focused", &all, S::bsUp, false, true, true, UpAndFocused},
      {"focused, ShowFocus off", &all, S::bsUp, false, true, false, Up},
      {"focused without a focused face", &closeButton, S::bsUp, false, true, true, Up},
      {"down", &closeButton, S::bsDown, true, true, true, Down},
      {"down without a Down face", &upOnly, S::bsDown, false, false, true, Up},
      {"stay-down", &all, S::bsStayDown, false, false, true, StayDown},
      {"stay-down falls back to Down", &closeButton, S::bsStayDown, false, false, true, Down},
      {"stay-down falls back to Up", &upOnly, S::bsStayDown, false, false, true, Up},
      {"disabled", &all, S::bsDisabled, true, false, true, Disabled},
      {"disabled without a Disabled face: embossed", &closeButton, S::bsDisabled, true, false, true,
       Embossed},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseBmpButtonFace(*c.faces, c.state, c.over, c.focus, c.showFocus), c.want)
        << c.why;
}

// A 24-bit face with olive wherever (x + y) % 3 == 0, a colour of its own elsewhere.
void MakeFace(TBitmap& b, int w, int h, win::COLORREF ink) {
  b.SetColorDepth(TColorDepth::Depth24);
  b.SetWidth(w);
  b.SetHeight(h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Canvas().SetPixels(x, y, (x + y) % 3 == 0 ? kOlive : ink);
}

TEST(BmpButtonPaintTest, OlivePixelsShowWhatIsBehindInEveryFace) {
  const win::COLORREF inks[] = {Hex(0x202020), Hex(0xC00000), Hex(0xFFFFFF)};  // up, down, hot
  for (win::COLORREF ink : inks) {
    TBitmap face;
    MakeFace(face, 38, 18, ink);
    Surface panel(44, 22);  // the title panel behind, coordinate-coded
    DrawMasked(panel.Canvas(), 3, 2, face, clOlive);
    for (int y = 0; y < 22; ++y)
      for (int x = 0; x < 44; ++x) {
        const bool onFace = x >= 3 && x < 41 && y >= 2 && y < 20;
        const bool olive = onFace && (x - 3 + y - 2) % 3 == 0;
        const win::COLORREF want = onFace && !olive ? ink : Code(x, y);
        ASSERT_EQ(panel.At(x, y), want) << "ink " << ink << " at " << x << "," << y;
      }
  }
}

TEST(BmpButtonPaintTest, EmbossedFaceFromUp) {
  TBitmap up;
  MakeFace(up, 6, 4, Hex(0x000000));
  TBitmap out;
  MakeEmbossedFace(up, clOlive, out);
  ASSERT_EQ(out.Width(), 6);
  ASSERT_EQ(out.Height(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool ink = (x + y) % 3 != 0;
      const bool shadowOfInk = x > 0 && y > 0 && (x - 1 + y - 1) % 3 != 0;
      const win::COLORREF want = ink ? Hex(0x808080) : shadowOfInk ? Hex(0xFFFFFF) : Hex(0xD4D0C8);
      ASSERT_EQ(out.Canvas().Pixels(x, y), want) << x << "," << y;
    }
}

}  // namespace
