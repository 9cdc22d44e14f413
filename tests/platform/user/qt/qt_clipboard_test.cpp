// The system clipboard through Qt, as another program and this one see it.
#include "platform/user/qt/qt_clipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <memory>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/clipboard.h"
#include "imaging/picture.h"
#include "platform/user/clipboard.h"
#include "runtime/exceptions.h"

namespace {

// Each pixel's colour encodes its coordinates, so a misplaced pixel shows.
QRgb CodedColor(int x, int y) {
  return qRgb(40 * x + 10, 50 * y + 20, 7 * (x + y) + 3);
}
TColor ToTColor(QRgb c) {
  return TColor(qRed(c)) | (TColor(qGreen(c)) << 8) | (TColor(qBlue(c)) << 16);
}

QImage CodedImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.setPixel(x, y, CodedColor(x, y));
  return image;
}

std::vector<win::UINT> ListedFormats() {
  std::vector<win::UINT> formats;
  EXPECT_TRUE(win::OpenClipboard(nullptr));
  for (win::UINT f = win::EnumClipboardFormats(0); f != 0; f = win::EnumClipboardFormats(f))
    formats.push_back(f);
  win::CloseClipboard();
  return formats;
}

class QtClipboardTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "platform_user_qt_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QGuiApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    win::RemoveQtClipboard();
    delete app_;
    app_ = nullptr;
  }
  void SetUp() override {
    QGuiApplication::clipboard()->clear();
    win::InstallQtClipboard();
  }
  void TearDown() override { win::RemoveQtClipboard(); }

  static QGuiApplication* app_;
};

QGuiApplication* QtClipboardTest::app_ = nullptr;

TEST_F(QtClipboardTest, ImageFromAnotherProgramPastesAsBitmap) {
  QGuiApplication::clipboard()->setImage(CodedImage(5, 3));
  EXPECT_EQ(ListedFormats(), (std::vector<win::UINT>{win::CF_BITMAP, win::CF_DIB}));

  TPicture picture;
  picture.CopyFrom(&Clipboard());
  auto* bitmap = dynamic_cast<TBitmap*>(picture.Graphic());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 5);
  ASSERT_EQ(bitmap->Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(bitmap->Canvas().Pixels(x, y), ToTColor(CodedColor(x, y))) << x << "," << y;
}

TEST_F(QtClipboardTest, ImageIsAlsoOfferedAsPackedDib) {
  QGuiApplication::clipboard()->setImage(CodedImage(3, 2));
  ASSERT_TRUE(win::OpenClipboard(nullptr));
  win::HANDLE dib = win::GetClipboardData(win::CF_DIB);
  ASSERT_NE(dib, nullptr);
  const auto* header = static_cast<const win::BITMAPINFOHEADER*>(win::GlobalLock(dib));
  EXPECT_EQ(header->biWidth, 3);
  EXPECT_EQ(header->biHeight, 2) << "bottom-up";
  EXPECT_EQ(header->biBitCount, 32);
  const auto* rows = reinterpret_cast<const std::uint8_t*>(header + 1);
  // The first stored row is the bottom one; pixels are B, G, R, x.
  const QRgb bottomLeft = CodedColor(0, 1);
  EXPECT_EQ(rows[0], qBlue(bottomLeft));
  EXPECT_EQ(rows[1], qGreen(bottomLeft));
  EXPECT_EQ(rows[2], qRed(bottomLeft));
  win::GlobalUnlock(dib);
  win::CloseClipboard();
}

TEST_F(QtClipboardTest, IndexedImageBringsItsPalette) {
  QImage image(2, 2, QImage::Format_Indexed8);
  image.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
  image.fill(1);
  image.setPixel(0, 0, 0);
  QGuiApplication::clipboard()->setImage(image);
  EXPECT_EQ(ListedFormats(),
            (std::vector<win::UINT>{win::CF_BITMAP, win::CF_DIB, win::CF_PALETTE}));

  TBitmap bitmap;
  bitmap.CopyFrom(&Clipboard());
  EXPECT_NE(bitmap.Palette(), nullptr);
  EXPECT_EQ(bitmap.Canvas().Pixels(0, 0), TColor(0x0000FF));
  EXPECT_EQ(bitmap.Canvas().Pixels(1, 1), TColor(0xFF0000));
}

