#include "thumbs/thumbnail_maker.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "tests/imaging/bitmap_test_support.h"
#include "tests/imaging/jpeg_test_support.h"
#include "tests/support/scratch_folder.h"
#include "thumbs/engine.h"
#include "thumbs/output_name.h"

namespace fs = std::filesystem;

namespace {

const AnsiString kSuffix = "\xCB\xF5\xCD\xBC";  // 缩图

class ThumbnailMakerTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterJpegFormats(); }
  static void TearDownTestSuite() { UnregisterJpegFormats(); }

  // Writes a width x height JPEG of a coordinate-coded picture (never white).
  AnsiString MakeJpeg(const std::string& name, int width, int height, bool progressive = false) {
    TBitmap bitmap;
    bitmap_test::MakeCoded24(bitmap, width, height);
    TJPEGImage jpeg;
    jpeg.CopyFrom(&bitmap);
    jpeg.SetMultiScan(progressive);
    const AnsiString path = dir_ + "\\" + name;
    jpeg.WriteToFile(path);
    return path;
  }

  std::string Host(const AnsiString& windowsPath) { return *win::HostPathFromWindows(windowsPath); }

  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // Whether JPEG bytes hold a progressive frame (SOF2).
  static bool IsProgressive(const std::string& bytes) {
    for (std::size_t i = 2; i + 3 < bytes.size();) {
      if (std::uint8_t(bytes[i]) != 0xFF) return false;
      const std::uint8_t marker = std::uint8_t(bytes[i + 1]);
      if (marker == 0xC2) return true;
      if (marker == 0xC0 || marker == 0xC1 || marker == 0xDA) return false;
      i += 2 + (std::uint8_t(bytes[i + 2]) << 8 | std::uint8_t(bytes[i + 3]));
    }
    return false;
  }

  test_support::ScratchFolder folder_{"suotu-thumbs"};
  const AnsiString dir_ = folder_.Win();
};

struct SizeCase {
  int width;
  int height;
  const char* widthText;
  int thumbWidth;
  int thumbHeight;
};

TEST_F(ThumbnailMakerTest, MakesTheDocumentedSizes) {
  const SizeCase cases[] = {
      {1000, 700, "200", 200, 139}, {640, 480, "200", 200, 150}, {640, 480, " 150", 150, 112},
      {640, 480, "$C8", 200, 150},  {480, 640, "200", 200, 266}, {2000, 11, "200", 200, 1},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at '" << c.widthText << "'");
    const AnsiString file = MakeJpeg("s.jpg", c.width, c.height);
    TPicture source, view;
    source.ReadFromFile(file);
    view.ReadFromFile(file);
    MakeThumbnail(source, c.widthText, view);
    EXPECT_EQ(view.Width(), c.thumbWidth);
    EXPECT_EQ(view.Height(), c.thumbHeight);
  }
}

TEST_F(ThumbnailMakerTest, ViewKeepsItsGraphicAndHearsNoChange) {
  const AnsiString file = MakeJpeg("a.jpg", 640, 480);
  TPicture source, view;
  source.ReadFromFile(file);
  view.ReadFromFile(file);
  const TGraphic* graphic = view.Graphic();
  int changes = 0;
  view.OnChange = [&](TObject*) { ++changes; };
  MakeThumbnail(source, "200", view);
  EXPECT_EQ(view.Graphic(), graphic);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(view.Width(), 200);
}

TEST_F(ThumbnailMakerTest, OutermostPixelsAreWhiteAndTheInsideIsThePicture) {
  const AnsiString file = MakeJpeg("a.jpg", 300, 200);
  TPicture source, view;
  source.ReadFromFile(file);
  view.ReadFromFile(file);
  MakeThumbnail(source, "200", view);
  auto* jpeg = dynamic_cast<TJPEGImage*>(view.Graphic());
  ASSERT_NE(jpeg, nullptr);
  TBitmap pixels;
  pixels.CopyFrom(&jpeg->ObtainBitmap());
  pixels.SetColorDepth(TColorDepth::Depth24);
  ASSERT_EQ(pixels.Width(), 200);
  ASSERT_EQ(pixels.Height(), 133);
  auto isWhite = [&](int x, int y) {
    const std::uint8_t* p = pixels.RowPointer(y) + 3 * x;
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
  };
  for (int x = 0; x < 200; ++x) {
    EXPECT_TRUE(isWhite(x, 0)) << x;
    EXPECT_TRUE(isWhite(x, 132)) << x;
  }
  for (int y = 0; y < 133; ++y) {
    EXPECT_TRUE(isWhite(0, y)) << y;
    EXPECT_TRUE(isWhite(199, y)) << y;
  }
  EXPECT_FALSE(isWhite(100, 66));  // the coded picture stays below 240 in every channel
}

