// The save command's view of the window's save-picture dialog.
#pragma once

#include "clip/clip_commands.h"
#include "ui/dialogs.h"

class TDialogNameSource : public TSaveNameSource {
 public:
  explicit TDialogNameSource(TOpenPictureDialog& dialog) : dialog_(dialog) {}
  bool Execute() override { return dialog_.Execute(); }
  AnsiString FileName() const override { return dialog_.FileName(); }

 private:
  TOpenPictureDialog& dialog_;
};
