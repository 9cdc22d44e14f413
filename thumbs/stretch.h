// The thumbnail size rule and the halftone stretch with its frame.
#pragma once

#include <cstdint>

class TBitmap;

// The thumbnail height for a sourceWidth x sourceHeight picture at targetWidth: the ratio
// height / width is formed in extended precision and kept as a single-precision value; the
// product targetWidth x ratio (exact in extended precision) is truncated toward zero. A zero
// source width gives 0; a product beyond the 32-bit range saturates.
std::int32_t ThumbnailHeight(std::int32_t sourceWidth, std::int32_t sourceHeight,
                             std::int32_t targetWidth);

// Resamples all of source onto all of target (already sized) with HALFTONE stretching and
// SRCCOPY, then, if frame >= 0, frames target's outermost pixels with its canvas's brush
// (white on a new bitmap). frame only switches the frame on; it does not colour it.
void StretchWithFrame(TBitmap& target, TBitmap& source, std::int32_t frame);
