// TRzPanel: a custom-drawn panel with flat, bold or rounded borders and a solid or gradient
// interior. It shows no caption; its children are aligned inside its borders.
#pragma once

#include "ui/controls.h"
#include "widgets/panel_paint.h"

class TRzPanel : public TCustomControl {
 public:
  explicit TRzPanel(TComponent* owner);
  const char* ClassName() const override { return "TRzPanel"; }

  TFrameStyleEx BorderOuter() const { return look_.borderOuter; }
  void SetBorderOuter(TFrameStyleEx value) { Change(look_.borderOuter, value, true); }
  TFrameStyleEx BorderInner() const { return look_.borderInner; }
  void SetBorderInner(TFrameStyleEx value) { Change(look_.borderInner, value, true); }
  int BorderWidth() const { return look_.borderWidth; }
  void SetBorderWidth(int value) { Change(look_.borderWidth, value < 0 ? 0 : value, true); }
  TSides BorderSides() const { return look_.borderSides; }
  void SetBorderSides(TSides value) { Change(look_.borderSides, value, true); }
  TColor BorderColor() const { return look_.borderColor; }
  void SetBorderColor(TColor value) { Change(look_.borderColor, value); }
  TColor BorderHighlight() const { return look_.borderHighlight; }
  void SetBorderHighlight(TColor value) { Change(look_.borderHighlight, value); }
  TColor BorderShadow() const { return look_.borderShadow; }
  void SetBorderShadow(TColor value) { Change(look_.borderShadow, value); }
  TColor FlatColor() const { return look_.flatColor; }
  void SetFlatColor(TColor value) { Change(look_.flatColor, value); }
  int FlatColorAdjustment() const { return look_.flatColorAdjustment; }
  void SetFlatColorAdjustment(int value) { Change(look_.flatColorAdjustment, value); }
  TVisualStyle VisualStyle() const { return look_.visualStyle; }
  void SetVisualStyle(TVisualStyle value) { Change(look_.visualStyle, value); }
  TGradientColorStyle GradientColorStyle() const { return look_.gradientColorStyle; }
  void SetGradientColorStyle(TGradientColorStyle value) { Change(look_.gradientColorStyle, value); }
  TColor GradientColorStart() const { return look_.gradientColorStart; }
  void SetGradientColorStart(TColor value) { Change(look_.gradientColorStart, value); }
  TColor GradientColorStop() const { return look_.gradientColorStop; }
  void SetGradientColorStop(TColor value) { Change(look_.gradientColorStop, value); }
  TGradientDirection GradientDirection() const { return look_.gradientDirection; }
  void SetGradientDirection(TGradientDirection value) { Change(look_.gradientDirection, value); }
  // A transparent panel starts from its parent's pixels and paints only its borders.
  bool Transparent() const { return look_.transparent; }
  void SetTransparent(bool value);

  // The settings as one value, with Color() as the interior colour.
  TPanelLook Look() const;

  void AdjustClientRect(win::RECT& rect) const override;

  // After the panel has painted itself, with the panel as sender; draws on Canvas().
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;

 private:
  template <class T>
  void Change(T& field, T value, bool realign = false) {
    if (field == value) return;
    field = value;
    if (realign) Realign();
    Invalidate();
  }

  TPanelLook look_;
};
