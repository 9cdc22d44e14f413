// The folder tree's drag and drop: a node dragged out as a shell item, and shell items dropped
// onto a node through the shell's drop handler of its folder. The shell carries the drop out;
// the tree finds the handler for the node under the cursor, highlights it, scrolls and expands
// while the cursor waits, and resyncs afterwards.
#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QWidget>

#include "browse/hourglass.h"
#include "browse/shell_tree.h"
#include "platform/shell/shell.h"
#include "platform/shell/shell_dnd.h"
#include "platform/user/user.h"
#include "runtime/exceptions.h"

namespace {

constexpr win::DWORD kAllEffects =
    win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE | win::DROPEFFECT_LINK;
constexpr win::ULONG kEffectAttributes =
    win::SFGAO_CANCOPY | win::SFGAO_CANMOVE | win::SFGAO_CANLINK;
constexpr win::DWORD kMouseButtons = win::MK_LBUTTON | win::MK_RBUTTON | win::MK_MBUTTON;
// Auto-scrolling: one line at most this often, within these distances of the edges.
constexpr win::DWORD kScrollInterval = 100;
constexpr int kScrollMarginX = 26;
constexpr int kScrollMarginY = 20;

// The system's mouse-hover rectangle and time, read once when the first tree is made.
struct HoverSettings {
  win::UINT width = 2;
  win::UINT height = 2;
  win::UINT time = 400;
};

const HoverSettings& Hover() {
  static const HoverSettings settings = [] {
    HoverSettings s;
    win::UINT value = 0;
    if (win::SystemParametersInfo(win::SPI_GETMOUSEHOVERWIDTH, 0, &value, 0)) s.width = value;
    if (win::SystemParametersInfo(win::SPI_GETMOUSEHOVERHEIGHT, 0, &value, 0)) s.height = value;
    if (win::SystemParametersInfo(win::SPI_GETMOUSEHOVERTIME, 0, &value, 0)) s.time = value;
    return s;
  }();
  return settings;
}

template <class T>
struct Held {
  T* p = nullptr;
  Held() = default;
  explicit Held(T* object) : p(object) {}
  ~Held() {
    if (p != nullptr) p->Release();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
};

// Decides the end of a drag started here: Escape or another button cancels, releasing the
// starting button drops. Lives on the stack of the drag, so references are only counted.
class TreeDropSource final : public win::IDropSource {
 public:
  explicit TreeDropSource(win::DWORD button) : button_(button) {}
  win::ULONG AddRef() override { return ++refs_; }
  win::ULONG Release() override { return --refs_; }
  win::HRESULT QueryContinueDrag(win::BOOL escapePressed, win::DWORD keyState) override {
    if (escapePressed) return win::DRAGDROP_S_CANCEL;
    const win::DWORD buttons = keyState & kMouseButtons;
    if ((buttons & ~button_) != 0) return win::DRAGDROP_S_CANCEL;
    if ((buttons & button_) == 0) return win::DRAGDROP_S_DROP;
    return win::S_OK;
  }
  win::HRESULT GiveFeedback(win::DWORD) override { return win::DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  win::DWORD button_;
  win::ULONG refs_ = 1;
};

// The copy, move and link attributes every item of a "Shell IDList Array" has; all three when
// the data holds no such list or its items cannot be asked (the drop handler then decides).
win::DWORD SharedEffects(win::IDataObject* data) {
  win::ShellIdList lists;
  if (!lists.Read(data) || lists.Count() == 0) return kAllEffects;
  Held<win::IShellFolder> desktop;
  if (win::FAILED(win::SHGetDesktopFolder(&desktop.p))) return kAllEffects;
  Held<win::IShellFolder> bound;
  win::IShellFolder* folder = desktop.p;
  if (!win::ILIsEmpty(lists.Folder())) {
    if (win::FAILED(desktop.p->BindToObject(lists.Folder(), nullptr, &bound.p)) ||
        bound.p == nullptr)
      return kAllEffects;
    folder = bound.p;
  }
  std::vector<win::LPCITEMIDLIST> items;
  for (std::size_t i = 0; i < lists.Count(); ++i) items.push_back(lists.Item(i));
  win::ULONG attributes = kEffectAttributes;
  if (win::FAILED(folder->GetAttributesOf(win::UINT(items.size()), items.data(), &attributes)))
    return kAllEffects;
  return attributes & kEffectAttributes;
}

}  // namespace

// The tree window's registered drop target. The tree detaches it when it goes, so a drag
// host still holding a reference gets failures instead of reaching a dead tree.
class TRzShellTreeDropTarget final : public win::IDropTarget {
 public:
  explicit TRzShellTreeDropTarget(TRzShellTree* tree) : tree_(tree) {}
  win::ULONG AddRef() override { return ++refs_; }
  win::ULONG Release() override {
    const win::ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  win::HRESULT DragEnter(win::IDataObject* data, win::DWORD keyState, win::POINTL pt,
                         win::DWORD* effect) override {
    if (data == nullptr || effect == nullptr) return win::E_INVALIDARG;
    if (tree_ == nullptr) return Refuse(effect);
    return tree_->DropEnter(data, keyState, pt, effect);
  }
  win::HRESULT DragOver(win::DWORD keyState, win::POINTL pt, win::DWORD* effect) override {
    if (effect == nullptr) return win::E_INVALIDARG;
    if (tree_ == nullptr) return Refuse(effect);
    return tree_->DropOver(keyState, pt, effect);
  }
  win::HRESULT DragLeave() override {
    return tree_ == nullptr ? win::E_UNEXPECTED : tree_->DropLeave();
  }
  win::HRESULT Drop(win::IDataObject* data, win::DWORD keyState, win::POINTL pt,
                    win::DWORD* effect) override {
    if (data == nullptr || effect == nullptr) return win::E_INVALIDARG;
    if (tree_ == nullptr) return Refuse(effect);
    return tree_->DropDrop(data, keyState, pt, effect);
  }
  void Detach() { tree_ = nullptr; }

 private:
  static win::HRESULT Refuse(win::DWORD* effect) {
    *effect = win::DROPEFFECT_NONE;
    return win::E_UNEXPECTED;
  }

  TRzShellTree* tree_;
  win::ULONG refs_ = 1;
};

// --- Options, registration, the clock ---------------------------------------------------------

void TRzShellTree::ApplyDragOptions() {
  Hover();  // the hover settings are read at start-up, not in the middle of a drag
  SetDragReporting(HasOption(TRzShellTreeOption::stoOleDrag));
  if (!HandleAllocated()) return;
  if (HasOption(TRzShellTreeOption::stoOleDrop))
    RegisterDropTarget();
  else
    RevokeDropTarget();
}

void TRzShellTree::RegisterDropTarget() {
  if (!HandleAllocated()) return;
  if (dropTarget_ == nullptr) dropTarget_ = new TRzShellTreeDropTarget(this);
  if (win::RegisteredDropTarget(Handle()) == dropTarget_) return;
  win::RegisterDragDrop(Handle(), dropTarget_);
}

void TRzShellTree::RevokeDropTarget() {
  if (HandleAllocated() && dropTarget_ != nullptr &&
      win::RegisteredDropTarget(Handle()) == dropTarget_)
    win::RevokeDragDrop(Handle());
  EndDropVisit();
}

void TRzShellTree::ShutDownDragDrop() {
  RevokeDropTarget();
  if (dropTarget_ == nullptr) return;
  dropTarget_->Detach();
  dropTarget_->Release();
  dropTarget_ = nullptr;
}

void TRzShellTree::SetTickSource(TTickSource source) {
  tickSource_ = std::move(source);
}

win::DWORD TRzShellTree::Now() const {
  return tickSource_ ? tickSource_() : win::GetTickCount();
}

// --- Dragging a node out ------------------------------------------------------------------------

bool TRzShellTree::DragNode(TTreeNode* node, TMouseButton button) {
  if (!HasOption(TRzShellTreeOption::stoOleDrag) || win::DragDropActive()) return false;
  if (button != TMouseButton::mbLeft && button != TMouseButton::mbRight) return false;
  TRzShellTreeData* data = DataOf(node);
  if (data == nullptr || data->Parent() == nullptr) return false;
  win::IShellFolder* folder = data->Parent()->Folder();
  if (folder == nullptr) return false;
  win::LPCITEMIDLIST item = data->RelativeList();
  void* object = nullptr;
  if (win::FAILED(
          folder->GetUIObjectOf(ShellOwner(), 1, &item, win::IID_IDataObject, nullptr, &object)) ||
      object == nullptr)
    return false;
  Held<win::IDataObject> shellItem(static_cast<win::IDataObject*>(object));
  win::ULONG attributes = kEffectAttributes;
  if (win::FAILED(folder->GetAttributesOf(1, &item, &attributes))) attributes = kEffectAttributes;
  const win::DWORD allowed = attributes & kEffectAttributes;

  win::HRESULT hr = win::DRAGDROP_S_CANCEL;
  {
    // The drag's state goes however the drag ends.
    struct DragScope {
      TRzShellTree& tree;
      bool wasActive;
      ~DragScope() {
        tree.operationActive_ = wasActive;
        tree.draggedNode_ = nullptr;
        tree.SetDropTarget(nullptr);
      }
    } scope{*this, operationActive_};
    draggedNode_ = node;
    SetDropTarget(node);
    operationActive_ = true;
    TreeDropSource source(button == TMouseButton::mbRight ? win::MK_RBUTTON : win::MK_LBUTTON);
    win::DWORD effect = win::DROPEFFECT_NONE;
    hr = win::DoDragDrop(shellItem.p, &source, allowed, &effect);
  }
  if (hr == win::DRAGDROP_S_DROP || resyncOwed_) {
    resyncOwed_ = false;
    Resync();
  }
  return true;
}

// --- Dropping onto the tree ---------------------------------------------------------------------

win::HRESULT TRzShellTree::DropHandlerOf(TTreeNode* node, win::IDropTarget** handler) {
  *handler = nullptr;
  TRzShellTreeData* data = DataOf(node);
  if (data == nullptr) return win::E_INVALIDARG;
  void* object = nullptr;
  win::HRESULT hr = win::E_FAIL;
  if (data->Parent() == nullptr) {
    win::IShellFolder* desktop = data->Folder();
    if (desktop == nullptr) return win::E_FAIL;
    hr = desktop->CreateViewObject(ShellOwner(), win::IID_IDropTarget, &object);
  } else {
    win::IShellFolder* folder = data->Parent()->Folder();
    if (folder == nullptr) return win::E_FAIL;
    win::LPCITEMIDLIST item = data->RelativeList();
    hr = folder->GetUIObjectOf(ShellOwner(), 1, &item, win::IID_IDropTarget, nullptr, &object);
  }
  if (win::SUCCEEDED(hr)) *handler = static_cast<win::IDropTarget*>(object);
  return *handler == nullptr && win::SUCCEEDED(hr) ? win::E_FAIL : hr;
}

win::DWORD TRzShellTree::AskDropHandler(TTreeNode* node, win::DWORD keyState, win::POINTL pt,
                                        win::DWORD allowed, bool over) {
  Held<win::IDropTarget> handler;
  if (dropData_ == nullptr || win::FAILED(DropHandlerOf(node, &handler.p)))
    return win::DROPEFFECT_NONE;
  win::DWORD effect = allowed;
  if (win::FAILED(handler.p->DragEnter(dropData_, keyState, pt, &effect))) {
    effect = win::DROPEFFECT_NONE;
  } else if (over) {
    effect = allowed;
    if (win::FAILED(handler.p->DragOver(keyState, pt, &effect))) effect = win::DROPEFFECT_NONE;
  }
  handler.p->DragLeave();
  return effect & kAllEffects;
}

win::HRESULT TRzShellTree::DropEnter(win::IDataObject* data, win::DWORD keyState, win::POINTL pt,
                                     win::DWORD* effect) {
  const win::DWORD allowed = *effect;
  *effect = win::DROPEFFECT_NONE;
  data->AddRef();
  if (dropData_ != nullptr) dropData_->Release();  // an enter without the leave before it
  dropData_ = data;
  dropKeyState_ = keyState;
  const win::DWORD now = Now();
  const win::POINT p = ScreenToClient({pt.x, pt.y});
  lastDropPoint_ = hoverPoint_ = p;
  hoverTime_ = now;
  lastScrollTime_ = now - kScrollInterval;  // the first scroll may come at once
  win::SetTimer(Handle(), kShellTreeDragTimer, kScrollInterval, nullptr);
  TTreeNode* node = NodeAt(p);
  if (DataOf(node) == nullptr) return win::S_OK;  // a node dragged from here stays highlighted
  *effect = AskDropHandler(node, keyState, pt, allowed, false);
  SetDropTarget(node);
  return win::S_OK;
}

win::HRESULT TRzShellTree::DropOver(win::DWORD keyState, win::POINTL pt, win::DWORD* effect) {
  const win::DWORD allowed = *effect;
  *effect = win::DROPEFFECT_NONE;
  if (dropData_ == nullptr) return win::S_OK;  // no enter came first
  const win::POINT p = ScreenToClient({pt.x, pt.y});
  lastDropPoint_ = p;
  TTreeNode* node = NodeAt(p);
  if (DataOf(node) != nullptr) {
    *effect = AskDropHandler(node, keyState, pt, allowed, true);
    SetDropTarget(node);
  }
  const win::DWORD now = Now();
  if (AutoScroll(p, now)) *effect |= win::DROPEFFECT_SCROLL;
  AutoExpand(p, now);
  return win::S_OK;
}

win::HRESULT TRzShellTree::DropLeave() {
  EndDropVisit();
  return win::S_OK;
}

win::HRESULT TRzShellTree::DropDrop(win::IDataObject* data, win::DWORD keyState, win::POINTL pt,
                                    win::DWORD* effect) {
  struct VisitEnd {
    TRzShellTree& tree;
    ~VisitEnd() { tree.EndDropVisit(); }
  } end{*this};
  const win::DWORD allowed = *effect;
  *effect = win::DROPEFFECT_NONE;
  TTreeNode* node = NodeAt(ScreenToClient({pt.x, pt.y}));
  if (DataOf(node) == nullptr) return win::S_OK;
  Held<win::IDropTarget> handler;
  if (win::FAILED(DropHandlerOf(node, &handler.p))) return win::S_OK;
  // The button the drag started with, so the shell offers its menu after a right drag.
  keyState |= dropKeyState_ & (win::MK_LBUTTON | win::MK_RBUTTON);
  win::DWORD asked = allowed;
  handler.p->DragEnter(data, keyState, pt, &asked);
  asked = allowed;
  handler.p->DragOver(keyState, pt, &asked);
  const win::DWORD permitted = allowed & SharedEffects(data);
  if ((permitted & kAllEffects) == win::DROPEFFECT_NONE) {
    handler.p->DragLeave();  // nothing the items allow: no menu, no drop
    return win::S_OK;
  }
  {
    Hourglass wait;
    win::DWORD done = permitted;
    if (win::SUCCEEDED(handler.p->Drop(data, keyState, pt, &done))) *effect = done & kAllEffects;
  }
  Resync();
  return win::S_OK;
}

void TRzShellTree::EndDropVisit() {
  if (HandleAllocated()) win::KillTimer(Handle(), kShellTreeDragTimer);
  if (dropData_ != nullptr) dropData_->Release();
  dropData_ = nullptr;
  dropKeyState_ = 0;
  SetDropTarget(nullptr);
}

void TRzShellTree::DragTimerTick() {
  if (dropData_ == nullptr) {
    win::KillTimer(Handle(), kShellTreeDragTimer);
    return;
  }
  // The cursor stands still: the scroll goes on, the hover time runs out.
  const win::DWORD now = Now();
  if (AutoScroll(lastDropPoint_, now)) {
    TTreeNode* node = NodeAt(lastDropPoint_);
    if (DataOf(node) != nullptr) SetDropTarget(node);
  }
  AutoExpand(lastDropPoint_, now);
}

bool TRzShellTree::AutoScroll(win::POINT p, win::DWORD now) {
  if (win::DWORD(now - lastScrollTime_) < kScrollInterval) return false;
  auto* view = static_cast<QAbstractScrollArea*>(Widget());
  const QRect area = view->viewport()->geometry();  // the client area, in our coordinates
  auto scroll = [](QScrollBar* bar, int direction) {
    if (bar->maximum() <= bar->minimum()) return false;  // no range: nothing to scroll
    const int before = bar->value();
    bar->triggerAction(direction < 0 ? QAbstractSlider::SliderSingleStepSub
                                     : QAbstractSlider::SliderSingleStepAdd);
    return bar->value() != before;
  };
  bool scrolled = false;
  if (p.x - area.left() < kScrollMarginX)
    scrolled |= scroll(view->horizontalScrollBar(), -1);
  else if (area.left() + area.width() - p.x < kScrollMarginX)
    scrolled |= scroll(view->horizontalScrollBar(), 1);
  if (p.y - area.top() < kScrollMarginY)
    scrolled |= scroll(view->verticalScrollBar(), -1);
  else if (area.top() + area.height() - p.y < kScrollMarginY)
    scrolled |= scroll(view->verticalScrollBar(), 1);
  if (!scrolled) return false;
  lastScrollTime_ = now;
  hoverPoint_ = p;
  hoverTime_ = now;
  return true;
}

void TRzShellTree::AutoExpand(win::POINT p, win::DWORD now) {
  const HoverSettings& hover = Hover();
  const int left = hoverPoint_.x - int(hover.width / 2);
  const int top = hoverPoint_.y - int(hover.height / 2);
  const int right = hoverPoint_.x + int(hover.width);
  const int bottom = hoverPoint_.y + int(hover.height);
  const bool inside = p.x >= left && p.x < right && p.y >= top && p.y < bottom;
  if (inside && win::DWORD(now - hoverTime_) < hover.time) return;
  if (inside) {
    TTreeNode* node = NodeAt(hoverPoint_);
    if (DataOf(node) != nullptr && node->HasChildren() && node->Count() == 0) {
      bool expanded = false;
      {
        struct Silenced {
          int& count;
          ~Silenced() { --count; }
        } silenced{++errorSilenceCount_};
        try {
          expanded = node->Expand();
        } catch (const Exception&) {
          expanded = false;  // swallowed: the node just loses its button
        }
      }
      if (!expanded || node->Count() == 0) node->SetHasChildren(false);
    }
  }
  hoverPoint_ = p;
  hoverTime_ = now;
}
