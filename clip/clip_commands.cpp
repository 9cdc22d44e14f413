#include "clip/clip_commands.h"

#include <memory>

#include "clip/strings.h"
#include "imaging/bitmap.h"
#include "imaging/clipboard.h"
#include "imaging/jpeg_image.h"
#include "runtime/exceptions.h"

void PasteClipboardPicture(TPicture& preview) {
  preview.CopyFrom(&Clipboard());
}

void SaveClipboardPicture(TSaveNameSource& dialog, TPicture& preview,
                          const TNoticeFunction& notice) {
  AnsiString fileName;
  if (dialog.Execute()) fileName = dialog.FileName();
  if (fileName.empty()) throw EAbort();

  // Both working objects go on every path, failures included.
  auto jpeg = std::make_unique<TJPEGImage>();
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->CopyFrom(&Clipboard());
  jpeg->CopyFrom(bitmap.get());
  // The file is always a baseline colour JPEG at quality 90, whatever the process defaults
  // were set to and whatever extension the name has.
  jpeg->SetEncodeQuality(90);
  jpeg->SetGrayOutput(false);
  jpeg->SetMultiScan(false);
  jpeg->WriteToFile(fileName);
  jpeg.reset();
  bitmap.reset();

  if (notice) notice(clip_strings::kSaved);
  preview.SetGraphic(nullptr);
}
