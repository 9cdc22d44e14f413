// What the standard controls put into their pixels, and how they answer input and cancel-mode.
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <memory>
#include <set>

#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "ui/bridge.h"
#include "ui/extctrls.h"
#include "ui/stdctrls.h"
#include "ui/text.h"
#include "ui_test_support.h"

namespace {

using uitest::UiTest;

class PaintTest : public UiTest {};

std::uint32_t Rgb(TColor c) {
  const win::COLORREF r = ColorToRGB(c);
  return (std::uint32_t(win::GetRValue(r)) << 16) | (std::uint32_t(win::GetGValue(r)) << 8) |
         win::GetBValue(r);
}

TEST_F(PaintTest, PanelBevelsAndCaption) {
  TPanel panel(nullptr);
  panel.SetBounds(0, 0, 80, 30);
  panel.SetColor(win::RGB(0x1F, 0xB1, 0xEC));
  panel.Widget()->resize(80, 30);
  panel.PaintWindow();
  PaintBuffer& b = *panel.Buffer();
  struct Case {
    int x, y;
    TColor color;
    const char* why;
  } cases[] = {
      {0, 0, clBtnHighlight, "raised bevel: light top-left"},
      {40, 0, clBtnHighlight, "top edge"},
      {0, 15, clBtnHighlight, "left edge"},
      {79, 15, clBtnShadow, "raised bevel: dark right"},
      {40, 29, clBtnShadow, "bottom edge"},
      {1, 1, win::RGB(0x1F, 0xB1, 0xEC), "inside: the colour"},
  };
  for (const Case& c : cases) EXPECT_EQ(b.Pixel(c.x, c.y), Rgb(c.color)) << c.why;

  // A caption puts its text colour into the middle of the panel, nowhere near the edges.
  auto textPixels = [&](int x0, int x1) {
    int n = 0;
    for (int y = 1; y < 29; ++y)
      for (int x = x0; x < x1; ++x) n += b.Pixel(x, y) == Rgb(clWindowText);
    return n;
  };
  EXPECT_EQ(textPixels(1, 79), 0);
  panel.SetCaption("Panel");
  panel.PaintWindow();
  EXPECT_GT(textPixels(20, 60), 0) << "no centred caption";
  EXPECT_EQ(textPixels(1, 12) + textPixels(68, 79), 0) << "caption not centred";
}

TEST_F(PaintTest, TransparentLabelLeavesTheParentBelowItsText) {
  TPanel panel(nullptr);
  panel.SetBevelOuter(TBevelCut::bvNone);
  panel.SetColor(clRed);
  panel.SetBounds(0, 0, 100, 40);
  auto* opaque = new TLabel(&panel);
  opaque->SetParent(&panel);
  opaque->SetAutoSize(false);
  opaque->SetBounds(0, 0, 50, 20);
  opaque->SetParentColor(false);
  opaque->SetColor(clLime);
  auto* clear = new TLabel(&panel);
  clear->SetParent(&panel);
  clear->SetAutoSize(false);
  clear->SetBounds(50, 0, 50, 20);
  clear->SetColor(clLime);
  clear->SetTransparent(true);
  panel.Widget()->resize(100, 40);
  panel.PaintWindow();
  EXPECT_EQ(panel.Buffer()->Pixel(25, 10), 0x00FF00u) << "an opaque label fills its colour";
  EXPECT_EQ(panel.Buffer()->Pixel(75, 10), 0xFF0000u) << "a transparent one shows its parent";
}

// A windowed control flagged transparent starts from what its parent shows at its place: the
// parent's colour and the parent's graphic children, not a fill of its own colour.
class ClearWindow : public TCustomControl {
 public:
  explicit ClearWindow(TComponent* owner) : TCustomControl(owner) {
    SetTransparentFlag(true);
    SetColor(clBlue);
  }
};

TEST_F(PaintTest, TransparentWindowShowsItsParentsPixels) {
  TPanel panel(nullptr);
  panel.SetBevelOuter(TBevelCut::bvNone);
  panel.SetColor(clRed);
  panel.SetBounds(0, 0, 100, 40);
  auto* label = new TLabel(&panel);
  label->SetParent(&panel);
  label->SetAutoSize(false);
  label->SetBounds(30, 0, 20, 40);
  label->SetParentColor(false);
  label->SetColor(clLime);
  auto* clear = new ClearWindow(&panel);
  clear->SetBounds(20, 10, 40, 20);
  clear->SetParent(&panel);
  panel.Widget()->resize(100, 40);
  clear->Widget()->resize(40, 20);
  clear->PaintWindow();
  const PaintBuffer& b = *clear->Buffer();
  EXPECT_EQ(b.Pixel(5, 5), 0xFF0000u) << "the parent's colour below";
  EXPECT_EQ(b.Pixel(15, 5), 0x00FF00u) << "the parent's label at (30, 10) shows at (10, 0)";
  EXPECT_EQ(b.Pixel(35, 15), 0xFF0000u);
}

// Captions are GDI text: at the UI size Chinese comes from the 12-pixel bitmap strike, so a
// caption has only the text colour and the background, and Latin is measured as DrawText
// measures it.
TEST_F(PaintTest, CaptionsAreDrawnAndMeasuredByGdiText) {
  TPanel panel(nullptr);
  panel.SetBevelOuter(TBevelCut::bvNone);
  panel.SetColor(clWhite);
  panel.SetBounds(0, 0, 120, 30);
  panel.SetCaption("\xCE\xC4\xBC\xFE\xBC\xD0");  // "文件夹" in code page 936
  panel.Widget()->resize(120, 30);
  panel.PaintWindow();
  const PaintBuffer& b = *panel.Buffer();
  int ink = 0, shades = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const std::uint32_t p = b.Pixel(x, y);
      if (p == 0)
        ++ink;
      else if (p != 0xFFFFFFu)
        ++shades;
    }
  EXPECT_GT(ink, 40) << "no caption drawn";
  EXPECT_EQ(shades, 0) << "Chinese at the UI size was not drawn from the bitmap strike";

