#include "ui/tree_view.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "runtime/exceptions.h"
#include "ui/bridge.h"
#include "ui/guard.h"
#include "ui/item_view.h"
#include "ui/strings.h"
#include "ui/text.h"

namespace ui::detail {

// A Qt item that asks its node for what to show, when Qt draws it.
class TreeItem final : public QTreeWidgetItem {
 public:
  explicit TreeItem(TTreeNode* node) : node_(node) {}
  TTreeNode* Node() const { return node_; }
  QVariant data(int column, int role) const override {
    if (column != 0 || node_ == nullptr) return QTreeWidgetItem::data(column, role);
    TTreeView& tree = node_->Owner();
    switch (role) {
      case Qt::DisplayRole:
        return ToQString(node_->Text());
      case Qt::EditRole:
        return ToQString(GuardValue([&] { return tree.EditingText(node_); }, node_->Text()));
      case Qt::DecorationRole: {
        QPixmap image = GuardValue([&] { return tree.ImageFor(node_); }, QPixmap());
        if (image.isNull()) return {};
        return image;
      }
      case Qt::ToolTipRole: {
        if (!tree.ToolTips()) return {};
        // Only a caption the width cuts off gets a tip.
        const win::RECT r = tree.NodeRect(node_, true);
        if (r.right <= tree.ClientWidth() - TTreeView::kBorderWidth) return {};
        return ToQString(node_->Text());
      }
      case Qt::BackgroundRole:
        if (node_->DropTarget()) return QBrush(ToQColor(clHighlight));
        return {};
      case Qt::ForegroundRole:
        if (node_->DropTarget()) return QBrush(ToQColor(clHighlightText));
        return {};
      default:
        return QTreeWidgetItem::data(column, role);
    }
  }
  void Detach() { node_ = nullptr; }
  void Changed() { emitDataChanged(); }

 private:
  TTreeNode* node_;
};

// The tree widget, with the hook in-place editing needs.
class TreeWidget final : public QTreeWidget {
 public:
  TreeWidget(TTreeView* tree, QWidget* parent) : QTreeWidget(parent), tree_(tree) {}
  void Detach() { tree_ = nullptr; }
  bool Editing() const { return state() == EditingState; }
  // A drag of ours has begun from the press: the view's own handling of the press is over, so
  // neither the moves nor the release the drag hands back (over the drop's node) select.
  void EndPress() {
    if (state() == DragSelectingState) setState(NoState);
    pressEnded_ = true;
  }

 protected:
  void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
    if (tree_ == nullptr) return false;
    const bool wanted = trigger == AllEditTriggers || (editTriggers() & trigger);
    if (!wanted) return QTreeWidget::edit(index, trigger, event);
    if (tree_->ReadOnly()) return false;
    // A click on the selected node only arms a delayed edit, which comes back here with
    // AllEditTriggers: ask the owner then, once.
    if (trigger != SelectedClicked) {
      auto* item = static_cast<TreeItem*>(itemFromIndex(index));
      bool allow = true;
      if (item != nullptr && item->Node() != nullptr && tree_->OnEditing)
        Guard([&] { tree_->OnEditing(tree_, item->Node(), allow); });
      if (!allow) return false;
    }
    return QTreeWidget::edit(index, trigger, event);
  }
  // A right click leaves the selection and the current node where they are (the context menu
  // that follows is for the node under the click, or for the selection).
  void mousePressEvent(QMouseEvent* event) override {
    pressEnded_ = false;
    if (event->button() == Qt::RightButton) {
      event->accept();
      return;
    }
    if (InBareIndent(event->position().toPoint())) {
      pressEnded_ = true;  // nor do the moves and the release that follow
      event->accept();
      return;
    }
    QTreeWidget::mousePressEvent(event);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (InBareIndent(event->position().toPoint())) {
      event->accept();
      return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (pressEnded_ && event->buttons() != Qt::NoButton) return;
    QTreeWidget::mouseMoveEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (std::exchange(pressEnded_, false)) return;
    QTreeWidget::mouseReleaseEvent(event);
  }
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
    QTreeWidget::closeEditor(editor, hint);
    if (tree_ != nullptr) Guard([&] { tree_->EditingEnded(); });
  }

