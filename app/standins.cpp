#include "app/standins.h"

#include <map>
#include <string>

#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "ui/component_reader.h"
#include "ui/list_box.h"
#include "ui/stdctrls.h"
#include "ui/tree_view.h"

namespace app {
namespace {

// What a stand-in keeps of the properties it does not act on.
struct Kept {
  std::map<std::string, TLayoutValue> values;
  int Int(const std::string& name, int fallback) const {
    auto it = values.find(name);
    return it != values.end() && it->second.kind == TLayoutValue::Kind::Integer
               ? int(it->second.integer)
               : fallback;
  }
  std::string Ident(const std::string& name) const {
    auto it = values.find(name);
    return it != values.end() ? it->second.text : std::string();
  }
};

class StandInPanel : public TPanel, public Kept {
 public:
  explicit StandInPanel(TComponent* owner) : TPanel(owner) { SetBevelOuter(TBevelCut::bvNone); }
  const char* ClassName() const override { return "TRzPanel"; }
  int BorderSize() const {
    const std::string outer = Ident("BorderOuter");
    if (outer == "fsFlatBold") return 2;
    if (outer == "fsFlat" || outer == "fsFlatRounded") return 1;
    return 0;
  }
  void AdjustClientRect(win::RECT& r) const override {
    TPanel::AdjustClientRect(r);
    const int b = BorderSize();
    r = {r.left + b, r.top + b, r.right - b, r.bottom - b};
  }

 protected:
  void Paint() override {
    TCanvas& c = Canvas();
    const win::RECT all = ClientRect();
    if (Ident("VisualStyle") == "vsGradient" && Ident("GradientColorStyle") == "gcsCustom" &&
        values.count("GradientColorStart") != 0) {
      const TColor from = TColor(Int("GradientColorStart", 0));
      const TColor to = TColor(Int("GradientColorStop", 0));
      const int h = std::max(all.bottom, 1);
      for (int y = 0; y < all.bottom; ++y) {
        auto mix = [&](int shift) {
          const int a = int(from >> shift) & 0xFF, b = int(to >> shift) & 0xFF;
          return TColor(a + (b - a) * y / h) << shift;
        };
        c.Brush().SetColor(mix(0) | mix(8) | mix(16));
        c.FillRect({0, y, all.right, y + 1});
      }
    } else {
      c.Brush().SetColor(Color());
      c.FillRect(all);
    }
    const int b = BorderSize();
    c.Brush().SetColor(TColor(Int("FlatColor", 0)));
    for (int i = 0; i < b; ++i) c.FrameRect({i, i, all.right - i, all.bottom - i});
  }
};

class StandInButton : public TButton, public Kept {
 public:
  explicit StandInButton(TComponent* owner) : TButton(owner) {}
  const char* ClassName() const override { return "TRzButton"; }
};

// Shows its up face; clicks come from the control's own click handling.
class StandInBmpButton : public TGraphicControl, public Kept {
 public:
  explicit StandInBmpButton(TComponent* owner) : TGraphicControl(owner) {}
  const char* ClassName() const override { return "TRzBmpButton"; }
  TBitmap up, hot, down;
  void Paint(TCanvas& canvas) override {
    if (!up.IsEmpty()) canvas.Draw(0, 0, &up);
  }
};

class StandInUrlLabel : public TLabel, public Kept {
 public:
  explicit StandInUrlLabel(TComponent* owner) : TLabel(owner) {}
  const char* ClassName() const override { return "TRzURLLabel"; }
};

class StandInListBox : public TListBox, public Kept {
 public:
  explicit StandInListBox(TComponent* owner) : TListBox(owner) {}
  const char* ClassName() const override { return "TRzListBox"; }
};

class StandInStatusBar : public TPanel, public Kept {
 public:
  explicit StandInStatusBar(TComponent* owner) : TPanel(owner) { SetBevelOuter(TBevelCut::bvNone); }
  const char* ClassName() const override { return "TRzStatusBar"; }
};

class StandInStatusPane : public TLabel, public Kept {
 public:
  explicit StandInStatusPane(TComponent* owner) : TLabel(owner) { SetAutoSize(false); }
  const char* ClassName() const override { return "TRzStatusPane"; }
};

class StandInShellTree : public TTreeView, public Kept {
 public:
  explicit StandInShellTree(TComponent* owner) : TTreeView(owner) {}
  const char* ClassName() const override { return "TRzShellTree"; }
};

class StandInSaveDialog : public TComponent, public Kept {
 public:
  explicit StandInSaveDialog(TComponent* owner) : TComponent(owner) {}
  const char* ClassName() const override { return "TSavePictureDialog"; }
};

template <class T>
void Keep(const char* cls, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    std::string key = name;
    ui::RegisterLayoutProperty(cls, name,
                               [key](TComponent& c, const TLayoutValue& v, TLayoutContext&) {
                                 dynamic_cast<Kept&>(dynamic_cast<T&>(c)).values[key] = v;
                               });
  }
}

// False when the real class is registered already.
template <class T>
bool StandIn(const char* name, const char* base) {
  if (ui::LayoutClassRegistered(name)) return false;
  ui::RegisterLayoutClass(name, base,
                          [](TComponent* owner) -> TComponent* { return new T(owner); });
  return true;
}

void ReadFace(TBitmap& face, const TLayoutValue& v) {
  if (v.kind != TLayoutValue::Kind::Binary) throw EReadError("binary value expected");
  TMemoryStream s;
  if (!v.bytes.empty()) s.Write(v.bytes.data(), std::int32_t(v.bytes.size()));
  s.Seek(0, TSeekOrigin::soBeginning);
  face.ReadStoredData(s);
}

}  // namespace

