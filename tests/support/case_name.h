// Readable test names for parameterised suites, taken from each case's own words:
// "dot-dot removes the folder before it" gives DotDotRemovesTheFolderBeforeIt.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace test_support {

// Letters and digits of text, each word capitalised, the rest dropped; "Case" when nothing is
// left. Names must differ between the cases of a suite (the test framework refuses doubles).
std::string CaseName(std::string_view text);

// The text itself as a name, for cases that are short texts: letters and digits kept, every
// other character spelled out ("$c8" gives Dollarc8, " 150" Space150, "" Empty).
std::string SpelledName(std::string_view text);

// The generator for a suite whose cases are structs: names each test after one text member,
// e.g. INSTANTIATE_TEST_SUITE_P(Paths, FullPathName, Values(...), NameFrom<&FullPathCase::why>{}).
template <auto Member>
struct NameFrom {
  template <typename Param>
  std::string operator()(const testing::TestParamInfo<Param>& info) const {
    return CaseName(std::string_view(info.param.*Member));
  }
};

// The same for a text member named with SpelledName.
template <auto Member>
struct SpelledFrom {
  template <typename Param>
  std::string operator()(const testing::TestParamInfo<Param>& info) const {
    return SpelledName(std::string_view(info.param.*Member));
  }
};

}  // namespace test_support