 private:
  // Without buttons the indent before a node holds nothing to click: a press there neither
  // expands the node nor selects it.
  bool InBareIndent(const QPoint& pos) const {
    if (tree_ == nullptr || tree_->ShowButtons()) return false;
    const QModelIndex index = indexAt(pos);
    return index.isValid() && pos.x() < visualRect(index).left();
  }

  TTreeView* tree_;
  bool pressEnded_ = false;
};

namespace {

// The classic tree's lines are dotted, every other pixel lit on a grid fixed to the view, so
// the lines of neighbouring rows meet.
void DottedLine(QPainter* painter, int x0, int y0, int x1, int y1, const QColor& color) {
  for (int x = x0; x <= x1; ++x)
    for (int y = y0; y <= y1; ++y)
      if (((x + y) & 1) == 0) painter->fillRect(x, y, 1, 1, color);
}

// The expand button: a 9-pixel box in the button shadow, the window colour inside, a minus in
// the window text colour and, while collapsed, the plus's upright.
void ExpandButton(QPainter* painter, int cx, int cy, bool open) {
  const int l = cx - 4, t = cy - 4;
  painter->fillRect(l, t, 9, 9, ToQColor(clBtnShadow));
  painter->fillRect(l + 1, t + 1, 7, 7, ToQColor(clWindow));
  const QColor sign = ToQColor(clWindowText);
  painter->fillRect(l + 2, cy, 5, 1, sign);
  if (!open) painter->fillRect(cx, t + 2, 1, 5, sign);
}

}  // namespace

// The indent columns left of a row as the classic tree draws them: for the row's own column a
// line from above to its middle, on to the right, and down when a sibling follows; for each
// ancestor's column a line through when that ancestor has a sibling below it. ShowLines and
// ShowButtons decide what of it is drawn.
void TreeWidget::drawBranches(QPainter* painter, const QRect& rect,
                              const QModelIndex& index) const {
  if (tree_ == nullptr) return QTreeWidget::drawBranches(painter, rect, index);
  const int indent = indentation();
  if (indent <= 0) return;
  const QColor line = ToQColor(clGrayText);
  const bool lines = tree_->ShowLines();
  const bool rootDecorated = rootIsDecorated();
  auto hasNextSibling = [this](const QModelIndex& i) {
    return i.row() + 1 < model()->rowCount(i.parent());
  };
  // The row's own column is the rightmost of rect.
  int right = rect.right();
  QModelIndex at = index;
  bool own = true;
  while (at.isValid()) {
    const bool isRoot = !at.parent().isValid();
    if (isRoot && !rootDecorated) break;
    const int left = right - indent + 1;
    if (left < rect.left() - indent) break;
    const int cx = left + indent / 2;
    const int cy = rect.top() + rect.height() / 2;
    if (own) {
      const bool children = model()->hasChildren(at);
      const bool button = children && tree_->ShowButtons();
      if (lines) {
        // The first root has nothing above it to join.
        const bool above = !isRoot || at.row() > 0;
        if (above) DottedLine(painter, cx, rect.top(), cx, cy, line);
        DottedLine(painter, cx, cy, right, cy, line);
        if (hasNextSibling(at)) DottedLine(painter, cx, cy, cx, rect.bottom(), line);
      }
      if (button) ExpandButton(painter, cx, cy, isExpanded(at));
      own = false;
    } else if (lines && hasNextSibling(at)) {
      DottedLine(painter, cx, rect.top(), cx, rect.bottom(), line);
    }
    right = left - 1;
    at = at.parent();
  }
}

