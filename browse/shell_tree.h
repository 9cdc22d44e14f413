// TRzShellTree: the shell namespace as a tree of folders with the desktop as its single root,
// filled lazily one level per first expansion, kept in step with the folders by Resync, with
// shell icons, the wheel and the flat frame.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "browse/shell_locator.h"
#include "platform/shell/shell_folder.h"
#include "platform/shell/shell_ops.h"
#include "platform/user/ole.h"
#include "ui/tree_view.h"
#include "widgets/frame_paint.h"

class TRzShellTree;
class TChangeHandlerThread;
class TRzShellTreeDropTarget;

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

// Messages the tree's window handles for itself.
constexpr win::UINT kShellTreeChangeSignal = win::WM_USER + 101;  // wParam: the watch slot
constexpr win::UINT kShellTreeFillRequest = win::WM_USER + 103;
// The window timer that goes on auto-scrolling and auto-expanding while a drag stands still
// over the tree (PendingActionTimer is 1).
constexpr win::UINT_PTR kShellTreeDragTimer = 2;

// What PendingActionTimer does when it fires.
enum class TRzPendingAction : std::uint8_t { paNone, paPublishSelection, paResync };

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
  // The item was renamed: a new relative list, the caches dropped.
  void ReplaceRelativeList(win::LPCITEMIDLIST relative);

 private:
  TRzShellTree& tree_;
  TRzShellTreeData* parent_;
  win::LPITEMIDLIST relative_ = nullptr;
  win::LPITEMIDLIST absolute_ = nullptr;
  win::IShellFolder* folder_ = nullptr;
};

class TRzShellTree : public TTreeView {
 public:
  // An enumerated item offered before it becomes a node; clear accept to leave it out.
  using TAddItemEvent =
      std::function<void(TObject* sender, TTreeNode* parent, win::LPCITEMIDLIST item,
                         win::ULONG attributes, bool& accept)>;
  using TNodeEvent = std::function<void(TObject* sender, TTreeNode* node)>;

  explicit TRzShellTree(TComponent* owner);
  ~TRzShellTree() override;
  const char* ClassName() const override { return "TRzShellTree"; }

  TRzShellTreeOptions Options() const { return options_; }
  // Switching stoDynamicRefresh on starts watching the drives (with a window); off, stops.
  void SetOptions(TRzShellTreeOptions value);
  bool HasOption(TRzShellTreeOption option) const { return (options_ & StoBit(option)) != 0; }

  // Fills the tree once the layout is read (stoAutoFill, no nodes yet).
  void Loaded() override;

  // Clears every node and fills again from the desktop: the root expanded one level, then the
  // selected folder found again (or the root selected). EOSError with the system's text when
  // the desktop folder cannot be had. Only owed while an operation or an edit is running.
  void Refill();
  // Brings every listed node in step with its folder: vanished children go (a selection inside
  // them moves to the nearest remaining ancestor), new ones are added in the shell's order;
  // captions and icons of the others stay. Nodes never listed are not looked at.
  void Resync();
  // Expands the way to an absolute list and selects the last node reached; beeps where an item
  // cannot be found or added. Ignored while changes are suppressed or the tree is empty; a
  // null list does nothing.
  void NavigateTo(win::LPCITEMIDLIST absolute);
  // Follows the selection (the selected node's absolute list).
  TRzShellLocator& SelectedFolder() { return selectedFolder_; }
  // Remembers the folder and, with nodes present, navigates to it.
  void SetSelectedFolder(win::LPCITEMIDLIST absolute);
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

  // While positive, selection changes are not published and navigation is ignored.
  int ChangeSuppressCount() const { return changeSuppressCount_; }
  void RaiseChangeSuppress() { ++changeSuppressCount_; }
  void LowerChangeSuppress();
  // While positive, shell calls get no owner window, so the shell shows no messages.
  int ErrorSilenceCount() const { return errorSilenceCount_; }
  void RaiseErrorSilence() { ++errorSilenceCount_; }
  void LowerErrorSilence();
  // Set while a shell operation runs in the tree (a context menu, a drag): Refill and Resync
  // are only owed meanwhile, and change signals are dropped.
  bool OperationActive() const { return operationActive_; }
  void SetOperationActive(bool value) { operationActive_ = value; }
  bool ResyncOwed() const { return resyncOwed_; }
  // Runs the Resync owed by an operation or an edit that has ended.
  void RunOwedResync();
  // The tree's own rename is about to signal a change; the next signal is dropped.
  bool SkipNextChangeSignal() const { return skipNextChangeSignal_; }
  void SetSkipNextChangeSignal(bool value) { skipNextChangeSignal_ = value; }

