// The one crossing between our values and Qt's: code page 936 strings, colours, fonts,
// cursors, mouse and key state.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QPalette>
#include <QString>

#include "imaging/canvas.h"
#include "imaging/colors.h"
#include "runtime/ansi_string.h"
#include "ui/types.h"

class QInputEvent;
class QMouseEvent;

namespace ui {

// Through the kernel's code page functions; text that does not convert is taken byte for byte
// (Latin-1), so nothing turns into an empty string.
QString ToQString(const AnsiString& text);
AnsiString FromQString(const QString& text);

// System colours resolve through GetSysColor; clNone becomes a transparent colour.
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

// The Qt font that shows the same faces and pixel sizes as GDI text for this description.
QFont ToQFont(TFont& font);

// The classic scheme of GetSysColor as a Qt palette.
QPalette ClassicPalette();

Qt::CursorShape ToCursorShape(TCursor cursor);
// The stock cursor of the platform for a cursor number (0 for crDefault).
int CursorResourceId(TCursor cursor);

TShiftState ShiftOf(const QInputEvent& event);
TShiftState ShiftOf(const QMouseEvent& event);
TMouseButton ButtonOf(Qt::MouseButton button);

}  // namespace ui
