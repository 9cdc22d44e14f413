#include "imaging/clipboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/metafile.h"
#include "imaging/picture.h"
#include "platform/gdi/metafile.h"
#include "platform/user/clipboard.h"
#include "platform/user/window.h"
#include "test_graphic.h"

namespace {

std::vector<win::UINT> Listed() {
  std::vector<win::UINT> formats;
  EXPECT_TRUE(win::OpenClipboard(nullptr));
  for (win::UINT f = win::EnumClipboardFormats(0); f != 0; f = win::EnumClipboardFormats(f))
    formats.push_back(f);
  win::CloseClipboard();
  return formats;
}

win::HENHMETAFILE NewEmf(int frameWidth, int frameHeight) {
  std::vector<win::BYTE> bytes(sizeof(win::ENHMETAHEADER) + 20, 0);
  win::ENHMETAHEADER header{};
  header.iType = win::EMR_HEADER;
  header.nSize = sizeof header;
  header.rclFrame = {0, 0, frameWidth, frameHeight};
  header.dSignature = win::ENHMETA_SIGNATURE;
  header.nBytes = win::DWORD(bytes.size());
  header.nRecords = 2;
  header.szlDevice = {1000, 1000};
  header.szlMillimeters = {250, 250};  // 4 pixels per millimetre
  std::memcpy(bytes.data(), &header, sizeof header);
  const win::DWORD eof[5] = {14, 20, 0, 0x10, 20};
  std::memcpy(bytes.data() + sizeof header, eof, sizeof eof);
  return win::SetEnhMetaFileBits(win::UINT(bytes.size()), bytes.data());
}

// Puts handles on the clipboard in the given order, as another program might.
void Offer(const std::vector<std::pair<win::UINT, win::HANDLE>>& data) {
  ASSERT_TRUE(win::OpenClipboard(nullptr));
  win::EmptyClipboard();
  for (const auto& [format, handle] : data) win::SetClipboardData(format, handle);
  win::CloseClipboard();
}

win::HGLOBAL Text(const char* text) {
  win::HGLOBAL memory = win::GlobalAlloc(win::GMEM_MOVEABLE, std::strlen(text) + 1);
  std::memcpy(win::GlobalLock(memory), text, std::strlen(text) + 1);
  win::GlobalUnlock(memory);
  return memory;
}

win::HGLOBAL TestData(int w, int h, int tag) {
  std::uint16_t format = 0;
  win::HANDLE data = nullptr;
  win::HPALETTE palette = nullptr;
  MakeTestGraphic(w, h, tag)->WriteToClipboard(format, data, palette);
  return data;
}

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::SetClipboardBackend(nullptr);
    win::SetApplicationWindow(nullptr);
    TPicture::RegisterClipboardFormat(kTestClipboardFormat, TTestGraphic::StaticClass());
  }
  void TearDown() override {
    while (Clipboard().OpenCount() > 0) Clipboard().Close();
    while (win::CloseClipboard()) {
    }
    TPicture::UnregisterGraphicClass(TTestGraphic::StaticClass());
    win::SetApplicationWindow(nullptr);
    win::SetClipboardBackend(nullptr);
  }

  // The message text of what fn raises ("" when nothing).
  template <typename Fn>
  static AnsiString Failure(Fn fn) {
    try {
      fn();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "";
  }
};

TEST_F(ClipboardTest, NestedOpenKeepsTheSystemClipboardOpenUntilTheOutermostClose) {
  TClipboard& clipboard = Clipboard();
  clipboard.Open();
  win::HWND owner = win::GetOpenClipboardWindow();
  EXPECT_NE(owner, nullptr) << "a private window opens it";
  clipboard.Open();
  clipboard.Close();
  EXPECT_EQ(win::GetOpenClipboardWindow(), owner);
  EXPECT_EQ(clipboard.OpenCount(), 1);
  clipboard.Close();
  EXPECT_EQ(win::GetOpenClipboardWindow(), nullptr);
  EXPECT_FALSE(win::IsWindow(owner)) << "the private window goes with the period";
  clipboard.Close();
  EXPECT_EQ(clipboard.OpenCount(), 0);
}

TEST_F(ClipboardTest, TheApplicationWindowOwnsTheClipboardWhenThereIsOne) {
  win::HWND application = win::CreateMessageWindow();
  win::SetApplicationWindow(application);
  Clipboard().Open();
  EXPECT_EQ(win::GetOpenClipboardWindow(), application);
  Clipboard().Close();
  EXPECT_TRUE(win::IsWindow(application));
  win::DestroyWindow(application);
}

