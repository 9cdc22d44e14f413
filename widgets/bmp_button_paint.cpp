#include "widgets/bmp_button_paint.h"

namespace {

bool Usable(const TBitmap* b) {
  return b != nullptr && !b->IsEmpty();
}

// Raster operation that leaves the destination as it is.
constexpr win::DWORD kKeepDest = 0x00AA0029;

// A monochrome mask of `source`, 1 where a pixel equals `key`, selected in a DC of its own.
class Mask {
 public:
  Mask(win::HDC source, int width, int height, win::COLORREF key) {
    dc_ = win::CreateCompatibleDC(source);
    bitmap_ = win::CreateBitmap(width, height, 1, 1, nullptr);
    if (!dc_ || !bitmap_) return;
    old_ = win::SelectObject(dc_, bitmap_);
    const win::COLORREF oldBack = win::SetBkColor(source, key);
    win::BitBlt(dc_, 0, 0, width, height, source, 0, 0, win::SRCCOPY);
    win::SetBkColor(source, oldBack);
  }
  ~Mask() {
    if (old_) win::SelectObject(dc_, old_);
    if (bitmap_) win::DeleteObject(bitmap_);
    if (dc_) win::DeleteDC(dc_);
  }
  Mask(const Mask&) = delete;
  Mask& operator=(const Mask&) = delete;

  bool Valid() const { return old_ != nullptr; }
  win::HDC Dc() const { return dc_; }
  win::HBITMAP Bitmap() const { return bitmap_; }

 private:
  win::HDC dc_ = nullptr;
  win::HBITMAP bitmap_ = nullptr;
  win::HGDIOBJ old_ = nullptr;
};

// Paints `color` wherever the mask is 0, at (x, y).
void PaintWhereClear(win::HDC dc, int x, int y, int width, int height, const Mask& mask,
                     TColor color) {
  win::HBRUSH brush = win::CreateSolidBrush(ColorToRGB(color));
  if (!brush) return;
  win::HGDIOBJ old = win::SelectObject(dc, brush);
  win::MaskBlt(dc, x, y, width, height, mask.Dc(), 0, 0, mask.Bitmap(), 0, 0,
               win::MAKEROP4(kKeepDest, win::PATCOPY));
  win::SelectObject(dc, old);
  win::DeleteObject(brush);
}

}  // namespace

TBitmap* TBmpButtonFaces::Get(TBmpButtonFace face) const {
  switch (face) {
    case TBmpButtonFace::Up:
      return up;
    case TBmpButtonFace::Down:
      return down;
    case TBmpButtonFace::Hot:
      return hot;
    case TBmpButtonFace::Disabled:
      return disabled;
    case TBmpButtonFace::StayDown:
      return stayDown;
    case TBmpButtonFace::UpAndFocused:
      return upAndFocused;
    case TBmpButtonFace::Embossed:
      return nullptr;
  }
  return nullptr;
}

int BmpButtonBorderWidth(TButtonBorder border, bool newStyleControls) {
  switch (border) {
    case TButtonBorder::bbNone:
      return 0;
    case TButtonBorder::bbSingle:
      return 1;
    case TButtonBorder::bbButton:
      return newStyleControls ? 2 : 3;
  }
  return 0;
}

std::optional<win::SIZE> BmpButtonSizeFor(TButtonSize sizing, TButtonBorder border,
                                          const TBitmap* up, bool newStyleControls) {
  if (sizing != TButtonSize::bszButtonToBitmap || !Usable(up)) return std::nullopt;
  const int b = BmpButtonBorderWidth(border, newStyleControls);
  return win::SIZE{up->Width() + 2 * b, up->Height() + 2 * b};
}

TBmpButtonFace ChooseBmpButtonFace(const TBmpButtonFaces& faces, TBmpButtonState state,
                                   bool mouseOver, bool focused, bool showFocus) {
  using enum TBmpButtonFace;
  switch (state) {
    case TBmpButtonState::bsUp:
      if (mouseOver && Usable(faces.hot)) return Hot;
      if (focused && showFocus && Usable(faces.upAndFocused)) return UpAndFocused;
      return Up;
    case TBmpButtonState::bsDown:
      return Usable(faces.down) ? Down : Up;
    case TBmpButtonState::bsStayDown:
      if (Usable(faces.stayDown)) return StayDown;
      return Usable(faces.down) ? Down : Up;
    case TBmpButtonState::bsDisabled:
      return Usable(faces.disabled) ? Disabled : Embossed;
  }
  return Up;
}

void MakeEmbossedFace(TBitmap& up, TColor transparentColor, TBitmap& out) {
  const int w = up.Width();
  const int h = up.Height();
  out.SetWidth(w);
  out.SetHeight(h);
  if (w == 0 || h == 0) return;
  TCanvas& target = out.Canvas();
  target.Brush().SetColor(clBtnFace);
  target.FillRect({0, 0, w, h});
  win::HDC dc = target.Handle();
  const Mask mask(up.Canvas().Handle(), w, h, ColorToRGB(transparentColor));
  if (!mask.Valid()) return;
  PaintWhereClear(dc, 1, 1, w, h, mask, clBtnHighlight);
  PaintWhereClear(dc, 0, 0, w, h, mask, clBtnShadow);
}

void DrawMasked(TCanvas& canvas, int x, int y, TBitmap& face, TColor transparentColor) {
  const int w = face.Width();
  const int h = face.Height();
  if (w == 0 || h == 0) return;
  win::HDC source = face.Canvas().Handle();
  const Mask mask(source, w, h, ColorToRGB(transparentColor));
  if (!mask.Valid()) return;
  // Where the mask is 1 (transparent) keep what is there, elsewhere copy the face.
  win::MaskBlt(canvas.Handle(), x, y, w, h, source, 0, 0, mask.Bitmap(), 0, 0,
               win::MAKEROP4(kKeepDest, win::SRCCOPY));
}
