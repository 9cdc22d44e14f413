#include "platform/kernel/handle_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

namespace {

using win::detail::HandleKind;
using win::detail::HandleTable;
using win::detail::HandleValue;

// Counts its destructions, so the tests see exactly when the table lets an object go.
struct Probe {
  explicit Probe(int v, std::atomic<int>* destroyed = nullptr) : value(v), destroyed_(destroyed) {}
  virtual ~Probe() {
    if (destroyed_ != nullptr) ++*destroyed_;
  }
  int value;
  std::atomic<int>* destroyed_;
};
struct DerivedProbe : Probe {
  using Probe::Probe;
};

using Table = HandleTable<Probe>;

void* Value(std::uint32_t kind, std::uint32_t generation, std::uint32_t index) {
  return reinterpret_cast<void*>(std::uintptr_t{(kind << 28) | (generation << 16) | index});
}

TEST(HandleValue, RoundTripsAndStaysWithin32Bits) {
  const HandleValue value{HandleKind::kGdiDc, 0xFFFF, HandleValue::kLastGeneration};
  void* handle = value.Encode();
  EXPECT_LE(reinterpret_cast<std::uintptr_t>(handle), 0xFFFFFFFFu);
  const auto decoded = HandleValue::Decode(handle);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->kind, HandleKind::kGdiDc);
  EXPECT_EQ(decoded->index, 0xFFFFu);
  EXPECT_EQ(decoded->generation, HandleValue::kLastGeneration);
}

TEST(HandleValue, RefusesValuesNoTableMakes) {
  struct Case {
    const char* why;
    void* handle;
  };
  const Case cases[] = {
      {"null", nullptr},
      {"INVALID_HANDLE_VALUE", reinterpret_cast<void*>(~std::uintptr_t{0})},
      {"all ones in 32 bits", Value(15, 0xFFF, 0xFFFF)},
      {"kind 0", Value(0, 1, 1)},
      {"kind 15, past the last kind", Value(15, 0, 0)},
      {"bits above 32", reinterpret_cast<void*>((std::uintptr_t{1} << 40) | 0x10000001u)},
  };
  for (const Case& c : cases) EXPECT_FALSE(HandleValue::Decode(c.handle)) << c.why;
}

