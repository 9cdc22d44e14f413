// The folder dialog: the shell namespace from the desktop in our folder tree, in a small modal
// window owned by the main window, with a prompt and the two buttons of a Chinese system.
#pragma once

#include <functional>
#include <memory>

#include "runtime/ansi_string.h"

class TButton;
class TForm;
class TLabel;
class TRzShellTree;
class TWinControl;

class TFolderDialog {
 public:
  // The window's caption, the prompt above the tree and the buttons.
  static const char* const kCaption;  // "浏览文件夹"
  static const char* const kPrompt;   // "请选择相应文件夹"
  static const char* const kOk;       // "确定"
  static const char* const kCancel;   // "取消"

  // owner: the window the dialog belongs to and is centred over (may be null).
  explicit TFolderDialog(TWinControl* owner);
  ~TFolderDialog();
  TFolderDialog(const TFolderDialog&) = delete;
  TFolderDialog& operator=(const TFolderDialog&) = delete;

  // Shows the dialog modally until a button or the window's close ends it; the result as
  // TakeResult gives it.
  AnsiString Execute();

  // The two halves of Execute, for tests: builds the window (prompt, tree filled from the
  // desktop with the desktop selected, buttons) without showing it, and takes the answer.
  void Prepare();
  // Confirmed: the selected item's file-system path, "C:\" with its backslash for a drive
  // root, no trailing "\" otherwise; "" for an item without one (the computer, the network,
  // the control panel, the recycle bin). Not confirmed: "".
  AnsiString TakeResult(bool confirmed) const;

  TForm* Form() const;
  TRzShellTree* Tree() const { return tree_; }
  TLabel* PromptLabel() const { return prompt_; }
  TButton* OkButton() const { return ok_; }
  TButton* CancelButton() const { return cancel_; }

 private:
  class DialogForm;

  TWinControl* owner_;
  std::unique_ptr<DialogForm> form_;
  TRzShellTree* tree_ = nullptr;
  TLabel* prompt_ = nullptr;
  TButton* ok_ = nullptr;
  TButton* cancel_ = nullptr;
  // Ends the modal loop of Execute with the answer.
  std::function<void(bool confirmed)> finish_;
};

// The folder dialog over owner: the chosen folder's file-system path, or "" when the user
// cancels or chooses an item without one.
AnsiString BrowseFolder(TWinControl* owner);
