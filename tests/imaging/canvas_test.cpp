#include "imaging/canvas.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/colors.h"
#include "runtime/exceptions.h"
#include "tests/imaging/bitmap_test_support.h"

namespace {

using bitmap_test::Code;
using bitmap_test::kWhite;
using bitmap_test::MakeCoded24;
using bitmap_test::Read24;
using bitmap_test::Rgb;

TEST(CanvasTest, FrameRectOnANewCanvasDrawsAWhiteBorder) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 6, 5);
  ASSERT_FALSE(bitmap.HasCanvas());
  bitmap.Canvas().FrameRect({0, 0, 6, 5});
  const auto pixels = Read24(bitmap);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool edge = x == 0 || y == 0 || x == 5 || y == 4;
      ASSERT_EQ(pixels[std::size_t(y * 6 + x)], edge ? kWhite : Code(x, y)) << x << "," << y;
    }
}

TEST(CanvasTest, FrameRectUsesTheBrushColour) {
  TBitmap bitmap;
  bitmap.SetWidth(4);
  bitmap.SetHeight(4);
  bitmap.Canvas().Brush().SetColor(clOlive);
  bitmap.Canvas().FrameRect({1, 1, 4, 3});
  EXPECT_EQ(bitmap.Canvas().Pixels(1, 1), ColorToRGB(clOlive));
  EXPECT_EQ(bitmap.Canvas().Pixels(3, 2), ColorToRGB(clOlive));
  EXPECT_EQ(bitmap.Canvas().Pixels(0, 0), win::RGB(255, 255, 255));
  EXPECT_EQ(bitmap.Canvas().Pixels(3, 3), win::RGB(255, 255, 255));
}

// Every drawing operation announces itself before and after; moving the pen does not.
TEST(CanvasTest, DrawingOperationsFireChangingThenChanged) {
  TBitmap picture;
  MakeCoded24(picture, 2, 2);
  TBitmap other;
  other.SetWidth(2);
  other.SetHeight(2);
  const std::vector<std::pair<std::string, std::function<void(TCanvas&)>>> operations = {
      {"FillRect",
       [](TCanvas& c) {
         c.FillRect({0, 0, 2, 2});
       }},
      {"FrameRect",
       [](TCanvas& c) {
         c.FrameRect({0, 0, 2, 2});
       }},
      {"LineTo", [](TCanvas& c) { c.LineTo(3, 3); }},
      {"Rectangle", [](TCanvas& c) { c.Rectangle(0, 0, 3, 3); }},
      {"SetPixels", [](TCanvas& c) { c.SetPixels(1, 1, clRed); }},
      {"Draw", [&](TCanvas& c) { c.Draw(0, 0, &picture); }},
      {"StretchDraw",
       [&](TCanvas& c) {
         c.StretchDraw({0, 0, 4, 4}, &picture);
       }},
      {"CopyRect",
       [&](TCanvas& c) {
         c.CopyRect({0, 0, 2, 2}, other.Canvas(), {0, 0, 2, 2});
       }},
  };
  for (const auto& [name, draw] : operations) {
    TBitmap bitmap;
    bitmap.SetWidth(4);
    bitmap.SetHeight(4);
    TCanvas& canvas = bitmap.Canvas();
    std::string log;
    canvas.OnChanging = [&](TObject*) { log += "<"; };
    canvas.OnChange = [&](TObject*) { log += ">"; };
    draw(canvas);
    EXPECT_EQ(log, "<>") << name;
  }
  TBitmap bitmap;
  bitmap.SetWidth(4);
  bitmap.SetHeight(4);
  std::string log;
  bitmap.Canvas().OnChanging = [&](TObject*) { log += "<"; };
  bitmap.Canvas().OnChange = [&](TObject*) { log += ">"; };
  bitmap.Canvas().MoveTo(1, 1);
  bitmap.Canvas().Draw(0, 0, nullptr);
  bitmap.Canvas().StretchDraw({0, 0, 1, 1}, nullptr);
  TBitmap empty;
  bitmap.Canvas().Draw(0, 0, &empty);
  EXPECT_EQ(log, "");
  EXPECT_EQ(bitmap.Canvas().PenPos().x, 1);
}

TEST(CanvasTest, CanvasChangeNotifiesTheBitmap) {
  TBitmap bitmap;
  bitmap.SetWidth(2);
  bitmap.SetHeight(2);
  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  bitmap.SetModified(false);
  bitmap.Canvas().FillRect({0, 0, 1, 1});
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(bitmap.Modified());
}

