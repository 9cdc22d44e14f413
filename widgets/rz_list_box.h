// TRzListBox: the list box with the flat frame of framed controls, type-ahead search (typed
// letters select the first entry starting with them, without a click notification) and hints
// that show the whole text of entries wider than the list.
#pragma once

#include <memory>

#include "ui/list_box.h"
#include "widgets/framed_control.h"
#include "widgets/incremental_search.h"

class QLabel;

class TRzListBox : public TListBox {
 public:
  explicit TRzListBox(TComponent* owner);
  ~TRzListBox() override;
  const char* ClassName() const override { return "TRzListBox"; }

  // The frame and background colours (FrameVisible, FrameColor, ... FocusColor, DisabledColor).
  TFramedControl& Frame() { return frame_; }
  bool IncrementalSearch() const { return incrementalSearch_; }
  void SetIncrementalSearch(bool value) { incrementalSearch_ = value; }
  bool BeepOnInvalidKey() const { return search_.BeepOnInvalidKey(); }
  void SetBeepOnInvalidKey(bool value) { search_.SetBeepOnInvalidKey(value); }
  bool ShowItemHints() const { return showItemHints_; }
  void SetShowItemHints(bool value);
  // The type-ahead text as it stands now.
  AnsiString SearchText();
  // Whether the item hint is showing, and its text (tests, and the hint's own upkeep).
  bool ItemHintShowing() const;
  AnsiString ItemHintText() const { return hintText_; }

  void SetEnabled(bool value) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;

 protected:
  void HandleCreated() override;
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  class SearchTarget;
  void UpdateItemHint(int x, int y);
  void HideItemHint();

  TFramedControl frame_;
  std::unique_ptr<SearchTarget> target_;
  TIncrementalSearch search_;
  bool incrementalSearch_ = true;
  bool showItemHints_ = true;
  QLabel* hint_ = nullptr;  // the hint window, made on first use
  AnsiString hintText_;
  win::RECT hintRect_{};
};
