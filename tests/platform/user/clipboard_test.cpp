#include "platform/user/clipboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/metafile.h"
#include "platform/user/window.h"

namespace {

using namespace win;

// The smallest enhanced metafile: its header and the end-of-file record.
std::vector<BYTE> TinyEmf() {
  std::vector<BYTE> bytes(sizeof(ENHMETAHEADER) + 20, 0);
  ENHMETAHEADER header{};
  header.iType = EMR_HEADER;
  header.nSize = sizeof header;
  header.dSignature = ENHMETA_SIGNATURE;
  header.nVersion = 0x10000;
  header.nBytes = DWORD(bytes.size());
  header.nRecords = 2;
  std::memcpy(bytes.data(), &header, sizeof header);
  const DWORD eof[5] = {14, 20, 0, 0x10, 20};
  std::memcpy(bytes.data() + sizeof header, eof, sizeof eof);
  return bytes;
}

HENHMETAFILE NewEmf() {
  const std::vector<BYTE> bytes = TinyEmf();
  return SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
}

HGLOBAL NewText(const std::string& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
  GlobalUnlock(memory);
  return memory;
}

std::vector<UINT> Listed() {
  std::vector<UINT> formats;
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) formats.push_back(f);
  return formats;
}

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClipboardBackend(nullptr);
    window_ = CreateMessageWindow();
    other_ = CreateMessageWindow();
  }
  void TearDown() override {
    while (GetOpenClipboardWindow() != nullptr) CloseClipboard();
    SetClipboardBackend(nullptr);
    DestroyWindow(window_);
    DestroyWindow(other_);
  }
  HWND window_ = nullptr;
  HWND other_ = nullptr;
};

TEST_F(ClipboardTest, OneWindowAtATimeHoldsTheClipboard) {
  ASSERT_TRUE(OpenClipboard(window_));
  EXPECT_EQ(GetOpenClipboardWindow(), window_);
  EXPECT_FALSE(OpenClipboard(other_));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(OpenClipboard(window_)) << "the holder may open it again";
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
  EXPECT_FALSE(CloseClipboard());
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  EXPECT_TRUE(OpenClipboard(other_));
}

TEST_F(ClipboardTest, DestroyedWindowCannotOpen) {
  HWND gone = CreateMessageWindow();
  ASSERT_TRUE(DestroyWindow(gone));
  EXPECT_FALSE(IsWindow(gone));
  EXPECT_FALSE(OpenClipboard(gone));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(DestroyWindow(gone));
}

TEST_F(ClipboardTest, DataCallsNeedTheClipboardOpen) {
  HGLOBAL text = NewText("x");
  EXPECT_EQ(SetClipboardData(CF_TEXT, text), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
  EXPECT_EQ(EnumClipboardFormats(0), 0u);
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  // A refused handle stays the caller's.
  EXPECT_EQ(GlobalFree(text), nullptr);
}

TEST_F(ClipboardTest, FormatsEnumerateInTheOrderSetAndReplaceInPlace) {
  ASSERT_TRUE(OpenClipboard(window_));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(GetClipboardOwner(), window_);
  HENHMETAFILE first = NewEmf();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, first), first);
  HGLOBAL text = NewText("abc");
  EXPECT_EQ(SetClipboardData(CF_TEXT, text), text);
  HENHMETAFILE second = NewEmf();
  EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, second), second);
  EXPECT_EQ(Listed(), (std::vector<UINT>{CF_ENHMETAFILE, CF_TEXT}));
  EXPECT_EQ(GetClipboardData(CF_ENHMETAFILE), second);
  EXPECT_EQ(GetClipboardData(CF_BITMAP), nullptr);
  EXPECT_FALSE(DeleteEnhMetaFile(first)) << "the replaced handle was freed by the clipboard";
  ASSERT_TRUE(CloseClipboard());

  // Availability and count are answered with the clipboard closed.
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
  EXPECT_EQ(CountClipboardFormats(), 2);

  ASSERT_TRUE(OpenClipboard(other_));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(CountClipboardFormats(), 0);
  EXPECT_FALSE(DeleteEnhMetaFile(second)) << "emptying freed it";
  EXPECT_EQ(EnumClipboardFormats(0), 0u);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
}

TEST_F(ClipboardTest, EmptyingFreesTheMetafileOfAMetafilePicture) {
  // The smallest Windows metafile: its 18-byte header and the end record.
  const BYTE wmf[24] = {1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0};
  HMETAFILE metafile = SetMetaFileBitsEx(sizeof wmf, wmf);
  ASSERT_NE(metafile, nullptr);
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(METAFILEPICT));
  *static_cast<METAFILEPICT*>(GlobalLock(memory)) = {MM_ANISOTROPIC, 100, 100, metafile};
  GlobalUnlock(memory);
  ASSERT_TRUE(OpenClipboard(window_));
  EmptyClipboard();
  ASSERT_EQ(SetClipboardData(CF_METAFILEPICT, memory), memory);
  EmptyClipboard();
  EXPECT_FALSE(DeleteMetaFile(metafile));
}

TEST_F(ClipboardTest, BackendSeesOpenPeriodsAndChanges) {
  struct Recorder : InProcessClipboard {
    std::vector<std::string>* log;
    void Opened() override { log->push_back("open"); }
    void Closed(bool changed) override { log->push_back(changed ? "close changed" : "close"); }
  };
  std::vector<std::string> log;
  auto recorder = std::make_unique<Recorder>();
  recorder->log = &log;
  SetClipboardBackend(std::move(recorder));
  OpenClipboard(window_);
  GetClipboardData(CF_TEXT);
  CloseClipboard();
  OpenClipboard(window_);
  SetClipboardData(CF_TEXT, NewText("t"));
  CloseClipboard();
  EXPECT_EQ(log, (std::vector<std::string>{"open", "close", "open", "close changed"}));
}

}  // namespace
