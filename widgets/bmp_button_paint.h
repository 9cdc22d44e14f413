// The bitmap button (TRzBmpButton): sizing to its Up bitmap, the choice of the face for the
// state, the embossed face made from Up for the disabled state, and drawing the face with its
// transparent colour masked out so the parent painted behind shows through.
#pragma once

#include <cstdint>
#include <optional>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/colors.h"

enum class TButtonBorder : std::uint8_t { bbNone, bbSingle, bbButton };
enum class TButtonSize : std::uint8_t { bszNeither, bszButtonToBitmap };
enum class TBmpButtonState : std::uint8_t { bsUp, bsDisabled, bsDown, bsStayDown };
enum class TBmpButtonFace : std::uint8_t {
  Up,
  Down,
  Hot,
  Disabled,
  StayDown,
  UpAndFocused,
  Embossed  // made from Up: no Disabled bitmap was given
};

// The six faces; any may be missing or empty. Not owned.
struct TBmpButtonFaces {
  TBitmap* up = nullptr;
  TBitmap* down = nullptr;
  TBitmap* hot = nullptr;
  TBitmap* disabled = nullptr;
  TBitmap* stayDown = nullptr;
  TBitmap* upAndFocused = nullptr;

  TBitmap* Get(TBmpButtonFace face) const;
};

// Width of the button's own border around the bitmap.
int BmpButtonBorderWidth(TButtonBorder border, bool newStyleControls = true);
// With bszButtonToBitmap the size of Up plus the border on each side; none while Up is empty
// (the button keeps its size) or for bszNeither.
std::optional<win::SIZE> BmpButtonSizeFor(TButtonSize sizing, TButtonBorder border,
                                          const TBitmap* up, bool newStyleControls = true);

// Which face shows: Hot over Up while the mouse is over; UpAndFocused when focused and
// ShowFocus; Down, StayDown and Disabled with fallbacks to the next plainer face.
TBmpButtonFace ChooseBmpButtonFace(const TBmpButtonFaces& faces, TBmpButtonState state,
                                   bool mouseOver, bool focused, bool showFocus);

// The disabled face made from `up`: its silhouette (every pixel that is not the transparent
// colour) in white one pixel down and right, then in the button-shadow colour, on a button-face
// background. The result has up's size.
void MakeEmbossedFace(TBitmap& up, TColor transparentColor, TBitmap& out);

// Draws `face` at (x, y) on the canvas, leaving every pixel exactly equal to the resolved
// transparent colour untouched, so what is behind shows through.
void DrawMasked(TCanvas& canvas, int x, int y, TBitmap& face, TColor transparentColor);
