// The scroll box, the splitter and the picture view.
#pragma once

#include "imaging/image_view.h"
#include "ui/controls.h"

class QScrollBar;
class TScrollBox;

// One scroll bar of a scroll box: Position runs from 0 to Range less the visible part; a new
// position scrolls the contents by the difference.
class TControlScrollBar {
 public:
  TControlScrollBar(TScrollBox& box, TScrollBarKind kind) : box_(box), kind_(kind) {}
  TScrollBarKind Kind() const { return kind_; }
  int Increment() const { return increment_; }
  void SetIncrement(int value) { increment_ = std::max(value, 1); }
  int Position() const { return position_; }
  // Kept between 0 and the largest position (Range less the client extent).
  void SetPosition(int value);
  // The extent of the contents; with automatic ranges, the far edge of the furthest child.
  int Range() const { return range_; }
  void SetRange(int value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  // Whether the bar shows: visible and the range beyond the client extent.
  bool IsScrollBarVisible() const;
  int MaxPosition() const;

 private:
  friend class TScrollBox;
  TScrollBox& box_;
  TScrollBarKind kind_;
  int increment_ = 8;
  int position_ = 0;
  int range_ = 0;
  bool visible_ = true;
};

class TScrollBox : public TWinControl {
 public:
  explicit TScrollBox(TComponent* owner);
  ~TScrollBox() override;
  const char* ClassName() const override { return "TScrollBox"; }

  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TBevelKind BevelKind() const { return bevelKind_; }
  void SetBevelKind(TBevelKind value);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  bool AutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool value);
  TControlScrollBar& HorzScrollBar() { return horz_; }
  TControlScrollBar& VertScrollBar() { return vert_; }

  // Client extent: the box less its border and the scroll bars that show.
  int ClientWidth() const override;
  int ClientHeight() const override;
  // Width of the border and bevel on each side.
  int BorderSize() const;
  QWidget* ClientWidget() override;
  // Recomputes automatic ranges and the bars' visibility.
  void UpdateScrollBars();
  // Scrolls so that control is wholly in view.
  void ScrollInView(TControl* control);
  bool MouseWheel(TShiftState shift, int wheelDelta, win::POINT mousePos) override;

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void BoundsChanged(bool sized) override;
  void ChildMoved(TControl*) override { UpdateScrollBars(); }
  void HandleCreated() override { UpdateScrollBars(); }

 private:
  friend class TControlScrollBar;
  void PlaceParts();
  void Scrolled(TScrollBarKind kind, int delta);

  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  TBevelKind bevelKind_ = TBevelKind::bkNone;
  bool ctl3D_ = true;
  bool autoScroll_ = true;
  TControlScrollBar horz_{*this, TScrollBarKind::sbHorizontal};
  TControlScrollBar vert_{*this, TScrollBarKind::sbVertical};
  QWidget* viewport_ = nullptr;
  QScrollBar* horzBar_ = nullptr;
  QScrollBar* vertBar_ = nullptr;
  QWidget* corner_ = nullptr;
  bool updatingBars_ = false;
};

class TSplitter : public TGraphicControl {
 public:
  explicit TSplitter(TComponent* owner);
  const char* ClassName() const override { return "TSplitter"; }
  int MinSize() const { return minSize_; }
  void SetMinSize(int value) { minSize_ = std::max(value, 1); }
  // A control dragged to MinSize or less collapses to nothing.
  bool AutoSnap() const { return autoSnap_; }
  void SetAutoSnap(bool value) { autoSnap_ = value; }
  // The control the splitter resizes while dragging (null when idle).
  TControl* ResizeControl() const { return control_; }
  // The size the control would get for a drag to split (a position along the parent).
  int NewSizeFor(int splitPosition) const;
  TNotifyEvent OnMoved;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CancelMode() override;
  void Paint(TCanvas& canvas) override;

 private:
  TControl* FindControl() const;
  void DrawLine();
  void StopDrag();
  bool Horizontal() const;

  int minSize_ = 30;
  bool autoSnap_ = true;
  TControl* control_ = nullptr;
  int downPos_ = 0;
  int startSize_ = 0;
  int newSize_ = 0;
  int maxSize_ = 0;
  QWidget* line_ = nullptr;
};

class TImage : public TGraphicControl, private ImageViewHost {
 public:
  explicit TImage(TComponent* owner);
  ~TImage() override;
  const char* ClassName() const override { return "TImage"; }

  TPicture& Picture() { return view_.Picture(); }
  void SetPicture(const TPersistent* value) { view_.SetPicture(value); }
  TImageView& View() { return view_; }
  bool AutoSize() const { return view_.AutoSize(); }
  void SetAutoSize(bool value) { view_.SetAutoSize(value); }
  bool Stretch() const { return view_.Stretch(); }
  void SetStretch(bool value) { view_.SetStretch(value); }
  bool Center() const { return view_.Center(); }
  void SetCenter(bool value) { view_.SetCenter(value); }
  bool Proportional() const { return view_.Proportional(); }
  void SetProportional(bool value) { view_.SetProportional(value); }
  void SetTransparent(bool value);
  void Paint(TCanvas& canvas) override;

  // The view's host, and the control's own bounds and repaints.
  int Left() const override { return TControl::Left(); }
  int Top() const override { return TControl::Top(); }
  int ClientWidth() const override { return TControl::ClientWidth(); }
  int ClientHeight() const override { return TControl::ClientHeight(); }
  void SetBounds(int left, int top, int width, int height) override {
    TControl::SetBounds(left, top, width, height);
  }
  void Invalidate() override { TControl::Invalidate(); }
  void Repaint() override { TControl::Repaint(); }
  void SetOpaque(bool opaque) override { SetTransparentFlag(!opaque); }
  bool PaletteChanged() override { return false; }

 private:
  TImageView view_;
};