TEST_F(ThumbnailMakerTest, BadWidthTextFailsAndLeavesTheViewAlone) {
  const AnsiString file = MakeJpeg("a.jpg", 640, 480);
  TPicture source, view;
  source.ReadFromFile(file);
  view.ReadFromFile(file);
  try {
    MakeThumbnail(source, "200px", view);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'200px' is not a valid integer value");
  }
  EXPECT_EQ(view.Width(), 640);
  EXPECT_EQ(view.Height(), 480);
}

TEST_F(ThumbnailMakerTest, ThumbnailWithoutRowsIsNotSavedAsAnEmptyFile) {
  // "1" on a landscape picture and 2000 x 10 at "200" both give a height of 0.
  const struct {
    int width, height;
    const char* widthText;
  } cases[] = {{640, 480, "1"}, {2000, 10, "200"}};
  for (const auto& c : cases) {
    const AnsiString file = MakeJpeg("a.jpg", c.width, c.height);
    TPicture source, view;
    source.ReadFromFile(file);
    view.ReadFromFile(file);
    MakeThumbnail(source, c.widthText, view);
    EXPECT_EQ(view.Height(), 0);
    const AnsiString out = ThumbnailOutputPath(dir_, file);
    try {
      view.WriteToFile(out);
      FAIL() << "an empty thumbnail was saved";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Cannot save an empty JPEG image");
    }
    EXPECT_FALSE(fs::exists(Host(out)));
  }
}

TEST_F(ThumbnailMakerTest, OneRowThumbnailSavesAValidJpeg) {
  const AnsiString file = MakeJpeg("strip.jpg", 2000, 11);
  ThumbnailEngine engine;
  const ThumbnailFileResult result = engine.MakeThumbnailFile(file, "200", dir_);
  EXPECT_EQ(result.height, 1);
  TPicture reread;
  reread.ReadFromFile(result.outputPath);
  EXPECT_EQ(reread.Width(), 200);
  EXPECT_EQ(reread.Height(), 1);
}

TEST_F(ThumbnailMakerTest, ViewWithoutGraphicTakesTheThumbnail) {
  const AnsiString file = MakeJpeg("a.jpg", 640, 480);
  TPicture source, view;
  source.ReadFromFile(file);
  MakeThumbnail(source, "200", view);
  ASSERT_NE(view.Graphic(), nullptr);
  EXPECT_STREQ(view.Graphic()->ClassName(), "TJPEGImage");
  EXPECT_EQ(view.Width(), 200);
  EXPECT_EQ(view.Height(), 150);
}

TEST_F(ThumbnailMakerTest, ThumbnailOfAProgressiveFileIsProgressive) {
  const AnsiString progressive = MakeJpeg("p.jpg", 640, 480, true);
  const AnsiString baseline = MakeJpeg("b.jpg", 640, 480, false);
  ThumbnailEngine engine;
  const auto p = engine.MakeThumbnailFile(progressive, "200", dir_);
  EXPECT_TRUE(IsProgressive(Slurp(Host(p.outputPath))));
  const auto b = engine.MakeThumbnailFile(baseline, "200", dir_);
  EXPECT_FALSE(IsProgressive(Slurp(Host(b.outputPath))));
}

TEST_F(ThumbnailMakerTest, RerunningOverAThumbnailDoublesTheSuffix) {
  const AnsiString file = MakeJpeg("photo.jpg", 640, 480);
  ThumbnailEngine engine;
  const auto first = engine.MakeThumbnailFile(file, "200", dir_);
  EXPECT_EQ(first.outputPath, dir_ + "\\photo" + kSuffix + ".jpg");
  const auto second = engine.MakeThumbnailFile(first.outputPath, "100", dir_);
  EXPECT_EQ(second.outputPath, dir_ + "\\photo" + kSuffix + kSuffix + ".jpg");
  EXPECT_EQ(second.width, 100);
  EXPECT_EQ(second.height, 75);
}

TEST_F(ThumbnailMakerTest, UndecodableSourceFailsWithTheJpegError) {
  folder_.Write("bad.jpg", "not a jpeg");
  ThumbnailEngine engine;
  try {
    engine.MakeThumbnailFile(dir_ + "\\bad.jpg", "200", dir_);
    FAIL();
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message(), "JPEG error #53");
  }
  EXPECT_FALSE(folder_.Exists("bad缩图.jpg"));
}

