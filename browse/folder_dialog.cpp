#include "browse/folder_dialog.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeySequence>
#include <QRect>
#include <QShortcut>

#include "browse/shell_tree.h"
#include "ui/bridge.h"
#include "ui/control_widget.h"
#include "ui/forms.h"
#include "ui/guard.h"
#include "ui/stdctrls.h"

const char* const TFolderDialog::kCaption = "\xE4\xAF\xC0\xC0\xCE\xC4\xBC\xFE\xBC\xD0";
const char* const TFolderDialog::kPrompt =
    "\xC7\xEB\xD1\xA1\xD4\xF1\xCF\xE0\xD3\xA6\xCE\xC4\xBC\xFE\xBC\xD0";
const char* const TFolderDialog::kOk = "\xC8\xB7\xB6\xA8";
const char* const TFolderDialog::kCancel = "\xC8\xA1\xCF\xFB";

namespace {

// The client size and places of the dialog's parts, in pixels.
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 360;
constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

// A titled window that belongs to its owner's window; closing it is a cancel.
class DialogWidget final : public ui::detail::ControlWidget {
 public:
  DialogWidget(TWinControl* form, QWidget* owner, std::function<void()> onClose)
      : ControlWidget(form, owner), onClose_(std::move(onClose)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    ui::Guard([this] { onClose_(); });
  }

 private:
  std::function<void()> onClose_;
};

}  // namespace

class TFolderDialog::DialogForm : public TForm {
 public:
  DialogForm(TWinControl* owner, std::function<void()> onClose)
      : TForm(nullptr), owner_(owner), onClose_(std::move(onClose)) {
    // A dialog never stands for the program: closing it must not end the message loop.
    if (Application != nullptr && Application->MainForm() == this)
      Application->SetMainForm(nullptr);
  }
  const char* ClassName() const override { return "TFolderDialogForm"; }

 protected:
  QWidget* CreateWidget(QWidget*) override {
    QWidget* ownerWindow = owner_ != nullptr ? owner_->Widget()->window() : nullptr;
    auto* w = new DialogWidget(this, ownerWindow, onClose_);
    w->setWindowTitle(ui::ToQString(Caption()));
    return w;
  }

 private:
  TWinControl* owner_;
  std::function<void()> onClose_;
};

TFolderDialog::TFolderDialog(TWinControl* owner) : owner_(owner) {}

TFolderDialog::~TFolderDialog() = default;

TForm* TFolderDialog::Form() const {
  return form_.get();
}

void TFolderDialog::Prepare() {
  form_ = std::make_unique<DialogForm>(owner_, [this] {
    if (finish_) finish_(false);
  });
  TForm& form = *form_;
  form.SetCaption(kCaption);
  form.SetBounds(0, 0, kClientWidth, kClientHeight);

  prompt_ = new TLabel(&form);
  prompt_->SetParent(&form);
  prompt_->SetCaption(kPrompt);
  prompt_->SetBounds(kMargin, kMargin, kClientWidth - 2 * kMargin, 26);

  const int buttonTop = kClientHeight - kMargin - kButtonHeight;
  tree_ = new TRzShellTree(&form);
  tree_->SetParent(&form);
  tree_->SetBounds(kMargin, 44, kClientWidth - 2 * kMargin, buttonTop - 44 - kMargin);

  ok_ = new TButton(&form);
  ok_->SetParent(&form);
  ok_->SetCaption(kOk);
  ok_->SetDefault(true);
  ok_->SetBounds(kClientWidth - 2 * (kButtonWidth + kMargin) + kMargin / 2, buttonTop, kButtonWidth,
                 kButtonHeight);
  ok_->OnClick = [this](TObject*) {
    if (finish_) finish_(true);
  };

  cancel_ = new TButton(&form);
  cancel_->SetParent(&form);
  cancel_->SetCaption(kCancel);
  cancel_->SetBounds(kClientWidth - kButtonWidth - kMargin, buttonTop, kButtonWidth, kButtonHeight);
  cancel_->OnClick = [this](TObject*) {
    if (finish_) finish_(false);
  };

  // The window and its children exist from here on, so the tree can list the desktop; the
  // desktop comes selected, as the shell's dialog starts.
  form.Widget();
  tree_->Refill();
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), form.Widget());
  QObject::connect(escape, &QShortcut::activated, [this] {
    ui::Guard([this] {
      if (finish_) finish_(false);
    });
  });
}

AnsiString TFolderDialog::TakeResult(bool confirmed) const {
  if (!confirmed || tree_ == nullptr) return {};
  return tree_->SelectedPath();
}

AnsiString TFolderDialog::Execute() {
  Prepare();
  TForm& form = *form_;
  if (owner_ != nullptr) {
    // Centred over the owner's window.
    const QRect area = owner_->Widget()->window()->frameGeometry();
    form.SetBounds(area.left() + (area.width() - form.Width()) / 2,
                   area.top() + (area.height() - form.Height()) / 2, form.Width(), form.Height());
  } else {
    form.SetPosition(TPosition::poScreenCenter);
  }
  form.Widget()->setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  bool confirmed = false;
  finish_ = [&](bool answer) {
    confirmed = answer;
    loop.quit();
  };
  form.Show();
  tree_->SetFocus();
  loop.exec();
  finish_ = nullptr;
  const AnsiString result = TakeResult(confirmed);
  form.SetVisible(false);
  return result;
}

AnsiString BrowseFolder(TWinControl* owner) {
  TFolderDialog dialog(owner);
  return dialog.Execute();
}
