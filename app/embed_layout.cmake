# Writes the layout text into a C++ source as a hex byte array (no escaping pitfalls).
file(READ ${IN} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE ${OUT} "#include <string>\nnamespace app {\nconst std::string& MainWindowLayout() {\n"
  "  static const char kText[] = {${bytes} 0};\n"
  "  static const std::string text(kText, sizeof kText - 1);\n  return text;\n}\n}\n")
