#include "ui/control_widget.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "ui/controls.h"
#include "ui/drop_target.h"
#include "ui/guard.h"

namespace ui::detail {

namespace {
const char kControlProperty[] = "suotuControl";
}

ControlWidget::ControlWidget(TWinControl* control, QWidget* parent)
    : QWidget(parent), control_(control) {
  setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(control)));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
}

TWinControl* ControlOf(QWidget* widget) {
  for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    const QVariant v = w->property(kControlProperty);
    if (v.isValid()) return static_cast<TWinControl*>(v.value<void*>());
  }
  return nullptr;
}

bool DispatchInput(TWinControl* control, QEvent* event, QWidget* source) {
  if (control == nullptr) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* e = static_cast<QMouseEvent*>(event);
      // A wrapped widget's viewport reports positions of its own.
      if (source != nullptr && source != control->Widget()) {
        const QPoint p = source->mapTo(control->Widget(), e->position().toPoint());
        QMouseEvent mapped(e->type(), QPointF(p), e->globalPosition(), e->button(), e->buttons(),
                           e->modifiers());
        Guard([&] { control->HandleMouseEvent(mapped); });
      } else {
        Guard([&] { control->HandleMouseEvent(*e); });
      }
      return false;
    }
    case QEvent::Wheel: {
      bool handled = false;
      Guard([&] {
        auto* e = static_cast<QWheelEvent*>(event);
        const int before = e->isAccepted();
        e->setAccepted(false);
        control->HandleWheelEvent(*e);
        handled = e->isAccepted();
        if (!handled) e->setAccepted(before);
      });
      return handled;
    }
    case QEvent::Enter:
      Guard([&] { control->HandleEnter(); });
      return false;
    case QEvent::Leave:
      Guard([&] { control->HandleLeave(); });
      return false;
    case QEvent::ContextMenu: {
      auto* e = static_cast<QContextMenuEvent*>(event);
      return GuardValue(
          [&] {
            const QPoint g = e->globalPos();
            return control->ContextPopup({g.x(), g.y()});
          },
          false);
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return GuardValue([&] { return control->HandleKeyEvent(*static_cast<QKeyEvent*>(event)); },
                        false);
    case QEvent::FocusIn:
      Guard([&] { control->DoEnter(); });
      return false;
    case QEvent::FocusOut:
      Guard([&] { control->DoExit(); });
      return false;
    default:
      return false;
  }
}

bool ControlWidget::event(QEvent* e) {
  if (control_ != nullptr && RouteDragEvent(control_, this, e)) return true;
  if (control_ != nullptr && DispatchInput(control_, e, this)) return true;
  switch (e->type()) {
    case QEvent::Wheel:
      e->ignore();  // not handled: the parent may take it
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      // The mouse belongs to the window under it: a parent that saw the press too would take
      // the capture, and the press would never become this control's click.
      e->accept();
      return true;
    default:
      return QWidget::event(e);
  }
}

void ControlWidget::paintEvent(QPaintEvent*) {
  if (control_ == nullptr) return;
  Guard([&] { control_->PaintWindow(); });
  if (control_ == nullptr) return;  // a paint handler destroyed the control
  PaintBuffer* buffer = control_->Buffer();
  if (buffer == nullptr) return;
  QPainter painter(this);
  painter.drawImage(0, 0, buffer->Image());
}

bool EventRelay::eventFilter(QObject* watched, QEvent* event) {
  if (control_ == nullptr || !watched->isWidgetType()) return false;
  const bool mouseSource = viewport_ == nullptr || watched == viewport_;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::ContextMenu:
      if (!mouseSource) return false;
      return DispatchInput(control_, event, static_cast<QWidget*>(watched));
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
      if (!mouseSource) return false;
      return RouteDragEvent(control_, static_cast<QWidget*>(watched), event);
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      if (viewport_ != nullptr && watched == viewport_) return false;
      return DispatchInput(control_, event, static_cast<QWidget*>(watched));
    default:
      return false;
  }
}

}  // namespace ui::detail
