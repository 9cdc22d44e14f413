// Photos stored turned or mirrored: the EXIF orientation read from damaged and sound blocks,
// and the codec placing every row where the orientation puts it, checked against djpeg's
// output turned by ImageMagick (an independent reading of the eight orientations).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/jpeg_codec.h"
#include "imaging/jpeg_orientation.h"
#include "runtime/exceptions.h"
#include "tests/imaging/jpeg_test_support.h"

// Last: the library's headers define TRUE and FALSE as macros.
#include "tests/imaging/jpeg_test_cmyk.h"

namespace {

using namespace jpegtest;
using jpeg::TOrientation;

// --- EXIF blocks ----------------------------------------------------------------------------

TEST(ExifOrientation, SoundAndDamagedBlocks) {
  const ExifEntry width{0x0100, 4, 1, 640};  // ImageWidth, before the orientation as cameras sort
  const ExifEntry six{0x0112, 3, 1, 6};
  struct {
    const char* name;
    Bytes block;
    TOrientation expected;
  } cases[] = {
      {"Motorola", ExifBlock(true, {six}), TOrientation::RightTop},
      {"Intel", ExifBlock(false, {six}), TOrientation::RightTop},
      {"AfterAnotherTag", ExifBlock(false, {width, {0x0112, 3, 1, 8}}), TOrientation::LeftBottom},
      {"DirectoryFurtherOn", ExifBlock(true, {six}, 20), TOrientation::RightTop},
      {"NoOrientationTag", ExifBlock(true, {width}), TOrientation::TopLeft},
      {"NoEntries", ExifBlock(true, {}), TOrientation::TopLeft},
      // Values out of range or of the wrong kind are ignored, as viewers do.
      {"ValueZero", ExifBlock(true, {{0x0112, 3, 1, 0}}), TOrientation::TopLeft},
      {"ValueNine", ExifBlock(true, {{0x0112, 3, 1, 9}}), TOrientation::TopLeft},
      {"LongType", ExifBlock(true, {{0x0112, 4, 1, 6}}), TOrientation::TopLeft},
      {"TwoValues", ExifBlock(true, {{0x0112, 3, 2, 6}}), TOrientation::TopLeft},
      {"BadByteOrder", ExifBlock(true, {six}, 8, 42, "MI"), TOrientation::TopLeft},
      {"BadMagic", ExifBlock(true, {six}, 8, 43), TOrientation::TopLeft},
      {"DirectoryBeyondTheEnd", ExifBlock(true, {six}, 0xFFFFFFF0u), TOrientation::TopLeft},
      {"NotExif", Bytes{'h', 't', 't', 'p', ':', '/', '/', 'n', 's', '.', 0, 0, 0, 0, 0, 0},
       TOrientation::TopLeft},
      {"Empty", Bytes{}, TOrientation::TopLeft},
  };
  for (const auto& c : cases)
    EXPECT_EQ(jpeg::ExifOrientation(c.block.data(), c.block.size()), c.expected) << c.name;

  // A block cut anywhere inside the entry reads nothing past its end (ASan would see it) and
  // gives no orientation.
  const Bytes whole = ExifBlock(true, {width, six});
  for (std::size_t size = 0; size + 4 < whole.size() - 4; ++size) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_EQ(jpeg::ExifOrientation(cut.data(), cut.size()), TOrientation::TopLeft) << size;
  }
  // An entry count larger than the block is no licence to read on.
  Bytes claimsMore = ExifBlock(true, {width});
  claimsMore[6 + 8] = 0x7F;
  EXPECT_EQ(jpeg::ExifOrientation(claimsMore.data(), claimsMore.size()), TOrientation::TopLeft);
}

TEST(ExifOrientation, DecoderReadsTheFirstExifBlockOfTheFile) {
  ScratchDir dir;
  const Bytes plain = Cjpeg(dir, PhotoLike(24, 16), "-quality 90");
  // An XMP block (also APP1) in front of the EXIF one is passed over.
  Bytes xmpFirst = WithExifOrientation(plain, 3);
  const std::string xmp = "http://ns.adobe.com/xap/1.0/";
  Bytes marker = {0xFF, 0xE1, 0, static_cast<std::uint8_t>(xmp.size() + 3)};
  marker.insert(marker.end(), xmp.begin(), xmp.end());
  marker.push_back(0);
  xmpFirst.insert(xmpFirst.begin() + 2, marker.begin(), marker.end());
  struct {
    const char* name;
    Bytes file;
    TOrientation expected;
  } cases[] = {
      {"None", plain, TOrientation::TopLeft},
      {"Motorola", WithExifOrientation(plain, 6), TOrientation::RightTop},
      {"Intel", WithExifOrientation(plain, 8, false), TOrientation::LeftBottom},
      {"XmpFirst", xmpFirst, TOrientation::BottomRight},
      {"TwoExifBlocks", WithExifOrientation(WithExifOrientation(plain, 5), 2),
       TOrientation::TopRight},
  };
  for (const auto& c : cases) {
    auto stream = StreamOf(c.file);
    jpeg::Decoder decoder(*stream);
    decoder.ReadHeader();
    EXPECT_EQ(decoder.ExifOrientation(), c.expected) << c.name;
    EXPECT_EQ(decoder.ImageWidth(), 24) << c.name;
  }
}

