// Pictures decoded ahead on the helper thread are taken only when they are exactly what the
// JPEG object would decode itself, and never more than a few are held.
#include "thumbs/decode_ahead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "tests/imaging/bitmap_test_support.h"
#include "tests/imaging/jpeg_test_support.h"
#include "tests/support/scratch_folder.h"

namespace {

using jpegtest::Bytes;
using test_support::ScratchFolder;

class DecodeAheadTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterJpegFormats(); }
  static void TearDownTestSuite() { UnregisterJpegFormats(); }

  AnsiString Write(const std::string& name, const Bytes& bytes) {
    jpegtest::WriteFile(folder_.HostOf(name), bytes);
    return folder_.Win(name);
  }
  static Bytes Photo(int width, int height, bool progressive = false, bool gray = false) {
    jpeg::EncodeParameters parameters;
    parameters.progressive = progressive;
    parameters.gray = gray;
    return jpegtest::Encode(jpegtest::PhotoLike(width, height), parameters);
  }

  // What the file's JPEG object shows, loaded and decoded here: pixels, depth, row step.
  struct Shown {
    std::vector<bitmap_test::Rgb> pixels;
    TColorDepth depth;
    int width;
    int height;
    std::int32_t step;
  };
  static Shown Show(const AnsiString& path, std::uint8_t reduceShift = 0) {
    TPicture picture;
    picture.ReadFromFile(path);
    auto& jpeg = dynamic_cast<TJPEGImage&>(*picture.Graphic());
    jpeg.SetReduceShift(reduceShift);
    TBitmap& bitmap = jpeg.ObtainBitmap();
    return {bitmap_test::Read24(bitmap), bitmap.ColorDepth(), bitmap.Width(), bitmap.Height(),
            bitmap.RowStep()};
  }
  static void ExpectSame(const Shown& expected, const Shown& actual) {
    EXPECT_EQ(actual.width, expected.width);
    EXPECT_EQ(actual.height, expected.height);
    EXPECT_EQ(actual.depth, expected.depth);
    EXPECT_EQ(actual.step, expected.step);
    EXPECT_TRUE(actual.pixels == expected.pixels);
  }

  ScratchFolder folder_{"suotu-ahead"};
};

TEST_F(DecodeAheadTest, APictureDecodedAheadIsTheOneTheObjectWouldDecode) {
  const struct {
    const char* why;
    Bytes bytes;
    int taken;  // 0: left to the GUI thread
  } cases[] = {
      {"baseline", Photo(301, 203), 1},
      {"progressive", Photo(160, 120, true), 1},
      {"turned a quarter by its EXIF block", jpegtest::WithExifOrientation(Photo(90, 40), 6), 1},
      {"gray: 8-bit output needs the GUI thread's palette", Photo(64, 48, false, true), 0},
  };
  const AnsiString first = Write("first.jpg", Photo(32, 32));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const AnsiString path = Write("p.jpg", c.bytes);
    const Shown expected = Show(path);
    DecodeAhead ahead({first, path});
    ahead.WaitForHelper();
    ahead.Expect(1);
    const Shown shown = Show(path);
    EXPECT_EQ(ahead.PicturesTaken(), c.taken);
    ExpectSame(expected, shown);
  }
}

TEST_F(DecodeAheadTest, OtherBytesOrOtherSettingsAreDecodedByTheObjectItself) {
  const AnsiString first = Write("first.jpg", Photo(32, 32));
  const AnsiString path = Write("p.jpg", Photo(120, 80));
  {
    DecodeAhead ahead({first, path});
    ahead.WaitForHelper();
    // Replaced after it was read ahead, as an earlier thumbnail of the run replaces its name.
    Write("p.jpg", Photo(60, 100, true));
    ahead.Expect(1);
    const Shown shown = Show(path);
    EXPECT_EQ(ahead.PicturesTaken(), 0);
    EXPECT_EQ(shown.width, 60);
  }
  const Shown halfSize = Show(path, 1);
  DecodeAhead ahead({first, path});
  ahead.WaitForHelper();
  ahead.Expect(1);
  ExpectSame(halfSize, Show(path, 1));
  EXPECT_EQ(ahead.PicturesTaken(), 0);
  // The picture ahead still serves the object at the settings it was made for.
  ExpectSame(Show(path), Show(path));
  EXPECT_EQ(ahead.PicturesTaken(), 1);
}

TEST_F(DecodeAheadTest, OnlyAFewPicturesAreHeldAndNoneAfterTheRun) {
  std::vector<AnsiString> paths;
  for (int i = 0; i < 8; ++i) paths.push_back(Write(std::to_string(i) + ".jpg", Photo(40, 30)));
  paths.push_back(folder_.Win("missing.jpg"));
  {
    DecodeAhead ahead(paths);
    ahead.WaitForHelper();
    EXPECT_EQ(ahead.Held(), DecodeAhead::kMaxHeld);
    // Going past pictures frees them; the helper then goes on to the later files.
    ahead.Expect(6);
    ahead.WaitForHelper();
    EXPECT_EQ(ahead.Held(), 1);  // 7.jpg decoded, the missing file not
  }
  // The object decodes itself once the run is over.
  TPicture picture;
  picture.ReadFromFile(paths[7]);
  EXPECT_EQ(dynamic_cast<TJPEGImage&>(*picture.Graphic()).ObtainBitmap().Width(), 40);
}

}  // namespace
