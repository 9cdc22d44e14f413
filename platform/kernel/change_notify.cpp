// Directory change notifications over inotify. A notification is one inotify queue with a
// watch on its folder and, for a subtree, on every folder below it that the shell has listed;
// the shell announces those through NoteFolderListed as it lists them. The handle is
// signalled once an event that the filter names has been read from the queue.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/kernel/sync.h"
#include "platform/kernel/waitable.h"

namespace win {

namespace {

constexpr DWORD kKnownFilters = 0x17F;
constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_ATTRIB | IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE_SELF |
                                     IN_MOVE_SELF | IN_ONLYDIR;
// Listed folders remembered for notifications made later; beyond this half are forgotten.
constexpr std::size_t kMaxListed = 16384;

bool Under(const std::string& path, const std::string& root) {
  if (root == "/") return path.starts_with('/');
  return path == root || (path.starts_with(root) && path[root.size()] == '/');
}

// Whether one inotify event is a change the filter asks about.
bool Relevant(std::uint32_t mask, DWORD filter) {
  if (mask & IN_Q_OVERFLOW) return true;  // events were lost: report a change
  const bool folder = (mask & IN_ISDIR) != 0;
  if (mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) {
    if (filter & (folder ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME)) return true;
    if ((mask & IN_CREATE) && (filter & FILE_NOTIFY_CHANGE_CREATION)) return true;
  }
  // A watched folder itself went away or moved: a folder name changed.
  if ((mask & (IN_DELETE_SELF | IN_MOVE_SELF)) && (filter & FILE_NOTIFY_CHANGE_DIR_NAME)) {
    return true;
  }
  if ((mask & IN_ATTRIB) &&
      (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY))) {
    return true;
  }
  if ((mask & (IN_MODIFY | IN_CLOSE_WRITE)) &&
      (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE))) {
    return true;
  }
  return false;
}

class ChangeObject;

// The live subtree notifications and the folders the shell has listed. Lock order: this
// registry's lock, then an object's own.
struct Registry {
  std::mutex mutex;
  std::set<ChangeObject*> subtrees;
  std::set<std::string> listed;
};

Registry& TheRegistry() {
  static auto* registry = new Registry;  // used until exit
  return *registry;
}

class ChangeObject final : public detail::Waitable {
 public:
  ChangeObject(int queue, std::string root, bool subtree, DWORD filter)
      : queue_(queue), root_(std::move(root)), subtree_(subtree), filter_(filter) {}
  ~ChangeObject() override {
    if (subtree_) {
      Registry& r = TheRegistry();
      std::lock_guard lock(r.mutex);
      r.subtrees.erase(this);
    }
    close(queue_);
  }

  int ExtraFd() const override { return queue_; }
  const std::string& Root() const { return root_; }

  // FALSE with the last error set when the folder cannot be watched.
  BOOL WatchRoot() {
    std::lock_guard lock(mutex_);
    const int wd = inotify_add_watch(queue_, root_.c_str(), kWatchMask);
    if (wd < 0) return detail::FailWithErrno(errno);
    watched_[wd] = root_;
    folders_.insert(root_);
    return TRUE;
  }
  // Watches a folder below the root too (subtrees only); a folder that cannot be watched
  // (gone, or the host's watch limit reached) is left out. False when it is gone.
  bool WatchFolder(const std::string& host) {
    std::lock_guard lock(mutex_);
    if (!subtree_ || closed_ || !Under(host, root_) || folders_.count(host)) return true;
    const int wd = inotify_add_watch(queue_, host.c_str(), kWatchMask);
    if (wd < 0) return errno != ENOENT && errno != ENOTDIR;
    watched_[wd] = host;
    folders_.insert(host);
    return true;
  }
  BOOL Rearm() {
    std::lock_guard lock(mutex_);
    if (closed_) return detail::Fail(ERROR_INVALID_HANDLE);
    // What is still queued signals the handle again on the next wait.
    pending_ = false;
    return TRUE;
  }

 private:
  bool SignalledLocked() override {
    ReadQueueLocked();
    return pending_;
  }

  void ReadQueueLocked() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      const ssize_t n = read(queue_, buffer, sizeof buffer);
      if (n <= 0) return;  // EAGAIN: nothing more queued
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += ssize_t(sizeof(inotify_event) + event->len);
        if (event->mask & IN_IGNORED) {  // the folder's watch is gone with the folder
          auto it = watched_.find(event->wd);
          if (it != watched_.end()) {
            folders_.erase(it->second);
            watched_.erase(it);
          }
          continue;
        }
        if (Relevant(event->mask, filter_)) pending_ = true;
      }
    }
  }

  const int queue_;
  const std::string root_;
  const bool subtree_;
  const DWORD filter_;
  std::map<int, std::string> watched_;  // watch descriptor -> host folder
  std::set<std::string> folders_;
  bool pending_ = false;
};

bool IsHostFolder(const std::string& host) {
  struct stat st {};
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

HANDLE FindFirstChangeNotificationA(LPCSTR path, BOOL watchSubtree, DWORD filter) {
  if (path == nullptr || filter == 0 || (filter & ~kKnownFilters) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const detail::Resolved r = detail::Resolve(path);
  if (r.lookup != detail::Lookup::kFound) {
    if (r.lookup == detail::Lookup::kBadName) {
      detail::FailLookup(r);
    } else {
      SetLastError(ERROR_PATH_NOT_FOUND);
    }
    return INVALID_HANDLE_VALUE;
  }
  if (!IsHostFolder(r.host)) {
    SetLastError(ERROR_DIRECTORY);
    return INVALID_HANDLE_VALUE;
  }
  std::string root = r.host;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  const int queue = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (queue < 0) {
    detail::FailWithErrno(errno);
    return INVALID_HANDLE_VALUE;
  }
  auto object = std::make_unique<ChangeObject>(queue, root, watchSubtree != FALSE, filter);
  if (!object->Usable() || !object->WatchRoot()) return INVALID_HANDLE_VALUE;
  ChangeObject* raw = object.get();
  if (watchSubtree) {
    // Registered before the handle exists, so no folder listed meanwhile is missed.
    Registry& reg = TheRegistry();
    std::lock_guard lock(reg.mutex);
    reg.subtrees.insert(raw);
    for (auto it = reg.listed.begin(); it != reg.listed.end();) {
      it = raw->WatchFolder(*it) ? std::next(it) : reg.listed.erase(it);
    }
  }
  return detail::RegisterHandle(std::move(object));  // on failure the object unregisters
}

BOOL FindNextChangeNotification(HANDLE change) {
  auto object = detail::LookupHandleAs<ChangeObject>(change);
  if (!object) return FALSE;
  return object->Rearm();
}

BOOL FindCloseChangeNotification(HANDLE change) {
  auto object = detail::UnregisterHandleAs<ChangeObject>(change);
  if (!object) return detail::Fail(ERROR_INVALID_HANDLE);
  return object->Close();
}

void NoteFolderListed(const std::string& hostFolder) {
  if (hostFolder.empty() || hostFolder[0] != '/') return;
  std::string folder = hostFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  Registry& reg = TheRegistry();
  std::lock_guard lock(reg.mutex);
  if (reg.listed.size() >= kMaxListed) {
    auto middle = reg.listed.begin();
    std::advance(middle, kMaxListed / 2);
    reg.listed.erase(reg.listed.begin(), middle);
  }
  reg.listed.insert(folder);
  for (ChangeObject* object : reg.subtrees) object->WatchFolder(folder);
}

}  // namespace win
