// Who hears of drive table changes, and the network-use query of remote drives.
//
// While anyone listens, a helper thread waits for the host's mount list to change (the kernel
// flags /proc/self/mounts with POLLPRI then); SetDriveTable tells the listeners directly.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/kernel/internal.h"
#include "platform/kernel/sync.h"

namespace win {

namespace {

struct Listeners {
  std::mutex mutex;  // held while listeners run, so a removed one never runs again
  std::map<int, std::function<void()>> list;
  int nextId = 1;
  std::thread helper;
  int stopFd = -1;
};

Listeners& TheListeners() {
  static auto* listeners = new Listeners;  // used until exit
  return *listeners;
}

void NotifyListeners() {
  Listeners& l = TheListeners();
  std::lock_guard lock(l.mutex);
  for (auto& [id, listener] : l.list) listener();
}

// Owns `mounts` (-1 when the mount list cannot be read: then only the stop is waited for).
void WatchMounts(int stopFd, int mounts) {
  for (;;) {
    pollfd fds[2] = {{stopFd, POLLIN, 0}, {mounts, POLLPRI, 0}};
    const int n = poll(fds, mounts >= 0 ? 2 : 1, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (fds[0].revents & POLLIN) != 0) break;
    // The poll itself takes note of the change, so the next one waits for a new change.
    if ((fds[1].revents & (POLLPRI | POLLERR)) != 0) NotifyListeners();
  }
  if (mounts >= 0) close(mounts);
}

std::atomic<DWORD> probeTimeout{1500};

// Whether a folder can be opened and read within the probe time. A remote mount that hangs
// keeps the probing thread until it answers; the caller moves on.
bool Answers(const std::string& host) {
  struct Probe {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool ok = false;
  };
  auto probe = std::make_shared<Probe>();
  try {
    std::thread([probe, host] {
      bool ok = false;
      const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        if (DIR* dir = fdopendir(fd)) {
          ok = readdir(dir) != nullptr;
          closedir(dir);
        } else {
          close(fd);
        }
      }
      std::lock_guard lock(probe->mutex);
      probe->finished = true;
      probe->ok = ok;
      probe->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  std::unique_lock lock(probe->mutex);
  probe->done.wait_for(lock, std::chrono::milliseconds(probeTimeout.load()),
                       [&] { return probe->finished; });
  return probe->finished && probe->ok;
}

}  // namespace

namespace detail {

void DriveTableChanged() {
  NotifyListeners();
}

}  // namespace detail

int AddDriveTableListener(std::function<void()> listener) {
  if (!listener) return 0;
  Listeners& l = TheListeners();
  std::lock_guard lock(l.mutex);
  const int id = l.nextId++;
  l.list.emplace(id, std::move(listener));
  if (!l.helper.joinable()) {
    l.stopFd = eventfd(0, EFD_CLOEXEC);
    // Without the helper, SetDriveTable still reaches the listeners.
    if (l.stopFd >= 0) {
      // Opened here, so the change the helper waits for is any after this call.
      const int mounts = open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
      try {
        l.helper = std::thread(WatchMounts, l.stopFd, mounts);
      } catch (const std::system_error&) {
        close(std::exchange(l.stopFd, -1));
        if (mounts >= 0) close(mounts);
      }
    }
  }
  return id;
}

void RemoveDriveTableListener(int id) {
  Listeners& l = TheListeners();
  std::thread helper;
  int stopFd = -1;
  {
    std::lock_guard lock(l.mutex);
    l.list.erase(id);
    if (!l.list.empty()) return;
    helper = std::move(l.helper);
    stopFd = std::exchange(l.stopFd, -1);
  }
  // Outside the lock: the helper may be waiting for it to tell the listeners of a change.
  if (stopFd >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(stopFd, &one, sizeof one);
  }
  if (helper.joinable()) helper.join();
  if (stopFd >= 0) close(stopFd);
}

NET_API_STATUS NetUseGetInfo(const char16_t* serverName, const char16_t* useName, DWORD level,
                             BYTE** buffer) {
  if (buffer == nullptr || useName == nullptr) return ERROR_INVALID_PARAMETER;
  *buffer = nullptr;
  if (serverName != nullptr && serverName[0] != 0) return ERROR_NOT_SUPPORTED;
  if (level != 1) return ERROR_INVALID_LEVEL;
  const std::u16string name = useName;
  if (name.size() != 2 || name[1] != u':' ||
      !((name[0] >= u'A' && name[0] <= u'Z') || (name[0] >= u'a' && name[0] <= u'z'))) {
    return NERR_UseNotFound;
  }
  const std::optional<DriveMapping> drive = detail::FindDrive(char(name[0]));
  if (!drive || drive->type != DRIVE_REMOTE) return NERR_UseNotFound;

  const std::u16string local{char16_t(drive->letter), u':'};
  const std::u16string remote = Utf8ToUtf16(drive->hostRoot);
  // One block: the record, then its strings.
  const std::size_t bytes = sizeof(USE_INFO_1) + (local.size() + remote.size() + 3) * 2;
  auto* block = new (std::nothrow) BYTE[bytes];
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  auto* info = reinterpret_cast<USE_INFO_1*>(block);
  auto* text = reinterpret_cast<char16_t*>(block + sizeof(USE_INFO_1));
  auto put = [&text](const std::u16string& s) {
    char16_t* at = text;
    std::memcpy(at, s.c_str(), (s.size() + 1) * 2);
    text += s.size() + 1;
    return at;
  };
  info->ui1_local = put(local);
  info->ui1_remote = put(remote);
  info->ui1_password = put(u"");
  info->ui1_status = Answers(drive->hostRoot) ? USE_OK : USE_NETERR;
  info->ui1_asg_type = USE_DISKDEV;
  info->ui1_refcount = 0;
  info->ui1_usecount = 1;
  *buffer = block;
  return NERR_Success;
}

NET_API_STATUS NetApiBufferFree(void* buffer) {
  delete[] static_cast<BYTE*>(buffer);
  return NERR_Success;
}

void SetNetworkProbeTimeout(DWORD milliseconds) {
  probeTimeout.store(milliseconds);
}

}  // namespace win
