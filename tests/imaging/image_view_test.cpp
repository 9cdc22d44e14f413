#include "imaging/image_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "test_graphic.h"

namespace win {
// Found by argument-dependent lookup from the test macros; internal to this file.
static bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& os, const RECT& r) {
  return os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}
}  // namespace win

namespace {

// A control that records what the view asks of it.
class FakeHost : public ImageViewHost {
 public:
  int Left() const override { return left; }
  int Top() const override { return top; }
  int ClientWidth() const override { return width; }
  int ClientHeight() const override { return height; }
  void SetBounds(int l, int t, int w, int h) override {
    left = l;
    top = t;
    width = w;
    height = h;
    log.push_back("bounds");
  }
  void Invalidate() override { log.push_back("invalidate"); }
  void Repaint() override { log.push_back("repaint"); }
  void SetOpaque(bool value) override { opaque = value; }
  bool PaletteChanged() override {
    log.push_back("palette");
    return true;
  }

  int left = 8;
  int top = 9;
  int width = TImageView::kDefaultSize;
  int height = TImageView::kDefaultSize;
  bool opaque = false;
  std::vector<std::string> log;
};

win::RECT Rect(int l, int t, int r, int b) {
  return {l, t, r, b};
}

TEST(ImageViewTest, DestinationRectangle) {
  struct Case {
    const char* why;
    int w, h, cw, ch;
    bool stretch, proportional, center;
    win::RECT expected;
  };
  const Case cases[] = {
      {"plain: own size at the corner", 400, 100, 200, 200, false, false, false,
       Rect(0, 0, 400, 100)},
      {"stretch fills the client", 400, 100, 200, 200, true, false, false, Rect(0, 0, 200, 200)},
      {"wide picture, proportional and centred", 400, 100, 200, 200, true, true, true,
       Rect(0, 75, 200, 125)},
      {"proportional shrinks a picture too large", 400, 100, 200, 200, false, true, false,
       Rect(0, 0, 200, 50)},
      {"proportional leaves a small picture alone", 50, 40, 200, 200, false, true, true,
       Rect(75, 80, 125, 120)},
      {"stretch and proportional enlarge a small one", 50, 40, 200, 200, true, true, false,
       Rect(0, 0, 200, 160)},
      {"tall picture fits the height", 100, 400, 200, 200, true, true, true, Rect(75, 0, 125, 200)},
      {"wide picture limited by the height", 300, 200, 150, 50, true, true, false,
       Rect(0, 0, 75, 50)},
      {"square picture in a wide client", 100, 100, 300, 60, true, true, true,
       Rect(120, 0, 180, 60)},
      {"ratio truncated toward zero", 3, 2, 100, 100, true, true, false, Rect(0, 0, 100, 66)},
      {"centre halves toward zero when the picture is larger", 301, 101, 100, 100, false, false,
       true, Rect(-100, 0, 201, 101)},
  };
  for (const Case& c : cases) {
    FakeHost host;
    host.width = c.cw;
    host.height = c.ch;
    TImageView view(host);
    view.SetStretch(c.stretch);
    view.SetProportional(c.proportional);
    view.SetCenter(c.center);
    view.SetPicture(MakeTestGraphic(c.w, c.h, 1).get());
    EXPECT_EQ(view.DestRect(), c.expected) << c.why;
  }
}

TEST(ImageViewTest, AutoSizeFollowsThePictureAndKeepsTheLastSizeWhenEmptied) {
  FakeHost host;
  TImageView view(host);
  view.SetAutoSize(true);
  EXPECT_EQ(host.width, TImageView::kDefaultSize) << "nothing to size to yet";
  view.SetPicture(MakeTestGraphic(320, 240, 1).get());
  EXPECT_EQ(host.left, 8);
  EXPECT_EQ(host.top, 9);
  EXPECT_EQ(host.width, 320);
  EXPECT_EQ(host.height, 240);
  EXPECT_TRUE(host.opaque);
  view.SetPicture(nullptr);
  EXPECT_EQ(view.Picture().Width(), 0);
  EXPECT_EQ(host.width, 320);
  EXPECT_EQ(host.height, 240);
  EXPECT_FALSE(host.opaque);
  EXPECT_EQ(host.log.back(), "invalidate");
}

TEST(ImageViewTest, TurningAutoSizeOnSizesAtOnce) {
  FakeHost host;
  TImageView view(host);
  view.SetPicture(MakeTestGraphic(30, 20, 1).get());
  EXPECT_EQ(host.width, TImageView::kDefaultSize);
  view.SetAutoSize(true);
  EXPECT_EQ(host.width, 30);
  EXPECT_EQ(host.height, 20);
}

TEST(ImageViewTest, OpaqueOnlyWhenTheRectangleCoversTheView) {
  FakeHost host;
  host.width = 100;
  host.height = 100;
  TImageView view(host);
  view.SetPicture(MakeTestGraphic(50, 50, 1).get());
  EXPECT_FALSE(host.opaque);
  view.SetStretch(true);
  EXPECT_TRUE(host.opaque);
  view.SetTransparent(true);
  EXPECT_TRUE(view.Picture().Graphic()->Transparent()) << "the view's setting is handed on";
  EXPECT_FALSE(host.opaque);
}

TEST(ImageViewTest, SettersDoNothingWhenNothingChanges) {
  FakeHost host;
  TImageView view(host);
  view.SetPicture(MakeTestGraphic(10, 10, 1).get());
  host.log.clear();
  view.SetStretch(false);
  view.SetCenter(false);
  view.SetProportional(false);
  view.SetTransparent(false);
  EXPECT_TRUE(host.log.empty());
  view.SetCenter(true);
  EXPECT_EQ(host.log, (std::vector<std::string>{"invalidate"}));
}

TEST(ImageViewTest, AutomaticSizingFollowsTheAlignment) {
  FakeHost host;
  TImageView view(host);
  int w = -1;
  int h = -1;
  EXPECT_FALSE(view.CanAutoSize(TAlign::alNone, w, h)) << "empty picture";
  view.SetPicture(MakeTestGraphic(60, 40, 1).get());
  const struct {
    TAlign align;
    int width, height;
  } cases[] = {
      {TAlign::alNone, 60, 40}, {TAlign::alLeft, 60, -1},   {TAlign::alRight, 60, -1},
      {TAlign::alTop, -1, 40},  {TAlign::alBottom, -1, 40}, {TAlign::alClient, -1, -1},
  };
  for (const auto& c : cases) {
    w = h = -1;
    EXPECT_TRUE(view.CanAutoSize(c.align, w, h));
    EXPECT_EQ(w, c.width) << int(c.align);
    EXPECT_EQ(h, c.height) << int(c.align);
  }
}

TEST(ImageViewTest, ProgressRepaintsOnlyWithIncrementalDisplay) {
  FakeHost host;
  TImageView view(host);
  view.SetPicture(MakeTestGraphic(10, 10, 1).get());
  std::vector<std::string> order;
  view.OnProgress = [&](TObject* sender, TProgressStage, std::uint8_t percent, bool,
                        const win::RECT&, const AnsiString&) {
    EXPECT_EQ(sender, view.Picture().Graphic());
    EXPECT_EQ(percent, 50);
    host.log.push_back("progress");
  };
  auto* graphic = static_cast<TTestGraphic*>(view.Picture().Graphic());
  host.log.clear();
  graphic->EmitProgress(true);
  EXPECT_EQ(host.log, (std::vector<std::string>{"progress"}));
  view.SetIncrementalDisplay(true);
  host.log.clear();
  graphic->EmitProgress(false);
  graphic->EmitProgress(true);
  EXPECT_EQ(host.log, (std::vector<std::string>{"progress", "repaint", "progress"}));
}

TEST(ImageViewTest, PaintDrawsIntoTheDestinationRectangle) {
  FakeHost host;
  host.width = 200;
  host.height = 200;
  TImageView view(host);
  view.SetStretch(true);
  view.SetProportional(true);
  view.SetCenter(true);
  TBitmap surface;
  surface.SetWidth(200);
  surface.SetHeight(200);
  TTestGraphic::draws = 0;
  view.Paint(surface.Canvas());
  EXPECT_EQ(TTestGraphic::draws, 0) << "an empty picture draws nothing";
  view.SetPicture(MakeTestGraphic(400, 100, 1).get());
  view.Paint(surface.Canvas());
  EXPECT_EQ(TTestGraphic::draws, 1);
  EXPECT_EQ(TTestGraphic::lastDrawn, Rect(0, 75, 200, 125));
  EXPECT_FALSE(view.Drawing());
}

TEST(ImageViewTest, PaintStretchesABitmap) {
  FakeHost host;
  host.width = 4;
  host.height = 4;
  TImageView view(host);
  view.SetStretch(true);
  TBitmap picture;
  picture.SetWidth(2);
  picture.SetHeight(2);
  picture.Canvas().SetPixels(1, 1, clRed);
  view.SetPicture(&picture);
  TBitmap surface;
  surface.SetWidth(6);
  surface.SetHeight(6);
  view.Paint(surface.Canvas());
  EXPECT_EQ(surface.Canvas().Pixels(3, 3), clRed);
  EXPECT_EQ(surface.Canvas().Pixels(1, 1), clWhite);
  EXPECT_EQ(surface.Canvas().Pixels(4, 4), clWhite) << "outside the view's client area";
}

}  // namespace
