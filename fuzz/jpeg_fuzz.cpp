// Any bytes as the content of a JPEG file: loaded (header), then decoded into a bitmap the way
// the first paint or thumbnail does it. Every failure must be one of the program's own
// exceptions; nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "imaging/jpeg_image.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Small pictures only: a forged header may claim 65500 x 65500, and decoding the filler
  // rows of a picture that large would make every input slow without finding more.
  jpeg::SetMemoryLimit(8 << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;
  const auto count = static_cast<std::int32_t>(size);
  TMemoryStream stream;
  if (count > 0) stream.WriteBuffer(data, count);
  stream.SetPosition(0);
  TJPEGImage image;
  try {
    image.LoadJpegBytes(count, stream);
    TBitmap& bitmap = image.ObtainBitmap();
    // The decoded size must agree with the header's.
    if (bitmap.Width() != 0 && (bitmap.Width() != image.Data().StoredWidth ||
                                bitmap.Height() != image.Data().StoredHeight))
      __builtin_trap();
  } catch (const Exception&) {
    // EJPEG, EOutOfMemory: the program's answers to bad data.
  }
  return 0;
}