TEST_F(QtClipboardTest, TranslucentPixelsLieOverWhite) {
  QImage image(1, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(0, 0, 0, 0));
  QGuiApplication::clipboard()->setImage(image);
  TBitmap bitmap;
  bitmap.CopyFrom(&Clipboard());
  EXPECT_EQ(bitmap.Canvas().Pixels(0, 0), TColor(0xFFFFFF));
}

TEST_F(QtClipboardTest, BitmapRoundTripsThroughTheSystemClipboard) {
  TBitmap source;
  source.SetWidth(4);
  source.SetHeight(3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) source.Canvas().SetPixels(x, y, ToTColor(CodedColor(x, y)));
  Clipboard().CopyFrom(&source);

  // Other programs see an image.
  const QImage offered = QGuiApplication::clipboard()->image();
  ASSERT_EQ(offered.size(), QSize(4, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(offered.pixel(x, y) & 0xFFFFFF, CodedColor(x, y) & 0xFFFFFF) << x << "," << y;

  // A fresh backend knows nothing of what was put there: it reads the system clipboard.
  win::InstallQtClipboard();
  EXPECT_EQ(ListedFormats(), (std::vector<win::UINT>{win::CF_BITMAP, win::CF_DIB}));
  TPicture picture;
  picture.CopyFrom(&Clipboard());
  auto* pasted = dynamic_cast<TBitmap*>(picture.Graphic());
  ASSERT_NE(pasted, nullptr);
  ASSERT_EQ(pasted->Width(), 4);
  ASSERT_EQ(pasted->Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(pasted->Canvas().Pixels(x, y), source.Canvas().Pixels(x, y)) << x << "," << y;
}

TEST_F(QtClipboardTest, OwnDataIsReadBackAsPut) {
  TBitmap source;
  source.SetWidth(2);
  source.SetHeight(2);
  source.Canvas().SetPixels(1, 0, TColor(0x123456));
  Clipboard().CopyFrom(&source);
  EXPECT_EQ(ListedFormats(), (std::vector<win::UINT>{win::CF_BITMAP}));
  TBitmap back;
  back.CopyFrom(&Clipboard());
  EXPECT_EQ(back.Canvas().Pixels(1, 0), TColor(0x123456));
}

TEST_F(QtClipboardTest, TextCrossesInCodePage936) {
  QGuiApplication::clipboard()->setText(QString::fromUtf8("中文 ok"));
  EXPECT_EQ(ListedFormats(), (std::vector<win::UINT>{win::CF_TEXT}));
  EXPECT_EQ(Clipboard().AsText(), "\xD6\xD0\xCE\xC4 ok");

  Clipboard().SetAsText("\xCB\xF5\xCD\xBC");  // 缩图
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("缩图"));
}

TEST_F(QtClipboardTest, PastingTextOnlyIsAnInvalidFormat) {
  QGuiApplication::clipboard()->setText("just words");
  TPicture picture;
  try {
    picture.CopyFrom(&Clipboard());
    FAIL() << "pasting text made a picture";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Invalid clipboard format");
  }
  EXPECT_EQ(win::GetOpenClipboardWindow(), nullptr);
  EXPECT_EQ(Clipboard().OpenCount(), 0);
}

TEST_F(QtClipboardTest, AnotherProgramsDataReplacesOurs) {
  Clipboard().SetAsText("mine");
  QGuiApplication::clipboard()->setImage(CodedImage(1, 1));
  EXPECT_EQ(ListedFormats(), (std::vector<win::UINT>{win::CF_BITMAP, win::CF_DIB}));
  EXPECT_EQ(Clipboard().AsText(), "");
}

}  // namespace
