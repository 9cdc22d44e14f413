// Last error, errno mapping and the system's error texts.
#include <cerrno>
#include <map>

#include "platform/kernel/internal.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/strings.h"

namespace win {

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}  // namespace

DWORD GetLastError() {
  return lastError;
}
void SetLastError(DWORD code) {
  lastError = code;
}

std::string SystemErrorText(DWORD code) {
  // Converted once; the table is fixed, so later lookups need no lock.
  static const std::map<DWORD, std::string> texts = [] {
    std::map<DWORD, std::string> m;
    for (const auto& entry : strings::kErrorTexts) {
      m.emplace(entry.code, Utf8ToAnsi(entry.text).value_or(std::string()));
    }
    return m;
  }();
  const auto it = texts.find(code);
  return it == texts.end() ? std::string() : it->second;
}

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case ENOMEDIUM:
    case ENODEV:
    case ENXIO:
      return ERROR_NOT_READY;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case ENOSYS:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case EILSEQ:
      return ERROR_NO_UNICODE_TRANSLATION;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EIO:
      return ERROR_IO_DEVICE;
    default:
      return ERROR_GEN_FAILURE;
  }
}

namespace detail {

BOOL FailWithErrno(int err) {
  SetLastError(ErrorFromErrno(err));
  return FALSE;
}

BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

}  // namespace detail

}  // namespace win
