// Lets a framed control paint its own frame over the border a wrapped Qt widget keeps: four
// strips as wide as the border lie over the widget's edges and show one paint buffer of the
// widget's size, which the owner paints through a TCanvas.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "imaging/canvas.h"

class PaintBuffer;
class QWidget;

class FrameOverlay : public QObject {
 public:
  // Paints the frame on a canvas of the whole control (only the border strips are shown).
  using Painter = std::function<void(TCanvas& canvas, int width, int height)>;
  FrameOverlay(QWidget* target, int borderWidth, Painter painter);
  ~FrameOverlay() override;
  // Paints again (a hot frame changes colour).
  void Update();
  // The pixels painted last.
  PaintBuffer& Buffer() { return *buffer_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class FrameStrip;
  void Place();
  void PaintBufferNow();

  QWidget* target_;
  int borderWidth_;
  Painter painter_;
  std::unique_ptr<PaintBuffer> buffer_;
  QWidget* strips_[4] = {};
  bool dirty_ = true;
};
