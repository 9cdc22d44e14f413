// Colour values as the image layer and the widgets store them.
//
// A TColor is 0x00BBGGRR for a direct colour; a value whose high byte is 0xFF names a system
// colour by its index in the low byte and is resolved when drawing; clNone and clDefault are
// markers that never reach a device context unresolved.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"

using TColor = std::uint32_t;

// Direct colours.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// System colour indexes (the classic Windows COLOR_* numbering).
inline constexpr int kColorScrollBar = 0;
inline constexpr int kColorBackground = 1;
inline constexpr int kColorActiveCaption = 2;
inline constexpr int kColorInactiveCaption = 3;
inline constexpr int kColorMenu = 4;
inline constexpr int kColorWindow = 5;
inline constexpr int kColorWindowFrame = 6;
inline constexpr int kColorMenuText = 7;
inline constexpr int kColorWindowText = 8;
inline constexpr int kColorCaptionText = 9;
inline constexpr int kColorActiveBorder = 10;
inline constexpr int kColorInactiveBorder = 11;
inline constexpr int kColorAppWorkspace = 12;
inline constexpr int kColorHighlight = 13;
inline constexpr int kColorHighlightText = 14;
inline constexpr int kColorBtnFace = 15;
inline constexpr int kColorBtnShadow = 16;
inline constexpr int kColorGrayText = 17;
inline constexpr int kColorBtnText = 18;
inline constexpr int kColorInactiveCaptionText = 19;
inline constexpr int kColorBtnHighlight = 20;
inline constexpr int kColor3DDkShadow = 21;
inline constexpr int kColor3DLight = 22;
inline constexpr int kColorInfoText = 23;
inline constexpr int kColorInfoBk = 24;
inline constexpr int kColorHotLight = 26;
inline constexpr int kColorGradientActiveCaption = 27;
inline constexpr int kColorGradientInactiveCaption = 28;
inline constexpr int kColorMenuHilight = 29;
inline constexpr int kColorMenuBar = 30;
inline constexpr int kSysColorCount = 31;

inline constexpr TColor kSystemColorFlag = 0xFF000000;
constexpr TColor SystemColor(int index) {
  return kSystemColorFlag | TColor(index);
}

inline constexpr TColor clScrollBar = SystemColor(kColorScrollBar);
inline constexpr TColor clBackground = SystemColor(kColorBackground);
inline constexpr TColor clActiveCaption = SystemColor(kColorActiveCaption);
inline constexpr TColor clInactiveCaption = SystemColor(kColorInactiveCaption);
inline constexpr TColor clMenu = SystemColor(kColorMenu);
inline constexpr TColor clWindow = SystemColor(kColorWindow);
inline constexpr TColor clWindowFrame = SystemColor(kColorWindowFrame);
inline constexpr TColor clMenuText = SystemColor(kColorMenuText);
inline constexpr TColor clWindowText = SystemColor(kColorWindowText);
inline constexpr TColor clCaptionText = SystemColor(kColorCaptionText);
inline constexpr TColor clActiveBorder = SystemColor(kColorActiveBorder);
inline constexpr TColor clInactiveBorder = SystemColor(kColorInactiveBorder);
inline constexpr TColor clAppWorkSpace = SystemColor(kColorAppWorkspace);
inline constexpr TColor clHighlight = SystemColor(kColorHighlight);
inline constexpr TColor clHighlightText = SystemColor(kColorHighlightText);
inline constexpr TColor clBtnFace = SystemColor(kColorBtnFace);
inline constexpr TColor clBtnShadow = SystemColor(kColorBtnShadow);
inline constexpr TColor clGrayText = SystemColor(kColorGrayText);
inline constexpr TColor clBtnText = SystemColor(kColorBtnText);
inline constexpr TColor clInactiveCaptionText = SystemColor(kColorInactiveCaptionText);
inline constexpr TColor clBtnHighlight = SystemColor(kColorBtnHighlight);
inline constexpr TColor cl3DDkShadow = SystemColor(kColor3DDkShadow);
inline constexpr TColor cl3DLight = SystemColor(kColor3DLight);
inline constexpr TColor clInfoText = SystemColor(kColorInfoText);
inline constexpr TColor clInfoBk = SystemColor(kColorInfoBk);
inline constexpr TColor clHotLight = SystemColor(kColorHotLight);
inline constexpr TColor clGradientActiveCaption = SystemColor(kColorGradientActiveCaption);
inline constexpr TColor clGradientInactiveCaption = SystemColor(kColorGradientInactiveCaption);
inline constexpr TColor clMenuHighlight = SystemColor(kColorMenuHilight);
inline constexpr TColor clMenuBar = SystemColor(kColorMenuBar);

// The colour the system shows for a system colour index (the classic Windows scheme, fixed:
// the program has no theme to follow). An unknown index gives black.
win::COLORREF GetSysColor(int index);

// Resolves a colour value to a COLORREF: system colours through GetSysColor; direct colours and
// the PALETTEINDEX / PALETTERGB forms as they are; any other marker (clNone, clDefault) to its
// low 24 bits, so a caller that draws one anyway gets a defined colour.
win::COLORREF ColorToRGB(TColor color);