// X11 raises the context menu as the right button goes down; the classic tree raises it as the
// button comes up, so that a right drag can begin first. The menu of a press waits for the
// release (TTreeView::MouseUp), and a drag begun meanwhile drops it.
class RightPressMenuDelay final : public QObject {
 public:
  RightPressMenuDelay(QWidget* viewport, TTreeView* tree) : QObject(viewport), tree_(tree) {
    viewport->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ContextMenu) return false;
    const auto* e = static_cast<QContextMenuEvent*>(event);
    if (e->reason() != QContextMenuEvent::Mouse ||
        !(QGuiApplication::mouseButtons() & Qt::RightButton))
      return false;
    return tree_->DelayPressMenu();
  }

 private:
  TTreeView* tree_;
};

}  // namespace ui::detail

using ui::detail::FromCode;
using ui::detail::TreeItem;
using ui::detail::TreeWidget;

// --- TTreeNode ---------------------------------------------------------------------------

TTreeNode::TTreeNode(TTreeView& tree, TTreeNode* parent) : tree_(tree), parent_(parent) {}

void TTreeNode::Refresh() {
  FromCode scope(tree_.fromCode_);
  if (item_ != nullptr) item_->Changed();
}

void TTreeNode::SetText(const AnsiString& value) {
  if (value == text_) return;
  text_ = value;
  Refresh();
}

void TTreeNode::SetImageIndex(int value) {
  imageIndex_ = value;
  Refresh();
}

void TTreeNode::SetSelectedIndex(int value) {
  selectedIndex_ = value;
  Refresh();
}

void TTreeNode::SetOverlayIndex(int value) {
  overlayIndex_ = value;
  Refresh();
}

void TTreeNode::SetCut(bool value) {
  if (value == cut_) return;
  cut_ = value;
  Refresh();
}

bool TTreeNode::HasChildren() const {
  return hasChildren_ || !children_.empty();
}

void TTreeNode::SetHasChildren(bool value) {
  hasChildren_ = value;
  if (item_ != nullptr)
    item_->setChildIndicatorPolicy(value ? QTreeWidgetItem::ShowIndicator
                                         : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TTreeNode* TTreeNode::Item(int index) const {
  if (index < 0 || index >= Count()) throw EInvalidOperation(ui::kTreeIndexError);
  return children_[std::size_t(index)].get();
}

int TTreeNode::Index() const {
  const auto& list = parent_ != nullptr ? parent_->children_ : tree_.roots_;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == this) return int(i);
  return -1;
}

int TTreeNode::Level() const {
  int level = 0;
  for (TTreeNode* p = parent_; p != nullptr; p = p->parent_) ++level;
  return level;
}

bool TTreeNode::Expanded() const {
  return item_ != nullptr && item_->isExpanded();
}

bool TTreeNode::Expand() {
  if (Expanded()) return true;
  if (!tree_.AllowExpand(this, true)) return false;
  {
    FromCode scope(tree_.fromCode_);
    item_->setExpanded(true);
  }
  if (tree_.OnExpanded) tree_.OnExpanded(&tree_, this);
  return true;
}

bool TTreeNode::Collapse() {
  if (!Expanded()) return true;
  if (!tree_.AllowExpand(this, false)) return false;
  {
    FromCode scope(tree_.fromCode_);
    item_->setExpanded(false);
  }
  if (tree_.OnCollapsed) tree_.OnCollapsed(&tree_, this);
  return true;
}

bool TTreeNode::Selected() const {
  return tree_.Selected() == this;
}

void TTreeNode::SetDropTarget(bool value) {
  tree_.SetDropTarget(value ? this : (dropTarget_ ? nullptr : tree_.DropTarget()));
}

void TTreeNode::MakeVisible() {
  for (TTreeNode* p = parent_; p != nullptr; p = p->parent_) p->Expand();
  tree_.Tree()->scrollToItem(item_);
}

void TTreeNode::EditText() {
  if (tree_.readOnly_) return;
  tree_.Tree()->setCurrentItem(item_);
  tree_.Tree()->editItem(item_, 0);
}

void TTreeNode::DeleteChildren() {
  while (!children_.empty()) children_.back()->Delete();
}

void TTreeNode::Delete() {
  DeleteChildren();
  if (tree_.OnDeletion) tree_.OnDeletion(&tree_, this);
  tree_.Detach(this);
  auto& list = parent_ != nullptr ? parent_->children_ : tree_.roots_;
  auto it = std::find_if(list.begin(), list.end(), [this](auto& n) { return n.get() == this; });
  if (it == list.end()) return;
  std::unique_ptr<TTreeNode> self = std::move(*it);
  list.erase(it);
  FromCode scope(tree_.fromCode_);
  if (item_ != nullptr) {
    item_->Detach();
    delete item_;
    item_ = nullptr;
  }
  // self goes here
}

// --- TTreeView ---------------------------------------------------------------------------

TTreeView::TTreeView(TComponent* owner) : TWinControl(owner) {
  SetWrapped(true);
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 97);
}

