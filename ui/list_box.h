// TListBox over Qt's list view: items, single, multiple and extended selection, the caret
// item (ItemIndex) apart from the selection, and the selection-change notification (OnClick)
// raised by the mouse and the keyboard but not by changes made from code.
#pragma once

#include <vector>

#include "ui/controls.h"

class QListWidget;
class TListBox;

namespace ui::detail {
class GdiTextDelegate;
}

// The list's texts.
class TListBoxItems {
 public:
  explicit TListBoxItems(TListBox& list) : list_(list) {}
  int Count() const;
  AnsiString Strings(int index) const;  // EInvalidOperation outside 0 .. Count - 1
  int Add(const AnsiString& text);
  void Insert(int index, const AnsiString& text);
  void Delete(int index);
  void Clear();
  int IndexOf(const AnsiString& text) const;  // case-insensitive, -1 when absent
  // Replaces every item (one repaint).
  void Assign(const std::vector<AnsiString>& texts);
  void BeginUpdate();
  void EndUpdate();

 private:
  TListBox& list_;
};

class TListBox : public TWinControl {
 public:
  explicit TListBox(TComponent* owner);
  const char* ClassName() const override { return "TListBox"; }

  TListBoxItems& Items() { return items_; }
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  // With MultiSelect: Shift and Ctrl extend the selection (otherwise each click toggles).
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value);

  // The caret item (-1 when none). Setting it in a multiple-selection list moves only the
  // caret; in a single-selection list it selects the item too.
  int ItemIndex() const;
  void SetItemIndex(int value);
  bool Selected(int index) const;
  void SetSelected(int index, bool value);
  int SelCount() const;
  void ClearSelection();
  void SelectAll();
  // Removes every selected item, last first.
  void DeleteSelected();
  void Clear() { items_.Clear(); }

  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int value);
  int TopIndex() const;
  void SetTopIndex(int value);
  // The item's rectangle in client coordinates (empty for an index outside the list).
  win::RECT ItemRect(int index) const;
  // The item at a client position; with existing, -1 below the last item, else Count.
  int ItemAtPos(win::POINT p, bool existing) const;
  // The first item from start + 1 on (wrapping) whose text begins with prefix, compared
  // without case; -1 when none.
  int FindPrefix(const AnsiString& prefix, int start = -1) const;

  // The frame is two pixels wide on each side; a framed owner paints over them.
  static constexpr int kBorderWidth = 2;

  TNotifyEvent OnDeleteItems;

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void HandleCreated() override;
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  friend class TListBoxItems;
  QListWidget* List() const;
  void ApplySelectionMode();
  // A change that the user made: one notification per input event.
  void UserChanged();

  TListBoxItems items_;
  std::vector<AnsiString> pending_;                  // items before the widget exists
  ui::detail::GdiTextDelegate* delegate_ = nullptr;  // the widget's
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  int itemHeight_ = 13;
  int fromCode_ = 0;  // changes made by our own calls raise no notification
  bool notified_ = false;
  bool pressed_ = false;
};
