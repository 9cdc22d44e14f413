#include "app/unit1.h"

#include <mutex>

#include "app/move_panel.h"
#include "app/strings.h"
#include "browse/layout_classes.h"
#include "browse/shell_tree.h"
#include "clip/clip_commands.h"
#include "clip/dialog_name_source.h"
#include "platform/shell/shell.h"
#include "runtime/exceptions.h"
#include "thumbs/thumbnail_maker.h"
#include "ui/dialogs.h"
#include "ui/extctrls.h"
#include "ui/list_box.h"
#include "ui/stdctrls.h"
#include "widgets/layout_classes.h"
#include "widgets/rz_status.h"

namespace app {

void RegisterMainWindowClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::RegisterStandardClasses();
    widgets::RegisterLayoutClasses();
    browse::RegisterLayoutClasses();
    ui::RegisterLayoutClass("TForm1", "TForm", nullptr);
    ui::RegisterLayoutClass("TMovePanel", "TPanel",
                            [](TComponent* owner) -> TComponent* { return new TMovePanel(owner); });
  });
}

}  // namespace app

namespace {

template <class T>
T* Find(TForm1& form, const char* name) {
  T* found = dynamic_cast<T*>(form.FindComponent(name));
  if (found == nullptr) throw EReadError(Format("The layout has no %s", name));
  return found;
}

}  // namespace

TForm1::TForm1(TComponent* owner, const std::string& layout) : TForm(owner) {
  auto notify = [this](void (TForm1::*m)(TObject*)) {
    return TLayoutMethod(TNotifyEvent([this, m](TObject* s) { (this->*m)(s); }));
  };
  methods_["RzBmpButton1Click"] = notify(&TForm1::RzBmpButton1Click);
  methods_["RzURLLabel1Click"] = notify(&TForm1::RzURLLabel1Click);
  methods_["Button1Click"] = notify(&TForm1::Button1Click);
  methods_["ScrollBox1MouseWheel"] = TLayoutMethod(TMouseWheelEvent(
      [this](TObject* s, TShiftState shift, int delta, win::POINT pos, bool& handled) {
        ScrollBox1MouseWheel(s, shift, delta, pos, handled);
      }));
  methods_["ShellTreeView1Click"] = notify(&TForm1::ShellTreeView1Click);
  methods_["RzListBox1Click"] = notify(&TForm1::RzListBox1Click);
  methods_["RzButton2Click"] = notify(&TForm1::RzButton2Click);
  methods_["RzButton3Click"] = notify(&TForm1::RzButton3Click);
  methods_["N1Click"] = notify(&TForm1::N1Click);
  methods_["N2Click"] = notify(&TForm1::N2Click);
  methods_["N3Click"] = notify(&TForm1::N3Click);
  methods_["N4Click"] = notify(&TForm1::N4Click);

  app::RegisterMainWindowClasses();
  ui::ReadComponentLayout(layout, *this, this);
  Image1 = Find<TImage>(*this, "Image1");
  Image2 = Find<TImage>(*this, "Image2");
  Edit1 = Find<TEdit>(*this, "Edit1");
  ScrollBox1 = Find<TScrollBox>(*this, "ScrollBox1");
  SavePictureDialog1 = Find<TSavePictureDialog>(*this, "SavePictureDialog1");
  ShellTreeView1 = Find<TRzShellTree>(*this, "ShellTreeView1");
  RzListBox1 = Find<TListBox>(*this, "RzListBox1");
  Memo1 = Find<TMemo>(*this, "Memo1");
  RzStatusPane1 = Find<TRzStatusPane>(*this, "RzStatusPane1");
}

const TLayoutMethod* TForm1::FindMethod(const std::string& name) const {
  auto it = methods_.find(name);
  return it == methods_.end() ? nullptr : &it->second;
}

void TForm1::RzBmpButton1Click(TObject*) {
  Close();
}

void TForm1::RzURLLabel1Click(TObject*) {
  try {
    // The shell's answer is not looked at: a page that does not open shows nothing.
    win::ShellExecuteA(Handle(), nullptr, app::kMakerAddress, nullptr, nullptr, win::SW_SHOWNORMAL);
  } catch (const std::exception&) {
    Application->MessageBox(app::kBrowserFailed, app::kErrorCaption, 48);
  }
}

void TForm1::ScrollBox1MouseWheel(TObject*, TShiftState, int wheelDelta, win::POINT,
                                  bool& handled) {
  TControlScrollBar& bar = ScrollBox1->VertScrollBar();
  int position = bar.Position();
  if (wheelDelta > 0) {
    position -= bar.Increment();
    if (position < 0) position = 0;
  } else if (wheelDelta < 0) {
    position += bar.Increment();
    if (position >= bar.Range()) position = bar.Range() - 1;
  }
  bar.SetPosition(position);
  handled = true;
}

void TForm1::Button1Click(TObject*) {
  MakeThumbnail(Image1->Picture(), Edit1->Text(), Image2->Picture());
}

void TForm1::N3Click(TObject*) {
  PasteClipboardPicture(Image1->Picture());
}

void TForm1::N4Click(TObject*) {
  TDialogNameSource dialog(*SavePictureDialog1);
  SaveClipboardPicture(dialog, Image1->Picture(), ShowNotice);
}
// The file list and batch handlers are in file_commands.cpp.
