// TMetafile: an enhanced metafile (.emf) or a placeable Windows metafile (.wmf).
//
// Its size in pixels comes from the header: for an enhanced metafile the frame rectangle
// (hundredths of a millimetre) scaled by the pixels per millimetre of the reference device the
// header describes; for a placeable metafile the bounding box in its units per inch, at 96
// pixels per inch. Records are not played yet: drawing outlines the target rectangle, shrunk
// by one pixel at the right and bottom as a played metafile would fill it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/graphic.h"

class TMetafile : public TGraphic {
 public:
  TMetafile();
  ~TMetafile() override;
  TMetafile(const TMetafile&) = delete;
  TMetafile& operator=(const TMetafile&) = delete;

  static const TGraphicClass& StaticClass();
  const TGraphicClass& GraphicClass() const override { return StaticClass(); }

  // Another metafile: share its records and take its size and a copy of its palette.
  void CopyFrom(const TPersistent* source) override;
  void DrawInto(TCanvas& canvas, const win::RECT& rect) override;
  bool IsEmpty() const override { return data_ == nullptr; }
  int Height() const override;
  int Width() const override;
  // Rescale the frame (or bounding box) so that the metafile reports the new size.
  void SetHeight(int value) override;
  void SetWidth(int value) override;
  win::HPALETTE Palette() override { return palette_; }

  // Either form, told apart by its first bytes; EInvalidGraphic "Metafile is not valid" when
  // it is neither, and the metafile is unchanged. Reads exactly the metafile's bytes.
  void ReadFromStream(TStream& stream) override;
  // Back in the form it was read in, with the current size in its header.
  void WriteToStream(TStream& stream) override;
  // Takes a copy of the clipboard's enhanced metafile (whatever format was named);
  // EInvalidGraphic "Unsupported clipboard format" when there is none.
  void ReadFromClipboard(std::uint16_t format, win::HANDLE data, win::HPALETTE palette) override;
  // CF_ENHMETAFILE for an enhanced metafile, CF_METAFILEPICT for a Windows one; a copy of the
  // palette when there is one.
  void WriteToClipboard(std::uint16_t& format, win::HANDLE& data, win::HPALETTE& palette) override;

  bool Enhanced() const;
  // The size in hundredths of a millimetre.
  int MMWidth() const;
  int MMHeight() const;

  struct Data;

 private:
  void SetData(std::shared_ptr<const Data> data);

  std::shared_ptr<const Data> data_;
  // Enhanced: the frame's size in 0.01 mm. Placeable: the bounding box's in its units.
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  win::HPALETTE palette_ = nullptr;
};
