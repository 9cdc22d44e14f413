// Any bytes as an icon file. Every failure must be one of the program's own exceptions; nothing
// may crash, leak or read out of bounds. An icon that was read has pixels for every image, draws
// into a bitmap, and what it writes reads again as the same images.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/icon.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

bool SameEntries(const TIcon& a, const TIcon& b) {
  const auto x = a.Entries();
  const auto y = b.Entries();
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (x[i].width != y[i].width || x[i].height != y[i].height || x[i].bitCount != y[i].bitCount ||
        x[i].png != y[i].png)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;
  TMemoryStream stream;
  if (size > 0) stream.WriteBuffer(data, std::int32_t(size));
  stream.SetPosition(0);
  TIcon icon;
  try {
    icon.ReadFromStream(stream);
  } catch (const Exception&) {
    // EInvalidGraphic, EReadError, EOutOfMemory: the program's answers to bad data.
    if (!icon.IsEmpty()) __builtin_trap();  // a failed read leaves the icon as it was
    return 0;
  }
  const auto entries = icon.Entries();
  if (entries.empty() || icon.LargestEntry() < 0) __builtin_trap();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& pixels = icon.EntryPixels(int(i));
    if (pixels.size() != std::size_t(entries[i].width) * std::size_t(entries[i].height))
      __builtin_trap();
  }
  const auto& largest = entries[std::size_t(icon.LargestEntry())];
  if (icon.Width() != largest.width || icon.Height() != largest.height) __builtin_trap();

  // Drawn smaller than, and as large as, its first image.
  TBitmap surface;
  surface.SetWidth(24);
  surface.SetHeight(24);
  surface.Canvas().StretchDraw(win::RECT{1, 2, 20, 23}, &icon);

  TMemoryStream written;
  icon.WriteToStream(written);
  written.SetPosition(0);
  TIcon again;
  again.ReadFromStream(written);
  if (!SameEntries(icon, again)) __builtin_trap();
  return 0;
}
