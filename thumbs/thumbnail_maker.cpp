#include "thumbs/thumbnail_maker.h"

#include <memory>

#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "thumbs/stretch.h"

namespace {
// Frame switch passed to StretchWithFrame: any value >= 0 draws the white border.
constexpr std::int32_t kFrame = 0xFF0000;
}  // namespace

void MakeThumbnail(TPicture& source, const AnsiString& widthText, TPicture& view) {
  // The four working objects, created in this order and released on every path.
  auto targetBitmap = std::make_unique<TBitmap>();
  auto sourceBitmap = std::make_unique<TBitmap>();
  auto sourceJpeg = std::make_unique<TJPEGImage>();
  auto outputJpeg = std::make_unique<TJPEGImage>();

  // The source JPEG shares the preview's compressed data (or copies its bitmap); the source
  // bitmap then takes the decoded pixels.
  sourceJpeg->CopyFrom(source.Graphic());
  sourceBitmap->CopyFrom(sourceJpeg.get());
  // The source bitmap now shares the decoded pixels, which the stretch only reads (no private
  // copy); the source JPEG is not needed any more.
  sourceJpeg.reset();

  const std::int32_t sourceHeight = source.Height();
  const std::int32_t sourceWidth = source.Width();

  // The width text is parsed for the width and again for the height, as the window did.
  targetBitmap->SetWidth(StrToInt(widthText));
  targetBitmap->SetHeight(ThumbnailHeight(sourceWidth, sourceHeight, StrToInt(widthText)));

  StretchWithFrame(*targetBitmap, *sourceBitmap, kFrame);

  outputJpeg->CopyFrom(targetBitmap.get());
  if (TGraphic* graphic = view.Graphic()) {
    graphic->CopyFrom(outputJpeg.get());
  } else {
    view.CopyFrom(outputJpeg.get());
  }
}
