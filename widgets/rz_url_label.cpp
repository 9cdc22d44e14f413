#include "widgets/rz_url_label.h"

#include "platform/shell/shell.h"
#include "widgets/list_hints.h"

TRzURLLabel::TRzURLLabel(TComponent* owner) : TLabel(owner) {
  static const bool registered = (ui::RegisterCursor(crLinkHand, crHandPoint), true);
  (void)registered;
  SetCursor(crLinkHand);
  Font().SetStyle(Font().Style().With(TFontStyle::fsUnderline));
  ApplyColor();
}

void TRzURLLabel::ApplyColor() {
  Font().SetColor(visited_ ? visitedColor_ : unvisitedColor_);
}

void TRzURLLabel::SetVisited(bool value) {
  if (visited_ == value) return;
  visited_ = value;
  ApplyColor();
  Invalidate();
}

void TRzURLLabel::SetUnvisitedColor(TColor value) {
  if (unvisitedColor_ == value) return;
  unvisitedColor_ = value;
  if (!visited_) ApplyColor();
}

void TRzURLLabel::SetVisitedColor(TColor value) {
  if (visitedColor_ == value) return;
  visitedColor_ = value;
  if (visited_) ApplyColor();
}

void TRzURLLabel::Click() {
  TDestroyGuard guard(*this);
  TLabel::Click();
  if (guard.Destroyed()) return;
  const AnsiString target = LinkTarget(url_, Caption());
  if (target.empty()) return;
  const auto result = reinterpret_cast<std::intptr_t>(
      win::ShellExecuteA(nullptr, "Open", target.c_str(), nullptr, nullptr, win::SW_SHOWNORMAL));
  // Windows would offer to pick a program for a failed ".htm" target; Linux has no such
  // dialog, so a failure leaves the label as it was.
  if (result > 32) SetVisited(true);
}
