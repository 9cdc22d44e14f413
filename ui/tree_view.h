// TTreeView over Qt's tree view: nodes with a caption, an image and a selected image asked
// for lazily, an expand button the owner decides (HasChildren), the cut (ghosted) state and
// overlays, expanding with an OnExpanding veto, hit tests, in-place editing, begin-drag, drop
// highlight, scrolling and custom sorting.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ui/controls.h"

class QTreeWidget;
class QTreeWidgetItem;
class QPixmap;
class TTreeView;

namespace ui::detail {
class TreeItem;
}

class TTreeNode {
 public:
  const AnsiString& Text() const { return text_; }
  void SetText(const AnsiString& value);
  // -1: ask the owner (OnGetImageIndex / OnGetSelectedIndex) when the node is drawn.
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  int SelectedIndex() const { return selectedIndex_; }
  void SetSelectedIndex(int value);
  int OverlayIndex() const { return overlayIndex_; }
  void SetOverlayIndex(int value);
  // Drawn ghosted (a cut item).
  bool Cut() const { return cut_; }
  void SetCut(bool value);
  // Shows the expand button before any child exists.
  bool HasChildren() const;
  void SetHasChildren(bool value);
  void* Data() const { return data_; }
  void SetData(void* value) { data_ = value; }

  TTreeNode* Parent() const { return parent_; }
  int Count() const { return int(children_.size()); }
  TTreeNode* Item(int index) const;
  int Index() const;
  int Level() const;
  bool Expanded() const;
  // Asks OnExpanding / OnCollapsing first; false when vetoed.
  bool Expand();
  bool Collapse();
  bool Selected() const;
  bool DropTarget() const { return dropTarget_; }
  void SetDropTarget(bool value);
  void MakeVisible();
  void EditText();
  void Delete();
  void DeleteChildren();
  TTreeView& Owner() const { return tree_; }

 private:
  friend class TTreeView;
  friend class ui::detail::TreeItem;
  TTreeNode(TTreeView& tree, TTreeNode* parent);
  void Refresh();

  TTreeView& tree_;
  TTreeNode* parent_;
  ui::detail::TreeItem* item_ = nullptr;
  std::vector<std::unique_ptr<TTreeNode>> children_;
  AnsiString text_;
  int imageIndex_ = -1;
  int selectedIndex_ = -1;
  int overlayIndex_ = -1;
  bool cut_ = false;
  bool hasChildren_ = false;
  bool dropTarget_ = false;
  void* data_ = nullptr;
};

enum class THitTest : std::uint8_t {
  htNowhere,
  htOnItem,  // caption
  htOnIcon,
  htOnButton,
  htOnIndent,
  htOnRight,  // empty space right of the caption
  htAbove,
  htBelow,
};

class TTreeView : public TWinControl {
 public:
  using TTVChangingEvent = std::function<void(TObject* sender, TTreeNode* node, bool& allow)>;
  using TTVExpandingEvent = std::function<void(TObject* sender, TTreeNode* node, bool& allow)>;
  using TTVExpandedEvent = std::function<void(TObject* sender, TTreeNode* node)>;
  using TTVEditedEvent = std::function<void(TObject* sender, TTreeNode* node, AnsiString& text)>;
  using TTVEditingEvent = std::function<void(TObject* sender, TTreeNode* node, bool& allow)>;
  using TTVCompareEvent =
      std::function<int(TObject* sender, TTreeNode* a, TTreeNode* b, std::intptr_t data)>;
  // A node's image, state and overlay drawn together; null when there is none.
  using TImageSource = std::function<QPixmap(int imageIndex, int overlayIndex, bool cut)>;

  explicit TTreeView(TComponent* owner);
  ~TTreeView() override;
  const char* ClassName() const override { return "TTreeView"; }

