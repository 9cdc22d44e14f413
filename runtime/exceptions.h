// The failures of the system. Every failure is an exception derived from Exception and
// carries its message text (code page 936 bytes); the failure display shows that text.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "runtime/ansi_string.h"

class Exception : public std::exception {
 public:
  explicit Exception(AnsiString message) : message_(std::move(message)) {}
  const AnsiString& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  // The class name as the failure display and the tests see it.
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  AnsiString message_;
};

#define SUOTU_DECLARE_EXCEPTION(Name, Base)                           \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* ClassName() const noexcept override { return #Name; } \
  }

// The silent abort: ends a command without any message.
class EAbort : public Exception {
 public:
  EAbort();
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EAbort"; }
};

SUOTU_DECLARE_EXCEPTION(EConvertError, Exception);
SUOTU_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
SUOTU_DECLARE_EXCEPTION(EJPEG, EInvalidGraphic);
SUOTU_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
SUOTU_DECLARE_EXCEPTION(EStreamError, Exception);
SUOTU_DECLARE_EXCEPTION(EFCreateError, EStreamError);
SUOTU_DECLARE_EXCEPTION(EFOpenError, EStreamError);
SUOTU_DECLARE_EXCEPTION(EReadError, EStreamError);
SUOTU_DECLARE_EXCEPTION(EWriteError, EStreamError);
SUOTU_DECLARE_EXCEPTION(EOutOfResources, Exception);
SUOTU_DECLARE_EXCEPTION(EInvalidOperation, Exception);

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory();
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EOutOfMemory"; }
};

// A failed system call, with the Windows error number.
class EOSError : public Exception {
 public:
  EOSError(AnsiString message, std::uint32_t errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  std::uint32_t ErrorCode() const noexcept { return errorCode_; }
  const char* ClassName() const noexcept override { return "EOSError"; }

 private:
  std::uint32_t errorCode_;
};

#undef SUOTU_DECLARE_EXCEPTION

// The system's text for a Windows error number ("" when it has none).
AnsiString SysErrorMessage(std::uint32_t errorCode);

// Raises EOSError for the last error of the platform (or for errorCode):
// "System Error.  Code: %d.\r\n%s".
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseOSError(std::uint32_t errorCode);

// Raises EOutOfResources with the system's text for the last error, or
// "Out of system resources" when the system gives none.
[[noreturn]] void RaiseOutOfResources();
