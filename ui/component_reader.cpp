#include "ui/component_reader.h"

#include <cctype>
#include <map>
#include <memory>

#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "ui/component.h"
#include "ui/controls.h"
#include "ui/menus.h"
#include "ui/strings.h"

namespace ui {
namespace {

struct ClassEntry {
  std::string base;
  TComponentFactory factory;
  std::map<std::string, TPropertySetter> properties;  // lower-case names
};

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::map<std::string, ClassEntry>& Classes() {
  static std::map<std::string, ClassEntry> classes;
  return classes;
}

// Walks the base chain of className for property; null when none has it.
const TPropertySetter* FindProperty(const std::string& className, const std::string& property) {
  std::string name = className;
  for (int depth = 0; depth < 32 && !name.empty(); ++depth) {
    auto it = Classes().find(name);
    if (it == Classes().end()) return nullptr;
    auto p = it->second.properties.find(Lower(property));
    if (p != it->second.properties.end()) return &p->second;
    name = it->second.base;
  }
  return nullptr;
}

[[noreturn]] void Fail(int line, const std::string& what) {
  throw EReadError(Format(kLayoutError, line, what.c_str()));
}

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  int Line() const { return line_; }

  // Skips blanks, newlines and "//" comments.
  void SkipSpace() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }
  bool AtEnd() {
    SkipSpace();
    return pos_ >= text_.size();
  }
  char Peek() {
    SkipSpace();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void Expect(char c) {
    if (Peek() != c) Fail(line_, std::string("expected '") + c + "'");
    ++pos_;
  }
  // A name with dots (Font.Height, Picture.Data).
  std::string Ident() {
    SkipSpace();
    std::size_t start = pos_;
    while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) ||
                                   text_[pos_] == '_' || (pos_ > start && text_[pos_] == '.')))
      ++pos_;
    if (pos_ == start || std::isdigit(static_cast<unsigned char>(text_[start])))
      Fail(line_, "expected a name");
    return text_.substr(start, pos_ - start);
  }

  TLayoutValue Value() {
    TLayoutValue v;
    char c = Peek();
    if (c == '\'') {
      v.kind = TLayoutValue::Kind::String;
      std::string utf8;
      // 'it''s' and adjacent pieces joined with +.
      for (;;) {
        Expect('\'');
        for (;;) {
          if (pos_ >= text_.size() || text_[pos_] == '\n') Fail(line_, "unterminated string");
          if (text_[pos_] == '\'') {
            if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
              utf8 += '\'';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          utf8 += text_[pos_++];
        }
        if (Peek() != '+') break;
        ++pos_;
      }
      auto ansi = win::Utf8ToAnsi(utf8);
      if (!ansi) Fail(line_, "string is not UTF-8");
      v.text = *ansi;
    } else if (c == '(') {
      // A list of strings: ('line one' 'line two'), held as the items of a set.
      v.kind = TLayoutValue::Kind::Set;
      ++pos_;
      while (Peek() != ')') {
        if (Peek() != '\'') Fail(line_, "expected a string");
        v.items.push_back(Value().text);
      }
      ++pos_;
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      v.kind = TLayoutValue::Kind::Integer;
      bool negative = c == '-';
      if (negative) ++pos_;
      std::size_t start = pos_;
      std::int64_t n = 0;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
        n = n * 10 + (text_[pos_++] - '0');
        if (n > 0xFFFFFFFFll) Fail(line_, "integer out of range");
      }
      if (pos_ == start) Fail(line_, "expected digits");
      v.integer = negative ? -n : n;
    } else if (c == '[') {
      v.kind = TLayoutValue::Kind::Set;
      ++pos_;
      if (Peek() != ']') {
        for (;;) {
          v.items.push_back(Ident());
          if (Peek() != ',') break;
          ++pos_;
        }
      }
      Expect(']');
    } else if (c == '{') {
      v.kind = TLayoutValue::Kind::Binary;
      ++pos_;
      int high = -1;
      for (;;) {
        SkipSpace();
        if (pos_ >= text_.size()) Fail(line_, "unterminated binary value");
        char h = text_[pos_++];
        if (h == '}') break;
        int digit = std::isdigit(static_cast<unsigned char>(h)) ? h - '0'
                    : (h >= 'A' && h <= 'F')                    ? h - 'A' + 10
                    : (h >= 'a' && h <= 'f')                    ? h - 'a' + 10
                                                                : -1;
        if (digit < 0) Fail(line_, "bad hex digit");
        if (high < 0) {
          high = digit;
        } else {
          v.bytes.push_back(std::uint8_t(high * 16 + digit));
          high = -1;
        }
      }
      if (high >= 0) Fail(line_, "odd number of hex digits");
    } else {
      v.kind = TLayoutValue::Kind::Ident;
      v.text = Ident();
    }
    return v;
  }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

