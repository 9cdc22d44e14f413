// Drag and drop as OLE has it: data objects offering clipboard formats, the drop source that
// decides when a drag ends, drop targets registered for windows, and DoDragDrop's modal loop.
//
// Formats are clipboard format numbers (CF_HDROP, or registered ones such as the shell's
// "Shell IDList Array"); data travels as HGLOBAL memory. The drag itself is carried out by a
// host: the Qt host (platform/user/qt) runs it as a system drag, so the desktop's other
// programs see it (a file list as text/uri-list) and drops from them reach our targets.
// Without a host a drag is cancelled at once. Everything here runs on the GUI thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/kernel/com.h"
#include "platform/kernel/kernel.h"

namespace win {

using CLIPFORMAT = WORD;
using HDROP = HANDLE;

constexpr UINT CF_HDROP = 15;

constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;

struct FORMATETC {
  CLIPFORMAT cfFormat = 0;
  void* ptd = nullptr;
  DWORD dwAspect = DVASPECT_CONTENT;
  LONG lindex = -1;
  DWORD tymed = TYMED_HGLOBAL;
};

struct STGMEDIUM {
  DWORD tymed = TYMED_NULL;
  HGLOBAL hGlobal = nullptr;
  // When set, releasing the medium releases this instead of freeing hGlobal.
  IUnknown* pUnkForRelease = nullptr;
};
// Frees what a GetData answered (or releases pUnkForRelease) and clears the medium.
void ReleaseStgMedium(STGMEDIUM* medium);

constexpr HRESULT DV_E_FORMATETC = HRESULT(0x80040064u);
constexpr HRESULT DV_E_TYMED = HRESULT(0x80040069u);
constexpr HRESULT DV_E_DVASPECT = HRESULT(0x8004006Bu);

struct IDataObject : IUnknown {
  // A copy of the data in a format, in memory the caller frees with ReleaseStgMedium.
  // DV_E_FORMATETC for a format the object does not offer, DV_E_TYMED for another medium
  // than TYMED_HGLOBAL, DV_E_DVASPECT for another aspect than DVASPECT_CONTENT.
  virtual HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) = 0;
  // S_OK when GetData would answer the format, else GetData's failure.
  virtual HRESULT QueryGetData(const FORMATETC* format) = 0;
  // Stores data in a format (replacing that format's data). With release TRUE the object
  // takes the medium's memory; otherwise it keeps a copy.
  virtual HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
  // Not the Windows shape (EnumFormatEtc's enumerator): the formats offered, in the object's
  // order.
  virtual HRESULT EnumFormats(std::vector<UINT>* formats) = 0;

 protected:
  ~IDataObject() = default;
};
inline constexpr IID IID_IDataObject{0x0000010E};

// Not a Windows call: an empty data object kept in memory, with a reference for the caller.
HRESULT CreateDataObject(IDataObject** object);
// Not a Windows call: the HGLOBAL bytes of one format (empty when the object lacks it).
bool ReadDataBytes(IDataObject* object, UINT format, std::string* bytes);

// Drop effects.
constexpr DWORD DROPEFFECT_NONE = 0;
constexpr DWORD DROPEFFECT_COPY = 1;
constexpr DWORD DROPEFFECT_MOVE = 2;
constexpr DWORD DROPEFFECT_LINK = 4;
constexpr DWORD DROPEFFECT_SCROLL = 0x80000000;

// Key state bits of the drag and drop calls.
constexpr DWORD MK_LBUTTON = 0x1;
constexpr DWORD MK_RBUTTON = 0x2;
constexpr DWORD MK_SHIFT = 0x4;
constexpr DWORD MK_CONTROL = 0x8;
constexpr DWORD MK_MBUTTON = 0x10;
constexpr DWORD MK_ALT = 0x20;

constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = HRESULT(0x80040100u);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = HRESULT(0x80040101u);
constexpr HRESULT DRAGDROP_E_INVALIDHWND = HRESULT(0x80040102u);

struct POINTL {
  LONG x = 0;
  LONG y = 0;
};

struct IDropSource : IUnknown {
  // Asked whenever the keys or buttons change: S_OK to go on, DRAGDROP_S_DROP to drop,
  // DRAGDROP_S_CANCEL to cancel.
  virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
  // DRAGDROP_S_USEDEFAULTCURSORS lets the platform show its own cursor for the effect.
  virtual HRESULT GiveFeedback(DWORD effect) = 0;

 protected:
  ~IDropSource() = default;
};

struct IDropTarget : IUnknown {
  // `effect` comes in as the effects the source allows and goes out as the one the target
  // would take at pt (screen coordinates). A failure counts as DROPEFFECT_NONE.
  virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) = 0;
  virtual HRESULT DragOver(DWORD keyState, POINTL pt, DWORD* effect) = 0;
  virtual HRESULT DragLeave() = 0;
  // The keys and buttons are those just before the drop (so the source's button is no
  // longer held in a real drag); `effect` goes out as the effect performed.
  virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) = 0;

 protected:
  ~IDropTarget() = default;
};

// Makes `window` a drop target (with a reference on `target` until it is revoked or the
// window is destroyed). E_INVALIDARG for a null target, DRAGDROP_E_INVALIDHWND for a handle
// that is not a live window, DRAGDROP_E_ALREADYREGISTERED for a window registered already.
HRESULT RegisterDragDrop(HWND window, IDropTarget* target);
// DRAGDROP_E_NOTREGISTERED when the window has no target.
HRESULT RevokeDragDrop(HWND window);
// Not a Windows call: the target registered for a window (no reference added), or null.
IDropTarget* RegisteredDropTarget(HWND window);
// Not a Windows call: told of the window after each successful RegisterDragDrop and
// RevokeDragDrop (not when a destroyed window's target goes), so the window layer can let
// the window's widget take drops exactly while it is a target. Returns the previous observer.
using DropTargetObserver = std::function<void(HWND window)>;
DropTargetObserver SetDropTargetObserver(DropTargetObserver observer);

// Runs the drag until the source drops or cancels. Answers DRAGDROP_S_DROP with the effect
// the target performed, DRAGDROP_S_CANCEL with DROPEFFECT_NONE, or E_INVALIDARG for a null
// object, source or effect pointer, E_UNEXPECTED when a drag is already running.
HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
// Not Windows calls: who carries the drag out. The host is called with valid arguments and
// one drag at a time. An empty host restores the headless one, which cancels at once.
using DragDropHost =
    std::function<HRESULT(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect)>;
DragDropHost SetDragDropHost(DragDropHost host);
// Whether DoDragDrop is running.
bool DragDropActive();

// The CF_HDROP layout: this header, then the paths (code page 936, each ended by a zero
// byte, the list by one more) at offset pFiles.
struct DROPFILES {
  DWORD pFiles;
  POINT pt;
  BOOL fNC;
  BOOL fWide;
};
// Not a Windows call: a CF_HDROP block naming the paths (GlobalAlloc'ed, the caller's).
HGLOBAL CreateFileDropData(const std::vector<std::string>& paths);
// With index 0xFFFFFFFF the number of paths; otherwise the path's length, and the path into
// buffer (cut to size - 1 bytes) when there is one. 0 for a block that is not a file list.
UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size);
// Not a Windows call: every path of a CF_HDROP block (empty when it is malformed).
std::vector<std::string> FileDropPaths(HGLOBAL drop);

}  // namespace win
