#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <memory>

#include "app/move_panel.h"
#include "app/unit1.h"
#include "browse/shell_tree.h"
#include "clip/strings.h"
#include "imaging/bitmap.h"
#include "imaging/clipboard.h"
#include "imaging/picture.h"
#include "platform/shell/shell.h"
#include "runtime/exceptions.h"
#include "tests/support/failure_message.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_test_support.h"
#include "ui/dialogs.h"
#include "ui/extctrls.h"
#include "ui/list_box.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"
#include "widgets/rz_bmp_button.h"
#include "widgets/rz_button.h"
#include "widgets/rz_list_box.h"
#include "widgets/rz_panel.h"
#include "widgets/rz_url_label.h"

namespace {

class MainWindowTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    form_ = std::make_unique<TForm1>(nullptr);
  }
  TControl* Control(const char* name) {
    auto* c = dynamic_cast<TControl*>(form_->FindComponent(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  std::unique_ptr<TForm1> form_;
};

struct ControlCase {
  const char* name;
  const char* className;
  const char* parent;
  win::RECT bounds;
  bool visible;
};

// Rectangles after alignment and anchoring.
const ControlCase kControls[] = {
    {"MovePanel1", "TMovePanel", "Form1", Bounds(0, 0, 951, 35), true},
    {"Image3", "TImage", "MovePanel1", Bounds(0, 0, 917, 10), true},
    {"RzBmpButton1", "TRzBmpButton", "MovePanel1", Bounds(915, -1, 38, 18), true},
    {"RzPanel1", "TRzPanel", "Form1", Bounds(0, 35, 951, 583), true},
    {"RzPanel2", "TRzPanel", "RzPanel1", Bounds(2, 2, 173, 551), true},
    {"Splitter1", "TSplitter", "RzPanel1", Bounds(175, 2, 4, 551), true},
    {"RzPanel7", "TRzPanel", "RzPanel1", Bounds(179, 2, 185, 551), true},
    {"Splitter2", "TSplitter", "RzPanel1", Bounds(364, 2, 4, 551), true},
    {"RzPanel4", "TRzPanel", "RzPanel1", Bounds(368, 2, 581, 551), true},
    {"rpBottom", "TRzPanel", "RzPanel1", Bounds(2, 553, 947, 28), true},
    {"Label3", "TLabel", "RzPanel2", Bounds(8, 13, 97, 13), true},
    {"ShellTreeView1", "TRzShellTree", "RzPanel2", Bounds(4, 32, 165, 509), true},
    {"Label4", "TLabel", "RzPanel7", Bounds(8, 10, 41, 13), true},
    {"RzListBox1", "TRzListBox", "RzPanel7", Bounds(5, 31, 173, 512), true},
    {"RzPanel5", "TRzPanel", "RzPanel4", Bounds(8, 12, 566, 315), true},
    {"RzPanel6", "TRzPanel", "RzPanel4", Bounds(8, 333, 566, 209), true},
    {"StatusBar1", "TRzStatusBar", "RzPanel4", Bounds(0, 532, 581, 19), false},
    {"ScrollBox1", "TScrollBox", "RzPanel5", Bounds(8, 7, 550, 301), true},
    {"Image1", "TImage", "ScrollBox1", Bounds(0, 0, 300, 300), true},
    {"ScrollBox2", "TScrollBox", "RzPanel6", Bounds(8, 8, 300, 193), true},
    {"GroupBox1", "TGroupBox", "RzPanel6", Bounds(338, 9, 220, 186), true},
    {"Label1", "TLabel", "GroupBox1", Bounds(15, 24, 73, 13), true},
    {"Edit1", "TEdit", "GroupBox1", Bounds(78, 22, 132, 21), true},
    {"RzButton2", "TRzButton", "GroupBox1", Bounds(77, 53, 134, 49), true},
    {"RzButton3", "TRzButton", "GroupBox1", Bounds(77, 104, 134, 47), true},
    {"Button1", "TButton", "GroupBox1", Bounds(9, 136, 75, 25), false},
    {"Label2", "TLabel", "GroupBox1", Bounds(264, 64, 73, 13), false},
    {"Memo1", "TMemo", "GroupBox1", Bounds(269, 48, 153, 9), false},
    {"RzURLLabel1", "TRzURLLabel", "rpBottom", Bounds(711, 8, 229, 13), true},
};

TEST_F(MainWindowTest, EveryControlHasItsClassParentRectangleAndVisibility) {
  EXPECT_EQ(form_->ClientWidth(), 951);
  EXPECT_EQ(form_->ClientHeight(), 618);
  for (const ControlCase& c : kControls) {
    SCOPED_TRACE(c.name);
    TControl* control = Control(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_STREQ(control->ClassName(), c.className);
    ASSERT_NE(control->Parent(), nullptr);
    EXPECT_EQ(control->Parent()->Name(), c.parent);
    const win::RECT r = control->BoundsRect();
    EXPECT_EQ(r.left, c.bounds.left);
    EXPECT_EQ(r.top, c.bounds.top);
    EXPECT_EQ(r.right, c.bounds.right);
    EXPECT_EQ(r.bottom, c.bounds.bottom);
    EXPECT_EQ(control->Visible(), c.visible);
  }
}

TEST_F(MainWindowTest, TabOrders) {
  const std::vector<std::pair<const char*, std::vector<const char*>>> cases = {
      {"Form1", {"RzPanel1", "MovePanel1"}},
      {"RzPanel1", {"RzPanel2", "RzPanel7", "RzPanel4", "rpBottom"}},
      {"RzPanel4", {"RzPanel5", "RzPanel6", "StatusBar1"}},
      {"RzPanel6", {"GroupBox1", "ScrollBox2"}},
      {"GroupBox1", {"Edit1", "Memo1", "Button1", "RzButton2", "RzButton3"}},
  };
  for (const auto& [parent, order] : cases) {
    SCOPED_TRACE(parent);
    TWinControl* p = std::string(parent) == "Form1"
                         ? form_.get()
                         : dynamic_cast<TWinControl*>(form_->FindComponent(parent));
    ASSERT_NE(p, nullptr);
    std::vector<std::string> names;
    for (TWinControl* c : p->TabList()) names.push_back(c->Name());
    EXPECT_EQ(names, std::vector<std::string>(order.begin(), order.end()));
  }
}

TEST_F(MainWindowTest, HandlersAreBoundByName) {
  for (const char* name : {"RzBmpButton1", "RzURLLabel1", "ShellTreeView1", "RzListBox1",
                           "RzButton2", "RzButton3", "Button1"}) {
    EXPECT_TRUE(bool(Control(name)->OnClick)) << name;
  }
  EXPECT_TRUE(bool(Control("ScrollBox1")->OnMouseWheel));
  EXPECT_FALSE(bool(Control("MovePanel1")->OnMouseDown));
  for (const char* name : {"N1", "N2", "N3", "N4"}) {
    auto* item = dynamic_cast<TMenuItem*>(form_->FindComponent(name));
    ASSERT_NE(item, nullptr) << name;
    EXPECT_TRUE(bool(item->OnClick)) << name;
  }
  EXPECT_EQ(Control("RzListBox1")->PopupMenu(), form_->FindComponent("PopupMenu1"));
  EXPECT_EQ(Control("Image1")->PopupMenu(), form_->FindComponent("PopupImgPaste"));
}

TEST_F(MainWindowTest, StartState) {
  EXPECT_EQ(form_->Edit1->Text(), "200");
  EXPECT_EQ(dynamic_cast<TListBox*>(Control("RzListBox1"))->Items().Count(), 0);
  EXPECT_EQ(form_->Image2->Picture().Graphic(), nullptr);
  // The stored pictures: the placeholder and the banner tile as JPEG, at their sizes.
  struct PictureCase {
    const char* name;
    int width, height;
  };
  for (const PictureCase& c : {PictureCase{"Image1", 300, 300}, PictureCase{"Image3", 16, 19}}) {
    SCOPED_TRACE(c.name);
    auto* image = dynamic_cast<TImage*>(Control(c.name));
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->Picture().Graphic(), nullptr);
    EXPECT_STREQ(image->Picture().Graphic()->ClassName(), "TJPEGImage");
    EXPECT_EQ(image->Picture().Width(), c.width);
    EXPECT_EQ(image->Picture().Height(), c.height);
  }
  // The placeholder's field is blue: sample its top-left corner after decoding.
  TBitmap probe;
  probe.SetWidth(300);
  probe.SetHeight(300);
  probe.Canvas().Draw(0, 0, form_->Image1->Picture().Graphic());
  const TColor corner = probe.Canvas().Pixels(5, 5);
  EXPECT_GT(int(corner >> 16 & 0xFF), int(corner & 0xFF) + 60) << std::hex << corner;
  EXPECT_EQ(Control("MovePanel1")->Caption().rfind("   ", 0), 0u);
  EXPECT_EQ(Control("MovePanel1")->Color(), win::RGB(0x1F, 0xB1, 0xEC));
  EXPECT_TRUE(Control("MovePanel1")->Font().Style().Contains(TFontStyle::fsBold));
}

TEST_F(MainWindowTest, WidthTextThatIsNoNumberShowsTheConversionFailure) {
  Application->SetTitle("Suotu");
  form_->Edit1->SetText("abc");
  try {
    form_->Button1Click(nullptr);
    FAIL() << "no failure";
  } catch (const EConvertError& e) {
    Application->ShowException(e);
  }
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "'abc' is not a valid integer value.");
  EXPECT_EQ(boxes_[0].caption, "Suotu");
  EXPECT_EQ(boxes_[0].flags, 16u);
}

struct WheelCase {
  const char* what;
  int start;
  int delta;
  int expected;  // -1: the largest position
};

TEST_F(MainWindowTest, WheelMovesOneIncrementAndStopsAtTheEnds) {
  // A picture taller than the box, so the vertical bar has somewhere to go.
  form_->Image1->SetBounds(0, 0, 300, 900);
  form_->ScrollBox1->UpdateScrollBars();
  TControlScrollBar& bar = form_->ScrollBox1->VertScrollBar();
  ASSERT_GT(bar.MaxPosition(), 16);
  const int max = bar.MaxPosition();
  const WheelCase cases[] = {
      {"down from the top", 0, -120, 8},
      {"up from 16", 16, 120, 8},
      {"up at the top", 0, 120, 0},
      {"up from 3", 3, 120, 0},
      {"down at the bottom", max, -120, -1},
      {"huge delta", 0, -1200, 8},
      {"zero delta", 16, 0, 16},
  };
  for (const WheelCase& c : cases) {
    SCOPED_TRACE(c.what);
    bar.SetPosition(c.start);
    bool handled = false;
    form_->ScrollBox1MouseWheel(form_->ScrollBox1, {}, c.delta, {0, 0}, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(bar.Position(), c.expected < 0 ? max : c.expected);
  }
}

TEST_F(MainWindowTest, LinkShowsTheMessageOnlyWhenOpeningRaises) {
  std::string opened;
  win::SetShellOpenHandler([&](const std::string& target) {
    opened = target;
    return false;  // a page that does not open shows nothing
  });
  form_->RzURLLabel1Click(nullptr);
  EXPECT_EQ(opened, app::kMakerAddress);
  EXPECT_TRUE(boxes_.empty());
  win::SetShellOpenHandler([](const std::string&) -> bool { throw Exception("no shell"); });
  form_->RzURLLabel1Click(nullptr);
  win::SetShellOpenHandler(nullptr);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption, "\xB4\xED\xCE\xF3");
  EXPECT_EQ(boxes_[0].flags, 48u);
}

TEST_F(MainWindowTest, TitlePanelDragsWithTheLeftButtonOnly) {
  auto* panel = dynamic_cast<TMovePanel*>(Control("MovePanel1"));
  ASSERT_NE(panel, nullptr);
  struct Case {
    TMouseButton button;
    int dx, dy;
    int movedX, movedY;
  };
  const Case cases[] = {{TMouseButton::mbLeft, 40, -10, 40, -10},
                        {TMouseButton::mbRight, 40, -10, 0, 0},
                        {TMouseButton::mbLeft, -2000, -2000, -2000, -2000}};
  for (const Case& c : cases) {
    form_->SetBounds(100, 100, 951, 618);
    win::SetCursorPos(300, 120);
    panel->MouseDown(c.button, {}, 200, 20);
    win::SetCursorPos(300 + c.dx, 120 + c.dy);
    panel->MouseMove({}, 200, 20);
    panel->MouseUp(c.button, {}, 200, 20);
    EXPECT_EQ(form_->Left(), 100 + c.movedX);
    EXPECT_EQ(form_->Top(), 100 + c.movedY);
    EXPECT_FALSE(panel->Dragging());
  }
}

template <class T>
T& As(TComponent* c) {
  T* t = dynamic_cast<T*>(c);
  if (t == nullptr) throw Exception("not the class expected");
  return *t;
}

TEST_F(MainWindowTest, StoredSettingsReachTheStyledClasses) {
  auto panel = [&](const char* name) -> TRzPanel& { return As<TRzPanel>(Control(name)); };
  EXPECT_EQ(panel("RzPanel1").BorderOuter(), TFrameStyleEx::fsFlatBold);
  EXPECT_EQ(panel("RzPanel1").FlatColor(), win::RGB(0x2F, 0x88, 0xA2));
  EXPECT_EQ(panel("RzPanel1").BorderShadow(), win::RGB(0x2F, 0x88, 0xA2));
  EXPECT_EQ(panel("RzPanel1").VisualStyle(), TVisualStyle::vsGradient);
  EXPECT_EQ(panel("RzPanel5").BorderOuter(), TFrameStyleEx::fsFlatRounded);
  EXPECT_EQ(panel("RzPanel5").FlatColor(), win::RGB(0x92, 0xA6, 0x55));
  EXPECT_EQ(panel("rpBottom").GradientColorStyle(), TGradientColorStyle::gcsCustom);
  EXPECT_EQ(panel("rpBottom").GradientColorStart(), win::RGB(0xCD, 0xED, 0xF9));
  EXPECT_EQ(panel("rpBottom").GradientColorStop(), win::RGB(0xA7, 0xE0, 0xF8));
  EXPECT_EQ(panel("RzPanel2").BorderOuter(), TFrameStyleEx::fsNone);

  for (const char* name : {"RzButton2", "RzButton3"}) {
    SCOPED_TRACE(name);
    auto& button = As<TRzButton>(Control(name));
    EXPECT_TRUE(button.HotTrack());
    EXPECT_EQ(button.Color(), win::RGB(0xA2, 0xE0, 0xFF));
    EXPECT_EQ(button.FrameColor(), win::RGB(0x2F, 0x88, 0xA2));
  }
  EXPECT_EQ(As<TRzButton>(Control("RzButton2")).HighlightColor(), clWhite);

  auto& close = As<TRzBmpButton>(Control("RzBmpButton1"));
  EXPECT_EQ(close.Bitmaps().TransparentColor(), clOlive);
  for (TBitmap* face : {&close.Bitmaps().Up(), &close.Bitmaps().Hot(), &close.Bitmaps().Down()}) {
    EXPECT_EQ(face->Width(), 38);
    EXPECT_EQ(face->Height(), 18);
  }
  EXPECT_TRUE(close.Bitmaps().Disabled().IsEmpty());

  auto& list = As<TRzListBox>(Control("RzListBox1"));
  EXPECT_TRUE(list.Frame().Settings().frameVisible);
  EXPECT_EQ(list.Frame().Settings().frameColor, win::RGB(0xCD, 0xDA, 0xC0));
  EXPECT_FALSE(list.Frame().Settings().frameHotTrack);
  EXPECT_TRUE(list.MultiSelect());
  auto& tree = As<TRzShellTree>(Control("ShellTreeView1"));
  EXPECT_TRUE(tree.FrameVisible());
  EXPECT_TRUE(tree.FrameHotTrack());
  EXPECT_EQ(tree.FrameHotColor(), win::RGB(0xCD, 0xDA, 0xC0));
  EXPECT_EQ(tree.Indent(), 19);

  auto& link = As<TRzURLLabel>(Control("RzURLLabel1"));
  EXPECT_TRUE(link.URL().empty());
  EXPECT_TRUE(link.Transparent());
  EXPECT_TRUE(link.Font().Style().Contains(TFontStyle::fsUnderline));
  EXPECT_EQ(form_->SavePictureDialog1->InitialDir(), "c:");
}

// Answers the next modal file dialog: picks host (or cancels when empty).
void AnswerFileDialog(const std::string& host) {
  QTimer::singleShot(0, [host] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return AnswerFileDialog(host);
    if (host.empty()) return dialog->reject();
    dialog->selectFile(QString::fromStdString(host));
    static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept, through the base
  });
}

