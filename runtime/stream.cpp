#include "runtime/stream.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "runtime/exceptions.h"
#include "runtime/strings.h"

// --- TStream ---------------------------------------------------------------------------------

std::int64_t TStream::Size() {
  const std::int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(strings::kReadError);
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(strings::kWriteError);
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const std::int64_t total = count;
  constexpr std::int32_t kBlock = 61440;
  auto buffer = std::make_unique<std::uint8_t[]>(kBlock);
  while (count > 0) {
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, kBlock));
    source.ReadBuffer(buffer.get(), n);
    WriteBuffer(buffer.get(), n);
    count -= n;
  }
  return total;
}

// --- TMemoryStream -----------------------------------------------------------------------------

namespace {
// A 32-bit program cannot hold more; streams larger than this are refused like a failed
// allocation.
constexpr std::int64_t kMaxMemoryStream = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMemoryDelta = 8192;
}  // namespace

TMemoryStream::~TMemoryStream() {
  std::free(memory_);
}

void TMemoryStream::SetCapacity(std::int64_t capacity) {
  if (capacity > 0 && capacity < kMaxMemoryStream)
    capacity = std::min((capacity + kMemoryDelta - 1) & ~(kMemoryDelta - 1), kMaxMemoryStream);
  if (capacity == capacity_) return;
  if (capacity == 0) {
    std::free(memory_);
    memory_ = nullptr;
    capacity_ = 0;
    return;
  }
  if (capacity < 0 || capacity > kMaxMemoryStream) throw EOutOfMemory(strings::kMemoryStreamError);
  void* grown = std::realloc(memory_, static_cast<std::size_t>(capacity));
  if (grown == nullptr) throw EOutOfMemory(strings::kMemoryStreamError);
  memory_ = static_cast<std::uint8_t*>(grown);
  capacity_ = capacity;
}

void TMemoryStream::SetSize(std::int64_t size) {
  if (size < 0) size = 0;
  SetCapacity(size);
  size_ = size;
  if (position_ > size_) position_ = size_;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  size_ = 0;
  position_ = 0;
}

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, size_ - position_));
  std::memcpy(buffer, memory_ + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0 || position_ < 0) return 0;
  const std::int64_t end = position_ + count;
  if (end > size_) {
    if (end > capacity_) SetCapacity(end);
    size_ = end;
  }
  std::memcpy(memory_ + position_, buffer, static_cast<std::size_t>(count));
  position_ = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning:
      position_ = offset;
      break;
    case TSeekOrigin::soCurrent:
      position_ += offset;
      break;
    case TSeekOrigin::soEnd:
      position_ = size_ + offset;
      break;
  }
  if (position_ < 0) position_ = 0;
  return position_;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const std::int64_t count = stream.Size();
  SetSize(count);
  if (count > 0) stream.ReadBuffer(memory_, static_cast<std::int32_t>(count));
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) {
  if (size_ > 0) stream.WriteBuffer(memory_, static_cast<std::int32_t>(size_));
}

// --- TFileStream -------------------------------------------------------------------------------

TFileStream::TFileStream(const AnsiString& fileName, std::uint16_t mode) : fileName_(fileName) {
  using namespace win;
  if (mode == fmCreate) {
    handle_ = CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      throw EFCreateError(Format(strings::kFCreateError, ExpandFileName(fileName).c_str(),
                                 SysErrorMessage(error).c_str()));
    }
    creating_ = true;
    return;
  }
  static constexpr DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
  static constexpr DWORD kShare[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE};
  const DWORD access = kAccess[std::min(mode & 3, 2)];
  const DWORD share = kShare[std::min((mode & 0xF0) >> 4, 4)];
  handle_ = CreateFileA(fileName.c_str(), access, share, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    throw EFOpenError(Format(strings::kFOpenError, ExpandFileName(fileName).c_str(),
                             SysErrorMessage(error).c_str()));
  }
}

TFileStream::~TFileStream() {
  if (handle_ == win::INVALID_HANDLE_VALUE) return;
  if (creating_) {
    win::DiscardFile(handle_);
  } else {
    win::CloseHandle(handle_);
  }
}

void TFileStream::Commit() {
  if (handle_ == win::INVALID_HANDLE_VALUE) return;
  const win::HANDLE handle = handle_;
  handle_ = win::INVALID_HANDLE_VALUE;
  if (!win::CloseHandle(handle) && creating_) throw EWriteError(strings::kWriteError);
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0 || handle_ == win::INVALID_HANDLE_VALUE) return 0;
  win::DWORD read = 0;
  if (!win::ReadFile(handle_, buffer, static_cast<win::DWORD>(count), &read, nullptr)) return 0;
  return static_cast<std::int32_t>(read);
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0 || handle_ == win::INVALID_HANDLE_VALUE) return 0;
  win::DWORD written = 0;
  if (!win::WriteFile(handle_, buffer, static_cast<win::DWORD>(count), &written, nullptr)) return 0;
  return static_cast<std::int32_t>(written);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  if (handle_ == win::INVALID_HANDLE_VALUE) return -1;
  static constexpr win::DWORD kMethod[] = {win::FILE_BEGIN, win::FILE_CURRENT, win::FILE_END};
  win::LONGLONG position = -1;
  if (!win::SetFilePointerEx(handle_, offset, &position, kMethod[static_cast<int>(origin)]))
    return -1;
  return position;
}

void TFileStream::SetSize(std::int64_t size) {
  Seek(size, TSeekOrigin::soBeginning);
  if (!win::SetEndOfFile(handle_)) RaiseLastOSError();
}
