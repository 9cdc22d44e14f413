#include "thumbs/output_name.h"

AnsiString ThumbnailFileName(const AnsiString& sourcePath) {
  const AnsiString name = ExtractFileName(sourcePath);
  const AnsiString ext = ExtractFileExt(name);
  // The base is the name with as many bytes cut from its end as the extension has.
  return name.substr(0, name.size() - ext.size()) + kThumbnailSuffix + ext;
}

AnsiString ThumbnailOutputPath(const AnsiString& folder, const AnsiString& sourcePath) {
  return folder + "\\" + ThumbnailFileName(sourcePath);
}