// A phone photo held upright is stored on its side with an EXIF orientation: the size rule and
// the thumbnail see it upright, as every viewer shows it. The stored picture has a red quarter
// at its top left; the thumbnail must have it in the corner the orientation takes it to.
TEST_F(ThumbnailMakerTest, ThumbnailOfATurnedPhotoIsUpright) {
  TBitmap bitmap;
  bitmap.SetColorDepth(TColorDepth::Depth24);
  bitmap.SetWidth(300);
  bitmap.SetHeight(200);
  for (int y = 0; y < 200; ++y) {
    std::uint8_t* row = bitmap.RowPointer(y);
    for (int x = 0; x < 300; ++x) {
      const bool red = x < 150 && y < 100;
      row[3 * x] = red ? 0 : 128;
      row[3 * x + 1] = red ? 0 : 128;
      row[3 * x + 2] = red ? 255 : 128;
    }
  }
  TJPEGImage encoder;
  encoder.CopyFrom(&bitmap);
  TMemoryStream encoded;
  encoder.WriteToStream(encoded);
  const jpegtest::Bytes stored = jpegtest::BytesOf(encoded);

  enum Corner { kTopLeft, kTopRight, kBottomRight, kBottomLeft };
  const struct {
    int orientation;
    int height;  // of the 200-wide thumbnail
    Corner red;
  } cases[] = {
      {1, 133, kTopLeft}, {2, 133, kTopRight}, {3, 133, kBottomRight}, {4, 133, kBottomLeft},
      {5, 300, kTopLeft}, {6, 300, kTopRight}, {7, 300, kBottomRight}, {8, 300, kBottomLeft},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "orientation " << c.orientation);
    const AnsiString file = dir_ + "\\turned.jpg";
    jpegtest::WriteFile(Host(file), jpegtest::WithExifOrientation(stored, c.orientation));
    TPicture source, view;
    source.ReadFromFile(file);
    view.ReadFromFile(file);
    EXPECT_EQ(source.Width(), c.height == 300 ? 200 : 300);
    MakeThumbnail(source, "200", view);
    ASSERT_EQ(view.Width(), 200);
    ASSERT_EQ(view.Height(), c.height);
    TBitmap thumb;
    thumb.CopyFrom(&dynamic_cast<TJPEGImage*>(view.Graphic())->ObtainBitmap());
    thumb.SetColorDepth(TColorDepth::Depth24);
    // The middle of each quarter of the thumbnail.
    const int xs[4] = {50, 150, 150, 50};
    const int ys[4] = {c.height / 4, c.height / 4, c.height * 3 / 4, c.height * 3 / 4};
    for (int corner = 0; corner < 4; ++corner) {
      const std::uint8_t* p = thumb.RowPointer(ys[corner]) + 3 * xs[corner];
      const bool red = p[2] > 200 && p[1] < 60;
      EXPECT_EQ(red, corner == c.red) << "quarter " << corner;
    }
  }
}

// Real photographs from the sample set (unpacked by scripts/samples.sh at setup).
TEST_F(ThumbnailMakerTest, RealPhotographsMakeFramedThumbnails) {
  const fs::path photos = fs::path(SUOTU_BINARY_DIR).parent_path() / "samples" / "photos";
  if (!fs::exists(photos)) GTEST_SKIP() << "no sample photographs in " << photos;
  int done = 0;
  ThumbnailEngine engine;
  for (const auto& entry : fs::directory_iterator(photos)) {
    if (done == 2) break;
    if (fs::file_size(entry.path()) > 1'000'000) continue;  // keep the suite quick
    const AnsiString source = *win::WindowsPathFromHost(entry.path().string());
    TPicture original;
    original.ReadFromFile(source);
    const auto result = engine.MakeThumbnailFile(source, "200", dir_);
    const float ratio = float(static_cast<long double>(original.Height()) / original.Width());
    EXPECT_EQ(result.height, std::int32_t(200 * static_cast<long double>(ratio)));
    TPicture thumb;
    thumb.ReadFromFile(result.outputPath);
    EXPECT_EQ(thumb.Width(), 200);
    EXPECT_EQ(thumb.Height(), result.height);
    TBitmap pixels;
    pixels.CopyFrom(&dynamic_cast<TJPEGImage*>(thumb.Graphic())->ObtainBitmap());
    pixels.SetColorDepth(TColorDepth::Depth24);
    // The border survives JPEG coding as near-white.
    for (int x = 0; x < 200; x += 7) {
      const std::uint8_t* p = pixels.RowPointer(0) + 3 * x;
      EXPECT_GE(std::min({p[0], p[1], p[2]}), 200) << entry.path() << " x=" << x;
    }
    ++done;
  }
  EXPECT_GT(done, 0);
}

}  // namespace
