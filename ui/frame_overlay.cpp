#include "ui/frame_overlay.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

#include "ui/guard.h"
#include "ui/paint_buffer.h"

class FrameStrip final : public QWidget {
 public:
  FrameStrip(FrameOverlay* overlay, QWidget* parent) : QWidget(parent), overlay_(overlay) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    ui::Guard([this] { overlay_->PaintBufferNow(); });
    QPainter p(this);
    p.drawImage(QPoint(0, 0), overlay_->buffer_->Image(), geometry());
  }

 private:
  FrameOverlay* overlay_;
};

FrameOverlay::FrameOverlay(QWidget* target, int borderWidth, Painter painter)
    : QObject(target),
      target_(target),
      borderWidth_(borderWidth),
      painter_(std::move(painter)),
      buffer_(std::make_unique<PaintBuffer>()) {
  for (QWidget*& strip : strips_) {
    strip = new FrameStrip(this, target);
    strip->show();
  }
  target->installEventFilter(this);
  Place();
}

FrameOverlay::~FrameOverlay() = default;

void FrameOverlay::Update() {
  dirty_ = true;
  for (QWidget* strip : strips_) strip->update();
}

bool FrameOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == target_ && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
    Place();
    Update();
  }
  return false;
}

void FrameOverlay::Place() {
  const int w = target_->width(), h = target_->height(), b = borderWidth_;
  strips_[0]->setGeometry(0, 0, w, b);
  strips_[1]->setGeometry(0, h - b, w, b);
  strips_[2]->setGeometry(0, b, b, std::max(0, h - 2 * b));
  strips_[3]->setGeometry(w - b, b, b, std::max(0, h - 2 * b));
  for (QWidget* strip : strips_) strip->raise();
}

void FrameOverlay::PaintBufferNow() {
  const int w = target_->width(), h = target_->height();
  if (!dirty_ && buffer_->Width() == w && buffer_->Height() == h) return;
  if (!buffer_->Resize(w, h)) return;
  dirty_ = false;
  TCanvas& canvas = buffer_->Canvas();
  canvas.Refresh();
  if (painter_) painter_(canvas, w, h);
}
