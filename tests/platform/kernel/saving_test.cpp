#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"
#include "tests/platform/kernel/kernel_test_util.h"
#include "tests/support/case_name.h"

namespace {

using kernel_test::KernelTest;
using win::HANDLE;
using win::INVALID_HANDLE_VALUE;

constexpr win::DWORD kReadWrite = win::GENERIC_READ | win::GENERIC_WRITE;

HANDLE Open(const std::string& path, win::DWORD access, win::DWORD disposition) {
  return win::CreateFileA(path.c_str(), access, 0, nullptr, disposition, 0, nullptr);
}

bool Write(HANDLE file, const std::string& data) {
  win::DWORD written = 0;
  return win::WriteFile(file, data.data(), static_cast<win::DWORD>(data.size()), &written,
                        nullptr) &&
         written == data.size();
}

bool UnnamedFilesWork(const std::string& folder) {
  const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// The folder's entries as "name=contents", sorted.
std::vector<std::string> Listing(const kernel_test::TempFolder& folder) {
  std::vector<std::string> entries;
  for (const std::string& name : folder.Names()) entries.push_back(name + "=" + folder.Read(name));
  std::sort(entries.begin(), entries.end());
  return entries;
}

// --- A kill during a save ----------------------------------------------------------------------

struct KillCase {
  bool existing;  // "photo缩图.jpg" is there before the save
  win::DWORD disposition;
};

class KilledMidWrite : public KernelTest, public testing::WithParamInterface<KillCase> {};

TEST_P(KilledMidWrite, LeavesNothingBesideTheTarget) {
  const KillCase& c = GetParam();
  if (!UnnamedFilesWork(folder_.Host())) GTEST_SKIP() << "no unnamed files here";
  if (c.existing) folder_.Write("photo缩图.jpg", "previous");
  const std::vector<std::string> before = Listing(folder_);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Half a file written, then the process waits to be killed.
    close(ready[0]);
    const HANDLE file = Open(folder_.Win("photo缩图.jpg"), kReadWrite, c.disposition);
    if (file == INVALID_HANDLE_VALUE || !Write(file, std::string(1 << 20, 'j'))) _exit(1);
    const char byte = 'w';
    if (write(ready[1], &byte, 1) != 1) _exit(1);
    for (;;) pause();
  }
  close(ready[1]);
  char byte = 0;
  const bool wrote = read(ready[0], &byte, 1) == 1;
  close(ready[0]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(wrote) << "the child could not write";
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(Listing(folder_), before);
}

INSTANTIATE_TEST_SUITE_P(Files, KilledMidWrite,
                         testing::Values(KillCase{false, win::CREATE_ALWAYS},
                                         KillCase{true, win::CREATE_ALWAYS},
                                         KillCase{false, win::CREATE_NEW}),
                         [](const testing::TestParamInfo<KillCase>& info) {
                           return std::string(info.param.existing ? "Replacing" : "New") +
                                  (info.param.disposition == win::CREATE_NEW ? "CreateNew"
                                                                             : "CreateAlways");
                         });

// --- Both kinds of temporary file ----------------------------------------------------------------

class TemporaryKind : public KernelTest, public testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    if (GetParam() && !UnnamedFilesWork(folder_.Host())) GTEST_SKIP() << "no unnamed files here";
    win::detail::UseUnnamedTemporaryFiles(GetParam());
  }
  void TearDown() override {
    win::detail::UseUnnamedTemporaryFiles(true);
    KernelTest::TearDown();
  }
  bool Unnamed() const { return GetParam(); }
};

