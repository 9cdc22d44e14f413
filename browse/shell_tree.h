// TRzShellTree: the shell namespace as a tree of folders with the desktop as its single root,
// filled lazily one level per first expansion, with shell icons and the flat frame.
#pragma once

#include <cstdint>
#include <memory>

#include "browse/shell_locator.h"
#include "platform/shell/shell_folder.h"
#include "ui/tree_view.h"
#include "widgets/frame_paint.h"

class TRzShellTree;

// Options stored as a 16-bit mask, bit numbers as the enumerator values.
enum class TRzShellTreeOption : std::uint8_t {
  stoAutoFill,
  stoVirtualFolders,
  stoDesignInteractive,
  stoDefaultKeyHandling,
  stoContextMenus,
  stoDynamicRefresh,
  stoIncludeNonFolders,
  stoOleDrag,
  stoOleDrop,
  stoShowHidden,
};
using TRzShellTreeOptions = std::uint16_t;
constexpr TRzShellTreeOptions StoBit(TRzShellTreeOption option) {
  return TRzShellTreeOptions(1u << unsigned(option));
}
constexpr TRzShellTreeOptions kDefaultShellTreeOptions = 955;

// One per shell node, owned by the node.
class TRzShellTreeData {
 public:
  TRzShellTreeData(TRzShellTree& tree, TRzShellTreeData* parent, win::LPCITEMIDLIST relative);
  ~TRzShellTreeData();
  TRzShellTreeData(const TRzShellTreeData&) = delete;
  TRzShellTreeData& operator=(const TRzShellTreeData&) = delete;

  TRzShellTree& Tree() const { return tree_; }
  TRzShellTreeData* Parent() const { return parent_; }
  win::LPCITEMIDLIST RelativeList() const { return relative_; }
  // Parent's absolute list + the relative list, built on first use; null without memory.
  win::LPCITEMIDLIST AbsoluteList();
  // The node's folder, bound through the parent's folder on first use (not AddRef'ed for the
  // caller); null when it cannot be bound.
  win::IShellFolder* Folder();
  // For the root: the folder given at creation. Takes a reference.
  void SetFolder(win::IShellFolder* folder);
  void SetAbsoluteList(win::LPCITEMIDLIST list);
  // Drops the cached absolute list and folder (an ancestor was renamed).
  void DropCaches();

 private:
  TRzShellTree& tree_;
  TRzShellTreeData* parent_;
  win::LPITEMIDLIST relative_ = nullptr;
  win::LPITEMIDLIST absolute_ = nullptr;
  win::IShellFolder* folder_ = nullptr;
};

class TRzShellTree : public TTreeView {
 public:
  explicit TRzShellTree(TComponent* owner);
  ~TRzShellTree() override;
  const char* ClassName() const override { return "TRzShellTree"; }

  TRzShellTreeOptions Options() const { return options_; }
  void SetOptions(TRzShellTreeOptions value) { options_ = value; }
  bool HasOption(TRzShellTreeOption option) const { return (options_ & StoBit(option)) != 0; }

  // Clears every node and fills again from the desktop: the root expanded one level.
  // EOSError with the system's text when the desktop folder cannot be had.
  void Refill();
  // The file-system path of the selected shell node: "C:\" for a drive root, no trailing "\"
  // otherwise, empty for items without one or when nothing is selected.
  AnsiString SelectedPath() const;
  static TRzShellTreeData* DataOf(const TTreeNode* node);

  // Frame settings, painted by the widgets' frame painter over the tree view's border.
  bool FrameVisible() const { return frame_.frameVisible; }
  void SetFrameVisible(bool value);
  TColor FrameColor() const { return frame_.frameColor; }
  void SetFrameColor(TColor value);
  TColor FrameHotColor() const { return frame_.frameHotColor; }
  void SetFrameHotColor(TColor value);
  bool FrameHotTrack() const { return frame_.frameHotTrack; }
  void SetFrameHotTrack(bool value);
  const TFrameSettings& FrameSettings() const { return frame_; }

  // Lists one node's folder (the root when node is null, which also creates the root).
  void FillChildren(TTreeNode* node);

 protected:
  void HandleCreated() override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;

 private:
  // S_OK with the item added or skipped; the attribute request's failure code otherwise.
  win::HRESULT AddShellItem(win::IShellFolder* folder, TRzShellTreeData* parentData,
                            win::LPCITEMIDLIST item, TTreeNode* parentNode, bool* added);
  void SortChildren(TTreeNode* parent);
  void NodeExpanding(TTreeNode* node, bool& allow);
  void LookUpImage(TTreeNode* node, bool open);
  void InstallFrame();
  void DeleteAllNodes();

  TRzShellTreeOptions options_ = kDefaultShellTreeOptions;
  TFrameSettings frame_;
  TRzShellLocator baseFolder_;
  TRzShellLocator selectedFolder_;
  int changeSuppressCount_ = 0;
  bool mouseOver_ = false;
};

// In-folder display name of a relative list ("" when the shell gives none).
AnsiString ShellDisplayName(win::IShellFolder* folder, win::LPCITEMIDLIST item);
