#include "widgets/rz_button.h"

#include "ui/text.h"

namespace {

constexpr std::uint16_t kSpace = 0x20;

}  // namespace

TRzButton::TRzButton(TComponent* owner) : TPressButton(owner) {
  SetBounds(0, 0, 75, 25);
}

TButtonState TRzButton::PaintState() const {
  TButtonState s;
  s.enabled = Enabled();
  s.mouseOver = hotTrack_ && mouseOver_;
  s.pressed = Pressed();
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
                constexpr std::uint32_t kFormat = ui::tfCenter | ui::tfWordBreak | ui::tfExpandTabs;
                const int height = ui::CaptionHeight(c.Font(), caption, width, kFormat);
                ui::DrawCaption(c, caption, ButtonTextRect(client, height, align), kFormat);
              });
}

void TRzButton::MouseEnter() {
  mouseOver_ = true;
  if (hotTrack_) Invalidate();
  TPressButton::MouseEnter();
}

void TRzButton::MouseLeave() {
  mouseOver_ = false;
  if (hotTrack_) Invalidate();
  TPressButton::MouseLeave();
}

void TRzButton::KeyDown(std::uint16_t& key, TShiftState shift) {
  if (key == kSpace && !shift.Contains(TShiftStateItem::ssAlt)) {
    Apply(Tracker().SpaceDown());
    key = 0;
    return;
  }
  TPressButton::KeyDown(key, shift);
}

void TRzButton::KeyUp(std::uint16_t& key, TShiftState shift) {
  if (key == kSpace) {
    key = 0;
    Apply(Tracker().SpaceUp());
    return;
  }
  TPressButton::KeyUp(key, shift);
}

void TRzButton::DoEnter() {
  Invalidate();
  TPressButton::DoEnter();
}

void TRzButton::DoExit() {
  Apply(Tracker().Cancel());
  Invalidate();
  TPressButton::DoExit();
}
