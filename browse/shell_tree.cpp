#include "browse/shell_tree.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>
#include <QWidget>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "browse/change_handler.h"
#include "browse/child_match.h"
#include "browse/hourglass.h"
#include "platform/shell/image_list.h"
#include "runtime/exceptions.h"
#include "ui/forms.h"

namespace {

constexpr win::UINT_PTR kPendingActionTimer = 1;
constexpr int kWheelNotch = 120;
// The wheel setting that asks for a page per notch.
constexpr win::UINT kWheelPageScroll = UINT_MAX;

[[noreturn]] void RaiseShellError(win::HRESULT hr) {
  throw EOSError(SysErrorMessage(win::DWORD(hr)), win::DWORD(hr));
}

// Releases a folder or enumerator at the end of a scope.
template <class T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p != nullptr) p->Release();
  }
};

win::HIMAGELIST SystemImageList() {
  win::SHFILEINFOA info{};
  auto list = win::SHGetFileInfoA("C:\\", 0, &info, sizeof info,
                                  win::SHGFI_SYSICONINDEX | win::SHGFI_SMALLICON);
  if (list == 0) {
    static const win::USHORT kEmpty = 0;
    list = win::SHGetFileInfoA(reinterpret_cast<const char*>(&kEmpty), 0, &info, sizeof info,
                               win::SHGFI_PIDL | win::SHGFI_SYSICONINDEX | win::SHGFI_SMALLICON);
  }
  return reinterpret_cast<win::HIMAGELIST>(list);
}

// The icon with its overlay (1 shared, 2 shortcut), ghosted at half opacity for hidden items.
QPixmap ComposeIcon(win::HIMAGELIST list, int index, int overlay, bool cut) {
  std::vector<std::uint32_t> pixels = win::ImageList_GetPixels(list, index);
  if (pixels.size() != 256) return {};
  if (overlay == 1 || overlay == 2) {
    const auto over = win::ImageList_GetPixels(
        list, overlay == 1 ? win::siSharedOverlay : win::siShortcutOverlay);
    for (std::size_t i = 0; i < over.size() && i < pixels.size(); ++i)
      if ((over[i] >> 24) != 0) pixels[i] = over[i];
  }
  if (cut)
    for (auto& px : pixels) px = (((px >> 24) / 2) << 24) | (px & 0xFFFFFF);
  QImage image(16, 16, QImage::Format_ARGB32);
  std::memcpy(image.bits(), pixels.data(), 256 * 4);
  return QPixmap::fromImage(image);
}

// Raises a counter for the life of the scope.
class Raised {
 public:
  explicit Raised(int& count) : count_(count) { ++count_; }
  ~Raised() { --count_; }
  Raised(const Raised&) = delete;
  Raised& operator=(const Raised&) = delete;

 private:
  int& count_;
};

// A begin-update / end-update pair of the node collection.
class Updating {
 public:
  explicit Updating(TTreeView& tree) : tree_(tree) { tree_.BeginUpdate(); }
  ~Updating() { tree_.EndUpdate(); }
  Updating(const Updating&) = delete;
  Updating& operator=(const Updating&) = delete;

 private:
  TTreeView& tree_;
};

struct ListFree {
  void operator()(win::ITEMIDLIST* list) const { win::ILFree(list); }
};
using OwnedList = std::unique_ptr<win::ITEMIDLIST, ListFree>;

bool IsInside(const TTreeNode* node, const TTreeNode* ancestor) {
  for (const TTreeNode* p = node; p != nullptr; p = p->Parent())
    if (p == ancestor) return true;
  return false;
}

class FocusWatcher : public QObject {
 public:
  FocusWatcher(QWidget* target, TRzShellTree& tree) : QObject(target), tree_(tree) {
    target->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) tree_.UpdateFrame();
    return false;
  }

 private:
  TRzShellTree& tree_;
};

}  // namespace

