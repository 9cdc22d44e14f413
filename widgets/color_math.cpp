#include "widgets/color_math.h"

#include <algorithm>
#include <cmath>

namespace {

// std::nearbyint rounds halves to even under the default rounding mode, as the 240-scale
// conversion expects.
int RoundEven(double v) {
  return int(std::nearbyint(v));
}

int Channel(double v) {
  return RoundEven(std::min(v, 1.0) * 255.0);
}

win::COLORREF ShiftedLuminance(TColor color, int amount) {
  THsl hsl = ToHsl(color);
  hsl.luminance = std::clamp(hsl.luminance + amount, 0, 255);
  return FromHsl(hsl);
}

}  // namespace

THsl ToHsl(TColor color) {
  const win::COLORREF c = ColorToRGB(color);
  const double r = win::GetRValue(c) / 255.0;
  const double g = win::GetGValue(c) / 255.0;
  const double b = win::GetBValue(c) / 255.0;
  const double max = std::max({r, g, b});
  const double min = std::min({r, g, b});
  const double l = (max + min) / 2;
  double h = 0;
  double s = 0;
  if (max != min) {
    const double d = max - min;
    s = l >= 0.5 ? d / (2 - max - min) : d / (max + min);
    if (r == max)
      h = (g - b) / d;
    else if (g == max)
      h = (b - r) / d + 2;
    else
      h = (r - g) / d + 4;
    h /= 6;
    if (h < 0) h += 1;
  }
  return {RoundEven(h * 240), RoundEven(s * 240), RoundEven(l * 240)};
}

win::COLORREF FromHsl(int hue, int saturation, int luminance) {
  const double l = luminance / 240.0;
  const double s = saturation / 240.0;
  const double v = l < 0.5 ? l * (1 + s) : l + s - l * s;
  if (v <= 0) return win::RGB(0, 0, 0);
  const double m = 2 * l - v;
  const double h6 = hue / 239.0 * 6;
  const int sextant = int(h6);
  const double f = h6 - sextant;
  const double x = v * ((v - m) / v) * f;
  const double mid1 = m + x;
  const double mid2 = v - x;
  double r = v, g = mid1, b = m;  // sextant 0, also for anything out of range
  switch (sextant) {
    case 1:
      r = mid2, g = v, b = m;
      break;
    case 2:
      r = m, g = v, b = mid1;
      break;
    case 3:
      r = m, g = mid2, b = v;
      break;
    case 4:
      r = mid1, g = m, b = v;
      break;
    case 5:
      r = v, g = m, b = mid2;
      break;
    default:
      break;
  }
  return win::RGB(win::BYTE(Channel(r)), win::BYTE(Channel(g)), win::BYTE(Channel(b)));
}

win::COLORREF LightenColor(TColor color, int amount) {
  return ShiftedLuminance(color, amount);
}

win::COLORREF DarkenColor(TColor color, int amount) {
  return ShiftedLuminance(color, -amount);
}

win::COLORREF ShiftLuminance(TColor color, int amount) {
  if (amount == 0) return ColorToRGB(color);
  return amount > 0 ? LightenColor(color, amount) : DarkenColor(color, -amount);
}

win::COLORREF BlendColor(TColor a, TColor b, int weight) {
  const int w = std::clamp(weight, 0, 255);
  const win::COLORREF ca = ColorToRGB(a);
  const win::COLORREF cb = ColorToRGB(b);
  // The exact value n / 255 is never halfway between integers, so plain rounding suffices.
  auto mix = [w](int x, int y) { return win::BYTE((2 * (x * w + y * (255 - w)) + 255) / 510); };
  return win::RGB(mix(win::GetRValue(ca), win::GetRValue(cb)),
                  mix(win::GetGValue(ca), win::GetGValue(cb)),
                  mix(win::GetBValue(ca), win::GetBValue(cb)));
}
