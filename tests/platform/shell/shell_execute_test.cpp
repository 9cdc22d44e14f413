#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/shell/shell.h"

namespace {

std::intptr_t Code(win::HINSTANCE h) {
  return reinterpret_cast<std::intptr_t>(h);
}

class ShellExecuteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::SetShellOpenHandler([this](const std::string& target) {
      opened.push_back(target);
      return answer;
    });
  }
  void TearDown() override { win::SetShellOpenHandler(nullptr); }

  std::vector<std::string> opened;
  bool answer = true;
};

TEST_F(ShellExecuteTest, OpensThroughTheHandlerInUtf8) {
  // "欢迎" in code page 936, then an address.
  const std::string ansi = "\xBB\xB6\xD3\xAD:http://www.suotu.example";
  EXPECT_GT(
      Code(win::ShellExecuteA(nullptr, "Open", ansi.c_str(), nullptr, nullptr, win::SW_SHOWNORMAL)),
      32);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "\xE6\xAC\xA2\xE8\xBF\x8E:http://www.suotu.example");
}

TEST_F(ShellExecuteTest, FailuresAreReportedAsSuch) {
  struct Case {
    const char* why;
    const char* verb;
    const char* file;
    bool answer;
    std::intptr_t want;
    bool reachesHandler;
  } cases[] = {
      {"the handler could not open it", "open", "http://x.example", false, win::SE_ERR_NOASSOC,
       true},
      {"no verb means open", nullptr, "http://x.example", true, 42, true},
      {"another verb", "print", "http://x.example", true, win::SE_ERR_NOASSOC, false},
      {"no target", "open", "", true, win::SE_ERR_FNF, false},
      {"null target", "open", nullptr, true, win::SE_ERR_FNF, false},
      {"a target that looks like an option", "open", "--help", true, win::SE_ERR_NOASSOC, false},
  };
  for (const auto& c : cases) {
    opened.clear();
    answer = c.answer;
    const std::intptr_t got =
        Code(win::ShellExecuteA(nullptr, c.verb, c.file, nullptr, nullptr, win::SW_SHOWNORMAL));
    if (c.want > 32)
      EXPECT_GT(got, 32) << c.why;
    else
      EXPECT_EQ(got, c.want) << c.why;
    EXPECT_EQ(opened.size(), c.reachesHandler ? 1u : 0u) << c.why;
  }
}

}  // namespace
