// The main window: built from its stored layout, with the handlers its controls name.
#pragma once

#include <map>
#include <string>

#include "ui/component_reader.h"
#include "ui/forms.h"

class TImage;
class TEdit;
class TScrollBox;
class TSavePictureDialog;
class TListBox;
class TMemo;
class TRzShellTree;
class TRzStatusPane;

namespace app {
// The stored layout built into the program.
const std::string& MainWindowLayout();
// The classes the layout names (standard, styled widgets, folder tree, title panel); once
// per process.
void RegisterMainWindowClasses();
// The maker's web address the link label opens.
inline constexpr char kMakerAddress[] = "http://www.suotu.example/";
}  // namespace app

class TForm1 : public TForm, private TLayoutRoot {
 public:
  // Reads layout (the stored one by default) into the new window.
  explicit TForm1(TComponent* owner, const std::string& layout = app::MainWindowLayout());
  const char* ClassName() const override { return "TForm1"; }

  // The components the handlers use, found by name after reading.
  TImage* Image1 = nullptr;
  TImage* Image2 = nullptr;
  TEdit* Edit1 = nullptr;
  TScrollBox* ScrollBox1 = nullptr;
  TSavePictureDialog* SavePictureDialog1 = nullptr;
  TRzShellTree* ShellTreeView1 = nullptr;
  TListBox* RzListBox1 = nullptr;
  TMemo* Memo1 = nullptr;
  TRzStatusPane* RzStatusPane1 = nullptr;

  void RzBmpButton1Click(TObject* sender);
  void RzURLLabel1Click(TObject* sender);
  void ScrollBox1MouseWheel(TObject* sender, TShiftState shift, int wheelDelta, win::POINT mousePos,
                            bool& handled);
  void Button1Click(TObject* sender);
  // The source preview's popup menu: paste the clipboard's picture, save it as JPEG.
  void N3Click(TObject* sender);
  void N4Click(TObject* sender);

  // The file list, batch and delete commands (file_commands.cpp).
  void ShellTreeView1Click(TObject* sender);
  void RzListBox1Click(TObject* sender);
  void RzButton2Click(TObject* sender);
  void RzButton3Click(TObject* sender);
  void N1Click(TObject* sender);
  void N2Click(TObject* sender);

 private:
  const TLayoutMethod* FindMethod(const std::string& name) const override;
  std::map<std::string, TLayoutMethod> methods_;
};