TTreeView::~TTreeView() {
  FromCode scope(fromCode_);
  if (HandleAllocated()) {
    static_cast<TreeWidget*>(Widget())->Detach();
    // Items go with the widget; they must not reach their nodes on the way.
    std::function<void(TTreeNode*)> detach = [&](TTreeNode* n) {
      if (n->item_ != nullptr) n->item_->Detach();
      for (auto& c : n->children_) detach(c.get());
    };
    for (auto& r : roots_) detach(r.get());
  }
}

QTreeWidget* TTreeView::Tree() const {
  return static_cast<QTreeWidget*>(const_cast<TTreeView*>(this)->Widget());
}

QWidget* TTreeView::CreateWidget(QWidget* parentWidget) {
  auto* tree = new TreeWidget(this, parentWidget);
  tree->setItemDelegate(new ui::detail::GdiTextDelegate(Font(), tree));
  tree->setHeaderHidden(true);
  tree->setColumnCount(1);
  tree->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  tree->setLineWidth(kBorderWidth);
  tree->setIconSize(QSize(16, 16));
  tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  tree->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  QObject::connect(tree, &QTreeWidget::itemExpanded, [this](QTreeWidgetItem* item) {
    if (fromCode_ > 0) return;
    ui::Guard([&] {
      TTreeNode* node = NodeOf(item);
      if (node == nullptr) return;
      if (!AllowExpand(node, true)) {
        FromCode scope(fromCode_);
        item->setExpanded(false);
        return;
      }
      if (OnExpanded) OnExpanded(this, node);
    });
  });
  QObject::connect(tree, &QTreeWidget::itemCollapsed, [this](QTreeWidgetItem* item) {
    if (fromCode_ > 0) return;
    ui::Guard([&] {
      TTreeNode* node = NodeOf(item);
      if (node == nullptr) return;
      if (!AllowExpand(node, false)) {
        FromCode scope(fromCode_);
        item->setExpanded(true);
        return;
      }
      if (OnCollapsed) OnCollapsed(this, node);
    });
  });
  QObject::connect(tree, &QTreeWidget::currentItemChanged,
                   [this](QTreeWidgetItem* now, QTreeWidgetItem* before) {
                     if (fromCode_ > 0) return;
                     ui::Guard([&] {
                       bool allow = true;
                       if (OnChanging) OnChanging(this, NodeOf(now), allow);
                       if (!allow) {
                         FromCode scope(fromCode_);
                         Tree()->setCurrentItem(before);
                         return;
                       }
                       if (OnChange) OnChange(this);
                     });
                   });
  QObject::connect(tree, &QTreeWidget::itemChanged, [this](QTreeWidgetItem* item, int) {
    if (fromCode_ > 0) return;
    ui::Guard([&] {
      TTreeNode* node = NodeOf(item);
      if (node == nullptr) return;
      // The edited caption comes back through the item's own storage.
      AnsiString text = ui::FromQString(item->QTreeWidgetItem::data(0, Qt::EditRole).toString());
      if (OnEdited) OnEdited(this, node, text);
      node->text_ = text;
      FromCode scope(fromCode_);
      item->QTreeWidgetItem::setData(0, Qt::EditRole, QVariant());
    });
  });
  return tree;
}

