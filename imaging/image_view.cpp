#include "imaging/image_view.h"

#include "imaging/canvas.h"
#include "imaging/icon.h"
#include "imaging/metafile.h"
#include "runtime/scope.h"

TImageView::TImageView(ImageViewHost& host) : host_(host) {
  picture_.SetOwner(this);
}

void TImageView::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  int width = 0;
  int height = 0;
  if (autoSize_ && CanAutoSize(TAlign::alNone, width, height))
    host_.SetBounds(host_.Left(), host_.Top(), width, height);
}

void TImageView::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  PictureChanged();
}

void TImageView::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  PictureChanged();
}

void TImageView::SetProportional(bool value) {
  if (value == proportional_) return;
  proportional_ = value;
  PictureChanged();
}

void TImageView::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  PictureChanged();
}

win::RECT TImageView::DestRect() const {
  const int w = picture_.Width();
  const int h = picture_.Height();
  const int cw = host_.ClientWidth();
  const int ch = host_.ClientHeight();
  int width = w;
  int height = h;
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      const double ratio = double(w) / double(h);
      if (w > h) {
        width = cw;
        height = int(cw / ratio);
        if (height > ch) {
          height = ch;
          width = int(ratio * ch);
        }
      } else {
        height = ch;
        width = int(ratio * ch);
        if (width > cw) {
          width = cw;
          height = int(cw / ratio);
        }
      }
    } else {
      width = cw;
      height = ch;
    }
  }
  win::RECT rect{0, 0, width, height};
  if (center_) {
    const int dx = (cw - width) / 2;
    const int dy = (ch - height) / 2;
    rect = {dx, dy, dx + width, dy + height};
  }
  return rect;
}

void TImageView::Paint(TCanvas& canvas) {
  // Changes the graphic reports while it draws repaint nothing.
  const TRestore<bool> restore(drawing_, true);
  canvas.StretchDraw(DestRect(), picture_.Graphic());
}

bool TImageView::CanAutoSize(TAlign align, int& newWidth, int& newHeight) const {
  if (picture_.Width() <= 0 || picture_.Height() <= 0) return false;
  if (align == TAlign::alNone || align == TAlign::alLeft || align == TAlign::alRight)
    newWidth = picture_.Width();
  if (align == TAlign::alNone || align == TAlign::alTop || align == TAlign::alBottom)
    newHeight = picture_.Height();
  return true;
}

bool TImageView::DoPaletteChange() {
  TGraphic* graphic = picture_.Graphic();
  if (graphic == nullptr || !graphic->PaletteModified()) return false;
  if (graphic->Palette() == nullptr) {
    graphic->SetPaletteModified(false);
    return false;
  }
  if (!host_.PaletteChanged()) return false;
  graphic->SetPaletteModified(false);
  return true;
}

void TImageView::PictureChanged() {
  if (autoSize_ && picture_.Width() > 0 && picture_.Height() > 0)
    host_.SetBounds(host_.Left(), host_.Top(), picture_.Width(), picture_.Height());
  if (TGraphic* graphic = picture_.Graphic()) {
    const TGraphicClass& kind = graphic->GraphicClass();
    // Metafiles and icons carry their own transparency.
    if (!kind.InheritsFrom(TMetafile::StaticClass()) && !kind.InheritsFrom(TIcon::StaticClass()))
      graphic->SetTransparent(transparent_);
    const win::RECT d = DestRect();
    host_.SetOpaque(!graphic->Transparent() && d.left <= 0 && d.top <= 0 &&
                    d.right >= host_.ClientWidth() && d.bottom >= host_.ClientHeight());
    DoPaletteChange();
  } else {
    host_.SetOpaque(false);
  }
  if (!drawing_) host_.Invalidate();
}

void TImageView::PictureProgress(TPicture&, TObject* sender, TProgressStage stage,
                                 std::uint8_t percentDone, bool redrawNow, const win::RECT& r,
                                 const AnsiString& msg) {
  if (incrementalDisplay_ && redrawNow) {
    DoPaletteChange();
    host_.Repaint();
  }
  if (OnProgress) OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}
