#include "widgets/incremental_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "widgets/list_hints.h"

namespace {

// A list that records what the search does to it.
class FakeList : public TSearchList {
 public:
  std::vector<AnsiString> items{"apple.jpg", "Apricot.jpg", "banana.jpg", "bx.jpg"};
  bool multi = true;
  bool extended = true;
  int itemIndex = 2;
  std::vector<int> selected{2};
  std::string log;  // B beep, C click, K<key> key press, S<n> select found, I<n> item index

  int FindPrefix(const AnsiString& prefix) override {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i].size() < prefix.size()) continue;
      if (std::equal(prefix.begin(), prefix.end(), items[i].begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
          }))
        return int(i);
    }
    return -1;
  }
  bool MultiSelect() const override { return multi; }
  bool ExtendedSelect() const override { return extended; }
  void SelectFound(int index) override {
    log += "S" + std::to_string(index);
    if (multi) {
      std::erase(selected, itemIndex);
      selected.push_back(index);
    }
    itemIndex = index;
  }
  void SetItemIndex(int index) override {
    log += "I" + std::to_string(index);
    itemIndex = index;
  }
  void Beep() override { log += "B"; }
  void RaiseClick() override { log += "C"; }
  void RaiseKeyPress(char& key) override { log += std::string("K") + key; }
};

// Keys typed 100 ms apart; '~' makes the next gap exactly 1.5 s, '-' one millisecond less;
// '<' is Backspace, '!' Escape, '|' Enter.
struct Case {
  const char* why;
  const char* typed;
  const char* log;
  const char* text;  // search text at the end
  int itemIndex;
};

TEST(IncrementalSearchTest, TypedKeys) {
  const Case cases[] = {
      {"first letters select without a click", "ap", "S0KaS0Kp", "ap", 0},
      {"case does not matter", "APR", "S0KAS0KPS1KR", "APR", 1},
      {"a letter that matches nothing beeps and keeps the text", "bz", "S2KbB", "b", 2},
      {"1.5 s after the last key a new search starts", "b~a", "S2KbS0Ka", "a", 0},
      {"and a key that only extended the old text now fails", "b~x", "S2KbB", "", 2},
      {"just under 1.5 s the search goes on", "b-x", "S2KbS3Kx", "bx", 3},
      {"Backspace drops a character and searches again", "ba<", "S2KbS2KaS2", "b", 2},
      {"Backspace of the last character selects item 0 and clicks", "b<", "S2KbI0CK\b", "", 0},
      {"Backspace on nothing beeps and searches with no text", "<", "BS0", "", 0},
      {"Escape clears the item index", "!", "I-1", "", -1},
      {"Enter is passed on", "|", "K\r", "", 2},
  };
  for (const auto& c : cases) {
    FakeList list;
    TIncrementalSearch search(list);
    win::DWORD now = 1000;
    for (const char* p = c.typed; *p; ++p) {
      if (*p == '~' || *p == '-') {
        now += *p == '~' ? 1400 : 1399;
        continue;
      }
      const char key = *p == '<' ? '\b' : *p == '!' ? '\x1b' : *p == '|' ? '\r' : *p;
      EXPECT_TRUE(search.KeyPress(key, now)) << c.why;
      now += 100;
    }
    EXPECT_EQ(list.log, c.log) << c.why;
    EXPECT_EQ(search.SearchText(now - 100), c.text) << c.why;
    EXPECT_EQ(list.itemIndex, c.itemIndex) << c.why;
  }
}

TEST(IncrementalSearchTest, MultiSelectMovesTheSelection) {
  FakeList list;
  TIncrementalSearch search(list);
  search.KeyPress('a', 0);
  EXPECT_EQ(list.selected, std::vector<int>{0});
  EXPECT_EQ(list.itemIndex, 0);
}

TEST(IncrementalSearchTest, SpacesAndControlCharacters) {
  FakeList list;
  list.items = {"a b", "a c"};
  TIncrementalSearch search(list);
  EXPECT_TRUE(search.KeyPress('a', 0));
  EXPECT_TRUE(search.KeyPress(' ', 10)) << "extended selection: a space is searched";
  EXPECT_TRUE(search.KeyPress('c', 20));
  EXPECT_EQ(list.itemIndex, 1);
  EXPECT_FALSE(search.KeyPress('\x01', 30)) << "other control characters go to the list";

  list.extended = false;  // plain multi-select: Space toggles, not searched
  EXPECT_FALSE(search.KeyPress(' ', 40));
  list.multi = false;  // single-select: searched again
  EXPECT_TRUE(search.KeyPress(' ', 50));
}

TEST(IncrementalSearchTest, WithoutBeeps) {
  FakeList list;
  TIncrementalSearch search(list);
  search.SetBeepOnInvalidKey(false);
  search.KeyPress('z', 0);
  search.KeyPress('\b', 10);
  EXPECT_EQ(list.log.find('B'), std::string::npos);
}

TEST(IncrementalSearchTest, NavigationAndMouseClearTheText) {
  const std::uint16_t clearing[] = {27, 33, 34, 35, 36, 37, 38, 39, 40};
  for (std::uint16_t vk : clearing) {
    FakeList list;
    TIncrementalSearch search(list);
    search.KeyPress('b', 0);
    search.KeyDown(vk);
    EXPECT_EQ(search.SearchText(1), "") << vk;
  }
  const std::uint16_t keeping[] = {13, 32, 45, 46, 65};
  for (std::uint16_t vk : keeping) {
    FakeList list;
    TIncrementalSearch search(list);
    search.KeyPress('b', 0);
    search.KeyDown(vk);
    EXPECT_EQ(search.SearchText(1), "b") << vk;
  }
  FakeList list;
  TIncrementalSearch search(list);
  search.KeyPress('b', 0);
  search.MouseDown();
  EXPECT_EQ(search.SearchText(1), "");
}

TEST(IncrementalSearchTest, TheResetDelaySurvivesTickWraparound) {
  FakeList list;
  TIncrementalSearch search(list);
  search.KeyPress('b', 0xFFFFFF00u);
  EXPECT_EQ(search.SearchText(0xFFFFFF00u + 1499), "b");
  EXPECT_EQ(search.SearchText(0xFFFFFF00u + 1500), "");
}

TEST(ListHintsTest, HintDecisionsAndPlacement) {
  EXPECT_FALSE(ItemHintNeeded(167, 169));
  EXPECT_TRUE(ItemHintNeeded(168, 169));
  const win::RECT r = ItemHintRect({100, 200, 269, 213}, {300, 19});
  EXPECT_EQ(r.left, 99);
  EXPECT_EQ(r.top, 200 + (13 - 19) / 2 - 2);
  EXPECT_EQ(r.right, 399);
  EXPECT_EQ(r.bottom, r.top + 19);
  EXPECT_EQ(ExpandTabs("a\tb"), "a        b");
}

TEST(ListHintsTest, LinkTargets) {
  const struct {
    const char* url;
    const char* caption;
    const char* want;
  } cases[] = {
      {"", "  welcome: http://x.example ", "welcome: http://x.example"},
      {" http://u.example\t", "caption", "http://u.example"},
      {"   ", "caption", "caption"},
      {" ", " ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LinkTarget(c.url, c.caption), c.want) << c.url;
}

}  // namespace
