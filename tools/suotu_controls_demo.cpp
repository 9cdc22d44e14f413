// Shows each standard control of the window layer, and the styled widgets in the main window's
// colours, in one borderless window, so their look
// can be checked by eye (and in a screenshot under Xvfb). Not part of the program.
//   suotu-controls-demo [--quit-after MS]
#include <QPixmap>
#include <QTimer>
#include <cstdlib>
#include <cstring>

#include "imaging/bitmap.h"
#include "ui/extctrls.h"
#include "ui/forms.h"
#include "ui/list_box.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"
#include "ui/tree_view.h"
#include "widgets/rz_bmp_button.h"
#include "widgets/rz_button.h"
#include "widgets/rz_list_box.h"
#include "widgets/rz_panel.h"
#include "widgets/rz_url_label.h"

namespace {

template <class T>
T* Place(TForm* form, TWinControl* parent, int l, int t, int w, int h) {
  auto* c = new T(form);
  c->SetBounds(l, t, w, h);
  c->SetParent(parent);
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  ApplicationSession session(argc, argv);
  Application->Initialize();
  auto* form = new TForm(Application);
  form->SetCaption("Suotu controls");
  form->SetPosition(TPosition::poDesktopCenter);
  form->SetClientWidth(640);
  form->SetClientHeight(420);

  auto* title = Place<TPanel>(form, form, 0, 0, 640, 35);
  title->SetAlign(TAlign::alTop);
  title->SetCaption("   Suotu \xBF\xD8\xBC\xFE\xD1\xDD\xCA\xBE");  // 控件演示
  title->SetAlignment(TAlignment::taLeftJustify);
  title->SetBevelOuter(TBevelCut::bvNone);
  title->SetColor(win::RGB(0x1F, 0xB1, 0xEC));
  title->Font().SetColor(win::RGB(0xF4, 0xFA, 0xFF));
  title->Font().SetStyle({TFontStyle::fsBold});

  // The close button's faces: a light cross on a dark square, olive where the title shows.
  auto* close = Place<TRzBmpButton>(form, title, 600, -1, 38, 18);
  auto face = [](TBitmap& b, win::COLORREF square) {
    b.SetColorDepth(TColorDepth::Depth24);
    b.SetWidth(38);
    b.SetHeight(18);
    TCanvas& k = b.Canvas();
    k.Brush().SetColor(clOlive);
    k.FillRect(Rect(0, 0, 38, 18));
    k.Brush().SetColor(square);
    k.FillRect(Rect(12, 2, 28, 16));
    for (int i = 0; i < 8; ++i) {
      k.SetPixels(16 + i, 5 + i, clWhite);
      k.SetPixels(23 - i, 5 + i, clWhite);
    }
  };
  face(close->Bitmaps().Up(), win::RGB(0x2F, 0x88, 0xA2));
  face(close->Bitmaps().Hot(), win::RGB(0xF0, 0x9B, 0x14));
  face(close->Bitmaps().Down(), win::RGB(0x80, 0x40, 0x00));
  close->OnClick = [](TObject*) { Application->Terminate(); };

  auto* bottom = Place<TRzPanel>(form, form, 0, 392, 640, 28);  // rpBottom
  bottom->SetAlign(TAlign::alBottom);
  bottom->SetBorderOuter(TFrameStyleEx::fsNone);
  bottom->SetVisualStyle(TVisualStyle::vsGradient);
  bottom->SetGradientColorStyle(TGradientColorStyle::gcsCustom);
  bottom->SetGradientColorStart(16379341);
  bottom->SetGradientColorStop(16310439);
  auto* link = Place<TRzURLLabel>(form, bottom, 411, 8, 229, 13);
  link->SetTransparent(true);
  link->SetCaption("\xBB\xB6\xD3\xAD\xB9\xE2\xC1\xD9:http://www.suotu.example");  // 欢迎光临

  auto* body = Place<TRzPanel>(form, form, 0, 35, 640, 357);  // RzPanel1
  body->SetAlign(TAlign::alClient);
  body->SetBorderOuter(TFrameStyleEx::fsFlatBold);
  body->SetFlatColor(10651695);
  body->SetVisualStyle(TVisualStyle::vsGradient);
  body->SetGradientColorStyle(TGradientColorStyle::gcsCustom);

  auto* left = Place<TPanel>(form, body, 2, 2, 170, 381);
  left->SetAlign(TAlign::alLeft);
  left->SetCaption("");
  left->SetBevelOuter(TBevelCut::bvLowered);
  auto* split = Place<TSplitter>(form, body, 172, 2, 4, 381);
  split->SetAlign(TAlign::alLeft);
  auto* right = Place<TPanel>(form, body, 176, 2, 462, 381);
  right->SetAlign(TAlign::alClient);
  right->SetBevelOuter(TBevelCut::bvNone);
  right->SetColor(clWhite);

  auto* label = Place<TLabel>(form, left, 8, 10, 120, 13);
  label->SetCaption("\xD1\xA1\xD4\xF1\xC4\xBF\xC2\xBC (TLabel)");  // 选择目录
  auto* edit = Place<TEdit>(form, left, 8, 32, 150, 21);
  edit->SetText("200");
  auto* memo = Place<TMemo>(form, left, 8, 60, 150, 60);
  memo->Lines().Add("TMemo line 1");
  memo->Lines().Add("\xB5\xDA\xB6\xFE\xD0\xD0");  // 第二行
  auto* button = Place<TButton>(form, left, 8, 130, 150, 25);
  memo->SetBounds(8, 60, 150, 60);
  button->SetCaption("\xCB\xF5\xC2\xD4\xCD\xBC (TButton)");  // 缩略图
  button->OnClick = [](TObject*) { ShowNotice("\xB2\xD9\xD7\xF7\xCD\xEA\xB3\xC9!"); };

  auto* list = Place<TRzListBox>(form, left, 8, 165, 150, 90);  // RzListBox1's frame
  list->Frame().SetFrameVisible(true);
  list->Frame().SetFrameColor(12638925);
  list->Frame().SetFrameHotColor(12638925);
  list->SetMultiSelect(true);
  list->SetItemHeight(13);
  list->Items().Assign({"C:\\photos\\a.jpg", "C:\\photos\\B.JPG", "C:\\photos\\h.jpg",
                        "C:\\photos\\\xCB\xF5\xCD\xBC.jpg"});
  list->SetSelected(0, true);
  list->SetSelected(2, true);
  list->SetItemIndex(1);

  auto* tree = Place<TTreeView>(form, left, 8, 262, 150, 110);
  tree->SetIndent(19);
  tree->SetImages([](int index, int, bool cut) {
    QPixmap p(16, 16);
    p.fill(cut ? QColor(200, 200, 200)
               : (index == 0 ? QColor(240, 200, 80) : QColor(90, 140, 220)));
    return p;
  });
  tree->OnGetImageIndex = [](TObject*, TTreeNode* node) {
    node->SetImageIndex(node->Level() == 0 ? 1 : 0);
  };
  tree->OnGetSelectedIndex = [](TObject*, TTreeNode* node) {
    node->SetSelectedIndex(node->Level() == 0 ? 1 : 0);
  };
  tree->OnExpanding = [tree](TObject*, TTreeNode* node, bool&) {
    if (node->Count() == 0)
      for (const char* name : {"\xCE\xD2\xB5\xC4\xCE\xC4\xB5\xB5", "photos", "thumbs"})
        tree->AddChild(node, name);
  };
  TTreeNode* desktop = tree->AddChild(nullptr, "\xD7\xC0\xC3\xE6");  // 桌面
  desktop->SetHasChildren(true);
  desktop->Expand();
  desktop->Item(2)->SetCut(true);
  tree->SetSelected(desktop->Item(1));

  auto* group = Place<TGroupBox>(form, right, 250, 200, 200, 170);
  group->SetCaption("\xC9\xE8\xD6\xC3\xD1\xA1\xCF\xEE");  // 设置选项
  group->SetAnchors({TAnchorKind::akRight, TAnchorKind::akBottom});
  auto* inner = Place<TLabel>(form, group, 12, 24, 100, 13);
  inner->SetCaption("\xCB\xF5\xC2\xD4\xCD\xBC\xBF\xED\xB6\xC8");  // 缩略图宽度
  auto* groupEdit = Place<TEdit>(form, group, 12, 44, 170, 21);
  groupEdit->SetText("TEdit in a TGroupBox");
  // RzButton2 and RzButton3: hot-tracking buttons whose long captions wrap.
  for (int i = 0; i < 2; ++i) {
    auto* rz = Place<TRzButton>(form, group, 12 + i * 90, 74, 84, 49 - 2 * i);
    rz->SetFrameColor(10651695);
    rz->SetColor(16769186);
    if (i == 0) rz->SetHighlightColor(clWhite);
    rz->SetHotTrack(true);
    rz->SetCaption(i == 0 ? "\xC5\xFA\xC1\xBF\xC9\xFA\xB3\xC9 [\xB5\xBD\xB5\xB1\xC7\xB0]"
                          : "\xC5\xFA\xC1\xBF\xC9\xFA\xB3\xC9 [\xB5\xBD\xD6\xB8\xB6\xA8]");
    rz->OnClick = [](TObject*) { ShowNotice("\xB2\xD9\xD7\xF7\xCD\xEA\xB3\xC9!"); };
  }

  auto* box = Place<TScrollBox>(form, right, 8, 8, 230, 360);
  box->SetBorderStyle(TBorderStyle::bsNone);
  box->SetBevelKind(TBevelKind::bkFlat);
  box->SetCtl3D(false);
  box->VertScrollBar().SetIncrement(8);
  auto* image = Place<TImage>(form, box, 0, 0, 300, 300);
  auto picture = std::make_unique<TBitmap>();
  picture->SetWidth(300);
  picture->SetHeight(500);
  TCanvas& c = picture->Canvas();
  for (int y = 0; y < 500; y += 20)
    for (int x = 0; x < 300; x += 20) {
      c.Brush().SetColor(((x + y) / 20) % 2 ? win::RGB(0x2F, 0x88, 0xA2)
                                            : win::RGB(0xCD, 0xED, 0xF9));
      c.FillRect(Bounds(x, y, 20, 20));
    }
  image->SetAutoSize(true);
  image->SetPicture(picture.get());

  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(form);
  item->SetCaption("\xD5\xB3\xCC\xF9\xCD\xBC\xCF\xF1");  // 粘贴图像
  item->OnClick = [](TObject*) { ShowNotice("N3Click"); };
  menu->Items().Add(item);
  image->SetPopupMenu(menu);

  auto* hint = Place<TLabel>(form, right, 250, 10, 200, 60);
  hint->SetAutoSize(false);
  hint->SetBounds(250, 10, 200, 60);
  hint->SetWordWrap(true);
  hint->SetCaption(
      "Right-click the picture for the popup menu; drag the splitter at the "
      "left column's edge.");
  hint->SetTransparent(true);

  if (argc > 2 && std::strcmp(argv[1], "--quit-after") == 0)
    QTimer::singleShot(std::atoi(argv[2]), [] { Application->Terminate(); });
  Application->Run();
  return 0;
}
