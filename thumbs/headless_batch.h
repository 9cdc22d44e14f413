// The batch commands without a window: a fixed work list, every item selected, one output
// folder (or each file's own). Benchmarks and the developer tools run the window's batch path
// through it.
#pragma once

#include <functional>
#include <vector>

#include "runtime/ansi_string.h"
#include "thumbs/batch.h"
#include "thumbs/engine.h"

class HeadlessBatchWindow : public BatchWindow {
 public:
  HeadlessBatchWindow(std::vector<AnsiString> items, AnsiString folder, AnsiString widthText);

  int ItemCount() override { return static_cast<int>(items_.size()); }
  AnsiString Item(int index) override { return items_.at(index); }
  bool ItemSelected(int index) override { return index >= 0 && index < ItemCount(); }
  void SetItemIndex(int index) override { itemIndex_ = index; }
  void ShowCurrentItem() override;
  // There is no folder tree to list again.
  void RefreshList() override { ++refreshes_; }
  // The output folder; with SaveBesideSources, the current file's own folder.
  AnsiString CurrentFolder() override;
  AnsiString ChooseFolder() override { return folder_; }
  void ShowNotice(const AnsiString& text) override { notices_.push_back(text); }
  TPicture& Preview() override { return engine_.Preview(); }
  TPicture& View() override { return engine_.View(); }
  AnsiString WidthText() override { return widthText_; }
  void SetBusy(bool) override {}
  void ShowProgress() override {}
  void ThumbnailSaved(const AnsiString& outputPath) override;
  bool DecodeAheadAllowed() override { return decodeAhead_; }

  // Each thumbnail goes beside its source instead of into the one folder.
  void SaveBesideSources() { besideSources_ = true; }
  // Off: every file is decoded on the calling thread, as without a helper.
  void SetDecodeAhead(bool value) { decodeAhead_ = value; }
  // Called after each save with the output path and the thumbnail's size.
  std::function<void(const AnsiString& outputPath, int width, int height)> OnSaved;

  int ItemIndex() const { return itemIndex_; }
  int Refreshes() const { return refreshes_; }
  const std::vector<AnsiString>& Notices() const { return notices_; }

 private:
  std::vector<AnsiString> items_;
  AnsiString folder_;
  AnsiString widthText_;
  ThumbnailEngine engine_;
  bool besideSources_ = false;
  bool decodeAhead_ = true;
  int itemIndex_ = -1;
  int refreshes_ = 0;
  std::vector<AnsiString> notices_;
};
