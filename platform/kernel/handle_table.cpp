#include "platform/kernel/handle_table.h"

namespace win::detail {

namespace {

constexpr unsigned kKindShift = HandleValue::kIndexBits + HandleValue::kGenerationBits;
static_assert(kKindShift + 4 == 32);
static_assert(static_cast<unsigned>(HandleKind::kTest) < 15);

}  // namespace

void* HandleValue::Encode() const {
  const std::uint32_t value = (std::uint32_t{static_cast<std::uint8_t>(kind)} << kKindShift) |
                              (generation << kIndexBits) | index;
  return reinterpret_cast<void*>(std::uintptr_t{value});
}

std::optional<HandleValue> HandleValue::Decode(const void* handle) {
  const auto raw = reinterpret_cast<std::uintptr_t>(handle);
  if (raw > 0xFFFFFFFFu) return std::nullopt;
  const auto value = static_cast<std::uint32_t>(raw);
  const std::uint32_t kind = value >> kKindShift;
  if (kind == 0 || kind > static_cast<std::uint32_t>(HandleKind::kTest)) return std::nullopt;
  HandleValue decoded;
  decoded.kind = static_cast<HandleKind>(kind);
  decoded.index = value & (kMaxSlots - 1);
  decoded.generation = (value >> kIndexBits) & kLastGeneration;
  return decoded;
}

}  // namespace win::detail