  // Watching the drives (stoDynamicRefresh): the watcher thread is made on first use and
  // given the fixed, RAM and connected network drives; Refill starts it. Null when not made.
  void StartWatching();
  void StopWatching();
  TChangeHandlerThread* Watcher() const { return watcher_.get(); }
  // The device receiver: a volume arrived or went, so the drive list is checked again (unless
  // a device resync is already running) and the tree resyncs.
  void DeviceChanged(win::WPARAM event, win::LPARAM data);

  // Shell operations (shell_tree_ops.cpp).
  // Whether in-place renaming may start on a node: a shell node other than the root whose
  // item can be renamed, and the tree not read-only.
  bool CanRename(TTreeNode* node);
  // Opens the edit box on the node when it may be renamed (OnEditing is asked too).
  bool StartRename(TTreeNode* node);
  // Runs a shell verb ("delete", "copy", "cut", "paste", ...) of a shell node other than the
  // root, found by name in the node's context menu, then Resync. False when nothing ran. With
  // `shift` the verb acts as with Shift held (delete deletes for good, after asking). EOSError
  // when the item's menu handler cannot be had.
  bool InvokeVerb(TTreeNode* node, const char* verb, bool shift = false);
  // Shows the shell's context menu of a shell node other than the root at a screen point and
  // carries out the chosen command; false when the node has no such menu.
  // While it is open the tree passes the menu messages on to the handler (so its sub-menus
  // fill themselves) and raises OnPopupHint for each highlighted entry.
  bool ShowShellMenu(TTreeNode* node, win::POINT screenPos);
  // The help text of the shell menu's highlighted command ("" for none, or once the menu
  // has closed), as OnPopupHint finds it.
  const AnsiString& PopupHint() const { return popupHint_; }
  AnsiString EditingText(TTreeNode* node) override;
  void EditingEnded() override;

  // Drag and drop (shell_tree_dnd.cpp).
  // The node being dragged out of the tree, null when no drag started here.
  TTreeNode* DraggedNode() const { return draggedNode_; }
  // Drags a shell node other than the root out as a shell item (stoOleDrag) through
  // DoDragDrop; `button` is the one that started it. False when no drag could start.
  bool DragNode(TTreeNode* node, TMouseButton button);
  // The milliseconds the drop side times auto-scrolling and hovering with (GetTickCount
  // unless given; an empty source restores it).
  using TTickSource = std::function<win::DWORD()>;
  void SetTickSource(TTickSource source);

  // PendingActionTimer: one shot, restarted (with the new action) when armed again.
  void ArmPendingAction(TRzPendingAction action, win::UINT milliseconds);
  TRzPendingAction PendingAction() const { return pendingAction_; }
  // Stops the timer and does what it was armed for now.
  void RunPendingAction();

  // The user's selection-change event (the tree view's own one publishes the selection).
  TNotifyEvent OnChange;
  TAddItemEvent OnAddItem;
  TNodeEvent OnInsertItem;
  TNodeEvent OnDeleteItem;
  TNotifyEvent OnFillStart;
  TNotifyEvent OnFillComplete;
  // Asked after the tree's own checks before an edit box opens, and given the trimmed text
  // before a rename (they hide the tree view's own events, which the tree uses).
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  // An entry of the shell's context menu was highlighted (or the menu closed): PopupHint.
  TNotifyEvent OnPopupHint;

