// The runtime's message texts. Every exception raised by the runtime and the image layer
// takes its text from here; texts with placeholders are printf formats.
#pragma once

namespace strings {

inline constexpr char kInvalidInteger[] = "'%s' is not a valid integer value";
inline constexpr char kAssignError[] = "Cannot assign a %s to a %s";
inline constexpr char kFOpenError[] = "Cannot open file \"%s\". %s";
inline constexpr char kFCreateError[] = "Cannot create file \"%s\". %s";
inline constexpr char kReadError[] = "Stream read error";
inline constexpr char kWriteError[] = "Stream write error";
inline constexpr char kMemoryStreamError[] = "Out of memory while expanding memory stream";
inline constexpr char kOutOfMemory[] = "Out of memory";
inline constexpr char kOutOfResources[] = "Out of system resources";
inline constexpr char kOSError[] = "System Error.  Code: %d.\r\n%s";
inline constexpr char kUnkOSError[] = "A call to an OS function failed";
inline constexpr char kOperationAborted[] = "Operation aborted";

// Image layer.
inline constexpr char kInvalidBitmap[] = "Bitmap image is not valid";
inline constexpr char kInvalidPixelFormat[] = "Invalid pixel format";
inline constexpr char kScanLine[] = "Scan line index out of range";
inline constexpr char kUnknownClipboardFormat[] = "Unsupported clipboard format";
inline constexpr char kNoCanvasHandle[] = "Canvas does not allow drawing";
inline constexpr char kUnknownExtension[] = "Unknown picture file extension (.%s)";
inline constexpr char kCannotOpenClipboard[] = "Cannot open clipboard";
inline constexpr char kInvalidClipboardFormat[] = "Invalid clipboard format";
inline constexpr char kJPEGError[] = "JPEG error #%d";
inline constexpr char kJPEGTooLarge[] = "JPEG image is too large (%d x %d pixels)";
inline constexpr char kJPEGTooManyScans[] = "JPEG image has too many scans (more than %d)";
inline constexpr char kChangeJPGSize[] = "Cannot change the size of a JPEG image";
inline constexpr char kEmptyJPEG[] = "Cannot save an empty JPEG image";
inline constexpr char kJPEGImageFile[] = "JPEG Image File";
inline constexpr char kVMetafiles[] = "Metafiles";
inline constexpr char kVEnhMetafiles[] = "Enhanced Metafiles";
inline constexpr char kVIcons[] = "Icons";
inline constexpr char kVBitmaps[] = "Bitmaps";
inline constexpr char kAllFilter[] = "All";
inline constexpr char kInvalidIcon[] = "Invalid icon";
inline constexpr char kChangeIconSize[] = "Cannot change the size of an icon";
inline constexpr char kIconToClipboard[] = "Clipboard does not support Icons";
inline constexpr char kInvalidMetafile[] = "Metafile is not valid";

}  // namespace strings
