// The form (a borderless top-level window), the screen and the application object with the
// failure display, and the session that starts and ends the modules around the Qt
// application.
#pragma once

#include <exception>
#include <functional>
#include <memory>

#include "ui/controls.h"

class QApplication;

enum class TPosition : std::uint8_t { poDesigned, poDesktopCenter, poScreenCenter };
enum class TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  const char* ClassName() const override { return "TForm"; }

  TPosition Position() const { return position_; }
  void SetPosition(TPosition value) { position_ = value; }
  // Shows the window; the first time, a centred position is applied.
  void Show();
  void SetVisible(bool value) override;
  // Hides the window; the main form's closing ends the program.
  void Close();
  bool Active() const;

  std::function<void(TObject* sender, TCloseAction& action)> OnClose;

 protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void TextChanged() override;

 private:
  TPosition position_ = TPosition::poDesigned;
  bool shownOnce_ = false;
};

class TScreen {
 public:
  // crDefault gives the windows their own cursors back.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  int Width() const;
  int Height() const;
  // All monitors together, and their work areas together.
  win::RECT DesktopRect() const;
  win::RECT WorkAreaRect() const;
  int PixelsPerInch() const { return 96; }

 private:
  TCursor cursor_ = crDefault;
};

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;
  const char* ClassName() const override { return "TApplication"; }

  // The platform's component model and the application's hidden window.
  void Initialize();
  // The first form created becomes the main form.
  TForm* MainForm() const { return mainForm_; }
  void SetMainForm(TForm* form) { mainForm_ = form; }
  // Shows the main form and dispatches messages until Terminate; returns at once when there
  // is no main form.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles the pending messages and returns.
  void ProcessMessages();

  // The program file's name without folder and without everything from its first "."; the
  // characters after the first in lower case.
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& value) { title_ = value; }
  win::HWND Handle() const { return handle_; }

  // The failure display: cancel-mode to the capture window; nothing for the silent abort;
  // otherwise the message (with its full stop rule) in a box with the title and a stop icon.
  void HandleException(std::exception_ptr failure);
  void ShowException(const std::exception& failure);
  // A modal box over every window of the program.
  int MessageBox(const AnsiString& text, const AnsiString& caption, win::UINT flags);

  // Runs instead of the default display when set.
  std::function<void(TObject* sender, const std::exception& failure)> OnException;

 private:
  TForm* mainForm_ = nullptr;
  AnsiString title_;
  win::HWND handle_ = nullptr;
  bool terminated_ = false;
  bool running_ = false;
};

// The process's application and screen objects (set by the session).
extern TApplication* Application;
extern TScreen* Screen;

// The plain message box of the program: the text, the application title, one OK button.
void ShowNotice(const AnsiString& text);

// Starts Qt and the modules in order and ends them in reverse: high-DPI scaling off (device
// pixels are our pixels, 96 per inch), the classic "Windows" style and palette, the Qt hosts
// of the platform's messages and clipboard, the JPEG module, the application and screen
// objects. One per process.
class ApplicationSession {
 public:
  ApplicationSession(int& argc, char** argv);
  ~ApplicationSession();
  ApplicationSession(const ApplicationSession&) = delete;
  ApplicationSession& operator=(const ApplicationSession&) = delete;

 private:
  std::unique_ptr<QApplication> qt_;
  std::unique_ptr<TScreen> screen_;
  std::unique_ptr<TApplication> application_;
};
