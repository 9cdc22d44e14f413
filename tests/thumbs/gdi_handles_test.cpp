// Native graphics objects are a scarce resource (a process that leaks them stops drawing), and
// LeakSanitizer cannot see them because the platform keeps them in its handle registry. These
// tests run the image layer's everyday work repeatedly and require the number of live GDI
// objects to stay flat once caches (shared pens and brushes, palettes) are warm.
#include <gtest/gtest.h>

#include <functional>

#include "imaging/bitmap.h"
#include "imaging/clipboard.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "platform/gdi/gdi.h"
#include "platform/user/clipboard.h"
#include "runtime/stream.h"
#include "tests/imaging/bitmap_test_support.h"
#include "thumbs/stretch.h"
#include "thumbs/thumbnail_maker.h"

namespace {

// Runs work three times; the object count after the second and third runs must equal the
// count after the first.
void ExpectNoHandleGrowth(const std::function<void()>& work) {
  work();
  FreeBitmapCanvasContexts();
  const int settled = win::GdiObjectCount();
  for (int i = 0; i < 2; ++i) {
    work();
    FreeBitmapCanvasContexts();
    EXPECT_EQ(win::GdiObjectCount(), settled) << "after run " << i + 2;
  }
}

TEST(GdiHandles, BitmapsAndCanvasesReleaseWhatTheyCreate) {
  ExpectNoHandleGrowth([] {
    TBitmap a;
    bitmap_test::MakeCoded24(a, 40, 30);
    TBitmap b;
    b.CopyFrom(&a);                                // shared
    b.Canvas().FillRect(win::RECT{0, 0, 10, 10});  // copy on write
    b.SetWidth(60);                                // re-created larger
    b.SetColorDepth(TColorDepth::Depth8);          // halftone palette
    b.SetColorDepth(TColorDepth::Depth4);
    b.SetColorDepth(TColorDepth::DepthDevice);
    TBitmap screen;
    screen.SetWidth(20);
    screen.SetHeight(20);
    screen.Canvas().Pen().SetColor(clRed);
    screen.Canvas().MoveTo(0, 0);
    screen.Canvas().LineTo(19, 19);
    screen.Canvas().StretchDraw(win::RECT{0, 0, 20, 20}, &a);
    screen.RowPointer(3)[0] = 1;  // DIB copy beside the device-dependent image
    a.ClearImage();
    TBitmap target;
    target.SetWidth(17);
    target.SetHeight(9);
    StretchWithFrame(target, b, 0);
  });
}

TEST(GdiHandles, BmpAndJpegCodingReleaseWhatTheyCreate) {
  ExpectNoHandleGrowth([] {
    TBitmap source;
    bitmap_test::MakeCoded24(source, 33, 21);
    TMemoryStream bmp;
    source.WriteToStream(bmp);
    bmp.SetPosition(0);
    TBitmap reread;
    reread.ReadFromStream(bmp);

    TJPEGImage jpeg;
    jpeg.CopyFrom(&reread);
    TMemoryStream bytes;
    jpeg.WriteToStream(bytes);
    bytes.SetPosition(0);
    TJPEGImage loaded;
    loaded.ReadFromStream(bytes);
    TBitmap decoded;
    decoded.CopyFrom(&loaded);
    decoded.Canvas().FrameRect(win::RECT{0, 0, 5, 5});
  });
}

TEST(GdiHandles, ThumbnailsAndTheClipboardReleaseWhatTheyCreate) {
  ExpectNoHandleGrowth([] {
    TBitmap pixels;
    bitmap_test::MakeCoded24(pixels, 64, 48);
    auto jpeg = std::make_unique<TJPEGImage>();
    jpeg->CopyFrom(&pixels);
    TPicture source, view;
    source.SetGraphic(jpeg.get());
    view.SetGraphic(jpeg.get());
    MakeThumbnail(source, "20", view);

    TClipboard clipboard;
    clipboard.CopyFrom(&pixels);
    TPicture pasted;
    pasted.CopyFrom(&clipboard);
    clipboard.Clear();
  });
}

}  // namespace
