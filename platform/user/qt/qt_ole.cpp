#include "platform/user/qt/qt_ole.h"

#include <QCoreApplication>
#include <QDrag>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/user/clipboard.h"

namespace win {

namespace {

const char kPrivatePrefix[] = "application/x-suotu-format;name=\"";
const char kUriList[] = "text/uri-list";
const char kGnomeCopiedFiles[] = "x-special/gnome-copied-files";

std::string FormatName(UINT format) {
  char name[256];
  const int length = GetClipboardFormatNameA(format, name, sizeof name);
  return length > 0 ? std::string(name, std::size_t(length)) : std::string();
}

std::string Utf8Of(const std::string& ansi) {
  std::optional<std::string> utf8 = AnsiToUtf8(ansi);
  return utf8 ? *utf8 : ansi;
}

// Text formats end at their first zero byte, as the clipboard reads them; everything else
// travels byte for byte.
bool IsTextMime(const std::string& mime) {
  return mime.starts_with("text/") || mime.starts_with("x-special/");
}

bool PutBytes(IDataObject* data, UINT format, const QByteArray& bytes) {
  if (format == 0) return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, std::size_t(bytes.size()));
  if (memory == nullptr) return false;
  if (!bytes.isEmpty()) {
    std::memcpy(GlobalLock(memory), bytes.constData(), std::size_t(bytes.size()));
    GlobalUnlock(memory);
  }
  FORMATETC asked;
  asked.cfFormat = static_cast<CLIPFORMAT>(format);
  STGMEDIUM medium;
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = memory;
  if (SUCCEEDED(data->SetData(&asked, &medium, TRUE))) return true;
  GlobalFree(memory);
  return false;
}

// The Windows paths of the local files a URL list names. A URL of another scheme, of another
// machine, or of a file that lies on no drive stays out of the list.
std::vector<std::string> DrivePathsOf(const QList<QUrl>& urls) {
  std::vector<std::string> paths;
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) continue;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
      continue;
    std::string local = url.toLocalFile().toStdString();
    while (local.size() > 1 && local.back() == '/')
      local.pop_back();  // a folder's URL may end in "/"
    if (std::optional<std::string> path = WindowsPathFromHost(local)) paths.push_back(*path);
  }
  return paths;
}

QList<QUrl> UrlsOfDrop(IDataObject* data) {
  QList<QUrl> urls;
  FORMATETC asked;
  asked.cfFormat = static_cast<CLIPFORMAT>(CF_HDROP);
  STGMEDIUM medium;
  if (FAILED(data->GetData(&asked, &medium))) return urls;
  for (const std::string& path : FileDropPaths(medium.hGlobal)) {
    // A path without a host file (a drive that went away) has nothing to offer others.
    if (std::optional<std::string> host = HostPathFromWindows(path))
      urls.push_back(QUrl::fromLocalFile(QString::fromStdString(*host)));
  }
  ReleaseStgMedium(&medium);
  return urls;
}

DWORD CurrentKeyState() {
  return KeyStateFromQt(QGuiApplication::mouseButtons(), QGuiApplication::queryKeyboardModifiers());
}

// Watches the input of the application while Qt's drag runs and asks the drop source what to
// do as keys and buttons change. Qt's drag loop filters the application's events itself and
// swallows the mouse and the keys; this filter goes in front of it once the loop runs (the
// first timer tick inside it), so it sees them first: the mouse moves, presses and releases
// with their buttons and modifiers, and key presses and releases (Escape among them, and the
// modifier keys, whose state is read back from the windowing system).
class DragWatch final : public QObject {
 public:
  explicit DragWatch(IDropSource* source) : source_(source), keyState_(CurrentKeyState()) {}

  // S_OK while the drag runs as Qt runs it; the source's cancel or failure otherwise.
  HRESULT Outcome() const { return outcome_; }
  std::exception_ptr Escaped() const { return escaped_; }

  // Asked once before Qt's drag starts, as the keys are now. A drag whose start was reported
  // after its button had gone up again would otherwise wait for the next release, following
  // the pointer meanwhile: such a source drops at once, and with nowhere to drop yet the drag
  // ends as cancelled.
  void Begin() {
    HRESULT hr = S_OK;
    try {
      hr = source_->QueryContinueDrag(FALSE, keyState_);
    } catch (...) {
      Stop(E_FAIL, std::current_exception());
      return;
    }
    if (hr != S_OK) Stop(FAILED(hr) ? hr : DRAGDROP_S_CANCEL, nullptr);
  }

