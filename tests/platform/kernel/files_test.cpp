#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/kernel/kernel.h"
#include "tests/platform/kernel/kernel_test_util.h"
#include "tests/support/case_name.h"

namespace {

using kernel_test::Ansi;
using kernel_test::KernelTest;
using win::HANDLE;
using win::INVALID_HANDLE_VALUE;

constexpr win::DWORD kReadWrite = win::GENERIC_READ | win::GENERIC_WRITE;

HANDLE Open(const std::string& path, win::DWORD access, win::DWORD disposition,
            win::DWORD share = win::FILE_SHARE_READ) {
  return win::CreateFileA(path.c_str(), access, share, nullptr, disposition,
                          win::FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Write(HANDLE file, const std::string& data) {
  win::DWORD written = 0;
  return win::WriteFile(file, data.data(), static_cast<win::DWORD>(data.size()), &written,
                        nullptr) &&
         written == data.size();
}

std::string ReadRest(HANDLE file) {
  std::string data(1 << 16, '\0');
  win::DWORD read = 0;
  EXPECT_TRUE(
      win::ReadFile(file, data.data(), static_cast<win::DWORD>(data.size()), &read, nullptr));
  data.resize(read);
  return data;
}

// True when the folder holds a leftover temporary file of a create.
bool HasTemporaryFile(const kernel_test::TempFolder& folder) {
  const auto names = folder.Names();
  return std::any_of(names.begin(), names.end(),
                     [](const std::string& n) { return n.find(".suotu-") != std::string::npos; });
}

class CreateDisposition : public KernelTest, public testing::WithParamInterface<win::DWORD> {};

TEST_P(CreateDisposition, TargetChangesOnlyWhenClosed) {
  const bool existed = GetParam() == win::CREATE_ALWAYS;
  if (existed) folder_.Write("out.jpg", "old contents");
  const HANDLE file = Open(folder_.Win("out.jpg"), kReadWrite, GetParam());
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(win::GetLastError(), existed ? win::ERROR_ALREADY_EXISTS : win::ERROR_SUCCESS);
  ASSERT_TRUE(Write(file, "new data"));
  // Reading back what was written works while the target is still untouched.
  win::LONGLONG position = -1;
  ASSERT_TRUE(win::SetFilePointerEx(file, 0, &position, win::FILE_BEGIN));
  EXPECT_EQ(position, 0);
  EXPECT_EQ(ReadRest(file), "new data");
  win::LONGLONG size = 0;
  ASSERT_TRUE(win::GetFileSizeEx(file, &size));
  EXPECT_EQ(size, 8);
  EXPECT_EQ(folder_.Exists("out.jpg") ? folder_.Read("out.jpg") : "<none>",
            existed ? "old contents" : "<none>");
  ASSERT_TRUE(win::CloseHandle(file));
  EXPECT_EQ(folder_.Read("out.jpg"), "new data");
  EXPECT_FALSE(HasTemporaryFile(folder_));
}

INSTANTIATE_TEST_SUITE_P(Files, CreateDisposition,
                         testing::Values(win::CREATE_ALWAYS, win::CREATE_NEW),
                         [](const testing::TestParamInfo<win::DWORD>& info) {
                           return info.param == win::CREATE_ALWAYS ? "CreateAlways" : "CreateNew";
                         });

TEST_F(KernelTest, DiscardedCreateLeavesThePreviousFile) {
  folder_.Write("photo缩图.jpg", "previous thumbnail");
  const HANDLE file = Open(folder_.Win("photo缩图.jpg"), win::GENERIC_WRITE, win::CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(file, "half a JP"));
  ASSERT_TRUE(win::DiscardFile(file));
  EXPECT_EQ(folder_.Read("photo缩图.jpg"), "previous thumbnail");
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"photo缩图.jpg"});
}

TEST_F(KernelTest, FailedCommitLeavesNoFileAndReportsTheError) {
  const HANDLE file = Open(folder_.Win("target"), win::GENERIC_WRITE, win::CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(file, "data"));
  // A folder takes the name before the file is committed: the rename cannot replace it.
  ASSERT_EQ(mkdir(folder_.HostOf("target").c_str(), 0777), 0);
  EXPECT_FALSE(win::CloseHandle(file));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"target"});
  // The handle is gone either way.
  EXPECT_FALSE(win::CloseHandle(file));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
}

