// TRzURLLabel: a link label. A click runs OnClick first, then opens the label's URL (or, with
// none, its caption) through the shell; the label turns to its visited colour only when the
// shell reports success. The pointer is the hand cursor (26000) over it.
#pragma once

#include "ui/stdctrls.h"

// The cursor number link labels use; registered as the hand cursor with the first label.
inline constexpr TCursor crLinkHand = 26000;

class TRzURLLabel : public TLabel {
 public:
  explicit TRzURLLabel(TComponent* owner);
  const char* ClassName() const override { return "TRzURLLabel"; }

  const AnsiString& URL() const { return url_; }
  void SetURL(const AnsiString& value) { url_ = value; }
  bool Visited() const { return visited_; }
  void SetVisited(bool value);
  TColor UnvisitedColor() const { return unvisitedColor_; }
  void SetUnvisitedColor(TColor value);
  TColor VisitedColor() const { return visitedColor_; }
  void SetVisitedColor(TColor value);

  void Click() override;

 private:
  void ApplyColor();

  AnsiString url_;
  bool visited_ = false;
  TColor unvisitedColor_ = clHighlight;
  TColor visitedColor_ = clPurple;
};
