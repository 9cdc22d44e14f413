#include "ui/list_box.h"

#include <QListWidget>
#include <QScrollBar>

#include "runtime/exceptions.h"
#include "ui/bridge.h"
#include "ui/guard.h"
#include "ui/item_view.h"
#include "ui/strings.h"

using ui::detail::FromCode;

namespace {

// Qt gives a list that gets the focus without a current item its first row as the current
// one (and so a current-row change); a list here keeps its caret and selection through a
// focus change, and raises nothing for it.
class ListWidget final : public QListWidget {
 public:
  ListWidget(int& fromCode, QWidget* parent) : QListWidget(parent), fromCode_(fromCode) {}

 protected:
  void focusInEvent(QFocusEvent* event) override {
    FromCode scope(fromCode_);
    const bool hadCurrent = currentIndex().isValid();
    QListWidget::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid())
      selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }

 private:
  int& fromCode_;
};

}  // namespace

// --- TListBoxItems -----------------------------------------------------------------------

int TListBoxItems::Count() const {
  return list_.List()->count();
}

AnsiString TListBoxItems::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EInvalidOperation(Format(ui::kListIndexError, index));
  return ui::FromQString(list_.List()->item(index)->text());
}

int TListBoxItems::Add(const AnsiString& text) {
  Insert(Count(), text);
  return Count() - 1;
}

void TListBoxItems::Insert(int index, const AnsiString& text) {
  if (index < 0 || index > Count()) throw EInvalidOperation(Format(ui::kListIndexError, index));
  FromCode scope(list_.fromCode_);
  list_.List()->insertItem(index, new QListWidgetItem(ui::ToQString(text)));
}

void TListBoxItems::Delete(int index) {
  if (index < 0 || index >= Count()) throw EInvalidOperation(Format(ui::kListIndexError, index));
  FromCode scope(list_.fromCode_);
  delete list_.List()->takeItem(index);
}

void TListBoxItems::Clear() {
  FromCode scope(list_.fromCode_);
  list_.List()->clear();
}

int TListBoxItems::IndexOf(const AnsiString& text) const {
  const AnsiString wanted = AnsiLowerCase(text);
  for (int i = 0; i < Count(); ++i)
    if (AnsiLowerCase(Strings(i)) == wanted) return i;
  return -1;
}

void TListBoxItems::Assign(const std::vector<AnsiString>& texts) {
  BeginUpdate();
  try {
    Clear();
    for (const AnsiString& t : texts) Add(t);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TListBoxItems::BeginUpdate() {
  list_.List()->setUpdatesEnabled(false);
}

void TListBoxItems::EndUpdate() {
  list_.List()->setUpdatesEnabled(true);
}

// --- TListBox ----------------------------------------------------------------------------

TListBox::TListBox(TComponent* owner) : TWinControl(owner), items_(*this) {
  SetWrapped(true);
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 97);
}

QListWidget* TListBox::List() const {
  return static_cast<QListWidget*>(const_cast<TListBox*>(this)->Widget());
}

QWidget* TListBox::CreateWidget(QWidget* parentWidget) {
  auto* list = new ListWidget(fromCode_, parentWidget);
  list->setUniformItemSizes(true);
  delegate_ = new ui::detail::GdiTextDelegate(Font(), list);
  delegate_->SetRowHeight(itemHeight_);
  list->setItemDelegate(delegate_);
  list->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  list->setLineWidth(kBorderWidth);
  QObject::connect(list, &QListWidget::itemSelectionChanged, [this] { UserChanged(); });
  QObject::connect(list, &QListWidget::currentRowChanged, [this](int) { UserChanged(); });
  return list;
}

void TListBox::HandleCreated() {
  ApplySelectionMode();
}

void TListBox::ApplySelectionMode() {
  if (!HandleAllocated()) return;
  QAbstractItemView::SelectionMode mode = QAbstractItemView::SingleSelection;
  if (multiSelect_)
    mode =
        extendedSelect_ ? QAbstractItemView::ExtendedSelection : QAbstractItemView::MultiSelection;
  List()->setSelectionMode(mode);
}

void TListBox::SetMultiSelect(bool value) {
  multiSelect_ = value;
  ApplySelectionMode();
}

void TListBox::SetExtendedSelect(bool value) {
  extendedSelect_ = value;
  ApplySelectionMode();
}

void TListBox::UserChanged() {
  if (fromCode_ > 0 || notified_) return;
  notified_ = true;
  ui::Guard([this] { Click(); });
}

void TListBox::KeyDown(std::uint16_t& key, TShiftState shift) {
  notified_ = false;  // a new input event: its change notifies once
  TWinControl::KeyDown(key, shift);
}

void TListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  notified_ = false;
  pressed_ = button == TMouseButton::mbLeft;
  TWinControl::MouseDown(button, shift, x, y);
}

void TListBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseUp(button, shift, x, y);
  // A click on an item raises the notification even when the selection stays as it was.
  if (pressed_ && button == TMouseButton::mbLeft && ItemAtPos({x, y}, true) >= 0 && !notified_) {
    notified_ = true;
    Click();
  }
  pressed_ = false;
}

int TListBox::ItemIndex() const {
  return List()->currentRow();
}

void TListBox::SetItemIndex(int value) {
  FromCode scope(fromCode_);
  QListWidget* list = List();
  if (value < 0 || value >= list->count()) {
    list->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    if (!multiSelect_) list->clearSelection();
    return;
  }
  if (multiSelect_)
    list->setCurrentRow(value, QItemSelectionModel::NoUpdate);
  else
    list->setCurrentRow(value, QItemSelectionModel::ClearAndSelect);
}

bool TListBox::Selected(int index) const {
  if (index < 0 || index >= items_.Count())
    throw EInvalidOperation(Format(ui::kListIndexError, index));
  return List()->item(index)->isSelected();
}

void TListBox::SetSelected(int index, bool value) {
  if (index < 0 || index >= items_.Count())
    throw EInvalidOperation(Format(ui::kListIndexError, index));
  FromCode scope(fromCode_);
  if (!multiSelect_ && value) {
    List()->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    return;
  }
  List()->item(index)->setSelected(value);
}

int TListBox::SelCount() const {
  if (!multiSelect_) return -1;  // as the system's list answers for a single-selection list
  return int(List()->selectedItems().size());
}

void TListBox::ClearSelection() {
  FromCode scope(fromCode_);
  List()->clearSelection();
}

void TListBox::SelectAll() {
  if (!multiSelect_) return;
  FromCode scope(fromCode_);
  List()->selectAll();
}

void TListBox::DeleteSelected() {
  FromCode scope(fromCode_);
  items_.BeginUpdate();
  for (int i = items_.Count() - 1; i >= 0; --i)
    if (List()->item(i)->isSelected()) items_.Delete(i);
  items_.EndUpdate();
}

void TListBox::SetItemHeight(int value) {
  if (value <= 0 || value == itemHeight_) return;
  itemHeight_ = value;
  if (delegate_ != nullptr) delegate_->SetRowHeight(value);
  if (HandleAllocated()) List()->doItemsLayout();
}

int TListBox::TopIndex() const {
  const QModelIndex top = List()->indexAt(QPoint(1, 1));
  return top.isValid() ? top.row() : 0;
}

void TListBox::SetTopIndex(int value) {
  if (value < 0 || value >= items_.Count()) return;
  List()->scrollToItem(List()->item(value), QAbstractItemView::PositionAtTop);
}

win::RECT TListBox::ItemRect(int index) const {
  if (index < 0 || index >= items_.Count()) return {0, 0, 0, 0};
  QListWidget* list = List();
  return ui::detail::ViewportToClient(*list, list->visualItemRect(list->item(index)));
}

int TListBox::ItemAtPos(win::POINT p, bool existing) const {
  QListWidget* list = List();
  const QModelIndex index = list->indexAt(ui::detail::ClientToViewport(*list, p));
  if (index.isValid()) return index.row();
  return existing ? -1 : items_.Count();
}

int TListBox::FindPrefix(const AnsiString& prefix, int start) const {
  const int count = items_.Count();
  if (count == 0) return -1;
  const AnsiString wanted = AnsiLowerCase(prefix);
  for (int n = 1; n <= count; ++n) {
    const int i = ((start < 0 ? -1 : start) + n) % count;
    const AnsiString text = AnsiLowerCase(items_.Strings(i));
    if (text.compare(0, wanted.size(), wanted) == 0) return i;
  }
  return -1;
}
