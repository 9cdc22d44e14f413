// TImageView: what the picture view does, apart from being an on-screen control. It owns the
// view's picture, sizes the view to it (AutoSize), places it in the client area (Stretch,
// Proportional, Center), paints it through a TCanvas and relays the graphic's progress.
//
// The control that shows it implements ImageViewHost and calls Paint from its paint handler
// and CanAutoSize from its layout; everything else runs from here.
#pragma once

#include <cstdint>

#include "imaging/graphic.h"
#include "imaging/picture.h"

class TCanvas;

// What the view needs of the control that hosts it.
class ImageViewHost {
 public:
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  // Repaint at the next paint cycle.
  virtual void Invalidate() = 0;
  // Repaint now (incremental display while a graphic loads).
  virtual void Repaint() = 0;
  // Whether the view covers its whole area, so its parent need not paint below it.
  virtual void SetOpaque(bool opaque) = 0;
  // A graphic brought a new palette: the form realises it. Returns whether it was realised.
  virtual bool PaletteChanged() = 0;

 protected:
  ~ImageViewHost() = default;
};

// How the control is aligned in its parent, for automatic sizing.
enum class TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TImageView : private TPictureOwner {
 public:
  // A new view's size.
  static constexpr int kDefaultSize = 105;

  explicit TImageView(ImageViewHost& host);
  TImageView(const TImageView&) = delete;
  TImageView& operator=(const TImageView&) = delete;

  TPicture& Picture() { return picture_; }
  const TPicture& Picture() const { return picture_; }
  // The picture takes a copy of value (none empties it).
  void SetPicture(const TPersistent* value) { picture_.CopyFrom(value); }

  bool AutoSize() const { return autoSize_; }
  // Turning it on sizes the view to the picture at once.
  void SetAutoSize(bool value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Center() const { return center_; }
  void SetCenter(bool value);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool IncrementalDisplay() const { return incrementalDisplay_; }
  void SetIncrementalDisplay(bool value) { incrementalDisplay_ = value; }
  bool Drawing() const { return drawing_; }

  // Where the picture lands in the client area.
  win::RECT DestRect() const;
  // Draws the picture stretched into DestRect on canvas (the parent's surface, with the
  // origin at the view's top-left). An empty picture draws nothing.
  void Paint(TCanvas& canvas);
  // The size the layout should give the view: the picture's width unless the alignment fixes
  // it (top, bottom, client), the picture's height unless it is fixed (left, right, client).
  // False (nothing changed) while the picture is empty.
  bool CanAutoSize(TAlign align, int& newWidth, int& newHeight) const;

  // Called with the graphic after the view relayed its progress.
  TProgressEvent OnProgress;

 private:
  // Run whenever the picture changes (the view is its picture's owner).
  void PictureChanged(TPicture&) override { PictureChanged(); }
  void PictureChanged();
  void PictureProgress(TPicture& picture, TObject* sender, TProgressStage stage,
                       std::uint8_t percentDone, bool redrawNow, const win::RECT& r,
                       const AnsiString& msg) override;
  // Announces a new palette of the graphic; true when one was announced.
  bool DoPaletteChange();

  ImageViewHost& host_;
  TPicture picture_;
  bool autoSize_ = false;
  bool stretch_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool transparent_ = false;
  bool incrementalDisplay_ = false;
  bool drawing_ = false;
};
