// The two commands of the source preview's popup menu that exchange pictures with the
// clipboard. The window's handlers only gather the preview, the dialog and the notice and call
// these, so the commands run and are tested without a window.
#pragma once

#include <functional>

#include "imaging/picture.h"
#include "runtime/ansi_string.h"

// What the save command needs of its file dialog: run it, then the chosen name.
class TSaveNameSource {
 public:
  virtual ~TSaveNameSource() = default;
  // True when the user confirmed a name.
  virtual bool Execute() = 0;
  virtual AnsiString FileName() const = 0;
};

using TNoticeFunction = std::function<void(const AnsiString& text)>;

// The preview's picture takes the clipboard's picture: the first clipboard format, in the
// clipboard's order, that a picture class is registered for. The view resizes to it through
// its picture; the old picture is released. Failures ("Cannot open clipboard", "Invalid
// clipboard format", "Unsupported clipboard format") leave the picture as it was.
void PasteClipboardPicture(TPicture& preview);

// Runs the dialog; an empty name (cancelled) ends in EAbort with nothing done. Otherwise the
// clipboard's bitmap, with its palette, is written to the chosen name exactly as returned as a
// baseline colour JPEG at quality 90 (whatever the extension), notice("保存成功!") runs and
// the preview is emptied. On any failure the exception propagates: no file is left, no notice
// is shown and the preview keeps its picture.
void SaveClipboardPicture(TSaveNameSource& dialog, TPicture& preview,
                          const TNoticeFunction& notice);
