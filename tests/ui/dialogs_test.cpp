#include "ui/dialogs.h"

#include <QFileDialog>
#include <QPushButton>
#include <memory>

#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/jpeg_image.h"
#include "tests/support/scratch_folder.h"
#include "ui/bridge.h"
#include "ui_test_support.h"

namespace {

using test_support::ScratchFolder;

class DialogsTest : public uitest::UiTest {
 protected:
  void WriteJpeg(const char* name, int w, int h) {
    TBitmap bitmap;
    bitmap.SetWidth(w);
    bitmap.SetHeight(h);
    bitmap.Canvas().Brush().SetColor(clRed);
    bitmap.Canvas().FillRect({0, 0, w, h});
    TJPEGImage jpeg;
    jpeg.CopyFrom(&bitmap);
    jpeg.WriteToFile(folder_.Win(name));
  }
  ScratchFolder folder_{"dialogs"};
};

TEST_F(DialogsTest, SaveDialogDefaultsListEveryPictureFormatWithAllFirst) {
  TSavePictureDialog dialog(nullptr);
  EXPECT_EQ(dialog.Filter(),
            "All (*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf|"
            "JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp|"
            "Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
  EXPECT_EQ(dialog.FilterIndex(), 1);
  EXPECT_EQ(dialog.Options(), TOpenOptions(ofHideReadOnly | ofEnableSizing));
  EXPECT_EQ(dialog.DefaultExt(), "");

  QFileDialog qt;
  dialog.Prepare(qt);
  EXPECT_TRUE(qt.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_TRUE(qt.testOption(QFileDialog::DontConfirmOverwrite)) << "no overwrite question";
  EXPECT_EQ(qt.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(qt.defaultSuffix(), QString());
  EXPECT_TRUE(qt.isSizeGripEnabled());
  ASSERT_EQ(qt.nameFilters().size(), 7);
  EXPECT_EQ(qt.selectedNameFilter(), "All (*.jpg *.jpeg *.bmp *.ico *.emf *.wmf)");
  EXPECT_EQ(qt.nameFilters()[3], "Bitmaps (*.bmp)");
  ASSERT_NE(dialog.Panel(), nullptr);
  EXPECT_EQ(dialog.Panel()->LabelText(), "Picture:");
  EXPECT_FALSE(dialog.Panel()->PreviewEnabled());
  EXPECT_EQ(dialog.Panel()->PreviewButton().toolTip(), "Preview");
}

TEST_F(DialogsTest, InitialFolderDropsATrailingDelimiterUnlessItFollowsAColon) {
  const struct {
    const char* given;
    const char* kept;
  } cases[] = {
      {"c:", "c:"},           {"c:\\", "c:\\"}, {"c:\\tmp\\", "c:\\tmp"},
      {"c:\\tmp", "c:\\tmp"}, {"\\", "\\"},     {"", ""},
  };
  for (const auto& c : cases) {
    TSavePictureDialog dialog(nullptr);
    dialog.SetInitialDir(c.given);
    EXPECT_EQ(dialog.InitialDir(), c.kept) << c.given;
  }
  // "c:" is the root of drive C, the host's root.
  TSavePictureDialog dialog(nullptr);
  dialog.SetInitialDir("c:");
  QFileDialog qt;
  dialog.Prepare(qt);
  EXPECT_EQ(qt.directory().absolutePath(), "/");
}

TEST_F(DialogsTest, TheChosenPathIsReturnedExactlyAndOfferedAgain) {
  folder_.Write("old.jpg", "x");
  const char* names[] = {"noextension", "out.png", "old.jpg"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    TSavePictureDialog dialog(nullptr);
    dialog.SetInitialDir("c:");
    QFileDialog qt;
    dialog.Prepare(qt);
    qt.setDirectory(QString::fromStdString(folder_.Host()));
    qt.selectFile(QString::fromStdString(folder_.HostOf(name)));
    ASSERT_TRUE(dialog.TakeResult(qt));
    EXPECT_EQ(dialog.FileName(), folder_.Win(name)) << "no extension added";

    QFileDialog again;
    dialog.Prepare(again);
    ASSERT_FALSE(again.selectedFiles().isEmpty());
    EXPECT_EQ(again.selectedFiles().front().toStdString(), folder_.HostOf(name));
  }
}

TEST_F(DialogsTest, PanelShowsTheSelectedPictureOrTheEmptyState) {
  WriteJpeg("photo.jpg", 64, 48);
  folder_.Write("broken.jpg", "not a jpeg at all");
  folder_.Write("notes.txt", "text");
  const struct {
    const char* name;  // "" for no selection
    const char* label;
    bool preview;
  } cases[] = {
      {"photo.jpg", " (64x48)", true},  {"broken.jpg", "Picture:", false},
      {"notes.txt", "Picture:", false}, {"missing.jpg", "Picture:", false},
      {"photo.jpg", " (64x48)", true},  {"", "Picture:", false},
  };
  PicturePanel panel;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    panel.SelectFile(*c.name ? folder_.Win(c.name) : AnsiString());
    EXPECT_EQ(panel.LabelText().toStdString(), c.label);
    EXPECT_EQ(panel.PreviewEnabled(), c.preview);
    EXPECT_EQ(panel.Picture().Graphic() != nullptr, c.preview);
  }
  EXPECT_TRUE(boxes_.empty()) << "a file that does not decode shows no message";
}

TEST_F(DialogsTest, PreviewWindowIsThePicturePlusTenWithinThreeQuartersOfTheMonitor) {
  const struct {
    int w, h, mw, mh, cw, ch;
  } cases[] = {
      {64, 48, 1280, 800, 74, 58},      {2000, 100, 1280, 800, 960, 110},
      {100, 3000, 1280, 800, 110, 600}, {950, 590, 1280, 800, 960, 600},
      {951, 591, 1280, 800, 960, 600},
  };
  for (const auto& c : cases) {
    const QSize size = PreviewClientSize(c.w, c.h, c.mw, c.mh);
    EXPECT_EQ(size, QSize(c.cw, c.ch)) << c.w << "x" << c.h;
  }
}

}  // namespace
