// Code page 936 at the host boundary. GB18030 is a superset of 936 with the same lead
// bytes that encodes every Unicode character, so no host name is lost on the way in.
#include <iconv.h>

#include <cerrno>
#include <string_view>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win {

namespace {

// One converter per direction and thread: iconv descriptors carry state.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  std::optional<std::string> Convert(const std::string& in) {
    if (in.empty()) return std::string();
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    std::string out(in.size() * 2 + 8, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t done = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + done;
      std::size_t dstLeft = out.size() - done;
      const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      done = out.size() - dstLeft;
      if (r != static_cast<std::size_t>(-1)) break;
      if (errno != E2BIG) return std::nullopt;  // invalid or incomplete sequence
      out.resize(out.size() * 2);
    }
    // Flush any pending output of a stateful encoder.
    char* dst = out.data() + done;
    std::size_t dstLeft = out.size() - done;
    if (iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
      return std::nullopt;
    }
    out.resize(out.size() - dstLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::optional<std::string> AnsiToUtf8(const std::string& ansi) {
  thread_local Converter converter("UTF-8", "GB18030");
  return converter.Convert(ansi);
}

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) {
  thread_local Converter converter("GB18030", "UTF-8");
  return converter.Convert(utf8);
}

namespace {

// Windows refuses these in names; on the host they are ordinary. "/" cannot occur in a host
// name, so it needs no stand-in.
constexpr std::string_view kForbidden = "\\:*?\"<>|";
constexpr char32_t kStandInBase = 0xF000;

bool IsForbidden(char c) {
  return kForbidden.find(c) != std::string_view::npos;
}

// The three UTF-8 bytes of the stand-in for a forbidden character.
std::string StandIn(char c) {
  const char32_t cp = kStandInBase + static_cast<unsigned char>(c);
  return {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
          static_cast<char>(0x80 | (cp & 0x3F))};
}

// The forbidden character whose stand-in starts at s[i], or 0.
char StandInAt(std::string_view s, std::size_t i) {
  if (i + 2 >= s.size() || static_cast<unsigned char>(s[i]) != 0xEF) return 0;
  const auto b1 = static_cast<unsigned char>(s[i + 1]);
  const auto b2 = static_cast<unsigned char>(s[i + 2]);
  if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return 0;
  const char32_t cp = 0xF000 | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
  if (cp < kStandInBase || cp >= kStandInBase + 0x80) return 0;
  const char c = static_cast<char>(cp - kStandInBase);
  return IsForbidden(c) ? c : 0;
}

}  // namespace

std::optional<std::string> HostNameToAnsi(const std::string& hostName) {
  std::string mapped;
  mapped.reserve(hostName.size());
  for (std::size_t i = 0; i < hostName.size(); ++i) {
    // A stand-in already in the host name would read back as the character it stands for,
    // which names another file.
    if (StandInAt(hostName, i) != 0) return std::nullopt;
    // Forbidden characters are ASCII, so they are never part of a multi-byte sequence.
    if (IsForbidden(hostName[i])) {
      mapped += StandIn(hostName[i]);
    } else {
      mapped += hostName[i];
    }
  }
  return Utf8ToAnsi(mapped);
}

std::optional<std::string> AnsiNameToHost(const std::string& ansiName) {
  const auto utf8 = AnsiToUtf8(ansiName);
  if (!utf8) return std::nullopt;
  std::string host;
  host.reserve(utf8->size());
  for (std::size_t i = 0; i < utf8->size(); ++i) {
    if (IsForbidden((*utf8)[i])) return std::nullopt;  // Windows refuses the name itself
    if (const char c = StandInAt(*utf8, i)) {
      host += c;
      i += 2;
    } else {
      host += (*utf8)[i];
    }
  }
  return host;
}

bool IsDBCSLeadByte(BYTE b) {
  return b >= 0x81 && b <= 0xFE;
}

namespace detail {

std::size_t CharLength(const std::string& s, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<BYTE>(s[k]); };
  if (!IsDBCSLeadByte(at(i)) || i + 1 >= s.size()) return 1;
  // GB18030 four-byte form: lead, digit, lead, digit.
  if (at(i + 1) >= 0x30 && at(i + 1) <= 0x39 && i + 3 < s.size() && IsDBCSLeadByte(at(i + 2)) &&
      at(i + 3) >= 0x30 && at(i + 3) <= 0x39) {
    return 4;
  }
  return 2;
}

}  // namespace detail

bool AnsiEqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t length = detail::CharLength(a, i);
    if (length == 1) {
      const auto x = static_cast<unsigned char>(a[i]);
      const auto y = static_cast<unsigned char>(b[i]);
      const auto fold = [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
      };
      if (fold(x) != fold(y)) return false;
    } else if (a.compare(i, length, b, i, length) != 0) {
      return false;
    }
    i += length;
  }
  return true;
}

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const int length = b < 0x80         ? 1
                       : (b >> 5) == 6  ? 2
                       : (b >> 4) == 14 ? 3
                       : (b >> 3) == 30 ? 4
                                        : 0;
    char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    bool valid = length > 0 && i + length <= utf8.size();
    for (int k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
    i += std::size_t(length);
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& wide) {
  std::string out;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace win