void TTreeView::HandleCreated() {
  ApplyLook();
  new ui::detail::RightPressMenuDelay(Tree()->viewport(), this);
}

bool TTreeView::DelayPressMenu() {
  if (!rightPressed_) return false;
  pressMenuDelayed_ = true;
  return true;
}

void TTreeView::ApplyLook() {
  if (!HandleAllocated()) return;
  QTreeWidget* tree = Tree();
  tree->setIndentation(indent_);
  tree->setRootIsDecorated(showRoot_);
  tree->setItemsExpandable(showButtons_ || true);
  QPalette palette = tree->palette();
  if (hideSelection_) {
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Text));
  } else {
    palette.setColor(QPalette::Inactive, QPalette::Highlight, ui::ToQColor(clBtnFace));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, ui::ToQColor(clWindowText));
  }
  tree->setPalette(palette);
}

void TTreeView::SetIndent(int value) {
  indent_ = std::max(value, 0);
  ApplyLook();
}

void TTreeView::SetShowRoot(bool value) {
  showRoot_ = value;
  ApplyLook();
}

void TTreeView::SetShowLines(bool value) {
  showLines_ = value;
  ApplyLook();
}

void TTreeView::SetShowButtons(bool value) {
  showButtons_ = value;
  ApplyLook();
}

void TTreeView::SetHideSelection(bool value) {
  hideSelection_ = value;
  ApplyLook();
}

void TTreeView::SetImages(TImageSource source) {
  images_ = std::move(source);
  if (HandleAllocated()) Tree()->viewport()->update();
}

TTreeNode* TTreeView::Item(int index) const {
  if (index < 0 || index >= Count()) throw EInvalidOperation(ui::kTreeIndexError);
  return roots_[std::size_t(index)].get();
}

TTreeNode* TTreeView::AddChild(TTreeNode* parent, const AnsiString& text) {
  FromCode scope(fromCode_);
  auto node = std::unique_ptr<TTreeNode>(new TTreeNode(*this, parent));
  node->text_ = text;
  auto* item = new TreeItem(node.get());
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  node->item_ = item;
  TTreeNode* raw = node.get();
  if (parent != nullptr) {
    parent->children_.push_back(std::move(node));
    parent->item_->addChild(item);
  } else {
    roots_.push_back(std::move(node));
    Tree()->addTopLevelItem(item);
  }
  return raw;
}

void TTreeView::Clear() {
  while (!roots_.empty()) roots_.back()->Delete();
}

void TTreeView::BeginUpdate() {
  Tree()->setUpdatesEnabled(false);
}

void TTreeView::EndUpdate() {
  Tree()->setUpdatesEnabled(true);
}

TTreeNode* TTreeView::NodeOf(QTreeWidgetItem* item) const {
  return item != nullptr ? static_cast<TreeItem*>(item)->Node() : nullptr;
}

TTreeNode* TTreeView::Selected() const {
  return NodeOf(Tree()->currentItem());
}

void TTreeView::SetSelected(TTreeNode* node) {
  FromCode scope(fromCode_);
  Tree()->setCurrentItem(node != nullptr ? node->item_ : nullptr);
}

TTreeNode* TTreeView::DropTarget() const {
  return dropTarget_;
}

void TTreeView::SetDropTarget(TTreeNode* node) {
  if (node == dropTarget_) return;
  TTreeNode* old = dropTarget_;
  dropTarget_ = node;
  if (old != nullptr) {
    old->dropTarget_ = false;
    old->Refresh();
  }
  if (node != nullptr) {
    node->dropTarget_ = true;
    node->Refresh();
  }
}

TTreeNode* TTreeView::TopItem() const {
  return NodeOf(Tree()->itemAt(QPoint(1, 1)));
}

