#include "imaging/colors.h"

#include "platform/user/user.h"

win::COLORREF GetSysColor(int index) {
  return win::GetSysColor(index);
}

win::COLORREF ColorToRGB(TColor color) {
  const std::uint32_t kind = color >> 24;
  if (kind == 0xFF) return GetSysColor(int(color & 0xFF));
  if (kind <= 0x02) return color;  // direct, PALETTEINDEX, PALETTERGB
  return color & 0x00FFFFFF;
}
