// Four-component JPEG files for the tests, made with the library's compression interface
// directly (the command-line tools cannot make them). Include this header last: the library's
// headers define TRUE and FALSE as macros.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace jpegtest {

// A CMYK or YCCK file made with the library's compression interface directly (the tools
// cannot make one), from a grid of flat 16 x 16 blocks so the lossy round trip stays close.
inline std::vector<std::uint8_t> MakeFourComponent(
    const std::vector<std::array<std::uint8_t, 4>>& inks, bool adobeMarker, bool ycck,
    bool storeInverted) {
  jpeg_compress_struct c{};
  jpeg_error_mgr error{};
  c.err = jpeg_std_error(&error);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  const int blocks = static_cast<int>(inks.size());
  c.image_width = static_cast<JDIMENSION>(16 * blocks);
  c.image_height = 16;
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  if (ycck) jpeg_set_colorspace(&c, JCS_YCCK);
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = 1;
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].v_samp_factor = 1;
  c.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(c.image_width * 4);
  for (int x = 0; x < static_cast<int>(c.image_width); ++x)
    for (int k = 0; k < 4; ++k) {
      const std::uint8_t ink = inks[static_cast<std::size_t>(x / 16)][static_cast<std::size_t>(k)];
      row[static_cast<std::size_t>(4 * x + k)] = storeInverted ? 255 - ink : ink;
    }
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<std::uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return bytes;
}

}  // namespace jpegtest
