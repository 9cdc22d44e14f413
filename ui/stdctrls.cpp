#include "ui/stdctrls.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/bridge.h"
#include "ui/guard.h"
#include "ui/text.h"

void Frame3D(TCanvas& canvas, win::RECT& rect, TColor topLeft, TColor bottomRight, int width) {
  TPen& pen = canvas.Pen();
  pen.SetWidth(1);
  pen.SetStyle(TPenStyle::psSolid);
  for (int i = 0; i < width; ++i) {
    const int l = rect.left, t = rect.top, r = rect.right - 1, b = rect.bottom - 1;
    if (r < l || b < t) return;
    pen.SetColor(topLeft);
    canvas.MoveTo(l, b);
    canvas.LineTo(l, t);
    canvas.LineTo(r, t);
    pen.SetColor(bottomRight);
    canvas.LineTo(r, b);
    canvas.LineTo(l - 1, b);
    rect = Rect(rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1);
  }
}

namespace {

std::uint32_t HorizontalFormat(TAlignment a) {
  switch (a) {
    case TAlignment::taCenter:
      return ui::tfCenter;
    case TAlignment::taRightJustify:
      return ui::tfRight;
    default:
      return ui::tfLeft;
  }
}

}  // namespace

// --- TPanel ------------------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TPanel::SetBevelInner(TBevelCut value) {
  if (value == bevelInner_) return;
  bevelInner_ = value;
  Realign();
  Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut value) {
  if (value == bevelOuter_) return;
  bevelOuter_ = value;
  Realign();
  Invalidate();
}

void TPanel::SetBevelWidth(int value) {
  value = std::max(value, 1);
  if (value == bevelWidth_) return;
  bevelWidth_ = value;
  Realign();
  Invalidate();
}

void TPanel::SetBorderWidth(int value) {
  value = std::max(value, 0);
  if (value == borderWidth_) return;
  borderWidth_ = value;
  Realign();
  Invalidate();
}

void TPanel::AdjustClientRect(win::RECT& rect) const {
  int inset = borderWidth_;
  if (bevelOuter_ != TBevelCut::bvNone) inset += bevelWidth_;
  if (bevelInner_ != TBevelCut::bvNone) inset += bevelWidth_;
  rect = Rect(rect.left + inset, rect.top + inset, rect.right - inset, rect.bottom - inset);
}

void TPanel::Paint() {
  TCanvas& canvas = Canvas();
  win::RECT r = ClientRect();
  auto bevel = [&](TBevelCut cut) {
    if (cut == TBevelCut::bvNone) return;
    const bool raised = cut == TBevelCut::bvRaised;
    if (cut == TBevelCut::bvSpace)
      Frame3D(canvas, r, Color(), Color(), bevelWidth_);
    else
      Frame3D(canvas, r, raised ? clBtnHighlight : clBtnShadow,
              raised ? clBtnShadow : clBtnHighlight, bevelWidth_);
  };
  bevel(bevelOuter_);
  Frame3D(canvas, r, Color(), Color(), borderWidth_);
  bevel(bevelInner_);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(r);
  canvas.Font().CopyFrom(&Font());
  ui::DrawCaption(canvas, Caption(), r,
                  HorizontalFormat(alignment_) | ui::tfVCenter | ui::tfSingleLine);
}

// --- TLabel ------------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

void TLabel::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  AdjustBounds();
}

void TLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TLabel::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TLabel::TextChanged() {
  AdjustBounds();
  Invalidate();
}

void TLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

void TLabel::AdjustBounds() {
  if (!autoSize_ || Loading()) return;
  if (wordWrap_) {
    SetBounds(
        Left(), Top(), Width(),
        ui::CaptionHeight(Font(), Caption().empty() ? " " : Caption(), Width(), ui::tfExpandTabs));
    return;
  }
  // An empty caption measures as one blank, so the label keeps a size to be seen by.
  const win::SIZE size =
      ui::CaptionExtent(Font(), Caption().empty() ? " " : Caption(), ui::tfExpandTabs);
  // A right-aligned label grows to the left, as its right edge is what was placed.
  const int left = alignment_ == TAlignment::taRightJustify ? Left() + Width() - size.cx : Left();
  SetBounds(left, Top(), size.cx, size.cy);
}

void TLabel::Paint(TCanvas& canvas) {
  const win::RECT r = ClientRect();
  if (!Transparent()) {
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(Color());
    canvas.FillRect(r);
  }
  canvas.Font().CopyFrom(&Font());
  if (!Enabled()) canvas.Font().SetColor(clGrayText);
  std::uint32_t format = HorizontalFormat(alignment_) | ui::tfExpandTabs;
  if (wordWrap_) format |= ui::tfWordBreak;
  if (layout_ == TTextLayout::tlCenter) format |= ui::tfVCenter;
  if (layout_ == TTextLayout::tlBottom) format |= ui::tfBottom;
  ui::DrawCaption(canvas, Caption(), r, format);
}

// --- TEdit -------------------------------------------------------------------------------

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetWrapped(true);
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 21);
}

QWidget* TEdit::CreateWidget(QWidget* parentWidget) {
  auto* edit = new QLineEdit(parentWidget);
  edit->setText(ui::ToQString(text_));
  edit->setReadOnly(readOnly_);
  if (maxLength_ > 0) edit->setMaxLength(maxLength_);
  QObject::connect(edit, &QLineEdit::textChanged, [this] {
    if (settingText_) return;
    ui::Guard([this] {
      text_ = ui::FromQString(Edit()->text());
      if (OnChange) OnChange(this);
    });
  });
  return edit;
}