TEST_F(MainWindowTest, PreviewMenuPastesAndSavesTheClipboardPicture) {
  test_support::ScratchFolder folder;
  TBitmap copied;
  copied.SetWidth(40);
  copied.SetHeight(30);
  Clipboard().CopyFrom(&copied);

  form_->N3Click(nullptr);
  ASSERT_NE(form_->Image1->Picture().Graphic(), nullptr);
  EXPECT_STREQ(form_->Image1->Picture().Graphic()->ClassName(), "TBitmap");
  EXPECT_EQ(form_->Image1->Width(), 40);

  // Cancelled: nothing is written and the preview keeps its picture.
  AnswerFileDialog("");
  EXPECT_THROW(form_->N4Click(nullptr), EAbort);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_NE(form_->Image1->Picture().Graphic(), nullptr);

  AnswerFileDialog(folder.HostOf("out.png"));
  form_->N4Click(nullptr);
  EXPECT_EQ(form_->SavePictureDialog1->FileName(), folder.Win("out.png"));
  EXPECT_EQ(folder.Read("out.png").substr(0, 2), "\xFF\xD8");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, clip_strings::kSaved);
  EXPECT_EQ(form_->Image1->Picture().Graphic(), nullptr);
  EXPECT_EQ(form_->Image1->Width(), 40);

  // A click in the file list fills the emptied preview again (with the picture just saved).
  folder.Write("again.jpg", folder.Read("out.png"));
  auto& list = As<TListBox>(Control("RzListBox1"));
  list.Items().Add(folder.Win("again.jpg"));
  list.SetSelected(0, true);
  list.SetItemIndex(0);
  form_->RzListBox1Click(&list);
  ASSERT_NE(form_->Image1->Picture().Graphic(), nullptr);
  EXPECT_STREQ(form_->Image1->Picture().Graphic()->ClassName(), "TJPEGImage");
  EXPECT_EQ(form_->Image1->Picture().Width(), 40);

  // Text only: the paste fails and the preview keeps its picture.
  TGraphic* shown = form_->Image1->Picture().Graphic();
  Clipboard().SetAsText("words");
  EXPECT_EQ(test_support::MessageOf<Exception>([&] { form_->N3Click(nullptr); }),
            "Invalid clipboard format");
  EXPECT_EQ(form_->Image1->Picture().Graphic(), shown);
}

struct BadLayout {
  const char* what;
  const char* text;
};

TEST_F(MainWindowTest, BadLayoutsAreRefusedWithTheLine) {
  const BadLayout cases[] = {
      {"unknown class", "object Form1: TForm1\n object X: TNoSuch\n end\nend\n"},
      {"unknown property", "object Form1: TForm1\n Colour = 1\nend\n"},
      {"unknown handler", "object Form1: TForm1\n object B: TButton\n OnClick = Nope\n end\nend\n"},
      {"wrong root", "object Form2: TForm2\nend\n"},
      {"missing end", "object Form1: TForm1\n Left = 1\n"},
      {"odd hex", "object Form1: TForm1\n object I: TImage\n Picture.Data = {ABC}\n end\nend\n"},
      {"string for integer", "object Form1: TForm1\n Left = 'x'\nend\n"},
      {"bad set item", "object Form1: TForm1\n Font.Style = [fsHeavy]\nend\n"},
  };
  for (const BadLayout& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_THROW(TForm1(nullptr, c.text), EReadError);
  }
}

}  // namespace