AnsiString ShellDisplayName(win::IShellFolder* folder, win::LPCITEMIDLIST item) {
  char buffer[win::MAX_PATH + 1] = {};
  win::STRRET name{};
  name.uType = win::STRRET_WSTR;
  win::HRESULT hr = folder->GetDisplayNameOf(item, win::SHGDN_INFOLDER, &name);
  if (win::FAILED(hr)) {
    name = {};
    name.uType = win::STRRET_CSTR;
    hr = folder->GetDisplayNameOf(item, win::SHGDN_INFOLDER, &name);
  }
  if (win::FAILED(hr)) return {};
  if (win::FAILED(win::StrRetToBufA(&name, item, buffer, sizeof buffer))) return {};
  return AnsiString(buffer);
}

TRzShellTreeData::TRzShellTreeData(TRzShellTree& tree, TRzShellTreeData* parent,
                                   win::LPCITEMIDLIST relative)
    : tree_(tree), parent_(parent), relative_(win::ILClone(relative)) {}

TRzShellTreeData::~TRzShellTreeData() {
  DropCaches();
  win::ILFree(relative_);
}

void TRzShellTreeData::DropCaches() {
  win::ILFree(absolute_);
  absolute_ = nullptr;
  if (folder_ != nullptr) folder_->Release();
  folder_ = nullptr;
}

void TRzShellTreeData::ReplaceRelativeList(win::LPCITEMIDLIST relative) {
  win::LPITEMIDLIST copy = win::ILClone(relative);
  if (copy == nullptr) return;
  win::ILFree(relative_);
  relative_ = copy;
  DropCaches();
}

void TRzShellTreeData::SetAbsoluteList(win::LPCITEMIDLIST list) {
  win::ILFree(absolute_);
  absolute_ = win::ILClone(list);
}

void TRzShellTreeData::SetFolder(win::IShellFolder* folder) {
  if (folder != nullptr) folder->AddRef();
  if (folder_ != nullptr) folder_->Release();
  folder_ = folder;
}

win::LPCITEMIDLIST TRzShellTreeData::AbsoluteList() {
  if (absolute_ == nullptr) {
    if (parent_ == nullptr)
      absolute_ = win::ILClone(relative_);
    else
      absolute_ = win::ILCombine(parent_->AbsoluteList(), relative_);
  }
  return absolute_;
}

win::IShellFolder* TRzShellTreeData::Folder() {
  if (folder_ != nullptr) return folder_;
  Held<win::IShellFolder> parentFolder;
  if (parent_ == nullptr) {
    if (win::FAILED(win::SHGetDesktopFolder(&parentFolder.p))) return nullptr;
    if (win::ILIsEmpty(relative_)) {
      folder_ = parentFolder.p;
      parentFolder.p = nullptr;
      return folder_;
    }
    parentFolder.p->BindToObject(relative_, nullptr, &folder_);
    return folder_;
  }
  win::IShellFolder* above = parent_->Folder();
  if (above == nullptr) return nullptr;
  if (win::FAILED(above->BindToObject(relative_, nullptr, &folder_))) folder_ = nullptr;
  return folder_;
}

TRzShellTree::TRzShellTree(TComponent* owner) : TTreeView(owner) {
  SetBounds(Left(), Top(), 150, 150);
  SetShowRoot(false);
  SetIndent(19);
  frame_.frameVisible = false;
  OnExpanding = [this](TObject*, TTreeNode* node, bool& allow) { NodeExpanding(node, allow); };
  OnGetImageIndex = [this](TObject*, TTreeNode* node) { LookUpImage(node, false); };
  OnGetSelectedIndex = [this](TObject*, TTreeNode* node) { LookUpImage(node, true); };
  OnCompare = [](TObject*, TTreeNode* a, TTreeNode* b, std::intptr_t data) {
    TRzShellTreeData* da = DataOf(a);
    TRzShellTreeData* db = DataOf(b);
    if (da == nullptr || db == nullptr || data == 0) return 0;
    return CompareInFolder(reinterpret_cast<win::IShellFolder*>(data), da->RelativeList(),
                           db->RelativeList());
  };
  OnDeletion = [this](TObject*, TTreeNode* node) {
    if (node == draggedNode_) draggedNode_ = nullptr;  // a drop onto the tree moved it away
    if (DataOf(node) == nullptr) return;
    if (OnDeleteItem) OnDeleteItem(this, node);
    delete DataOf(node);
    node->SetData(nullptr);
  };
  TTreeView::OnEditing = [this](TObject*, TTreeNode* node, bool& allow) {
    allow = CanRename(node);
    if (allow && OnEditing) OnEditing(this, node, allow);
  };
  TTreeView::OnEdited = [this](TObject*, TTreeNode* node, AnsiString& text) {
    RenameEdited(node, text);
  };
  // The tree view reports the user's moves of the selection; ours are published by SelectNode.
  TTreeView::OnChange = [this](TObject*) { SelectionMoved(); };
  win::HIMAGELIST images = SystemImageList();
  SetImages([images](int index, int overlay, bool cut) {
    return ComposeIcon(images, index, overlay, cut);
  });
  OnBeginDrag = [this](TObject*, TTreeNode* node, TMouseButton button) { DragNode(node, button); };
  selectedFolder_.Clear();
  RegisterWithDeviceHandler();
  ApplyDragOptions();
}

