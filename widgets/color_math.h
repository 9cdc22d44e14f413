// Colour arithmetic of the styled widgets: hue/saturation/luminance on the 0-240 scale, the
// luminance shifts that make frame, face and ring colours, and channel blending.
#pragma once

#include "imaging/colors.h"
#include "platform/gdi/gdi.h"

// Hue, saturation and luminance, each a byte on a 0-240 scale. A shifted luminance may go up to
// 255; FromHsl saturates the channels then.
struct THsl {
  int hue = 0;
  int saturation = 0;
  int luminance = 0;
  bool operator==(const THsl&) const = default;
};

// Resolves the colour (system colours through GetSysColor) before converting.
THsl ToHsl(TColor color);
// Back to a direct colour. The hue is divided by 239, not 240, so hue 239 lands on red again.
win::COLORREF FromHsl(int hue, int saturation, int luminance);
inline win::COLORREF FromHsl(const THsl& hsl) {
  return FromHsl(hsl.hue, hsl.saturation, hsl.luminance);
}

// Luminance up by amount, capped at 255 (beyond the 240 scale, so a light colour turns white).
win::COLORREF LightenColor(TColor color, int amount);
// Luminance down by amount, floored at 0.
win::COLORREF DarkenColor(TColor color, int amount);
// Lighten for a positive amount, darken for a negative one; the resolved colour for 0.
win::COLORREF ShiftLuminance(TColor color, int amount);
// Per channel a * w + b * (1 - w) with w = weight / 255 (clamped to 0-255), rounded to nearest.
win::COLORREF BlendColor(TColor a, TColor b, int weight);
