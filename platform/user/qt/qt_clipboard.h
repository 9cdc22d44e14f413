// The system clipboard through Qt, behind the platform clipboard calls.
//
// What another program offers reads as Windows formats: an image as CF_BITMAP (a bitmap
// compatible with the screen), then CF_DIB (a packed 32-bit DIB), then CF_PALETTE when the
// image has a colour table; text as CF_TEXT in code page 936; in the order the clipboard lists
// them. What this program puts there is offered to others when the clipboard is closed: a
// CF_BITMAP (or CF_DIB) as an image, with CF_PALETTE as its colour table, CF_TEXT as text.
#pragma once

namespace win {

// Needs a QGuiApplication; call RemoveQtClipboard before that is destroyed.
void InstallQtClipboard();
// Puts a fresh in-process clipboard back.
void RemoveQtClipboard();

}  // namespace win