  // Root nodes.
  int Count() const { return int(roots_.size()); }
  TTreeNode* Item(int index) const;
  // Adds a node as the last child of parent (null: a root).
  TTreeNode* AddChild(TTreeNode* parent, const AnsiString& text);
  void Clear();
  void BeginUpdate();
  void EndUpdate();

  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* node);
  TTreeNode* DropTarget() const;
  void SetDropTarget(TTreeNode* node);
  TTreeNode* TopItem() const;

  int Indent() const { return indent_; }
  void SetIndent(int value);
  bool ShowRoot() const { return showRoot_; }
  void SetShowRoot(bool value);
  bool ShowLines() const { return showLines_; }
  void SetShowLines(bool value);
  bool ShowButtons() const { return showButtons_; }
  void SetShowButtons(bool value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  // Captions cut off by the width show in a tool tip.
  bool ToolTips() const { return toolTips_; }
  void SetToolTips(bool value) { toolTips_ = value; }
  // Whether a press of the left or right button on a node followed by a move past the drag
  // distance is reported through OnBeginDrag (on by default).
  bool DragReporting() const { return dragReporting_; }
  void SetDragReporting(bool value);
  // Whether the last press began a drag (its release is then no click).
  bool DragBegun() const { return dragBegun_; }
  void SetImages(TImageSource source);

  // Where a client position falls.
  THitTest HitTest(win::POINT p) const;
  TTreeNode* NodeAt(win::POINT p) const;
  win::RECT NodeRect(const TTreeNode* node, bool textOnly) const;
  // Scrolls by lines (positive: down) or by pages.
  void ScrollLines(int lines);
  void ScrollPages(int pages);
  // Sorts the children of parent (null: the roots) with OnCompare, or by caption.
  void CustomSort(TTreeNode* parent, std::intptr_t data = 0, bool recurse = false);
  bool IsEditing() const;
  void EndEditing(bool cancel);

  static constexpr int kBorderWidth = 2;

  TNotifyEvent OnChange;  // the selection moved
  TTVChangingEvent OnChanging;
  TTVExpandingEvent OnExpanding;
  TTVExpandedEvent OnExpanded;
  TTVExpandingEvent OnCollapsing;
  TTVExpandedEvent OnCollapsed;
  TTVExpandedEvent OnGetImageIndex;
  TTVExpandedEvent OnGetSelectedIndex;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  TTVCompareEvent OnCompare;
  TTVExpandedEvent OnDeletion;
  std::function<void(TObject* sender, TTreeNode* node, TMouseButton button)> OnBeginDrag;

  // What the tree asks of its items (internal to the control layer).
  QPixmap ImageFor(TTreeNode* node);
  bool AllowExpand(TTreeNode* node, bool expand);
  // The text an edit box starts with (the caption unless a descendant knows better).
  virtual AnsiString EditingText(TTreeNode* node) { return node->Text(); }
  // An edit box has closed, accepted or cancelled (after OnEdited).
  virtual void EditingEnded() {}
  // The context menu of a right press arrives; true when it waits for the release.
  bool DelayPressMenu();

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void HandleCreated() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  friend class TTreeNode;
  QTreeWidget* Tree() const;
  TTreeNode* NodeOf(QTreeWidgetItem* item) const;
  void ApplyLook();
  void Detach(TTreeNode* node);

  std::vector<std::unique_ptr<TTreeNode>> roots_;
  TImageSource images_;
  int indent_ = 19;
  bool showRoot_ = true;
  bool showLines_ = true;
  bool showButtons_ = true;
  bool hideSelection_ = true;
  bool readOnly_ = false;
  bool toolTips_ = true;
  bool dragReporting_ = true;
  int fromCode_ = 0;
  TTreeNode* dropTarget_ = nullptr;
  TTreeNode* dragNode_ = nullptr;
  TMouseButton dragButton_ = TMouseButton::mbLeft;
  win::POINT dragStart_{0, 0};
  bool rightPressed_ = false;
  bool pressMenuDelayed_ = false;
  bool dragBegun_ = false;
  bool editing_ = false;
};
