#include "ui/dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "imaging/canvas.h"
#include "imaging/colors.h"
#include "imaging/picture.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "ui/bridge.h"
#include "ui/guard.h"
#include "ui/paint_buffer.h"
#include "ui/strings.h"

namespace {

std::optional<QString> HostOf(const AnsiString& windowsPath) {
  std::string full;
  if (win::GetFullPathNameA(windowsPath.c_str(), full) == 0) return std::nullopt;
  std::optional<std::string> host = win::HostPathFromWindows(full);
  if (!host) return std::nullopt;
  return QString::fromStdString(*host);
}

}  // namespace

PictureArea::PictureArea(QWidget* parent) : QWidget(parent), view_(*this) {}

PictureArea::~PictureArea() = default;

void PictureArea::paintEvent(QPaintEvent*) {
  ui::Guard([this] { PaintNow(); });
}

void PictureArea::PaintNow() {
  QPainter painter(this);
  if (!buffer_) buffer_ = std::make_unique<PaintBuffer>();
  if (width() > 0 && height() > 0 && buffer_->Resize(width(), height())) {
    TCanvas& canvas = buffer_->Canvas();
    canvas.Brush().SetColor(clBtnFace);
    canvas.FillRect({0, 0, width(), height()});
    // A graphic that cannot draw itself shows as an empty panel rather than a failure box.
    try {
      view_.Paint(canvas);
    } catch (const Exception&) {
    }
    painter.drawImage(0, 0, buffer_->Image());
  }
  if (view_.Picture().Graphic() == nullptr)
    painter.drawText(rect(), Qt::AlignCenter, QString::fromLatin1(ui::kNoPicture));
}

PicturePanel::PicturePanel(QWidget* parent)
    : QWidget(parent),
      label_(new QLabel(this)),
      previewButton_(new QPushButton(this)),
      area_(new PictureArea(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 0, 0, 0);
  auto* top = new QHBoxLayout;
  top->addWidget(label_, 1);
  previewButton_->setText(QStringLiteral("..."));
  previewButton_->setToolTip(QString::fromLatin1(ui::kPreviewHint));
  previewButton_->setFixedSize(23, 22);
  top->addWidget(previewButton_);
  layout->addLayout(top);
  area_->setMinimumSize(160, 160);
  area_->setAutoFillBackground(false);
  layout->addWidget(area_, 1);
  TImageView& view = area_->View();
  view.SetStretch(true);
  view.SetProportional(true);
  view.SetCenter(true);
  view.SetIncrementalDisplay(true);
  QObject::connect(previewButton_, &QPushButton::clicked, this,
                   [this] { ui::Guard([this] { ShowPreview(); }); });
  Refresh();
}

void PicturePanel::SelectFile(const AnsiString& windowsPath) {
  TPicture& picture = Picture();
  bool loaded = false;
  if (!windowsPath.empty()) {
    std::optional<QString> host = HostOf(windowsPath);
    if (host && QFileInfo(*host).isFile()) {
      try {
        picture.ReadFromFile(windowsPath);
        loaded = true;
      } catch (const Exception&) {
      }
    }
  }
  if (!loaded) picture.SetGraphic(nullptr);
  Refresh();
}

QString PicturePanel::LabelText() const {
  return label_->text();
}

bool PicturePanel::PreviewEnabled() const {
  return previewButton_->isEnabled();
}

void PicturePanel::Refresh() {
  TPicture& picture = area_->View().Picture();
  const bool shown = picture.Graphic() != nullptr && !picture.Graphic()->IsEmpty();
  label_->setText(shown ? ui::ToQString(Format(ui::kPictureSize, picture.Width(), picture.Height()))
                        : QString::fromLatin1(ui::kPictureLabel));
  previewButton_->setEnabled(shown);
  area_->update();
}

QSize PreviewClientSize(int pictureWidth, int pictureHeight, int monitorWidth, int monitorHeight) {
  return {std::min(pictureWidth + 10, monitorWidth * 3 / 4),
          std::min(pictureHeight + 10, monitorHeight * 3 / 4)};
}

void PicturePanel::ShowPreview() {
  TPicture& picture = Picture();
  if (picture.Graphic() == nullptr) return;
  QDialog window(this->window());
  window.setWindowTitle(QString::fromLatin1(ui::kPreviewCaption));
  window.setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* area = new PictureArea(&window);
  area->View().SetStretch(true);
  area->View().SetProportional(true);
  area->View().SetCenter(true);
  area->View().SetPicture(&picture);
  layout->addWidget(area);
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect monitor = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
  const QSize size =
      PreviewClientSize(picture.Width(), picture.Height(), monitor.width(), monitor.height());
  window.resize(size);
  window.move(monitor.center() - QPoint(size.width() / 2, size.height() / 2));
  // Esc closes a QDialog already.
  window.exec();
}

QStringList QtNameFilters(const AnsiString& filter) {
  QStringList parts = ui::ToQString(filter).split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt takes the patterns from the trailing brackets; the description usually has them.
    const qsizetype open = description.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && description.endsWith(QLatin1Char(')')))
      description = description.left(open).trimmed();
    result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return result;
}

TOpenPictureDialog::TOpenPictureDialog(TComponent* owner)
    : TComponent(owner), filter_(FilterText(TGraphic::StaticClass())) {}

TOpenPictureDialog::~TOpenPictureDialog() = default;

void TOpenPictureDialog::SetInitialDir(const AnsiString& value) {
  AnsiString dir = value;
  if (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/') && dir[dir.size() - 2] != ':')
    dir.pop_back();
  initialDir_ = dir;
}

void TOpenPictureDialog::Prepare(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(ForSaving() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(ForSaving() ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (options_ & ofOverwritePrompt) == 0);
  dialog.setSizeGripEnabled((options_ & ofEnableSizing) != 0);
  dialog.setDefaultSuffix(ui::ToQString(defaultExt_));
  if (!title_.empty()) dialog.setWindowTitle(ui::ToQString(title_));
  const QStringList filters = QtNameFilters(filter_);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = filterIndex_ >= 1 && filterIndex_ <= filters.size() ? filterIndex_ : 1;
    dialog.selectNameFilter(filters[index - 1]);
  }
  if (!initialDir_.empty())
    if (std::optional<QString> host = HostOf(initialDir_)) dialog.setDirectory(*host);
  if (!fileName_.empty()) {
    if (std::optional<QString> host = HostOf(fileName_)) {
      dialog.setDirectory(QFileInfo(*host).absolutePath());
      dialog.selectFile(*host);
    }
  }

  panel_ = new PicturePanel(&dialog);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(panel_, 0, grid->columnCount(), grid->rowCount(), 1);
  PicturePanel* panel = panel_;
  QObject::connect(&dialog, &QFileDialog::currentChanged, panel, [panel](const QString& path) {
    ui::Guard([&] {
      std::optional<std::string> windows = win::WindowsPathFromHost(path.toStdString());
      panel->SelectFile(windows ? *windows : AnsiString());
    });
  });
}

bool TOpenPictureDialog::TakeResult(const QFileDialog& dialog) {
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  std::optional<std::string> windows = win::WindowsPathFromHost(files.front().toStdString());
  if (!windows) return false;
  fileName_ = *windows;
  return true;
}

bool TOpenPictureDialog::Execute() {
  QFileDialog dialog;
  Prepare(dialog);
  const bool confirmed = dialog.exec() == QDialog::Accepted && TakeResult(dialog);
  panel_ = nullptr;
  return confirmed;
}
