// The message a failing call raises, so a table of cases can compare the exact text.
#pragma once

#include <string>

namespace test_support {

// The Message() of the E that f raises; "(no exception)" when it returns normally. Any other
// exception passes through and fails the test with its own text.
template <typename E, typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return std::string(e.Message());
  }
  return "(no exception)";
}

}  // namespace test_support
