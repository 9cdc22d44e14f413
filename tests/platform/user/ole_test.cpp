// Drag and drop without a GUI host: data objects, drop target registration, the drag host,
// file-drop blocks, and popup menus tracked through their host.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/user/menu.h"
#include "platform/user/ole.h"
#include "platform/user/user.h"
#include "platform/user/window.h"

namespace {

win::HGLOBAL Bytes(const std::string& bytes) {
  win::HGLOBAL block = win::GlobalAlloc(win::GMEM_MOVEABLE, bytes.size());
  if (!bytes.empty()) std::memcpy(win::GlobalLock(block), bytes.data(), bytes.size());
  win::GlobalUnlock(block);
  return block;
}

win::HRESULT Put(win::IDataObject* object, win::UINT format, const std::string& bytes,
                 bool release = true) {
  win::FORMATETC asked;
  asked.cfFormat = static_cast<win::CLIPFORMAT>(format);
  win::STGMEDIUM medium;
  medium.tymed = win::TYMED_HGLOBAL;
  medium.hGlobal = Bytes(bytes);
  const win::HRESULT hr = object->SetData(&asked, &medium, release);
  if (!release || win::FAILED(hr)) win::GlobalFree(medium.hGlobal);
  return hr;
}

struct Counted : win::IDropTarget {
  int refs = 1;
  std::vector<std::string> calls;
  win::ULONG AddRef() override { return ++refs; }
  win::ULONG Release() override { return --refs; }
  win::HRESULT DragEnter(win::IDataObject*, win::DWORD, win::POINTL, win::DWORD*) override {
    calls.push_back("enter");
    return win::S_OK;
  }
  win::HRESULT DragOver(win::DWORD, win::POINTL, win::DWORD*) override { return win::S_OK; }
  win::HRESULT DragLeave() override { return win::S_OK; }
  win::HRESULT Drop(win::IDataObject*, win::DWORD, win::POINTL, win::DWORD* effect) override {
    *effect = win::DROPEFFECT_MOVE;
    return win::S_OK;
  }
};

struct Source : win::IDropSource {
  win::ULONG AddRef() override { return 2; }
  win::ULONG Release() override { return 1; }
  win::HRESULT QueryContinueDrag(win::BOOL escape, win::DWORD keys) override {
    if (escape) return win::DRAGDROP_S_CANCEL;
    return (keys & win::MK_LBUTTON) != 0 ? win::S_OK : win::DRAGDROP_S_DROP;
  }
  win::HRESULT GiveFeedback(win::DWORD) override { return win::DRAGDROP_S_USEDEFAULTCURSORS; }
};

TEST(DataObjectTest, KeepsFormatsInOrderReplacesInPlaceAndAnswersCopies) {
  win::IDataObject* object = nullptr;
  ASSERT_EQ(win::CreateDataObject(&object), win::S_OK);
  ASSERT_EQ(Put(object, win::CF_HDROP, "first"), win::S_OK);
  ASSERT_EQ(Put(object, 0xC123, "kept as a copy", false), win::S_OK);
  ASSERT_EQ(Put(object, win::CF_HDROP, "second"), win::S_OK);

  std::vector<win::UINT> formats;
  ASSERT_EQ(object->EnumFormats(&formats), win::S_OK);
  EXPECT_EQ(formats, (std::vector<win::UINT>{win::CF_HDROP, 0xC123}));
  std::string bytes;
  ASSERT_TRUE(win::ReadDataBytes(object, win::CF_HDROP, &bytes));
  EXPECT_EQ(bytes, "second");
  ASSERT_TRUE(win::ReadDataBytes(object, 0xC123, &bytes));
  EXPECT_EQ(bytes, "kept as a copy");

  // What GetData answers is the caller's: freeing it leaves the object's data alone.
  win::FORMATETC asked;
  asked.cfFormat = win::CF_HDROP;
  win::STGMEDIUM medium;
  ASSERT_EQ(object->GetData(&asked, &medium), win::S_OK);
  win::ReleaseStgMedium(&medium);
  EXPECT_EQ(medium.hGlobal, nullptr);
  ASSERT_TRUE(win::ReadDataBytes(object, win::CF_HDROP, &bytes));
  EXPECT_EQ(bytes, "second");

  asked.cfFormat = 2;
  EXPECT_EQ(object->QueryGetData(&asked), win::DV_E_FORMATETC);
  EXPECT_FALSE(win::ReadDataBytes(object, 2, &bytes));
  EXPECT_TRUE(bytes.empty());
  asked.cfFormat = win::CF_HDROP;
  asked.tymed = 4;
  EXPECT_EQ(object->QueryGetData(&asked), win::DV_E_TYMED);
  asked.tymed = win::TYMED_HGLOBAL;
  asked.dwAspect = 4;
  EXPECT_EQ(object->GetData(&asked, &medium), win::DV_E_DVASPECT);
  EXPECT_EQ(object->GetData(&asked, nullptr), win::E_INVALIDARG);
  EXPECT_EQ(Put(object, 0, "no format"), win::E_INVALIDARG);
  EXPECT_EQ(object->Release(), 0u);
}

TEST(DropTargetRegistrationTest, HoldsAReferenceUntilRevokedOrTheWindowDies) {
  Counted target;
  win::HWND window = win::CreateMessageWindow();
  EXPECT_EQ(win::RegisterDragDrop(window, nullptr), win::E_INVALIDARG);
  ASSERT_EQ(win::RegisterDragDrop(window, &target), win::S_OK);
  EXPECT_EQ(target.refs, 2);
  EXPECT_EQ(win::RegisterDragDrop(window, &target), win::DRAGDROP_E_ALREADYREGISTERED);
  EXPECT_EQ(win::RegisteredDropTarget(window), &target);
  EXPECT_EQ(win::RevokeDragDrop(window), win::S_OK);
  EXPECT_EQ(target.refs, 1);
  EXPECT_EQ(win::RevokeDragDrop(window), win::DRAGDROP_E_NOTREGISTERED);
  EXPECT_EQ(win::RegisteredDropTarget(window), nullptr);

  ASSERT_EQ(win::RegisterDragDrop(window, &target), win::S_OK);
  win::DestroyWindow(window);
  EXPECT_EQ(target.refs, 1);
  EXPECT_EQ(win::RegisteredDropTarget(window), nullptr);
  EXPECT_EQ(win::RegisterDragDrop(window, &target), win::DRAGDROP_E_INVALIDHWND);
}

TEST(DoDragDropTest, GoesThroughTheHostOneDragAtATime) {
  win::IDataObject* data = nullptr;
  win::CreateDataObject(&data);
  Source source;
  win::DWORD effect = 99;
  // Headless: nothing to drag with, so the drag is cancelled.
  EXPECT_EQ(win::DoDragDrop(data, &source, win::DROPEFFECT_COPY, &effect), win::DRAGDROP_S_CANCEL);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  EXPECT_EQ(win::DoDragDrop(nullptr, &source, win::DROPEFFECT_COPY, &effect), win::E_INVALIDARG);

  Counted target;
  win::HRESULT nested = win::S_OK;
  win::SetDragDropHost([&](win::IDataObject* d, win::IDropSource* s, win::DWORD ok,
                           win::DWORD* out) -> win::HRESULT {
    EXPECT_TRUE(win::DragDropActive());
    win::DWORD inner = 0;
    nested = win::DoDragDrop(d, s, ok, &inner);
    if (s->QueryContinueDrag(win::FALSE, 0) != win::DRAGDROP_S_DROP) return win::DRAGDROP_S_CANCEL;
    *out = ok;
    target.DragEnter(d, 0, {}, out);
    return target.Drop(d, 0, {}, out) == win::S_OK ? win::DRAGDROP_S_DROP : win::DRAGDROP_S_CANCEL;
  });
  EXPECT_EQ(win::DoDragDrop(data, &source, win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE, &effect),
            win::DRAGDROP_S_DROP);
  EXPECT_EQ(effect, win::DROPEFFECT_MOVE);
  EXPECT_EQ(nested, win::E_UNEXPECTED);
  EXPECT_FALSE(win::DragDropActive());

  // A host that cancels but leaves an effect behind still answers no effect.
  win::SetDragDropHost(
      [](win::IDataObject*, win::IDropSource*, win::DWORD, win::DWORD* out) -> win::HRESULT {
        *out = win::DROPEFFECT_COPY;
        return win::DRAGDROP_S_CANCEL;
      });
  EXPECT_EQ(win::DoDragDrop(data, &source, win::DROPEFFECT_COPY, &effect), win::DRAGDROP_S_CANCEL);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  win::SetDragDropHost({});
  data->Release();
}

TEST(FileDropTest, RoundTripsPathsAndRefusesMalformedBlocks) {
  const std::vector<std::string> paths = {"C:\\a b", "D:\\\xD5\xD5\xC6\xAC"};
  win::HGLOBAL drop = win::CreateFileDropData(paths);
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(win::FileDropPaths(drop), paths);
  EXPECT_EQ(win::DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 2u);
  char cut[4];
  EXPECT_EQ(win::DragQueryFileA(drop, 0, cut, sizeof cut), 6u);
  EXPECT_STREQ(cut, "C:\\");
  EXPECT_EQ(win::DragQueryFileA(drop, 2, cut, sizeof cut), 0u);
  win::GlobalFree(drop);
  EXPECT_EQ(win::CreateFileDropData({"C:\\ok", ""}), nullptr);

  win::DROPFILES header{};
  header.pFiles = sizeof header;
  auto block = [&](const std::string& tail) {
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    return Bytes(bytes + tail);
  };
  const std::vector<std::pair<const char*, std::string>> malformed = {
      {"no closing empty entry", std::string("C:\\a\0", 5)},
      {"an unended path", "C:\\a"},
      {"nothing after the header", ""},
  };
  for (const auto& [why, tail] : malformed) {
    win::HGLOBAL bad = block(tail);
    EXPECT_TRUE(win::FileDropPaths(bad).empty()) << why;
    win::GlobalFree(bad);
  }
  header.pFiles = 4;  // inside the header
  win::HGLOBAL bad = block(std::string("C:\\a\0\0", 6));
  EXPECT_TRUE(win::FileDropPaths(bad).empty());
  win::GlobalFree(bad);

  // A wide list, as other writers of the format make it.
  header.pFiles = sizeof header;
  header.fWide = win::TRUE;
  const std::u16string wide(u"C:\\照片\0E:\\x\0\0", 12);
  win::HGLOBAL wideDrop = block(
      std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(char16_t)));
  EXPECT_EQ(win::FileDropPaths(wideDrop),
            (std::vector<std::string>{"C:\\\xD5\xD5\xC6\xAC", "E:\\x"}));
  win::GlobalFree(wideDrop);
}

