// Files made to cost time or memory, and unusual ones that used to give the wrong picture: the
// scan limit, the one memory budget of a decode, the messages that name what was refused, and
// four-component data without Adobe's marker. The regression files under fuzz/regressions/jpeg/
// are the inputs that once took minutes, gigabytes or came out black; every case here must be
// refused (or decoded) at once, whatever the picture claims.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/jpeg_codec.h"
#include "imaging/jpeg_image.h"
#include "runtime/exceptions.h"
#include "tests/imaging/jpeg_test_support.h"

namespace {

using namespace jpegtest;

// Restores the memory limit a test changed.
struct LimitScope {
  explicit LimitScope(std::int64_t bytes) { jpeg::SetMemoryLimit(bytes); }
  ~LimitScope() { jpeg::SetMemoryLimit(0); }
};

// The class and message of whatever f raises.
template <typename F>
std::string FailureOf(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  }
  return "(no exception)";
}

// --- Scans ----------------------------------------------------------------------------------

TEST(JpegScans, LimitIsReachedWhileTheDataIsRead) {
  ScratchDir dir;
  const Bytes base = Cjpeg(dir, PhotoLike(16, 16), "-quality 90 -grayscale -progressive");
  const std::string refused = "EJPEG: JPEG image has too many scans (more than 100)";
  struct {
    int scans;
    bool showScans;
    bool accepted;
  } cases[] = {
      // At the limit the file still decodes, scan by scan too; one more and it is refused.
      {jpeg::kMaxScans, false, true},
      {jpeg::kMaxScans, true, true},
      {jpeg::kMaxScans + 1, false, false},
      {jpeg::kMaxScans + 1, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.scans << " scans, scan by scan " << c.showScans);
    const Bytes file = WithScans(base, c.scans);
    ASSERT_EQ(ScanCount(file), c.scans);
    TJPEGSettings settings;
    settings.ShowScans = c.showScans;
    if (c.accepted) {
      // The repeated refinements change nothing the reference decoder would not.
      const Decoded ours = Decode(file, settings);
      if (!c.showScans) {
        // Gray output is quantized to 236 levels.
        EXPECT_TRUE(SamePixels(Djpeg(dir, file, "-dct float -colors 236", true), ours.pixels));
      }
    } else {
      EXPECT_EQ(FailureOf([&] { Decode(file, settings); }), refused);
    }
  }
}

// --- One budget for the picture and the library ---------------------------------------------

TEST(JpegMemory, PictureAndLibraryShareOneBudget) {
  // A progressive 4:2:0 file of 512 x 512: the picture takes 3 bytes a pixel and the library's
  // coefficients as much again (2 bytes a pixel of luminance, 2 x 1/2 of chroma). Each fits
  // this budget alone; both at once do not.
  ScratchDir dir;
  const Bytes small = Cjpeg(dir, PhotoLike(16, 16), "-quality 90 -progressive");
  const Bytes progressive = WithClaimedSize(small, 512, 512);
  const Bytes baseline = WithClaimedSize(Cjpeg(dir, PhotoLike(16, 16), "-quality 90"), 512, 512);
  const std::int64_t picture = 512 * 512 * 3;
  struct {
    const char* name;
    const Bytes& file;
    std::int64_t limit;
    bool fits;
  } cases[] = {
      {"ProgressiveOverBoth", progressive, picture * 6 / 5, false},
      {"ProgressiveWithRoomForBoth", progressive, picture * 9 / 4, true},
      // Without whole-image buffers the same budget is enough.
      {"BaselineSameBudget", baseline, picture * 6 / 5, true},
  };
  for (const auto& c : cases) {
    LimitScope limit(c.limit);
    const std::string failure = FailureOf([&] { Decode(c.file); });
    EXPECT_EQ(failure, c.fits ? "(no exception)"
                              : "EOutOfMemory: JPEG image is too large (512 x 512 pixels)")
        << c.name;
  }
}

// --- Regression files -----------------------------------------------------------------------

class JpegRegression : public ::testing::Test {
 protected:
  void TearDown() override { jpeg::SetMemoryLimit(0); }
  ScratchDir dir;
};

TEST_F(JpegRegression, HostileFilesAreRefusedAtOnceWithTheirReason) {
  struct {
    const char* file;
    std::int64_t limit;  // 0: the default
    int width;
    int height;
    const char* failure;
  } cases[] = {
      // 1000 scans over a 16 x 16 picture: each one a repeated DC refinement (the library only
      // warns), as the forged file that took 50 s and 1.3 GB repeated them 5010 times over a
      // large picture.
      {"scan_bomb_1000_scans_16x16.jpg", 0, 16, 16,
       "EJPEG: JPEG image has too many scans (more than 100)"},
      // 606 bytes claiming 26000 x 26000 at 4:2:0, progressive. With the largest budget, the
      // picture (2.03 GB) and the coefficients (2.03 GB) each fit it, so the budget has to be
      // one: two budgets let the decode reach 4 GB.
      {"claims_26000x26000_420_progressive.jpg", std::numeric_limits<std::int32_t>::max(), 26000,
       26000, "EOutOfMemory: JPEG image is too large (26000 x 26000 pixels)"},
      // 707 bytes claiming more than a budget can ever hold.
      {"claims_64250x64250.jpg", 0, 64250, 64250,
       "EOutOfMemory: JPEG image is too large (64250 x 64250 pixels)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    jpeg::SetMemoryLimit(c.limit);
    const Bytes bytes = RegressionFile(c.file);
    ASSERT_LT(bytes.size(), 12000u);
    TJPEGImage image;
    auto stream = StreamOf(bytes);
    image.ReadFromStream(*stream);  // the header alone is fine
    EXPECT_EQ(image.Width(), c.width);
    EXPECT_EQ(image.Height(), c.height);
    EXPECT_EQ(FailureOf([&] { image.ObtainBitmap(); }), c.failure);
    // Loaded bytes are kept whatever the decode made of them.
    TMemoryStream saved;
    image.WriteToStream(saved);
    EXPECT_EQ(BytesOf(saved), bytes);
  }
  EXPECT_GT(ScanCount(RegressionFile("scan_bomb_1000_scans_16x16.jpg")), jpeg::kMaxScans);
}

// A CMYK photo whose Adobe marker was stripped: its inks are stored inverted like every Adobe
// file's. Taken as plain inks it came out nearly black.
TEST_F(JpegRegression, CmykWithoutAdobeMarkerDecodesLikeDjpeg) {
  const Bytes bytes = RegressionFile("cmyk_without_adobe_marker_64x48.jpg");
  TJPEGImage image;
  auto stream = StreamOf(bytes);
  image.ReadFromStream(*stream);
  TBitmap& bitmap = image.ObtainBitmap();
  ASSERT_EQ(bitmap.ColorDepth(), TColorDepth::Depth24);
  ASSERT_EQ(bitmap.Width(), 64);
  ASSERT_EQ(bitmap.Height(), 48);
  Pixels ours{64, 48, 3, Bytes(64 * 48 * 3)};
  for (int y = 0; y < 48; ++y) std::copy_n(bitmap.RowPointer(y), ours.Step(), ours.Row(y));
  const Pixels reference = Djpeg(dir, bytes, "-dct float");
  EXPECT_TRUE(SamePixels(reference, ours));
  // The photo is a lit one, not the near-black of inks read the wrong way round.
  double sum = 0;
  for (std::uint8_t v : ours.data) sum += v;
  EXPECT_GT(sum / static_cast<double>(ours.data.size()), 80.0);
}

}  // namespace
