// Any bytes as a metafile file (enhanced or placeable), and as the bits of both kinds of metafile
// handle. Every failure must be one of the program's own exceptions; nothing may crash, leak or
// read out of bounds. A metafile that was read writes itself back so that it reads again with the
// same size, goes on the clipboard in its own form, and draws.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/metafile.h"
#include "platform/gdi/metafile.h"
#include "platform/user/clipboard.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"

namespace {

// The handle layer on its own: whatever it takes, it gives back unchanged.
void Handles(const std::uint8_t* data, std::size_t size) {
  const auto count = win::UINT(size);
  if (win::HENHMETAFILE enhanced = win::SetEnhMetaFileBits(count, data)) {
    const win::UINT length = win::GetEnhMetaFileBits(enhanced, 0, nullptr);
    std::vector<win::BYTE> bits(length);
    if (length == 0 || length > size ||
        win::GetEnhMetaFileBits(enhanced, length, bits.data()) != length ||
        !std::equal(bits.begin(), bits.end(), data))
      __builtin_trap();
    win::ENHMETAHEADER header;
    win::GetEnhMetaFileHeader(enhanced, sizeof header, &header);
    if (!win::DeleteEnhMetaFile(enhanced)) __builtin_trap();
  }
  if (win::HMETAFILE metafile = win::SetMetaFileBitsEx(count, data)) {
    const win::UINT length = win::GetMetaFileBitsEx(metafile, 0, nullptr);
    std::vector<win::BYTE> bits(length);
    if (length == 0 || length > size ||
        win::GetMetaFileBitsEx(metafile, length, bits.data()) != length ||
        !std::equal(bits.begin(), bits.end(), data))
      __builtin_trap();
    if (!win::DeleteMetaFile(metafile)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return 0;
  Handles(data, size);

  TMemoryStream stream;
  if (size > 0) stream.WriteBuffer(data, std::int32_t(size));
  stream.SetPosition(0);
  TMetafile metafile;
  try {
    metafile.ReadFromStream(stream);
  } catch (const Exception&) {
    // EInvalidGraphic, EReadError: the program's answers to bad data.
    if (!metafile.IsEmpty()) __builtin_trap();  // a failed read leaves the metafile as it was
    return 0;
  }
  const int width = metafile.Width();
  const int height = metafile.Height();
  metafile.MMWidth();
  metafile.MMHeight();

  TMemoryStream written;
  metafile.WriteToStream(written);
  written.SetPosition(0);
  TMetafile again;
  again.ReadFromStream(written);
  if (again.Enhanced() != metafile.Enhanced() || again.Width() != width || again.Height() != height)
    __builtin_trap();

  // What was read, the clipboard's handles take.
  std::uint16_t format = 0;
  win::HANDLE handle = nullptr;
  win::HPALETTE palette = nullptr;
  metafile.WriteToClipboard(format, handle, palette);
  if (handle == nullptr) __builtin_trap();
  win::FreeClipboardData(format, handle);
  if (palette != nullptr) win::DeleteObject(palette);

  TBitmap surface;
  surface.SetWidth(16);
  surface.SetHeight(16);
  surface.Canvas().StretchDraw(win::RECT{0, 0, 16, 16}, &metafile);
  return 0;
}