void Place(TComponent& child, TComponent* parent, int line) {
  if (parent == nullptr) return;
  if (auto* control = dynamic_cast<TControl*>(&child)) {
    auto* win = dynamic_cast<TWinControl*>(parent);
    if (win == nullptr) Fail(line, "a control needs a windowed parent");
    control->SetParent(win);
  } else if (auto* item = dynamic_cast<TMenuItem*>(&child)) {
    if (auto* menu = dynamic_cast<TPopupMenu*>(parent)) {
      menu->Items().Add(item);
    } else if (auto* parentItem = dynamic_cast<TMenuItem*>(parent)) {
      parentItem->Add(item);
    } else {
      Fail(line, "a menu item needs a menu");
    }
  }
}

// Reads "object Name: TClass" (already past "object") and its body up to "end".
void ReadObject(Parser& p, TLayoutContext& ctx, TComponent* parent, bool isRoot) {
  const int line = p.Line();
  std::string name = p.Ident();
  p.Expect(':');
  std::string className = p.Ident();
  TComponent* component = nullptr;
  if (isRoot) {
    component = &ctx.Root();
    if (Lower(className) != Lower(component->ClassName()))
      Fail(line, "the layout is for " + className);
  } else {
    auto it = Classes().find(className);
    if (it == Classes().end() || !it->second.factory) Fail(line, "unknown class " + className);
    component = it->second.factory(&ctx.Root());
    if (component == nullptr) Fail(line, "cannot create " + className);
  }
  component->SetLoading(true);
  if (!isRoot) {
    if (ctx.Root().FindComponent(name) != nullptr) Fail(line, "duplicate name " + name);
    component->SetName(name);
    Place(*component, parent, line);
  } else {
    component->SetName(name);
  }
  for (;;) {
    if (p.AtEnd()) Fail(p.Line(), "missing end");
    const int propLine = p.Line();
    std::string word = p.Ident();
    if (word == "end") break;
    if (word == "object") {
      ReadObject(p, ctx, component, false);
      continue;
    }
    p.Expect('=');
    TLayoutValue value = p.Value();
    const TPropertySetter* setter = FindProperty(className, word);
    if (setter == nullptr) Fail(propLine, "unknown property " + className + "." + word);
    try {
      (*setter)(*component, value, ctx);
    } catch (const EReadError& e) {
      if (e.Message().rfind("Layout line ", 0) == 0) throw;
      Fail(propLine, word + ": " + e.Message());
    } catch (const Exception& e) {
      Fail(propLine, word + ": " + e.Message());
    }
  }
  component->Loaded();
}

}  // namespace

void RegisterLayoutClass(const std::string& name, const std::string& base,
                         TComponentFactory factory) {
  ClassEntry& entry = Classes()[name];
  entry.base = base;
  entry.factory = std::move(factory);
}

void RegisterLayoutProperty(const std::string& className, const std::string& property,
                            TPropertySetter setter) {
  Classes()[className].properties[Lower(property)] = std::move(setter);
}

bool LayoutClassRegistered(const std::string& name) {
  return Classes().count(name) != 0;
}