void TTreeView::Detach(TTreeNode* node) {
  if (dropTarget_ == node) dropTarget_ = nullptr;
  if (dragNode_ == node) dragNode_ = nullptr;
}

QPixmap TTreeView::ImageFor(TTreeNode* node) {
  const bool selected = node->Selected();
  // Asked for only now, when the node is drawn, and only while the owner leaves it open.
  if (selected ? node->selectedIndex_ < 0 : node->imageIndex_ < 0) {
    if (selected && OnGetSelectedIndex)
      OnGetSelectedIndex(this, node);
    else if (!selected && OnGetImageIndex)
      OnGetImageIndex(this, node);
  }
  const int index = selected ? node->selectedIndex_ : node->imageIndex_;
  if (index < 0 || !images_) return {};
  return images_(index, node->overlayIndex_, node->cut_);
}

bool TTreeView::AllowExpand(TTreeNode* node, bool expand) {
  bool allow = true;
  if (expand && OnExpanding) OnExpanding(this, node, allow);
  if (!expand && OnCollapsing) OnCollapsing(this, node, allow);
  return allow;
}

win::RECT TTreeView::NodeRect(const TTreeNode* node, bool textOnly) const {
  if (node == nullptr || node->item_ == nullptr) return {0, 0, 0, 0};
  QTreeWidget* tree = Tree();
  QRect r = tree->visualItemRect(node->item_);
  if (textOnly) {
    const int icon = node->item_->data(0, Qt::DecorationRole).isNull() ? 0 : 16 + 3;
    const int text = ui::CaptionExtent(const_cast<TTreeView*>(this)->Font(), node->Text()).cx + 6;
    r = QRect(r.left() + icon, r.top(), text, r.height());
  }
  return ui::detail::ViewportToClient(*tree, r);
}

TTreeNode* TTreeView::NodeAt(win::POINT p) const {
  QTreeWidget* tree = Tree();
  return NodeOf(tree->itemAt(ui::detail::ClientToViewport(*tree, p)));
}

THitTest TTreeView::HitTest(win::POINT p) const {
  if (p.y < 0) return THitTest::htAbove;
  if (p.y >= Height()) return THitTest::htBelow;
  TTreeNode* node = NodeAt(p);
  if (node == nullptr) return THitTest::htNowhere;
  const win::RECT row = NodeRect(node, false);
  if (p.x < row.left) {
    // The indent column just before the node holds its button.
    const bool button =
        showButtons_ && node->HasChildren() && (node->parent_ != nullptr || showRoot_);
    return button && p.x >= row.left - indent_ ? THitTest::htOnButton : THitTest::htOnIndent;
  }
  const bool hasIcon = !node->item_->data(0, Qt::DecorationRole).isNull();
  if (hasIcon && p.x < row.left + 16 + 3) return THitTest::htOnIcon;
  const win::RECT text = NodeRect(node, true);
  return p.x < text.right ? THitTest::htOnItem : THitTest::htOnRight;
}

void TTreeView::ScrollLines(int lines) {
  QScrollBar* bar = Tree()->verticalScrollBar();
  bar->setValue(bar->value() + lines);
}

void TTreeView::ScrollPages(int pages) {
  QScrollBar* bar = Tree()->verticalScrollBar();
  for (int i = 0; i < std::abs(pages); ++i)
    bar->triggerAction(pages > 0 ? QAbstractSlider::SliderPageStepAdd
                                 : QAbstractSlider::SliderPageStepSub);
}

