#include "ui/bridge.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QInputEvent>
#include <QMouseEvent>
#include <map>
#include <set>

#include "platform/gdi/text.h"
#include "platform/kernel/kernel.h"
#include "platform/user/user.h"

namespace ui {

QString ToQString(const AnsiString& text) {
  if (text.empty()) return {};
  if (std::optional<std::string> utf8 = win::AnsiToUtf8(text)) return QString::fromStdString(*utf8);
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

AnsiString FromQString(const QString& text) {
  const std::string utf8 = text.toStdString();
  if (std::optional<std::string> ansi = win::Utf8ToAnsi(utf8)) return *ansi;
  return utf8;
}

QColor ToQColor(TColor color) {
  if (color == clNone) return QColor(Qt::transparent);
  const win::COLORREF c = ColorToRGB(color);
  return QColor(win::GetRValue(c), win::GetGValue(c), win::GetBValue(c));
}

TColor FromQColor(const QColor& color) {
  return win::RGB(win::BYTE(color.red()), win::BYTE(color.green()), win::BYTE(color.blue()));
}

namespace {

// Qt's database is given each face file GDI text resolves to, once, so a toolkit font finds
// the very file. A bitmap strike is told to fontconfig, which Qt asks per face: drawn from its
// embedded bitmaps without antialiasing, whatever the Latin face beside it does.
void PrepareFace(const win::FontFaceChoice& face) {
  static auto* files = new std::set<std::string>;
  static auto* strikes = new std::set<std::string>;
  if (!face.file.empty() && files->insert(face.file).second)
    QFontDatabase::addApplicationFont(QString::fromStdString(face.file));
  if (!face.bitmapStrike || !strikes->insert(face.family).second) return;
  QString family = QString::fromStdString(face.family).toHtmlEscaped();
  const QByteArray rule =
      QStringLiteral(
          "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig>"
          "<match target=\"font\"><test name=\"family\"><string>%1</string></test>"
          "<edit name=\"antialias\" mode=\"assign\"><bool>false</bool></edit>"
          "<edit name=\"embeddedbitmap\" mode=\"assign\"><bool>true</bool></edit>"
          "<edit name=\"hinting\" mode=\"assign\"><bool>false</bool></edit>"
          "</match></fontconfig>")
          .arg(family)
          .toUtf8();
  FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(),
                                 reinterpret_cast<const FcChar8*>(rule.constData()), FcFalse);
}

}  // namespace

QFont ToQFont(TFont& font) {
  const TFontStyles style = font.Style();
  QFont q;
  q.setBold(style.Contains(TFontStyle::fsBold));
  q.setItalic(style.Contains(TFontStyle::fsItalic));
  q.setUnderline(style.Contains(TFontStyle::fsUnderline));
  q.setStrikeOut(style.Contains(TFontStyle::fsStrikeOut));
  win::FontResolution r;
  if (!win::GetFontResolution(font.Handle(), &r)) {
    q.setPixelSize(11);
    return q;  // no usable font installed: Qt's own choice
  }
  PrepareFace(r.latin);
  PrepareFace(r.han);
  q.setFamilies({QString::fromStdString(r.latin.family), QString::fromStdString(r.han.family)});
  // One pixel size serves both faces in Qt. A strike exists at its own size only (12 pixels
  // for the UI font, whose Latin em is 11), so the Chinese glyphs decide: the hand-drawn
  // strike rather than broken outlines, Latin then one pixel larger than in GDI text.
  q.setPixelSize(r.han.bitmapStrike ? r.han.pixelSize : r.latin.pixelSize);
  q.setHintingPreference(QFont::PreferVerticalHinting);
  return q;
}

QPalette ClassicPalette() {
  auto sys = [](int index) { return ToQColor(SystemColor(index)); };
  QPalette p;
  p.setColor(QPalette::Window, sys(kColorBtnFace));
  p.setColor(QPalette::WindowText, sys(kColorWindowText));
  p.setColor(QPalette::Base, sys(kColorWindow));
  p.setColor(QPalette::AlternateBase, sys(kColorBtnFace));
  p.setColor(QPalette::Text, sys(kColorWindowText));
  p.setColor(QPalette::Button, sys(kColorBtnFace));
  p.setColor(QPalette::ButtonText, sys(kColorBtnText));
  p.setColor(QPalette::Light, sys(kColorBtnHighlight));
  p.setColor(QPalette::Midlight, sys(kColor3DLight));
  p.setColor(QPalette::Mid, sys(kColorBtnShadow));
  p.setColor(QPalette::Dark, sys(kColorBtnShadow));
  p.setColor(QPalette::Shadow, sys(kColor3DDkShadow));
  p.setColor(QPalette::Highlight, sys(kColorHighlight));
  p.setColor(QPalette::HighlightedText, sys(kColorHighlightText));
  p.setColor(QPalette::ToolTipBase, sys(kColorInfoBk));
  p.setColor(QPalette::ToolTipText, sys(kColorInfoText));
  p.setColor(QPalette::PlaceholderText, sys(kColorGrayText));
  p.setColor(QPalette::Disabled, QPalette::Text, sys(kColorGrayText));
  p.setColor(QPalette::Disabled, QPalette::WindowText, sys(kColorGrayText));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, sys(kColorGrayText));
  return p;
}

