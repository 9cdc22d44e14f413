#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>

#include "platform/kernel/kernel.h"
#include "tests/platform/kernel/kernel_test_util.h"
#include "tests/support/case_name.h"

namespace {

using kernel_test::Ansi;
using kernel_test::KernelTest;

struct FullPathCase {
  const char* current;
  const char* path;
  const char* full;
  const char* why;
};

class FullPathName : public KernelTest, public testing::WithParamInterface<FullPathCase> {};

TEST_P(FullPathName, NormalisesWithoutTouchingTheDisk) {
  const FullPathCase& c = GetParam();
  // The current directory must exist; the folder itself stands in for it.
  const std::string current = c.current[0] ? folder_.Win(c.current) : folder_.Win();
  mkdir(folder_.HostOf(c.current).c_str(), 0777);
  ASSERT_TRUE(win::SetCurrentDirectoryA(current.c_str())) << c.why;
  std::string expected = c.full;
  const std::string marker = "<cur>";
  if (expected.starts_with(marker)) expected = current + expected.substr(marker.size());
  std::string full;
  EXPECT_EQ(win::GetFullPathNameA(Ansi(c.path).c_str(), full), Ansi(expected).size()) << c.why;
  EXPECT_EQ(full, Ansi(expected)) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FullPathName,
    testing::Values(
        FullPathCase{"", "C:\\a\\..\\b", "C:\\b", "dot-dot removes the folder before it"},
        FullPathCase{"", "c:/x/./y/", "C:\\x\\y\\", "slashes, dot, drive case; trailing kept"},
        FullPathCase{"", "C:\\..\\..\\x", "C:\\x", "dot-dot stops at the root"},
        FullPathCase{"", "C:", "<cur>", "a bare drive is its current directory"},
        FullPathCase{"sub", "x.jpg", "<cur>\\x.jpg", "relative to the current directory"},
        FullPathCase{"sub", "\\top", "C:\\top", "a leading backslash is the current drive"},
        FullPathCase{"sub", "D:rel", "D:\\rel", "another drive's relative path from its root"},
        FullPathCase{"", "C:\\乗\\x", "C:\\乗\\x", "0x5C trail byte is not a separator"},
        FullPathCase{"", "C:\\乗\\..\\x", "C:\\x", "double-byte folder removed whole"}),
    test_support::NameFrom<&FullPathCase::why>{});

TEST_F(KernelTest, FullPathOfParentOfCurrentDirectory) {
  mkdir(folder_.HostOf("sub").c_str(), 0777);
  ASSERT_TRUE(win::SetCurrentDirectoryA(folder_.Win("sub").c_str()));
  std::string full;
  win::GetFullPathNameA("..\\y", full);
  EXPECT_EQ(full, folder_.Win("y"));
}

TEST_F(KernelTest, CurrentDirectoryMustBeAnExistingFolder) {
  folder_.Write("file.txt", "x");
  EXPECT_FALSE(win::SetCurrentDirectoryA(folder_.Win("file.txt").c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_DIRECTORY);
  EXPECT_FALSE(win::SetCurrentDirectoryA(folder_.Win("missing").c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(win::SetCurrentDirectoryA(folder_.Win("missing/deeper").c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
  std::string current;
  EXPECT_EQ(win::GetCurrentDirectoryA(current), 3u);
  EXPECT_EQ(current, "C:\\");
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

TEST_F(KernelTest, NamesThatDoNotExistWithTheirCaseAreFoundWithout) {
  mkdir(folder_.HostOf("Photos").c_str(), 0777);
  folder_.Write("Photos/Beach.JPG", "x");
  folder_.Write("Photos/缩图Ab.jpg", "x");
  // "C:\TMP\SUOTU-KERNEL-XXXXXX\PHOTOS\beach.jpg" finds /tmp/suotu-kernel-xxxxxx/...
  EXPECT_EQ(win::HostPathFromWindows(Upper(folder_.Win("Photos")) + "\\beach.jpg"),
            folder_.HostOf("Photos/Beach.JPG"));
  EXPECT_EQ(win::HostPathFromWindows(folder_.Win("photos/缩图aB.JPG")),
            folder_.HostOf("Photos/缩图Ab.jpg"));
  // A missing last name keeps its spelling under the folder that was found.
  EXPECT_EQ(win::HostPathFromWindows(folder_.Win("PHOTOS/New.jpg")),
            folder_.HostOf("Photos/New.jpg"));
}

TEST_F(KernelTest, ExactNameWinsOverOtherCase) {
  folder_.Write("a.jpg", "lower");
  folder_.Write("A.jpg", "upper");
  EXPECT_EQ(win::HostPathFromWindows(folder_.Win("A.jpg")), folder_.HostOf("A.jpg"));
  EXPECT_EQ(win::HostPathFromWindows(folder_.Win("a.jpg")), folder_.HostOf("a.jpg"));
}

TEST_F(KernelTest, DoubleByteTrailBytesAreNotFoldedForCase) {
  // 丄 is 81 41 and 乤 is 81 61: folding the trail byte would take one for the other.
  folder_.Write("丄", "x");
  EXPECT_EQ(win::HostPathFromWindows(folder_.Win("乤")), folder_.HostOf("乤"));
  EXPECT_NE(win::GetFileAttributesA(folder_.Win("丄").c_str()), win::INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(win::GetFileAttributesA(folder_.Win("乤").c_str()), win::INVALID_FILE_ATTRIBUTES);
}

TEST_F(KernelTest, UnknownDriveOrInvalidCodePageBytesFail) {
  EXPECT_FALSE(win::HostPathFromWindows("Q:\\x").has_value());
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(win::HostPathFromWindows(folder_.Win() + "\\a\x81").has_value());
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_NAME);
}

TEST_F(KernelTest, HostPathsMapToTheDriveWithTheLongestRoot) {
  win::SetDriveTable({{'C', "/", win::DRIVE_FIXED},
                      {'D', folder_.Host(), win::DRIVE_REMOVABLE},
                      {'E', folder_.HostOf("inner"), win::DRIVE_CDROM}});
  EXPECT_EQ(win::WindowsPathFromHost(folder_.HostOf("x/缩图.jpg")), Ansi("D:\\x\\缩图.jpg"));
  EXPECT_EQ(win::WindowsPathFromHost(folder_.HostOf("inner")), "E:\\");
  EXPECT_EQ(win::WindowsPathFromHost(folder_.HostOf("inner/../y")), "D:\\y");
  EXPECT_EQ(win::WindowsPathFromHost(folder_.Host() + "-other/z"), folder_.Win() + "-other\\z");
  EXPECT_EQ(win::WindowsPathFromHost("/"), "C:\\");
  EXPECT_EQ(win::HostPathFromWindows("d:\\x"), folder_.HostOf("x"));
  EXPECT_FALSE(win::WindowsPathFromHost(folder_.HostOf("\xFF")).has_value());
}

TEST_F(KernelTest, NamesOutsideGbkRoundTripThroughWindowsPaths) {
  for (const std::string name : {"𠀀.jpg", "😀 photo.jpg", "乗.jpg"}) {
    const std::string host = folder_.HostOf(name);
    const auto windows = win::WindowsPathFromHost(host);
    ASSERT_TRUE(windows.has_value()) << name;
    EXPECT_EQ(*windows, folder_.Win(name)) << name;
    EXPECT_EQ(win::HostPathFromWindows(*windows), host) << name;
  }
}

}  // namespace