void TTreeView::CustomSort(TTreeNode* parent, std::intptr_t data, bool recurse) {
  auto& list = parent != nullptr ? parent->children_ : roots_;
  std::stable_sort(list.begin(), list.end(), [&](const auto& a, const auto& b) {
    if (OnCompare) return OnCompare(this, a.get(), b.get(), data) < 0;
    return AnsiLowerCase(a->text_) < AnsiLowerCase(b->text_);
  });
  FromCode scope(fromCode_);
  // Qt's items follow the new order, all taken out and put back at once (moving them one by one
  // costs a search and a model change each); nothing moves when the order stands. Expansion is
  // kept per item.
  QTreeWidgetItem* holder = parent != nullptr ? parent->item_ : Tree()->invisibleRootItem();
  QTreeWidgetItem* selected = Tree()->currentItem();
  if (holder->childCount() != int(list.size())) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      QTreeWidgetItem* item = list[i]->item_;
      const bool expanded = item->isExpanded();
      holder->removeChild(item);
      holder->insertChild(int(i), item);
      item->setExpanded(expanded);
    }
  } else {
    bool inOrder = true;
    for (std::size_t i = 0; inOrder && i < list.size(); ++i)
      inOrder = holder->child(int(i)) == list[i]->item_;
    if (!inOrder) {
      std::vector<char> expanded;
      QList<QTreeWidgetItem*> items;
      for (const auto& node : list) {
        expanded.push_back(node->item_->isExpanded());
        items.append(node->item_);
      }
      holder->takeChildren();
      holder->addChildren(items);
      for (std::size_t i = 0; i < list.size(); ++i)
        if (expanded[i]) list[i]->item_->setExpanded(true);
    }
  }
  if (selected != nullptr && Tree()->currentItem() != selected) Tree()->setCurrentItem(selected);
  if (recurse)
    for (auto& n : list) CustomSort(n.get(), data, true);
}

bool TTreeView::IsEditing() const {
  return static_cast<TreeWidget*>(Tree())->Editing();
}

void TTreeView::EndEditing(bool cancel) {
  QTreeWidget* tree = Tree();
  QWidget* editor = tree->indexWidget(tree->currentIndex());
  if (editor == nullptr) editor = tree->focusWidget();
  if (cancel)
    tree->closePersistentEditor(tree->currentItem());
  else if (editor != nullptr && editor != tree)
    editor->clearFocus();
}

void TTreeView::SetDragReporting(bool value) {
  dragReporting_ = value;
  if (!value) dragNode_ = nullptr;
}

void TTreeView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseDown(button, shift, x, y);
  // Drags start with the left or the right button only, and not from an expand button.
  const bool dragButton = button == TMouseButton::mbLeft || button == TMouseButton::mbRight;
  dragNode_ = !dragReporting_ || !dragButton || HitTest({x, y}) == THitTest::htOnButton
                  ? nullptr
                  : NodeAt({x, y});
  dragButton_ = button;
  dragStart_ = {x, y};
  rightPressed_ = button == TMouseButton::mbRight;
  pressMenuDelayed_ = false;
  dragBegun_ = false;
}

void TTreeView::MouseMove(TShiftState shift, int x, int y) {
  TWinControl::MouseMove(shift, x, y);
  if (dragNode_ == nullptr) return;
  const bool held = dragButton_ == TMouseButton::mbLeft ? shift.Contains(TShiftStateItem::ssLeft)
                                                        : shift.Contains(TShiftStateItem::ssRight);
  if (!held) {
    dragNode_ = nullptr;
    return;
  }
  if (std::abs(x - dragStart_.x) < win::GetSystemMetrics(win::SM_CXDRAG) &&
      std::abs(y - dragStart_.y) < win::GetSystemMetrics(win::SM_CYDRAG))
    return;
  TTreeNode* node = dragNode_;
  dragNode_ = nullptr;
  pressMenuDelayed_ = false;  // a right drag shows no menu of its press
  rightPressed_ = false;
  dragBegun_ = true;
  static_cast<TreeWidget*>(Tree())->EndPress();
  if (OnBeginDrag) OnBeginDrag(this, node, dragButton_);
}

void TTreeView::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseUp(button, shift, x, y);
  dragNode_ = nullptr;
  if (button != TMouseButton::mbRight) return;
  rightPressed_ = false;
  if (!std::exchange(pressMenuDelayed_, false)) return;
  ContextPopup(ClientToScreen({x, y}));
}
