// Directory change notifications, the network-use query and the drive table's listeners.
// inotify queues an event before the call that caused it returns, so a wait of 0 ms tells
// whether the handle is signalled; nothing here waits for time to pass.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>

#include "platform/kernel/sync.h"
#include "tests/platform/kernel/kernel_test_util.h"

namespace {

namespace fs = std::filesystem;
using kernel_test::KernelTest;
using win::FILE_NOTIFY_CHANGE_DIR_NAME;
using win::FILE_NOTIFY_CHANGE_FILE_NAME;
using win::HANDLE;
using win::WAIT_OBJECT_0;
using win::WAIT_TIMEOUT;

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

class ChangeNotification : public KernelTest {
 protected:
  bool Signalled(HANDLE h) { return win::WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }
};

struct FilterCase {
  win::DWORD filter;
  std::function<void(const kernel_test::TempFolder&)> change;
  bool noticed;
  const char* why;
};

TEST_F(ChangeNotification, FiltersChooseWhatSignals) {
  const FilterCase cases[] = {
      {FILE_NOTIFY_CHANGE_DIR_NAME, [](auto& f) { fs::create_directory(f.HostOf("w/new")); }, true,
       "folder made"},
      {FILE_NOTIFY_CHANGE_DIR_NAME, [](auto& f) { fs::remove(f.HostOf("w/old")); }, true,
       "folder removed"},
      {FILE_NOTIFY_CHANGE_DIR_NAME,
       [](auto& f) { fs::rename(f.HostOf("w/old"), f.HostOf("w/renamed")); }, true,
       "folder renamed"},
      {FILE_NOTIFY_CHANGE_DIR_NAME, [](auto& f) { f.Write("w/file.txt", "x"); }, false,
       "a file is no folder name"},
      {FILE_NOTIFY_CHANGE_FILE_NAME, [](auto& f) { f.Write("w/file.txt", "x"); }, true,
       "file made"},
      {FILE_NOTIFY_CHANGE_FILE_NAME, [](auto& f) { fs::create_directory(f.HostOf("w/new")); },
       false, "a folder is no file name"},
      {FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME,
       [](auto& f) { f.Write("w/file.txt", "x"); }, true, "both names"},
      {win::FILE_NOTIFY_CHANGE_LAST_WRITE, [](auto& f) { f.Write("w/kept.txt", "more"); }, true,
       "file written"},
      {FILE_NOTIFY_CHANGE_FILE_NAME, [](auto& f) { f.Write("w/kept.txt", "more"); }, false,
       "writing keeps the name"},
  };
  for (const FilterCase& c : cases) {
    fs::remove_all(folder_.HostOf("w"));
    fs::create_directories(folder_.HostOf("w/old"));
    folder_.Write("w/kept.txt", "x");
    HANDLE h = win::FindFirstChangeNotificationA(folder_.Win("w").c_str(), win::FALSE, c.filter);
    ASSERT_NE(h, win::INVALID_HANDLE_VALUE) << c.why;
    EXPECT_FALSE(Signalled(h)) << c.why;
    c.change(folder_);
    EXPECT_EQ(Signalled(h), c.noticed) << c.why;
    EXPECT_TRUE(win::FindCloseChangeNotification(h));
  }
}

TEST_F(ChangeNotification, RearmingKeepsChangesMadeMeanwhile) {
  HANDLE h = win::FindFirstChangeNotificationA(folder_.Win().c_str(), win::FALSE,
                                               FILE_NOTIFY_CHANGE_DIR_NAME);
  ASSERT_NE(h, win::INVALID_HANDLE_VALUE);
  fs::create_directory(folder_.HostOf("a"));
  ASSERT_TRUE(Signalled(h));
  EXPECT_TRUE(Signalled(h)) << "stays signalled until re-armed";
  ASSERT_TRUE(win::FindNextChangeNotification(h));
  EXPECT_FALSE(Signalled(h));
  fs::create_directory(folder_.HostOf("b"));
  ASSERT_TRUE(Signalled(h));
  fs::create_directory(folder_.HostOf("c"));  // after the signal, before the re-arm
  ASSERT_TRUE(win::FindNextChangeNotification(h));
  EXPECT_TRUE(Signalled(h)) << "the change since the signal is kept";
  ASSERT_TRUE(win::FindNextChangeNotification(h));
  EXPECT_FALSE(Signalled(h));
  win::FindCloseChangeNotification(h);
  EXPECT_FALSE(win::FindNextChangeNotification(h));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
}

// A subtree is watched in its folder and in the folders below it that were listed, whether
// listed before the notification was made or after.
TEST_F(ChangeNotification, SubtreeCoversListedFolders) {
  fs::create_directories(folder_.HostOf("root/early/deep"));
  fs::create_directories(folder_.HostOf("root/late"));
  fs::create_directories(folder_.HostOf("root/never"));
  fs::create_directories(folder_.HostOf("outside"));
  win::NoteFolderListed(folder_.HostOf("root/early"));
  win::NoteFolderListed(folder_.HostOf("outside"));
  HANDLE subtree = win::FindFirstChangeNotificationA(folder_.Win("root").c_str(), win::TRUE,
                                                     FILE_NOTIFY_CHANGE_DIR_NAME);
  HANDLE flat = win::FindFirstChangeNotificationA(folder_.Win("root").c_str(), win::FALSE,
                                                  FILE_NOTIFY_CHANGE_DIR_NAME);
  ASSERT_NE(subtree, win::INVALID_HANDLE_VALUE);
  ASSERT_NE(flat, win::INVALID_HANDLE_VALUE);
  struct Step {
    const char* make;
    bool noticed;
    const char* why;
  } steps[] = {
      {"root/early/x", true, "listed before the notification"},
      {"root/never/x", false, "never listed"},
      {"root/early/deep/x", false, "below a listed folder, not listed itself"},
      {"outside/x", false, "listed, but outside the subtree"},
  };
  for (const Step& s : steps) {
    fs::create_directory(folder_.HostOf(s.make));
    EXPECT_EQ(Signalled(subtree), s.noticed) << s.why;
    EXPECT_FALSE(Signalled(flat)) << s.why;
    win::FindNextChangeNotification(subtree);
  }
  win::NoteFolderListed(folder_.HostOf("root/late"));
  fs::create_directory(folder_.HostOf("root/late/x"));
  EXPECT_TRUE(Signalled(subtree)) << "listed after the notification was made";
  EXPECT_FALSE(Signalled(flat));
  win::FindNextChangeNotification(subtree);
  fs::create_directory(folder_.HostOf("root/y"));
  EXPECT_TRUE(Signalled(subtree));
  EXPECT_TRUE(Signalled(flat)) << "the folder itself";
  win::FindCloseChangeNotification(subtree);
  win::FindCloseChangeNotification(flat);
}

TEST_F(ChangeNotification, BadRequestsFailWithTheirReasons) {
  folder_.Write("file.txt", "x");
  const std::string missing = folder_.Win("missing");
  const std::string file = folder_.Win("file.txt");
  const std::string here = folder_.Win();
  struct Case {
    const char* path;
    win::DWORD filter;
    win::DWORD error;
    const char* why;
  } cases[] = {
      {missing.c_str(), FILE_NOTIFY_CHANGE_DIR_NAME, win::ERROR_PATH_NOT_FOUND, "no folder"},
      {file.c_str(), FILE_NOTIFY_CHANGE_DIR_NAME, win::ERROR_DIRECTORY, "a file"},
      {"Q:\\", FILE_NOTIFY_CHANGE_DIR_NAME, win::ERROR_PATH_NOT_FOUND, "no such drive"},
      {here.c_str(), 0, win::ERROR_INVALID_PARAMETER, "empty filter"},
      {here.c_str(), 0x200, win::ERROR_INVALID_PARAMETER, "unknown filter bit"},
      {nullptr, FILE_NOTIFY_CHANGE_DIR_NAME, win::ERROR_INVALID_PARAMETER, "no path"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(win::FindFirstChangeNotificationA(c.path, win::TRUE, c.filter),
              win::INVALID_HANDLE_VALUE)
        << c.why;
    EXPECT_EQ(win::GetLastError(), c.error) << c.why;
  }
  HANDLE event = win::CreateEventA(nullptr, win::FALSE, win::FALSE, nullptr);
  EXPECT_FALSE(win::FindNextChangeNotification(event));
  EXPECT_FALSE(win::FindCloseChangeNotification(event)) << "an event is no notification";
  EXPECT_TRUE(win::CloseHandle(event)) << "and stays open";
}

TEST_F(ChangeNotification, ClosedHandlesLeaveNoDescriptor) {
  const int before = OpenDescriptors();
  for (int i = 0; i < 20; ++i) {
    HANDLE h = win::FindFirstChangeNotificationA(folder_.Win().c_str(), win::TRUE,
                                                 FILE_NOTIFY_CHANGE_DIR_NAME);
    HANDLE e = win::CreateEventA(nullptr, win::TRUE, win::FALSE, nullptr);
    ASSERT_NE(h, win::INVALID_HANDLE_VALUE);
    win::FindCloseChangeNotification(h);
    win::CloseHandle(e);
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

class NetworkUse : public KernelTest {
 protected:
  void TearDown() override {
    win::SetNetworkProbeTimeout(1500);
    KernelTest::TearDown();
  }
  // The status of the drive's connection, or the call's error as a negative number.
  long long Status(const char16_t* drive) {
    win::BYTE* buffer = nullptr;
    const win::NET_API_STATUS status = win::NetUseGetInfo(nullptr, drive, 1, &buffer);
    if (status != win::NERR_Success) return -(long long)status;
    const auto* info = reinterpret_cast<const win::USE_INFO_1*>(buffer);
    const long long result = info->ui1_status;
    EXPECT_EQ(std::u16string(info->ui1_local), (std::u16string{char16_t(drive[0] & ~0x20), u':'}));
    win::NetApiBufferFree(buffer);
    return result;
  }
};

// A FIFO stands in for a mount that does not answer: opening it blocks until a writer comes.
TEST_F(NetworkUse, ARemoteIsUsableOnlyWhenItAnswers) {
  fs::create_directories(folder_.HostOf("share/x"));
  ASSERT_EQ(mkfifo(folder_.HostOf("hung").c_str(), 0600), 0);
  win::SetDriveTable({{'C', "/", win::DRIVE_FIXED},
                      {'N', folder_.HostOf("share"), win::DRIVE_REMOTE},
                      {'H', folder_.HostOf("hung"), win::DRIVE_REMOTE},
                      {'F', folder_.HostOf("share"), win::DRIVE_FIXED}});
  win::SetNetworkProbeTimeout(100);
  EXPECT_EQ(Status(u"N:"), win::USE_OK);
  EXPECT_EQ(Status(u"n:"), win::USE_OK);
  EXPECT_EQ(Status(u"H:"), win::USE_NETERR);
  EXPECT_EQ(Status(u"F:"), -(long long)win::NERR_UseNotFound) << "a fixed drive";
  EXPECT_EQ(Status(u"Z:"), -(long long)win::NERR_UseNotFound) << "no drive";
  EXPECT_EQ(Status(u"N:\\"), -(long long)win::NERR_UseNotFound) << "not a use name";
  win::BYTE* buffer = nullptr;
  EXPECT_EQ(win::NetUseGetInfo(nullptr, u"N:", 2, &buffer), win::ERROR_INVALID_LEVEL);
  EXPECT_EQ(win::NetUseGetInfo(u"\\\\other", u"N:", 1, &buffer), win::ERROR_NOT_SUPPORTED);
  EXPECT_EQ(buffer, nullptr);
  // Let the probe that still waits on the FIFO finish.
  const int writer = open(folder_.HostOf("hung").c_str(), O_WRONLY | O_NONBLOCK);
  if (writer >= 0) close(writer);
}

TEST_F(KernelTest, DriveTableListenersHearOfReplacementsUntilRemoved) {
  std::atomic<int> heard{0};
  const int id = win::AddDriveTableListener([&heard] { ++heard; });
  ASSERT_NE(id, 0);
  win::SetDriveTable({{'C', "/", win::DRIVE_FIXED}, {'D', folder_.Host(), win::DRIVE_REMOVABLE}});
  EXPECT_EQ(heard.load(), 1);
  EXPECT_EQ(win::GetLogicalDrives(), (1u << 2) | (1u << 3));
  EXPECT_EQ(win::GetDriveTypeA("D:\\"), win::DRIVE_REMOVABLE);
  win::RemoveDriveTableListener(id);
  win::SetDriveTable({{'C', "/", win::DRIVE_FIXED}});
  EXPECT_EQ(heard.load(), 1);
  EXPECT_EQ(win::AddDriveTableListener({}), 0);
}

}  // namespace
