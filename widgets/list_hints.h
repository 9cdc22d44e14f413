// Item hints of the framed list box and the link label's target: the small decisions of those
// controls, kept apart from their windows.
#pragma once

#include "platform/gdi/gdi.h"
#include "runtime/ansi_string.h"

// An entry needs a hint when its text is wider than the list's client area (2 pixels of margin).
constexpr bool ItemHintNeeded(int textWidth, int clientWidth) {
  return textWidth + 2 > clientWidth;
}

// The hint window's rectangle for an entry at itemRect (screen coordinates) and the size the
// hint window computed for the text: one pixel left of the entry, vertically centred on it and
// raised by 2 pixels.
win::RECT ItemHintRect(const win::RECT& itemRect, win::SIZE hintSize);

// The hint's text: tabs expanded to eight spaces.
AnsiString ExpandTabs(const AnsiString& text);

// What a link label opens: URL when its trimmed text is not empty, else the caption; trimmed
// (characters up to and including the space removed at both ends). Empty: nothing to open.
AnsiString LinkTarget(const AnsiString& url, const AnsiString& caption);
