// The main window's file list, batch and delete commands: TForm1's handlers over the list
// logic of browse/ and the batch commands of thumbs/, with the window's own controls behind
// the small interfaces those take.
#include "app/unit1.h"
#include "browse/file_list.h"
#include "browse/folder_dialog.h"
#include "browse/list_box_file_list.h"
#include "browse/shell_tree.h"
#include "thumbs/batch.h"
#include "ui/extctrls.h"
#include "ui/list_box.h"
#include "ui/stdctrls.h"
#include "widgets/rz_status.h"

namespace {

// The hourglass over every window of the program, or the windows' own cursors again.
void SetHourglass(bool busy) {
  if (Screen != nullptr) Screen->SetCursor(busy ? crHourGlass : crDefault);
}

// The main window as a batch run sees it. The handlers still call one another: the list's
// click and the refresh are TForm1's own.
class FormBatchWindow : public BatchWindow {
 public:
  explicit FormBatchWindow(TForm1& form)
      : form_(form), list_(*form.RzListBox1), tree_(*form.ShellTreeView1) {}

  int ItemCount() override { return list_.Items().Count(); }
  AnsiString Item(int index) override { return list_.Items().Strings(index); }
  bool ItemSelected(int index) override { return list_.Selected(index); }
  void SetItemIndex(int index) override { list_.SetItemIndex(index); }
  void ShowCurrentItem() override { form_.RzListBox1Click(&list_); }
  void RefreshList() override { form_.ShellTreeView1Click(&tree_); }
  AnsiString CurrentFolder() override { return tree_.SelectedPath(); }
  AnsiString ChooseFolder() override { return BrowseFolder(&form_); }
  void ShowNotice(const AnsiString& text) override { ::ShowNotice(text); }
  TPicture& Preview() override { return form_.Image1->Picture(); }
  TPicture& View() override { return form_.Image2->Picture(); }
  AnsiString WidthText() override { return form_.Edit1->Text(); }
  void SetBusy(bool busy) override { SetHourglass(busy); }
  // Painted now, without a return to the message loop, so no input is taken mid-run.
  void ShowProgress() override {
    list_.Repaint();
    form_.Image1->Repaint();
    form_.Image2->Repaint();
  }

 private:
  TForm1& form_;
  TListBox& list_;
  TRzShellTree& tree_;
};

}  // namespace

void TForm1::ShellTreeView1Click(TObject*) {
  ListBoxFileList list(*RzListBox1);
  FillFileList(list, ShellTreeView1->SelectedPath());
}

void TForm1::RzListBox1Click(TObject*) {
  ListBoxFileList list(*RzListBox1);
  const ShownFile shown = ShowListedFile(list, Image1->Picture(), Image2->Picture(), Edit1->Text());
  RzStatusPane1->SetCaption(shown.sizeText);
  Memo1->SetText(shown.pathText);
}

void TForm1::RzButton2Click(TObject*) {
  FormBatchWindow window(*this);
  SaveAllToCurrentFolder(window);
}

void TForm1::RzButton3Click(TObject*) {
  FormBatchWindow window(*this);
  SaveAllToChosenFolder(window);
}

void TForm1::N1Click(TObject*) {
  ListBoxFileList list(*RzListBox1);
  DeleteSelectedFiles(list, SetHourglass);
}

void TForm1::N2Click(TObject*) {
  FormBatchWindow window(*this);
  SaveSelectedToCurrentFolder(window);
}
