// Painting runs on every paint message; a painter that forgets a brush, DC or bitmap would
// exhaust the process's GDI objects within minutes of hovering.
#include <gtest/gtest.h>

#include <functional>

#include "platform/gdi/gdi.h"
#include "tests/widgets/widget_test_support.h"
#include "widgets/bmp_button_paint.h"
#include "widgets/button_paint.h"
#include "widgets/frame_paint.h"
#include "widgets/panel_paint.h"

namespace {

using widget_test::Surface;

TEST(GdiObjectsTest, PaintersLeaveNoObjectsBehind) {
  TBitmap face;
  face.SetColorDepth(TColorDepth::Depth24);
  face.SetWidth(12);
  face.SetHeight(8);
  TBitmap embossed;
  const struct {
    const char* what;
    std::function<void(Surface&)> paint;
  } cases[] = {
      {"rounded gradient panel",
       [](Surface& s) {
         TPanelLook look;
         look.borderOuter = TFrameStyleEx::fsFlatRounded;
         look.visualStyle = TVisualStyle::vsGradient;
         PaintPanel(s.Canvas(), {0, 0, 40, 30}, look, clWhite);
       }},
      {"control frame",
       [](Surface& s) {
         TFrameSettings f;
         f.frameVisible = true;
         PaintControlFrame(s.Canvas(), 40, 30, f, {});
       }},
      {"hovered focused button",
       [](Surface& s) {
         TButtonState state;
         state.mouseOver = state.focused = true;
         PaintButton(s.Canvas(), {0, 0, 40, 30}, {}, state, clBlack, nullptr);
       }},
      {"masked bitmap face", [&](Surface& s) { DrawMasked(s.Canvas(), 2, 2, face, clOlive); }},
      {"embossed face", [&](Surface&) { MakeEmbossedFace(face, clOlive, embossed); }},
  };
  for (const auto& c : cases) {
    Surface s(40, 30);
    c.paint(s);  // first use may make the canvas's own context and cached tools
    const int before = win::GdiObjectCount();
    for (int i = 0; i < 5; ++i) c.paint(s);
    EXPECT_EQ(win::GdiObjectCount(), before) << c.what;
  }
}

}  // namespace
