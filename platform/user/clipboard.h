// Windows clipboard stand-in.
//
// The calls keep the Windows contract: the clipboard is opened by one window at a time,
// emptied by its opener before data is put on it, and takes ownership of every handle given
// to SetClipboardData (HBITMAP, HPALETTE, HENHMETAFILE, or HGLOBAL memory for CF_TEXT, CF_DIB
// and CF_METAFILEPICT). Handles returned by GetClipboardData stay the clipboard's.
//
// Two backends sit behind these calls: an in-process clipboard (the default, used headless and
// in tests) and the system clipboard through Qt, installed by the program at start-up.
#pragma once

#include <memory>

#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"

namespace win {

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_METAFILEPICT = 3;
constexpr UINT CF_DIB = 8;
constexpr UINT CF_PALETTE = 9;
constexpr UINT CF_ENHMETAFILE = 14;

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
// The format after `format` in the clipboard's order (0 starts); 0 at the end.
UINT EnumClipboardFormats(UINT format);
int CountClipboardFormats();
BOOL IsClipboardFormatAvailable(UINT format);
HANDLE GetClipboardData(UINT format);
HANDLE SetClipboardData(UINT format, HANDLE data);
HWND GetOpenClipboardWindow();

// The backend behind the calls above.
class ClipboardBackend {
 public:
  virtual ~ClipboardBackend() = default;
  virtual BOOL Open(HWND owner) = 0;
  virtual BOOL Close() = 0;
  virtual BOOL Empty() = 0;
  virtual UINT EnumFormats(UINT format) = 0;
  virtual HANDLE GetData(UINT format) = 0;
  virtual HANDLE SetData(UINT format, HANDLE data) = 0;
  virtual HWND OpenWindow() = 0;
};

// Installs a backend (nullptr: the in-process one); returns the previous one.
std::unique_ptr<ClipboardBackend> SetClipboardBackend(std::unique_ptr<ClipboardBackend> backend);

}  // namespace win
