#include "thumbs/stretch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "tests/imaging/bitmap_test_support.h"
#include "tests/support/area_average.h"

namespace {

using bitmap_test::Code;
using bitmap_test::kWhite;
using bitmap_test::MakeCoded24;
using bitmap_test::Read24;
using bitmap_test::Rgb;

struct SizeCase {
  std::int32_t w, h, n, expected;
  const char* why;
};

TEST(ThumbnailHeightTest, WorkedSizes) {
  const SizeCase cases[] = {
      {640, 480, 200, 150, "exact ratio"},
      {300, 200, 200, 133, "0.6666667 stored"},
      {480, 640, 200, 266, "portrait: taller than wide"},
      {1000, 700, 200, 139, "0.7 is stored just below 0.7"},
      {3, 1, 200, 66, "0.33333334 stored, truncated, not rounded"},
      {1000, 300, 200, 60, "0.30000001 stored"},
      {2000, 10, 200, 0, "0.005 is stored just below 0.005"},
      {2000, 11, 200, 1, "one row high"},
      {640, 480, 1, 0, "landscape at width 1"},
      {640, 480, 0, 0, "width 0"},
      {640, 480, -200, -150, "negative width passes through, truncated toward zero"},
      {3, 1, -200, -66, "truncation toward zero, not down"},
      {0, 480, 200, 0, "an empty picture has no rows"},
      {1, std::numeric_limits<std::int32_t>::max(), 2, std::numeric_limits<std::int32_t>::max(),
       "saturates beyond the 32-bit range"},
  };
  for (const SizeCase& c : cases)
    EXPECT_EQ(ThumbnailHeight(c.w, c.h, c.n), c.expected)
        << c.w << "x" << c.h << " at " << c.n << ": " << c.why;
}

// The area average of the coordinate-coded source.
Rgb AreaAverage(int w, int h, int W, int H, int dx, int dy) {
  return test_support::AreaAverage<Rgb>(Code, w, h, W, H, dx, dy);
}

std::uint8_t Widen(std::uint8_t v, int bits) {
  const int top = v >> (8 - bits);
  return std::uint8_t((top << (8 - bits)) | (top >> (2 * bits - 8)));
}

// What a 5-6-5 screen keeps of a colour, seen again in 24 bits.
Rgb Through565(Rgb c) {
  return Rgb{Widen(c.r, 5), Widen(c.g, 6), Widen(c.b, 5)};
}

struct StretchCase {
  int w, h, n;
};

// Reductions, enlargements and one-pixel sources and targets.
const StretchCase kStretchCases[] = {
    {37, 23, 10}, {64, 48, 20}, {13, 29, 7}, {5, 3, 12}, {3, 5, 8},     {40, 3, 20},
    {2, 9, 1},    {1, 7, 3},    {9, 1, 9},   {1, 1, 4},  {150, 9, 100}, {17, 17, 17},
};

class StretchWithFrameTest : public bitmap_test::ScreenDepthTest,
                             public ::testing::WithParamInterface<StretchCase> {
 protected:
  // Makes the thumbnail as the thumbnail maker does: width first, then height.
  void MakeThumbnail(TBitmap& target, std::int32_t frame) {
    const StretchCase c = GetParam();
    MakeCoded24(source_, c.w, c.h);
    target.SetWidth(c.n);
    target.SetHeight(ThumbnailHeight(c.w, c.h, c.n));
    StretchWithFrame(target, source_, frame);
  }
  TBitmap source_;
};

TEST_P(StretchWithFrameTest, OutermostPixelsAreWhiteAndTheRestIsTheAreaAverage) {
  const StretchCase c = GetParam();
  TBitmap target;
  MakeThumbnail(target, 16711680);
  const int W = target.Width();
  const int H = target.Height();
  ASSERT_GT(H, 0);
  EXPECT_EQ(target.StorageKind(), TBitmapStorageKind::DeviceDependent);
  const auto pixels = Read24(target);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const bool edge = x == 0 || y == 0 || x == W - 1 || y == H - 1;
      const Rgb expected = edge ? kWhite : AreaAverage(c.w, c.h, W, H, x, y);
      ASSERT_EQ(pixels[std::size_t(y * W + x)], expected) << x << "," << y;
    }
}