  TFont font;
  const AnsiString latin = "Thumbnail Folder";
  const win::HDC dc = win::CreateCompatibleDC(nullptr);
  const win::HGDIOBJ old = win::SelectObject(dc, font.Handle());
  win::SIZE gdi{};
  win::GetTextExtentPoint32A(dc, latin.data(), int(latin.size()), &gdi);
  win::SelectObject(dc, old);
  win::DeleteDC(dc);
  const win::SIZE caption = ui::CaptionExtent(font, latin);
  EXPECT_EQ(caption.cx, gdi.cx);
  EXPECT_EQ(caption.cy, 13) << "the UI font's cell";
  EXPECT_EQ(ui::CaptionExtent(font, "").cy, 13) << "an empty text is one line high";
  const AnsiString words = "one two three four five six";
  const int wrapped = ui::CaptionHeight(font, words, 40);
  EXPECT_GE(wrapped, 3 * 13) << "word breaking did not wrap inside the width";
  EXPECT_EQ(wrapped % 13, 0);
  EXPECT_EQ(ui::CaptionHeight(font, words, 1000), 13);
}

// Qt's widgets get the faces GDI text resolves to: Chinese from the strike, drawn without
// shades, in an edit as in a caption.
TEST_F(PaintTest, WrappedWidgetsShowTheSameChineseFace) {
  TEdit edit(nullptr);
  edit.SetBounds(0, 0, 120, 21);
  const QFont font = ui::ToQFont(edit.Font());
  ASSERT_EQ(font.families().size(), 2);
  EXPECT_EQ(font.families()[0], "DejaVu Sans");
  EXPECT_EQ(font.families()[1], "WenQuanYi Zen Hei Sharp");
  EXPECT_EQ(font.pixelSize(), 12) << "the strike's own size";
  QImage image(60, 20, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(2, 15, QString::fromUtf8("\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9"));
  }
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  EXPECT_EQ(colours.size(), 2u) << "Qt drew the Chinese from an outline";
}

