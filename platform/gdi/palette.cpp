// Palettes: the fixed system (halftone) palette of an 8-bit screen, the 16-colour system
// palette, logical palettes and nearest-colour matching.
#include <algorithm>
#include <cstring>

#include "platform/gdi/internal.h"

namespace win::gdi {
namespace {

constexpr PALETTEENTRY kStaticLow[10] = {
    {0, 0, 0, 0},     {128, 0, 0, 0},   {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
};
constexpr PALETTEENTRY kStaticHigh[10] = {
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},
    {0, 255, 0, 0},     {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},
    {0, 255, 255, 0},   {255, 255, 255, 0},
};

std::vector<PALETTEENTRY> BuildHalftone() {
  std::vector<PALETTEENTRY> e;
  e.reserve(256);
  for (const auto& p : kStaticLow) e.push_back(p);
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) e.push_back({BYTE(r * 51), BYTE(g * 51), BYTE(b * 51), 0});
    }
  }
  // Grays between the cube's levels fill the rest, so gray ramps reduce smoothly.
  for (int i = 0; i < 20; ++i) {
    int step = i / 4, k = i % 4;  // four grays inside each of the five gaps of 51
    BYTE v = BYTE(step * 51 + (k + 1) * 51 / 5);
    e.push_back({v, v, v, 0});
  }
  for (const auto& p : kStaticHigh) e.push_back(p);
  return e;
}

}  // namespace

const std::vector<PALETTEENTRY>& HalftoneEntries() {
  static const std::vector<PALETTEENTRY> entries = BuildHalftone();
  return entries;
}

const std::vector<PALETTEENTRY>& VgaEntries() {
  static const std::vector<PALETTEENTRY> entries = {
      {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
      {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
      {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
      {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0},
  };
  return entries;
}

std::vector<std::uint32_t> RgbTable(const std::vector<PALETTEENTRY>& entries) {
  std::vector<std::uint32_t> t;
  t.reserve(entries.size());
  for (const auto& e : entries) t.push_back(RgbFromEntry(e));
  return t;
}

// Euclidean distance in RGB; the lowest index wins a tie.
std::uint32_t NearestIndex(const std::vector<std::uint32_t>& table, std::uint32_t rgb) {
  int r = int(rgb >> 16) & 0xFF, g = int(rgb >> 8) & 0xFF, b = int(rgb) & 0xFF;
  std::uint32_t best = 0;
  int bestDistance = 1 << 30;
  for (std::size_t i = 0; i < table.size(); ++i) {
    int dr = int(table[i] >> 16 & 0xFF) - r;
    int dg = int(table[i] >> 8 & 0xFF) - g;
    int db = int(table[i] & 0xFF) - b;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = std::uint32_t(i);
      if (d == 0) break;
    }
  }
  return best;
}

ColorMatcher::ColorMatcher(const std::vector<std::uint32_t>& table)
    : table_(table), cacheKey_(4096, 0), cacheValue_(4096, 0) {}

std::uint32_t ColorMatcher::Nearest(std::uint32_t rgb) {
  rgb &= 0xFFFFFF;
  std::uint32_t slot = (rgb ^ (rgb >> 12) ^ (rgb >> 7)) & 4095;
  if (cacheKey_[slot] == rgb + 1) return cacheValue_[slot];
  std::uint32_t index = NearestIndex(table_, rgb);
  cacheKey_[slot] = rgb + 1;
  cacheValue_[slot] = std::uint16_t(index);
  return index;
}

std::uint32_t ResolveColor(const Dc* dc, COLORREF color) {
  if ((color >> 24) == 0x01) {  // PALETTEINDEX
    const Palette* p = dc ? dc->state.palette : nullptr;
    std::size_t i = color & 0xFFFF;
    if (p && i < p->entries.size()) return RgbFromEntry(p->entries[i]);
    return kRgbBlack;
  }
  return RgbFromColorRef(color & 0xFFFFFF);
}

}  // namespace win::gdi

namespace win {
using namespace gdi;

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palVersion != 0x300 || palette->palNumEntries == 0 ||
      palette->palNumEntries > 256) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto p = std::make_unique<Palette>();
  p->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return static_cast<HPALETTE>(Register(std::move(p)));
}

HPALETTE CreateHalftonePalette(HDC) {
  auto p = std::make_unique<Palette>();
  p->entries = HalftoneEntries();
  return static_cast<HPALETTE>(Register(std::move(p)));
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
  auto* p = FindAs<Palette>(palette);
  if (!p) {
    SetError(ERROR_INVALID_HANDLE);
    return 0;
  }
  UINT size = UINT(p->entries.size());
  if (!entries) return size;
  if (start >= size) return 0;
  UINT n = std::min(count, size - start);
  std::memcpy(entries, p->entries.data() + start, n * sizeof(PALETTEENTRY));
  return n;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
  auto* p = FindAs<Palette>(palette);
  if (!p) {
    SetError(ERROR_INVALID_HANDLE);
    return CLR_INVALID;
  }
  return NearestIndex(RgbTable(p->entries), RgbFromColorRef(color & 0xFFFFFF));
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
  auto* d = FindAs<Dc>(dc);
  auto* p = FindAs<Palette>(palette);
  if (!d || !p) {
    SetError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  Palette* old = d->state.palette;
  if (old == p) return palette;
  Acquire(p, d);
  d->state.palette = p;
  d->state.paletteRealized = false;
  HPALETTE result = static_cast<HPALETTE>(HandleOf(old));
  Release(old);  // may delete a palette whose deletion was deferred; the handle is still unique
  return result;
}

UINT RealizePalette(HDC dc) {
  auto* d = FindAs<Dc>(dc);
  if (!d) {
    SetError(ERROR_INVALID_HANDLE);
    return GDI_ERROR;
  }
  d->state.paletteRealized = true;
  if (ScreenDepth() > 8 || !d->state.palette || d->state.palette->stock) return 0;
  return UINT(d->state.palette->entries.size());
}

UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) {
  if (!FindAs<Dc>(dc)) {
    SetError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (ScreenDepth() != 8) return 0;
  const auto& e = HalftoneEntries();
  if (!entries) return UINT(e.size());
  if (start >= e.size()) return 0;
  UINT n = std::min<UINT>(count, UINT(e.size()) - start);
  std::memcpy(entries, e.data() + start, n * sizeof(PALETTEENTRY));
  return n;
}

}  // namespace win
