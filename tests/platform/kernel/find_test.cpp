#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "platform/kernel/kernel.h"
#include "tests/platform/kernel/kernel_test_util.h"
#include "tests/support/case_name.h"

namespace {

using kernel_test::Ansi;
using kernel_test::KernelTest;

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
  const char* why;
};

class Wildcard : public testing::TestWithParam<MatchCase> {};

TEST_P(Wildcard, Matches) {
  const MatchCase& c = GetParam();
  EXPECT_EQ(win::WildcardMatch(Ansi(c.pattern), Ansi(c.name)), c.matches) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, Wildcard,
    testing::Values(MatchCase{"*.jpg", "a.jpg", true, "plain"},
                    MatchCase{"*.jpg", "A.JPG", true, "ASCII without case"},
                    MatchCase{"*.jpg", "a.jpeg", false, "longer extension"},
                    MatchCase{"*.jpg", "a.jpg.png", false, "suffix must end the name"},
                    MatchCase{"*.jpg", "a.b.JPG", true, "dots before the extension"},
                    MatchCase{"*.jpg", ".jpg", true, "star matches nothing"},
                    MatchCase{"*", "anything", true, "star alone"},
                    MatchCase{"*.*", "noext", true, "star-dot-star is every name"},
                    MatchCase{"?.jpg", "图.jpg", true, "a double-byte character is one"},
                    MatchCase{"??.jpg", "图.jpg", false, "not two"},
                    MatchCase{"?.jpg", "😀.jpg", true, "a four-byte character is one"},
                    MatchCase{"a*b*c", "aXXbYYc", true, "several stars"},
                    MatchCase{"a*b*c", "aXXbYY", false, "missing last piece"},
                    MatchCase{"*缩图.JPG", "照片缩图.jpg", true, "Chinese with ASCII case"},
                    MatchCase{"丄", "乤", false, "trail bytes 0x41 and 0x61 are not case"},
                    MatchCase{"*乗", "x乗", true, "0x5C trail byte is literal"}),
    test_support::NameFrom<&MatchCase::why>{});

struct Found {
  std::string name;  // UTF-8
  win::DWORD attributes;
};

std::vector<Found> FindAll(const std::string& pattern) {
  std::vector<Found> found;
  win::WIN32_FIND_DATAA data;
  const win::HANDLE find = win::FindFirstFileA(pattern.c_str(), &data);
  if (find == win::INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back({win::AnsiToUtf8(data.cFileName).value(), data.dwFileAttributes});
  } while (win::FindNextFileA(find, &data));
  EXPECT_EQ(win::GetLastError(), win::ERROR_NO_MORE_FILES);
  EXPECT_TRUE(win::FindClose(find));
  return found;
}

std::vector<std::string> NamesOf(const std::vector<Found>& found) {
  std::vector<std::string> names;
  for (const Found& f : found) names.push_back(f.name);
  return names;
}

class Search : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    for (const char* name :
         {"a.jpg", "B.JPG", ".hidden.jpg", "c.png", "照片.jpg", "𠀀.jpg", "z.jpeg", "sub.jpg/"}) {
      const std::string n = name;
      if (n.ends_with("/")) {
        mkdir(folder_.HostOf(n.substr(0, n.size() - 1)).c_str(), 0777);
      } else {
        folder_.Write(n, "data");
      }
    }
    // Not UTF-8: cannot be named in code page 936, so searches skip it.
    close(open(folder_.HostOf("bad\xFF.jpg").c_str(), O_CREAT | O_WRONLY, 0644));
  }

  // The folder's names in readdir order, filtered by what the pattern should match.
  std::vector<std::string> HostOrder(const std::set<std::string>& wanted) const {
    std::vector<std::string> names;
    for (const std::string& n : folder_.Names()) {
      if (wanted.count(n)) names.push_back(n);
    }
    return names;
  }
};

TEST_F(Search, JpgPatternFindsEveryCaseAndHiddenFilesInHostOrder) {
  const std::vector<Found> found = FindAll(folder_.Win("*.jpg"));
  EXPECT_EQ(NamesOf(found),
            HostOrder({"a.jpg", "B.JPG", ".hidden.jpg", "照片.jpg", "𠀀.jpg", "sub.jpg"}));
  for (const Found& f : found) {
    const bool hidden = f.name == ".hidden.jpg";
    EXPECT_EQ((f.attributes & win::FILE_ATTRIBUTE_HIDDEN) != 0, hidden) << f.name;
  }
}

