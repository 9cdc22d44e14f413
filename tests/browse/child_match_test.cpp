#include "browse/child_match.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "tests/support/scratch_folder.h"

namespace {

// Matching over a real folder's lists, so the comparison is the shell's own.
class ChildMatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::SetDriveTable({{'C', scratch.Host(), win::DRIVE_FIXED}});
    win::IShellFolder* desktop = nullptr;
    win::SHGetDesktopFolder(&desktop);
    win::LPITEMIDLIST root = win::ILCreateFromPathA("C:\\");
    desktop->BindToObject(root, nullptr, &folder);
    win::ILFree(root);
    desktop->Release();
  }
  void TearDown() override {
    for (win::LPITEMIDLIST l : owned) win::ILFree(l);
    folder->Release();
    win::SetDriveTable({});
  }
  std::vector<win::LPCITEMIDLIST> Lists(const std::vector<std::string>& names) {
    std::vector<win::LPCITEMIDLIST> out;
    for (const std::string& name : names) {
      std::filesystem::create_directories(scratch.HostOf(name));
      win::LPITEMIDLIST full = win::ILCreateFromPathA(("C:\\" + name).c_str());
      owned.push_back(full);
      out.push_back(win::ILFindLastID(full));
    }
    return out;
  }
  test_support::ScratchFolder scratch{"suotu-match"};
  win::IShellFolder* folder = nullptr;
  std::vector<win::LPITEMIDLIST> owned;
};

TEST_F(ChildMatchTest, DeletionsAndInsertions) {
  struct Case {
    const char* why;
    std::vector<std::string> existing, fresh;
    std::vector<std::size_t> gone, added;
  };
  const Case cases[] = {
      {"nothing changed, any order",
       {"b", "a", "img10", "img2"},
       {"img2", "a", "img10", "b"},
       {},
       {}},
      {"one removed", {"a", "b", "c"}, {"a", "c"}, {1}, {}},
      {"two added", {"b"}, {"a", "b", "c"}, {}, {0, 2}},
      {"renamed: a deletion plus an insertion", {"old", "x"}, {"x", "new"}, {0}, {1}},
      {"all gone", {"a", "b"}, {}, {0, 1}, {}},
      {"first fill", {}, {"a", "b"}, {}, {0, 1}},
      {"case differs: another item", {"Photos"}, {"photos"}, {0}, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const TChildMatch m = MatchChildren(folder, Lists(c.existing), Lists(c.fresh));
    EXPECT_EQ(m.gone, c.gone);
    EXPECT_EQ(m.added, c.added);
  }
}

}  // namespace
