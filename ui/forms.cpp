#include "ui/forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QStyleFactory>
#include <QWidget>

#include "imaging/jpeg_image.h"
#include "platform/user/qt/qt_clipboard.h"
#include "platform/user/qt/qt_user.h"
#include "runtime/exceptions.h"
#include "ui/bridge.h"
#include "ui/control_widget.h"
#include "ui/guard.h"
#include "ui/menus.h"
#include "ui/strings.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

// --- TForm -------------------------------------------------------------------------------

namespace {

class FormWidget final : public ui::detail::ControlWidget {
 public:
  explicit FormWidget(TForm* form) : ControlWidget(form, nullptr) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (auto* form = static_cast<TForm*>(Control())) ui::Guard([form] { form->Close(); });
  }
};

}  // namespace

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 320, 240);
  TWinControl::SetVisible(false);
  SetTabStop(false);
  if (Application != nullptr && Application->MainForm() == nullptr) Application->SetMainForm(this);
}

TForm::~TForm() {
  if (Application != nullptr && Application->MainForm() == this) Application->SetMainForm(nullptr);
}

QWidget* TForm::CreateWidget(QWidget*) {
  auto* w = new FormWidget(this);
  w->setWindowTitle(ui::ToQString(Caption()));
  return w;
}

void TForm::TextChanged() {
  if (HandleAllocated()) Widget()->setWindowTitle(ui::ToQString(Caption()));
}

void TForm::Show() {
  SetVisible(true);
}

void TForm::SetVisible(bool value) {
  if (value && !shownOnce_) {
    shownOnce_ = true;
    if (position_ != TPosition::poDesigned && Screen != nullptr) {
      // Centred on the area of all monitors together (the desktop).
      const win::RECT area = Screen->DesktopRect();
      SetBounds(area.left + (area.right - area.left - Width()) / 2,
                area.top + (area.bottom - area.top - Height()) / 2, Width(), Height());
    }
  }
  TWinControl::SetVisible(value);
  QWidget* w = Widget();
  w->setGeometry(Left(), Top(), Width(), Height());
  w->setVisible(value);
  if (value) {
    w->raise();
    w->activateWindow();
  }
}

void TForm::Close() {
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  SetVisible(false);
  if (Application != nullptr && Application->MainForm() == this) Application->Terminate();
}

bool TForm::Active() const {
  return HandleAllocated() && const_cast<TForm*>(this)->Widget()->isActiveWindow();
}

// --- TScreen -----------------------------------------------------------------------------

void TScreen::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  const int id = ui::CursorResourceId(value);
  win::SetCursor(id == 0
                     ? nullptr
                     : win::LoadCursor(nullptr, reinterpret_cast<win::LPCSTR>(std::intptr_t(id))));
}

int TScreen::Width() const {
  return win::GetSystemMetrics(win::SM_CXSCREEN);
}

int TScreen::Height() const {
  return win::GetSystemMetrics(win::SM_CYSCREEN);
}

win::RECT TScreen::DesktopRect() const {
  const int x = win::GetSystemMetrics(win::SM_XVIRTUALSCREEN);
  const int y = win::GetSystemMetrics(win::SM_YVIRTUALSCREEN);
  return Bounds(x, y, win::GetSystemMetrics(win::SM_CXVIRTUALSCREEN),
                win::GetSystemMetrics(win::SM_CYVIRTUALSCREEN));
}

win::RECT TScreen::WorkAreaRect() const {
  win::RECT r{};
  win::SystemParametersInfo(win::SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

// --- TApplication ------------------------------------------------------------------------

namespace {

AnsiString ProgramPath() {
  if (QCoreApplication::instance() != nullptr)
    return ui::FromQString(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
  return "Project1";
}

}  // namespace

TApplication::TApplication(TComponent* owner)
    : TComponent(owner), title_(ApplicationTitleFrom(ProgramPath())) {}

TApplication::~TApplication() {
  // The forms it owns go next (in the component destructor); they must not find us.
  mainForm_ = nullptr;
  if (Application == this) Application = nullptr;
  if (handle_ != nullptr) {
    win::SetApplicationWindow(nullptr);
    win::SetWindowProc(handle_, nullptr);
    win::DestroyWindow(handle_);
  }
}

void TApplication::Initialize() {
  if (handle_ != nullptr) return;
  handle_ = win::CreateMessageWindow();
  win::SetApplicationWindow(handle_);
}

void TApplication::Run() {
  if (mainForm_ == nullptr) return;
  terminated_ = false;
  running_ = true;
  ui::Guard([this] { mainForm_->Show(); });
  if (!terminated_ && QCoreApplication::instance() != nullptr) QApplication::exec();
  running_ = false;
}

void TApplication::Terminate() {
  terminated_ = true;
  if (QCoreApplication::instance() != nullptr) QCoreApplication::exit(0);
}

void TApplication::ProcessMessages() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}

void TApplication::HandleException(std::exception_ptr failure) {
  if (!failure) return;
  // The window that holds the mouse lets go first, so the box gets the input.
  if (win::HWND capture = win::GetCapture(); capture != nullptr)
    win::SendMessage(capture, win::WM_CANCELMODE, 0, 0);
  try {
    std::rethrow_exception(failure);
  } catch (const EAbort&) {
    // The silent abort ends a command without a word.
  } catch (const std::exception& e) {
    if (OnException)
      OnException(this, e);
    else
      ShowException(e);
  } catch (...) {
    const Exception unknown(ui::kUnknownFailure);
    ShowException(unknown);
  }
}

void TApplication::ShowException(const std::exception& failure) {
  const auto* e = dynamic_cast<const Exception*>(&failure);
  const AnsiString message = e != nullptr ? e->Message() : AnsiString(failure.what());
  MessageBox(FailureDisplayText(message), title_, win::MB_ICONSTOP);
}

int TApplication::MessageBox(const AnsiString& text, const AnsiString& caption, win::UINT flags) {
  win::HWND owner =
      mainForm_ != nullptr && mainForm_->HandleAllocated() ? mainForm_->Handle() : handle_;
  return win::MessageBox(owner, text.c_str(), caption.c_str(), flags);
}

void ShowNotice(const AnsiString& text) {
  const AnsiString title = Application != nullptr ? Application->Title() : AnsiString();
  if (Application != nullptr)
    Application->MessageBox(text, title, win::MB_OK);
  else
    win::MessageBox(nullptr, text.c_str(), title.c_str(), win::MB_OK);
}

// --- ApplicationSession ------------------------------------------------------------------

ApplicationSession::ApplicationSession(int& argc, char** argv) {
  // Device pixels are the program's pixels: a 951 x 618 client is 951 x 618 pixels.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qputenv("QT_SCALE_FACTOR", "1");
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  qt_ = std::make_unique<QApplication>(argc, argv);
  if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
    QApplication::setStyle(style);
  QApplication::setPalette(ui::ClassicPalette());
  win::InstallQtUserHost();
  win::InstallQtClipboard();
  ui::InstallMenuTrackHost();
  RegisterJpegFormats();
  screen_ = std::make_unique<TScreen>();
  Screen = screen_.get();
  application_ = std::make_unique<TApplication>(nullptr);
  Application = application_.get();
}

ApplicationSession::~ApplicationSession() {
  // Forms and their windows go before the Qt application that carries them.
  application_.reset();
  Application = nullptr;
  Screen = nullptr;
  screen_.reset();
  ui::RemoveMenuTrackHost();
  win::RemoveQtClipboard();
  win::RemoveQtUserHost();
  // Windows destroyed by their own handlers wait for their events to end; these end now.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  qt_.reset();
}
