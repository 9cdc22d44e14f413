#include "browse/shell_tree.h"

#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstring>
#include <vector>

#include "browse/child_match.h"
#include "platform/shell/image_list.h"
#include "runtime/exceptions.h"

namespace {

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
  OnDeletion = [](TObject*, TTreeNode* node) {
    delete DataOf(node);
    node->SetData(nullptr);
  };
  win::HIMAGELIST images = SystemImageList();
  SetImages([images](int index, int overlay, bool cut) {
    return ComposeIcon(images, index, overlay, cut);
  });
  selectedFolder_.Clear();
}

TRzShellTree::~TRzShellTree() {
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
  // lands (caption, icon, button or empty space).
  if (button == TMouseButton::mbLeft) Click();
}

void TRzShellTree::Refill() {
  DeleteAllNodes();
  FillChildren(nullptr);
  if (Count() > 0) SetSelected(Item(0));
}

void TRzShellTree::FillChildren(TTreeNode* node) {
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
  } else {
    data = DataOf(node);
    if (data == nullptr) return;
  }
  win::IShellFolder* folder = data->Folder();
  if (folder == nullptr) return;  // cannot be bound now: the node keeps its button

  win::DWORD flags = win::SHCONTF_FOLDERS;
  if (HasOption(TRzShellTreeOption::stoShowHidden)) flags |= win::SHCONTF_INCLUDEHIDDEN;
  if (HasOption(TRzShellTreeOption::stoIncludeNonFolders)) flags |= win::SHCONTF_NONFOLDERS;
  Held<win::IEnumIDList> items;
  if (win::FAILED(folder->EnumObjects(nullptr, flags, &items.p)) || items.p == nullptr) {
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
  if (node->HasChildren()) FillChildren(node);
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