TEST_P(TemporaryKind, CommitDiscardAndConflictLeaveOnlyWhatWasAsked) {
  struct Step {
    const char* existing;  // contents of "t" before ("" for none)
    win::DWORD disposition;
    bool commit;                     // close (else discard)
    bool folderTakesTheName;         // a folder appears at "t" before the commit
    bool otherFileTakesTheName;      // another writer puts a file at "t" before the commit
    bool closes;                     // CloseHandle's answer
    win::DWORD error;                // last error after a failed close
    std::vector<std::string> after;  // folder listing, as Listing gives it
  };
  const Step steps[] = {
      {"", win::CREATE_ALWAYS, true, false, false, true, 0, {"t=new"}},
      {"old", win::CREATE_ALWAYS, true, false, false, true, 0, {"t=new"}},
      {"old", win::CREATE_ALWAYS, false, false, false, true, 0, {"t=old"}},
      {"", win::CREATE_NEW, true, false, false, true, 0, {"t=new"}},
      {"", win::CREATE_NEW, false, false, false, true, 0, {}},
      {"", win::CREATE_NEW, true, false, true, false, win::ERROR_FILE_EXISTS, {"t=theirs"}},
      {"", win::CREATE_ALWAYS, true, true, false, false, win::ERROR_ACCESS_DENIED, {"t="}},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    const Step& s = steps[i];
    SCOPED_TRACE(testing::Message() << "step " << i << (Unnamed() ? " unnamed" : " named"));
    if (*s.existing) folder_.Write("t", s.existing);
    const HANDLE file = Open(folder_.Win("t"), kReadWrite, s.disposition);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << win::GetLastError();
    ASSERT_TRUE(Write(file, "new"));
    // An unnamed file shows no name while it is written.
    EXPECT_EQ(folder_.Names().size(), (*s.existing ? 1u : 0u) + (Unnamed() ? 0u : 1u));
    if (s.folderTakesTheName) mkdir(folder_.HostOf("t").c_str(), 0777);
    if (s.otherFileTakesTheName) folder_.Write("t", "theirs");
    if (s.commit) {
      EXPECT_EQ(win::CloseHandle(file) != win::FALSE, s.closes);
      if (!s.closes) {
        EXPECT_EQ(win::GetLastError(), s.error);
      }
    } else {
      EXPECT_TRUE(win::DiscardFile(file));
    }
    EXPECT_EQ(Listing(folder_), s.after);
    rmdir(folder_.HostOf("t").c_str());
    unlink(folder_.HostOf("t").c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(Files, TemporaryKind, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Unnamed" : "Named";
                         });

// --- Things that are not files ----------------------------------------------------------------

struct NotAFileCase {
  const char* path;  // below the scratch folder, or absolute ("/dev/null")
  win::DWORD access;
  win::DWORD disposition;
  bool opens;
  const char* why;
};

class NotAFile : public KernelTest, public testing::WithParamInterface<NotAFileCase> {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    ASSERT_EQ(mkfifo(folder_.HostOf("pipe.jpg").c_str(), 0644), 0);
    ASSERT_EQ(symlink(folder_.HostOf("pipe.jpg").c_str(), folder_.HostOf("link.jpg").c_str()), 0);
  }
};

TEST_P(NotAFile, IsRefusedAtOnceOrOpensAsADevice) {
  const NotAFileCase& c = GetParam();
  std::string path = c.path[0] == '/' ? "C:" + std::string(c.path) : folder_.Win(c.path);
  std::replace(path.begin(), path.end(), '/', '\\');
  if (c.path[0] == '/' && access(c.path, F_OK) != 0) GTEST_SKIP() << "no " << c.path;
  const auto start = std::chrono::steady_clock::now();
  const HANDLE file = Open(path, c.access, c.disposition);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.why;
  if (c.opens) {
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << c.why << ": " << win::GetLastError();
    EXPECT_TRUE(Write(file, "x")) << c.why;
    win::CloseHandle(file);
  } else {
    EXPECT_EQ(file, INVALID_HANDLE_VALUE) << c.why;
    EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED) << c.why;
  }
  struct stat st;
  ASSERT_EQ(lstat(folder_.HostOf("pipe.jpg").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Files, NotAFile,
    testing::Values(
        NotAFileCase{"pipe.jpg", win::GENERIC_READ, win::OPEN_EXISTING, false, "FIFO read"},
        NotAFileCase{"pipe.jpg", win::GENERIC_WRITE, win::OPEN_EXISTING, false, "FIFO write"},
        NotAFileCase{"PIPE.JPG", kReadWrite, win::OPEN_ALWAYS, false, "FIFO found without case"},
        NotAFileCase{"pipe.jpg", win::GENERIC_WRITE, 5, false, "FIFO truncated"},
        NotAFileCase{"link.jpg", win::GENERIC_READ, win::OPEN_EXISTING, false, "link to a FIFO"},
        NotAFileCase{"/dev/zero", win::GENERIC_READ, win::OPEN_EXISTING, false, "endless device"},
        NotAFileCase{"/dev/tty", win::GENERIC_READ, win::OPEN_EXISTING, false, "terminal"},
        NotAFileCase{"/dev/null", win::GENERIC_WRITE, win::OPEN_EXISTING, true,
                     "a device still takes writes"}),
    test_support::NameFrom<&NotAFileCase::why>{});

}  // namespace