TEST_F(KernelTest, CreateNewNeverReplacesAFileThatAppearedMeanwhile) {
  const HANDLE file = Open(folder_.Win("new.jpg"), win::GENERIC_WRITE, win::CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(file, "mine"));
  folder_.Write("new.jpg", "theirs");
  EXPECT_FALSE(win::CloseHandle(file));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_EXISTS);
  EXPECT_EQ(folder_.Read("new.jpg"), "theirs");
  EXPECT_FALSE(HasTemporaryFile(folder_));
}

struct OpenCase {
  const char* name;
  win::DWORD access;
  win::DWORD disposition;
  win::DWORD error;
  const char* why;
};

class OpenFailure : public KernelTest, public testing::WithParamInterface<OpenCase> {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    folder_.Write("plain.txt", "plain");
    folder_.Write("locked.txt", "locked");
    chmod(folder_.HostOf("locked.txt").c_str(), 0444);
    mkdir(folder_.HostOf("dir").c_str(), 0777);
  }
};

TEST_P(OpenFailure, ReportsTheWindowsError) {
  const OpenCase& c = GetParam();
  EXPECT_EQ(Open(folder_.Win(c.name), c.access, c.disposition), INVALID_HANDLE_VALUE) << c.why;
  EXPECT_EQ(win::GetLastError(), c.error) << c.why;
  EXPECT_EQ(folder_.Read("locked.txt"), "locked") << c.why;
  EXPECT_EQ(folder_.Read("plain.txt"), "plain") << c.why;
  EXPECT_FALSE(HasTemporaryFile(folder_)) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailure,
    testing::Values(OpenCase{"missing.txt", win::GENERIC_READ, win::OPEN_EXISTING,
                             win::ERROR_FILE_NOT_FOUND, "missing file"},
                    OpenCase{"nodir/x.txt", win::GENERIC_READ, win::OPEN_EXISTING,
                             win::ERROR_PATH_NOT_FOUND, "missing folder"},
                    OpenCase{"nodir/x.txt", win::GENERIC_WRITE, win::CREATE_ALWAYS,
                             win::ERROR_PATH_NOT_FOUND, "create in a missing folder"},
                    OpenCase{"plain.txt/x", win::GENERIC_READ, win::OPEN_EXISTING,
                             win::ERROR_PATH_NOT_FOUND, "a file used as a folder"},
                    OpenCase{"dir", win::GENERIC_READ, win::OPEN_EXISTING, win::ERROR_ACCESS_DENIED,
                             "a folder is not a file"},
                    OpenCase{"dir", win::GENERIC_WRITE, win::CREATE_ALWAYS,
                             win::ERROR_ACCESS_DENIED, "create over a folder"},
                    OpenCase{"locked.txt", win::GENERIC_WRITE, win::OPEN_EXISTING,
                             win::ERROR_ACCESS_DENIED, "read-only file opened for writing"},
                    OpenCase{"locked.txt", kReadWrite, win::CREATE_ALWAYS, win::ERROR_ACCESS_DENIED,
                             "create over a read-only file"},
                    OpenCase{"plain.txt", kReadWrite, win::CREATE_NEW, win::ERROR_FILE_EXISTS,
                             "create-new over an existing file"}),
    test_support::NameFrom<&OpenCase::why>{});

