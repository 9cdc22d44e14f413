// What the wrapped list and tree share (internal to the control layer): changes made by our own
// calls, which raise no notification, and the move between the control's client coordinates
// and those of the view's viewport (inside the two-pixel frame).
#pragma once

#include <QAbstractScrollArea>
#include <QRect>

#include "platform/user/user.h"

namespace ui::detail {

// Counts one change made from code while it lives; the view's signals are ignored meanwhile.
class FromCode {
 public:
  explicit FromCode(int& depth) : depth_(depth) { ++depth_; }
  ~FromCode() { --depth_; }
  FromCode(const FromCode&) = delete;
  FromCode& operator=(const FromCode&) = delete;

 private:
  int& depth_;
};

// A rectangle of the viewport as client coordinates of the control.
inline win::RECT ViewportToClient(const QAbstractScrollArea& view, const QRect& r) {
  const QPoint p = view.viewport()->mapTo(&view, r.topLeft());
  return {p.x(), p.y(), p.x() + r.width(), p.y() + r.height()};
}

// A client position of the control in the viewport's coordinates.
inline QPoint ClientToViewport(const QAbstractScrollArea& view, win::POINT p) {
  return view.viewport()->mapFrom(&view, QPoint(p.x, p.y));
}

}  // namespace ui::detail