void RegisterStandInClasses() {
  ui::RegisterStandardClasses();
  if (StandIn<StandInPanel>("TRzPanel", "TPanel")) {
    Keep<StandInPanel>("TRzPanel", {"BorderOuter", "BorderInner", "BorderShadow", "FlatColor",
                                    "GradientColorStyle", "GradientColorStart", "GradientColorStop",
                                    "VisualStyle", "BorderSides"});
  }
  if (StandIn<StandInButton>("TRzButton", "TButton")) {
    Keep<StandInButton>("TRzButton", {"FrameColor", "HighlightColor", "HotTrack"});
  }
  if (StandIn<StandInBmpButton>("TRzBmpButton", "TControl")) {
    Keep<StandInBmpButton>("TRzBmpButton", {"TransparentColor"});
    ui::RegisterLayoutProperty("TRzBmpButton", "Bitmaps.Up.Data",
                               [](TComponent& c, const TLayoutValue& v, TLayoutContext&) {
                                 ReadFace(dynamic_cast<StandInBmpButton&>(c).up, v);
                               });
    ui::RegisterLayoutProperty("TRzBmpButton", "Bitmaps.Hot.Data",
                               [](TComponent& c, const TLayoutValue& v, TLayoutContext&) {
                                 ReadFace(dynamic_cast<StandInBmpButton&>(c).hot, v);
                               });
    ui::RegisterLayoutProperty("TRzBmpButton", "Bitmaps.Down.Data",
                               [](TComponent& c, const TLayoutValue& v, TLayoutContext&) {
                                 ReadFace(dynamic_cast<StandInBmpButton&>(c).down, v);
                               });
  }
  if (StandIn<StandInUrlLabel>("TRzURLLabel", "TLabel")) {
    Keep<StandInUrlLabel>("TRzURLLabel", {"URL"});
  }
  if (StandIn<StandInListBox>("TRzListBox", "TListBox")) {
    Keep<StandInListBox>("TRzListBox",
                         {"FrameVisible", "FrameColor", "FrameHotColor", "FrameHotTrack"});
  }
  if (StandIn<StandInStatusBar>("TRzStatusBar", "TPanel")) {
    Keep<StandInStatusBar>("TRzStatusBar", {"BorderInner", "BorderOuter", "BorderSides"});
  }
  if (StandIn<StandInStatusPane>("TRzStatusPane", "TLabel")) {
  }
  if (StandIn<StandInShellTree>("TRzShellTree", "TTreeView")) {
    Keep<StandInShellTree>("TRzShellTree",
                           {"FrameVisible", "FrameColor", "FrameHotColor", "FrameHotTrack"});
  }
  if (StandIn<StandInSaveDialog>("TSavePictureDialog", "")) {
    Keep<StandInSaveDialog>("TSavePictureDialog", {"InitialDir"});
  }
}

}  // namespace app
