#include "platform/gdi/metafile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/kernel/handle_table.h"

namespace win {

namespace {

using detail::HandleKind;

struct MetafileBits {
  std::vector<BYTE> bits;
};

// Either kind of metafile; the kind in the handle keeps an HMETAFILE from being taken for an
// HENHMETAFILE. Each call pins the metafile it works on.
detail::HandleTable<MetafileBits>& Metafiles() {
  static auto* table = new detail::HandleTable<MetafileBits>;  // used until exit
  return *table;
}

template <typename Handle>
constexpr HandleKind KindOf() {
  return std::is_same_v<Handle, HENHMETAFILE> ? HandleKind::kEnhMetafile : HandleKind::kMetafile;
}

template <typename Handle>
Handle Register(std::vector<BYTE> bits) {
  void* handle = Metafiles().Add(std::make_unique<MetafileBits>(MetafileBits{std::move(bits)}),
                                 KindOf<Handle>());
  if (handle == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return static_cast<Handle>(handle);
}

template <typename Handle>
auto Find(Handle handle) {
  auto metafile = Metafiles().Pin(handle, KindOf<Handle>());
  if (!metafile) SetLastError(ERROR_INVALID_HANDLE);
  return metafile;
}

template <typename Handle>
BOOL Delete(Handle handle) {
  if (!Metafiles().Remove(handle, KindOf<Handle>())) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

constexpr DWORD kErrorInvalidData = 13;  // ERROR_INVALID_DATA
constexpr UINT kWmfHeaderSize = 18;

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
  return Register<HENHMETAFILE>(std::vector<BYTE>(data, data + length));
}

// The bits of either kind of metafile: their size when buffer is null, else copied into a
// buffer that must hold them all.
template <typename Handle>
UINT CopyMetafileBits(Handle handle, UINT size, void* buffer) {
  const auto metafile = Find(handle);
  if (!metafile) return 0;
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

UINT GetEnhMetaFileHeader(HENHMETAFILE handle, UINT size, ENHMETAHEADER* header) {
  const auto metafile = Find(handle);
  if (!metafile) return 0;
  const UINT recordSize = ReadU32(metafile->bits.data() + 4);
  if (header == nullptr) return recordSize;
  const UINT count = std::min<UINT>({size, recordSize, UINT{sizeof(ENHMETAHEADER)}});
  std::memcpy(header, metafile->bits.data(), count);
  return count;
}

HENHMETAFILE CopyEnhMetaFileA(HENHMETAFILE handle, LPCSTR fileName) {
  const auto metafile = Find(handle);
  if (!metafile) return nullptr;
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
  return Register<HENHMETAFILE>(metafile->bits);
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) {
  return Delete(metafile);
}

HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data) {
  const UINT length = MetaFileLength(size, data);
  if (length == 0) {
    SetLastError(kErrorInvalidData);
    return nullptr;
  }
  return Register<HMETAFILE>(std::vector<BYTE>(data, data + length));
}

UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT size, void* buffer) {
  return CopyMetafileBits(metafile, size, buffer);
}

BOOL DeleteMetaFile(HMETAFILE metafile) {
  return Delete(metafile);
}

}  // namespace win
