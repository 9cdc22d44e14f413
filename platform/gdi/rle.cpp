// BI_RLE8 and BI_RLE4 decoding. The data comes from files, so every count is distrusted:
// reads stop at the end of the data, and pixels a run or a delta puts outside the image are
// dropped (the run still advances the position, so later runs land where the encoder meant).
#include <cstdint>
#include <vector>

#include "platform/gdi/internal.h"

namespace win::gdi {

bool DecodeRle(const std::uint8_t* data, std::size_t size, int bpp, int width, int height,
               std::vector<std::uint8_t>& indexes, std::vector<std::uint8_t>& written) {
  if ((bpp != 8 && bpp != 4) || width <= 0 || height <= 0 || (!data && size)) return false;
  std::size_t pixels = std::size_t(width) * std::size_t(height);
  indexes.assign(pixels, 0);
  written.assign(pixels, 0);
  // Positions are 64-bit so that any number of deltas cannot overflow them; y counts rows from
  // the bottom, as the data stores them.
  std::int64_t x = 0, y = 0;
  auto put = [&](std::uint8_t value) {
    if (x >= 0 && x < width && y >= 0 && y < height) {
      std::size_t at = std::size_t(height - 1 - y) * std::size_t(width) + std::size_t(x);
      indexes[at] = value;
      written[at] = 1;
    }
    ++x;
  };
  std::size_t i = 0;
  while (i + 2 <= size && y < height) {
    std::uint8_t count = data[i], value = data[i + 1];
    i += 2;
    if (count > 0) {  // encoded run: one index, or two alternating nibbles; clipped at the edge
      for (int k = 0; k < count && x < width; ++k) {
        put(bpp == 8 ? value : std::uint8_t(k & 1 ? value & 0x0F : value >> 4));
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return true;
      case 2:  // delta
        if (i + 2 > size) return true;
        x += data[i];
        y += data[i + 1];
        i += 2;
        break;
      default: {  // absolute run of `value` pixels, padded to an even number of bytes
        std::size_t n = value;
        std::size_t bytes = bpp == 8 ? n : (n + 1) / 2;
        for (std::size_t k = 0; k < n; ++k) {
          std::size_t at = i + (bpp == 8 ? k : k / 2);
          if (at >= size) return true;
          std::uint8_t b = data[at];
          put(bpp == 8 ? b : std::uint8_t(k & 1 ? b & 0x0F : b >> 4));
        }
        i += (bytes + 1) & ~std::size_t(1);
        break;
      }
    }
  }
  return true;
}

}  // namespace win::gdi