TEST(CanvasTest, ToolsWithEqualSettingsShareOneNativeObject) {
  TBrush a;
  TBrush b;
  a.SetColor(clRed);
  b.SetColor(clRed);
  EXPECT_EQ(a.Handle(), b.Handle());
  b.SetColor(clBlue);
  EXPECT_NE(a.Handle(), b.Handle());

  TPen p;
  TPen q;
  q.SetWidth(3);
  EXPECT_NE(p.Handle(), q.Handle());
  q.SetWidth(1);
  EXPECT_EQ(p.Handle(), q.Handle());
  // The mode is a context setting, not part of the native pen.
  q.SetMode(TPenMode::pmXor);
  EXPECT_EQ(p.Handle(), q.Handle());

  TFont f;
  TFont g;
  g.SetColor(clRed);  // the colour is a context setting too
  EXPECT_EQ(f.Handle(), g.Handle());
  g.SetStyle({TFontStyle::fsBold});
  EXPECT_NE(f.Handle(), g.Handle());
}

TEST(CanvasTest, FontHandleDescribesTheSettings) {
  TFont font;
  font.SetName("Tahoma");
  font.SetHeight(-12);
  font.SetStyle({TFontStyle::fsBold, TFontStyle::fsUnderline});
  win::LOGFONTA lf{};
  ASSERT_GT(win::GetObjectA(font.Handle(), sizeof lf, &lf), 0);
  EXPECT_STREQ(lf.lfFaceName, "Tahoma");
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfWeight, win::FW_BOLD);
  EXPECT_EQ(lf.lfUnderline, 1);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfCharSet, win::DEFAULT_CHARSET);
}

TEST(CanvasTest, SharedNativeObjectOutlivesOneOfItsUsers) {
  auto a = std::make_unique<TBrush>();
  TBrush b;
  a->SetColor(clLime);
  b.SetColor(clLime);
  win::HBRUSH shared = b.Handle();
  EXPECT_EQ(a->Handle(), shared);
  a.reset();
  EXPECT_EQ(win::GetObjectType(shared), win::OBJ_BRUSH);
  win::LOGBRUSH lb{};
  ASSERT_GT(win::GetObjectA(shared, sizeof lb, &lb), 0);
  EXPECT_EQ(lb.lbColor, ColorToRGB(clLime));
}

TEST(CanvasTest, BrushChangeTakesEffectAtTheNextDrawing) {
  TBitmap bitmap;
  bitmap.SetWidth(2);
  bitmap.SetHeight(1);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Brush().SetColor(clRed);
  canvas.FillRect({0, 0, 1, 1});
  canvas.Brush().SetColor(clGreen);
  canvas.FillRect({1, 0, 2, 1});
  EXPECT_EQ(canvas.Pixels(0, 0), ColorToRGB(clRed));
  EXPECT_EQ(canvas.Pixels(1, 0), ColorToRGB(clGreen));
}

TEST(CanvasTest, BrushStyleSetsTheBackgroundMode) {
  TBitmap bitmap;
  bitmap.SetWidth(2);
  bitmap.SetHeight(2);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Brush().SetColor(clRed);
  win::HDC dc = canvas.Handle();
  EXPECT_EQ(win::GetBkMode(dc), win::OPAQUE);
  EXPECT_EQ(win::GetBkColor(dc), ColorToRGB(clRed));
  canvas.Brush().SetStyle(TBrushStyle::bsCross);
  dc = canvas.Handle();
  EXPECT_EQ(win::GetBkMode(dc), win::TRANSPARENT);
  EXPECT_EQ(win::GetBkColor(dc), win::RGB(0, 255, 255));  // the inverted brush colour
  // A colour on a clear brush makes it solid again.
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Brush().SetColor(clBlue);
  EXPECT_EQ(canvas.Brush().Style(), TBrushStyle::bsSolid);
}

TEST(CanvasTest, PenModeSetsTheMixMode) {
  TBitmap bitmap;
  bitmap.SetWidth(1);
  bitmap.SetHeight(1);
  TCanvas& canvas = bitmap.Canvas();
  EXPECT_EQ(win::GetROP2(canvas.Handle()), win::R2_COPYPEN);
  canvas.Pen().SetMode(TPenMode::pmXor);
  EXPECT_EQ(win::GetROP2(canvas.Handle()), win::R2_XORPEN);
  canvas.Pen().SetMode(TPenMode::pmNotMerge);
  EXPECT_EQ(win::GetROP2(canvas.Handle()), win::R2_NOTMERGEPEN);
}

TEST(CanvasTest, DefaultsOfTheDrawingTools) {
  TCanvas canvas;
  EXPECT_EQ(canvas.Brush().Color(), clWhite);
  EXPECT_EQ(canvas.Brush().Style(), TBrushStyle::bsSolid);
  EXPECT_EQ(canvas.Pen().Color(), clBlack);
  EXPECT_EQ(canvas.Pen().Width(), 1);
  EXPECT_EQ(canvas.Pen().Style(), TPenStyle::psSolid);
  EXPECT_EQ(canvas.Pen().Mode(), TPenMode::pmCopy);
  EXPECT_EQ(canvas.Font().Color(), clWindowText);
  EXPECT_EQ(canvas.CopyMode(), win::SRCCOPY);
}

