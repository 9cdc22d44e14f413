#include "thumbs/stretch.h"

#include <cmath>
#include <limits>

#include "imaging/bitmap.h"
#include "platform/gdi/gdi.h"

std::int32_t ThumbnailHeight(std::int32_t sourceWidth, std::int32_t sourceHeight,
                             std::int32_t targetWidth) {
  // An empty picture has no ratio; its thumbnail has no rows.
  if (sourceWidth == 0) return 0;
  // The ratio is kept in single precision; the product with the width is exact in extended
  // precision (24-bit by 32-bit mantissas), so only the final truncation loses anything.
  const float ratio = static_cast<float>(static_cast<long double>(sourceHeight) / sourceWidth);
  const long double height = std::trunc(static_cast<long double>(targetWidth) * ratio);
  if (height >= static_cast<long double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (height <= static_cast<long double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(height);
}

void StretchWithFrame(TBitmap& target, TBitmap& source, std::int32_t frame) {
  TCanvas& canvas = target.Canvas();
  const win::HDC dc = canvas.Handle();
  win::SetStretchBltMode(dc, win::HALFTONE);
  // Reading the source makes no private copy of pixels it shares with a decoded picture.
  const win::HDC from = source.Canvas().HandleForReading();
  win::StretchBlt(dc, 0, 0, target.Width(), target.Height(), from, 0, 0, source.Width(),
                  source.Height(), win::SRCCOPY);
  if (frame < 0) return;
  canvas.FrameRect(win::RECT{0, 0, target.Width(), target.Height()});
}
