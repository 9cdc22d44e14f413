// Names of thumbnail files: the source name with "缩图" before its extension.
#pragma once

#include "runtime/ansi_string.h"

// "缩图" in code page 936.
inline constexpr char kThumbnailSuffix[] = "\xCB\xF5\xCD\xBC";

// The output name for a source path: the source's file name without its extension, then
// "缩图", then the extension with its dot (photo.jpg gives photo缩图.jpg, a.b.JPG gives
// a.b缩图.JPG, a name without extension gets "缩图" at its end). Double-byte aware.
AnsiString ThumbnailFileName(const AnsiString& sourcePath);

// folder + "\" + ThumbnailFileName(sourcePath). The folder is used unchanged, so a drive root
// ("C:\") gives a doubled separator and an empty folder gives "\name".
AnsiString ThumbnailOutputPath(const AnsiString& folder, const AnsiString& sourcePath);
