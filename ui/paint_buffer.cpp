#include "ui/paint_buffer.h"

#include <algorithm>

PaintBuffer::PaintBuffer() : canvas_(std::make_unique<TCanvas>()) {}

PaintBuffer::~PaintBuffer() {
  canvas_->SetHandle(nullptr);
  Release();
}

void PaintBuffer::Release() {
  if (dc_ != nullptr) {
    win::SelectObject(dc_, oldBitmap_);
    win::DeleteDC(dc_);
  }
  if (bitmap_ != nullptr) win::DeleteObject(bitmap_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  bits_ = nullptr;
}

bool PaintBuffer::Resize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (width == width_ && height == height_ && dc_ != nullptr) return true;
  win::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, so rows match QImage's
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = win::BI_RGB;
  void* bits = nullptr;
  win::HBITMAP bitmap =
      win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return false;
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  if (dc == nullptr) {
    win::DeleteObject(bitmap);
    return false;
  }
  canvas_->SetHandle(nullptr);
  Release();
  dc_ = dc;
  bitmap_ = bitmap;
  oldBitmap_ = win::SelectObject(dc_, bitmap_);
  bits_ = static_cast<std::uint32_t*>(bits);
  width_ = width;
  height_ = height;
  canvas_->SetHandle(dc_);
  return true;
}

std::uint32_t PaintBuffer::Pixel(int x, int y) const {
  if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return bits_[std::size_t(y) * std::size_t(width_) + std::size_t(x)] & 0x00FFFFFF;
}

QImage PaintBuffer::Image() {
  if (bits_ == nullptr) return {};
  const std::size_t count = std::size_t(width_) * std::size_t(height_);
  for (std::size_t i = 0; i < count; ++i) bits_[i] |= 0xFF000000u;
  // Blue, green, red, unused: QImage's RGB32 in memory order on a little-endian machine.
  return QImage(reinterpret_cast<const uchar*>(bits_), width_, height_, width_ * 4,
                QImage::Format_RGB32);
}
