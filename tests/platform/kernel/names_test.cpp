#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>

#include "platform/kernel/kernel.h"
#include "tests/platform/kernel/kernel_test_util.h"
#include "tests/support/case_name.h"

namespace {

using kernel_test::Ansi;
using kernel_test::KernelTest;
using win::HANDLE;
using win::INVALID_HANDLE_VALUE;

// The code page 936 bytes of the stand-in for a character Windows forbids.
std::string StandIn(char c) {
  const char32_t cp = 0xF000 + static_cast<unsigned char>(c);
  const std::string utf8{static_cast<char>(0xE0 | (cp >> 12)),
                         static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                         static_cast<char>(0x80 | (cp & 0x3F))};
  return Ansi(utf8);
}

struct NameCase {
  const char* host;  // UTF-8
  std::optional<std::string> ansi;
  const char* why;
};

class HostNames : public testing::TestWithParam<NameCase> {};

TEST_P(HostNames, MapBothWaysWithoutLoss) {
  const NameCase& c = GetParam();
  EXPECT_EQ(win::HostNameToAnsi(c.host), c.ansi) << c.why;
  if (!c.ansi) return;
  EXPECT_EQ(win::AnsiNameToHost(*c.ansi), c.host) << c.why;
  // Stand-ins are lead bytes and digits: no byte a splitter could take for "\" or ":".
  EXPECT_EQ(c.ansi->find_first_of("\\:"), std::string::npos) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostNames,
    testing::Values(
        NameCase{"photo.jpg", "photo.jpg", "plain"},
        NameCase{"colon:x.jpg", "colon" + StandIn(':') + "x.jpg", "a colon"},
        NameCase{"a\\b", "a" + StandIn('\\') + "b", "a backslash"},
        NameCase{
            "*?\"<>|",
            StandIn('*') + StandIn('?') + StandIn('"') + StandIn('<') + StandIn('>') + StandIn('|'),
            "every other forbidden character"},
        NameCase{"照片:1.jpg", Ansi("照片") + StandIn(':') + "1.jpg", "next to Chinese"},
        NameCase{"\xEF\x81\x81", Ansi("\xEF\x81\x81"), "U+F041 stands for nothing: kept"},
        NameCase{"a\xEF\x80\xBA", std::nullopt, "U+F03A itself would read back as a colon"},
        NameCase{"bad\xFF", std::nullopt, "not UTF-8"}),
    test_support::NameFrom<&NameCase::why>{});

TEST_F(KernelTest, EveryHostNameIsReachableUnderItsStandInName) {
  const std::string names[] = {"colon:x.jpg", "a\\b.jpg", "why?.jpg", "x.jpg"};
  for (const std::string& name : names) folder_.Write(name, "bytes of " + name);
  // The search lists them all with stand-ins, and each listed name opens its own file.
  win::WIN32_FIND_DATAA data;
  const HANDLE find = win::FindFirstFileA(folder_.Win("*.jpg").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::vector<std::string> listed;
  do {
    const std::string path = folder_.Win() + "\\" + data.cFileName;
    const HANDLE file = win::CreateFileA(path.c_str(), win::GENERIC_READ, win::FILE_SHARE_READ,
                                         nullptr, win::OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << data.cFileName;
    char buffer[64] = {};
    win::DWORD read = 0;
    ASSERT_TRUE(win::ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    win::CloseHandle(file);
    const std::string host = win::AnsiNameToHost(data.cFileName).value();
    EXPECT_EQ(std::string(buffer, read), "bytes of " + host);
    EXPECT_EQ(win::HostPathFromWindows(path), folder_.HostOf(host));
    EXPECT_EQ(win::WindowsPathFromHost(folder_.HostOf(host)), path);
    listed.push_back(host);
  } while (win::FindNextFileA(find, &data));
  win::FindClose(find);
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> expected(std::begin(names), std::end(names));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
}

TEST_F(KernelTest, DerivedNameOfAColonFileReplacesNoOtherFile) {
  folder_.Write("x缩图.jpg", "someone else's");
  // The name a thumbnail of colon:x.jpg gets, built from its listed name.
  const std::string derived = folder_.Win() + "\\colon" + StandIn(':') + Ansi("x缩图.jpg");
  const HANDLE file = win::CreateFileA(derived.c_str(), win::GENERIC_WRITE, 0, nullptr,
                                       win::CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(win::WriteFile(file, "thumb", 5, nullptr, nullptr));
  ASSERT_TRUE(win::CloseHandle(file));
  EXPECT_EQ(folder_.Read("colon:x缩图.jpg"), "thumb");
  EXPECT_EQ(folder_.Read("x缩图.jpg"), "someone else's");
}

TEST_F(KernelTest, AmbiguousHostNamesAreSkippedNotMangled) {
  folder_.Write("a\xEF\x80\xBA.jpg", "stand-in in the host name");
  folder_.Write("a:.jpg", "colon");
  win::WIN32_FIND_DATAA data;
  const HANDLE find = win::FindFirstFileA(folder_.Win("a*.jpg").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.cFileName, "a" + StandIn(':') + ".jpg");
  EXPECT_FALSE(win::FindNextFileA(find, &data));
  win::FindClose(find);
  EXPECT_FALSE(win::WindowsPathFromHost(folder_.HostOf("a\xEF\x80\xBA.jpg")).has_value());
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_NAME);
}

struct ForbiddenCase {
  const char* name;
  win::DWORD disposition;
};

class ForbiddenInPath : public KernelTest, public testing::WithParamInterface<ForbiddenCase> {};

TEST_P(ForbiddenInPath, IsAnInvalidName) {
  const ForbiddenCase& c = GetParam();
  folder_.Write(c.name, "host file with that very name");
  const HANDLE file =
      win::CreateFileA(folder_.Win(c.name).c_str(), win::GENERIC_READ | win::GENERIC_WRITE, 0,
                       nullptr, c.disposition, 0, nullptr);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE) << c.name;
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_NAME) << c.name;
  EXPECT_EQ(folder_.Read(c.name), "host file with that very name") << c.name;
  EXPECT_EQ(win::GetFileAttributesA(folder_.Win(c.name).c_str()), win::INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(win::DeleteFileA(folder_.Win(c.name).c_str())) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Names, ForbiddenInPath,
                         testing::Values(ForbiddenCase{"a:b.jpg", win::OPEN_EXISTING},
                                         ForbiddenCase{"a:b.jpg", win::CREATE_ALWAYS},
                                         ForbiddenCase{"star*.jpg", win::OPEN_ALWAYS},
                                         ForbiddenCase{"q?.jpg", win::CREATE_NEW},
                                         ForbiddenCase{"p|q.jpg", 5 /* truncate existing */}),
                         [](const testing::TestParamInfo<ForbiddenCase>& info) {
                           return test_support::SpelledName(info.param.name) + "Disposition" +
                                  std::to_string(info.param.disposition);
                         });

// --- Case of names being created -------------------------------------------------------------

struct CreateCase {
  const char* existing;  // host name of a file already there ("" for none)
  const char* path;      // Windows name opened, below the scratch folder
  win::DWORD disposition;
  std::vector<std::string> after;  // "name=contents", sorted
  const char* why;
};

class CreateCaseSensitivity : public KernelTest, public testing::WithParamInterface<CreateCase> {};

TEST_P(CreateCaseSensitivity, CreatingNeverReplacesAnotherCase) {
  const CreateCase& c = GetParam();
  mkdir(folder_.HostOf("Photos").c_str(), 0777);
  if (*c.existing) folder_.Write(c.existing, "old");
  const HANDLE file =
      win::CreateFileA(folder_.Win(c.path).c_str(), win::GENERIC_READ | win::GENERIC_WRITE, 0,
                       nullptr, c.disposition, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << c.why << ": " << win::GetLastError();
  ASSERT_TRUE(win::SetFilePointerEx(file, 0, nullptr, win::FILE_END));
  ASSERT_TRUE(win::WriteFile(file, "+new", 4, nullptr, nullptr));
  ASSERT_TRUE(win::CloseHandle(file)) << c.why;
  std::vector<std::string> after;
  for (const std::string& name : folder_.Names("Photos")) {
    after.push_back(name + "=" + folder_.Read("Photos/" + name));
  }
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, c.after) << c.why;
}

INSTANTIATE_TEST_SUITE_P(Names, CreateCaseSensitivity,
                         testing::Values(CreateCase{"Photos/Photo缩图.JPG",
                                                    "Photos/photo缩图.jpg",
                                                    win::CREATE_ALWAYS,
                                                    {"Photo缩图.JPG=old", "photo缩图.jpg=+new"},
                                                    "create beside another case"},
                                         CreateCase{"Photos/Photo缩图.JPG",
                                                    "Photos/photo缩图.jpg",
                                                    win::CREATE_NEW,
                                                    {"Photo缩图.JPG=old", "photo缩图.jpg=+new"},
                                                    "create-new is no clash either"},
                                         CreateCase{"Photos/photo缩图.jpg",
                                                    "Photos/photo缩图.jpg",
                                                    win::CREATE_ALWAYS,
                                                    {"photo缩图.jpg=+new"},
                                                    "the same spelling is replaced"},
                                         CreateCase{"Photos/a.jpg",
                                                    "PHOTOS/b.jpg",
                                                    win::CREATE_ALWAYS,
                                                    {"a.jpg=old", "b.jpg=+new"},
                                                    "folders still match without case"},
                                         CreateCase{"Photos/Log.TXT",
                                                    "photos/log.txt",
                                                    win::OPEN_ALWAYS,
                                                    {"Log.TXT=old+new"},
                                                    "opening matches without case"},
                                         CreateCase{"Photos/Log.TXT",
                                                    "photos/log.txt",
                                                    win::OPEN_EXISTING,
                                                    {"Log.TXT=old+new"},
                                                    "opening an existing file too"}),
                         test_support::NameFrom<&CreateCase::why>{});

}  // namespace
