// The shared test support: a fault here would make other suites pass for the wrong reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/area_average.h"
#include "tests/support/case_name.h"
#include "tests/support/failure_message.h"
#include "tests/support/scratch_folder.h"

namespace {

using test_support::CaseName;
using test_support::SpelledName;

TEST(CaseNames, WordsBecomeOneName) {
  const struct {
    const char* text;
    const char* name;
  } cases[] = {
      {"dot-dot removes the folder before it", "DotDotRemovesTheFolderBeforeIt"},
      {"0x5C trail byte is literal", "0x5CTrailByteIsLiteral"},
      {"GBK double-byte", "GBKDoubleByte"},
      {"create-new over an existing file", "CreateNewOverAnExistingFile"},
      {"缩图 and ASCII", "AndASCII"},
      {"", "Case"},
      {"---", "Case"},
  };
  for (const auto& c : cases) EXPECT_EQ(CaseName(c.text), c.name) << c.text;
}

TEST(CaseNames, SpelledTextsStayApart) {
  // Texts that differ only in case, spaces or signs must not share a name.
  const char* const texts[] = {"$C8", "$c8", "0x10",  "0X10", "-0x10", "0x-1", " 150", "150",
                               "",    " ",   "\t200", "200 ", "   +7", "-",    "$",    "x$10",
                               "1e3", "12G", "a.b",   "a,b",  "a_b",   "ab",   "\x01", "\x02"};
  std::set<std::string> names;
  for (const char* text : texts) {
    const std::string name = SpelledName(text);
    EXPECT_TRUE(names.insert(name).second) << "'" << text << "' gives " << name << " again";
    for (const char c : name) {
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << name << " from '" << text << "'";
    }
  }
  EXPECT_EQ(SpelledName("$c8"), "Dollarc8");
  EXPECT_EQ(SpelledName(""), "Empty");
}

TEST(ScratchFolders, AreTheirOwnAndLeaveNothingBehind) {
  std::string kept;
  {
    const test_support::ScratchFolder a("suotu-support");
    const test_support::ScratchFolder b("suotu-support");
    EXPECT_NE(a.Host(), b.Host());
    kept = a.Host();
    std::filesystem::create_directory(a.HostOf("locked"));
    a.Write("locked/photo.jpg", "bytes");
    // Read-only file and folder: the clean-up must still get through.
    chmod(a.HostOf("locked/photo.jpg").c_str(), 0400);
    chmod(a.HostOf("locked").c_str(), 0500);
    EXPECT_EQ(a.Read("locked/photo.jpg"), "bytes");
    EXPECT_TRUE(a.Exists("locked"));
    EXPECT_FALSE(a.Exists("missing"));
    EXPECT_EQ(a.Names(), std::vector<std::string>{"locked"});
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(ScratchFolders, WindowsNamesAreInTheAnsiCodePage) {
  const test_support::ScratchFolder folder("suotu-support");
  std::string expected = "C:" + folder.Host() + "\\photo\xCB\xF5\xCD\xBC.jpg";  // 缩图 in GBK
  for (char& c : expected) {
    if (c == '/') c = '\\';
  }
  EXPECT_EQ(folder.Win("photo缩图.jpg"), expected);
  EXPECT_EQ(folder.Win(), expected.substr(0, expected.rfind('\\')));
  EXPECT_THROW(folder.Write("no-such-folder/x", "bytes"), std::runtime_error);
}

TEST(FailureMessages, AreTheRaisedExceptionsOwn) {
  struct Raised {
    std::string text;
    const std::string& Message() const { return text; }
  };
  EXPECT_EQ(test_support::MessageOf<Raised>([] { throw Raised{"Invalid icon"}; }), "Invalid icon");
  EXPECT_EQ(test_support::MessageOf<Raised>([] {}), "(no exception)");
  EXPECT_THROW(test_support::MessageOf<Raised>([] { throw std::logic_error("other"); }),
               std::logic_error);
}

struct Gray {
  int r, g, b;
};

TEST(AreaAverageReference, WeighsByOverlapAndRoundsHalvesUp) {
  const int row[] = {0, 255, 10, 20, 30, 40};
  auto source = [&](int x, int) { return Gray{row[x], row[x], 3 * x}; };
  const struct {
    int w, W, dx, expected;
    const char* why;
  } cases[] = {
      {2, 1, 0, 128, "127.5 goes up"},
      {3, 2, 0, 85, "1.5 source pixels: (0 + 255 / 2) / 1.5"},
      {3, 2, 1, 92, "(255 / 2 + 10) / 1.5 = 91.67"},
      {6, 3, 2, 35, "a whole pair"},
      {2, 4, 3, 255, "an enlargement repeats the pixel"},
  };
  for (const auto& c : cases) {
    const Gray g = test_support::AreaAverage<Gray>(source, c.w, 1, c.W, 1, c.dx, 0);
    EXPECT_EQ(g.r, c.expected) << c.why;
  }
}

}  // namespace
