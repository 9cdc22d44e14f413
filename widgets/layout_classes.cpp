#include "widgets/layout_classes.h"

#include <mutex>

#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "ui/component_reader.h"
#include "widgets/rz_bmp_button.h"
#include "widgets/rz_button.h"
#include "widgets/rz_list_box.h"
#include "widgets/rz_panel.h"
#include "widgets/rz_status.h"
#include "widgets/rz_url_label.h"

namespace widgets {
namespace {

template <class T, class Fn>
void Prop(const char* cls, const char* name, Fn fn) {
  ui::RegisterLayoutProperty(cls, name,
                             [fn](TComponent& c, const TLayoutValue& v, TLayoutContext&) {
                               T* t = dynamic_cast<T*>(&c);
                               if (t == nullptr) throw EReadError("property of another class");
                               fn(*t, v);
                             });
}

template <class T>
void Class(const char* name, const char* base) {
  ui::RegisterLayoutClass(name, base,
                          [](TComponent* owner) -> TComponent* { return new T(owner); });
}

TFrameStyleEx FrameStyleValue(const TLayoutValue& v) {
  return TFrameStyleEx(ui::EnumValue(
      v, {"fsNone", "fsFlat", "fsGroove", "fsBump", "fsLowered", "fsButtonDown", "fsRaised",
          "fsButtonUp", "fsStatus", "fsPopup", "fsFlatBold", "fsFlatRounded"}));
}

TSides SidesValue(const TLayoutValue& v) {
  const std::uint32_t bits = ui::SetValue(v, {"sdLeft", "sdTop", "sdRight", "sdBottom"});
  TSides sides;
  for (unsigned i = 0; i < 4; ++i) {
    if (bits & (1u << i)) sides = sides.With(TSide(i));
  }
  return sides;
}

void ReadFace(TBitmap& face, const TLayoutValue& v) {
  if (v.kind != TLayoutValue::Kind::Binary) throw EReadError("binary value expected");
  TMemoryStream s;
  if (!v.bytes.empty()) s.Write(v.bytes.data(), std::int32_t(v.bytes.size()));
  s.Seek(0, TSeekOrigin::soBeginning);
  face.ReadStoredData(s);
}

void RegisterPanel() {
  using P = TRzPanel;
  const char* k = "TRzPanel";
  Class<P>(k, "TWinControl");
  Prop<P>(k, "BorderOuter", [](P& p, auto& v) { p.SetBorderOuter(FrameStyleValue(v)); });
  Prop<P>(k, "BorderInner", [](P& p, auto& v) { p.SetBorderInner(FrameStyleValue(v)); });
  Prop<P>(k, "BorderWidth", [](P& p, auto& v) { p.SetBorderWidth(ui::IntValue(v)); });
  Prop<P>(k, "BorderSides", [](P& p, auto& v) { p.SetBorderSides(SidesValue(v)); });
  Prop<P>(k, "BorderColor", [](P& p, auto& v) { p.SetBorderColor(ui::ColorValue(v)); });
  Prop<P>(k, "BorderHighlight", [](P& p, auto& v) { p.SetBorderHighlight(ui::ColorValue(v)); });
  Prop<P>(k, "BorderShadow", [](P& p, auto& v) { p.SetBorderShadow(ui::ColorValue(v)); });
  Prop<P>(k, "FlatColor", [](P& p, auto& v) { p.SetFlatColor(ui::ColorValue(v)); });
  Prop<P>(k, "FlatColorAdjustment",
          [](P& p, auto& v) { p.SetFlatColorAdjustment(ui::IntValue(v)); });
  Prop<P>(k, "VisualStyle", [](P& p, auto& v) {
    p.SetVisualStyle(TVisualStyle(ui::EnumValue(v, {"vsClassic", "vsWinXP", "vsGradient"})));
  });
  Prop<P>(k, "GradientColorStyle", [](P& p, auto& v) {
    p.SetGradientColorStyle(
        TGradientColorStyle(ui::EnumValue(v, {"gcsSystem", "gcsMSOffice", "gcsCustom"})));
  });
  Prop<P>(k, "GradientColorStart",
          [](P& p, auto& v) { p.SetGradientColorStart(ui::ColorValue(v)); });
  Prop<P>(k, "GradientColorStop", [](P& p, auto& v) { p.SetGradientColorStop(ui::ColorValue(v)); });
  Prop<P>(k, "GradientDirection", [](P& p, auto& v) {
    p.SetGradientDirection(TGradientDirection(ui::EnumValue(
        v,
        {"gdDiagonalUp", "gdDiagonalDown", "gdHorizontalEnd", "gdHorizontalCenter",
         "gdHorizontalBox", "gdVerticalEnd", "gdVerticalCenter", "gdVerticalBox", "gdSquareBox"})));
  });
  Prop<P>(k, "Transparent", [](P& p, auto& v) { p.SetTransparent(ui::BoolValue(v)); });
}

void RegisterButtons() {
  using B = TRzButton;
  const char* k = "TRzButton";
  Class<B>(k, "TWinControl");
  Prop<B>(k, "FrameColor", [](B& b, auto& v) { b.SetFrameColor(ui::ColorValue(v)); });
  Prop<B>(k, "HighlightColor", [](B& b, auto& v) { b.SetHighlightColor(ui::ColorValue(v)); });
  Prop<B>(k, "HotTrackColor", [](B& b, auto& v) { b.SetHotTrackColor(ui::ColorValue(v)); });
  Prop<B>(k, "HotTrack", [](B& b, auto& v) { b.SetHotTrack(ui::BoolValue(v)); });
  Prop<B>(k, "ShowFocusRect", [](B& b, auto& v) { b.SetShowFocusRect(ui::BoolValue(v)); });
  Prop<B>(k, "AlignmentVertical", [](B& b, auto& v) {
    b.SetAlignmentVertical(TVerticalAlignment(ui::EnumValue(v, {"avTop", "avCenter", "avBottom"})));
  });
  Prop<B>(k, "ModalResult", [](B& b, auto& v) { b.SetModalResult(ui::IntValue(v)); });

  using M = TRzBmpButton;
  const char* m = "TRzBmpButton";
  Class<M>(m, "TWinControl");
  Prop<M>(m, "TransparentColor",
          [](M& b, auto& v) { b.Bitmaps().SetTransparentColor(ui::ColorValue(v)); });
  Prop<M>(m, "Bitmaps.Up.Data", [](M& b, auto& v) { ReadFace(b.Bitmaps().Up(), v); });
  Prop<M>(m, "Bitmaps.Down.Data", [](M& b, auto& v) { ReadFace(b.Bitmaps().Down(), v); });
  Prop<M>(m, "Bitmaps.Hot.Data", [](M& b, auto& v) { ReadFace(b.Bitmaps().Hot(), v); });
  Prop<M>(m, "Bitmaps.Disabled.Data", [](M& b, auto& v) { ReadFace(b.Bitmaps().Disabled(), v); });
  Prop<M>(m, "Bitmaps.StayDown.Data", [](M& b, auto& v) { ReadFace(b.Bitmaps().StayDown(), v); });
  Prop<M>(m, "Bitmaps.UpAndFocused.Data",
          [](M& b, auto& v) { ReadFace(b.Bitmaps().UpAndFocused(), v); });
  Prop<M>(m, "ButtonSize", [](M& b, auto& v) {
    b.SetButtonSize(TButtonSize(ui::EnumValue(v, {"bszNeither", "bszButtonToBitmap"})));
  });
  Prop<M>(m, "ButtonBorder", [](M& b, auto& v) {
    b.SetButtonBorder(TButtonBorder(ui::EnumValue(v, {"bbNone", "bbSingle", "bbButton"})));
  });
  Prop<M>(m, "ShowFocus", [](M& b, auto& v) { b.SetShowFocus(ui::BoolValue(v)); });
  Prop<M>(m, "ModalResult", [](M& b, auto& v) { b.SetModalResult(ui::IntValue(v)); });
}

void RegisterLabelAndList() {
  using U = TRzURLLabel;
  const char* u = "TRzURLLabel";
  Class<U>(u, "TLabel");
  Prop<U>(u, "URL", [](U& l, auto& v) { l.SetURL(ui::StringValue(v)); });
  Prop<U>(u, "Visited", [](U& l, auto& v) { l.SetVisited(ui::BoolValue(v)); });
  Prop<U>(u, "UnvisitedColor", [](U& l, auto& v) { l.SetUnvisitedColor(ui::ColorValue(v)); });
  Prop<U>(u, "VisitedColor", [](U& l, auto& v) { l.SetVisitedColor(ui::ColorValue(v)); });

  using L = TRzListBox;
  const char* l = "TRzListBox";
  Class<L>(l, "TListBox");
  // The list's colour is the frame's background rule as well as the control's own.
  Prop<L>(l, "Color", [](L& b, auto& v) {
    const TColor c = ui::ColorValue(v);
    b.SetColor(c);
    b.Frame().SetColor(c);
  });
  Prop<L>(l, "FocusColor", [](L& b, auto& v) { b.Frame().SetFocusColor(ui::ColorValue(v)); });
  Prop<L>(l, "DisabledColor", [](L& b, auto& v) { b.Frame().SetDisabledColor(ui::ColorValue(v)); });
  Prop<L>(l, "FrameVisible", [](L& b, auto& v) { b.Frame().SetFrameVisible(ui::BoolValue(v)); });
  Prop<L>(l, "FrameColor", [](L& b, auto& v) { b.Frame().SetFrameColor(ui::ColorValue(v)); });
  Prop<L>(l, "FrameHotColor", [](L& b, auto& v) { b.Frame().SetFrameHotColor(ui::ColorValue(v)); });
  Prop<L>(l, "FrameStyle", [](L& b, auto& v) { b.Frame().SetFrameStyle(FrameStyleValue(v)); });
  Prop<L>(l, "FrameHotStyle",
          [](L& b, auto& v) { b.Frame().SetFrameHotStyle(FrameStyleValue(v)); });
  Prop<L>(l, "FrameHotTrack", [](L& b, auto& v) { b.Frame().SetFrameHotTrack(ui::BoolValue(v)); });
  Prop<L>(l, "FrameSides", [](L& b, auto& v) { b.Frame().SetFrameSides(SidesValue(v)); });
  Prop<L>(l, "IncrementalSearch", [](L& b, auto& v) { b.SetIncrementalSearch(ui::BoolValue(v)); });
  Prop<L>(l, "BeepOnInvalidKey", [](L& b, auto& v) { b.SetBeepOnInvalidKey(ui::BoolValue(v)); });
  Prop<L>(l, "ShowItemHints", [](L& b, auto& v) { b.SetShowItemHints(ui::BoolValue(v)); });
}

void RegisterStatus() {
  using S = TRzStatusBar;
  const char* k = "TRzStatusBar";
  Class<S>(k, "TWinControl");
  Prop<S>(k, "BorderOuter", [](S& s, auto& v) { s.SetBorderOuter(FrameStyleValue(v)); });
  Prop<S>(k, "BorderInner", [](S& s, auto& v) { s.SetBorderInner(FrameStyleValue(v)); });
  Prop<S>(k, "BorderSides", [](S& s, auto& v) { s.SetBorderSides(SidesValue(v)); });
  Prop<S>(k, "BorderWidth", [](S& s, auto& v) { s.SetBorderWidth(ui::IntValue(v)); });
  Class<TRzStatusPane>("TRzStatusPane", "TControl");
}

}  // namespace

void RegisterLayoutClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::RegisterStandardClasses();
    RegisterPanel();
    RegisterButtons();
    RegisterLabelAndList();
    RegisterStatus();
  });
}

}  // namespace widgets
