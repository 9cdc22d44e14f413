// The image file list: filling it from a folder, showing its current file, deleting its
// selected files. Over what the window's list box offers, so it runs without a window.
#pragma once

#include <functional>
#include <vector>

#include "runtime/ansi_string.h"

class TPicture;

// What the list logic needs of the window's list box (multiple selection).
class FileListBox {
 public:
  virtual ~FileListBox() = default;

  virtual int Count() = 0;
  virtual AnsiString Item(int index) = 0;
  virtual bool Selected(int index) = 0;
  // Changes the selection without a click notification.
  virtual void SetSelected(int index, bool selected) = 0;
  // The item with the focus mark; -1 when none.
  virtual int ItemIndex() = 0;
  // Replaces every item; nothing is selected afterwards.
  virtual void SetItems(const std::vector<AnsiString>& items) = 0;
  virtual void Delete(int index) = 0;
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  // The list's OnDeleteItems event.
  virtual void DeleteItemsDone() {}
};

// Fills items with folder part + name of every non-directory entry that mask (a path whose last
// part is a wildcard) finds with attribute mask 63, hidden and system files included, in the
// file system's order. A folder part that names no existing directory leaves items empty.
void ListFolderFiles(std::vector<AnsiString>& items, const AnsiString& mask);

// The folder tree's click: the list refilled from selectedPath + "\*.jpg" (a drive root keeps
// its doubled separator), the first item selected without a click notification.
void FillFileList(FileListBox& list, const AnsiString& selectedPath);

// The current item's text while at least one item is selected; "" otherwise.
AnsiString SelectedItem(FileListBox& list);

// What a click on a listed file sets in the window's two hidden controls.
struct ShownFile {
  AnsiString sizeText;  // "缩图的大小尺寸:200x150"
  AnsiString pathText;  // the shown file's path
};

// The list's click: the current file loaded into preview and view, its thumbnail made into
// view at widthText. A failure leaves at its step (no texts come back).
ShownFile ShowListedFile(FileListBox& list, TPicture& preview, TPicture& view,
                         const AnsiString& widthText);

// Removes every selected item, last first, with the list's updating suspended and setBusy(true)
// (the hourglass) until done, on every exit path; then raises the list's OnDeleteItems.
void DeleteSelectedItems(FileListBox& list, const std::function<void(bool)>& setBusy = {});

// The delete command: every selected item's file deleted from the disk, in list order, and its
// item removed. An item whose file is still there afterwards stays listed and selected, and
// one Exception after the rest names those files with the system's reasons.
void DeleteSelectedFiles(FileListBox& list, const std::function<void(bool)>& setBusy = {});
