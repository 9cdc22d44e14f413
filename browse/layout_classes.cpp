#include "browse/layout_classes.h"

#include <mutex>

#include "browse/shell_tree.h"
#include "runtime/exceptions.h"
#include "ui/component_reader.h"

namespace browse {
namespace {

template <class Fn>
void Prop(const char* name, Fn fn) {
  ui::RegisterLayoutProperty("TRzShellTree", name,
                             [fn](TComponent& c, const TLayoutValue& v, TLayoutContext&) {
                               auto* t = dynamic_cast<TRzShellTree*>(&c);
                               if (t == nullptr) throw EReadError("property of another class");
                               fn(*t, v);
                             });
}

}  // namespace

void RegisterLayoutClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::RegisterStandardClasses();
    using T = TRzShellTree;
    ui::RegisterLayoutClass("TRzShellTree", "TTreeView",
                            [](TComponent* owner) -> TComponent* { return new T(owner); });
    Prop("FrameVisible", [](T& t, auto& v) { t.SetFrameVisible(ui::BoolValue(v)); });
    Prop("FrameColor", [](T& t, auto& v) { t.SetFrameColor(ui::ColorValue(v)); });
    Prop("FrameHotColor", [](T& t, auto& v) { t.SetFrameHotColor(ui::ColorValue(v)); });
    Prop("FrameHotTrack", [](T& t, auto& v) { t.SetFrameHotTrack(ui::BoolValue(v)); });
    Prop("Options", [](T& t, auto& v) {
      t.SetOptions(TRzShellTreeOptions(
          ui::SetValue(v, {"stoAutoFill", "stoVirtualFolders", "stoDesignInteractive",
                           "stoDefaultKeyHandling", "stoContextMenus", "stoDynamicRefresh",
                           "stoIncludeNonFolders", "stoOleDrag", "stoOleDrop", "stoShowHidden"})));
    });
  });
}

}  // namespace browse
