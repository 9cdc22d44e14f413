#include "tests/support/case_name.h"

namespace test_support {

std::string CaseName(std::string_view text) {
  std::string name;
  bool wordStart = true;
  for (const char c : text) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit) {
      wordStart = true;
      continue;
    }
    name += wordStart && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    wordStart = false;
  }
  return name.empty() ? "Case" : name;
}

std::string SpelledName(std::string_view text) {
  static const struct {
    char c;
    const char* name;
  } kSpelled[] = {{' ', "Space"}, {'\t', "Tab"}, {'$', "Dollar"}, {'+', "Plus"},
                  {'-', "Minus"}, {'.', "Dot"},  {',', "Comma"},  {'_', "Underscore"}};
  if (text.empty()) return "Empty";
  std::string name;
  for (const char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      name += c;
      continue;
    }
    const char* spelled = nullptr;
    for (const auto& s : kSpelled) {
      if (s.c == c) spelled = s.name;
    }
    if (spelled != nullptr) {
      name += spelled;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(c);
      name += std::string("Char") + kHex[byte >> 4] + kHex[byte & 15];
    }
  }
  return name;
}

}  // namespace test_support
