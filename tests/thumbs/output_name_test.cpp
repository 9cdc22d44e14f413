#include "thumbs/output_name.h"

#include <gtest/gtest.h>
#include "tests/support/case_name.h"

namespace {

// "缩图" in code page 936, and a character whose second byte is "\" (0x5C).
const AnsiString kSuffix = "\xCB\xF5\xCD\xBC";
const AnsiString kTrail5C = "\xB1\x5C";

struct NameCase {
  const char* reason;
  AnsiString source;
  AnsiString folder;
  AnsiString output;
};

class ThumbnailNaming : public testing::TestWithParam<NameCase> {};

TEST_P(ThumbnailNaming, InsertsTheSuffixBeforeTheExtension) {
  const NameCase& c = GetParam();
  SCOPED_TRACE(c.reason);
  EXPECT_EQ(ThumbnailOutputPath(c.folder, c.source), c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ThumbnailNaming,
    testing::Values(
        NameCase{"plain", "C:\\p\\photo.jpg", "C:\\p", "C:\\p\\photo" + kSuffix + ".jpg"},
        NameCase{"last dot, case kept", "C:\\p\\a.b.JPG", "C:\\p", "C:\\p\\a.b" + kSuffix + ".JPG"},
        NameCase{"no extension", "C:\\p\\README", "C:\\p", "C:\\p\\README" + kSuffix},
        NameCase{"dot in folder only", "C:\\p.q\\README", "C:\\out", "C:\\out\\README" + kSuffix},
        NameCase{"drive root doubles the separator", "C:\\photo.jpg", "C:\\",
                 "C:\\\\photo" + kSuffix + ".jpg"},
        NameCase{"empty folder: the current drive's root", "C:\\p\\x.jpg", "",
                 "\\x" + kSuffix + ".jpg"},
        NameCase{"second byte 0x5C inside the name", "C:\\p\\" + kTrail5C + "a.jpg", "C:\\p",
                 "C:\\p\\" + kTrail5C + "a" + kSuffix + ".jpg"},
        NameCase{"name ends in a 0x5C second byte, no extension", "C:\\p\\" + kTrail5C, "C:\\p",
                 "C:\\p\\" + kTrail5C + kSuffix},
        NameCase{"a thumbnail's thumbnail", "C:\\p\\photo" + kSuffix + ".jpg", "C:\\p",
                 "C:\\p\\photo" + kSuffix + kSuffix + ".jpg"}),
    test_support::NameFrom<&NameCase::reason>{});

}  // namespace
