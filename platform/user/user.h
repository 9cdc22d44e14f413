// Windows user-interface stand-in: messages, timers, the cursor, capture, message boxes and
// the system's metrics and settings.
//
// A window is a handle of the window table (window.h); the control layer gives each windowed
// control one and registers its message handler here. What needs a real GUI (posting across
// threads, timers, the cursor, modal boxes, screen geometry) goes to the installed UserHost;
// the program installs the Qt host (platform/user/qt), and without one a headless host answers:
// posted messages wait in a queue for DispatchPostedMessages, timers never fire, the screen is
// 1280 x 800, message boxes answer IDOK without showing anything.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gdi/gdi.h"
#include "platform/user/window.h"

namespace win {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;

constexpr WORD LOWORD(std::uintptr_t value) {
  return WORD(value & 0xFFFF);
}
constexpr WORD HIWORD(std::uintptr_t value) {
  return WORD((value >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
  return WPARAM(low) | (WPARAM(high) << 16);
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high) {
  return LPARAM(DWORD(low) | (DWORD(high) << 16));
}

struct HCURSOR__;
using HCURSOR = HCURSOR__*;

// --- Messages ----------------------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_MENUCHAR = 0x0120;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_USER = 0x0400;

// A window's message handler. The control layer registers one per windowed control; it runs
// on the GUI thread.
using WindowProc = std::function<LRESULT(HWND window, UINT message, WPARAM wParam, LPARAM lParam)>;
using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR id, DWORD time);

// Registers (or, with an empty handler, removes) the handler of a live window. Removing it
// also stops the window's timers. FALSE (ERROR_INVALID_WINDOW_HANDLE) for a dead window.
BOOL SetWindowProc(HWND window, WindowProc proc);

// Calls the window's handler at once, on the calling thread. 0 (and
// ERROR_INVALID_WINDOW_HANDLE) when the window is not live or has no handler.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Queues the message for the window's handler on the GUI thread; callable from any thread.
// FALSE (ERROR_INVALID_WINDOW_HANDLE) when the window is not live.
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// What the host calls on the GUI thread for each posted message or timer tick. A message for
// a window that died after posting is dropped.
void DeliverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Headless host only: delivers the queued posted messages; returns how many.
int DispatchPostedMessages();

// A timer of a window (or, with window 0, a thread timer whose id is chosen here). Each tick
// sends WM_TIMER (wParam the id, lParam the procedure) to the window's handler, or calls proc
// when one is given. Setting an existing id again restarts it. 0 on failure.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// --- Cursor and capture ------------------------------------------------------------------
// The stock cursors; LoadCursor(0, IDC_x) names them.
inline const LPCSTR IDC_ARROW = reinterpret_cast<LPCSTR>(32512);
inline const LPCSTR IDC_IBEAM = reinterpret_cast<LPCSTR>(32513);
inline const LPCSTR IDC_WAIT = reinterpret_cast<LPCSTR>(32514);
inline const LPCSTR IDC_CROSS = reinterpret_cast<LPCSTR>(32515);
inline const LPCSTR IDC_SIZENWSE = reinterpret_cast<LPCSTR>(32642);
inline const LPCSTR IDC_SIZENESW = reinterpret_cast<LPCSTR>(32643);
inline const LPCSTR IDC_SIZEWE = reinterpret_cast<LPCSTR>(32644);
inline const LPCSTR IDC_SIZENS = reinterpret_cast<LPCSTR>(32645);
inline const LPCSTR IDC_SIZEALL = reinterpret_cast<LPCSTR>(32646);
inline const LPCSTR IDC_NO = reinterpret_cast<LPCSTR>(32648);
inline const LPCSTR IDC_HAND = reinterpret_cast<LPCSTR>(32649);
inline const LPCSTR IDC_APPSTARTING = reinterpret_cast<LPCSTR>(32650);

// A stock cursor (instance 0 only); 0 for an unknown name. The handle's value is the
// resource number, so CursorId gives it back.
HCURSOR LoadCursor(HANDLE instance, LPCSTR name);
int CursorId(HCURSOR cursor);
// Shows the cursor over every window of the program and returns the previous one. 0 gives the
// windows their own cursors back (the system never hides the cursor).
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);

// The window that gets the mouse while a button is held; the previous one is sent
// WM_CAPTURECHANGED.
HWND SetCapture(HWND window);
HWND GetCapture();
BOOL ReleaseCapture();

// --- Message boxes -----------------------------------------------------------------------
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_OKCANCEL = 0x01;
constexpr UINT MB_YESNOCANCEL = 0x03;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_ICONHAND = 0x10;  // stop
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_TYPEMASK = 0x0F;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A modal box over every window of the program; text and caption are code page 936. Returns
// the button pressed (closing the box answers IDCANCEL, or IDOK when OK is the only button).
int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL MessageBeep(UINT type);

// Replaces what shows message boxes (tests capture them instead); returns the previous
// presenter. An empty presenter puts the host's own back.
using MessageBoxPresenter =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// --- Metrics and settings ----------------------------------------------------------------
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CYVTHUMB = 9;
constexpr int SM_CXHTHUMB = 10;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXCURSOR = 13;
constexpr int SM_CYCURSOR = 14;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int SM_CXDRAG = 68;
constexpr int SM_CYDRAG = 69;
constexpr int SM_MOUSEWHEELPRESENT = 75;
constexpr int SM_XVIRTUALSCREEN = 76;
constexpr int SM_YVIRTUALSCREEN = 77;
constexpr int SM_CXVIRTUALSCREEN = 78;
constexpr int SM_CYVIRTUALSCREEN = 79;
constexpr int SM_CMONITORS = 80;

// 0 for an unknown index, as Windows answers.
int GetSystemMetrics(int index);

constexpr UINT SPI_GETWORKAREA = 0x0030;
constexpr UINT SPI_GETMOUSEHOVERWIDTH = 0x0062;
constexpr UINT SPI_GETMOUSEHOVERHEIGHT = 0x0064;
constexpr UINT SPI_GETMOUSEHOVERTIME = 0x0066;
constexpr UINT SPI_GETWHEELSCROLLLINES = 0x0068;

// Reads a setting into *value (a RECT for the work area, a UINT otherwise). FALSE
// (ERROR_INVALID_PARAMETER) for a null pointer or an action this layer does not know.
BOOL SystemParametersInfo(UINT action, UINT param, void* value, UINT winIni);
UINT GetDoubleClickTime();

// The classic scheme: button face #D4D0C8, shadow #808080, highlight #FFFFFF, dark shadow
// #404040, window #FFFFFF, window text #000000, selection #0A246A. 0 for an unknown index.
COLORREF GetSysColor(int index);

// --- The host ----------------------------------------------------------------------------
// What a GUI toolkit provides. Every call but PostToWindow comes from the GUI thread.
class UserHost {
 public:
  virtual ~UserHost() = default;
  // Must arrange DeliverMessage(window, ...) on the GUI thread; called from any thread.
  virtual bool PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // Calls back TimerFired(window, id) every elapse milliseconds until StopTimer.
  virtual bool StartTimer(HWND window, UINT_PTR id, UINT elapse) = 0;
  virtual void StopTimer(HWND window, UINT_PTR id) = 0;
  virtual POINT CursorPos() = 0;
  virtual void MoveCursor(int x, int y) = 0;
  // A stock cursor id (IDC_*), or 0 for the windows' own cursors.
  virtual void ShowCursor(int cursorId) = 0;
  virtual int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                             UINT type) = 0;
  virtual void Beep() = 0;
  // The area of all monitors together, the primary monitor, and the work area of all monitors.
  virtual RECT VirtualScreen() = 0;
  virtual RECT PrimaryScreen() = 0;
  virtual RECT WorkArea() = 0;
  virtual int MonitorCount() = 0;
  virtual UINT DoubleClickTime() = 0;
  virtual UINT WheelScrollLines() = 0;
};

// Installs a host (0 puts the headless one back). The host must outlive its installation.
void SetUserHost(UserHost* host);
// Called by the host for each tick of a timer it started.
void TimerFired(HWND window, UINT_PTR id);

}  // namespace win
