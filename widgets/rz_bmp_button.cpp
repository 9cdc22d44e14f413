#include "widgets/rz_bmp_button.h"

#include "widgets/drawing.h"

// --- TRzButtonBitmaps --------------------------------------------------------------------

TRzButtonBitmaps::TRzButtonBitmaps(TRzBmpButton& owner) : owner_(owner) {
  for (TBitmap* b : {&up_, &down_, &hot_, &disabled_, &stayDown_, &upAndFocused_})
    b->SetOwner(this);
}

void TRzButtonBitmaps::GraphicChanged(TGraphic&) {
  owner_.BitmapsChanged();
}

void TRzButtonBitmaps::CopyFrom(const TPersistent* source) {
  const auto* other = dynamic_cast<const TRzButtonBitmaps*>(source);
  if (other == nullptr) {
    TPersistent::CopyFrom(source);
    return;
  }
  up_.CopyFrom(&other->up_);
  down_.CopyFrom(&other->down_);
  hot_.CopyFrom(&other->hot_);
  disabled_.CopyFrom(&other->disabled_);
  stayDown_.CopyFrom(&other->stayDown_);
  upAndFocused_.CopyFrom(&other->upAndFocused_);
  SetTransparentColor(other->transparentColor_);
}

void TRzButtonBitmaps::SetTransparentColor(TColor value) {
  if (transparentColor_ == value) return;
  transparentColor_ = value;
  owner_.BitmapsChanged();
}

TBmpButtonFaces TRzButtonBitmaps::Faces() {
  return {&up_, &down_, &hot_, &disabled_, &stayDown_, &upAndFocused_};
}

// --- TRzBmpButton ------------------------------------------------------------------------

TRzBmpButton::TRzBmpButton(TComponent* owner) : TPressButton(owner), bitmaps_(*this) {
  SetBounds(0, 0, 80, 30);
}

TRzBmpButton::~TRzBmpButton() {
  // The faces' notifications must not reach a half-destroyed button.
  for (TBitmap* b : {&bitmaps_.Up(), &bitmaps_.Down(), &bitmaps_.Hot(), &bitmaps_.Disabled(),
                     &bitmaps_.StayDown(), &bitmaps_.UpAndFocused()})
    b->SetOwner(nullptr);
}

void TRzBmpButton::SetButtonSize(TButtonSize value) {
  if (buttonSize_ == value) return;
  buttonSize_ = value;
  AdjustSize();
}

void TRzBmpButton::SetButtonBorder(TButtonBorder value) {
  if (buttonBorder_ == value) return;
  buttonBorder_ = value;
  AdjustSize();
  Invalidate();
}

void TRzBmpButton::SetShowFocus(bool value) {
  if (showFocus_ == value) return;
  showFocus_ = value;
  Invalidate();
}

TBmpButtonState TRzBmpButton::State() const {
  if (!Enabled()) return TBmpButtonState::bsDisabled;
  return Pressed() ? TBmpButtonState::bsDown : TBmpButtonState::bsUp;
}

TBmpButtonFace TRzBmpButton::CurrentFace() const {
  auto& faces = const_cast<TRzButtonBitmaps&>(bitmaps_);
  return ChooseBmpButtonFace(faces.Faces(), State(), mouseOver_, Focused(), showFocus_);
}

void TRzBmpButton::BitmapsChanged() {
  embossedValid_ = false;
  AdjustSize();
  Invalidate();
}

void TRzBmpButton::AdjustSize() {
  if (adjusting_) return;
  const auto size = BmpButtonSizeFor(buttonSize_, buttonBorder_, &bitmaps_.Up());
  if (!size || (size->cx == Width() && size->cy == Height())) return;
  adjusting_ = true;
  TPressButton::SetBounds(Left(), Top(), size->cx, size->cy);
  adjusting_ = false;
}

void TRzBmpButton::SetBounds(int left, int top, int width, int height) {
  TPressButton::SetBounds(left, top, width, height);
  AdjustSize();
}

void TRzBmpButton::Loaded() {
  TPressButton::Loaded();
  AdjustSize();
}

void TRzBmpButton::Paint() {
  const int w = Width();
  const int h = Height();
  if (w <= 0 || h <= 0) return;
  // Everything goes to an offscreen bitmap first, so parent and face reach the screen in one
  // copy.
  TBitmap offscreen;
  offscreen.SetColorDepth(TColorDepth::Depth32);
  offscreen.SetWidth(w);
  offscreen.SetHeight(h);
  TCanvas& off = offscreen.Canvas();
  off.Brush().SetColor(Color());
  off.FillRect({0, 0, w, h});
  if (buttonBorder_ == TButtonBorder::bbNone && Parent() != nullptr)
    Parent()->PaintTo(off.Handle(), -Left(), -Top());

  const int b = BmpButtonBorderWidth(buttonBorder_);
  if (b > 0) {
    const bool down = Pressed();
    DrawSides(off, {0, 0, w, h}, TSides::All(), down ? clBtnShadow : clBtnHighlight,
              down ? clBtnHighlight : cl3DDkShadow, b > 1 ? 2 : 1);
  }

  const TBmpButtonFace face = CurrentFace();
  TBitmap* image = bitmaps_.Faces().Get(face);
  if (face == TBmpButtonFace::Embossed && !bitmaps_.Up().IsEmpty()) {
    if (!embossedValid_) {
      MakeEmbossedFace(bitmaps_.Up(), bitmaps_.TransparentColor(), embossed_);
      embossedValid_ = true;
    }
    image = &embossed_;
  }
  if (image != nullptr && !image->IsEmpty())
    DrawMasked(off, b, b, *image, bitmaps_.TransparentColor());

  TCanvas& canvas = Canvas();
  win::BitBlt(canvas.Handle(), 0, 0, w, h, off.Handle(), 0, 0, win::SRCCOPY);
}

void TRzBmpButton::MouseEnter() {
  mouseOver_ = true;
  // Only a Hot face looks different under the mouse.
  if (!bitmaps_.Hot().IsEmpty()) Invalidate();
  TPressButton::MouseEnter();
}

void TRzBmpButton::MouseLeave() {
  mouseOver_ = false;
  if (!bitmaps_.Hot().IsEmpty()) Invalidate();
  TPressButton::MouseLeave();
}

void TRzBmpButton::DoEnter() {
  Invalidate();
  TPressButton::DoEnter();
}

void TRzBmpButton::DoExit() {
  Invalidate();
  TPressButton::DoExit();
}
