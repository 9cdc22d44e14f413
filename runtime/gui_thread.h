// The GUI-thread rule. The image objects (bitmaps, canvases, pictures, graphics), the window
// layer and the commands run on one thread: the GUI thread. Debug builds check it at the entry
// points of those objects; a release build checks nothing.
#pragma once

// Makes the calling thread the GUI thread (the application calls this at start-up). Without
// it, the first thread that reaches a check becomes the GUI thread.
void SetGuiThread();

#ifdef NDEBUG
inline void AssertGuiThread() {}
#else
// Aborts with a message naming what was called when the calling thread is not the GUI thread.
void AssertGuiThreadFor(const char* what);
inline void AssertGuiThread(const char* what = __builtin_FUNCTION()) {
  AssertGuiThreadFor(what);
}
#endif
