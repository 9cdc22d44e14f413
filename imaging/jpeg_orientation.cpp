#include "imaging/jpeg_orientation.h"

#include <cstring>

namespace jpeg {

namespace {

constexpr std::uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;
constexpr std::size_t kEntrySize = 12;

// Reads the TIFF block's numbers in its own byte order; every read is checked against the
// block's end by the caller.
class TiffReader {
 public:
  TiffReader(const std::uint8_t* data, std::size_t size, bool bigEndian)
      : data_(data), size_(size), bigEndian_(bigEndian) {}

  bool Has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  std::uint16_t U16(std::size_t at) const {
    return bigEndian_ ? static_cast<std::uint16_t>(data_[at] << 8 | data_[at + 1])
                      : static_cast<std::uint16_t>(data_[at + 1] << 8 | data_[at]);
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint32_t high = U16(bigEndian_ ? at : at + 2);
    const std::uint32_t low = U16(bigEndian_ ? at + 2 : at);
    return high << 16 | low;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  bool bigEndian_;
};

}  // namespace

TOrientation ExifOrientation(const std::uint8_t* data, std::size_t size) {
  constexpr TOrientation kNone = TOrientation::TopLeft;
  if (data == nullptr || size < sizeof kExifHeader + 8) return kNone;
  if (std::memcmp(data, kExifHeader, sizeof kExifHeader) != 0) return kNone;
  const std::uint8_t* tiff = data + sizeof kExifHeader;
  const std::size_t tiffSize = size - sizeof kExifHeader;

  bool bigEndian = false;
  if (tiff[0] == 'M' && tiff[1] == 'M') {
    bigEndian = true;
  } else if (!(tiff[0] == 'I' && tiff[1] == 'I')) {
    return kNone;
  }
  const TiffReader reader(tiff, tiffSize, bigEndian);
  if (reader.U16(2) != 42) return kNone;

  // The first directory: a count, then entries of tag, type, count and value.
  const std::uint64_t directory = reader.U32(4);
  if (!reader.Has(directory, 2)) return kNone;
  const std::uint16_t entries = reader.U16(static_cast<std::size_t>(directory));
  for (std::uint64_t i = 0; i < entries; ++i) {
    const std::uint64_t entry = directory + 2 + i * kEntrySize;
    if (!reader.Has(entry, kEntrySize)) return kNone;
    const auto at = static_cast<std::size_t>(entry);
    if (reader.U16(at) != kOrientationTag) continue;
    // A SHORT with one value is held in the first two bytes of the value field.
    if (reader.U16(at + 2) != kShortType || reader.U32(at + 4) != 1) return kNone;
    const std::uint16_t value = reader.U16(at + 8);
    if (value < 1 || value > 8) return kNone;
    return static_cast<TOrientation>(value);
  }
  return kNone;
}

TPlacement PlacementFor(TOrientation o, int storedWidth, int storedHeight, int bytesPerPixel,
                        std::ptrdiff_t uprightRowStep) {
  const std::ptrdiff_t b = bytesPerPixel;
  const std::ptrdiff_t r = uprightRowStep;
  const std::ptrdiff_t lastX = storedWidth > 0 ? storedWidth - 1 : 0;
  const std::ptrdiff_t lastY = storedHeight > 0 ? storedHeight - 1 : 0;
  // Stored pixel (x, y) goes to upright column ux and row uy; its address is uy * r + ux * b.
  switch (o) {
    case TOrientation::TopRight:  // (lastX - x, y)
      return {lastX * b, r, -b};
    case TOrientation::BottomRight:  // (lastX - x, lastY - y)
      return {lastX * b + lastY * r, -r, -b};
    case TOrientation::BottomLeft:  // (x, lastY - y)
      return {lastY * r, -r, b};
    case TOrientation::LeftTop:  // (y, x)
      return {0, b, r};
    case TOrientation::RightTop:  // (lastY - y, x)
      return {lastY * b, -b, r};
    case TOrientation::RightBottom:  // (lastY - y, lastX - x)
      return {lastY * b + lastX * r, -b, -r};
    case TOrientation::LeftBottom:  // (y, lastX - x)
      return {lastX * r, b, -r};
    case TOrientation::TopLeft:
      break;
  }
  return {0, r, b};
}

}  // namespace jpeg
