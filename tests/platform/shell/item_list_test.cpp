#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/shell/item_list.h"

namespace {

using win::LPITEMIDLIST;

// A list of items with the given payloads, in the documented layout.
std::vector<unsigned char> ListBytes(const std::vector<std::string>& items) {
  std::vector<unsigned char> out;
  for (const std::string& payload : items) {
    const std::size_t cb = payload.size() + 2;
    out.push_back(static_cast<unsigned char>(cb & 0xFF));
    out.push_back(static_cast<unsigned char>(cb >> 8));
    out.insert(out.end(), payload.begin(), payload.end());
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

LPITEMIDLIST View(std::vector<unsigned char>& bytes) {
  return reinterpret_cast<LPITEMIDLIST>(bytes.data());
}

std::vector<unsigned char> Owned(LPITEMIDLIST list) {
  const auto* p = reinterpret_cast<const unsigned char*>(list);
  std::vector<unsigned char> out(p, p + win::ILGetSize(list));
  win::ILFree(list);
  return out;
}

TEST(ItemListTest, SizeCountAndLastItem) {
  struct Case {
    const char* why;
    std::vector<std::string> items;
    unsigned size;
    unsigned count;
    std::size_t lastOffset;
  };
  const Case cases[] = {
      {"the desktop: only the terminator", {}, 2, 0, 0},
      {"one item counts its own two bytes", {"abc"}, 7, 1, 0},
      {"three items", {"a", "bb", "ccc"}, 3 + 4 + 5 + 2, 3, 7},
      {"a long item (count above 255)", {std::string(300, 'x'), "y"}, 302 + 3 + 2, 2, 302},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::vector<unsigned char> bytes = ListBytes(c.items);
    EXPECT_EQ(win::ILGetSize(View(bytes)), c.size);
    EXPECT_EQ(win::ILGetCount(View(bytes)), c.count);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(win::ILFindLastID(View(bytes))) - bytes.data(),
              static_cast<std::ptrdiff_t>(c.lastOffset));
  }
  EXPECT_EQ(win::ILGetSize(nullptr), 0u);
  EXPECT_TRUE(win::ILIsEmpty(nullptr));
}

TEST(ItemListTest, CombineCopiesTheFirstWithoutItsTerminator) {
  struct Case {
    const char* why;
    std::vector<std::string> first, second, expected;
  };
  const Case cases[] = {
      {"two lists", {"a", "b"}, {"c"}, {"a", "b", "c"}},
      {"empty first: the second", {}, {"c", "d"}, {"c", "d"}},
      {"empty second: the first", {"a"}, {}, {"a"}},
      {"both empty: the desktop", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::vector<unsigned char> a = ListBytes(c.first);
    std::vector<unsigned char> b = ListBytes(c.second);
    EXPECT_EQ(Owned(win::ILCombine(View(a), View(b))), ListBytes(c.expected));
  }
  std::vector<unsigned char> a = ListBytes({"a"});
  EXPECT_EQ(Owned(win::ILCombine(nullptr, View(a))), a);
  EXPECT_EQ(Owned(win::ILCombine(View(a), nullptr)), a);
  EXPECT_EQ(win::ILCombine(nullptr, nullptr), nullptr);
}

TEST(ItemListTest, CloneFirstAndRemoveLast) {
  std::vector<unsigned char> three = ListBytes({"one", "two", "3"});
  EXPECT_EQ(Owned(win::ILClone(View(three))), three);
  EXPECT_EQ(Owned(win::ILCloneFirst(View(three))), ListBytes({"one"}));
  EXPECT_EQ(Owned(win::ILClone(win::ILGetNext(View(three)))), ListBytes({"two", "3"}));

  LPITEMIDLIST copy = win::ILClone(View(three));
  ASSERT_TRUE(win::ILRemoveLastID(copy));
  EXPECT_EQ(win::ILGetSize(copy), win::ILGetSize(View(three)) - 3);
  ASSERT_TRUE(win::ILRemoveLastID(copy));
  ASSERT_TRUE(win::ILRemoveLastID(copy));
  EXPECT_TRUE(win::ILIsEmpty(copy));
  EXPECT_FALSE(win::ILRemoveLastID(copy)) << "the desktop has no last item";
  win::ILFree(copy);
}

TEST(ItemListTest, AMalformedCountEndsTheList) {
  // A count of 1 cannot hold itself: reading stops there instead of running past the bytes.
  std::vector<unsigned char> bytes = {4, 0, 'a', 'b', 1, 0, 0, 0};
  EXPECT_EQ(win::ILGetCount(View(bytes)), 1u);
  EXPECT_EQ(win::ILGetSize(View(bytes)), 6u);
  EXPECT_EQ(Owned(win::ILClone(View(bytes))), ListBytes({"ab"}));
}

TEST(TaskAllocatorTest, ComInitialisationIsCountedPerThread) {
  EXPECT_EQ(win::CoInitialize(nullptr), win::S_OK);
  EXPECT_EQ(win::CoInitialize(nullptr), win::S_FALSE);
  win::CoUninitialize();
  win::CoUninitialize();
  EXPECT_EQ(win::CoInitialize(nullptr), win::S_OK);
  win::CoUninitialize();
  void* block = win::CoTaskMemAlloc(0);
  EXPECT_NE(block, nullptr);
  win::CoTaskMemFree(block);
  win::CoTaskMemFree(nullptr);
}

}  // namespace
