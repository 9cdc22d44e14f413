// Drag and drop over Qt: DoDragDrop as a system drag (QDrag), and the conversions both ways
// between a data object and the MIME data Qt's drags carry, so a drag from this program reaches
// other programs and our own windows alike, and drops from either reach our targets.
//
// What goes out (MimeDataFromDataObject): CF_HDROP as text/uri-list (file URLs of the host
// paths), a registered format whose name holds a "/" under that name as a MIME type, any other
// registered format (the shell's "Shell IDList Array") under a private MIME type of ours,
// PrivateMimeType(name), which comes back as the same format within the program.
// What comes in (DataObjectFromMimeData): text/uri-list as CF_HDROP (local files on a drive
// only) and as the registered "text/uri-list" bytes, x-special/gnome-copied-files as its
// registered format, our private MIME types as their formats. Other MIME types are left out.
#pragma once

#include <QString>
#include <Qt>
#include <memory>
#include <string>

#include "platform/user/ole.h"

class QMimeData;

namespace win {

[[nodiscard]] std::unique_ptr<QMimeData> MimeDataFromDataObject(IDataObject* data);
// A new data object (the caller's reference) holding what the MIME data offers of the formats
// above; empty for null MIME data.
[[nodiscard]] IDataObject* DataObjectFromMimeData(const QMimeData* mime);
// The MIME type a registered format without a "/" travels under:
// application/x-suotu-format;name="NAME", the name in UTF-8 with '"', '%', '\' and every byte
// outside printable ASCII percent-encoded (X atoms are Latin-1).
QString PrivateMimeType(const std::string& formatName);
// The format name of one of our private MIME types; empty for any other MIME type.
std::string PrivateFormatName(const QString& mime);

// MK_* bits of Qt's buttons and modifiers.
DWORD KeyStateFromQt(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
// DROPEFFECT_COPY, _MOVE and _LINK as Qt's actions and back; other bits are left out.
Qt::DropActions DropActionsFromEffects(DWORD effects);
DWORD EffectsFromDropActions(Qt::DropActions actions);
// The one action for what a target answered: the proposed action when the effect allows it,
// otherwise copy, move, link in that order; Qt::IgnoreAction for DROPEFFECT_NONE. The scroll
// bit is not an action and is dropped.
Qt::DropAction DropActionFromEffect(DWORD effect, Qt::DropAction proposed);

// The drag host installed by InstallQtUserHost: DoDragDrop as QDrag::exec. Under the
// offscreen and minimal platforms (no system drag to run) it is not installed and the
// headless host stays, which cancels at once.
namespace detail {
void InstallQtDragDropHost();
void RemoveQtDragDropHost();
// The host itself, for tests that run it where InstallQtDragDropHost would not.
HRESULT QtDoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect);
}  // namespace detail

}  // namespace win
