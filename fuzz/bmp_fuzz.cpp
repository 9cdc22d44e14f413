// Any bytes as a BMP file, and the same bytes after the file header as a bitmap resource.
// Every failure must be one of the program's own exceptions; nothing may crash, leak or read
// out of bounds. An image that was read is written and read again: the second reading must
// succeed and give the same size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

constexpr std::size_t kFileHeader = 14;

std::int64_t Le(const std::uint8_t* p, int bytes) {
  std::int64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// A forged header may claim an image of up to 2 GB that a few bytes fill; allocating and
// decoding that much for every such input would make the run slow without finding more.
// Claims the reader refuses anyway (over 2^31 - 1 bytes) still go through.
bool TooLargeToTry(const std::uint8_t* info, std::size_t size) {
  if (size < 12) return false;
  const std::int64_t headerSize = Le(info, 4);
  std::int64_t width, height, bits;
  if (headerSize == 12) {
    width = Le(info + 4, 2);
    height = Le(info + 6, 2);
    bits = Le(info + 10, 2);
  } else {
    if (size < 16) return false;
    width = std::int32_t(Le(info + 4, 4));
    height = std::int32_t(Le(info + 8, 4));
    bits = Le(info + 14, 2);
  }
  // Forged fields multiply beyond 64 bits: estimate in floating point.
  const double w = double(std::llabs(width));
  const double h = double(std::llabs(height));
  const double dibBytes = w * double(bits == 0 ? 1 : bits) / 8 * h;
  if (dibBytes > double(std::numeric_limits<std::int32_t>::max())) return false;
  return w * h > double(1 << 20);
}

void CheckRoundTrip(TBitmap& bitmap) {
  if (bitmap.IsEmpty()) return;
  TMemoryStream written;
  bitmap.WriteToStream(written);
  written.SetPosition(0);
  TBitmap again;
  again.ReadFromStream(written);
  if (again.Width() != bitmap.Width() || again.Height() != bitmap.Height()) __builtin_trap();
}

void Try(const std::uint8_t* data, std::size_t size, bool resource) {
  TBitmap bitmap;
  try {
    if (resource) {
      bitmap.LoadFromResourceData(data, size);
    } else {
      TMemoryStream stream;
      if (size > 0) stream.WriteBuffer(data, std::int32_t(size));
      stream.SetPosition(0);
      bitmap.ReadFromStream(stream);
    }
  } catch (const Exception&) {
    // EInvalidGraphic, EReadError, EOSError, EOutOfMemory: the program's answers to bad data.
    return;
  }
  CheckRoundTrip(bitmap);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (std::size_t{1} << 24)) return 0;
  if (size >= kFileHeader && !TooLargeToTry(data + kFileHeader, size - kFileHeader)) {
    Try(data, size, false);
    Try(data + kFileHeader, size - kFileHeader, true);
  }
  return 0;
}
