#include "ui_test_support.h"

namespace {

// The session lives from before the first test to after the last (one Qt application per
// process), and ends as the program would end it.
class SessionEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    session_ = std::make_unique<ApplicationSession>(argc, argv);
    Application->Initialize();
  }
  void TearDown() override { session_.reset(); }

 private:
  std::unique_ptr<ApplicationSession> session_;
};

[[maybe_unused]] ::testing::Environment* const kSession =
    ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

}  // namespace