TRzShellTree::~TRzShellTree() {
  UnregisterFromDeviceHandler();
  // Before the window goes, so the worker never posts to a dead window.
  StopWatching();
  if (HandleAllocated()) win::KillTimer(Handle(), kPendingActionTimer);
  ShutDownDragDrop();
  DeleteAllNodes();
}

TRzShellTreeData* TRzShellTree::DataOf(const TTreeNode* node) {
  return node == nullptr ? nullptr : static_cast<TRzShellTreeData*>(node->Data());
}

void TRzShellTree::DeleteAllNodes() {
  ++changeSuppressCount_;
  SetSelected(nullptr);
  Clear();
  --changeSuppressCount_;
}

void TRzShellTree::HandleCreated() {
  TTreeView::HandleCreated();
  InstallFrame();
  new FocusWatcher(Widget(), *this);
  ApplyDragOptions();  // the window becomes a drop target (stoOleDrop)
  // A window made after loading fills itself once it runs (nodes made meanwhile satisfy it).
  if (!Loading() && HasOption(TRzShellTreeOption::stoAutoFill) && Count() == 0)
    win::PostMessage(Handle(), kShellTreeFillRequest, 0, 0);
  // A fill before the window existed could not start watching.
  if (Count() > 0 && HasOption(TRzShellTreeOption::stoDynamicRefresh)) StartWatching();
}

void TRzShellTree::Loaded() {
  TTreeView::Loaded();
  if (HasOption(TRzShellTreeOption::stoAutoFill) && Count() == 0) Refill();
}

win::LRESULT TRzShellTree::WndProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
  if (win::LRESULT result = 0; ShellMenuMessage(message, wParam, lParam, &result)) return result;
  switch (message) {
    case kShellTreeChangeSignal:
      ChangeSignal(wParam);
      return 0;
    case kShellTreeFillRequest:
      if (Count() == 0) Refill();
      return 0;
    case win::WM_TIMER:
      if (wParam == kShellTreeDragTimer) {
        DragTimerTick();
        return 0;
      }
      if (wParam != kPendingActionTimer) break;
      RunPendingAction();
      return 0;
    default:
      break;
  }
  return TTreeView::WndProc(message, wParam, lParam);
}

void TRzShellTree::ChangeSignal(win::WPARAM) {
  if (skipNextChangeSignal_ || operationActive_) {
    skipNextChangeSignal_ = false;
    return;
  }
  ArmPendingAction(TRzPendingAction::paResync, Focused() ? 400 : 2000);
}

void TRzShellTree::ArmPendingAction(TRzPendingAction action, win::UINT milliseconds) {
  if (action == TRzPendingAction::paNone) {
    if (HandleAllocated()) win::KillTimer(Handle(), kPendingActionTimer);
    pendingAction_ = action;
    return;
  }
  pendingAction_ = action;
  win::SetTimer(Handle(), kPendingActionTimer, milliseconds, nullptr);
}

void TRzShellTree::RunPendingAction() {
  if (HandleAllocated()) win::KillTimer(Handle(), kPendingActionTimer);
  const TRzPendingAction action = pendingAction_;
  pendingAction_ = TRzPendingAction::paNone;
  if (action == TRzPendingAction::paResync) Resync();
  if (action == TRzPendingAction::paPublishSelection) SelectionMoved();
}

