#include "runtime/ansi_string.h"

#include <gtest/gtest.h>

#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "tests/support/case_name.h"

namespace {

// "\xB1\x5C" is a double-byte character whose second byte is "\" (0x5C); "\x81\x3A" and
// "\x81\x2E"-like pairs cannot occur in code page 936 (second bytes start at 0x40), but a
// second byte equal to ":" or "." is still never a separator for the scanner, whatever it is.
const AnsiString kBackslashTrail = "\xB1\x5C";  // a character ending in 0x5C
const AnsiString kColonTrail = "\x81\x3A";
const AnsiString kDotTrail = "\x81\x2E";
// How the platform spells a host name's ":" and "\" (private-use characters, four bytes).
const AnsiString kColonStandIn = "\x83\x38\x9C\x35";
const AnsiString kBackslashStandIn = "\x83\x38\x9F\x39";

struct SplitCase {
  const char* reason;
  AnsiString path;
  AnsiString folder;  // ExtractFilePath
  AnsiString name;
  AnsiString ext;
};

class PathSplitting : public testing::TestWithParam<SplitCase> {};

TEST_P(PathSplitting, SplitsFolderNameAndExtension) {
  const SplitCase& c = GetParam();
  SCOPED_TRACE(c.reason);
  EXPECT_EQ(ExtractFilePath(c.path), c.folder);
  EXPECT_EQ(ExtractFileName(c.path), c.name);
  EXPECT_EQ(ExtractFileExt(c.path), c.ext);
  // Folder + name always rebuilds the path.
  EXPECT_EQ(ExtractFilePath(c.path) + ExtractFileName(c.path), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Ansi, PathSplitting,
    testing::Values(
        SplitCase{"plain", "C:\\photos\\photo.jpg", "C:\\photos\\", "photo.jpg", ".jpg"},
        SplitCase{"last dot wins", "C:\\a.b.JPG", "C:\\", "a.b.JPG", ".JPG"},
        SplitCase{"no extension", "C:\\photos\\README", "C:\\photos\\", "README", ""},
        SplitCase{"dot only in folder", "C:\\my.photos\\README", "C:\\my.photos\\", "README", ""},
        SplitCase{"drive root file", "C:\\x.jpg", "C:\\", "x.jpg", ".jpg"},
        SplitCase{"drive relative", "C:x.jpg", "C:", "x.jpg", ".jpg"},
        SplitCase{"no folder", "x.jpg", "", "x.jpg", ".jpg"}, SplitCase{"empty", "", "", "", ""},
        SplitCase{"trailing separator", "C:\\dir\\", "C:\\dir\\", "", ""},
        SplitCase{"double-byte name ending in 0x5C trail byte",
                  "C:\\d\\" + kBackslashTrail + ".jpg", "C:\\d\\", kBackslashTrail + ".jpg",
                  ".jpg"},
        SplitCase{"double-byte folder ending in 0x5C trail byte",
                  "C:\\" + kBackslashTrail + "\\a.jpg", "C:\\" + kBackslashTrail + "\\", "a.jpg",
                  ".jpg"},
        SplitCase{"host name with a colon", "C:\\d\\colon" + kColonStandIn + "x.jpg", "C:\\d\\",
                  "colon" + kColonStandIn + "x.jpg", ".jpg"},
        SplitCase{"host name with a backslash and a dot after it",
                  "C:\\d\\a" + kBackslashStandIn + ".b", "C:\\d\\", "a" + kBackslashStandIn + ".b",
                  ".b"},
        SplitCase{"0x5C trail byte without extension", "C:\\" + kBackslashTrail, "C:\\",
                  kBackslashTrail, ""},
        SplitCase{"colon trail byte is not a drive separator", "ab" + kColonTrail + "c.jpg", "",
                  "ab" + kColonTrail + "c.jpg", ".jpg"},
        SplitCase{"dot trail byte is not an extension", "C:\\x" + kDotTrail + "jpg", "C:\\",
                  "x" + kDotTrail + "jpg", ""}),
    test_support::NameFrom<&SplitCase::reason>{});

TEST(PathSplitting, StandInsAreThoseThePlatformGives) {
  EXPECT_EQ(win::HostNameToAnsi(":"), kColonStandIn);
  EXPECT_EQ(win::HostNameToAnsi("\\"), kBackslashStandIn);
}

TEST(PathSplitting, ExtractFileDirKeepsRootsOnly) {
  EXPECT_EQ(ExtractFileDir("C:\\photos\\a.jpg"), "C:\\photos");
  EXPECT_EQ(ExtractFileDir("C:\\a.jpg"), "C:\\");
  EXPECT_EQ(ExtractFileDir("\\a.jpg"), "\\");
  EXPECT_EQ(ExtractFileDir("C:\\" + kBackslashTrail + "\\a.jpg"), "C:\\" + kBackslashTrail);
}

TEST(PathSplitting, ChangeFileExtReplacesOnlyTheNamesExtension) {
  EXPECT_EQ(ChangeFileExt("C:\\a.b\\c", ".bmp"), "C:\\a.b\\c.bmp");
  EXPECT_EQ(ChangeFileExt("C:\\a\\c.jpg", ""), "C:\\a\\c");
  EXPECT_EQ(ExtractExtensionWithoutDot("photo.JPG"), "JPG");
  EXPECT_EQ(ExtractExtensionWithoutDot("C:\\a.b\\photo"), "");
}

TEST(CaseMapping, LeavesDoubleByteCharactersAlone) {
  // 0xC1 0x41 would change to 0xC1 0x61 if trail bytes were case-mapped.
  EXPECT_EQ(AnsiLowerCase("AB\xC1\x41Z"), "ab\xC1\x41z");
  EXPECT_EQ(AnsiUpperCase("ab\xC1\x61z"), "AB\xC1\x61Z");
}

struct IntCase {
  const char* text;
  std::optional<std::int32_t> value;
};

class IntegerParsing : public testing::TestWithParam<IntCase> {};

TEST_P(IntegerParsing, AcceptsOnlyWholeIntegers) {
  const IntCase& c = GetParam();
  EXPECT_EQ(TryStrToInt(c.text), c.value) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    WidthText, IntegerParsing,
    testing::Values(
        IntCase{"200", 200}, IntCase{" 150", 150}, IntCase{"   +7", 7}, IntCase{"-12", -12},
        IntCase{"$C8", 200}, IntCase{"$c8", 200}, IntCase{"0x10", 16}, IntCase{"x1F", 31},
        IntCase{"-0x10", -16}, IntCase{"X1f", 31}, IntCase{"-$10", -16}, IntCase{"0010", 10},
        IntCase{"2147483647", 2147483647},
        IntCase{"-2147483648", std::numeric_limits<std::int32_t>::min()},
        IntCase{"$7FFFFFFF", 2147483647},
        // Failures.
        IntCase{"200px", std::nullopt}, IntCase{"", std::nullopt}, IntCase{" ", std::nullopt},
        IntCase{"-", std::nullopt}, IntCase{"$", std::nullopt}, IntCase{"0x", std::nullopt},
        IntCase{"2147483648", std::nullopt}, IntCase{"-2147483649", std::nullopt},
        IntCase{"$80000000", std::nullopt}, IntCase{"99999999999999999999", std::nullopt},
        IntCase{"200 ", std::nullopt}, IntCase{"\t200", std::nullopt}, IntCase{"1e3", std::nullopt},
        IntCase{"abc", std::nullopt}, IntCase{"12G", std::nullopt}, IntCase{"$G", std::nullopt},
        // Hexadecimal prefixes other than "$", "x", "X" and "0x".
        IntCase{"0X10", std::nullopt}, IntCase{"0X", std::nullopt}, IntCase{"00x10", std::nullopt},
        IntCase{"$0x10", std::nullopt}, IntCase{"x$10", std::nullopt},
        IntCase{"0x-1", std::nullopt}, IntCase{"-x", std::nullopt}, IntCase{"0h10", std::nullopt}),
    test_support::SpelledFrom<&IntCase::text>{});

TEST(IntegerParsing, StrToIntRaisesTheIntegerMessage) {
  try {
    StrToInt("200px");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'200px' is not a valid integer value");
  }
  EXPECT_EQ(StrToInt("$C8"), 200);
}

TEST(ApplicationTitle, KeepsTheFirstCharacterAndLowersTheRest) {
  EXPECT_EQ(ApplicationTitleFrom("C:\\Program Files\\PROJECT1.EXE"), "Project1");
  EXPECT_EQ(ApplicationTitleFrom("C:\\x\\Suotu.Tool.exe"), "Suotu");
  EXPECT_EQ(ApplicationTitleFrom("C:\\x\\.hidden"), "");
  // A double-byte first character stays whole; ASCII after it is lowered, DBCS left alone.
  EXPECT_EQ(ApplicationTitleFrom("C:\\\xCB\xF5TU\xCD\xBC.EXE"), "\xCB\xF5tu\xCD\xBC");
}

TEST(FailureDisplay, AppendsAFullStopOnlyAfterBytesAboveTheDot) {
  struct Case {
    AnsiString text;
    AnsiString shown;
  } cases[] = {
      {"'abc' is not a valid integer value", "'abc' is not a valid integer value."},
      {"JPEG error #42", "JPEG error #42."},
      {"Ends with colon:", "Ends with colon:."},
      {"Question?", "Question?."},
      {"Already.", "Already."},
      {"Bang!", "Bang!"},
      {"(paren)", "(paren)"},
      {"blank ", "blank "},
      {"\xB2\xD9\xD7\xF7\xCD\xEA\xB3\xC9", "\xB2\xD9\xD7\xF7\xCD\xEA\xB3\xC9."},  // DBCS end
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FailureDisplayText(c.text), c.shown) << c.text;
}

TEST(Format, FormatsLikePrintf) {
  EXPECT_EQ(Format("JPEG error #%d", 53), "JPEG error #53");
  EXPECT_EQ(Format("Cannot assign a %s to a %s", "nil", "TBitmap"),
            "Cannot assign a nil to a TBitmap");
  EXPECT_EQ(Format("%s", ""), "");
}

}  // namespace