TEST_F(ClipboardTest, HeldByAnotherWindowItCannotBeOpened) {
  win::HWND other = win::CreateMessageWindow();
  ASSERT_TRUE(win::OpenClipboard(other));
  EXPECT_EQ(Failure([] { Clipboard().Open(); }), "Cannot open clipboard");
  EXPECT_EQ(Clipboard().OpenCount(), 0);
  TPicture picture;
  EXPECT_EQ(Failure([&] { picture.CopyFrom(&Clipboard()); }), "Cannot open clipboard");
  EXPECT_EQ(win::GetOpenClipboardWindow(), other);
  win::CloseClipboard();
  win::DestroyWindow(other);
}

TEST_F(ClipboardTest, PuttingDataEmptiesOnlyOncePerOpenPeriod) {
  auto graphic = MakeTestGraphic(2, 3, 4);
  Clipboard().Open();
  Clipboard().SetAsText("words");
  Clipboard().CopyFrom(graphic.get());
  Clipboard().Close();
  EXPECT_EQ(Listed(), (std::vector<win::UINT>{win::CF_TEXT, kTestClipboardFormat}));

  Clipboard().CopyFrom(graphic.get());
  EXPECT_EQ(Listed(), (std::vector<win::UINT>{kTestClipboardFormat}));
  EXPECT_EQ(Clipboard().AsText(), "");
}

TEST_F(ClipboardTest, PastingTextOnlyIsAnInvalidFormat) {
  Clipboard().SetAsText("only text");
  TPicture picture;
  picture.SetGraphic(MakeTestGraphic(5, 5, 5).get());
  TGraphic* before = picture.Graphic();
  EXPECT_EQ(Failure([&] { picture.CopyFrom(&Clipboard()); }), "Invalid clipboard format");
  EXPECT_EQ(picture.Graphic(), before);
  EXPECT_EQ(win::GetOpenClipboardWindow(), nullptr) << "closed on the failure path";
  EXPECT_EQ(Clipboard().OpenCount(), 0);
}

TEST_F(ClipboardTest, TheFirstSupportedFormatInTheClipboardsOrderWins) {
  Offer({{win::CF_TEXT, Text("first")},
         {win::CF_ENHMETAFILE, NewEmf(5000, 2500)},
         {kTestClipboardFormat, TestData(7, 7, 7)}});
  TPicture picture;
  picture.CopyFrom(&Clipboard());
  auto* metafile = dynamic_cast<TMetafile*>(picture.Graphic());
  ASSERT_NE(metafile, nullptr);
  EXPECT_EQ(picture.Width(), 200) << "50 mm at 4 pixels per millimetre";
  EXPECT_EQ(picture.Height(), 100);

  Offer({{kTestClipboardFormat, TestData(7, 8, 9)}, {win::CF_ENHMETAFILE, NewEmf(100, 100)}});
  picture.CopyFrom(&Clipboard());
  auto* test = dynamic_cast<TTestGraphic*>(picture.Graphic());
  ASSERT_NE(test, nullptr);
  EXPECT_EQ(test->Tag(), 9);
  EXPECT_EQ(Clipboard().OpenCount(), 0);
}

TEST_F(ClipboardTest, AGraphicThatCannotReadTheDataLeavesThePictureAndClosesTheClipboard) {
  // Too short to be test data.
  Offer({{kTestClipboardFormat, win::GlobalAlloc(win::GMEM_MOVEABLE, 2)}});
  TPicture picture;
  EXPECT_EQ(Failure([&] { picture.CopyFrom(&Clipboard()); }), "Unsupported clipboard format");
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_EQ(win::GetOpenClipboardWindow(), nullptr);
}

TEST_F(ClipboardTest, AMetafilePasteNeedsAnEnhancedMetafile) {
  // A Windows metafile picture alone: the metafile class reads only enhanced metafiles.
  const win::BYTE wmf[24] = {1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0,
                             3, 0, 0, 0, 0, 0, 3,  0, 0, 0, 0, 0};
  win::HGLOBAL memory = win::GlobalAlloc(win::GHND, sizeof(win::METAFILEPICT));
  *static_cast<win::METAFILEPICT*>(win::GlobalLock(memory)) = {
      win::MM_ANISOTROPIC, 100, 100, win::SetMetaFileBitsEx(sizeof wmf, wmf)};
  win::GlobalUnlock(memory);
  Offer({{win::CF_METAFILEPICT, memory}});
  TPicture picture;
  EXPECT_EQ(Failure([&] { picture.CopyFrom(&Clipboard()); }), "Unsupported clipboard format");
  TMetafile metafile;
  EXPECT_EQ(Failure([&] { metafile.CopyFrom(&Clipboard()); }), "Unsupported clipboard format");

  Offer({{win::CF_ENHMETAFILE, NewEmf(400, 800)}});
  metafile.CopyFrom(&Clipboard());
  EXPECT_EQ(metafile.MMWidth(), 400);
  EXPECT_EQ(metafile.Height(), 32);
}