TEST_F(Search, CallersSkipFoldersAndHiddenFilesByAttribute) {
  std::vector<std::string> files;
  for (const Found& f : FindAll(folder_.Win("*.jpg"))) {
    if (f.attributes & (win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_HIDDEN)) continue;
    files.push_back(f.name);
  }
  EXPECT_EQ(files, HostOrder({"a.jpg", "B.JPG", "照片.jpg", "𠀀.jpg"}));
}

TEST_F(Search, StarListsDotEntriesOfANonRootFolder) {
  const std::vector<Found> found = FindAll(folder_.Win("*"));
  std::vector<std::string> expected;
  for (const std::string& n : folder_.Names()) {
    if (win::Utf8ToAnsi(n)) expected.push_back(n);
  }
  std::vector<std::string> names = NamesOf(found);
  // "." and ".." come where the host lists them; everything else in host order.
  std::vector<std::string> withoutDots;
  std::copy_if(names.begin(), names.end(), std::back_inserter(withoutDots),
               [](const std::string& n) { return n != "." && n != ".."; });
  EXPECT_EQ(withoutDots, expected);
  EXPECT_EQ(std::count(names.begin(), names.end(), "."), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), ".."), 1);
  for (const Found& f : found) {
    if (f.name == "." || f.name == "..") {
      EXPECT_EQ(f.attributes & (win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_HIDDEN),
                win::FILE_ATTRIBUTE_DIRECTORY);
    }
  }
}

TEST_F(Search, DriveRootHasNoDotEntries) {
  win::SetDriveTable({{'C', "/", win::DRIVE_FIXED}, {'D', folder_.Host(), win::DRIVE_REMOVABLE}});
  const auto names = NamesOf(FindAll("D:\\*"));
  EXPECT_EQ(std::count(names.begin(), names.end(), "."), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), ".."), 0);
  EXPECT_EQ(names.size(), folder_.Names().size() - 1);  // all but the non-UTF-8 name
}

TEST_F(Search, FillsSizeAndTimes) {
  folder_.Write("big.bin", std::string(5000, 'x'));
  const timespec times[2] = {{1000000000, 0}, {1000000000, 500}};  // 2001-09-09 01:46:40 UTC
  ASSERT_EQ(utimensat(AT_FDCWD, folder_.HostOf("big.bin").c_str(), times, 0), 0);
  win::WIN32_FIND_DATAA data;
  const win::HANDLE find = win::FindFirstFileA(folder_.Win("BIG.BIN").c_str(), &data);
  ASSERT_NE(find, win::INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "big.bin");
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.nFileSizeLow, 5000u);
  // 100-ns ticks from 1601: (1e9 s + 11644473600 s) * 1e7, plus 500 ns = 5 ticks.
  const std::uint64_t write = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                              data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(write, (1000000000ull + 11644473600ull) * 10000000ull + 5);
  win::FindClose(find);
}

TEST_F(Search, FailuresSayWhatWasMissing) {
  win::WIN32_FIND_DATAA data;
  EXPECT_EQ(win::FindFirstFileA(folder_.Win("*.gif").c_str(), &data), win::INVALID_HANDLE_VALUE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(win::FindFirstFileA(folder_.Win("nodir/*.jpg").c_str(), &data),
            win::INVALID_HANDLE_VALUE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(win::FindFirstFileA(folder_.Win("a.jpg/*").c_str(), &data), win::INVALID_HANDLE_VALUE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(win::FindClose(win::INVALID_HANDLE_VALUE));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
}

TEST_F(Search, FolderIsFoundWithoutCase) {
  mkdir(folder_.HostOf("Photos").c_str(), 0777);
  folder_.Write("Photos/x.jpg", "x");
  EXPECT_EQ(NamesOf(FindAll(folder_.Win("PHOTOS/*.JPG"))), std::vector<std::string>{"x.jpg"});
}

}  // namespace
