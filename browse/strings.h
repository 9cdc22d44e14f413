// The texts of the image file list (code page 936).
#pragma once

// "缩图的大小尺寸:", before the thumbnail's width x height.
inline constexpr char kThumbnailSizePrefix[] =
    "\xCB\xF5\xCD\xBC\xB5\xC4\xB4\xF3\xD0\xA1\xB3\xDF\xB4\xE7:";
// "下列文件未能删除:", then one line per file: the path and the system's reason in brackets.
inline constexpr char kDeleteFailed[] =
    "\xCF\xC2\xC1\xD0\xCE\xC4\xBC\xFE\xCE\xB4\xC4\xDC\xC9\xBE\xB3\xFD:";