void TRzShellTree::LowerChangeSuppress() {
  if (changeSuppressCount_ <= 0) throw EInvalidOperation("Change suppression was not raised");
  --changeSuppressCount_;
}

void TRzShellTree::LowerErrorSilence() {
  if (errorSilenceCount_ <= 0) throw EInvalidOperation("Error silence was not raised");
  --errorSilenceCount_;
}

void TRzShellTree::RunOwedResync() {
  if (!resyncOwed_ || operationActive_) return;
  resyncOwed_ = false;
  Resync();
}

win::HWND TRzShellTree::ShellOwner() {
  if (errorSilenceCount_ > 0 || Application == nullptr) return nullptr;
  TForm* main = Application->MainForm();
  return main != nullptr && main->HandleAllocated() ? main->Handle() : nullptr;
}

win::DWORD TRzShellTree::EnumFlags() const {
  win::DWORD flags = win::SHCONTF_FOLDERS;
  if (HasOption(TRzShellTreeOption::stoShowHidden)) flags |= win::SHCONTF_INCLUDEHIDDEN;
  if (HasOption(TRzShellTreeOption::stoIncludeNonFolders)) flags |= win::SHCONTF_NONFOLDERS;
  return flags;
}

void TRzShellTree::InstallFrame() {
  if (!HandleAllocated()) return;
  SetFramePainter(kBorderWidth, [this](TCanvas& canvas, int w, int h) {
    TFrameState state;
    state.enabled = Enabled();
    state.focused = Focused();
    state.mouseOver = mouseOver_;
    PaintControlFrame(canvas, w, h, frame_, state);
  });
}

void TRzShellTree::SetFrameVisible(bool value) {
  frame_.frameVisible = value;
  UpdateFrame();
}
void TRzShellTree::SetFrameColor(TColor value) {
  frame_.frameColor = value;
  UpdateFrame();
}
void TRzShellTree::SetFrameHotColor(TColor value) {
  frame_.frameHotColor = value;
  UpdateFrame();
}
void TRzShellTree::SetFrameHotTrack(bool value) {
  frame_.frameHotTrack = value;
  UpdateFrame();
}

void TRzShellTree::MouseEnter() {
  TTreeView::MouseEnter();
  mouseOver_ = true;
  UpdateFrame();
}

void TRzShellTree::MouseLeave() {
  TTreeView::MouseLeave();
  mouseOver_ = false;
  UpdateFrame();
}

void TRzShellTree::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TTreeView::MouseUp(button, shift, x, y);
  // The wrapped tree view raises no click of its own: every left click is one, wherever it
  // lands (caption, icon, button or empty space), but not the release that ends a drag.
  if (button == TMouseButton::mbLeft && !DragBegun()) Click();
}

