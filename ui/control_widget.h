// The Qt side of windowed controls (internal to the control layer): the widget that shows a
// custom-drawn control and feeds it input, and the relay that feeds us the input of a wrapped
// Qt widget. Every call into our code passes the guard.
#pragma once

#include <QObject>
#include <QWidget>

class TWinControl;

namespace ui::detail {

class ControlWidget : public QWidget {
 public:
  ControlWidget(TWinControl* control, QWidget* parent);
  TWinControl* Control() const { return control_; }
  void Detach() { control_ = nullptr; }

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  TWinControl* control_;
};

// Watches a wrapped widget (and its viewport) for the input our events need; Qt still
// handles it.
class EventRelay : public QObject {
 public:
  explicit EventRelay(TWinControl* control) : control_(control) {}
  void Detach() { control_ = nullptr; }
  // A scroll area's viewport takes the mouse; the area itself keys and focus.
  void SetViewport(QObject* viewport) { viewport_ = viewport; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TWinControl* control_;
  QObject* viewport_ = nullptr;
};

// The control a widget belongs to, if it is one of ours.
TWinControl* ControlOf(QWidget* widget);
// Routes an input event to control; true when it was consumed (a context menu shown, a wheel
// handled).
bool DispatchInput(TWinControl* control, QEvent* event, QWidget* source);

}  // namespace ui::detail
