// The stored-layout reader: a text tree of "object Name: TClass ... end" blocks whose lines
// set published properties by name. Classes are made through a registry by name; property
// setters are registered per class and found along the class's registered base chain; events
// are bound to the root's handlers by name; component references are resolved once the whole
// tree has been read, so a control may name a menu that comes later.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "imaging/colors.h"
#include "runtime/ansi_string.h"
#include "ui/types.h"

class TComponent;

// One property value as written in the layout.
struct TLayoutValue {
  enum class Kind : std::uint8_t { Integer, String, Ident, Set, Binary };
  Kind kind = Kind::Integer;
  std::int64_t integer = 0;
  AnsiString text;                  // String (code page 936) or Ident
  std::vector<std::string> items;   // Set
  std::vector<std::uint8_t> bytes;  // Binary
};

// A handler of the root component, in one of the event shapes the controls use.
using TLayoutMethod = std::variant<TNotifyEvent, TMouseEvent, TMouseMoveEvent, TMouseWheelEvent>;

// What the reader asks of the component it reads into.
class TLayoutRoot {
 public:
  // The handler called name, or null when there is none.
  virtual const TLayoutMethod* FindMethod(const std::string& name) const = 0;

 protected:
  ~TLayoutRoot() = default;
};

class TLayoutContext;
using TPropertySetter =
    std::function<void(TComponent& component, const TLayoutValue& value, TLayoutContext& ctx)>;
using TComponentFactory = std::function<TComponent*(TComponent* owner)>;

class TLayoutContext {
 public:
  TLayoutContext(TComponent& root, const TLayoutRoot* methods) : root_(root), methods_(methods) {}
  TComponent& Root() const { return root_; }
  // The handler named by an identifier value; EReadError when the root has none by that name
  // or it has another shape.
  template <class Event>
  Event Method(const TLayoutValue& value) const {
    const TLayoutMethod* m = FindMethod(value);
    if (const Event* e = std::get_if<Event>(m)) return *e;
    Fail(value);
  }
  // Runs fixup with the root's component named by value once the tree is read.
  void Reference(const TLayoutValue& value, std::function<void(TComponent*)> fixup);
  void ResolveReferences();

 private:
  const TLayoutMethod* FindMethod(const TLayoutValue& value) const;
  [[noreturn]] void Fail(const TLayoutValue& value) const;
  TComponent& root_;
  const TLayoutRoot* methods_;
  std::vector<std::pair<AnsiString, std::function<void(TComponent*)>>> references_;
};

namespace ui {

// Registers a class (base: the registered class whose properties it inherits, or null). A
// later registration under the same name replaces the earlier one.
void RegisterLayoutClass(const std::string& name, const std::string& base,
                         TComponentFactory factory);
void RegisterLayoutProperty(const std::string& className, const std::string& property,
                            TPropertySetter setter);
bool LayoutClassRegistered(const std::string& name);

// Reads layout into root: the outer object must name root's class; each inner object is
// created with root as owner, given its name, placed under its enclosing control (or menu),
// has its properties set and is told Loaded() once its children are read. Parse errors,
// unknown classes and properties, bad values and unknown handlers raise EReadError naming
// the line. Strings are written in UTF-8 and held in code page 936.
void ReadComponentLayout(const std::string& layout, TComponent& root, const TLayoutRoot* methods);

// Value helpers for setters (EReadError on the wrong kind).
std::int32_t IntValue(const TLayoutValue& value);
bool BoolValue(const TLayoutValue& value);
AnsiString StringValue(const TLayoutValue& value);
// Integers, or the colour names cl... the layout uses.
TColor ColorValue(const TLayoutValue& value);
// The index of value's identifier in names.
int EnumValue(const TLayoutValue& value, std::initializer_list<const char*> names);
// Bits of the set items by their index in names.
std::uint32_t SetValue(const TLayoutValue& value, std::initializer_list<const char*> names);

// The standard classes of the window layer and their published properties.
void RegisterStandardClasses();

}  // namespace ui
