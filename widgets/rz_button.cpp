#include "widgets/rz_button.h"

#include "ui/text.h"

namespace {

constexpr std::uint16_t kSpace = 0x20;

}  // namespace

TRzButton::TRzButton(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
}

TButtonState TRzButton::PaintState() const {
  TButtonState s;
  s.enabled = Enabled();
  s.mouseOver = hotTrack_ && mouseOver_;
  s.pressed = tracker_.Pressed();
  s.focused = Focused();
  return s;
}

void TRzButton::Paint() {
  TCanvas& canvas = Canvas();
  TButtonLook look = look_;
  look.color = Color();
  look.parentColor = Parent() != nullptr ? Parent()->Color() : clBtnFace;
  const AnsiString caption = Caption();
  TFont& font = Font();
  const TVerticalAlignment align = look.alignmentVertical;
  PaintButton(canvas, ClientRect(), look, PaintState(), font.Color(),
              [&](TCanvas& c, const win::RECT& client, win::COLORREF color) {
                if (caption.empty()) return;
                c.Font().CopyFrom(&font);
                c.Font().SetColor(color);
                const int width = client.right - client.left - 10;
                const int height = ui::CaptionHeight(c.Font(), caption, width);
                ui::DrawCaption(c, caption, ButtonTextRect(client, height, align),
                                ui::tfCenter | ui::tfWordBreak | ui::tfExpandTabs);
              });
}

void TRzButton::Apply(TPressResult result) {
  if (result.repaint) Invalidate();
  if (result.click) Click();  // last: the handler may destroy this button
}

void TRzButton::SetEnabled(bool value) {
  if (!value) tracker_.Cancel();
  TCustomControl::SetEnabled(value);
  Invalidate();
}

void TRzButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  // The press is ours to turn into a click (on release inside, by the tracker's rules).
  clickPending_ = false;
  if (button == TMouseButton::mbLeft && Enabled()) {
    if (!Focused() && CanFocus()) SetFocus();
    Apply(tracker_.LeftDown(Focused()));
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TRzButton::MouseMove(TShiftState shift, int x, int y) {
  Apply(tracker_.Move(InsideClient(x, y, Width(), Height())));
  TCustomControl::MouseMove(shift, x, y);
}

void TRzButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != TMouseButton::mbLeft) {
    TCustomControl::MouseUp(button, shift, x, y);
    return;
  }
  const TPressResult result = tracker_.LeftUp(InsideClient(x, y, Width(), Height()));
  TDestroyGuard guard(*this);
  TCustomControl::MouseUp(button, shift, x, y);
  if (!guard.Destroyed()) Apply(result);
}

void TRzButton::MouseEnter() {
  mouseOver_ = true;
  if (hotTrack_) Invalidate();
  TCustomControl::MouseEnter();
}

void TRzButton::MouseLeave() {
  mouseOver_ = false;
  if (hotTrack_) Invalidate();
  TCustomControl::MouseLeave();
}

void TRzButton::CancelMode() {
  Apply(tracker_.Cancel());
  TCustomControl::CancelMode();
}

void TRzButton::KeyDown(std::uint16_t& key, TShiftState shift) {
  if (key == kSpace && !shift.Contains(TShiftStateItem::ssAlt)) {
    Apply(tracker_.SpaceDown());
    key = 0;
    return;
  }
  TCustomControl::KeyDown(key, shift);
}

void TRzButton::KeyUp(std::uint16_t& key, TShiftState shift) {
  if (key == kSpace) {
    key = 0;
    Apply(tracker_.SpaceUp());
    return;
  }
  TCustomControl::KeyUp(key, shift);
}

void TRzButton::DoEnter() {
  Invalidate();
  TCustomControl::DoEnter();
}

void TRzButton::DoExit() {
  Apply(tracker_.Cancel());
  Invalidate();
  TCustomControl::DoExit();
}