void ReadComponentLayout(const std::string& layout, TComponent& root, const TLayoutRoot* methods) {
  RegisterStandardClasses();
  TLayoutContext ctx(root, methods);
  Parser p(layout);
  if (p.AtEnd() || p.Ident() != "object") Fail(p.Line(), "expected object");
  ReadObject(p, ctx, nullptr, true);
  if (!p.AtEnd()) Fail(p.Line(), "text after the last end");
  ctx.ResolveReferences();
  if (auto* control = dynamic_cast<TWinControl*>(&root)) control->Realign();
}

std::int32_t IntValue(const TLayoutValue& value) {
  if (value.kind != TLayoutValue::Kind::Integer) throw EReadError("integer expected");
  if (value.integer < INT32_MIN || value.integer > INT32_MAX)
    throw EReadError("integer out of range");
  return std::int32_t(value.integer);
}

bool BoolValue(const TLayoutValue& value) {
  return EnumValue(value, {"False", "True"}) == 1;
}

AnsiString StringValue(const TLayoutValue& value) {
  if (value.kind != TLayoutValue::Kind::String) throw EReadError("string expected");
  return value.text;
}

TColor ColorValue(const TLayoutValue& value) {
  if (value.kind == TLayoutValue::Kind::Integer) {
    // Colours are written as their 32-bit value; system colours come out negative.
    return TColor(std::uint32_t(value.integer));
  }
  static const std::pair<const char*, TColor> kNames[] = {
      {"clBlack", clBlack},         {"clWhite", clWhite},   {"clOlive", clOlive},
      {"clBtnFace", clBtnFace},     {"clWindow", clWindow}, {"clWindowText", clWindowText},
      {"clHighlight", clHighlight}, {"clNone", clNone},     {"clRed", clRed},
      {"clBlue", clBlue},           {"clYellow", clYellow}, {"clGray", clGray},
  };
  if (value.kind == TLayoutValue::Kind::Ident) {
    for (const auto& [name, colour] : kNames)
      if (Lower(name) == Lower(value.text)) return colour;
  }
  throw EReadError("colour expected");
}

int EnumValue(const TLayoutValue& value, std::initializer_list<const char*> names) {
  if (value.kind == TLayoutValue::Kind::Ident) {
    int i = 0;
    for (const char* n : names) {
      if (Lower(n) == Lower(value.text)) return i;
      ++i;
    }
  }
  throw EReadError("invalid property value " + value.text);
}

std::uint32_t SetValue(const TLayoutValue& value, std::initializer_list<const char*> names) {
  if (value.kind != TLayoutValue::Kind::Set) throw EReadError("set expected");
  std::uint32_t bits = 0;
  for (const std::string& item : value.items) {
    TLayoutValue v;
    v.kind = TLayoutValue::Kind::Ident;
    v.text = item;
    bits |= 1u << EnumValue(v, names);
  }
  return bits;
}

}  // namespace ui

const TLayoutMethod* TLayoutContext::FindMethod(const TLayoutValue& value) const {
  if (value.kind != TLayoutValue::Kind::Ident) throw EReadError("handler name expected");
  const TLayoutMethod* m = methods_ != nullptr ? methods_->FindMethod(value.text) : nullptr;
  if (m == nullptr) Fail(value);
  return m;
}

void TLayoutContext::Fail(const TLayoutValue& value) const {
  throw EReadError("no handler " + value.text + " of that shape");
}

void TLayoutContext::Reference(const TLayoutValue& value, std::function<void(TComponent*)> fixup) {
  if (value.kind != TLayoutValue::Kind::Ident) throw EReadError("component name expected");
  references_.emplace_back(value.text, std::move(fixup));
}

void TLayoutContext::ResolveReferences() {
  for (auto& [name, fixup] : references_) {
    TComponent* c = root_.FindComponent(name);
    if (c == nullptr) throw EReadError("no component " + name);
    fixup(c);
  }
  references_.clear();
}
