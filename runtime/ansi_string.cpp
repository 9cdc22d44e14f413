#include "runtime/ansi_string.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

AnsiString Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  AnsiString result;
  if (length > 0) {
    result.resize(static_cast<std::size_t>(length));
    std::vsnprintf(result.data(), result.size() + 1, format, args);
  }
  va_end(args);
  return result;
}

std::size_t LastDelimiter(const AnsiString& delimiters, const AnsiString& s) {
  // Code page 936 cannot be read backwards: a byte's role depends on what precedes it, so the
  // scan runs forward and remembers the last single-byte hit.
  std::size_t found = AnsiString::npos;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(b)) {
      ++i;  // skip the second byte, whatever it is
      continue;
    }
    if (delimiters.find(static_cast<char>(b)) != AnsiString::npos) found = i;
  }
  return found;
}

namespace {

std::size_t NameStart(const AnsiString& path) {
  const std::size_t d = LastDelimiter("\\:", path);
  return d == AnsiString::npos ? 0 : d + 1;
}

// Index of the extension's dot, or npos.
std::size_t ExtensionDot(const AnsiString& path) {
  const std::size_t d = LastDelimiter(".\\:", path);
  if (d == AnsiString::npos || path[d] != '.') return AnsiString::npos;
  return d;
}

}  // namespace

AnsiString ExtractFilePath(const AnsiString& path) {
  return path.substr(0, NameStart(path));
}

AnsiString ExtractFileDir(const AnsiString& path) {
  std::size_t end = NameStart(path);
  // Keep the separator of a root ("C:\", "\") but not of a folder.
  if (end > 1 && path[end - 1] == '\\' && LastDelimiter("\\:", path.substr(0, end - 1)) != end - 2)
    --end;
  return path.substr(0, end);
}

AnsiString ExtractFileName(const AnsiString& path) {
  return path.substr(NameStart(path));
}

AnsiString ExtractFileExt(const AnsiString& path) {
  const std::size_t dot = ExtensionDot(path);
  return dot == AnsiString::npos ? AnsiString() : path.substr(dot);
}

AnsiString ExtractExtensionWithoutDot(const AnsiString& path) {
  const AnsiString ext = ExtractFileExt(path);
  return ext.empty() ? ext : ext.substr(1);
}

AnsiString ChangeFileExt(const AnsiString& path, const AnsiString& ext) {
  const std::size_t dot = ExtensionDot(path);
  return (dot == AnsiString::npos ? path : path.substr(0, dot)) + ext;
}

AnsiString ExpandFileName(const AnsiString& path) {
  std::string full;
  if (win::GetFullPathNameA(path.c_str(), full) == 0) return path;
  return full;
}

AnsiString AnsiLowerCase(const AnsiString& s) {
  AnsiString r = s;
  for (std::size_t i = 0; i < r.size(); ++i) {
    const auto b = static_cast<unsigned char>(r[i]);
    if (IsLeadByte(b)) {
      ++i;
    } else if (b >= 'A' && b <= 'Z') {
      r[i] = static_cast<char>(b + ('a' - 'A'));
    }
  }
  return r;
}

AnsiString AnsiUpperCase(const AnsiString& s) {
  AnsiString r = s;
  for (std::size_t i = 0; i < r.size(); ++i) {
    const auto b = static_cast<unsigned char>(r[i]);
    if (IsLeadByte(b)) {
      ++i;
    } else if (b >= 'a' && b <= 'z') {
      r[i] = static_cast<char>(b - ('a' - 'A'));
    }
  }
  return r;
}

std::optional<std::int32_t> TryStrToInt(const AnsiString& s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && s[i + 1] == 'x') {
    // Only the lower-case "0x" prefix: "0X10" is not an integer.
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;  // no digits
  // The magnitude may reach 2^31 for a negative value.
  const std::uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
  std::uint64_t value = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;  // anything after the digits
    }
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  const auto signedValue =
      negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(signedValue);
}

std::int32_t StrToInt(const AnsiString& s) {
  if (auto v = TryStrToInt(s)) return *v;
  throw EConvertError(Format(strings::kInvalidInteger, s.c_str()));
}

AnsiString IntToStr(std::int64_t value) {
  return std::to_string(value);
}

AnsiString ApplicationTitleFrom(const AnsiString& programPath) {
  const AnsiString name = ExtractFileName(programPath);
  // Everything from the first "." on goes; a "." can never be a second byte of a character,
  // but the forward scan keeps that true by construction.
  std::size_t end = name.size();
  std::size_t firstEnd = 0;  // end of the first character
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(b)) {
      if (i == 0) firstEnd = std::min<std::size_t>(2, name.size());
      ++i;
      continue;
    }
    if (i == 0) firstEnd = 1;
    if (b == '.') {
      end = i;
      break;
    }
  }
  const AnsiString title = name.substr(0, end);
  if (firstEnd >= title.size()) return title;
  return title.substr(0, firstEnd) + AnsiLowerCase(title.substr(firstEnd));
}

AnsiString FailureDisplayText(const AnsiString& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}