namespace {

std::map<TCursor, TCursor>& RegisteredCursors() {
  static auto* cursors = new std::map<TCursor, TCursor>;
  return *cursors;
}

}  // namespace

void RegisterCursor(TCursor number, TCursor stock) {
  RegisteredCursors()[number] = ResolveCursor(stock);
}

TCursor ResolveCursor(TCursor cursor) {
  const auto& cursors = RegisteredCursors();
  const auto it = cursors.find(cursor);
  return it == cursors.end() ? cursor : it->second;
}

Qt::CursorShape ToCursorShape(TCursor cursor) {
  switch (ResolveCursor(cursor)) {
    case crCross:
      return Qt::CrossCursor;
    case crIBeam:
      return Qt::IBeamCursor;
    case crSizeNESW:
      return Qt::SizeBDiagCursor;
    case crSizeNS:
    case crVSplit:
      return Qt::SizeVerCursor;
    case crSizeNWSE:
      return Qt::SizeFDiagCursor;
    case crSizeWE:
    case crHSplit:
      return Qt::SizeHorCursor;
    case crHourGlass:
      return Qt::WaitCursor;
    case crNoDrop:
    case crNo:
      return Qt::ForbiddenCursor;
    case crAppStart:
      return Qt::BusyCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crSizeAll:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

int CursorResourceId(TCursor cursor) {
  switch (ResolveCursor(cursor)) {
    case crDefault:
      return 0;
    case crCross:
      return 32515;
    case crIBeam:
      return 32513;
    case crSizeNESW:
      return 32643;
    case crSizeNS:
    case crVSplit:
      return 32645;
    case crSizeNWSE:
      return 32642;
    case crSizeWE:
    case crHSplit:
      return 32644;
    case crHourGlass:
      return 32514;
    case crNoDrop:
    case crNo:
      return 32648;
    case crAppStart:
      return 32650;
    case crHandPoint:
      return 32649;
    case crSizeAll:
      return 32646;
    default:
      return 32512;
  }
}

TShiftState ShiftOf(const QInputEvent& event) {
  TShiftState s;
  const Qt::KeyboardModifiers m = event.modifiers();
  if (m & Qt::ShiftModifier) s = s.With(TShiftStateItem::ssShift);
  if (m & Qt::AltModifier) s = s.With(TShiftStateItem::ssAlt);
  if (m & Qt::ControlModifier) s = s.With(TShiftStateItem::ssCtrl);
  return s;
}

TShiftState ShiftOf(const QMouseEvent& event) {
  TShiftState s = ShiftOf(static_cast<const QInputEvent&>(event));
  const Qt::MouseButtons b = event.buttons() | event.button();
  if (b & Qt::LeftButton) s = s.With(TShiftStateItem::ssLeft);
  if (b & Qt::RightButton) s = s.With(TShiftStateItem::ssRight);
  if (b & Qt::MiddleButton) s = s.With(TShiftStateItem::ssMiddle);
  if (event.type() == QEvent::MouseButtonDblClick) s = s.With(TShiftStateItem::ssDouble);
  return s;
}

TMouseButton ButtonOf(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton:
      return TMouseButton::mbRight;
    case Qt::MiddleButton:
      return TMouseButton::mbMiddle;
    default:
      return TMouseButton::mbLeft;
  }
}

}  // namespace ui
