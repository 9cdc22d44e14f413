// A small graphic class for the picture container's tests: a size and a tag, stored as
// "TST1", width, height, tag; offered on the clipboard under its own format.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "imaging/canvas.h"
#include "imaging/graphic.h"
#include "platform/user/clipboard.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

inline constexpr std::uint16_t kTestClipboardFormat = 0xC0DE;

class TTestGraphic : public TGraphic {
 public:
  static const TGraphicClass& StaticClass() {
    static const TGraphicClass kClass{
        "TTestGraphic", &TGraphic::StaticClass(),
        []() -> std::unique_ptr<TGraphic> { return std::make_unique<TTestGraphic>(); }};
    return kClass;
  }
  const TGraphicClass& GraphicClass() const override { return StaticClass(); }

  void CopyFrom(const TPersistent* source) override {
    if (failCopies) throw EInvalidGraphic("copy refused");
    if (source == nullptr) {
      width_ = height_ = tag_ = 0;
      NotifyChange();
    } else if (auto* other = dynamic_cast<const TTestGraphic*>(source)) {
      width_ = other->width_;
      height_ = other->height_;
      tag_ = other->tag_;
      NotifyChange();
    } else {
      TGraphic::CopyFrom(source);
    }
  }
  void DrawInto(TCanvas&, const win::RECT& rect) override {
    lastDrawn = rect;
    ++draws;
  }
  bool IsEmpty() const override { return width_ == 0 && height_ == 0 && tag_ == 0; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetWidth(int value) override {
    width_ = value;
    NotifyChange();
  }
  void SetHeight(int value) override {
    height_ = value;
    NotifyChange();
  }
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }

  void ReadFromStream(TStream& stream) override {
    char magic[4];
    std::int32_t values[3];
    stream.ReadBuffer(magic, 4);
    if (std::memcmp(magic, "TST1", 4) != 0) throw EInvalidGraphic("not test data");
    stream.ReadBuffer(values, sizeof values);
    width_ = values[0];
    height_ = values[1];
    tag_ = values[2];
    NotifyChange();
  }
  void WriteToStream(TStream& stream) override {
    const std::int32_t values[3] = {width_, height_, tag_};
    stream.WriteBuffer("TST1", 4);
    stream.WriteBuffer(values, sizeof values);
  }
  void ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE) override {
    if (format != kTestClipboardFormat || data == nullptr || win::GlobalSize(data) < 12)
      throw EInvalidGraphic(strings::kUnknownClipboardFormat);
    std::int32_t values[3];
    std::memcpy(values, win::GlobalLock(data), sizeof values);
    win::GlobalUnlock(data);
    width_ = values[0];
    height_ = values[1];
    tag_ = values[2];
  }
  void WriteToClipboard(std::uint16_t& format, win::HANDLE& data, win::HPALETTE& palette) override {
    format = kTestClipboardFormat;
    data = win::GlobalAlloc(win::GMEM_MOVEABLE, 12);
    const std::int32_t values[3] = {width_, height_, tag_};
    std::memcpy(win::GlobalLock(data), values, sizeof values);
    win::GlobalUnlock(data);
    palette = nullptr;
  }

  void EmitProgress(bool redrawNow) {
    Progress(this, TProgressStage::psRunning, 50, redrawNow, win::RECT{0, 0, 1, 1}, "half");
  }

  static inline bool failCopies = false;
  static inline win::RECT lastDrawn{};
  static inline int draws = 0;

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t tag_ = 0;
};

class TTestSubGraphic : public TTestGraphic {
 public:
  static const TGraphicClass& StaticClass() {
    static const TGraphicClass kClass{
        "TTestSubGraphic", &TTestGraphic::StaticClass(),
        []() -> std::unique_ptr<TGraphic> { return std::make_unique<TTestSubGraphic>(); }};
    return kClass;
  }
  const TGraphicClass& GraphicClass() const override { return StaticClass(); }
};

inline std::unique_ptr<TTestGraphic> MakeTestGraphic(int width, int height, int tag) {
  auto graphic = std::make_unique<TTestGraphic>();
  graphic->SetWidth(width);
  graphic->SetHeight(height);
  graphic->SetTag(tag);
  return graphic;
}
