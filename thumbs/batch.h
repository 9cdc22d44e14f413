// The three batch commands of the main window, over what they need of it. The window passes
// itself (through BatchWindow); its handlers call these and nothing more.
#pragma once

#include "runtime/ansi_string.h"

class TPicture;

// What a batch run reads from and does to the main window. The list is the work list: its
// items are full paths.
class BatchWindow {
 public:
  virtual ~BatchWindow() = default;

  virtual int ItemCount() = 0;
  virtual AnsiString Item(int index) = 0;
  virtual bool ItemSelected(int index) = 0;
  // Moves the focus mark only; the selection stays.
  virtual void SetItemIndex(int index) = 0;
  // The list's click handler: both previews loaded from the current item, thumbnail made.
  virtual void ShowCurrentItem() = 0;
  // Refills the list from the folder tree's selected folder.
  virtual void RefreshList() = 0;
  // The folder tree's selected folder (a drive root ends with "\"), read when asked.
  virtual AnsiString CurrentFolder() = 0;
  // The folder dialog: the chosen folder, or "" when cancelled or not a file-system folder.
  virtual AnsiString ChooseFolder() = 0;
  virtual void ShowNotice(const AnsiString& text) = 0;
  virtual TPicture& Preview() = 0;
  virtual TPicture& View() = 0;
  virtual AnsiString WidthText() = 0;
  // The hourglass for the length of a run.
  virtual void SetBusy(bool busy) = 0;
  // Repaints the list's current item and the previews at once (no message loop).
  virtual void ShowProgress() = 0;
  // A thumbnail of the run has just been written to outputPath.
  virtual void ThumbnailSaved(const AnsiString& outputPath) { static_cast<void>(outputPath); }
  // Whether the files still ahead may be decoded on a helper thread (see DecodeAhead).
  virtual bool DecodeAheadAllowed() { return true; }
};

// All listed files into the tree's folder (RzButton2Click). An empty list aborts silently.
void SaveAllToCurrentFolder(BatchWindow& window);
// All listed files into a folder the user picks (RzButton3Click). An empty list, a cancelled
// dialog or a choice without a file-system path aborts silently before anything is written.
void SaveAllToChosenFolder(BatchWindow& window);
// The selected files into the tree's folder (N2Click); the current item and the thumbnail view's
// source stay, only the preview is loaded.
void SaveSelectedToCurrentFolder(BatchWindow& window);
