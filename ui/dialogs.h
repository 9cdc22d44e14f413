// The picture file dialogs: Qt's own file dialog (not the desktop's, so our picture panel can
// sit beside the file list) showing host folders and answering Windows paths.
#pragma once

#include <QWidget>
#include <memory>

#include "imaging/image_view.h"
#include "ui/component.h"

class QFileDialog;
class QLabel;
class QPushButton;
class PaintBuffer;

enum TOpenOption : unsigned {
  ofReadOnly = 1u << 0,
  ofOverwritePrompt = 1u << 1,
  ofHideReadOnly = 1u << 2,
  ofEnableSizing = 1u << 3,
};
using TOpenOptions = unsigned;

// A widget showing a picture through a TImageView; "(None)" while the picture is empty.
class PictureArea : public QWidget, private ImageViewHost {
 public:
  explicit PictureArea(QWidget* parent = nullptr);
  ~PictureArea() override;
  TImageView& View() { return view_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintNow();
  int Left() const override { return 0; }
  int Top() const override { return 0; }
  int ClientWidth() const override { return width(); }
  int ClientHeight() const override { return height(); }
  void SetBounds(int, int, int, int) override {}
  void Invalidate() override { update(); }
  void Repaint() override { repaint(); }
  void SetOpaque(bool) override {}
  bool PaletteChanged() override { return false; }

  TImageView view_;
  std::unique_ptr<PaintBuffer> buffer_;
};

// The panel beside the file list: the size label, the preview button and the picture.
class PicturePanel : public QWidget {
 public:
  explicit PicturePanel(QWidget* parent = nullptr);
  // The selected file changed (a Windows path, "" for none): an existing file is loaded;
  // anything that cannot be shown leaves the panel empty.
  void SelectFile(const AnsiString& windowsPath);
  TPicture& Picture() { return area_->View().Picture(); }
  QString LabelText() const;
  bool PreviewEnabled() const;
  QPushButton& PreviewButton() { return *previewButton_; }
  // The modal preview window over a copy of the picture.
  void ShowPreview();

 private:
  void Refresh();
  QLabel* label_;
  QPushButton* previewButton_;
  PictureArea* area_;
};

// The preview window's client size: the picture plus 10 pixels, at most three quarters of
// the monitor in each direction.
QSize PreviewClientSize(int pictureWidth, int pictureHeight, int monitorWidth, int monitorHeight);

class TOpenPictureDialog : public TComponent {
 public:
  explicit TOpenPictureDialog(TComponent* owner);
  ~TOpenPictureDialog() override;
  const char* ClassName() const override { return "TOpenPictureDialog"; }

  // "desc|pattern|desc|pattern...", patterns separated by ";".
  const AnsiString& Filter() const { return filter_; }
  void SetFilter(const AnsiString& value) { filter_ = value; }
  // 1-based entry of the filter shown first.
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int value) { filterIndex_ = value; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions value) { options_ = value; }
  const AnsiString& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const AnsiString& value) { defaultExt_ = value; }
  const AnsiString& InitialDir() const { return initialDir_; }
  // A trailing delimiter is dropped unless it follows a colon ("c:\" stays).
  void SetInitialDir(const AnsiString& value);
  // The chosen path, exactly as the dialog returned it; offered again next time.
  const AnsiString& FileName() const { return fileName_; }
  void SetFileName(const AnsiString& value) { fileName_ = value; }
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& value) { title_ = value; }

  // Runs the dialog modally; true when the user confirmed a file.
  bool Execute();

  // The two halves of Execute, for tests: set a Qt dialog up from the properties (the picture
  // panel included), and take the confirmed dialog's file back as a Windows path.
  void Prepare(QFileDialog& dialog);
  bool TakeResult(const QFileDialog& dialog);
  PicturePanel* Panel() const { return panel_; }

 protected:
  virtual bool ForSaving() const { return false; }

 private:
  AnsiString filter_;
  int filterIndex_ = 1;
  TOpenOptions options_ = ofHideReadOnly | ofEnableSizing;
  AnsiString defaultExt_;
  AnsiString initialDir_;
  AnsiString fileName_;
  AnsiString title_;
  PicturePanel* panel_ = nullptr;  // lives with the Qt dialog being shown
};

class TSavePictureDialog : public TOpenPictureDialog {
 public:
  explicit TSavePictureDialog(TComponent* owner) : TOpenPictureDialog(owner) {}
  const char* ClassName() const override { return "TSavePictureDialog"; }

 protected:
  bool ForSaving() const override { return true; }
};

// The Qt name filters for a filter text: one per "description|patterns" pair, the patterns
// in the trailing brackets separated by spaces, as Qt reads them.
QStringList QtNameFilters(const AnsiString& filter);