 protected:
  void HandleCreated() override;
  win::LRESULT WndProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) override;
  // The change signal of a watched drive (message 1125): dropped once after the tree's own
  // rename and while an operation runs, otherwise a Resync after 400 ms with the focus, 2000 ms
  // without; every further signal restarts the wait.
  virtual void ChangeSignal(win::WPARAM slot);
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  // Scrolls the view (not the selection) by the system's wheel lines per notch, unless
  // OnMouseWheel takes the wheel.
  bool MouseWheel(TShiftState shift, int wheelDelta, win::POINT mousePos) override;
  // The keyboard commands (stoDefaultKeyHandling) and the Apps key / Shift+F10 menu.
  void KeyDown(std::uint16_t& key, TShiftState shift) override;
  // The shell's menu for the node under the point (the selected one over empty space).
  bool ContextPopup(win::POINT screenPos) override;

 private:
  // The device receiver's registration (shell_tree_watch.cpp).
  void RegisterWithDeviceHandler();
  void UnregisterFromDeviceHandler();
  // S_OK with the item added or skipped; the attribute request's failure code otherwise.
  win::HRESULT AddShellItem(win::IShellFolder* folder, TRzShellTreeData* parentData,
                            win::LPCITEMIDLIST item, TTreeNode* parentNode, bool* added);
  void SortChildren(TTreeNode* parent);
  void NodeExpanding(TTreeNode* node, bool& allow);
  void LookUpImage(TTreeNode* node, bool open);
  void InstallFrame();
  void DeleteAllNodes();
  win::HWND ShellOwner();
  win::DWORD EnumFlags() const;
  // Resync of one node and its subtree; `remembered` follows a deleted selection upwards.
  void ResyncNode(TTreeNode* node, TTreeNode*& remembered);
  // Selects a node from code and publishes it as a move of the selection.
  void SelectNode(TTreeNode* node);
  void SelectionMoved();
  // The rename of an accepted edit; `text` comes back as the caption to show.
  void RenameEdited(TTreeNode* node, AnsiString& text);
  // The item's context-menu handler (a reference for the caller), from its parent's folder.
  win::HRESULT ContextMenuOf(TTreeNode* node, win::IContextMenu** menu);
  // The open shell menu's messages (shell_tree_ops.cpp); false for another message.
  bool ShellMenuMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam,
                        win::LRESULT* result);

  // Drag and drop (shell_tree_dnd.cpp). The window's drop target follows stoOleDrop.
  friend class TRzShellTreeDropTarget;
  void ApplyDragOptions();
  void RegisterDropTarget();
  void RevokeDropTarget();
  // Revokes and detaches the drop target for good (the tree goes).
  void ShutDownDragDrop();
  // The node's shell drop handler (a reference for the caller): from its parent's folder, the
  // desktop's own for the root.
  win::HRESULT DropHandlerOf(TTreeNode* node, win::IDropTarget** handler);
  // The effect the node's handler would take: its enter (and, with `over`, over) then leave.
  win::DWORD AskDropHandler(TTreeNode* node, win::DWORD keyState, win::POINTL pt,
                            win::DWORD allowed, bool over);
  win::HRESULT DropEnter(win::IDataObject* data, win::DWORD keyState, win::POINTL pt,
                         win::DWORD* effect);
  win::HRESULT DropOver(win::DWORD keyState, win::POINTL pt, win::DWORD* effect);
  win::HRESULT DropLeave();
  win::HRESULT DropDrop(win::IDataObject* data, win::DWORD keyState, win::POINTL pt,
                        win::DWORD* effect);
  void EndDropVisit();
  void DragTimerTick();
  // True when the view scrolled (client position, now).
  bool AutoScroll(win::POINT p, win::DWORD now);
  void AutoExpand(win::POINT p, win::DWORD now);
  win::DWORD Now() const;

  TRzShellTreeOptions options_ = kDefaultShellTreeOptions;
  TFrameSettings frame_;
  TRzShellLocator baseFolder_;
  TRzShellLocator selectedFolder_;
  std::unique_ptr<TChangeHandlerThread> watcher_;
  int changeSuppressCount_ = 0;
  int errorSilenceCount_ = 0;
  bool operationActive_ = false;
  bool resyncOwed_ = false;
  bool skipNextChangeSignal_ = false;
  bool mouseOver_ = false;
  // The handler of the open shell menu, asked for its extended kinds (no references held
  // beyond ShowShellMenu's).
  win::IContextMenu* menuHandler_ = nullptr;
  win::IContextMenu2* menuHandler2_ = nullptr;
  win::IContextMenu3* menuHandler3_ = nullptr;
  AnsiString popupHint_;
  TRzPendingAction pendingAction_ = TRzPendingAction::paNone;
  int wheelRest_ = 0;  // wheel delta short of a notch

  // Drag and drop state.
  TRzShellTreeDropTarget* dropTarget_ = nullptr;  // ours, registered while stoOleDrop
  TTreeNode* draggedNode_ = nullptr;
  win::IDataObject* dropData_ = nullptr;  // the drag over the tree, from enter to leave or drop
  win::DWORD dropKeyState_ = 0;           // the keys and buttons at enter
  win::POINT lastDropPoint_{0, 0};        // client position of the last enter or over
  win::POINT hoverPoint_{0, 0};           // where the hover time started
  win::DWORD hoverTime_ = 0;
  win::DWORD lastScrollTime_ = 0;
  TTickSource tickSource_;
};

// In-folder display name of a relative list ("" when the shell gives none).
AnsiString ShellDisplayName(win::IShellFolder* folder, win::LPCITEMIDLIST item);
