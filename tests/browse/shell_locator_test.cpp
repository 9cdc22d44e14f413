#include "browse/shell_locator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/shell/shell_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The computer's list: its item (count 4, kind, tag), then the terminator.
const Bytes kList = {4, 0, 0x1F, 0x02, 0, 0};

TEST(ShellLocatorTest, StoredFormRoundTrips) {
  TRzShellLocator locator;
  EXPECT_FALSE(locator.IsSet());
  EXPECT_EQ(locator.StoredPidl(), (Bytes{1, 0})) << "unset: the desktop's number";

  locator.SetIdList(reinterpret_cast<win::LPCITEMIDLIST>(kList.data()));
  const Bytes stored = locator.StoredPidl();
  EXPECT_EQ(stored, (Bytes{0, 6, 0, 0, 0, 4, 0, 0x1F, 0x02, 0, 0}));
  TRzShellLocator back;
  ASSERT_TRUE(back.ReadStoredPidl(stored));
  EXPECT_EQ(Bytes(reinterpret_cast<const std::uint8_t*>(back.IdList()),
                  reinterpret_cast<const std::uint8_t*>(back.IdList()) + 6),
            kList);
  char path[win::MAX_PATH];
  EXPECT_FALSE(win::SHGetPathFromIDListA(back.IdList(), path)) << "the computer has no path";

  locator.SetCSIDL(win::CSIDL_DRIVES);
  EXPECT_EQ(locator.StoredPidl(), (Bytes{1, 0x11}));
  ASSERT_TRUE(back.ReadStoredPidl(locator.StoredPidl()));
  EXPECT_EQ(back.CSIDL(), win::CSIDL_DRIVES);
  EXPECT_EQ(win::ILGetCount(back.IdList()), 1u) << "the computer's item";
}

TEST(ShellLocatorTest, ReadingRefusesWhatIsNotAStoredForm) {
  struct Case {
    const char* why;
    Bytes bytes;
    bool ok;
    int csidl;  // after reading (-1: a list)
  };
  const Case cases[] = {
      {"a count of 0 is the desktop", {0, 0, 0, 0, 0}, true, win::CSIDL_DESKTOP},
      {"special folder number", {1, 0x05}, true, win::CSIDL_PERSONAL},
      {"a list", {0, 5, 0, 0, 0, 3, 0, 0x1F, 0, 0}, true, -1},
      {"empty", {}, false, 7},
      {"unknown selector", {2, 0}, false, 7},
      {"special without its number", {1}, false, 7},
      {"short count", {0, 5, 0}, false, 7},
      {"count beyond the bytes", {0, 9, 0, 0, 0, 3, 0, 0x1F, 0, 0}, false, 7},
      {"item running past the count", {0, 4, 0, 0, 0, 9, 0, 0, 0}, false, 7},
      {"no terminator", {0, 3, 0, 0, 0, 3, 0, 0x1F}, false, 7},
      {"bytes after the terminator", {0, 6, 0, 0, 0, 3, 0, 0x1F, 0, 0, 0}, false, 7},
      {"an item count of 1", {0, 4, 0, 0, 0, 1, 0, 0, 0}, false, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TRzShellLocator locator;
    locator.SetCSIDL(7);
    EXPECT_EQ(locator.ReadStoredPidl(c.bytes), c.ok);
    EXPECT_EQ(locator.CSIDL(), c.csidl) << "unchanged on failure";
  }
}

}  // namespace
