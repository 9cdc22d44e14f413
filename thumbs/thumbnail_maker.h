// The thumbnail maker: the body of the main window's Button1Click, callable without a window.
#pragma once

#include "runtime/ansi_string.h"

class TPicture;

// Turns the picture that `source` holds into a thumbnail whose width is the integer in
// widthText, keeping the aspect ratio, and puts it into `view` as a JPEG graphic ready to be
// saved. The graphic that view already holds takes the thumbnail in place (no change
// notification, so a view keeps its bounds); a view without a graphic takes the thumbnail as
// a new graphic. Every failure leaves as an exception with view unchanged: width text that is
// not an integer raises EConvertError "'%s' is not a valid integer value"; a source that cannot
// be taken or decoded raises the image layer's error.
void MakeThumbnail(TPicture& source, const AnsiString& widthText, TPicture& view);
