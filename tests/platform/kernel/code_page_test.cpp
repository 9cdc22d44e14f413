#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "platform/kernel/kernel.h"
#include "tests/platform/kernel/kernel_test_util.h"
#include "tests/support/case_name.h"

namespace {

using kernel_test::Ansi;

struct RoundTrip {
  const char* utf8;
  const char* ansi;  // expected code page bytes
  const char* why;
};

class CodePageRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(CodePageRoundTrip, HostNameSurvivesBothWays) {
  const RoundTrip& c = GetParam();
  const auto ansi = win::Utf8ToAnsi(c.utf8);
  ASSERT_TRUE(ansi.has_value()) << c.why;
  EXPECT_EQ(*ansi, c.ansi) << c.why;
  EXPECT_EQ(win::AnsiToUtf8(*ansi), c.utf8) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Names, CodePageRoundTrip,
    testing::Values(RoundTrip{"", "", "empty"}, RoundTrip{"photo.jpg", "photo.jpg", "ASCII"},
                    RoundTrip{"缩图.jpg", "\xCB\xF5\xCD\xBC.jpg", "GBK double-byte"},
                    RoundTrip{"乗", "\x81\x5C", "trail byte equal to a backslash"},
                    RoundTrip{"𠀀", "\x95\x32\x82\x36", "outside GBK: four-byte form"},
                    RoundTrip{"😀.jpg", "\x94\x39\xFC\x36.jpg", "emoji"},
                    RoundTrip{"é€", "\xA8\xA6\xA2\xE3", "Latin and euro sign"}),
    test_support::NameFrom<&RoundTrip::why>{});

TEST(CodePage, RejectsBytesThatAreNoCharacter) {
  EXPECT_FALSE(win::Utf8ToAnsi("\xFF.jpg").has_value());      // not UTF-8
  EXPECT_FALSE(win::Utf8ToAnsi("a\xE7\xBC").has_value());     // truncated UTF-8
  EXPECT_FALSE(win::AnsiToUtf8("a\x81").has_value());         // lead byte with no trail
  EXPECT_FALSE(win::AnsiToUtf8("\x95\x32\x82").has_value());  // cut four-byte form
}

TEST(CodePage, WideStringsKeepEveryCharacterAndMarkWhatIsNone) {
  const struct {
    const char* why;
    std::string utf8;
    std::u16string wide;
    std::string back;  // what the wide string gives again
  } cases[] = {
      {"Chinese and beyond the plane", "照片\xF0\x9F\x93\xB7", u"照片\U0001F4F7",
       "照片\xF0\x9F\x93\xB7"},
      {"a byte that starts nothing",
       "a\xFF"
       "b",
       u"a\uFFFDb",
       "a\xEF\xBF\xBD"
       "b"},
      {"a sequence cut short", "a\xE7\x85", u"a\uFFFD\uFFFD", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(win::Utf8ToUtf16(c.utf8), c.wide) << c.why;
    EXPECT_EQ(win::Utf16ToUtf8(c.wide), c.back) << c.why;
  }
  EXPECT_EQ(win::Utf16ToUtf8(std::u16string(1, char16_t(0xD83D))), "\xEF\xBF\xBD")
      << "a lone surrogate";
}

TEST(CodePage, LeadBytesAre81ToFE) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(win::IsDBCSLeadByte(static_cast<win::BYTE>(b)), b >= 0x81 && b <= 0xFE) << b;
  }
}

TEST(ErrorText, ListedErrorsHaveChineseTextEndingInFullStop) {
  const std::string fullStop = Ansi("。");
  for (win::DWORD code : {0u,  2u,  3u,  4u,  5u,  6u,   8u,   14u,  15u,  18u,  19u,  21u,  32u,
                          38u, 39u, 50u, 80u, 87u, 112u, 123u, 145u, 183u, 206u, 267u, 1113u}) {
    const std::string text = win::SystemErrorText(code);
    ASSERT_GT(text.size(), fullStop.size()) << code;
    EXPECT_EQ(text.substr(text.size() - fullStop.size()), fullStop) << code;
    EXPECT_TRUE(win::AnsiToUtf8(text).has_value()) << code;
  }
  EXPECT_EQ(win::SystemErrorText(5), Ansi("拒绝访问。"));
  EXPECT_EQ(win::SystemErrorText(2), Ansi("系统找不到指定的文件。"));
  EXPECT_EQ(win::SystemErrorText(99999), "");
}

TEST(ErrorText, ErrnoMapsToWindowsNumbers) {
  const std::pair<int, win::DWORD> cases[] = {
      {0, win::ERROR_SUCCESS},
      {ENOENT, win::ERROR_FILE_NOT_FOUND},
      {ENOTDIR, win::ERROR_PATH_NOT_FOUND},
      {EACCES, win::ERROR_ACCESS_DENIED},
      {EPERM, win::ERROR_ACCESS_DENIED},
      {EROFS, win::ERROR_WRITE_PROTECT},
      {ENOSPC, win::ERROR_DISK_FULL},
      {EDQUOT, win::ERROR_DISK_FULL},
      {EEXIST, win::ERROR_ALREADY_EXISTS},
      {ENOTEMPTY, win::ERROR_DIR_NOT_EMPTY},
      {ENAMETOOLONG, win::ERROR_FILENAME_EXCED_RANGE},
      {EMFILE, win::ERROR_TOO_MANY_OPEN_FILES},
      {ENOMEM, win::ERROR_NOT_ENOUGH_MEMORY},
      {EBADF, win::ERROR_INVALID_HANDLE},
      {EINVAL, win::ERROR_INVALID_PARAMETER},
      {EXDEV, win::ERROR_NOT_SAME_DEVICE},
      {ENOMEDIUM, win::ERROR_NOT_READY},
  };
  for (const auto& [err, code] : cases) EXPECT_EQ(win::ErrorFromErrno(err), code) << err;
  // Whatever errno says, the number has a text to show.
  for (int err = 1; err < 134; ++err) {
    EXPECT_NE(win::SystemErrorText(win::ErrorFromErrno(err)), "") << err;
  }
}

TEST(LastError, IsKeptPerThread) {
  win::SetLastError(win::ERROR_ACCESS_DENIED);
  win::DWORD other = 12345;
  std::thread([&] {
    win::SetLastError(win::ERROR_DISK_FULL);
    other = win::GetLastError();
  }).join();
  EXPECT_EQ(other, win::ERROR_DISK_FULL);
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
}

}  // namespace
