// The one kind of handle table behind every handle the platform hands out: kernel objects,
// global memory, metafiles, GDI objects, windows and menus.
//
// A handle is a slot index plus the slot's generation, never an address. A slot gets a new
// generation each time it is reused, so a handle that outlived its object is refused, however
// many objects were made since, instead of naming whatever took its place. The table owns its
// objects.
//
// Threads: every call locks the table, so handles may be made, looked up and removed from any
// thread. What a lookup returns decides how long the object stays usable:
//  - Pin() returns a Ref that keeps the object alive while it is held; Remove() makes the
//    handle stale at once, and the object is destroyed when its last Ref goes. Tables whose
//    objects other threads use (kernel objects, global memory, metafiles, windows) look up
//    this way.
//  - Get() returns a plain pointer, for objects that only one thread ever uses and deletes
//    (GDI objects belong to the GUI thread).
// Objects are destroyed outside the table's lock, so a destructor may remove other handles.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace win::detail {

// What a handle names. The kind is part of the handle's value and each kind belongs to one
// table, so a handle of one kind passed where another is expected is refused.
enum class HandleKind : std::uint8_t {
  kKernelObject = 1,
  kGlobalMemory,
  kEnhMetafile,
  kMetafile,
  kWindow,
  kGdiBitmap,
  kGdiBrush,
  kGdiPen,
  kGdiPalette,
  kGdiFont,
  kGdiRegion,
  kGdiDc,
  kMenu,
  kTest,  // for tables the tests make
};

// A handle's value fits 32 bits (it survives a round trip through a DWORD or a 32-bit
// message parameter): bits 0-15 slot index, 16-27 generation, 28-31 kind. Kind 0 is never
// used, so no handle is 0, and neither is kind 15, so no handle is 0xFFFFFFFF.
struct HandleValue {
  static constexpr unsigned kIndexBits = 16;
  static constexpr unsigned kGenerationBits = 12;
  static constexpr std::uint32_t kMaxSlots = std::uint32_t{1} << kIndexBits;
  static constexpr std::uint32_t kLastGeneration = (std::uint32_t{1} << kGenerationBits) - 1;

  HandleKind kind{};
  std::uint32_t index = 0;
  std::uint32_t generation = 0;

  void* Encode() const;
  // nullopt for a value no table could have made (0, wider than 32 bits, an unused kind).
  static std::optional<HandleValue> Decode(const void* handle);
};

template <typename T>
class HandleTable {
 public:
  struct Limits {
    std::uint32_t maxSlots = HandleValue::kMaxSlots;
    // A freed slot is reused only once this many wait, so a slot's generations last longer
    // and a stale handle stays stale for longer than the next few objects.
    std::uint32_t reuseAfter = 1024;
  };

  // Access to an object that keeps it alive while held (move-only).
  template <typename U>
  class Ref {
   public:
    Ref() = default;
    Ref(Ref&& other) noexcept
        : table_(std::exchange(other.table_, nullptr)),
          index_(other.index_),
          object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
      if (this != &other) {
        Reset();
        table_ = std::exchange(other.table_, nullptr);
        index_ = other.index_;
        object_ = std::exchange(other.object_, nullptr);
      }
      return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Reset(); }

    U* get() const { return object_; }
    U* operator->() const { return object_; }
    U& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    friend bool operator==(const Ref& ref, std::nullptr_t) { return ref.object_ == nullptr; }

    // The same pin seen as a V; empty (and the pin let go) when the object is not one.
    template <typename V>
    Ref<V> As() && {
      V* object = dynamic_cast<V*>(object_);
      if (object == nullptr) {
        Reset();
        return {};
      }
      object_ = nullptr;
      return Ref<V>(std::exchange(table_, nullptr), index_, object);
    }

    void Reset() {
      if (table_ != nullptr) std::exchange(table_, nullptr)->Unpin(index_);
      object_ = nullptr;
    }

   private:
    friend class HandleTable;
    template <typename>
    friend class Ref;
    Ref(HandleTable* table, std::uint32_t index, U* object)
        : table_(table), index_(index), object_(object) {}