// --- Turned decoding ------------------------------------------------------------------------

TEST(JpegOrientation, EveryOrientationDecodesLikeTurnedDjpegOutput) {
  ScratchDir dir;
  struct Kind {
    const char* name;
    Bytes file;
    TJPEGSettings settings;
    const char* djpegSwitches;
  };
  TJPEGSettings eightBit;
  eightBit.OutputDepth = TJPEGOutputDepth::Out8Bit;
  // 4:2:0 colour 27 x 13, so neither side is a whole number of blocks and the picture is not
  // square; gray and palette output place one byte a pixel, four-component data converts first.
  const Kind kinds[] = {
      {"Colour", Cjpeg(dir, PhotoLike(27, 13), "-quality 90"), {}, "-dct float"},
      {"Gray",
       Cjpeg(dir, PhotoLike(27, 13), "-quality 90 -grayscale"),
       {},
       "-dct float -colors 236"},
      {"Palette", Cjpeg(dir, PhotoLike(27, 13), "-quality 90"), eightBit, "-dct float -colors 236"},
      {"Progressive", Cjpeg(dir, PhotoLike(27, 13), "-quality 90 -progressive"), {}, "-dct float"},
      {"Cmyk",
       MakeFourComponent({{0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}}, false, false,
                         true),
       {},
       "-dct float"},
  };
  for (const Kind& kind : kinds) {
    for (int o = 1; o <= 8; ++o) {
      SCOPED_TRACE(testing::Message() << kind.name << " orientation " << o);
      const Bytes file = WithExifOrientation(kind.file, o, o % 2 == 0);
      const Decoded ours = Decode(file, kind.settings, nullptr, nullptr, TOrientation(o));
      EXPECT_TRUE(SamePixels(TurnedReference(dir, file, kind.djpegSwitches, o), ours.pixels));
    }
  }
}

// The band of rows decoded since the last notification is reported where those rows are in
// the upright picture: a band of columns when the picture turns.
TEST(JpegOrientation, ProgressBandsAreTurnedWithThePicture) {
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(64, 400), "-quality 90");
  struct {
    TOrientation orientation;
    bool columns;    // bands are columns of the upright picture
    bool backwards;  // from the far edge (right or bottom) on
  } cases[] = {
      {TOrientation::TopLeft, false, false},    {TOrientation::TopRight, false, false},
      {TOrientation::BottomRight, false, true}, {TOrientation::BottomLeft, false, true},
      {TOrientation::LeftTop, true, false},     {TOrientation::RightTop, true, true},
      {TOrientation::RightBottom, true, true},  {TOrientation::LeftBottom, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "orientation " << static_cast<int>(c.orientation));
    ClockScope clock(10000, 130);
    Recorder recorder;
    const Decoded ours = Decode(file, {}, &recorder, nullptr, c.orientation);
    ASSERT_EQ(ours.pixels.width, c.columns ? 400 : 64);
    ASSERT_GT(recorder.calls.size(), 2u);
    int edge = c.backwards ? 400 : 0;  // where the next band starts
    for (const auto& call : recorder.calls) {
      const win::RECT& r = call.r;
      // Across the whole picture one way, the band the other.
      if (c.columns) {
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.bottom, 64);
        EXPECT_EQ(c.backwards ? r.right : r.left, edge);
        edge = c.backwards ? r.left : r.right;
        EXPECT_EQ(call.redrawNow, r.right - r.left >= 4);
      } else {
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.right, 64);
        EXPECT_EQ(c.backwards ? r.bottom : r.top, edge);
        edge = c.backwards ? r.top : r.bottom;
        EXPECT_EQ(call.redrawNow, r.bottom - r.top >= 4);
      }
    }
  }
}

}  // namespace
