// TSharedImage: a reference-counted holder of image data shared between graphic objects.
//
// A writer that must change shared data first takes a holder of its own (copy-on-write); the
// holder is freed, native handles first, when its count drops from 1 to 0.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

class TSharedImage {
 public:
  TSharedImage(const TSharedImage&) = delete;
  TSharedImage& operator=(const TSharedImage&) = delete;

  void Reference() { refCount_.fetch_add(1, std::memory_order_relaxed); }
  // Drops one reference; the last one frees the handles and the holder itself.
  void Release();
  std::int32_t RefCount() const { return refCount_.load(std::memory_order_acquire); }

 protected:
  TSharedImage() = default;
  virtual ~TSharedImage() = default;
  // Frees the native objects the holder owns; called once, before destruction.
  virtual void FreeHandle() = 0;

 private:
  std::atomic<std::int32_t> refCount_{0};
};

// An owning reference to a shared holder: references on construction and copy, releases on
// destruction. Holders start with a count of 0, so wrapping a new one gives it the count 1.
template <class T>
class TSharedRef {
 public:
  TSharedRef() = default;
  explicit TSharedRef(T* image) : image_(image) {
    if (image_ != nullptr) image_->Reference();
  }
  TSharedRef(const TSharedRef& other) : TSharedRef(other.image_) {}
  TSharedRef(TSharedRef&& other) noexcept : image_(std::exchange(other.image_, nullptr)) {}
  TSharedRef& operator=(TSharedRef other) noexcept {
    std::swap(image_, other.image_);
    return *this;
  }
  ~TSharedRef() {
    if (image_ != nullptr) image_->Release();
  }

  T* get() const { return image_; }
  T* operator->() const { return image_; }
  T& operator*() const { return *image_; }
  explicit operator bool() const { return image_ != nullptr; }

 private:
  T* image_ = nullptr;
};
