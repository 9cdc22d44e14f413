// The headless thumbnail engine: what a click on a listed file followed by a save does, over
// two picture containers that stand for the source preview and the thumbnail view. The
// window's handlers and the developer tools call the same code.
#pragma once

#include <cstdint>

#include "imaging/picture.h"
#include "runtime/ansi_string.h"

struct ThumbnailFileResult {
  AnsiString outputPath;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

class ThumbnailEngine {
 public:
  // The source preview and the thumbnail view.
  TPicture& Preview() { return preview_; }
  TPicture& View() { return view_; }

  // Loads sourcePath into the preview and into the view (each by its extension), makes the
  // thumbnail at widthText into the view. On failure the pictures keep what the failed step
  // left, as the window's handler does.
  void ShowFile(const AnsiString& sourcePath, const AnsiString& widthText);
  // Saves the view's picture under folder + "\" + the thumbnail name of sourcePath.
  AnsiString SaveThumbnail(const AnsiString& sourcePath, const AnsiString& folder);
  // ShowFile then SaveThumbnail.
  ThumbnailFileResult MakeThumbnailFile(const AnsiString& sourcePath, const AnsiString& widthText,
                                        const AnsiString& folder);

 private:
  TPicture preview_;
  TPicture view_;
};
