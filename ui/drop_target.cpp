#include "ui/drop_target.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QPointer>
#include <QWidget>
#include <map>
#include <utility>

#include "platform/user/ole.h"
#include "platform/user/qt/qt_ole.h"
#include "ui/controls.h"
#include "ui/guard.h"

namespace ui::detail {

namespace {

const char kOwnDropsProperty[] = "suotuOwnDrops";

// One drag is over one widget at a time: the target it entered, with its data object.
struct DropSession {
  QPointer<QWidget> site;
  win::IDropTarget* target = nullptr;  // referenced
  win::IDataObject* data = nullptr;    // referenced
  win::DWORD allowed = win::DROPEFFECT_NONE;
  QMetaObject::Connection siteGone;
};

DropSession& Session() {
  static DropSession session;
  return session;
}

// Ends the drag over its target: with DragLeave when it left, without when it dropped or when
// the window went away under it.
void EndSession(bool leave) {
  DropSession ended = std::exchange(Session(), DropSession{});
  if (ended.target == nullptr) return;
  QObject::disconnect(ended.siteGone);
  if (leave) GuardValue([&] { return ended.target->DragLeave(); }, win::E_FAIL);
  ended.data->Release();
  ended.target->Release();
}

win::DWORD KeyStateOf(const QDropEvent* e) {
  return win::KeyStateFromQt(e->buttons(), e->modifiers());
}

win::POINTL ScreenPointOf(QWidget* site, const QDropEvent* e) {
  const QPoint p = site->mapToGlobal(e->position().toPoint());
  return {p.x(), p.y()};
}

// Enters the target registered for window, if there is one, and answers its effect.
bool Enter(win::HWND window, QWidget* site, QDropEvent* e, win::DWORD* effect) {
  win::IDropTarget* target = win::RegisteredDropTarget(window);
  if (target == nullptr) return false;
  win::IDataObject* data = win::DataObjectFromMimeData(e->mimeData());
  if (data == nullptr) return false;
  target->AddRef();
  DropSession& session = Session();
  session.site = site;
  session.target = target;
  session.data = data;
  session.allowed = win::EffectsFromDropActions(e->possibleActions());
  session.siteGone = QObject::connect(site, &QObject::destroyed, [] { EndSession(false); });
  *effect = session.allowed;
  const win::HRESULT hr = GuardValue(
      [&] { return target->DragEnter(data, KeyStateOf(e), ScreenPointOf(site, e), effect); },
      win::E_FAIL);
  if (win::FAILED(hr)) *effect = win::DROPEFFECT_NONE;
  return true;
}

void Answer(QDropEvent* e, win::DWORD effect, win::DWORD allowed) {
  const Qt::DropAction action = win::DropActionFromEffect(effect & allowed, e->proposedAction());
  if (action == Qt::IgnoreAction) {
    e->ignore();
    return;
  }
  e->setDropAction(action);
  e->accept();
}

// Drop sites by window, for the registrations made after the widget.
std::map<win::HWND, QPointer<QWidget>>& Sites() {
  static std::map<win::HWND, QPointer<QWidget>> sites;
  return sites;
}

void ApplyRegistration(win::HWND window, QWidget* site) {
  QVariant own = site->property(kOwnDropsProperty);
  if (!own.isValid()) {
    own = site->acceptDrops();
    site->setProperty(kOwnDropsProperty, own);
  }
  site->setAcceptDrops(win::RegisteredDropTarget(window) != nullptr || own.toBool());
}

void WatchRegistrations() {
  static const bool watching = [] {
    win::SetDropTargetObserver([](win::HWND window) {
      auto found = Sites().find(window);
      if (found != Sites().end() && found->second) ApplyRegistration(window, found->second);
    });
    return true;
  }();
  (void)watching;
}

QWidget* DropSiteOf(QWidget* widget) {
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) return area->viewport();
  return widget;
}

}  // namespace

bool RouteDragEvent(TWinControl* control, QWidget* site, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::DragLeave &&
      type != QEvent::Drop)
    return false;
  if (control == nullptr || site == nullptr) return false;
  const bool entered = Session().target != nullptr && Session().site == site;
  if (type == QEvent::DragLeave) {
    if (!entered) return false;
    EndSession(true);
    return true;
  }

  auto* e = static_cast<QDropEvent*>(event);
  const win::HWND window = control->Handle();
  win::DWORD effect = win::DROPEFFECT_NONE;
  if (type == QEvent::DragEnter || !entered ||
      win::RegisteredDropTarget(window) != Session().target) {
    // Entering, or the window's target changed since (revoked, or another registered): the
    // old target is left and the current one entered, as a move onto another window would.
    const bool wasOurs = entered;
    EndSession(true);
    if (!Enter(window, site, e, &effect)) {
      if (!wasOurs) return false;
      e->ignore();
      return true;
    }
    if (type == QEvent::DragEnter) {
      // Accepted whatever the effect: Qt sends the moves that follow only to a widget that
      // took the enter, and the target may take the drag a little further on.
      Answer(e, effect, Session().allowed);
      e->accept();
      return true;
    }
  }

  DropSession& session = Session();
  win::IDropTarget* target = session.target;
  const win::DWORD allowed = session.allowed;
  effect = allowed;
  if (type == QEvent::DragMove) {
    const win::HRESULT hr =
        GuardValue([&] { return target->DragOver(KeyStateOf(e), ScreenPointOf(site, e), &effect); },
                   win::E_FAIL);
    if (win::FAILED(hr)) effect = win::DROPEFFECT_NONE;
    Answer(e, effect, allowed);
    return true;
  }
  // The drop: the target keeps its data object to the end of the call.
  target->AddRef();
  win::IDataObject* data = session.data;
  data->AddRef();
  EndSession(false);
  const win::HRESULT hr =
      GuardValue([&] { return target->Drop(data, KeyStateOf(e), ScreenPointOf(site, e), &effect); },
                 win::E_FAIL);
  data->Release();
  target->Release();
  if (win::FAILED(hr)) effect = win::DROPEFFECT_NONE;
  Answer(e, effect, allowed);
  return true;
}

void UpdateDropSite(TWinControl* control) {
  WatchRegistrations();
  if (control == nullptr || !control->HandleAllocated()) return;
  QWidget* site = DropSiteOf(control->Widget());
  const win::HWND window = control->Handle();
  auto& sites = Sites();
  // Windows are never given a handle twice, so a gone widget's entry is of no use again.
  for (auto it = sites.begin(); it != sites.end();)
    it = it->second ? std::next(it) : sites.erase(it);
  sites[window] = site;
  ApplyRegistration(window, site);
}

}  // namespace ui::detail
