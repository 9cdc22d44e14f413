// Windows clipboard stand-in.
//
// The calls keep the Windows contract: the clipboard is opened by one window at a time (a
// second OpenClipboard from another window fails with ERROR_ACCESS_DENIED until the first
// closes it), EmptyClipboard makes the opener the owner, and everything but
// IsClipboardFormatAvailable and CountClipboardFormats needs the clipboard open
// (ERROR_CLIPBOARD_NOT_OPEN otherwise). SetClipboardData takes ownership of the handle on
// success (HBITMAP, HPALETTE, HENHMETAFILE, or HGLOBAL memory for CF_TEXT, CF_DIB and
// CF_METAFILEPICT) and frees it when the format is replaced or the clipboard emptied; on
// failure the caller keeps it. Handles returned by GetClipboardData stay the clipboard's.
//
// Two backends sit behind these calls: an in-process clipboard (the default, used headless and
// in tests) and the system clipboard through Qt (platform/user/qt), installed by the program
// at start-up.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"

namespace win {

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_METAFILEPICT = 3;
constexpr UINT CF_DIB = 8;
constexpr UINT CF_PALETTE = 9;
constexpr UINT CF_ENHMETAFILE = 14;

constexpr DWORD ERROR_CLIPBOARD_NOT_OPEN = 1418;

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
// The format after `format` in the clipboard's order (0 starts); 0 at the end (last error
// ERROR_SUCCESS) or when the clipboard is not open.
UINT EnumClipboardFormats(UINT format);
int CountClipboardFormats();
BOOL IsClipboardFormatAvailable(UINT format);
HANDLE GetClipboardData(UINT format);
// Returns data on success. A handle of 0 (delayed rendering) is not supported and fails.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The window that has the clipboard open (0 when closed or opened without a window).
HWND GetOpenClipboardWindow();
// The window that last emptied the clipboard.
HWND GetClipboardOwner();

// A format number (0xC000 and up) for a name, the same for the same name (compared without
// case); 0 (ERROR_INVALID_PARAMETER) for a null or empty name. Names with a "/" are MIME types
// and are exchanged with other programs as such, as HGLOBAL bytes.
UINT RegisterClipboardFormatA(LPCSTR name);
// The name of a registered format into buffer (cut to size - 1 bytes); 0 for other formats.
int GetClipboardFormatNameA(UINT format, char* buffer, int size);

// Frees a clipboard data handle of the given format as the clipboard itself would: GDI
// objects with DeleteObject, metafiles with their delete call, memory with GlobalFree (for
// CF_METAFILEPICT also the metafile it names).
void FreeClipboardData(UINT format, HANDLE data);

// Clipboard data in the order it was put there, owning every handle.
class ClipboardStore {
 public:
  ClipboardStore() = default;
  ClipboardStore(const ClipboardStore&) = delete;
  ClipboardStore& operator=(const ClipboardStore&) = delete;
  ~ClipboardStore() { Clear(); }

  void Clear();
  // Takes ownership; a format already present is replaced (the old handle freed) in place.
  void Set(UINT format, HANDLE data);
  HANDLE Get(UINT format) const;
  bool Has(UINT format) const { return Get(format) != nullptr; }
  bool IsEmpty() const { return entries_.empty(); }
  std::vector<UINT> Formats() const;

 private:
  std::vector<std::pair<UINT, HANDLE>> entries_;
};

// The data side of the clipboard; the open state, the owner and the errors are kept by the
// calls above. All calls come from the GUI thread.
class ClipboardBackend {
 public:
  virtual ~ClipboardBackend() = default;
  // A new open period begins; what the backend lists stays as it is until Closed.
  virtual void Opened() {}
  // The period ends; `changed` tells whether it was emptied or given data.
  virtual void Closed(bool changed) { (void)changed; }
  virtual void Empty() = 0;
  // The formats present, in the clipboard's order.
  virtual std::vector<UINT> Formats() = 0;
  virtual HANDLE GetData(UINT format) = 0;
  // Takes ownership of data (not 0) on success.
  virtual bool SetData(UINT format, HANDLE data) = 0;
};

// The default backend: the data lives in this process.
class InProcessClipboard : public ClipboardBackend {
 public:
  void Empty() override { store_.Clear(); }
  std::vector<UINT> Formats() override { return store_.Formats(); }
  HANDLE GetData(UINT format) override { return store_.Get(format); }
  bool SetData(UINT format, HANDLE data) override {
    store_.Set(format, data);
    return true;
  }

 private:
  ClipboardStore store_;
};

// Installs a backend (nullptr: a new in-process one); returns the previous one. The open state
// carries over, so it should be swapped while the clipboard is closed.
std::unique_ptr<ClipboardBackend> SetClipboardBackend(std::unique_ptr<ClipboardBackend> backend);

}  // namespace win
