// The program's events (OnChange, OnChanging, OnProgress) and the library's own wiring are
// separate: assigning a handler must never unhook copy-on-write, a canvas's tools or a
// picture's view, and a handler that destroys its sender must not crash the notifier.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/image_view.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "runtime/stream.h"
#include "tests/imaging/bitmap_test_support.h"

namespace {

using bitmap_test::Code;
using bitmap_test::MakeCoded24;
using bitmap_test::Read24;
using bitmap_test::Rgb;

// Every user handler a program may set on a bitmap and its canvas, and what they log for a
// brush change followed by a fill: tool, before, bitmap, after.
struct UserHandlers {
  const char* name;
  std::function<void(TBitmap&, std::string&)> assign;
  const char* expected;
};

TEST(NotificationsTest, UserHandlersKeepCopyOnWriteAndChangeNotification) {
  const std::vector<UserHandlers> cases = {
      {"none", [](TBitmap&, std::string&) {}, ""},
      {"canvas OnChanging",
       [](TBitmap& b, std::string& log) { b.Canvas().OnChanging = [&](TObject*) { log += "<"; }; },
       "<"},
      {"canvas OnChange",
       [](TBitmap& b, std::string& log) { b.Canvas().OnChange = [&](TObject*) { log += ">"; }; },
       ">"},
      {"bitmap OnChange",
       [](TBitmap& b, std::string& log) { b.OnChange = [&](TObject*) { log += "!"; }; }, "!"},
      {"brush OnChange",
       [](TBitmap& b, std::string& log) {
         b.Canvas().Brush().OnChange = [&](TObject*) { log += "b"; };
       },
       "b"},
      {"all of them",
       [](TBitmap& b, std::string& log) {
         b.Canvas().OnChanging = [&](TObject*) { log += "<"; };
         b.Canvas().OnChange = [&](TObject*) { log += ">"; };
         b.OnChange = [&](TObject*) { log += "!"; };
         b.Canvas().Brush().OnChange = [&](TObject*) { log += "b"; };
       },
       "b<!>"},
  };
  for (const UserHandlers& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap original;
    MakeCoded24(original, 5, 4);
    TBitmap drawn;
    drawn.CopyFrom(&original);
    ASSERT_EQ(&drawn.Image(), &original.Image());
    std::string log;
    c.assign(drawn, log);
    drawn.SetModified(false);

    drawn.Canvas().Brush().SetColor(clRed);
    drawn.Canvas().FillRect({0, 0, 2, 2});

    // The drawing went to a private copy: the sharer keeps every pixel.
    EXPECT_NE(&drawn.Image(), &original.Image());
    const std::vector<Rgb> kept = Read24(original);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) ASSERT_EQ(kept[std::size_t(y * 5 + x)], Code(x, y));
    // The canvas let go of the old brush: the fill has the new colour.
    EXPECT_EQ(drawn.Canvas().Pixels(1, 1), ColorToRGB(clRed));
    EXPECT_EQ(drawn.Canvas().Pixels(3, 3), win::RGB(Code(3, 3).r, Code(3, 3).g, Code(3, 3).b));
    EXPECT_TRUE(drawn.Modified());
    EXPECT_EQ(log, c.expected);
  }
}

// A control that records what the view asks of it.
class RecordingHost : public ImageViewHost {
 public:
  int Left() const override { return 0; }
  int Top() const override { return 0; }
  int ClientWidth() const override { return width; }
  int ClientHeight() const override { return height; }
  void SetBounds(int, int, int w, int h) override {
    width = w;
    height = h;
  }
  void Invalidate() override { ++invalidations; }
  void Repaint() override {}
  void SetOpaque(bool) override {}
  bool PaletteChanged() override { return true; }

  int width = TImageView::kDefaultSize;
  int height = TImageView::kDefaultSize;
  int invalidations = 0;
};

// Encoded bytes of a small coded picture, so a JPEG object has something to decode.
std::unique_ptr<TJPEGImage> SmallJpeg() {
  TBitmap bitmap;
  MakeCoded24(bitmap, 9, 7);
  TJPEGImage encoder;
  encoder.CopyFrom(&bitmap);
  TMemoryStream bytes;
  encoder.WriteToStream(bytes);
  bytes.SetPosition(0);
  auto jpeg = std::make_unique<TJPEGImage>();
  jpeg->ReadFromStream(bytes);
  return jpeg;
}

TEST(NotificationsTest, PictureAndGraphicUserEventsKeepTheViewAndSharing) {
  RecordingHost host;
  TImageView view(host);
  view.SetAutoSize(true);
  TPicture& picture = view.Picture();
  std::string log;
  picture.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &picture);
    log += "p";
  };
  picture.OnProgress = [&](TObject*, TProgressStage, std::uint8_t, bool, const win::RECT&,
                           const AnsiString&) { log += "P"; };

  const std::unique_ptr<TJPEGImage> source = SmallJpeg();
  picture.SetGraphic(source.get());
  ASSERT_NE(picture.Graphic(), nullptr);
  EXPECT_EQ(log, "p");
  EXPECT_EQ(host.width, 9);  // the view followed the picture
  EXPECT_EQ(&static_cast<TJPEGImage*>(picture.Graphic())->Data(), &source->Data());

  TGraphic& graphic = *picture.Graphic();
  graphic.OnChange = [&](TObject*) { log += "g"; };
  graphic.OnProgress = [&](TObject*, TProgressStage, std::uint8_t, bool, const win::RECT&,
                           const AnsiString&) { log += "G"; };
  log.clear();
  const int invalidations = host.invalidations;
  static_cast<TJPEGImage&>(graphic).ObtainBitmap();
  // Each progress step reaches the view and the picture's handler first, then the graphic's.
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log.substr(0, 2), "PG");
  EXPECT_EQ(log.find_first_not_of("PGpg"), std::string::npos) << log;

  log.clear();
  graphic.SetModified(true);
  EXPECT_EQ(log, "pg");
  EXPECT_GT(host.invalidations, invalidations);
  // The picture still shares the source's bytes: nothing was copied by the handlers.
  EXPECT_EQ(&static_cast<TJPEGImage&>(graphic).Data(), &source->Data());
}

