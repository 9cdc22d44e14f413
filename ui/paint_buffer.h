// The surface a custom-drawn control paints on: a memory DC over a 32-bit top-down DIB
// section of the control's size, shown through a QImage over the same pixels (no copy).
#pragma once

#include <QImage>
#include <memory>

#include "imaging/canvas.h"
#include "platform/gdi/gdi.h"

class PaintBuffer {
 public:
  PaintBuffer();
  ~PaintBuffer();
  PaintBuffer(const PaintBuffer&) = delete;
  PaintBuffer& operator=(const PaintBuffer&) = delete;

  // Makes the surface width x height (at least 1 x 1); the pixels are undefined after a
  // change of size. False, with the old surface kept, when the DIB cannot be made.
  bool Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  win::HDC DC() const { return dc_; }
  // The canvas over DC(); its font, pen and brush are the control's to set.
  TCanvas& Canvas() { return *canvas_; }
  // Pixel (x, y) as 0x00RRGGBB; 0 outside.
  std::uint32_t Pixel(int x, int y) const;
  // A view of the pixels for display, valid until the next Resize. Qt takes the fourth byte of
  // an RGB32 pixel to be 0xFF, which GDI drawing leaves at 0: it is set first.
  QImage Image();

 private:
  void Release();

  win::HDC dc_ = nullptr;
  win::HBITMAP bitmap_ = nullptr;
  win::HGDIOBJ oldBitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::unique_ptr<TCanvas> canvas_;
};