  void Feedback(DWORD effect) {
    if (outcome_ != S_OK) return;
    try {
      source_->GiveFeedback(effect);  // our cursors are Qt's default drag cursors either way
    } catch (...) {
      Stop(E_FAIL, std::current_exception());
    }
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (outcome_ != S_OK || dropping_) return false;
    bool escape = false;
    DWORD state = keyState_;
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseMove: {
        const auto* e = static_cast<const QMouseEvent*>(event);
        state = KeyStateFromQt(e->buttons(), e->modifiers());
        break;
      }
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        const auto* e = static_cast<const QKeyEvent*>(event);
        escape = event->type() == QEvent::KeyPress && e->key() == Qt::Key_Escape;
        state = CurrentKeyState();
        break;
      }
      default:
        return false;
    }
    if (!escape && state == keyState_) return false;
    keyState_ = state;
    HRESULT hr = S_OK;
    try {
      hr = source_->QueryContinueDrag(escape ? TRUE : FALSE, state);
    } catch (...) {
      Stop(E_FAIL, std::current_exception());
      return true;
    }
    if (hr == S_OK) return escape;  // the source goes on: Qt must not take Escape as a cancel
    // A drop is Qt's to make on the release it is handling now; the source is not asked
    // again, the target's drop (a menu of its own, say) having the input meanwhile. Qt cannot
    // be told to drop while the button is still held, so there the drag goes on to the release.
    if (hr == DRAGDROP_S_DROP) {
      dropping_ = event->type() == QEvent::MouseButtonRelease;
      return false;
    }
    Stop(hr == DRAGDROP_S_CANCEL || FAILED(hr) ? hr : DRAGDROP_S_CANCEL, nullptr);
    return true;  // Qt does not drop on the release that cancelled
  }

 private:
  void Stop(HRESULT outcome, std::exception_ptr escaped) {
    outcome_ = outcome;
    escaped_ = std::move(escaped);
    QDrag::cancel();
  }

  IDropSource* source_;
  DWORD keyState_;
  bool dropping_ = false;
  HRESULT outcome_ = S_OK;
  std::exception_ptr escaped_;
};

Qt::DropAction DefaultAction(Qt::DropActions actions) {
  // Copy when allowed: what a drop onto another program then does by default loses nothing.
  for (Qt::DropAction a : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction})
    if (actions & a) return a;
  return Qt::IgnoreAction;
}

bool& HostInstalled() {
  static bool installed = false;
  return installed;
}

}  // namespace

QString PrivateMimeType(const std::string& formatName) {
  const QByteArray name = QByteArray::fromStdString(Utf8Of(formatName))
                              .toPercentEncoding(" !#$&'()*+,/:;<=>?@[]^`{|}", "");
  return QString::fromLatin1(kPrivatePrefix) + QString::fromLatin1(name) + QLatin1Char('"');
}

std::string PrivateFormatName(const QString& mime) {
  const QString prefix = QString::fromLatin1(kPrivatePrefix);
  if (!mime.startsWith(prefix) || !mime.endsWith(QLatin1Char('"')) ||
      mime.size() <= prefix.size() + 1)
    return {};
  const QString quoted = mime.mid(prefix.size(), mime.size() - prefix.size() - 1);
  if (quoted.contains(QLatin1Char('"'))) return {};
  const std::string utf8 = QByteArray::fromPercentEncoding(quoted.toLatin1()).toStdString();
  if (utf8.empty() || utf8.find('\0') != std::string::npos) return {};
  std::optional<std::string> ansi = Utf8ToAnsi(utf8);
  return ansi ? *ansi : std::string();
}

std::unique_ptr<QMimeData> MimeDataFromDataObject(IDataObject* data) {
  auto mime = std::make_unique<QMimeData>();
  std::vector<UINT> formats;
  if (data == nullptr || FAILED(data->EnumFormats(&formats))) return mime;
  std::vector<std::pair<QString, QByteArray>> named;
  for (UINT format : formats) {
    if (format == CF_HDROP) {
      const QList<QUrl> urls = UrlsOfDrop(data);
      if (!urls.isEmpty()) mime->setUrls(urls);
      continue;
    }
    // Predefined formats have no name another program would know.
    const std::string name = FormatName(format);
    std::string bytes;
    if (name.empty() || !ReadDataBytes(data, format, &bytes)) continue;
    if (name.find('/') == std::string::npos) {
      named.emplace_back(PrivateMimeType(name), QByteArray::fromStdString(bytes));
      continue;
    }
    if (IsTextMime(name)) bytes.resize(strnlen(bytes.c_str(), bytes.size()));
    named.emplace_back(QString::fromLatin1(name.c_str()), QByteArray::fromStdString(bytes));
  }
  // A format offered under its MIME name says exactly what to send, so a "text/uri-list" of
  // the object's own wins over the list made from its CF_HDROP.
  for (const auto& [type, bytes] : named) mime->setData(type, bytes);
  return mime;
}

