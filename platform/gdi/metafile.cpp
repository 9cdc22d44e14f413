#include "platform/gdi/metafile.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace win {

struct HENHMETAFILE__ {
  std::vector<BYTE> bits;
};
struct HMETAFILE__ {
  std::vector<BYTE> bits;
};

namespace {

constexpr DWORD kErrorInvalidData = 13;  // ERROR_INVALID_DATA
constexpr UINT kWmfHeaderSize = 18;

// Live handles, so a stale or foreign handle fails like it does on Windows instead of
// being dereferenced.
std::mutex& LiveLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_set<const void*>& Live() {
  static std::unordered_set<const void*> live;
  return live;
}

template <typename Handle>
Handle Register(Handle handle) {
  std::lock_guard guard(LiveLock());
  Live().insert(handle);
  return handle;
}

template <typename Handle>
bool IsLive(Handle handle) {
  std::lock_guard guard(LiveLock());
  return handle != nullptr && Live().count(handle) != 0;
}

template <typename Handle>
bool Unregister(Handle handle) {
  std::lock_guard guard(LiveLock());
  return handle != nullptr && Live().erase(handle) != 0;
}

std::uint32_t ReadU32(const BYTE* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
std::uint16_t ReadU16(const BYTE* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// The length of the enhanced metafile at data, or 0 when its header is not one.
UINT EnhMetaFileLength(UINT size, const BYTE* data) {
  if (data == nullptr || size < sizeof(ENHMETAHEADER)) return 0;
  ENHMETAHEADER header;
  std::memcpy(&header, data, sizeof header);
  if (header.iType != EMR_HEADER || header.dSignature != ENHMETA_SIGNATURE) return 0;
  if (header.nSize < sizeof(ENHMETAHEADER) || header.nSize > header.nBytes) return 0;
  if (header.nBytes > size || header.nBytes % 4 != 0) return 0;
  return header.nBytes;
}

// The length of the Windows metafile at data (its header counts 16-bit words), or 0.
UINT MetaFileLength(UINT size, const BYTE* data) {
  if (data == nullptr || size < kWmfHeaderSize) return 0;
  const std::uint16_t type = ReadU16(data);
  const std::uint16_t headerWords = ReadU16(data + 2);
  const std::uint64_t bytes = std::uint64_t{ReadU32(data + 6)} * 2;
  if ((type != 1 && type != 2) || headerWords != kWmfHeaderSize / 2) return 0;
  if (bytes < kWmfHeaderSize || bytes > size) return 0;
  return static_cast<UINT>(bytes);
}

}  // namespace

HENHMETAFILE SetEnhMetaFileBits(UINT size, const BYTE* data) {
  const UINT length = EnhMetaFileLength(size, data);
  if (length == 0) {
    SetLastError(kErrorInvalidData);
    return nullptr;
  }
  auto* metafile = new HENHMETAFILE__{std::vector<BYTE>(data, data + length)};
  return Register(metafile);
}

// The bits of either kind of metafile: their size when buffer is null, else copied into a
// buffer that must hold them all.
template <typename Handle>
UINT CopyMetafileBits(Handle metafile, UINT size, void* buffer) {
  if (!IsLive(metafile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const UINT length = static_cast<UINT>(metafile->bits.size());
  if (buffer == nullptr) return length;
  if (size < length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::memcpy(buffer, metafile->bits.data(), length);
  return length;
}

UINT GetEnhMetaFileBits(HENHMETAFILE metafile, UINT size, BYTE* buffer) {
  return CopyMetafileBits(metafile, size, buffer);
}

UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header) {
  if (!IsLive(metafile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const UINT recordSize = ReadU32(metafile->bits.data() + 4);
  if (header == nullptr) return recordSize;
  const UINT count = std::min<UINT>({size, recordSize, UINT{sizeof(ENHMETAHEADER)}});
  std::memcpy(header, metafile->bits.data(), count);
  return count;
}

HENHMETAFILE CopyEnhMetaFileA(HENHMETAFILE metafile, LPCSTR fileName) {
  if (!IsLive(metafile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (fileName != nullptr) {
    HANDLE file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD written = 0;
    const auto length = static_cast<DWORD>(metafile->bits.size());
    if (!WriteFile(file, metafile->bits.data(), length, &written, nullptr) || written != length) {
      const DWORD error = GetLastError();
      DiscardFile(file);
      SetLastError(error);
      return nullptr;
    }
    if (!CloseHandle(file)) return nullptr;
  }
  return Register(new HENHMETAFILE__{metafile->bits});
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) {
  if (!Unregister(metafile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete metafile;
  return TRUE;
}

HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data) {
  const UINT length = MetaFileLength(size, data);
  if (length == 0) {
    SetLastError(kErrorInvalidData);
    return nullptr;
  }
  return Register(new HMETAFILE__{std::vector<BYTE>(data, data + length)});
}

UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT size, void* buffer) {
  return CopyMetafileBits(metafile, size, buffer);
}

BOOL DeleteMetaFile(HMETAFILE metafile) {
  if (!Unregister(metafile)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete metafile;
  return TRUE;
}

}  // namespace win
