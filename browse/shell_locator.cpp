#include "browse/shell_locator.h"

#include <cstring>

#include "platform/shell/shell_folder.h"

namespace {

constexpr std::uint8_t kSelectorList = 0;
constexpr std::uint8_t kSelectorSpecial = 1;

// Whether `size` bytes hold exactly one list: items that stay inside, then the terminator.
bool IsWholeList(const std::uint8_t* bytes, std::size_t size) {
  std::size_t at = 0;
  while (at + 2 <= size) {
    const std::size_t cb = bytes[at] | (std::size_t(bytes[at + 1]) << 8);
    if (cb == 0) return at + 2 == size;
    if (cb < 2 || cb > size - at) return false;
    at += cb;
  }
  return false;
}

}  // namespace

TRzShellLocator::~TRzShellLocator() {
  Clear();
}

void TRzShellLocator::Clear() {
  win::ILFree(list_);
  win::ILFree(resolved_);
  list_ = nullptr;
  resolved_ = nullptr;
  special_ = -1;
}

void TRzShellLocator::SetIdList(win::LPCITEMIDLIST list) {
  win::LPITEMIDLIST copy = win::ILClone(list);
  Clear();
  list_ = copy;
}

void TRzShellLocator::SetCSIDL(int folder) {
  Clear();
  special_ = folder;
}

win::LPCITEMIDLIST TRzShellLocator::IdList() {
  if (list_ != nullptr) return list_;
  if (resolved_ == nullptr) {
    if (special_ > 0) win::SHGetSpecialFolderLocation(nullptr, special_, &resolved_);
    if (resolved_ == nullptr) {
      resolved_ = static_cast<win::LPITEMIDLIST>(win::CoTaskMemAlloc(2));
      std::memset(resolved_, 0, 2);
    }
  }
  return resolved_;
}

std::vector<std::uint8_t> TRzShellLocator::StoredPidl() const {
  if (list_ == nullptr) {
    return {kSelectorSpecial, std::uint8_t(special_ < 0 ? 0 : special_)};
  }
  const win::UINT size = win::ILGetSize(list_);
  std::vector<std::uint8_t> out = {kSelectorList, std::uint8_t(size), std::uint8_t(size >> 8),
                                   std::uint8_t(size >> 16), std::uint8_t(size >> 24)};
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(list_);
  out.insert(out.end(), bytes, bytes + size);
  return out;
}

bool TRzShellLocator::ReadStoredPidl(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return false;
  if (bytes[0] == kSelectorSpecial) {
    if (bytes.size() != 2) return false;
    SetCSIDL(bytes[1]);
    return true;
  }
  if (bytes[0] != kSelectorList || bytes.size() < 5) return false;
  const std::size_t count = bytes[1] | (std::size_t(bytes[2]) << 8) |
                            (std::size_t(bytes[3]) << 16) | (std::size_t(bytes[4]) << 24);
  if (count != bytes.size() - 5) return false;
  if (count == 0) {
    SetCSIDL(win::CSIDL_DESKTOP);
    return true;
  }
  if (!IsWholeList(bytes.data() + 5, count)) return false;
  SetIdList(reinterpret_cast<win::LPCITEMIDLIST>(bytes.data() + 5));
  return true;
}
