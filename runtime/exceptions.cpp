#include "runtime/exceptions.h"

#include "platform/kernel/kernel.h"
#include "runtime/strings.h"

EAbort::EAbort() : Exception(strings::kOperationAborted) {}

EOutOfMemory::EOutOfMemory() : Exception(strings::kOutOfMemory) {}

AnsiString SysErrorMessage(std::uint32_t errorCode) {
  return win::SystemErrorText(errorCode);
}

void RaiseOSError(std::uint32_t errorCode) {
  if (errorCode == 0) throw EOSError(strings::kUnkOSError, 0);
  throw EOSError(
      Format(strings::kOSError, static_cast<int>(errorCode), SysErrorMessage(errorCode).c_str()),
      errorCode);
}

void RaiseLastOSError() {
  RaiseOSError(win::GetLastError());
}

void RaiseOutOfResources() {
  AnsiString text = SysErrorMessage(win::GetLastError());
  if (text.empty()) text = strings::kOutOfResources;
  throw EOutOfResources(text);
}
