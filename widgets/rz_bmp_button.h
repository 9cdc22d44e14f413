// TRzBmpButton: a button drawn entirely from bitmaps (Up, Down, Hot, Disabled, StayDown,
// UpAndFocused) with a transparent colour through which the parent shows. With
// bszButtonToBitmap it takes the size of its Up bitmap.
#pragma once

#include <memory>

#include "imaging/bitmap.h"
#include "ui/controls.h"
#include "widgets/bmp_button_paint.h"
#include "widgets/press_tracker.h"

class TRzBmpButton;

// The six faces; each may stay empty.
class TRzButtonBitmaps : public TPersistent, private TGraphicOwner {
 public:
  explicit TRzButtonBitmaps(TRzBmpButton& owner);
  const char* ClassName() const override { return "TRzButtonBitmaps"; }
  void CopyFrom(const TPersistent* source) override;

  TBitmap& Up() { return up_; }
  TBitmap& Down() { return down_; }
  TBitmap& Hot() { return hot_; }
  TBitmap& Disabled() { return disabled_; }
  TBitmap& StayDown() { return stayDown_; }
  TBitmap& UpAndFocused() { return upAndFocused_; }
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor value);

  TBmpButtonFaces Faces();

 private:
  void GraphicChanged(TGraphic& graphic) override;
  void GraphicProgress(TGraphic&, TObject*, TProgressStage, std::uint8_t, bool, const win::RECT&,
                       const AnsiString&) override {}

  TRzBmpButton& owner_;
  TBitmap up_, down_, hot_, disabled_, stayDown_, upAndFocused_;
  TColor transparentColor_ = clOlive;
};

class TRzBmpButton : public TPressButton {
 public:
  explicit TRzBmpButton(TComponent* owner);
  ~TRzBmpButton() override;
  const char* ClassName() const override { return "TRzBmpButton"; }

  TRzButtonBitmaps& Bitmaps() { return bitmaps_; }
  TButtonSize ButtonSize() const { return buttonSize_; }
  void SetButtonSize(TButtonSize value);
  TButtonBorder ButtonBorder() const { return buttonBorder_; }
  void SetButtonBorder(TButtonBorder value);
  bool ShowFocus() const { return showFocus_; }
  void SetShowFocus(bool value);
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int value) { modalResult_ = value; }

  // The face the next paint shows.
  TBmpButtonFace CurrentFace() const;
  TBmpButtonState State() const;

  void SetBounds(int left, int top, int width, int height) override;
  void Loaded() override;
  void MouseEnter() override;
  void MouseLeave() override;

 protected:
  void Paint() override;
  // At once: the pressed face shows while the button is held.
  void PressedLookChanged() override { Repaint(); }
  void DoEnter() override;
  void DoExit() override;

 private:
  friend class TRzButtonBitmaps;
  // A face changed: the size may follow Up, and the embossed face is made again.
  void BitmapsChanged();
  void AdjustSize();

  TRzButtonBitmaps bitmaps_;
  TBitmap embossed_;
  bool embossedValid_ = false;
  TButtonSize buttonSize_ = TButtonSize::bszButtonToBitmap;
  TButtonBorder buttonBorder_ = TButtonBorder::bbNone;
  bool showFocus_ = true;
  bool mouseOver_ = false;
  bool adjusting_ = false;
  int modalResult_ = 0;
};