IDataObject* DataObjectFromMimeData(const QMimeData* mime) {
  IDataObject* data = nullptr;
  if (FAILED(CreateDataObject(&data))) return nullptr;
  if (mime == nullptr) return data;
  for (const QString& type : mime->formats()) {
    if (type == QLatin1String(kUriList)) {
      const std::vector<std::string> paths = DrivePathsOf(mime->urls());
      if (!paths.empty()) {
        HGLOBAL drop = CreateFileDropData(paths);
        FORMATETC asked;
        asked.cfFormat = static_cast<CLIPFORMAT>(CF_HDROP);
        STGMEDIUM medium;
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = drop;
        if (drop != nullptr && FAILED(data->SetData(&asked, &medium, TRUE))) GlobalFree(drop);
      }
      PutBytes(data, RegisterClipboardFormatA(kUriList), mime->data(type));
    } else if (type == QLatin1String(kGnomeCopiedFiles)) {
      PutBytes(data, RegisterClipboardFormatA(kGnomeCopiedFiles), mime->data(type));
    } else if (const std::string name = PrivateFormatName(type); !name.empty()) {
      PutBytes(data, RegisterClipboardFormatA(name.c_str()), mime->data(type));
    }
  }
  return data;
}

DWORD KeyStateFromQt(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  DWORD state = 0;
  if (buttons & Qt::LeftButton) state |= MK_LBUTTON;
  if (buttons & Qt::RightButton) state |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) state |= MK_MBUTTON;
  if (modifiers & Qt::ShiftModifier) state |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) state |= MK_CONTROL;
  if (modifiers & Qt::AltModifier) state |= MK_ALT;
  return state;
}

Qt::DropActions DropActionsFromEffects(DWORD effects) {
  Qt::DropActions actions;
  if (effects & DROPEFFECT_COPY) actions |= Qt::CopyAction;
  if (effects & DROPEFFECT_MOVE) actions |= Qt::MoveAction;
  if (effects & DROPEFFECT_LINK) actions |= Qt::LinkAction;
  return actions;
}

DWORD EffectsFromDropActions(Qt::DropActions actions) {
  DWORD effects = DROPEFFECT_NONE;
  if (actions & Qt::CopyAction) effects |= DROPEFFECT_COPY;
  if (actions & Qt::MoveAction) effects |= DROPEFFECT_MOVE;
  if (actions & Qt::LinkAction) effects |= DROPEFFECT_LINK;
  return effects;
}

Qt::DropAction DropActionFromEffect(DWORD effect, Qt::DropAction proposed) {
  const Qt::DropActions allowed = DropActionsFromEffects(effect & ~DROPEFFECT_SCROLL);
  if (proposed != Qt::IgnoreAction && (allowed & proposed)) return proposed;
  for (Qt::DropAction a : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction})
    if (allowed & a) return a;
  return Qt::IgnoreAction;
}

namespace detail {

HRESULT QtDoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect) {
  *effect = DROPEFFECT_NONE;
  QCoreApplication* app = QCoreApplication::instance();
  const Qt::DropActions actions = DropActionsFromEffects(okEffects);
  if (app == nullptr || actions == Qt::IgnoreAction) return DRAGDROP_S_CANCEL;

  QObject anchor;  // the drag's source object; deletes the drag with it
  auto* drag = new QDrag(&anchor);
  drag->setMimeData(MimeDataFromDataObject(data).release());
  DragWatch watch(source);
  app->installEventFilter(&watch);
  // Installed again from inside the drag's loop: a later filter is asked first.
  QTimer::singleShot(0, &watch, [app, &watch] { app->installEventFilter(&watch); });
  QObject::connect(drag, &QDrag::actionChanged, &watch, [&watch](Qt::DropAction action) {
    watch.Feedback(EffectsFromDropActions(action));
  });
  watch.Begin();
  watch.Feedback(DROPEFFECT_NONE);
  const Qt::DropAction done =
      watch.Outcome() == S_OK ? drag->exec(actions, DefaultAction(actions)) : Qt::IgnoreAction;
  app->removeEventFilter(&watch);

  if (watch.Escaped()) std::rethrow_exception(watch.Escaped());
  if (watch.Outcome() != S_OK) return watch.Outcome();
  // Qt tells a refused drop from a cancelled one only by the action: both are no drop here.
  const DWORD performed = EffectsFromDropActions(done) & okEffects;
  if (performed == DROPEFFECT_NONE) return DRAGDROP_S_CANCEL;
  *effect = performed;
  return DRAGDROP_S_DROP;
}

void InstallQtDragDropHost() {
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
  SetDragDropHost(QtDoDragDrop);
  HostInstalled() = true;
}

void RemoveQtDragDropHost() {
  if (!HostInstalled()) return;
  SetDragDropHost(nullptr);
  HostInstalled() = false;
}

}  // namespace detail

}  // namespace win
