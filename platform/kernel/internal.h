// Helpers shared by the kernel's sources; not part of the kernel's interface.
#pragma once

#include <sys/stat.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/kernel/handle_table.h"
#include "platform/kernel/kernel.h"

namespace win::detail {

// Everything a HANDLE can stand for. Handles are slots of a handle table, so a stale or
// made-up handle fails with ERROR_INVALID_HANDLE instead of reaching another object.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Releases the object's resources; FALSE with the last error set when that fails.
  virtual BOOL Close() = 0;
};
// A kernel object kept alive while held, even when another thread closes its handle.
template <typename T>
using KernelRef = HandleTable<KernelObject>::Ref<T>;

// The new handle; INVALID_HANDLE_VALUE (ERROR_NOT_ENOUGH_MEMORY) when the process is out of
// handles, the object then destroyed.
HANDLE RegisterHandle(std::unique_ptr<KernelObject> object);
// The live object behind a handle, or empty (last error ERROR_INVALID_HANDLE).
KernelRef<KernelObject> LookupHandle(HANDLE handle);
template <typename T>
KernelRef<T> LookupHandleAs(HANDLE handle) {
  KernelRef<T> object = LookupHandle(handle).template As<T>();
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}
// Makes the handle stale and hands the object back for closing; empty when the handle is not
// live. The object is destroyed when the last reference goes.
KernelRef<KernelObject> UnregisterHandle(HANDLE handle);
// The same for a handle whose object is a T only: another kind of handle stays open.
KernelRef<KernelObject> UnregisterHandleIf(HANDLE handle,
                                           bool (*accept)(const KernelObject& object));
template <typename T>
KernelRef<T> UnregisterHandleAs(HANDLE handle) {
  return UnregisterHandleIf(
             handle, [](const KernelObject& o) { return dynamic_cast<const T*>(&o) != nullptr; })
      .template As<T>();
}

// Sets the last error from errno (or from a given errno value) and returns FALSE.
BOOL FailWithErrno(int err);
BOOL Fail(DWORD code);

// Byte length of the code page 936 character starting at s[i] (1, 2 or 4 for the GB18030
// four-byte form); never runs past the end.
std::size_t CharLength(const std::string& s, std::size_t i);

// A Windows path made absolute and normalised without touching the disk:
// drive letter upper case, "\" separators, "." and ".." resolved.
struct FullPath {
  char drive = 'C';
  std::vector<std::string> parts;  // ANSI components below the drive root
  bool trailingSeparator = false;
  std::string Text() const;
};
std::optional<FullPath> MakeFullPath(const std::string& path);

// The outcome of mapping a Windows path onto the host.
enum class Lookup {
  kFound,          // every component exists; host is the existing object
  kLastMissing,    // the folder exists, the last component does not; host names it
  kFolderMissing,  // some folder on the way does not exist
  kBadName,        // drive unknown or a name the host cannot carry (last error set)
};
struct Resolved {
  Lookup lookup = Lookup::kBadName;
  DWORD error = ERROR_SUCCESS;  // what a failed lookup reports
  std::string host;             // host path (for kFolderMissing: best effort, exact case)
  std::string windows;
  bool isRoot = false;  // the path is a drive root
};
// Maps a Windows path to the host, matching missing components without case. With kExactCase
// the last component is taken as spelt: a file being created must not land on another file
// whose name differs only in case.
enum class LastName { kAnyCase, kExactCase };
Resolved Resolve(const std::string& windowsPath, LastName lastName = LastName::kAnyCase);
// Sets the lookup's error (file or path not found, invalid name, ...) and returns FALSE.
BOOL FailLookup(const Resolved& r);

// The drive table for a mount list in /proc/self/mounts form: C: is "/", volumes mounted
// under /media, /run/media and /mnt get D: onwards. `letters` (host root -> letter) keeps a
// volume's letter while it stays mounted; it is updated.
std::vector<DriveMapping> DrivesFromMounts(const std::string& text,
                                           std::map<std::string, char>& letters);

// Tells the drive table's listeners (AddDriveTableListener) that it may have changed.
void DriveTableChanged();

// The host root of a drive letter, or nullopt when the letter is not in the table.
std::optional<DriveMapping> FindDrive(char letter);

// Windows attributes of a host object from its stat data and its name.
DWORD AttributesFrom(const struct stat& st, const std::string& hostName);

// Share bookkeeping (files.cpp): FALSE with ERROR_SHARING_VIOLATION when an open handle on
// the object does not allow it to be deleted or renamed.
bool MayDeleteOrRename(const struct stat& st);

// Files being created are unnamed inodes linked into place on commit where the file system
// allows; false makes them hidden named files, as on file systems without unnamed ones (tests).
void UseUnnamedTemporaryFiles(bool use);

// Windows FILETIME (100 ns since 1601) for a host time.
FILETIME FileTimeFrom(const struct timespec& ts);

// Is the path the process's current directory (which Windows holds open)?
bool IsCurrentDirectory(const std::string& windowsPath);

// Last component of a host path.
std::string HostBaseName(const std::string& hostPath);
std::string HostDirName(const std::string& hostPath);

}  // namespace win::detail
