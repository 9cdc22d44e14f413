// A list box of the window layer as the image file list's logic sees it.
#pragma once

#include <vector>

#include "browse/file_list.h"
#include "ui/list_box.h"

class ListBoxFileList : public FileListBox {
 public:
  explicit ListBoxFileList(TListBox& list) : list_(list) {}

  int Count() override { return list_.Items().Count(); }
  AnsiString Item(int index) override { return list_.Items().Strings(index); }
  bool Selected(int index) override { return list_.Selected(index); }
  void SetSelected(int index, bool selected) override { list_.SetSelected(index, selected); }
  int ItemIndex() override { return list_.ItemIndex(); }
  void SetItems(const std::vector<AnsiString>& items) override { list_.Items().Assign(items); }
  void Delete(int index) override { list_.Items().Delete(index); }
  void BeginUpdate() override { list_.Items().BeginUpdate(); }
  void EndUpdate() override { list_.Items().EndUpdate(); }
  void DeleteItemsDone() override {
    if (list_.OnDeleteItems) list_.OnDeleteItems(&list_);
  }

 private:
  TListBox& list_;
};
