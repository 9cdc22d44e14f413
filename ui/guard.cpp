#include "ui/guard.h"

#include "imaging/canvas.h"
#include "ui/forms.h"

namespace ui {

namespace {
thread_local int depth = 0;
}

GuardScope::GuardScope() {
  ++depth;
}

GuardScope::~GuardScope() {
  // The end of one message: the image layer's canvases give their contexts back.
  if (--depth == 0) FreeBitmapCanvasContexts();
}

int GuardScope::Depth() {
  return depth;
}

void HandleEscaped(std::exception_ptr failure) noexcept {
  try {
    if (Application != nullptr) {
      Application->HandleException(failure);
      return;
    }
  } catch (...) {
    // The failure display itself failed: nothing more can be shown.
  }
}

}  // namespace ui