TEST_F(PaintTest, PictureViewDrawsIntoItsParentStretchedOrNot) {
  auto picture = std::make_unique<TBitmap>();
  picture->SetWidth(4);
  picture->SetHeight(4);
  picture->Canvas().Brush().SetColor(clBlue);
  picture->Canvas().FillRect(Rect(0, 0, 4, 4));
  picture->Canvas().Brush().SetColor(clYellow);
  picture->Canvas().FillRect(Rect(2, 2, 4, 4));
  struct Case {
    bool stretch;
    int x, y;
    std::uint32_t rgb;
  } cases[] = {
      {false, 11, 11, 0x0000FF}, {false, 13, 13, 0xFFFF00}, {false, 20, 20, 0xFF0000},
      {true, 15, 15, 0x0000FF},  {true, 25, 25, 0xFFFF00},  {true, 29, 29, 0xFFFF00},
      {true, 31, 31, 0xFF0000},
  };
  for (const Case& c : cases) {
    TPanel panel(nullptr);
    panel.SetBevelOuter(TBevelCut::bvNone);
    panel.SetColor(clRed);
    panel.SetBounds(0, 0, 40, 40);
    auto* image = new TImage(&panel);
    image->SetParent(&panel);
    image->SetBounds(10, 10, 20, 20);
    image->SetStretch(c.stretch);
    image->SetPicture(picture.get());
    panel.Widget()->resize(40, 40);
    panel.PaintWindow();
    EXPECT_EQ(panel.Buffer()->Pixel(c.x, c.y), c.rgb)
        << (c.stretch ? "stretched " : "plain ") << c.x << "," << c.y;
  }
  // Sized to its picture.
  TPanel panel(nullptr);
  auto* image = new TImage(&panel);
  image->SetParent(&panel);
  image->SetAutoSize(true);
  image->SetPicture(picture.get());
  EXPECT_EQ(image->Width(), 4);
  EXPECT_EQ(image->Height(), 4);
}

TEST_F(PaintTest, FailureDisplayCancelsASplitterDrag) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(0, 0, 400, 100);
  auto* left = new TPanel(form.get());
  left->SetBounds(0, 0, 100, 100);
  left->SetAlign(TAlign::alLeft);
  left->SetParent(form.get());
  auto* split = new TSplitter(form.get());
  split->SetBounds(100, 0, 4, 100);
  split->SetParent(form.get());
  form->Show();
  QWidget* w = form->Widget();
  auto send = [&](QEvent::Type type, int x, Qt::MouseButtons held) {
    const QPointF at(x, 50);
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  };
  send(QEvent::MouseButtonPress, 102, Qt::LeftButton);
  ASSERT_EQ(split->ResizeControl(), left);
  send(QEvent::MouseMove, 150, Qt::LeftButton);
  Application->HandleException(std::make_exception_ptr(EConvertError("x")));
  EXPECT_EQ(split->ResizeControl(), nullptr) << "the drag outlived the cancel-mode";
  EXPECT_FALSE(split->MouseCapture());
  send(QEvent::MouseButtonRelease, 150, Qt::NoButton);
  EXPECT_EQ(left->Width(), 100) << "a cancelled drag resized the panel";
}

TEST_F(PaintTest, EditTextFollowsTheWidgetBothWays) {
  auto form = std::make_unique<TForm>(nullptr);
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetText("200");
  auto* line = static_cast<QLineEdit*>(edit->Widget());
  EXPECT_EQ(line->text(), "200");
  EXPECT_EQ(changes, 1);
  line->setText(QString::fromUtf8("宽度 300"));  // as typing would
  EXPECT_EQ(edit->Text(), "\xBF\xED\xB6\xC8 300");
  EXPECT_EQ(changes, 2);
  edit->SetText("\xBF\xED\xB6\xC8 300");  // no change, no event
  EXPECT_EQ(changes, 2);
}

}  // namespace