bool TRzShellTree::MouseWheel(TShiftState shift, int wheelDelta, win::POINT mousePos) {
  if (TTreeView::MouseWheel(shift, wheelDelta, mousePos)) return true;
  if (!HandleAllocated()) return false;
  wheelRest_ += wheelDelta;
  const int notches = wheelRest_ / kWheelNotch;
  wheelRest_ -= notches * kWheelNotch;
  win::UINT lines = 3;
  win::SystemParametersInfo(win::SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  QScrollBar* bar = static_cast<QAbstractScrollArea*>(Widget())->verticalScrollBar();
  const int direction = notches > 0 ? -1 : 1;  // turned away from the user: up
  for (int n = 0; n < std::abs(notches); ++n) {
    if (bar->maximum() <= bar->minimum()) break;  // everything fits on the page
    if (lines == kWheelPageScroll) {
      ScrollPages(direction);
      continue;
    }
    for (win::UINT step = 0; step < lines; ++step) {
      const int before = bar->value();
      ScrollLines(direction);
      if (bar->value() == before) break;  // at the end already
    }
  }
  return true;
}

void TRzShellTree::Refill() {
  if (operationActive_ || (HandleAllocated() && IsEditing())) {
    resyncOwed_ = true;
    return;
  }
  {
    Hourglass wait;
    DeleteAllNodes();
    FillChildren(nullptr);
    if (Count() > 0) {
      if (selectedFolder_.IsSet()) {
        // The locator follows the selection as navigation moves it, so go by a copy.
        const OwnedList target(win::ILClone(selectedFolder_.IdList()));
        NavigateTo(target.get());
      } else {
        SelectNode(Item(0));
      }
    }
  }
  if (pendingAction_ != TRzPendingAction::paNone) RunPendingAction();
  if (HasOption(TRzShellTreeOption::stoDynamicRefresh)) StartWatching();
}

void TRzShellTree::SetSelectedFolder(win::LPCITEMIDLIST absolute) {
  const OwnedList target(win::ILClone(absolute));
  selectedFolder_.SetIdList(target.get());
  if (target != nullptr && Count() > 0) NavigateTo(target.get());
}

void TRzShellTree::NavigateTo(win::LPCITEMIDLIST absolute) {
  if (absolute == nullptr || changeSuppressCount_ > 0 || Count() == 0) return;
  TTreeNode* node = Item(0);
  {
    Updating update(*this);
    // The root covers the items of its own list.
    win::LPCITEMIDLIST rest = absolute;
    TRzShellTreeData* rootData = DataOf(node);
    const win::UINT covered = rootData == nullptr ? 0 : win::ILGetCount(rootData->AbsoluteList());
    for (win::UINT i = 0; i < covered && !win::ILIsEmpty(rest); ++i) rest = win::ILGetNext(rest);
    while (!win::ILIsEmpty(rest)) {
      const OwnedList item(win::ILCloneFirst(rest));
      node->Expand();  // lists the node on its first expansion
      TRzShellTreeData* data = DataOf(node);
      win::IShellFolder* folder = data == nullptr ? nullptr : data->Folder();
      TTreeNode* next = nullptr;
      if (folder != nullptr && item != nullptr) {
        for (int i = 0; i < node->Count() && next == nullptr; ++i) {
          TRzShellTreeData* child = DataOf(node->Item(i));
          if (child != nullptr && CompareInFolder(folder, child->RelativeList(), item.get()) == 0)
            next = node->Item(i);
        }
        bool added = false;
        if (next == nullptr &&
            win::SUCCEEDED(AddShellItem(folder, data, item.get(), node, &added)) && added) {
          next = node->Item(node->Count() - 1);
          SortChildren(node);
        }
      }
      if (next == nullptr) {
        win::MessageBeep(0);
        break;
      }
      node = next;
      rest = win::ILGetNext(rest);
    }
  }
  SelectNode(node);
  node->MakeVisible();
}

void TRzShellTree::Resync() {
  if (operationActive_ || (HandleAllocated() && IsEditing())) {
    resyncOwed_ = true;
    return;
  }
  resyncOwed_ = false;
  if (Count() == 0) {
    Refill();
    return;
  }
  Hourglass wait;
  if (OnFillStart) OnFillStart(this);
  TTreeNode* remembered = Selected();
  {
    Raised suppress(changeSuppressCount_);
    SetSelected(nullptr);
    Updating update(*this);
    for (int i = 0; i < Count(); ++i) ResyncNode(Item(i), remembered);
  }
  if (remembered != nullptr) SelectNode(remembered);
  if (OnFillComplete) OnFillComplete(this);
}

void TRzShellTree::ResyncNode(TTreeNode* node, TTreeNode*& remembered) {
  TRzShellTreeData* data = DataOf(node);
  if (data == nullptr) return;
  // Only nodes whose children are known: listed ones, and those without a button.
  if (node->Count() == 0 && node->HasChildren()) return;
  win::IShellFolder* folder = data->Folder();
  if (folder == nullptr) return;  // not reachable now: the node and its subtree stay

  std::vector<TTreeNode*> nodes;
  std::vector<win::LPCITEMIDLIST> existing;
  for (int i = 0; i < node->Count(); ++i) {
    TRzShellTreeData* child = DataOf(node->Item(i));
    if (child == nullptr) continue;
    nodes.push_back(node->Item(i));
    existing.push_back(child->RelativeList());
  }
  std::vector<OwnedList> owned;
  std::vector<win::LPCITEMIDLIST> fresh;
  Held<win::IEnumIDList> items;
  const bool started =
      win::SUCCEEDED(folder->EnumObjects(nullptr, EnumFlags(), &items.p)) && items.p != nullptr;
  win::HRESULT hr = win::S_FALSE;
  while (started) {
    win::LPITEMIDLIST item = nullptr;
    win::ULONG fetched = 0;
    hr = items.p->Next(1, &item, &fetched);
    if (hr != win::S_OK || fetched == 0) {
      win::ILFree(item);
      break;
    }
    owned.emplace_back(item);
    fresh.push_back(item);
  }
  // A listing cut short by a failure cannot tell what is gone: the children stay as they are.
  if (!started || !win::FAILED(hr)) {
    const TChildMatch match = MatchChildren(folder, existing, fresh);
    for (std::size_t k : match.gone) {
      if (IsInside(remembered, nodes[k])) remembered = node;
      nodes[k]->Delete();
    }
    bool anyAdded = false;
    for (std::size_t k : match.added) {
      bool added = false;
      // An item that vanished since the listing is simply not added.
      if (win::SUCCEEDED(AddShellItem(folder, data, fresh[k], node, &added)) && added)
        anyAdded = true;
    }
    if (anyAdded) SortChildren(node);
    // A folder that cannot be listed now (a drive without medium) keeps its button, so a
    // later expansion tries again; a listed one shows a button only for its children.
    node->SetHasChildren(!started);
  }
  for (int i = 0; i < node->Count(); ++i) ResyncNode(node->Item(i), remembered);
}

void TRzShellTree::SelectNode(TTreeNode* node) {
  SetSelected(node);
  SelectionMoved();
}

void TRzShellTree::SelectionMoved() {
  if (changeSuppressCount_ > 0 || Loading()) return;
  TRzShellTreeData* data = DataOf(Selected());
  if (data == nullptr) return;
  selectedFolder_.SetIdList(data->AbsoluteList());
  if (OnChange) OnChange(this);
}

void TRzShellTree::FillChildren(TTreeNode* node) {
  if (OnFillStart) OnFillStart(this);
  TRzShellTreeData* data = nullptr;
  if (node == nullptr) {
    Held<win::IShellFolder> desktop;
    const win::HRESULT hr = win::SHGetDesktopFolder(&desktop.p);
    if (win::FAILED(hr)) RaiseShellError(hr);
    static const win::USHORT kEmpty = 0;
    auto empty = reinterpret_cast<win::LPCITEMIDLIST>(&kEmpty);
    node = AddChild(nullptr, ShellDisplayName(desktop.p, empty));
    data = new TRzShellTreeData(*this, nullptr, empty);
    node->SetData(data);
    data->SetFolder(desktop.p);
    data->SetAbsoluteList(empty);
    node->SetHasChildren(true);
    LookUpImage(node, false);
    LookUpImage(node, true);
    if (OnInsertItem) OnInsertItem(this, node);
  } else {
    data = DataOf(node);
    if (data == nullptr) return;
  }
  win::IShellFolder* folder = data->Folder();
  if (folder == nullptr) return;  // cannot be bound now: the node keeps its button

  Held<win::IEnumIDList> items;
  if (win::FAILED(folder->EnumObjects(ShellOwner(), EnumFlags(), &items.p)) || items.p == nullptr) {
    node->SetHasChildren(true);
    items.p = nullptr;
    return;
  }
  bool anyAdded = false;
  win::HRESULT hr = win::S_OK;
  for (;;) {
    win::LPITEMIDLIST item = nullptr;
    win::ULONG fetched = 0;
    hr = items.p->Next(1, &item, &fetched);
    if (hr != win::S_OK || fetched == 0) {
      win::ILFree(item);
      break;
    }
    bool added = false;
    const win::HRESULT addResult = AddShellItem(folder, data, item, node, &added);
    win::ILFree(item);
    if (win::FAILED(addResult)) RaiseShellError(addResult);
    anyAdded = anyAdded || added;
  }
  if (!anyAdded) node->SetHasChildren(false);
  if (win::FAILED(hr) && hr != win::E_FAIL) RaiseShellError(hr);
  SortChildren(node);
  if (node->Parent() == nullptr) node->Expand();
  if (OnFillComplete) OnFillComplete(this);
}

win::HRESULT TRzShellTree::AddShellItem(win::IShellFolder* folder, TRzShellTreeData* parentData,
                                        win::LPCITEMIDLIST item, TTreeNode* parentNode,
                                        bool* added) {
  *added = false;
  win::ULONG attributes = 0xF20B0000u | win::SFGAO_STREAM;
  const win::HRESULT hr = folder->GetAttributesOf(1, &item, &attributes);
  if (win::FAILED(hr)) return hr;
  if (!HasOption(TRzShellTreeOption::stoVirtualFolders) &&
      (attributes & (win::SFGAO_FILESYSTEM | win::SFGAO_FILESYSANCESTOR)) == 0)
    return win::S_OK;
  bool accept = true;
  if (OnAddItem) OnAddItem(this, parentNode, item, attributes, accept);
  if (!accept) return win::S_OK;
  TTreeNode* node = AddChild(parentNode, ShellDisplayName(folder, item));
  const bool subfolders = (attributes & win::SFGAO_HASSUBFOLDER) != 0;
  const bool isFolder = (attributes & win::SFGAO_FOLDER) != 0;
  node->SetHasChildren(HasOption(TRzShellTreeOption::stoIncludeNonFolders)
                           ? (subfolders || isFolder)
                           : (subfolders && isFolder));
  if ((attributes & win::SFGAO_SHARE) != 0)
    node->SetOverlayIndex(1);
  else if ((attributes & win::SFGAO_LINK) != 0)
    node->SetOverlayIndex(2);
  if ((attributes & win::SFGAO_HIDDEN) != 0) node->SetCut(true);
  node->SetData(new TRzShellTreeData(*this, parentData, item));
  *added = true;
  if (OnInsertItem) OnInsertItem(this, node);
  return win::S_OK;
}

void TRzShellTree::SortChildren(TTreeNode* parent) {
  TRzShellTreeData* data = DataOf(parent);
  win::IShellFolder* folder = data == nullptr ? nullptr : data->Folder();
  if (folder == nullptr) return;
  CustomSort(parent, reinterpret_cast<std::intptr_t>(folder));
}

void TRzShellTree::NodeExpanding(TTreeNode* node, bool& allow) {
  if (!allow || DataOf(node) == nullptr || node->Count() > 0) return;
  if (node->HasChildren()) {
    Hourglass wait;
    FillChildren(node);
  }
  // Nothing listed (no button, a failed enumeration, no folder found): no expansion.
  if (node->Count() == 0) allow = false;
}

void TRzShellTree::LookUpImage(TTreeNode* node, bool open) {
  TRzShellTreeData* data = DataOf(node);
  if (data == nullptr) return;
  win::LPCITEMIDLIST list = data->AbsoluteList();
  if (list == nullptr) return;
  win::SHFILEINFOA info{};
  win::UINT flags = win::SHGFI_PIDL | win::SHGFI_SYSICONINDEX | win::SHGFI_SMALLICON;
  if (open) flags |= win::SHGFI_OPENICON;
  if (win::SHGetFileInfoA(reinterpret_cast<const char*>(list), 0, &info, sizeof info, flags) == 0)
    return;
  if (open)
    node->SetSelectedIndex(info.iIcon);
  else
    node->SetImageIndex(info.iIcon);
}

AnsiString TRzShellTree::SelectedPath() const {
  if (!HandleAllocated()) return {};
  TRzShellTreeData* data = DataOf(Selected());
  if (data == nullptr) return {};
  win::LPCITEMIDLIST list = data->AbsoluteList();
  if (list == nullptr) return {};
  char path[win::MAX_PATH + 1] = {};
  if (!win::SHGetPathFromIDListA(list, path)) return {};
  path[win::MAX_PATH] = '\0';
  return AnsiString(path);
}
