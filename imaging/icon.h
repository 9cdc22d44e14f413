// TIcon: an icon file (.ico) with one or more images, each a DIB with its AND mask or a PNG.
// The icon reports the size of its largest image and draws the image whose size is nearest
// the rectangle it is drawn into, blended over what is already there. The file's bytes are
// kept as read and written back unchanged; copies share them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/graphic.h"

class TIcon : public TGraphic {
 public:
  struct Entry {
    int width;
    int height;
    int bitCount;  // 32 for a PNG image
    bool png;
  };

  TIcon();
  ~TIcon() override;
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  static const TGraphicClass& StaticClass();
  const TGraphicClass& GraphicClass() const override { return StaticClass(); }

  // Another icon: share its data; none: empty.
  void CopyFrom(const TPersistent* source) override;
  void DrawInto(TCanvas& canvas, const win::RECT& rect) override;
  bool IsEmpty() const override;
  int Height() const override;
  int Width() const override;
  // An icon's images have fixed sizes: EInvalidGraphicOperation "Cannot change the size of an
  // icon" unless it is empty.
  void SetHeight(int value) override;
  void SetWidth(int value) override;

  // Reads exactly the icon's bytes (directory and images); EInvalidGraphic "Invalid icon"
  // when they are not an icon, and the icon is unchanged.
  void ReadFromStream(TStream& stream) override;
  void WriteToStream(TStream& stream) override;
  // No clipboard format holds icons.
  void ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE palette) override;
  void WriteToClipboard(std::uint16_t& format, win::HANDLE& data, win::HPALETTE& palette) override;

  std::vector<Entry> Entries() const;
  // The image drawn into a width x height rectangle (-1 when empty).
  int EntryFor(int width, int height) const;
  // The image's pixels, top row first, as 0xAARRGGBB with straight alpha.
  const std::vector<std::uint32_t>& EntryPixels(int index) const;
  // The image whose size the icon reports (-1 when empty).
  int LargestEntry() const;

  struct Data;

 private:
  std::shared_ptr<Data> data_;
};