// A graphic being read reports progress through the picture, but the picture changes only
// once, when the new graphic is installed.
TEST(NotificationsTest, AGraphicStillBeingReadDoesNotChangeThePicture) {
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  const std::unique_ptr<TJPEGImage> source = SmallJpeg();
  TMemoryStream stored;
  picture.SetGraphic(source.get());
  picture.WriteStoredData(stored);
  stored.SetPosition(0);
  changes = 0;
  picture.ReadStoredData(stored);
  EXPECT_EQ(changes, 1);
}

struct DestroyingHandler {
  const char* name;
  // Sets a handler on the bitmap (or its canvas) that destroys it; then makes it fire.
  std::function<void(std::unique_ptr<TBitmap>&)> run;
};

TEST(NotificationsTest, AHandlerMayDestroyItsSender) {
  const std::vector<DestroyingHandler> cases = {
      {"bitmap OnChange during a fill",
       [](std::unique_ptr<TBitmap>& b) {
         b->OnChange = [&](TObject*) { b.reset(); };
         b->Canvas().FillRect({0, 0, 1, 1});
       }},
      {"canvas OnChanging before a fill",
       [](std::unique_ptr<TBitmap>& b) {
         b->Canvas().OnChanging = [&](TObject*) { b.reset(); };
         b->Canvas().FillRect({0, 0, 1, 1});
       }},
      {"canvas OnChanging while asking for the handle",
       [](std::unique_ptr<TBitmap>& b) {
         TCanvas& canvas = b->Canvas();
         canvas.OnChanging = [&](TObject*) { b.reset(); };
         EXPECT_EQ(canvas.Handle(), nullptr);
       }},
      {"canvas OnChange after a line",
       [](std::unique_ptr<TBitmap>& b) {
         b->Canvas().OnChange = [&](TObject*) { b.reset(); };
         b->Canvas().LineTo(2, 2);
       }},
      {"pen OnChange",
       [](std::unique_ptr<TBitmap>& b) {
         b->Canvas().Pen().OnChange = [&](TObject*) { b.reset(); };
         b->Canvas().Pen().SetColor(clRed);
       }},
      {"bitmap OnChange on a resize",
       [](std::unique_ptr<TBitmap>& b) {
         b->OnChange = [&](TObject*) { b.reset(); };
         b->SetWidth(9);
       }},
  };
  for (const DestroyingHandler& c : cases) {
    SCOPED_TRACE(c.name);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetWidth(4);
    bitmap->SetHeight(4);
    c.run(bitmap);  // AddressSanitizer reports any use of the freed bitmap
    EXPECT_EQ(bitmap, nullptr);
  }
}

TEST(NotificationsTest, APictureHandlerMayDestroyThePicture) {
  auto picture = std::make_unique<TPicture>();
  TBitmap bitmap;
  bitmap.SetWidth(3);
  bitmap.SetHeight(3);
  picture->SetGraphic(&bitmap);
  picture->OnChange = [&](TObject*) { picture.reset(); };
  picture->Graphic()->SetTransparent(true);  // graphic -> picture -> handler frees both
  EXPECT_EQ(picture, nullptr);
}

TEST(NotificationsTest, ReadingASharedImageLeavesItShared) {
  TBitmap original;
  MakeCoded24(original, 6, 6);
  TBitmap sharer;
  sharer.CopyFrom(&original);
  TBitmap target;
  target.SetWidth(3);
  target.SetHeight(3);
  target.Canvas().StretchDraw({0, 0, 3, 3}, &sharer);
  target.Canvas().CopyRect({0, 0, 3, 3}, sharer.Canvas(), {0, 0, 3, 3});
  EXPECT_EQ(sharer.Canvas().Pixels(2, 1), win::RGB(Code(2, 1).r, Code(2, 1).g, Code(2, 1).b));
  EXPECT_EQ(&sharer.Image(), &original.Image());
  EXPECT_EQ(original.Image().RefCount(), 2);
}

#ifndef NDEBUG
// The image objects belong to the GUI thread; debug builds stop a program that strays.
TEST(NotificationsDeathTest, ImageObjectsRefuseASecondThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::vector<std::pair<const char*, std::function<void()>>> uses = {
      {"a new bitmap", [] { TBitmap b; }},
      {"a new picture", [] { TPicture p; }},
      {"freeing canvas contexts", [] { FreeBitmapCanvasContexts(); }},
  };
  for (const auto& [name, use] : uses) {
    SCOPED_TRACE(name);
    EXPECT_DEATH(
        {
          TBitmap gui;  // this thread is the GUI thread
          std::thread other(use);
          other.join();
        },
        "called outside the GUI thread");
  }
}
#endif

}  // namespace
