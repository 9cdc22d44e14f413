// Byte streams: the abstract TStream, the growable TMemoryStream and TFileStream over the
// platform's files.
#pragma once

#include <cstdint>

#include "platform/kernel/kernel.h"
#include "runtime/ansi_string.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  // Writes up to count bytes; returns how many were taken.
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual std::int64_t Size();
  virtual void SetSize(std::int64_t size) = 0;

  // Exactly count bytes or EReadError "Stream read error".
  void ReadBuffer(void* buffer, std::int32_t count);
  // Exactly count bytes or EWriteError "Stream write error".
  void WriteBuffer(const void* buffer, std::int32_t count);
  // Copies count bytes from source's current position (count 0: all of source, from 0).
  std::int64_t CopyFrom(TStream& source, std::int64_t count);

 protected:
  TStream() = default;
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return size_; }
  // Growth that cannot be met raises EOutOfMemory "Out of memory while expanding memory
  // stream"; the stream is unchanged then.
  void SetSize(std::int64_t size) override;

  void Clear();
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  const std::uint8_t* Memory() const { return memory_; }
  std::uint8_t* Memory() { return memory_; }

 private:
  void SetCapacity(std::int64_t capacity);

  std::uint8_t* memory_ = nullptr;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
  std::int64_t capacity_ = 0;
};

// Open modes: one access mode, optionally or-ed with one share mode; or fmCreate.
constexpr std::uint16_t fmOpenRead = 0x0000;
constexpr std::uint16_t fmOpenWrite = 0x0001;
constexpr std::uint16_t fmOpenReadWrite = 0x0002;
constexpr std::uint16_t fmShareCompat = 0x0000;
constexpr std::uint16_t fmShareExclusive = 0x0010;
constexpr std::uint16_t fmShareDenyWrite = 0x0020;
constexpr std::uint16_t fmShareDenyRead = 0x0030;
constexpr std::uint16_t fmShareDenyNone = 0x0040;
constexpr std::uint16_t fmCreate = 0xFFFF;

// A file as a stream. Opening an existing file that cannot be opened raises EFOpenError
// "Cannot open file "%s". %s"; creating one that cannot be created raises EFCreateError
// "Cannot create file "%s". %s" (full path, the system's text).
//
// A stream made with fmCreate writes into a temporary file beside the target: Commit() puts it
// in place of the target; a stream destroyed without Commit() (a failed save) leaves the
// target as it was and no temporary file behind.
class TFileStream : public TStream {
 public:
  TFileStream(const AnsiString& fileName, std::uint16_t mode);
  ~TFileStream() override;

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;

  // Finishes a created file: raises EWriteError when it cannot be put in place. For a stream
  // opened on an existing file it just closes it.
  void Commit();
  const AnsiString& FileName() const { return fileName_; }

 private:
  AnsiString fileName_;
  win::HANDLE handle_ = win::INVALID_HANDLE_VALUE;
  bool creating_ = false;
};
