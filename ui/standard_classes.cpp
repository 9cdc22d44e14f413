// The window layer's classes and published properties for the stored-layout reader.
#include <mutex>

#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "ui/component_reader.h"
#include "ui/dialogs.h"
#include "ui/extctrls.h"
#include "ui/forms.h"
#include "ui/list_box.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"
#include "ui/tree_view.h"

namespace ui {
namespace {

// Registers a setter for class T: fn(T&, value, ctx).
template <class T, class Fn>
void Prop(const char* cls, const char* name, Fn fn) {
  RegisterLayoutProperty(cls, name,
                         [fn](TComponent& c, const TLayoutValue& v, TLayoutContext& ctx) {
                           T* t = dynamic_cast<T*>(&c);
                           if (t == nullptr) throw EReadError("property of another class");
                           fn(*t, v, ctx);
                         });
}

template <class T>
void Class(const char* name, const char* base) {
  RegisterLayoutClass(name, base, [](TComponent* owner) -> TComponent* { return new T(owner); });
}

void ReadPicture(TPicture& picture, const TLayoutValue& v) {
  if (v.kind != TLayoutValue::Kind::Binary) throw EReadError("binary value expected");
  TMemoryStream stream;
  if (!v.bytes.empty()) stream.Write(v.bytes.data(), std::int32_t(v.bytes.size()));
  stream.Seek(0, TSeekOrigin::soBeginning);
  picture.ReadStoredData(stream);
}

void RegisterControl() {
  using C = TControl;
  const char* k = "TControl";
  Prop<C>(k, "Left", [](C& c, auto& v, auto&) { c.SetLeft(IntValue(v)); });
  Prop<C>(k, "Top", [](C& c, auto& v, auto&) { c.SetTop(IntValue(v)); });
  Prop<C>(k, "Width", [](C& c, auto& v, auto&) { c.SetWidth(IntValue(v)); });
  Prop<C>(k, "Height", [](C& c, auto& v, auto&) { c.SetHeight(IntValue(v)); });
  Prop<C>(k, "ClientWidth", [](C& c, auto& v, auto&) { c.SetClientWidth(IntValue(v)); });
  Prop<C>(k, "ClientHeight", [](C& c, auto& v, auto&) { c.SetClientHeight(IntValue(v)); });
  Prop<C>(k, "Align", [](C& c, auto& v, auto&) {
    c.SetAlign(
        TAlign(EnumValue(v, {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"})));
  });
  Prop<C>(k, "Anchors", [](C& c, auto& v, auto&) {
    c.SetAnchors(TAnchors::FromBits(SetValue(v, {"akLeft", "akTop", "akRight", "akBottom"})));
  });
  Prop<C>(k, "Visible", [](C& c, auto& v, auto&) { c.SetVisible(BoolValue(v)); });
  Prop<C>(k, "Enabled", [](C& c, auto& v, auto&) { c.SetEnabled(BoolValue(v)); });
  Prop<C>(k, "Color", [](C& c, auto& v, auto&) { c.SetColor(ColorValue(v)); });
  Prop<C>(k, "ParentColor", [](C& c, auto& v, auto&) { c.SetParentColor(BoolValue(v)); });
  Prop<C>(k, "ParentFont", [](C& c, auto& v, auto&) { c.SetParentFont(BoolValue(v)); });
  Prop<C>(k, "Font.Name", [](C& c, auto& v, auto&) { c.Font().SetName(StringValue(v)); });
  Prop<C>(k, "Font.Height", [](C& c, auto& v, auto&) { c.Font().SetHeight(IntValue(v)); });
  Prop<C>(k, "Font.Color", [](C& c, auto& v, auto&) { c.Font().SetColor(ColorValue(v)); });
  Prop<C>(k, "Font.Charset",
          [](C& c, auto& v, auto&) { c.Font().SetCharset(std::uint8_t(IntValue(v))); });
  Prop<C>(k, "Font.Style", [](C& c, auto& v, auto&) {
    std::uint32_t bits = SetValue(v, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
    TFontStyles styles;
    for (unsigned i = 0; i < 4; ++i)
      if (bits & (1u << i)) styles = styles.With(TFontStyle(i));
    c.Font().SetStyle(styles);
  });
  Prop<C>(k, "Caption", [](C& c, auto& v, auto&) { c.SetCaption(StringValue(v)); });
  Prop<C>(k, "Hint", [](C& c, auto& v, auto&) { c.SetHint(StringValue(v)); });
  Prop<C>(k, "ShowHint", [](C& c, auto& v, auto&) { c.SetShowHint(BoolValue(v)); });
  Prop<C>(k, "Cursor", [](C& c, auto& v, auto&) { c.SetCursor(IntValue(v)); });
  Prop<C>(k, "PopupMenu", [](C& c, auto& v, TLayoutContext& ctx) {
    ctx.Reference(v, [&c](TComponent* menu) {
      auto* m = dynamic_cast<TPopupMenu*>(menu);
      if (m == nullptr) throw EReadError(menu->Name() + " is not a popup menu");
      c.SetPopupMenu(m);
    });
  });
  Prop<C>(k, "OnClick",
          [](C& c, auto& v, TLayoutContext& ctx) { c.OnClick = ctx.Method<TNotifyEvent>(v); });
  Prop<C>(k, "OnDblClick",
          [](C& c, auto& v, TLayoutContext& ctx) { c.OnDblClick = ctx.Method<TNotifyEvent>(v); });
  Prop<C>(k, "OnMouseDown",
          [](C& c, auto& v, TLayoutContext& ctx) { c.OnMouseDown = ctx.Method<TMouseEvent>(v); });
  Prop<C>(k, "OnMouseUp",
          [](C& c, auto& v, TLayoutContext& ctx) { c.OnMouseUp = ctx.Method<TMouseEvent>(v); });
  Prop<C>(k, "OnMouseMove", [](C& c, auto& v, TLayoutContext& ctx) {
    c.OnMouseMove = ctx.Method<TMouseMoveEvent>(v);
  });
  Prop<C>(k, "OnMouseWheel", [](C& c, auto& v, TLayoutContext& ctx) {
    c.OnMouseWheel = ctx.Method<TMouseWheelEvent>(v);
  });

  RegisterLayoutClass("TWinControl", "TControl", nullptr);
  Prop<TWinControl>("TWinControl", "TabOrder",
                    [](TWinControl& c, auto& v, auto&) { c.SetTabOrder(IntValue(v)); });
  Prop<TWinControl>("TWinControl", "TabStop",
                    [](TWinControl& c, auto& v, auto&) { c.SetTabStop(BoolValue(v)); });
}

void RegisterStandard() {
  RegisterLayoutClass("TControl", "", nullptr);
  RegisterControl();

  RegisterLayoutClass("TForm", "TWinControl", nullptr);
  Prop<TForm>("TForm", "Position", [](TForm& f, auto& v, auto&) {
    f.SetPosition(TPosition(EnumValue(v, {"poDesigned", "poDesktopCenter", "poScreenCenter"})));
  });
  // The form is always borderless; the value is checked and kept for what it says.
  Prop<TForm>("TForm", "BorderStyle", [](TForm&, auto& v, auto&) {
    if (EnumValue(v, {"bsNone"}) != 0) throw EReadError("only borderless forms");
  });
  Prop<TForm>("TForm", "PixelsPerInch", [](TForm&, auto& v, auto&) {
    if (IntValue(v) != 96) throw EReadError("layouts are made at 96 pixels per inch");
  });

  Class<TPanel>("TPanel", "TWinControl");
  Prop<TPanel>("TPanel", "Alignment", [](TPanel& p, auto& v, auto&) {
    p.SetAlignment(TAlignment(EnumValue(v, {"taLeftJustify", "taRightJustify", "taCenter"})));
  });
  Prop<TPanel>("TPanel", "BevelInner", [](TPanel& p, auto& v, auto&) {
    p.SetBevelInner(TBevelCut(EnumValue(v, {"bvNone", "bvLowered", "bvRaised", "bvSpace"})));
  });
  Prop<TPanel>("TPanel", "BevelOuter", [](TPanel& p, auto& v, auto&) {
    p.SetBevelOuter(TBevelCut(EnumValue(v, {"bvNone", "bvLowered", "bvRaised", "bvSpace"})));
  });
  Prop<TPanel>("TPanel", "BevelWidth",
               [](TPanel& p, auto& v, auto&) { p.SetBevelWidth(IntValue(v)); });
  Prop<TPanel>("TPanel", "BorderWidth",
               [](TPanel& p, auto& v, auto&) { p.SetBorderWidth(IntValue(v)); });

  Class<TLabel>("TLabel", "TControl");
  Prop<TLabel>("TLabel", "AutoSize",
               [](TLabel& l, auto& v, auto&) { l.SetAutoSize(BoolValue(v)); });
  Prop<TLabel>("TLabel", "Transparent",
               [](TLabel& l, auto& v, auto&) { l.SetTransparent(BoolValue(v)); });
  Prop<TLabel>("TLabel", "WordWrap",
               [](TLabel& l, auto& v, auto&) { l.SetWordWrap(BoolValue(v)); });
  Prop<TLabel>("TLabel", "Alignment", [](TLabel& l, auto& v, auto&) {
    l.SetAlignment(TAlignment(EnumValue(v, {"taLeftJustify", "taRightJustify", "taCenter"})));
  });

  Class<TEdit>("TEdit", "TWinControl");
  Prop<TEdit>("TEdit", "Text", [](TEdit& e, auto& v, auto&) { e.SetText(StringValue(v)); });
  Prop<TEdit>("TEdit", "MaxLength", [](TEdit& e, auto& v, auto&) { e.SetMaxLength(IntValue(v)); });
  Prop<TEdit>("TEdit", "ReadOnly", [](TEdit& e, auto& v, auto&) { e.SetReadOnly(BoolValue(v)); });

  Class<TMemo>("TMemo", "TWinControl");
  Prop<TMemo>("TMemo", "Lines.Strings", [](TMemo& m, auto& v, auto&) {
    if (v.kind != TLayoutValue::Kind::Set) throw EReadError("list of lines expected");
    m.Lines().Clear();
    for (const std::string& line : v.items) m.Lines().Add(line);
  });

  Class<TButton>("TButton", "TWinControl");
  Prop<TButton>("TButton", "Default",
                [](TButton& b, auto& v, auto&) { b.SetDefault(BoolValue(v)); });
  Class<TGroupBox>("TGroupBox", "TWinControl");

  Class<TScrollBox>("TScrollBox", "TWinControl");
  using S = TScrollBox;
  Prop<S>("TScrollBox", "BorderStyle", [](S& s, auto& v, auto&) {
    s.SetBorderStyle(TBorderStyle(EnumValue(v, {"bsNone", "bsSingle"})));
  });
  Prop<S>("TScrollBox", "BevelKind", [](S& s, auto& v, auto&) {
    s.SetBevelKind(TBevelKind(EnumValue(v, {"bkNone", "bkTile", "bkSoft", "bkFlat"})));
  });
  Prop<S>("TScrollBox", "Ctl3D", [](S& s, auto& v, auto&) { s.SetCtl3D(BoolValue(v)); });
  Prop<S>("TScrollBox", "AutoScroll", [](S& s, auto& v, auto&) { s.SetAutoScroll(BoolValue(v)); });
  Prop<S>("TScrollBox", "HorzScrollBar.Increment",
          [](S& s, auto& v, auto&) { s.HorzScrollBar().SetIncrement(IntValue(v)); });
  Prop<S>("TScrollBox", "VertScrollBar.Increment",
          [](S& s, auto& v, auto&) { s.VertScrollBar().SetIncrement(IntValue(v)); });

  Class<TSplitter>("TSplitter", "TControl");
  Prop<TSplitter>("TSplitter", "MinSize",
                  [](TSplitter& s, auto& v, auto&) { s.SetMinSize(IntValue(v)); });
  Prop<TSplitter>("TSplitter", "AutoSnap",
                  [](TSplitter& s, auto& v, auto&) { s.SetAutoSnap(BoolValue(v)); });

  Class<TImage>("TImage", "TControl");
  Prop<TImage>("TImage", "AutoSize",
               [](TImage& i, auto& v, auto&) { i.SetAutoSize(BoolValue(v)); });
  Prop<TImage>("TImage", "Stretch", [](TImage& i, auto& v, auto&) { i.SetStretch(BoolValue(v)); });
  Prop<TImage>("TImage", "Center", [](TImage& i, auto& v, auto&) { i.SetCenter(BoolValue(v)); });
  Prop<TImage>("TImage", "Proportional",
               [](TImage& i, auto& v, auto&) { i.SetProportional(BoolValue(v)); });
  Prop<TImage>("TImage", "Transparent",
               [](TImage& i, auto& v, auto&) { i.SetTransparent(BoolValue(v)); });
  Prop<TImage>("TImage", "Picture.Data",
               [](TImage& i, auto& v, auto&) { ReadPicture(i.Picture(), v); });

  Class<TListBox>("TListBox", "TWinControl");
  Prop<TListBox>("TListBox", "MultiSelect",
                 [](TListBox& l, auto& v, auto&) { l.SetMultiSelect(BoolValue(v)); });
  Prop<TListBox>("TListBox", "ExtendedSelect",
                 [](TListBox& l, auto& v, auto&) { l.SetExtendedSelect(BoolValue(v)); });
  Prop<TListBox>("TListBox", "ItemHeight",
                 [](TListBox& l, auto& v, auto&) { l.SetItemHeight(IntValue(v)); });

  Class<TTreeView>("TTreeView", "TWinControl");
  Prop<TTreeView>("TTreeView", "Indent",
                  [](TTreeView& t, auto& v, auto&) { t.SetIndent(IntValue(v)); });
  Prop<TTreeView>("TTreeView", "ShowRoot",
                  [](TTreeView& t, auto& v, auto&) { t.SetShowRoot(BoolValue(v)); });
  Prop<TTreeView>("TTreeView", "ShowLines",
                  [](TTreeView& t, auto& v, auto&) { t.SetShowLines(BoolValue(v)); });
  Prop<TTreeView>("TTreeView", "ShowButtons",
                  [](TTreeView& t, auto& v, auto&) { t.SetShowButtons(BoolValue(v)); });
  Prop<TTreeView>("TTreeView", "HideSelection",
                  [](TTreeView& t, auto& v, auto&) { t.SetHideSelection(BoolValue(v)); });

  Class<TPopupMenu>("TPopupMenu", "");
  Prop<TPopupMenu>("TPopupMenu", "AutoPopup",
                   [](TPopupMenu& m, auto& v, auto&) { m.SetAutoPopup(BoolValue(v)); });
  Class<TMenuItem>("TMenuItem", "");
  Prop<TMenuItem>("TMenuItem", "Caption",
                  [](TMenuItem& m, auto& v, auto&) { m.SetCaption(StringValue(v)); });
  Prop<TMenuItem>("TMenuItem", "Enabled",
                  [](TMenuItem& m, auto& v, auto&) { m.SetEnabled(BoolValue(v)); });
  Prop<TMenuItem>("TMenuItem", "Visible",
                  [](TMenuItem& m, auto& v, auto&) { m.SetVisible(BoolValue(v)); });
  Prop<TMenuItem>("TMenuItem", "OnClick", [](TMenuItem& m, auto& v, TLayoutContext& ctx) {
    m.OnClick = ctx.Method<TNotifyEvent>(v);
  });

  using D = TOpenPictureDialog;
  const char* d = "TOpenPictureDialog";
  Class<D>(d, "");
  Prop<D>(d, "InitialDir", [](D& o, auto& v, auto&) { o.SetInitialDir(StringValue(v)); });
  Prop<D>(d, "Filter", [](D& o, auto& v, auto&) { o.SetFilter(StringValue(v)); });
  Prop<D>(d, "FilterIndex", [](D& o, auto& v, auto&) { o.SetFilterIndex(IntValue(v)); });
  Prop<D>(d, "DefaultExt", [](D& o, auto& v, auto&) { o.SetDefaultExt(StringValue(v)); });
  Prop<D>(d, "FileName", [](D& o, auto& v, auto&) { o.SetFileName(StringValue(v)); });
  Prop<D>(d, "Title", [](D& o, auto& v, auto&) { o.SetTitle(StringValue(v)); });
  Prop<D>(d, "Options", [](D& o, auto& v, auto&) {
    o.SetOptions(
        SetValue(v, {"ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofEnableSizing"}));
  });
  Class<TSavePictureDialog>("TSavePictureDialog", d);
}

}  // namespace

void RegisterStandardClasses() {
  static std::once_flag once;
  std::call_once(once, RegisterStandard);
}

}  // namespace ui