TEST_F(KernelTest, ReadOnlyFileCanStillBeRead) {
  folder_.Write("locked.txt", "locked");
  chmod(folder_.HostOf("locked.txt").c_str(), 0444);
  const HANDLE file = Open(folder_.Win("LOCKED.TXT"), win::GENERIC_READ, win::OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadRest(file), "locked");
  // Writing through a read handle is refused, as is cutting the file.
  EXPECT_FALSE(Write(file, "x"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
  EXPECT_FALSE(win::SetEndOfFile(file));
  EXPECT_TRUE(win::CloseHandle(file));
}

TEST_F(KernelTest, OpenAlwaysCreatesInPlaceOrOpens) {
  const HANDLE created = Open(folder_.Win("log.txt"), kReadWrite, win::OPEN_ALWAYS);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_SUCCESS);
  ASSERT_TRUE(Write(created, "one"));
  ASSERT_TRUE(win::CloseHandle(created));
  const HANDLE opened = Open(folder_.Win("log.txt"), kReadWrite, win::OPEN_ALWAYS);
  ASSERT_NE(opened, INVALID_HANDLE_VALUE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(win::SetFilePointerEx(opened, 0, nullptr, win::FILE_END));
  ASSERT_TRUE(Write(opened, "two"));
  ASSERT_TRUE(win::SetFilePointerEx(opened, 2, nullptr, win::FILE_BEGIN));
  ASSERT_TRUE(win::SetEndOfFile(opened));
  ASSERT_TRUE(win::CloseHandle(opened));
  EXPECT_EQ(folder_.Read("log.txt"), "on");
}

TEST_F(KernelTest, SeekBeforeTheStartIsRefused) {
  folder_.Write("f", "abc");
  const HANDLE file = Open(folder_.Win("f"), win::GENERIC_READ, win::OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  win::LONGLONG position = -1;
  EXPECT_FALSE(win::SetFilePointerEx(file, -4, &position, win::FILE_END));
  EXPECT_EQ(win::GetLastError(), win::ERROR_NEGATIVE_SEEK);
  ASSERT_TRUE(win::SetFilePointerEx(file, -1, &position, win::FILE_END));
  EXPECT_EQ(position, 2);
  EXPECT_EQ(ReadRest(file), "c");
  EXPECT_EQ(ReadRest(file), "");  // end of file: success with nothing read
  win::CloseHandle(file);
}

TEST_F(KernelTest, NewFilesTakeTheUmaskReplacedFilesKeepTheirMode) {
  const mode_t saved = umask(027);
  const HANDLE created = Open(folder_.Win("new"), win::GENERIC_WRITE, win::CREATE_ALWAYS);
  ASSERT_TRUE(win::CloseHandle(created));
  folder_.Write("kept", "old");
  chmod(folder_.HostOf("kept").c_str(), 0604);
  const HANDLE replaced = Open(folder_.Win("kept"), win::GENERIC_WRITE, win::CREATE_ALWAYS);
  ASSERT_TRUE(win::CloseHandle(replaced));
  umask(saved);
  struct stat st;
  ASSERT_EQ(stat(folder_.HostOf("new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(stat(folder_.HostOf("kept").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
}

TEST_F(KernelTest, ShortWriteReportsDiskFull) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  const HANDLE file = Open("C:\\dev\\full", win::GENERIC_WRITE, win::OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  win::DWORD written = 99;
  EXPECT_FALSE(win::WriteFile(file, "abc", 3, &written, nullptr));
  EXPECT_EQ(win::GetLastError(), win::ERROR_DISK_FULL);
  EXPECT_EQ(written, 0u);
  win::CloseHandle(file);
}

struct ShareCase {
  win::DWORD firstAccess, firstShare, secondAccess, secondShare;
  bool allowed;
  const char* why;
};

class ShareModes : public KernelTest, public testing::WithParamInterface<ShareCase> {};

TEST_P(ShareModes, ConflictingOpensAreRefused) {
  const ShareCase& c = GetParam();
  folder_.Write("shared", "data");
  const HANDLE first = Open(folder_.Win("shared"), c.firstAccess, win::OPEN_EXISTING, c.firstShare);
  ASSERT_NE(first, INVALID_HANDLE_VALUE) << c.why;
  const HANDLE second =
      Open(folder_.Win("SHARED"), c.secondAccess, win::OPEN_EXISTING, c.secondShare);
  EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.allowed) << c.why;
  if (second == INVALID_HANDLE_VALUE) {
    EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION) << c.why;
  } else {
    win::CloseHandle(second);
  }
  win::CloseHandle(first);
  // Once the first handle is closed nothing stands in the way.
  const HANDLE third =
      Open(folder_.Win("shared"), c.secondAccess, win::OPEN_EXISTING, c.secondShare);
  EXPECT_NE(third, INVALID_HANDLE_VALUE) << c.why;
  win::CloseHandle(third);
}

constexpr win::DWORD R = win::GENERIC_READ, W = win::GENERIC_WRITE;
constexpr win::DWORD SR = win::FILE_SHARE_READ, SW = win::FILE_SHARE_WRITE;

INSTANTIATE_TEST_SUITE_P(
    Files, ShareModes,
    testing::Values(ShareCase{R, SR, R, SR, true, "two readers sharing reads"},
                    ShareCase{R, SR, W, SR | SW, false, "deny write refuses a writer"},
                    ShareCase{R, 0, R, SR | SW, false, "exclusive refuses a reader"},
                    ShareCase{W, SR | SW, R, SR, false, "reader must share writing"},
                    ShareCase{W, SR | SW, R, SR | SW, true, "both share everything"},
                    ShareCase{R | W, SR | SW, W, SR | SW, true, "two writers sharing"}),
    test_support::NameFrom<&ShareCase::why>{});

TEST_F(KernelTest, FileBeingCreatedIsHeldByItsShareMode) {
  folder_.Write("out.jpg", "old");
  const HANDLE creating = Open(folder_.Win("out.jpg"), kReadWrite, win::CREATE_ALWAYS, 0);
  ASSERT_NE(creating, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(folder_.Win("out.jpg"), win::GENERIC_READ, win::OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Open(folder_.Win("out.jpg"), win::GENERIC_WRITE, win::CREATE_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(win::DiscardFile(creating));
  const HANDLE reader = Open(folder_.Win("out.jpg"), win::GENERIC_READ, win::OPEN_EXISTING);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  win::CloseHandle(reader);
}

TEST_F(KernelTest, OpenFileCannotBeDeletedUnlessShared) {
  folder_.Write("held", "x");
  const HANDLE held = Open(folder_.Win("held"), win::GENERIC_READ, win::OPEN_EXISTING, SR);
  EXPECT_FALSE(win::DeleteFileA(folder_.Win("held").c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(win::MoveFileA(folder_.Win("held").c_str(), folder_.Win("moved").c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION);
  win::CloseHandle(held);
  const HANDLE shared =
      Open(folder_.Win("held"), win::GENERIC_READ, win::OPEN_EXISTING, SR | win::FILE_SHARE_DELETE);
  EXPECT_TRUE(win::DeleteFileA(folder_.Win("held").c_str()));
  win::CloseHandle(shared);
  EXPECT_FALSE(folder_.Exists("held"));
}

TEST_F(KernelTest, DeleteRefusesReadOnlyFilesAndFolders) {
  folder_.Write("locked.jpg", "keep me");
  chmod(folder_.HostOf("locked.jpg").c_str(), 0444);
  mkdir(folder_.HostOf("dir").c_str(), 0777);
  folder_.Write("plain.jpg", "x");
  const std::pair<const char*, win::DWORD> failures[] = {
      {"locked.jpg", win::ERROR_ACCESS_DENIED},
      {"dir", win::ERROR_ACCESS_DENIED},
      {"missing.jpg", win::ERROR_FILE_NOT_FOUND},
      {"nodir/x.jpg", win::ERROR_PATH_NOT_FOUND},
  };
  for (const auto& [name, error] : failures) {
    EXPECT_FALSE(win::DeleteFileA(folder_.Win(name).c_str())) << name;
    EXPECT_EQ(win::GetLastError(), error) << name;
  }
  EXPECT_EQ(folder_.Read("locked.jpg"), "keep me");
  EXPECT_TRUE(win::DeleteFileA(folder_.Win("PLAIN.JPG").c_str()));
  EXPECT_FALSE(folder_.Exists("plain.jpg"));
}

TEST_F(KernelTest, AttributesFollowThePosixObject) {
  folder_.Write("plain.jpg", "x");
  folder_.Write(".hidden", "x");
  folder_.Write("locked.jpg", "x");
  chmod(folder_.HostOf("locked.jpg").c_str(), 0444);
  mkdir(folder_.HostOf("dir").c_str(), 0777);
  mkfifo(folder_.HostOf("pipe").c_str(), 0666);
  const std::pair<const char*, win::DWORD> cases[] = {
      {"plain.jpg", win::FILE_ATTRIBUTE_ARCHIVE},
      {".hidden", win::FILE_ATTRIBUTE_ARCHIVE | win::FILE_ATTRIBUTE_HIDDEN},
      {"locked.jpg", win::FILE_ATTRIBUTE_ARCHIVE | win::FILE_ATTRIBUTE_READONLY},
      {"dir", win::FILE_ATTRIBUTE_DIRECTORY},
      {"pipe", win::FILE_ATTRIBUTE_NORMAL},
  };
  for (const auto& [name, attributes] : cases) {
    EXPECT_EQ(win::GetFileAttributesA(folder_.Win(name).c_str()), attributes) << name;
  }
  EXPECT_EQ(win::GetFileAttributesA(folder_.Win("missing").c_str()), win::INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(win::GetFileAttributesA("C:\\") & win::FILE_ATTRIBUTE_DIRECTORY,
            win::FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(KernelTest, ReadOnlyAttributeTogglesWritePermission) {
  folder_.Write("f.jpg", "x");
  const std::string path = folder_.Win("f.jpg");
  ASSERT_TRUE(win::SetFileAttributesA(path.c_str(), win::FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(win::GetFileAttributesA(path.c_str()),
            win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(Open(path, win::GENERIC_WRITE, win::OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(win::DeleteFileA(path.c_str()));
  ASSERT_TRUE(win::SetFileAttributesA(path.c_str(), win::FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(win::GetFileAttributesA(path.c_str()), win::FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(win::DeleteFileA(path.c_str()));
}

TEST_F(KernelTest, FoldersAndMoves) {
  const std::string dir = folder_.Win("新建文件夹");
  EXPECT_TRUE(win::CreateDirectoryA(dir.c_str(), nullptr));
  EXPECT_FALSE(win::CreateDirectoryA(dir.c_str(), nullptr));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(win::CreateDirectoryA(folder_.Win("a/b").c_str(), nullptr));
  EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);

  folder_.Write("新建文件夹/x.jpg", "x");
  EXPECT_FALSE(win::RemoveDirectoryA(dir.c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(win::RemoveDirectoryA(folder_.Win("新建文件夹/x.jpg").c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_DIRECTORY);

  folder_.Write("y.jpg", "y");
  EXPECT_FALSE(
      win::MoveFileA(folder_.Win("y.jpg").c_str(), folder_.Win("新建文件夹/X.JPG").c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(
      win::MoveFileA(folder_.Win("y.jpg").c_str(), folder_.Win("新建文件夹/z.jpg").c_str()));
  EXPECT_EQ(folder_.Read("新建文件夹/z.jpg"), "y");
  // A change of case only is a rename, not a clash.
  EXPECT_TRUE(win::MoveFileA(folder_.Win("新建文件夹/z.jpg").c_str(),
                             folder_.Win("新建文件夹/Z.JPG").c_str()));
  EXPECT_TRUE(folder_.Exists("新建文件夹/Z.JPG"));
  EXPECT_FALSE(folder_.Exists("新建文件夹/z.jpg"));

  // Windows holds the current directory open.
  ASSERT_TRUE(win::SetCurrentDirectoryA(dir.c_str()));
  EXPECT_TRUE(win::DeleteFileA("Z.JPG"));
  EXPECT_TRUE(win::DeleteFileA("x.jpg"));
  EXPECT_FALSE(win::RemoveDirectoryA(dir.c_str()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\"));
  EXPECT_TRUE(win::RemoveDirectoryA(dir.c_str()));
  EXPECT_TRUE(folder_.Names().empty());
}

TEST_F(KernelTest, NamesOutsideGbkCanBeCreatedAndOpened) {
  const std::string name = "𠀀😀.jpg";
  const HANDLE created = Open(folder_.Win(name), win::GENERIC_WRITE, win::CREATE_NEW);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(created, "jpeg"));
  ASSERT_TRUE(win::CloseHandle(created));
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{name});
  const HANDLE opened = Open(folder_.Win(name), win::GENERIC_READ, win::OPEN_EXISTING);
  ASSERT_NE(opened, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadRest(opened), "jpeg");
  win::CloseHandle(opened);
}

TEST_F(KernelTest, LongestNamesCanStillBeCreated) {
  // 255 bytes: the temporary name beside it must be shortened to fit the host's limit.
  std::string name = std::string(245, 'n') + "缩图.jpg";
  ASSERT_EQ(name.size(), 255u);
  const HANDLE file = Open(folder_.Win(name), win::GENERIC_WRITE, win::CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << win::GetLastError();
  ASSERT_TRUE(Write(file, "x"));
  ASSERT_TRUE(win::CloseHandle(file));
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{name});
}

TEST_F(KernelTest, MoveToAnotherFileSystemCopiesThenDeletes) {
  struct stat tmp, shm;
  if (stat("/dev/shm", &shm) != 0 || stat(folder_.Host().c_str(), &tmp) != 0 ||
      tmp.st_dev == shm.st_dev) {
    GTEST_SKIP() << "needs /dev/shm on another file system";
  }
  const kernel_test::TempFolder shmFolder("suotu-kernel", "/dev/shm");
  folder_.Write("photo.jpg", "jpeg bytes");
  chmod(folder_.HostOf("photo.jpg").c_str(), 0640);
  EXPECT_TRUE(win::MoveFileA(folder_.Win("photo.jpg").c_str(), shmFolder.Win("moved.jpg").c_str()))
      << win::GetLastError();
  EXPECT_FALSE(folder_.Exists("photo.jpg"));
  EXPECT_EQ(shmFolder.Read("moved.jpg"), "jpeg bytes");
  struct stat st;
  ASSERT_EQ(stat(shmFolder.HostOf("moved.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(shmFolder.Names(), std::vector<std::string>{"moved.jpg"})
      << "no temporary copy left beside it";
}

TEST_F(KernelTest, StaleHandlesFailCleanly) {
  EXPECT_FALSE(win::CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  int local = 0;
  win::DWORD read = 5;
  EXPECT_FALSE(win::ReadFile(&local, &local, 1, &read, nullptr));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  EXPECT_EQ(read, 0u);
}

}  // namespace
