// How a photo's stored rows are meant to be shown: the orientation tag of its EXIF block.
//
// Cameras and phones store the sensor's rows as they come and record how the picture was held;
// every viewer turns or mirrors the stored picture by that tag before showing it. Decoding
// applies the same turn, so the picture's size, preview and thumbnail are upright.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jpeg {

// The tag's eight values, named after where the stored picture's first row and first column
// belong on screen (TopLeft: first row at the top, first column at the left: as stored).
enum class TOrientation : std::uint8_t {
  TopLeft = 1,      // as stored
  TopRight = 2,     // mirrored left to right
  BottomRight = 3,  // turned half round
  BottomLeft = 4,   // mirrored top to bottom
  LeftTop = 5,      // rows become columns (mirrored along the main diagonal)
  RightTop = 6,     // turned a quarter clockwise to show
  RightBottom = 7,  // mirrored along the other diagonal
  LeftBottom = 8,   // turned a quarter anticlockwise to show
};

// The orientation an APP1 marker's content declares: "Exif\0\0", then a TIFF block whose first
// directory holds tag 0x0112 (a SHORT, 1 to 8). Anything else (another APP1 kind, a damaged or
// cut block, a value out of range) is TopLeft: the picture is shown as stored.
TOrientation ExifOrientation(const std::uint8_t* data, std::size_t size);

// The upright picture is as wide as the stored one is high.
constexpr bool SwapsAxes(TOrientation o) {
  return static_cast<int>(o) >= static_cast<int>(TOrientation::LeftTop);
}

// Where stored pixels land in the upright picture, in bytes from the upright picture's top-left
// pixel: stored pixel (x, y) lands at RowStart(y) + x * PixelStep. Built for a stored size and
// the upright picture's row step (signed: rows of a bottom-up bitmap run backwards).
struct TPlacement {
  std::ptrdiff_t origin = 0;     // stored pixel (0, 0)
  std::ptrdiff_t rowStep = 0;    // from stored row y to y + 1
  std::ptrdiff_t pixelStep = 0;  // from stored column x to x + 1

  std::ptrdiff_t RowStart(int y) const { return origin + rowStep * y; }
};

TPlacement PlacementFor(TOrientation o, int storedWidth, int storedHeight, int bytesPerPixel,
                        std::ptrdiff_t uprightRowStep);

}  // namespace jpeg
