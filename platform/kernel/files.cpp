// Files with Windows semantics over POSIX: open and create dispositions, share modes,
// attributes, delete, folders and moves. Files created with CREATE_ALWAYS or CREATE_NEW are
// written into a temporary file in the target's folder and put in place on close, so a
// failed write never leaves a broken file nor destroys the file it was to replace.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"

namespace win {

namespace {

using detail::Fail;
using detail::FailWithErrno;
using detail::Lookup;

constexpr DWORD kTruncateExisting = 5;

// --- Share modes ---------------------------------------------------------------------------
// Windows refuses an open that conflicts with the share modes of the handles already open
// on the file. POSIX has no such thing, so this process keeps the table itself.

struct ShareEntry {
  const void* owner;
  DWORD access;
  DWORD share;
};
using InodeKey = std::pair<dev_t, ino_t>;

struct ShareTable {
  std::mutex mutex;
  std::map<InodeKey, std::vector<ShareEntry>> byInode;
  // Files being created, by target host path: the target does not exist yet (or is still
  // the old file) but a second open of it must see the pending one.
  std::map<std::string, std::vector<ShareEntry>> pending;
};

ShareTable& Shares() {
  static ShareTable* table = new ShareTable;  // used until exit
  return *table;
}

bool Conflicts(const ShareEntry& open, DWORD access, DWORD share) {
  const bool reads = access & GENERIC_READ, writes = access & GENERIC_WRITE;
  return (reads && !(open.share & FILE_SHARE_READ)) ||
         (writes && !(open.share & FILE_SHARE_WRITE)) ||
         ((open.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
         ((open.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
}

bool AnyConflict(const std::vector<ShareEntry>* entries, DWORD access, DWORD share) {
  if (entries == nullptr) return false;
  return std::any_of(entries->begin(), entries->end(),
                     [&](const ShareEntry& e) { return Conflicts(e, access, share); });
}

template <typename Map, typename Key>
const std::vector<ShareEntry>* Entries(const Map& map, const Key& key) {
  const auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

template <typename Map, typename Key>
void RemoveOwner(Map& map, const Key& key, const void* owner) {
  const auto it = map.find(key);
  if (it == map.end()) return;
  std::erase_if(it->second, [&](const ShareEntry& e) { return e.owner == owner; });
  if (it->second.empty()) map.erase(it);
}

InodeKey KeyOf(const struct stat& st) {
  return {st.st_dev, st.st_ino};
}

// --- Files being written -------------------------------------------------------------------
// A created file is written into an unnamed inode of the target's folder (O_TMPFILE) and
// linked into place when complete, so even a process killed mid-write leaves nothing behind.
// Where the file system has no unnamed files (or /proc is missing, so the inode could not be
// linked) a hidden named file beside the target stands in.

std::atomic<bool> unnamedTemporaryFiles{true};

// ".<name>.suotu-XXXXXX" beside the target, the name shortened (at a character boundary) if
// the whole would exceed the host's name limit.
std::string TempTemplate(const std::string& target) {
  constexpr std::size_t kNameMax = 255;
  constexpr char kSuffix[] = ".suotu-XXXXXX";
  std::string name = detail::HostBaseName(target);
  const std::size_t room = kNameMax - 1 - (sizeof kSuffix - 1);
  if (name.size() > room) {
    std::size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  const std::string folder = detail::HostDirName(target);
  return (folder == "/" ? std::string("/") : folder + "/") + "." + name + kSuffix;
}

// The template with its X's replaced by random letters and digits.
std::string RandomTempName(const std::string& target) {
  static constexpr char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = TempTemplate(target);
  unsigned char noise[6];
  if (getrandom(noise, sizeof noise, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof noise)) {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    for (std::size_t i = 0; i < sizeof noise; ++i) {
      noise[i] = static_cast<unsigned char>(ticks >> (8 * i)) ^ static_cast<unsigned char>(i * 37);
    }
  }
  for (std::size_t i = 0; i < sizeof noise; ++i) {
    name[name.size() - sizeof noise + i] = kAlphabet[noise[i] % (sizeof kAlphabet - 1)];
  }
  return name;
}

std::string ProcFdPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

// A temporary file for `target` with the given mode: its descriptor, and its name when it is
// a named one ("" for an unnamed inode). Returns an errno value on failure.
int OpenTemporary(const std::string& target, mode_t mode, int& fd, std::string& name) {
  name.clear();
  if (unnamedTemporaryFiles.load(std::memory_order_relaxed)) {
    fd = open(detail::HostDirName(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
      if (access(ProcFdPath(fd).c_str(), F_OK) == 0) {
        fchmod(fd, mode);
        return 0;
      }
      close(fd);
    }
  }
  name = TempTemplate(target);
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    name.clear();
    return err == ENOENT ? ENOTDIR : err;
  }
  fchmod(fd, mode);
  return 0;
}

// Gives an unnamed inode the name `path`; EEXIST when the name is taken.
int LinkUnnamed(int fd, const std::string& path) {
  if (linkat(AT_FDCWD, ProcFdPath(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    return 0;
  }
  const int err = errno;
  // Without /proc the descriptor itself can be linked, given the privilege.
  if (err == ENOENT && linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return 0;
  return err;
}

// Puts a complete temporary file in place under `target`. Without `replace` an existing
// target stays and the result is EEXIST. Returns 0 or an errno value; no named temporary
// file is left either way.
int PutInPlace(int fd, const std::string& tempName, const std::string& target, bool replace) {
  if (tempName.empty()) {
    if (!replace) return LinkUnnamed(fd, target);
    // A link cannot replace a file: link under a fresh hidden name, then rename that over
    // the target (the only moment a named file exists).
    for (int attempt = 0; attempt < 16; ++attempt) {
      const std::string name = RandomTempName(target);
      const int err = LinkUnnamed(fd, name);
      if (err == EEXIST) continue;
      if (err != 0) return err;
      if (rename(name.c_str(), target.c_str()) == 0) return 0;
      const int renameErr = errno;
      unlink(name.c_str());
      return renameErr;
    }
    return EEXIST;
  }
  int err = 0;
  if (replace) {
    if (rename(tempName.c_str(), target.c_str()) != 0) err = errno;
  } else if (renameat2(AT_FDCWD, tempName.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) !=
             0) {
    err = errno;
    // Some file systems cannot refuse to replace in a rename; a link can.
    if (err == EINVAL || err == ENOSYS)
      err = link(tempName.c_str(), target.c_str()) == 0 ? 0 : errno;
  }
  unlink(tempName.c_str());  // already gone after a successful rename
  return err;
}

// --- File objects --------------------------------------------------------------------------

class FileObject : public detail::KernelObject {
 public:
  int fd = -1;
  DWORD access = 0;
  std::string host;  // the file (or, while creating, the target)
  bool creating = false;
  std::string temp;  // the named temporary file being written; "" for an unnamed one
  bool createNew = false;
  InodeKey key{};
  std::optional<InodeKey> replacedKey;  // the old target while creating over it

  ~FileObject() override {
    if (fd >= 0) close(fd);
    if (!temp.empty()) unlink(temp.c_str());
    Unshare();
  }

  BOOL Close() override { return creating ? Commit() : CloseOpened(); }

  // Closes a file being created without putting it in place.
  BOOL Discard() {
    DropTemporary();
    Unshare();
    return TRUE;
  }

 private:
  void Unshare() {
    ShareTable& t = Shares();
    std::lock_guard lock(t.mutex);
    RemoveOwner(t.byInode, key, this);
    if (replacedKey) RemoveOwner(t.byInode, *replacedKey, this);
    RemoveOwner(t.pending, host, this);
  }

  BOOL CloseOpened() {
    const int result = close(fd);
    fd = -1;
    Unshare();
    return result == 0 || errno == EINTR ? TRUE : FailWithErrno(errno);
  }

  void DropTemporary() {
    if (fd >= 0) close(fd);
    fd = -1;
    if (!temp.empty()) unlink(temp.c_str());
    temp.clear();
    creating = false;
  }

  // The data reaches the disk before the file is put in place, so a crash leaves either the
  // old file or the whole new one.
  BOOL Commit() {
    const auto failed = [this](DWORD code) {
      DropTemporary();
      Unshare();
      return Fail(code);
    };
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
      return failed(ErrorFromErrno(errno));
    }
    if (!temp.empty()) {
      // Some file systems report write errors only when the file is closed.
      const int closed = close(fd);
      fd = -1;
      if (closed != 0 && errno != EINTR) return failed(ErrorFromErrno(errno));
    }
    // CREATE_NEW: another creator may have put a file there meanwhile; never replace it.
    const int err = PutInPlace(fd, temp, host, !createNew);
    temp.clear();
    if (err != 0) {
      return failed(err == EEXIST && createNew ? ERROR_FILE_EXISTS
                    : err == EISDIR            ? ERROR_ACCESS_DENIED
                                               : ErrorFromErrno(err));
    }
    DropTemporary();
    Unshare();
    return TRUE;
  }
};

mode_t CurrentUmask() {
  // Reading the mask without changing it; umask() itself would race with other threads.
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("Umask:"))
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

bool ReadOnly(const struct stat& st) {
  return (st.st_mode & S_IWUSR) == 0;
}

// Only regular files are opened for reading: a FIFO or a terminal would block the program
// and a device has no end. A character device may still take writes (the null device).
bool MayOpen(const struct stat& st, DWORD access) {
  return S_ISREG(st.st_mode) || (S_ISCHR(st.st_mode) && !(access & GENERIC_READ));
}

int OpenFlags(DWORD access) {
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) return O_RDWR;
  if (access & GENERIC_WRITE) return O_WRONLY;
  return O_RDONLY;
}

HANDLE FailHandle(DWORD code) {
  SetLastError(code);
  return INVALID_HANDLE_VALUE;
}

HANDLE FailHandleErrno(int err) {
  return FailHandle(ErrorFromErrno(err));
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, void* /*security*/,
                   DWORD creationDisposition, DWORD /*flagsAndAttributes*/,
                   HANDLE /*templateFile*/) {
  if (fileName == nullptr || creationDisposition < CREATE_NEW ||
      creationDisposition > kTruncateExisting) {
    return FailHandle(ERROR_INVALID_PARAMETER);
  }
  const bool creates = creationDisposition == CREATE_ALWAYS || creationDisposition == CREATE_NEW;
  // A file being created takes its name as spelt; opening matches names without case.
  const detail::Resolved r = detail::Resolve(
      fileName, creates ? detail::LastName::kExactCase : detail::LastName::kAnyCase);
  if (r.lookup == Lookup::kBadName || r.lookup == Lookup::kFolderMissing) {
    return FailHandle(r.error);
  }
  if (r.isRoot) return FailHandle(ERROR_ACCESS_DENIED);
  struct stat st {};
  bool exists = r.lookup == Lookup::kFound;
  if (exists && stat(r.host.c_str(), &st) != 0) {
    // A dangling link: nothing to open, but a create replaces the link itself.
    exists = false;
    if (creationDisposition == OPEN_EXISTING || creationDisposition == kTruncateExisting) {
      return FailHandle(ERROR_FILE_NOT_FOUND);
    }
  }
  const bool writes = desiredAccess & GENERIC_WRITE;
  if (exists) {
    if (creationDisposition == CREATE_NEW) return FailHandle(ERROR_FILE_EXISTS);
    if (S_ISDIR(st.st_mode)) return FailHandle(ERROR_ACCESS_DENIED);
    if (!creates && !MayOpen(st, desiredAccess)) return FailHandle(ERROR_ACCESS_DENIED);
    if ((writes || creates || creationDisposition == kTruncateExisting) && ReadOnly(st)) {
      return FailHandle(ERROR_ACCESS_DENIED);
    }
  } else if (creationDisposition == OPEN_EXISTING || creationDisposition == kTruncateExisting) {
    return FailHandle(ERROR_FILE_NOT_FOUND);
  }

  auto file = std::make_unique<FileObject>();
  file->access = desiredAccess;
  file->host = r.host;
  const ShareEntry entry{file.get(), desiredAccess, shareMode};
  ShareTable& shares = Shares();
  std::unique_lock lock(shares.mutex);
  if (AnyConflict(Entries(shares.pending, r.host), desiredAccess, shareMode) ||
      (exists && AnyConflict(Entries(shares.byInode, KeyOf(st)), desiredAccess, shareMode))) {
    return FailHandle(ERROR_SHARING_VIOLATION);
  }

  if (creates) {
    // A new file gets the usual mode; a replaced one keeps its own.
    const mode_t mode = exists ? (st.st_mode & 0777) : (0666 & ~CurrentUmask());
    const int err = OpenTemporary(r.host, mode, file->fd, file->temp);
    if (err != 0) return FailHandleErrno(err);
    file->creating = true;
    file->createNew = creationDisposition == CREATE_NEW;
    if (exists) {
      file->replacedKey = KeyOf(st);
      shares.byInode[KeyOf(st)].push_back(entry);
    }
    shares.pending[r.host].push_back(entry);
  } else {
    // Without blocking, so that something swapped in for the file since the check above
    // (a FIFO waiting for a writer) is found by fstat instead of hanging the program.
    int flags = OpenFlags(desiredAccess) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (!exists) flags |= O_CREAT | O_EXCL;
    if (creationDisposition == kTruncateExisting) flags |= O_TRUNC;
    const int fd = open(r.host.c_str(), flags, 0666);
    if (fd < 0) return FailHandleErrno(errno);
    file->fd = fd;
    struct stat opened {};
    if (fstat(fd, &opened) != 0 || !MayOpen(opened, desiredAccess)) {
      return FailHandle(ERROR_ACCESS_DENIED);  // the object closes the descriptor
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  struct stat opened {};
  fstat(file->fd, &opened);
  file->key = KeyOf(opened);
  shares.byInode[file->key].push_back(entry);
  lock.unlock();
  // Windows reports that an existing file was opened or replaced.
  SetLastError(exists &&
                       (creationDisposition == OPEN_ALWAYS || creationDisposition == CREATE_ALWAYS)
                   ? ERROR_ALREADY_EXISTS
                   : ERROR_SUCCESS);
  return detail::RegisterHandle(std::move(file));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* /*overlapped*/) {
  if (read != nullptr) *read = 0;
  auto f = detail::LookupHandleAs<FileObject>(file);
  if (f == nullptr) return FALSE;
  if (!(f->access & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
  if (buffer == nullptr && toRead > 0) return Fail(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  while (done < toRead) {
    const ssize_t n = ::read(f->fd, static_cast<char*>(buffer) + done, toRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (read != nullptr) *read = done;
      return FailWithErrno(errno);
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  if (read != nullptr) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written,
               void* /*overlapped*/) {
  if (written != nullptr) *written = 0;
  auto f = detail::LookupHandleAs<FileObject>(file);
  if (f == nullptr) return FALSE;
  if (!(f->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
  if (buffer == nullptr && toWrite > 0) return Fail(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  while (done < toWrite) {
    const ssize_t n = ::write(f->fd, static_cast<const char*>(buffer) + done, toWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written != nullptr) *written = done;
      return FailWithErrno(n == 0 ? ENOSPC : errno);
    }
    done += static_cast<DWORD>(n);
  }
  if (written != nullptr) *written = done;
  return TRUE;
}

BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD moveMethod) {
  auto f = detail::LookupHandleAs<FileObject>(file);
  if (f == nullptr) return FALSE;
  LONGLONG base = 0;
  if (moveMethod == FILE_CURRENT) {
    base = lseek(f->fd, 0, SEEK_CUR);
  } else if (moveMethod == FILE_END) {
    struct stat st;
    base = fstat(f->fd, &st) == 0 ? st.st_size : -1;
  } else if (moveMethod != FILE_BEGIN) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (base < 0) return FailWithErrno(errno);
  LONGLONG target = 0;
  if (__builtin_add_overflow(base, distance, &target)) return Fail(ERROR_INVALID_PARAMETER);
  if (target < 0) return Fail(ERROR_NEGATIVE_SEEK);
  if (lseek(f->fd, target, SEEK_SET) < 0) return FailWithErrno(errno);
  if (newPosition != nullptr) *newPosition = target;
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, LONGLONG* size) {
  auto f = detail::LookupHandleAs<FileObject>(file);
  if (f == nullptr) return FALSE;
  if (size == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  struct stat st;
  if (fstat(f->fd, &st) != 0) return FailWithErrno(errno);
  *size = st.st_size;
  return TRUE;
}

BOOL SetEndOfFile(HANDLE file) {
  auto f = detail::LookupHandleAs<FileObject>(file);
  if (f == nullptr) return FALSE;
  if (!(f->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
  const off_t position = lseek(f->fd, 0, SEEK_CUR);
  if (position < 0 || ftruncate(f->fd, position) != 0) return FailWithErrno(errno);
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  auto object = detail::UnregisterHandle(handle);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  return object->Close();
}

BOOL DiscardFile(HANDLE file) {
  auto object = detail::UnregisterHandle(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  auto* f = dynamic_cast<FileObject*>(object.get());
  if (f == nullptr || !f->creating) return object->Close();
  return f->Discard();
}

// --- Names and folders ---------------------------------------------------------------------

namespace detail {

void UseUnnamedTemporaryFiles(bool use) {
  unnamedTemporaryFiles.store(use, std::memory_order_relaxed);
}

bool MayDeleteOrRename(const struct stat& st) {
  ShareTable& t = Shares();
  std::lock_guard lock(t.mutex);
  const auto* entries = Entries(t.byInode, KeyOf(st));
  if (entries == nullptr) return true;
  return std::all_of(entries->begin(), entries->end(),
                     [](const ShareEntry& e) { return (e.share & FILE_SHARE_DELETE) != 0; });
}

DWORD AttributesFrom(const struct stat& st, const std::string& hostName) {
  DWORD attributes = 0;
  if (ReadOnly(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  if (hostName.size() > 1 && hostName[0] == '.' && hostName != "..") {
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  }
  if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (S_ISREG(st.st_mode)) attributes |= FILE_ATTRIBUTE_ARCHIVE;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

}  // namespace detail

BOOL DeleteFileA(LPCSTR fileName) {
  if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const detail::Resolved r = detail::Resolve(fileName);
  if (r.lookup != Lookup::kFound) return detail::FailLookup(r);
  struct stat st;
  if (r.isRoot || lstat(r.host.c_str(), &st) != 0) return Fail(ERROR_ACCESS_DENIED);
  if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (!S_ISLNK(st.st_mode) && ReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
  if (!detail::MayDeleteOrRename(st)) return Fail(ERROR_SHARING_VIOLATION);
  if (unlink(r.host.c_str()) != 0) return FailWithErrno(errno);
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, void* /*security*/) {
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const detail::Resolved r = detail::Resolve(path);
  if (r.lookup == Lookup::kFound) return Fail(ERROR_ALREADY_EXISTS);
  if (r.lookup != Lookup::kLastMissing) return detail::FailLookup(r);
  if (mkdir(r.host.c_str(), 0777) != 0) return FailWithErrno(errno);
  return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const detail::Resolved r = detail::Resolve(path);
  if (r.lookup != Lookup::kFound) return detail::FailLookup(r);
  struct stat st;
  if (r.isRoot) return Fail(ERROR_ACCESS_DENIED);
  if (lstat(r.host.c_str(), &st) != 0) return FailWithErrno(errno);
  if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
  if (ReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
  // Windows keeps the current directory open, so it cannot be removed.
  if (detail::IsCurrentDirectory(r.windows)) return Fail(ERROR_SHARING_VIOLATION);
  if (rmdir(r.host.c_str()) != 0) {
    return errno == EEXIST ? Fail(ERROR_DIR_NOT_EMPTY) : FailWithErrno(errno);
  }
  return TRUE;
}

namespace {

// Moves a regular file to another file system the way Windows does: copy, then delete.
// The copy is written beside the target and linked into place only when complete.
BOOL CopyThenDelete(const std::string& from, const std::string& to, const struct stat& st) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailWithErrno(errno);
  int out = -1;
  std::string temp;
  if (const int err = OpenTemporary(to, st.st_mode & 0777, out, temp); err != 0) {
    close(in);
    return FailWithErrno(err);
  }
  char buffer[65536];
  int err = 0;
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) err = errno;
      break;
    }
    for (ssize_t done = 0; done < n && err == 0;) {
      const ssize_t w = write(out, buffer + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0)
        err = w == 0 ? ENOSPC : errno;
      else
        done += w;
    }
    if (err != 0) break;
  }
  close(in);
  if (err == 0 && fsync(out) != 0 && errno != EINVAL) err = errno;
  // A named copy is closed first (late write errors show there); an unnamed one needs its
  // descriptor to be linked.
  if (!temp.empty() && close(out) != 0 && err == 0 && errno != EINTR) err = errno;
  if (err == 0) {
    err = PutInPlace(out, temp, to, false);
  } else if (!temp.empty()) {
    unlink(temp.c_str());
  }
  if (temp.empty()) close(out);
  if (err != 0) return err == EEXIST ? Fail(ERROR_ALREADY_EXISTS) : FailWithErrno(err);
  if (unlink(from.c_str()) != 0) return FailWithErrno(errno);
  return TRUE;
}

}  // namespace

BOOL MoveFileA(LPCSTR existing, LPCSTR newName) {
  if (existing == nullptr || newName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const detail::Resolved from = detail::Resolve(existing);
  if (from.lookup != Lookup::kFound) return detail::FailLookup(from);
  if (from.isRoot) return Fail(ERROR_ACCESS_DENIED);
  const detail::Resolved to = detail::Resolve(newName);
  std::string target = to.host;
  if (to.lookup == Lookup::kFound) {
    // Only a change of case of the same name may land on an existing entry.
    if (to.host != from.host) return Fail(ERROR_ALREADY_EXISTS);
    const auto full = detail::MakeFullPath(newName);
    const auto name =
        full && !full->parts.empty() ? AnsiNameToHost(full->parts.back()) : std::nullopt;
    if (!name) return Fail(ERROR_INVALID_NAME);
    target = detail::HostDirName(to.host) + "/" + *name;
    if (target == from.host) return TRUE;
  } else if (to.lookup != Lookup::kLastMissing) {
    return detail::FailLookup(to);
  }
  struct stat st;
  if (lstat(from.host.c_str(), &st) != 0) return FailWithErrno(errno);
  if (!detail::MayDeleteOrRename(st)) return Fail(ERROR_SHARING_VIOLATION);
  if (renameat2(AT_FDCWD, from.host.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return TRUE;
  }
  int err = errno;
  if (err == EINVAL || err == ENOSYS) {
    // The file system cannot refuse to replace; the lookup above already checked.
    if (rename(from.host.c_str(), target.c_str()) == 0) return TRUE;
    err = errno;
  }
  if (err == EXDEV) {
    if (!S_ISREG(st.st_mode)) return Fail(ERROR_NOT_SAME_DEVICE);
    return CopyThenDelete(from.host, target, st);
  }
  return err == EEXIST ? Fail(ERROR_ALREADY_EXISTS) : FailWithErrno(err);
}

DWORD GetFileAttributesA(LPCSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  const detail::Resolved r = detail::Resolve(fileName);
  if (r.lookup != Lookup::kFound) {
    detail::FailLookup(r);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat st;
  if (stat(r.host.c_str(), &st) != 0 && lstat(r.host.c_str(), &st) != 0) {
    FailWithErrno(errno);
    return INVALID_FILE_ATTRIBUTES;
  }
  return detail::AttributesFrom(st, r.isRoot ? std::string() : detail::HostBaseName(r.host));
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes) {
  if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const detail::Resolved r = detail::Resolve(fileName);
  if (r.lookup != Lookup::kFound) return detail::FailLookup(r);
  struct stat st;
  if (stat(r.host.c_str(), &st) != 0) return FailWithErrno(errno);
  // Read-only means nobody may write; clearing it gives the owner write permission back.
  // Hidden follows the name and the other attributes have no host counterpart.
  const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY)
                          ? (st.st_mode & 07777 & ~(S_IWUSR | S_IWGRP | S_IWOTH))
                          : ((st.st_mode & 07777) | S_IWUSR);
  if (mode != (st.st_mode & 07777) && chmod(r.host.c_str(), mode) != 0) {
    return FailWithErrno(errno);
  }
  return TRUE;
}

}  // namespace win