TEST_F(ClipboardTest, AMetafileGoesOnAsAnEnhancedMetafile) {
  Offer({{win::CF_ENHMETAFILE, NewEmf(1000, 500)}});
  TMetafile metafile;
  metafile.CopyFrom(&Clipboard());
  Clipboard().CopyFrom(&metafile);
  EXPECT_EQ(Listed(), (std::vector<win::UINT>{win::CF_ENHMETAFILE}));
  TPicture picture;
  picture.CopyFrom(&Clipboard());
  EXPECT_EQ(picture.Width(), 40);
  EXPECT_EQ(picture.Height(), 20);
}

TEST_F(ClipboardTest, OtherDestinationsCannotTakeTheClipboard) {
  TTestGraphic graphic;
  EXPECT_EQ(Failure([&] { Clipboard().CopyTo(&graphic); }),
            "Cannot assign a TClipboard to a TTestGraphic");
  EXPECT_EQ(Failure([&] { Clipboard().CopyFrom(nullptr); }), "Cannot assign a nil to a TClipboard");
}

TEST_F(ClipboardTest, AnEmptyPictureOnlyEmptiesTheClipboard) {
  Clipboard().SetAsText("before");
  TPicture empty;
  Clipboard().CopyFrom(&empty);
  EXPECT_TRUE(Listed().empty());
}

TEST_F(ClipboardTest, ABitmapIsCopiedWithThePalette) {
  win::LOGPALETTE logical{};
  logical.palVersion = 0x300;
  logical.palNumEntries = 2;
  logical.palPalEntry[0] = {0x10, 0x20, 0x30, 0};
  logical.palPalEntry[1] = {0xF0, 0xE0, 0xD0, 0};
  win::HPALETTE palette = win::CreatePalette(&logical);
  win::HDC screen = win::GetDC(nullptr);
  win::HBITMAP bitmap = win::CreateCompatibleBitmap(screen, 6, 4);
  win::ReleaseDC(nullptr, screen);
  Offer({{win::CF_BITMAP, bitmap}, {win::CF_PALETTE, palette}});

  TBitmap pasted;
  pasted.CopyFrom(&Clipboard());
  EXPECT_EQ(pasted.Width(), 6);
  EXPECT_EQ(pasted.Height(), 4);
  win::HPALETTE own = pasted.Palette();
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own, palette) << "the clipboard's handles stay the clipboard's";
  win::PALETTEENTRY entries[2]{};
  ASSERT_EQ(win::GetPaletteEntries(own, 0, 2, entries), 2u);
  EXPECT_EQ(entries[1].peRed, 0xF0);
  EXPECT_EQ(entries[1].peBlue, 0xD0);

  TPicture picture;
  picture.CopyFrom(&Clipboard());
  auto* held = dynamic_cast<TBitmap*>(picture.Graphic());
  ASSERT_NE(held, nullptr);
  EXPECT_NE(held->Palette(), nullptr);
}

TEST_F(ClipboardTest, ABitmapFromTextOnlyIsAnUnsupportedFormat) {
  Clipboard().SetAsText("only text");
  TBitmap bitmap;
  EXPECT_EQ(Failure([&] { bitmap.CopyFrom(&Clipboard()); }), "Unsupported clipboard format");
  EXPECT_EQ(Clipboard().OpenCount(), 0);
}

TEST_F(ClipboardTest, ABitmapPutThereComesBackWithItsPixels) {
  TBitmap source;
  source.SetWidth(3);
  source.SetHeight(2);
  source.Canvas().SetPixels(2, 1, TColor(0x345678));
  Clipboard().CopyFrom(&source);
  EXPECT_EQ(Listed(), (std::vector<win::UINT>{win::CF_BITMAP}));
  TPicture picture;
  picture.CopyFrom(&Clipboard());
  auto* bitmap = dynamic_cast<TBitmap*>(picture.Graphic());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Canvas().Pixels(2, 1), TColor(0x345678));
  EXPECT_EQ(bitmap->Canvas().Pixels(0, 0), TColor(0xFFFFFF));
}

}  // namespace
