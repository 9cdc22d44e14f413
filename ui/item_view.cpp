#include "ui/item_view.h"

#include <QApplication>
#include <QPainter>

#include "ui/bridge.h"
#include "ui/text.h"

namespace ui::detail {

namespace {

QColor TextColour(const QStyleOptionViewItem& option) {
  const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (option.state & QStyle::State_Active) ? QPalette::Active
                                                                             : QPalette::Inactive;
  if (option.state & QStyle::State_Selected)
    return option.palette.color(group, QPalette::HighlightedText);
  return option.palette.color(group, QPalette::Text);
}

}  // namespace

void GdiTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QWidget* widget = opt.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
  const AnsiString text = FromQString(opt.text);
  // The item's foreground (a drop highlight's) wins over the palette's.
  const QVariant foreground = index.data(Qt::ForegroundRole);
  const QColor colour = foreground.canConvert<QBrush>() && !(opt.state & QStyle::State_Selected)
                            ? foreground.value<QBrush>().color()
                            : TextColour(opt);
  opt.text.clear();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  const QRect r = textRect.adjusted(margin, 0, -margin, 0);
  if (text.empty() || r.width() <= 0 || r.height() <= 0 || !mask_.Resize(r.width(), r.height()))
    return;
  TCanvas& canvas = mask_.Canvas();
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(clBlack);
  canvas.FillRect({0, 0, r.width(), r.height()});
  canvas.Font().CopyFrom(&font_);
  canvas.Font().SetColor(clWhite);
  ui::DrawCaption(canvas, text, {0, 0, r.width(), r.height()},
                  tfLeft | tfVCenter | tfSingleLine | tfNoPrefix | tfEndEllipsis);
  // White on black is the coverage: the text colour at that opacity over what Qt drew.
  QImage ink(r.size(), QImage::Format_ARGB32_Premultiplied);
  const QImage mask = mask_.Image();
  const int red = colour.red(), green = colour.green(), blue = colour.blue();
  for (int y = 0; y < r.height(); ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
    auto* to = reinterpret_cast<QRgb*>(ink.scanLine(y));
    for (int x = 0; x < r.width(); ++x) {
      const int a = qGreen(from[x]);
      to[x] = qRgba(red * a / 255, green * a / 255, blue * a / 255, a);
    }
  }
  painter->drawImage(r.topLeft(), ink);
}

QSize GdiTextDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  if (rowHeight_ > 0) size.setHeight(rowHeight_);
  return size;
}

}  // namespace ui::detail