TEST(TrackPopupMenuTest, ReturnsTheChoiceOrSendsItToTheOwner) {
  win::HMENU menu = win::CreatePopupMenu();
  win::AppendMenuA(menu, win::MF_STRING, 1017, "x");
  win::HWND owner = win::CreateMessageWindow();
  std::vector<win::WPARAM> commands;
  win::SetWindowProc(owner, [&](win::HWND, win::UINT m, win::WPARAM wp, win::LPARAM) {
    if (m == win::WM_COMMAND) commands.push_back(wp);
    return win::LRESULT(0);
  });
  EXPECT_EQ(win::TrackPopupMenu(menu, win::TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0u);

  win::UINT answer = 1017;
  win::SetMenuTrackHost([&](win::HMENU shown, win::UINT, int x, int y, win::HWND w) {
    EXPECT_EQ(shown, menu);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_EQ(w, owner);
    return answer;
  });
  EXPECT_EQ(win::TrackPopupMenu(menu, win::TPM_RETURNCMD, 5, 6, 0, owner, nullptr), 1017u);
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(win::TrackPopupMenu(menu, 0, 5, 6, 0, owner, nullptr), win::UINT_PTR(win::TRUE));
  EXPECT_EQ(commands, (std::vector<win::WPARAM>{1017}));
  answer = 0;
  EXPECT_EQ(win::TrackPopupMenu(menu, 0, 5, 6, 0, owner, nullptr), win::UINT_PTR(win::FALSE));
  EXPECT_EQ(commands.size(), 1u);
  win::SetMenuTrackHost({});

  win::DestroyMenu(menu);
  EXPECT_EQ(win::TrackPopupMenu(menu, win::TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0u);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  win::SetWindowProc(owner, nullptr);
  win::DestroyWindow(owner);
}

}  // namespace