TEST_P(StretchWithFrameTest, NegativeFrameLeavesTheBorderToTheStretch) {
  const StretchCase c = GetParam();
  TBitmap target;
  MakeThumbnail(target, -1);
  const int W = target.Width();
  const int H = target.Height();
  ASSERT_GT(H, 0);
  const auto pixels = Read24(target);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      ASSERT_EQ(pixels[std::size_t(y * W + x)], AreaAverage(c.w, c.h, W, H, x, y)) << x << "," << y;
}

TEST_P(StretchWithFrameTest, SixteenBitScreenKeepsTruncated565Values) {
  win::SetScreenDepth(16);
  const StretchCase c = GetParam();
  TBitmap target;
  MakeThumbnail(target, 0);
  const int W = target.Width();
  const int H = target.Height();
  ASSERT_GT(H, 0);
  ASSERT_EQ(target.Image().Description().dsBm.bmBitsPixel, 16);
  const auto pixels = Read24(target);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const bool edge = x == 0 || y == 0 || x == W - 1 || y == H - 1;
      const Rgb expected = edge ? kWhite : Through565(AreaAverage(c.w, c.h, W, H, x, y));
      ASSERT_EQ(pixels[std::size_t(y * W + x)], expected) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, StretchWithFrameTest, ::testing::ValuesIn(kStretchCases),
                         [](const ::testing::TestParamInfo<StretchCase>& info) {
                           const StretchCase& c = info.param;
                           return std::to_string(c.w) + "x" + std::to_string(c.h) + "_at_" +
                                  std::to_string(c.n);
                         });

TEST(StretchWithFrameEdgeTest, FrameValueDoesNotColourTheFrame) {
  TBitmap source;
  MakeCoded24(source, 8, 8);
  for (std::int32_t frame : {0, 255, 16711680}) {
    TBitmap target;
    target.SetWidth(4);
    target.SetHeight(4);
    StretchWithFrame(target, source, frame);
    EXPECT_EQ(Read24(target)[0], kWhite) << frame;
  }
}

TEST(StretchWithFrameEdgeTest, ZeroSizeMakesNoPixelsAndRaisesNothing) {
  TBitmap source;
  MakeCoded24(source, 20, 2);
  const struct { std::int32_t w, h, n; } cases[] = {{2000, 10, 200}, {640, 480, 0}, {640, 480, 1}};
  for (const auto& c : cases) {
    TBitmap target;
    target.SetWidth(c.n);
    target.SetHeight(ThumbnailHeight(c.w, c.h, c.n));
    EXPECT_NO_THROW(StretchWithFrame(target, source, 16711680));
    EXPECT_TRUE(target.IsEmpty()) << c.w << "x" << c.h << " at " << c.n;
    EXPECT_EQ(target.Width(), c.n);
    EXPECT_EQ(target.Height(), 0);
  }
}

TEST(StretchWithFrameEdgeTest, NegativeWidthIsRefusedWhenTheHeightIsSet) {
  TBitmap target;
  target.SetWidth(-200);
  EXPECT_THROW(target.SetHeight(ThumbnailHeight(640, 480, -200)), EOutOfResources);
  EXPECT_TRUE(target.IsEmpty());
}

TEST(StretchWithFrameEdgeTest, SourceSharedWithAPictureStaysUnchanged) {
  TBitmap picture;
  MakeCoded24(picture, 6, 4);
  const auto before = Read24(picture);
  TBitmap source;
  source.CopyFrom(&picture);
  TBitmap target;
  target.SetWidth(3);
  target.SetHeight(2);
  StretchWithFrame(target, source, 0);
  EXPECT_EQ(Read24(picture), before);
  EXPECT_EQ(Read24(source), before);
  // Read in place: a full-size photo is never duplicated for its thumbnail.
  EXPECT_EQ(&source.Image(), &picture.Image());
}

}  // namespace
