#include "app/move_panel.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {

// Wayland does not let a program place its own window; the compositor moves it instead.
bool SystemMovesWindows() {
  return QGuiApplication::platformName().startsWith("wayland");
}

}  // namespace

void TMovePanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    if (SystemMovesWindows() && Parent() != nullptr) {
      if (QWindow* w = Parent()->Widget()->window()->windowHandle()) w->startSystemMove();
    } else {
      dragging_ = true;
      // Screen positions, so moving the window under the cursor does not feed back.
      win::GetCursorPos(&last_);
    }
  }
  TPanel::MouseDown(button, shift, x, y);
}

void TMovePanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && dragging_) dragging_ = false;
  TPanel::MouseUp(button, shift, x, y);
}

void TMovePanel::MouseMove(TShiftState shift, int x, int y) {
  if (dragging_ && Parent() != nullptr) {
    win::POINT p{0, 0};
    win::GetCursorPos(&p);
    TWinControl* window = Parent();
    window->SetLeft(window->Left() + p.x - last_.x);
    window->SetTop(window->Top() + p.y - last_.y);
    last_ = p;
  }
  TPanel::MouseMove(shift, x, y);
}

void TMovePanel::CancelMode() {
  // A failure display or another window took the mouse: the drag is over.
  dragging_ = false;
  TPanel::CancelMode();
}
