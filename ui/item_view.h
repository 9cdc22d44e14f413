// What the wrapped list and tree share (internal to the control layer): changes made by our own
// calls, which raise no notification, the move between the control's client coordinates and
// those of the view's viewport (inside the two-pixel frame), and item texts drawn by GDI text.
#pragma once

#include <QAbstractScrollArea>
#include <QRect>
#include <QStyledItemDelegate>

#include "imaging/canvas.h"
#include "platform/user/user.h"
#include "ui/paint_buffer.h"

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

// Draws each item as Qt's style does (background, selection, icon, focus) but its text with
// GDI text in the control's font, so a list entry shows the very glyphs of a custom-drawn
// caption (the Latin face at its own size, the Chinese strike). A row height above 0 fixes the
// rows' height.
class GdiTextDelegate final : public QStyledItemDelegate {
 public:
  GdiTextDelegate(TFont& font, QObject* parent) : QStyledItemDelegate(parent), font_(font) {}
  void SetRowHeight(int height) { rowHeight_ = height; }
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  TFont& font_;
  int rowHeight_ = 0;
  mutable PaintBuffer mask_;  // the text's coverage, drawn white on black
};

}  // namespace ui::detail
