#include "ui/text.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "ui/bridge.h"

namespace ui {

namespace {

int QtFlags(std::uint32_t format) {
  int flags = 0;
  flags |= (format & tfCenter)  ? Qt::AlignHCenter
           : (format & tfRight) ? Qt::AlignRight
                                : Qt::AlignLeft;
  flags |= (format & tfVCenter)  ? Qt::AlignVCenter
           : (format & tfBottom) ? Qt::AlignBottom
                                 : Qt::AlignTop;
  if ((format & tfWordBreak) && !(format & tfSingleLine)) flags |= Qt::TextWordWrap;
  if (format & tfSingleLine) flags |= Qt::TextSingleLine;
  if (format & tfExpandTabs) flags |= Qt::TextExpandTabs;
  if (!(format & tfNoPrefix)) flags |= Qt::TextShowMnemonic;
  return flags;
}

}  // namespace

void DrawCaption(TCanvas& canvas, const AnsiString& text, const win::RECT& rect,
                 std::uint32_t format) {
  if (text.empty()) return;
  canvas.RequiredState(csHandleValid);
  win::HDC dc = canvas.CurrentHandle();
  win::DIBSECTION dib{};
  win::HGDIOBJ bitmap = win::GetCurrentObject(dc, win::OBJ_BITMAP);
  if (bitmap == nullptr || win::GetObjectA(bitmap, sizeof dib, &dib) != int(sizeof dib) ||
      dib.dsBm.bmBits == nullptr || dib.dsBm.bmBitsPixel != 32 || dib.dsBmih.biHeight >= 0)
    return;  // only the top-down 32-bit surfaces of this layer
  QImage image(static_cast<uchar*>(dib.dsBm.bmBits), dib.dsBm.bmWidth, dib.dsBm.bmHeight,
               dib.dsBm.bmWidthBytes, QImage::Format_RGB32);
  win::POINT origin{0, 0};
  win::GetViewportOrgEx(dc, &origin);
  win::RECT clip{};
  QPainter painter(&image);
  painter.translate(origin.x, origin.y);
  if (win::GetClipBox(dc, &clip) != 0)  // clip box is in logical coordinates
    painter.setClipRect(QRect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top));
  painter.setFont(ToQFont(canvas.Font()));
  painter.setPen(ToQColor(canvas.Font().Color()));
  const QRect r(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  QString s = ToQString(text);
  if (format & tfEndEllipsis) s = painter.fontMetrics().elidedText(s, Qt::ElideRight, r.width());
  painter.drawText(r, QtFlags(format), s);
}

win::SIZE CaptionExtent(TFont& font, const AnsiString& text) {
  const QFontMetrics metrics(ToQFont(font));
  const QString s = ToQString(text);
  return {metrics.horizontalAdvance(s), metrics.height()};
}

int CaptionHeight(TFont& font, const AnsiString& text, int width) {
  const QFontMetrics metrics(ToQFont(font));
  return metrics
      .boundingRect(QRect(0, 0, std::max(width, 1), 100000), Qt::TextWordWrap, ToQString(text))
      .height();
}

}  // namespace ui
