// Code page 936 at the host boundary. GB18030 is a superset of 936 with the same lead
// bytes that encodes every Unicode character, so no host name is lost on the way in.
#include <iconv.h>

#include <cerrno>

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

bool HasBackslash(const std::string& ansi) {
  for (std::size_t i = 0; i < ansi.size(); i += CharLength(ansi, i)) {
    if (ansi[i] == '\\') return true;
  }
  return false;
}

bool AnsiEqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t length = CharLength(a, i);
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

}  // namespace detail

}  // namespace win