    HandleTable* table_ = nullptr;
    std::uint32_t index_ = 0;
    U* object_ = nullptr;
  };

  HandleTable() = default;
  explicit HandleTable(Limits limits) : limits_(limits) {}
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  // The new handle, or nullptr (the object destroyed) when every slot is taken or spent.
  void* Add(std::unique_ptr<T> object, HandleKind kind) {
    if (object == nullptr) return nullptr;
    std::unique_ptr<T> refused;
    {
      std::lock_guard lock(mutex_);
      const std::optional<std::uint32_t> index = TakeSlot();
      if (index) {
        Slot& slot = slots_[*index];
        slot.object = std::move(object);
        slot.kind = kind;
        slot.live = true;
        ++live_;
        return HandleValue{kind, *index, slot.generation}.Encode();
      }
      refused = std::move(object);
    }
    return nullptr;  // `refused` is destroyed here, outside the lock
  }

  // The live object, or nullptr. The caller must know no other thread removes it meanwhile.
  T* Get(const void* handle) const {
    std::lock_guard lock(mutex_);
    const std::optional<std::uint32_t> index = LiveIndex(handle, std::nullopt);
    return index ? slots_[*index].object.get() : nullptr;
  }
  T* Get(const void* handle, HandleKind kind) const {
    std::lock_guard lock(mutex_);
    const std::optional<std::uint32_t> index = LiveIndex(handle, kind);
    return index ? slots_[*index].object.get() : nullptr;
  }

  // The live object, kept alive while the Ref is held; empty when the handle is not live.
  Ref<T> Pin(const void* handle) { return PinLive(handle, std::nullopt); }
  Ref<T> Pin(const void* handle, HandleKind kind) { return PinLive(handle, kind); }

  // Makes the handle stale at once. The object is handed back pinned, so the caller can still
  // finish with it (close it, report its result); it is destroyed when the last Ref goes.
  // Empty when the handle is not live (or not of the kind, or refused by `accept`).
  Ref<T> Remove(const void* handle) {
    return RemoveIf(handle, std::nullopt, [](const T&) { return true; });
  }
  Ref<T> Remove(const void* handle, HandleKind kind) {
    return RemoveIf(handle, kind, [](const T&) { return true; });
  }
  template <typename Accept>
  Ref<T> RemoveIf(const void* handle, std::optional<HandleKind> kind, Accept&& accept) {
    std::lock_guard lock(mutex_);
    const std::optional<std::uint32_t> index = LiveIndex(handle, kind);
    if (!index) return {};
    Slot& slot = slots_[*index];
    if (!accept(std::as_const(*slot.object))) return {};
    slot.live = false;
    --live_;
    ++slot.pins;
    return Ref<T>(this, *index, slot.object.get());
  }

  // Live handles (removed objects still pinned are not counted).
  std::size_t Count() const {
    std::lock_guard lock(mutex_);
    return live_;
  }

 private:
  struct Slot {
    std::unique_ptr<T> object;
    std::uint32_t generation = 0;
    HandleKind kind{};
    bool live = false;
    int pins = 0;
  };

  std::optional<std::uint32_t> LiveIndex(const void* handle, std::optional<HandleKind> kind) const {
    const std::optional<HandleValue> value = HandleValue::Decode(handle);
    if (!value || (kind && value->kind != *kind) || value->index >= slots_.size()) {
      return std::nullopt;
    }
    const Slot& slot = slots_[value->index];
    if (!slot.live || slot.generation != value->generation || slot.kind != value->kind) {
      return std::nullopt;
    }
    return value->index;
  }

  // A slot for a new object, with a generation no handle has had.
  std::optional<std::uint32_t> TakeSlot() {
    const std::uint32_t maxSlots = std::min(limits_.maxSlots, HandleValue::kMaxSlots);
    const bool full = slots_.size() >= maxSlots;
    if (!free_.empty() && (full || free_.size() > limits_.reuseAfter)) {
      const std::uint32_t index = free_.front();
      free_.pop_front();
      ++slots_[index].generation;
      return index;
    }
    if (full) return std::nullopt;
    slots_.emplace_back();
    return static_cast<std::uint32_t>(slots_.size() - 1);
  }

  Ref<T> PinLive(const void* handle, std::optional<HandleKind> kind) {
    std::lock_guard lock(mutex_);
    const std::optional<std::uint32_t> index = LiveIndex(handle, kind);
    if (!index) return {};
    Slot& slot = slots_[*index];
    ++slot.pins;
    return Ref<T>(this, *index, slot.object.get());
  }

  void Unpin(std::uint32_t index) {
    std::unique_ptr<T> doomed;
    {
      std::lock_guard lock(mutex_);
      Slot& slot = slots_[index];
      if (--slot.pins > 0 || slot.live) return;
      doomed = std::move(slot.object);
      // A slot whose generations are spent is retired, so no (index, generation) repeats.
      if (slot.generation < HandleValue::kLastGeneration) free_.push_back(index);
    }
  }

  mutable std::mutex mutex_;
  std::vector<Slot> slots_;
  std::deque<std::uint32_t> free_;
  std::size_t live_ = 0;
  Limits limits_;
};

}  // namespace win::detail