TEST(CanvasTest, FontSizeAndHeightConvertAt96PixelsPerInch) {
  TFont font;
  EXPECT_EQ(font.Height(), -11);
  EXPECT_EQ(font.Size(), 8);
  font.SetSize(9);
  EXPECT_EQ(font.Height(), -12);
  font.SetSize(12);
  EXPECT_EQ(font.Height(), -16);
  EXPECT_EQ(font.Size(), 12);
}

TEST(CanvasTest, PlainCanvasWithoutContextCannotDraw) {
  TCanvas canvas;
  try {
    canvas.FillRect({0, 0, 1, 1});
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Canvas does not allow drawing");
  }
}

TEST(CanvasTest, SweepFreesContextsAndTheNextUseMakesANewOne) {
  TBitmap bitmap;
  bitmap.SetWidth(2);
  bitmap.SetHeight(2);
  const std::size_t before = BitmapCanvasContextCount();
  bitmap.Canvas().FillRect({0, 0, 1, 1});
  EXPECT_TRUE(bitmap.Canvas().HandleAllocated());
  EXPECT_EQ(BitmapCanvasContextCount(), before + 1);

  // A canvas locked by another thread keeps its context.
  std::promise<void> locked;
  std::promise<void> release;
  std::thread holder([&] {
    bitmap.Canvas().Lock();
    locked.set_value();
    release.get_future().wait();
    bitmap.Canvas().Unlock();
  });
  locked.get_future().wait();
  FreeBitmapCanvasContexts();
  EXPECT_TRUE(bitmap.Canvas().HandleAllocated());
  release.set_value();
  holder.join();

  FreeBitmapCanvasContexts();
  EXPECT_FALSE(bitmap.Canvas().HandleAllocated());
  EXPECT_EQ(BitmapCanvasContextCount(), before);
  bitmap.Canvas().Pen().SetColor(clRed);
  bitmap.Canvas().MoveTo(0, 1);
  bitmap.Canvas().LineTo(2, 1);
  EXPECT_EQ(bitmap.Canvas().Pixels(1, 1), ColorToRGB(clRed));
  EXPECT_EQ(bitmap.Canvas().Pixels(0, 0), ColorToRGB(clWhite));
}

TEST(CanvasTest, OneNativeBitmapIsSelectedInOneContextAtATime) {
  TBitmap a;
  MakeCoded24(a, 2, 2);
  TBitmap b;
  b.CopyFrom(&a);
  a.Canvas().RequiredState(csHandleValid);
  ASSERT_TRUE(a.Canvas().HandleAllocated());
  // Reading b through its canvas selects the shared bitmap there and frees a's context.
  EXPECT_EQ(b.Canvas().Pixels(1, 1), win::RGB(Code(1, 1).r, Code(1, 1).g, Code(1, 1).b));
  EXPECT_FALSE(a.Canvas().HandleAllocated());
  EXPECT_EQ(&a.Image(), &b.Image());
}

TEST(CanvasTest, CanvasesAreListedWhileTheyLive) {
  const std::size_t before = CanvasCount();
  {
    TCanvas canvas;
    TBitmap bitmap;
    bitmap.Canvas();
    EXPECT_EQ(CanvasCount(), before + 2);
  }
  EXPECT_EQ(CanvasCount(), before);
}

TEST(CanvasTest, CopyRectStretchesWithTheCopyMode) {
  TBitmap source;
  MakeCoded24(source, 2, 2);
  TBitmap target;
  target.SetWidth(4);
  target.SetHeight(4);
  target.Canvas().CopyRect({0, 0, 4, 4}, source.Canvas(), {0, 0, 2, 2});
  const auto pixels = Read24(target);
  EXPECT_EQ(pixels[0], Code(0, 0));
  EXPECT_EQ(pixels[15], Code(1, 1));

  target.Canvas().SetCopyMode(win::BLACKNESS);
  target.Canvas().CopyRect({0, 0, 1, 1}, source.Canvas(), {0, 0, 1, 1});
  EXPECT_EQ(Read24(target)[0], (Rgb{0, 0, 0}));
}

TEST(ColorsTest, SystemColoursResolveFromTheClassicScheme) {
  const struct {
    TColor color;
    win::COLORREF rgb;
  } cases[] = {
      {clBtnFace, win::RGB(212, 208, 200)},
      {clWindow, win::RGB(255, 255, 255)},
      {clWindowText, win::RGB(0, 0, 0)},
      {clHighlight, win::RGB(10, 36, 106)},
      {clOlive, win::RGB(128, 128, 0)},
      {clWhite, win::RGB(255, 255, 255)},
      {0x00102030, 0x00102030},
      {win::PALETTEINDEX(3), win::PALETTEINDEX(3)},
      {clNone, 0x00FFFFFF},
      {clDefault, 0},
      {SystemColor(200), 0},  // unknown index
  };
  for (const auto& c : cases) EXPECT_EQ(ColorToRGB(c.color), c.rgb) << std::hex << c.color;
  EXPECT_EQ(clOlive, 0x008080u);
  EXPECT_EQ(clBtnFace, 0xFF00000Fu);
}

}  // namespace