QLineEdit* TEdit::Edit() {
  return static_cast<QLineEdit*>(Widget());
}

AnsiString TEdit::Text() const {
  return text_;
}

void TEdit::SetText(const AnsiString& value) {
  if (value == text_) return;
  text_ = value;
  if (HandleAllocated()) {
    settingText_ = true;
    Edit()->setText(ui::ToQString(value));
    settingText_ = false;
  }
  if (OnChange) OnChange(this);
}

void TEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (HandleAllocated()) Edit()->setReadOnly(value);
}

void TEdit::SetMaxLength(int value) {
  maxLength_ = std::max(value, 0);
  if (HandleAllocated()) Edit()->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
}

void TEdit::SelectAll() {
  Edit()->selectAll();
}

// --- TMemo -------------------------------------------------------------------------------

int TMemoLines::Count() const {
  // An empty memo has no lines; one holding "" as its only line has one.
  return int(memo_.lines_data_.size());
}

AnsiString TMemoLines::Strings(int index) const {
  if (index < 0 || index >= Count()) return {};
  return memo_.lines_data_[std::size_t(index)];
}

void TMemoLines::Add(const AnsiString& line) {
  memo_.lines_data_.push_back(line);
  memo_.Store();
}

void TMemoLines::Clear() {
  memo_.lines_data_.clear();
  memo_.Store();
}

AnsiString TMemoLines::Text() const {
  AnsiString text;
  for (const AnsiString& line : memo_.lines_data_) text += line + "\r\n";
  return text;
}

void TMemoLines::SetText(const AnsiString& text) {
  memo_.SetText(text);
}

TMemo::TMemo(TComponent* owner) : TWinControl(owner), lines_(*this) {
  SetWrapped(true);
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
}

QWidget* TMemo::CreateWidget(QWidget* parentWidget) {
  auto* edit = new QPlainTextEdit(parentWidget);
  settingText_ = true;
  edit->setPlainText(ui::ToQString(Text()));
  settingText_ = false;
  QObject::connect(edit, &QPlainTextEdit::textChanged, [this, edit] {
    if (settingText_) return;
    ui::Guard([this, edit] {
      lines_data_.clear();
      for (const QString& line : edit->toPlainText().split(QLatin1Char('\n')))
        lines_data_.push_back(ui::FromQString(line));
      if (OnChange) OnChange(this);
    });
  });
  return edit;
}

AnsiString TMemo::Text() const {
  AnsiString text;
  for (std::size_t i = 0; i < lines_data_.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines_data_[i];
  }
  return text;
}

void TMemo::SetText(const AnsiString& value) {
  lines_data_.clear();
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find('\n', start);
    AnsiString line = value.substr(start, end == AnsiString::npos ? AnsiString::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (end == AnsiString::npos) {
      if (!line.empty()) lines_data_.push_back(line);
      break;
    }
    lines_data_.push_back(line);
    start = end + 1;
  }
  Store();
}

void TMemo::Store() {
  if (HandleAllocated()) {
    settingText_ = true;
    static_cast<QPlainTextEdit*>(Widget())->setPlainText(ui::ToQString(Text()));
    settingText_ = false;
  }
  if (OnChange) OnChange(this);
}

// --- TButton -----------------------------------------------------------------------------

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetWrapped(true);
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
}

QWidget* TButton::CreateWidget(QWidget* parentWidget) {
  auto* button = new QPushButton(ui::ToQString(Caption()), parentWidget);
  button->setDefault(default_);
  QObject::connect(button, &QPushButton::clicked, [this] { ui::Guard([this] { Click(); }); });
  return button;
}

void TButton::TextChanged() {
  if (HandleAllocated()) static_cast<QPushButton*>(Widget())->setText(ui::ToQString(Caption()));
}

void TButton::SetDefault(bool value) {
  default_ = value;
  if (HandleAllocated()) static_cast<QPushButton*>(Widget())->setDefault(value);
}

void TButton::Click() {
  TWinControl::Click();
}

// --- TGroupBox ---------------------------------------------------------------------------

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 105);
}

void TGroupBox::AdjustClientRect(win::RECT& rect) const {
  const int captionHeight = ui::CaptionExtent(const_cast<TGroupBox*>(this)->Font(), "0").cy;
  rect = Rect(rect.left + 2, rect.top + captionHeight, rect.right - 2, rect.bottom - 2);
}

void TGroupBox::Paint() {
  TCanvas& canvas = Canvas();
  canvas.Font().CopyFrom(&Font());
  const win::SIZE text = ui::CaptionExtent(Font(), Caption(), ui::tfSingleLine);
  // The etched frame runs through the middle of the caption line.
  win::RECT frame = Rect(0, text.cy / 2, Width(), Height());
  win::RECT outer = frame;
  Frame3D(canvas, outer, clBtnShadow, clBtnHighlight, 1);
  Frame3D(canvas, outer, clBtnHighlight, clBtnShadow, 1);
  if (Caption().empty()) return;
  const win::RECT captionRect = Bounds(8, 0, text.cx + 2, text.cy);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(captionRect);
  ui::DrawCaption(canvas, Caption(), Bounds(9, 0, text.cx, text.cy), ui::tfSingleLine);
}