TEST(HandleTable, RefusesHandlesThatDoNotNameALiveObject) {
  Table table;
  void* live = table.Add(std::make_unique<Probe>(1), HandleKind::kTest);
  ASSERT_NE(live, nullptr);
  const HandleValue v = *HandleValue::Decode(live);
  struct Case {
    const char* why;
    void* handle;
  };
  const Case cases[] = {
      {"null", nullptr},
      {"other kind, same slot", HandleValue{HandleKind::kWindow, v.index, v.generation}.Encode()},
      {"next generation", HandleValue{v.kind, v.index, v.generation + 1}.Encode()},
      {"slot never used", HandleValue{v.kind, v.index + 1, v.generation}.Encode()},
      {"last slot", HandleValue{v.kind, 0xFFFF, 0}.Encode()},
      {"address of the object", table.Get(live)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(table.Get(c.handle), nullptr) << c.why;
    EXPECT_FALSE(table.Pin(c.handle)) << c.why;
    EXPECT_FALSE(table.Remove(c.handle)) << c.why;
  }
  EXPECT_EQ(table.Get(live, HandleKind::kWindow), nullptr) << "asked for another kind";
  ASSERT_NE(table.Get(live, HandleKind::kTest), nullptr) << "the refusals removed nothing";
  EXPECT_EQ(table.Get(live)->value, 1);
}

TEST(HandleTable, ReusedSlotRefusesTheOldHandle) {
  Table table(Table::Limits{1, 0});  // one slot, reused at once
  void* first = table.Add(std::make_unique<Probe>(1), HandleKind::kTest);
  ASSERT_TRUE(table.Remove(first));
  void* second = table.Add(std::make_unique<Probe>(2), HandleKind::kTest);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(HandleValue::Decode(second)->index, HandleValue::Decode(first)->index);
  EXPECT_EQ(table.Get(first), nullptr);
  EXPECT_FALSE(table.Remove(first)) << "a stale handle must not remove the new object";
  ASSERT_NE(table.Get(second), nullptr);
  EXPECT_EQ(table.Get(second)->value, 2);
}

TEST(HandleTable, FreedSlotsWaitBeforeReuse) {
  Table table(Table::Limits{HandleValue::kMaxSlots, 3});
  std::set<std::uint32_t> indexes;
  for (int i = 0; i < 4; ++i) {
    void* h = table.Add(std::make_unique<Probe>(i), HandleKind::kTest);
    indexes.insert(HandleValue::Decode(h)->index);
    table.Remove(h);
  }
  EXPECT_EQ(indexes.size(), 4u) << "three freed slots wait, so four handles use four slots";
  void* h = table.Add(std::make_unique<Probe>(9), HandleKind::kTest);
  EXPECT_EQ(HandleValue::Decode(h)->index, 0u) << "the oldest freed slot comes back first";
}

TEST(HandleTable, NoIndexAndGenerationPairIsHandedOutTwice) {
  std::atomic<int> destroyed = 0;
  Table table(Table::Limits{2, 0});
  std::set<void*> seen;
  int made = 0;
  for (;;) {
    void* h = table.Add(std::make_unique<Probe>(made, &destroyed), HandleKind::kTest);
    if (h == nullptr) break;
    ++made;
    ASSERT_TRUE(seen.insert(h).second) << "handle " << h << " repeated after " << made;
    ASSERT_TRUE(table.Remove(h));
  }
  // Every generation of both slots once, then the slots are retired.
  EXPECT_EQ(made, int(2 * (HandleValue::kLastGeneration + 1)));
  EXPECT_EQ(destroyed, made + 1) << "the refused object is destroyed too";
  EXPECT_EQ(table.Count(), 0u);
}

TEST(HandleTable, FullTableRefusesAndKeepsItsObjects) {
  Table table(Table::Limits{2, 0});
  void* a = table.Add(std::make_unique<Probe>(1), HandleKind::kTest);
  void* b = table.Add(std::make_unique<Probe>(2), HandleKind::kTest);
  EXPECT_EQ(table.Add(std::make_unique<Probe>(3), HandleKind::kTest), nullptr);
  EXPECT_EQ(table.Add(nullptr, HandleKind::kTest), nullptr);
  EXPECT_EQ(table.Count(), 2u);
  EXPECT_EQ(table.Get(a)->value, 1);
  EXPECT_EQ(table.Get(b)->value, 2);
}

TEST(HandleTable, PinnedObjectOutlivesItsRemoval) {
  std::atomic<int> destroyed = 0;
  Table table;
  void* h = table.Add(std::make_unique<Probe>(5, &destroyed), HandleKind::kTest);
  Table::Ref<Probe> pin = table.Pin(h);
  ASSERT_TRUE(pin);
  {
    Table::Ref<Probe> removed = table.Remove(h);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->value, 5) << "the remover may still finish with the object";
  }
  EXPECT_EQ(table.Get(h), nullptr) << "stale as soon as it is removed";
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_EQ(destroyed, 0) << "still pinned";
  EXPECT_EQ(pin->value, 5);
  Table::Ref<Probe> moved = std::move(pin);
  EXPECT_FALSE(pin);
  EXPECT_EQ(destroyed, 0);
  moved.Reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(HandleTable, ViewAsAnotherTypeKeepsOrDropsThePin) {
  std::atomic<int> destroyed = 0;
  Table table;
  void* plain = table.Add(std::make_unique<Probe>(1, &destroyed), HandleKind::kTest);
  void* derived = table.Add(std::make_unique<DerivedProbe>(2, &destroyed), HandleKind::kTest);

  Table::Ref<DerivedProbe> wrong = table.Pin(plain).As<DerivedProbe>();
  EXPECT_FALSE(wrong);
  table.Remove(plain);
  EXPECT_EQ(destroyed, 1) << "a failed view lets its pin go";

  Table::Ref<DerivedProbe> right = table.Pin(derived).As<DerivedProbe>();
  ASSERT_TRUE(right);
  table.Remove(derived);
  EXPECT_EQ(destroyed, 1) << "the view still pins";
  EXPECT_EQ(right->value, 2);
  right.Reset();
  EXPECT_EQ(destroyed, 2);
}

TEST(HandleTable, RemoveIfLeavesARefusedHandleLive) {
  Table table;
  void* h = table.Add(std::make_unique<Probe>(1), HandleKind::kTest);
  EXPECT_FALSE(table.RemoveIf(h, std::nullopt, [](const Probe& p) { return p.value == 2; }));
  EXPECT_NE(table.Get(h), nullptr);
  EXPECT_FALSE(table.RemoveIf(h, HandleKind::kWindow, [](const Probe&) { return true; }));
  EXPECT_TRUE(table.RemoveIf(h, HandleKind::kTest, [](const Probe& p) { return p.value == 1; }));
  EXPECT_EQ(table.Get(h), nullptr);
}

// An object whose destructor removes another handle of the same table (a DC letting go of a
// bitmap whose deletion was deferred): the table must not hold its lock while destroying.
Table* chainTable = nullptr;
struct Chain : Probe {
  Chain(int v, void* next) : Probe(v), next_(next) {}
  ~Chain() override { chainTable->Remove(next_); }
  void* next_;
};

TEST(HandleTable, DestructorMayRemoveOtherHandles) {
  std::atomic<int> destroyed = 0;
  Table table;
  chainTable = &table;
  void* last = table.Add(std::make_unique<Probe>(0, &destroyed), HandleKind::kTest);
  void* first = table.Add(std::make_unique<Chain>(1, last), HandleKind::kTest);
  EXPECT_TRUE(table.Remove(first));
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(table.Count(), 0u);
  chainTable = nullptr;
}

TEST(HandleTable, ThreadsAddPinAndRemoveConcurrently) {
  std::atomic<int> destroyed = 0;
  Table table(Table::Limits{64, 8});  // few slots, so slots are reused while others look
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  std::vector<void*> shared(kThreads, nullptr);
  std::atomic<int> made = 0;
  std::atomic<bool> wrongObject = false;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const int value = t * kRounds + i;
        void* h = table.Add(std::make_unique<Probe>(value, &destroyed), HandleKind::kTest);
        if (h == nullptr) continue;
        ++made;
        std::atomic_ref(shared[t]).store(h);
        // Look at a neighbour's newest handle: it is either live with its own value or gone.
        void* other = std::atomic_ref(shared[(t + 1) % kThreads]).load();
        if (Table::Ref<Probe> pin = table.Pin(other)) {
          if (pin->value / kRounds != (t + 1) % kThreads) wrongObject = true;
        }
        if (!table.Remove(h)) wrongObject = true;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(wrongObject);
  EXPECT_EQ(table.Count(), 0u);
  EXPECT_EQ(destroyed, made.load());
}

}  // namespace
