// The codec layer against the library's own command-line tools: identical bytes when
// encoding, identical pixels when decoding, the release-6b error numbers, the memory limits,
// the progress throttle and failures raised from streams and handlers.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "imaging/jpeg_codec.h"
#include "runtime/exceptions.h"
#include "tests/imaging/jpeg_test_support.h"

// Last: the library's headers define TRUE and FALSE as macros.
#include "tests/imaging/jpeg_test_cmyk.h"
// After jpeglib.h, which configures the arithmetic-coding messages.
#include <jerror.h>

namespace {

using namespace jpegtest;

// --- Encoding -------------------------------------------------------------------------------

struct EncodeCase {
  const char* name;
  int width;
  int height;
  int quality;
  bool gray;
  bool progressive;
  const char* cjpegSwitches;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
  *os << c.name;
}

class EncodeMatchesCjpeg : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeMatchesCjpeg, SameBytes) {
  const EncodeCase& c = GetParam();
  ScratchDir dir;
  const Pixels pixels = PhotoLike(c.width, c.height, 7);
  jpeg::EncodeParameters parameters;
  parameters.quality = c.quality;
  parameters.gray = c.gray;
  parameters.progressive = c.progressive;
  const Bytes ours = Encode(pixels, parameters);
  const Bytes reference = Cjpeg(dir, pixels, c.cjpegSwitches);
  ASSERT_FALSE(reference.empty());
  EXPECT_EQ(ours, reference);
}

INSTANTIATE_TEST_SUITE_P(
    Jpeg, EncodeMatchesCjpeg,
    ::testing::Values(
        // The defaults: what every thumbnail is written with.
        EncodeCase{"Baseline", 96, 64, 90, false, false, "-quality 90 -dct float"},
        // Partial MCUs at the right and bottom edges.
        EncodeCase{"OddSize", 37, 21, 90, false, false, "-quality 90 -dct float"},
        EncodeCase{"OnePixelHigh", 50, 1, 90, false, false, "-quality 90 -dct float"},
        EncodeCase{"OnePixel", 1, 1, 90, false, false, "-quality 90 -dct float"},
        // Several 4096-byte blocks of output.
        EncodeCase{"LargerThanABlock", 320, 200, 90, false, false, "-quality 90 -dct float"},
        EncodeCase{"Progressive", 96, 64, 90, false, true, "-quality 90 -dct float -progressive"},
        EncodeCase{"ProgressiveOddSize", 37, 21, 90, false, true,
                   "-quality 90 -dct float -progressive"},
        EncodeCase{"Gray", 64, 40, 90, true, false, "-quality 90 -dct float -grayscale"},
        // Baseline tables forced: at quality 10 the tables would pass 255 otherwise.
        EncodeCase{"LowQualityBaseline", 64, 40, 10, false, false,
                   "-quality 10 -dct float -baseline"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Decoding -------------------------------------------------------------------------------

struct DecodeCase {
  const char* name;
  int width;
  int height;
  const char* cjpegSwitches;
  TJPEGSettings settings;
  const char* djpegSwitches;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
  *os << c.name;
}

TJPEGSettings With(void (*change)(TJPEGSettings&)) {
  TJPEGSettings s;
  change(s);
  return s;
}

class DecodeMatchesDjpeg : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeMatchesDjpeg, SamePixels) {
  const DecodeCase& c = GetParam();
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(c.width, c.height, 3), c.cjpegSwitches);
  const Pixels reference = Djpeg(dir, file, c.djpegSwitches);
  const Decoded ours = Decode(file, c.settings);
  EXPECT_TRUE(SamePixels(reference, ours.pixels));
}

INSTANTIATE_TEST_SUITE_P(
    Jpeg, DecodeMatchesDjpeg,
    ::testing::Values(
        DecodeCase{"Baseline420", 61, 47, "-quality 90", {}, "-dct float"},
        DecodeCase{"Progressive", 61, 47, "-quality 90 -progressive", {}, "-dct float"},
        DecodeCase{"Sampling444", 61, 47, "-quality 90 -sample 1x1", {}, "-dct float"},
        DecodeCase{"Sampling422", 61, 47, "-quality 90 -sample 2x1", {}, "-dct float"},
        DecodeCase{"RestartEveryRow", 61, 47, "-quality 90 -restart 1", {}, "-dct float"},
        DecodeCase{"RestartEveryThreeBlocks", 61, 47, "-quality 90 -restart 3B", {}, "-dct float"},
        DecodeCase{"OnePixelHigh", 45, 1, "-quality 90", {}, "-dct float"},
        // This build decodes arithmetic-coded files too.
        DecodeCase{"Arithmetic", 61, 47, "-quality 90 -arithmetic", {}, "-dct float"},
        // Gray data: 8-bit, one-pass quantizer, Floyd-Steinberg dither.
        DecodeCase{"Gray", 61, 47, "-quality 90 -grayscale", {}, "-dct float -colors 236"},
        DecodeCase{"GrayProgressive",
                   61,
                   47,
                   "-quality 90 -grayscale -progressive",
                   {},
                   "-dct float -colors 236"},
        DecodeCase{"GrayOutputOfColour", 61, 47, "-quality 90",
                   With([](TJPEGSettings& s) { s.GrayOutput = true; }),
                   "-dct float -grayscale -colors 236"},
        // Palette screens: 236 colours chosen by two passes, Floyd-Steinberg dither.
        DecodeCase{"EightBitColour", 61, 47, "-quality 90",
                   With([](TJPEGSettings& s) { s.OutputDepth = TJPEGOutputDepth::Out8Bit; }),
                   "-dct float -colors 236"},
        DecodeCase{"EightBitFast", 61, 47, "-quality 90", With([](TJPEGSettings& s) {
                     s.OutputDepth = TJPEGOutputDepth::Out8Bit;
                     s.SpeedMode = TJPEGSpeedMode::Fast;
                   }),
                   "-dct fast -colors 236 -onepass -dither ordered"},
        DecodeCase{"Fast", 61, 47, "-quality 90",
                   With([](TJPEGSettings& s) { s.SpeedMode = TJPEGSpeedMode::Fast; }), "-dct fast"},
        DecodeCase{"HalfScale", 61, 47, "-quality 90",
                   With([](TJPEGSettings& s) { s.ReduceShift = 1; }), "-dct float -scale 1/2"},
        DecodeCase{"EighthScale", 61, 47, "-quality 90",
                   With([](TJPEGSettings& s) { s.ReduceShift = 3; }), "-dct float -scale 1/8"},
        // Scales below 1/8 are 1/8.
        DecodeCase{"ShiftBeyondEighth", 61, 47, "-quality 90",
                   With([](TJPEGSettings& s) { s.ReduceShift = 9; }), "-dct float -scale 1/8"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JpegDecode, ScanByScanEndsWithTheSamePixels) {
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(70, 50, 5), "-quality 90 -progressive");
  TJPEGSettings scans;
  scans.ShowScans = true;
  EXPECT_TRUE(SamePixels(Decode(file).pixels, Decode(file, scans).pixels));

  // 8-bit: the quick passes show the one-pass palette, the last one the two-pass palette.
  scans.OutputDepth = TJPEGOutputDepth::Out8Bit;
  TJPEGSettings eightBit;
  eightBit.OutputDepth = TJPEGOutputDepth::Out8Bit;
  const Decoded shown = Decode(file, scans);
  EXPECT_EQ(shown.firstScanPalettes, 1);
  EXPECT_TRUE(SamePixels(Decode(file, eightBit).pixels, shown.pixels));
}

TEST(JpegDecode, ScanByScanIgnoredForSingleScanData) {
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(40, 30, 5), "-quality 90");
  auto stream = StreamOf(file);
  jpeg::Decoder decoder(*stream);
  decoder.ReadHeader();
  TJPEGSettings scans;
  scans.ShowScans = true;
  decoder.Configure(scans);
  EXPECT_FALSE(decoder.BufferedImage());
}

TEST(JpegDecode, PaletteGivenIsUsedForEveryPixel) {
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(40, 30, 9), "-quality 90");
  std::vector<win::PALETTEENTRY> palette;
  for (int i = 0; i < 16; ++i)
    palette.push_back({static_cast<std::uint8_t>(i * 17), static_cast<std::uint8_t>(255 - i * 9),
                       static_cast<std::uint8_t>(i * 5), 0});
  TJPEGSettings settings;
  settings.OutputDepth = TJPEGOutputDepth::Out8Bit;

  auto stream = StreamOf(file);
  jpeg::Decoder decoder(*stream);
  decoder.ReadHeader();
  decoder.Configure(settings);
  decoder.QuantizerFromPalette(palette);
  BufferTarget target(1);
  jpeg::Decode(decoder, target);

  ASSERT_EQ(target.palettes.size(), 1u);
  const auto& got = target.palettes.back();
  ASSERT_EQ(got.size(), palette.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].peRed, palette[i].peRed) << i;
    EXPECT_EQ(got[i].peGreen, palette[i].peGreen) << i;
    EXPECT_EQ(got[i].peBlue, palette[i].peBlue) << i;
  }
  for (std::uint8_t index : target.Indexes()) ASSERT_LT(index, 16);
}

TEST(JpegDecode, TruncatedFileDecodesLikeDjpeg) {
  ScratchDir dir;
  for (const char* switches : {"-quality 90", "-quality 90 -progressive"}) {
    Bytes file = Cjpeg(dir, PhotoLike(80, 64, 2), switches);
    file.resize(file.size() / 2);
    const Decoded ours = Decode(file);
    EXPECT_EQ(ours.pixels.width, 80);
    EXPECT_EQ(ours.pixels.height, 64);
    EXPECT_TRUE(SamePixels(Djpeg(dir, file, "-dct float", true), ours.pixels)) << switches;
  }
}

// Block smoothing only acts on progressive data whose later scans are missing.
TEST(JpegDecode, BlockSmoothingIsOnByDefaultAndCanBeTurnedOff) {
  ScratchDir dir;
  Bytes file = Cjpeg(dir, PhotoLike(80, 64, 2), "-quality 90 -progressive");
  file.resize(file.size() / 4);
  const Pixels reference = Djpeg(dir, file, "-dct float", true);
  EXPECT_TRUE(SamePixels(reference, Decode(file).pixels));
  TJPEGSettings rough;
  rough.BlockSmoothing = false;
  EXPECT_FALSE(SamePixels(reference, Decode(file, rough).pixels));
}

TEST(JpegDecode, HeaderReportsSizeGrayAndScans) {
  ScratchDir dir;
  struct {
    const char* switches;
    bool gray;
    bool multiScan;
  } cases[] = {
      {"-quality 90", false, false},
      {"-quality 90 -progressive", false, true},
      {"-quality 90 -grayscale", true, false},
  };
  for (const auto& c : cases) {
    auto stream = StreamOf(Cjpeg(dir, PhotoLike(23, 11), c.switches));
    jpeg::Decoder decoder(*stream);
    decoder.ReadHeader();
    EXPECT_EQ(decoder.ImageWidth(), 23) << c.switches;
    EXPECT_EQ(decoder.ImageHeight(), 11) << c.switches;
    EXPECT_EQ(decoder.IsGray(), c.gray) << c.switches;
    EXPECT_EQ(decoder.HasMultipleScans(), c.multiScan) << c.switches;
  }
}

// --- Four-component data ------------------------------------------------------------------

TEST(JpegDecode, FourComponentDataComesOutAsColour) {
  // Inks (cyan, magenta, yellow, black) and the colour (blue, green, red) they print.
  const std::vector<std::array<std::uint8_t, 4>> inks = {
      {0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 0, 0}, {0, 0, 0, 0},
      {0, 0, 0, 255},   {0, 0, 0, 128},   {128, 0, 64, 0}};
  const std::vector<std::array<int, 3>> colours = {{0, 0, 255},     {0, 255, 0}, {255, 0, 0},
                                                   {255, 255, 255}, {0, 0, 0},   {127, 127, 127},
                                                   {191, 255, 127}};
  struct {
    const char* name;
    bool adobe;
    bool ycck;
  } cases[] = {
      // Adobe writers store inverted inks and mark the file with their APP14 marker.
      {"AdobeCmyk", true, false},
      {"AdobeYcck", true, true},
      // Without the marker (stripped on the way) the inks are still taken as inverted, as
      // every common decoder takes them; read as plain inks the picture would come out dark.
      {"CmykWithoutMarker", false, false},
  };
  for (const auto& c : cases) {
    const Decoded decoded = Decode(MakeFourComponent(inks, c.adobe, c.ycck, true));
    ASSERT_EQ(decoded.pixels.channels, 3) << c.name;
    ASSERT_EQ(decoded.pixels.width, 16 * static_cast<int>(inks.size())) << c.name;
    for (std::size_t i = 0; i < inks.size(); ++i) {
      const std::uint8_t* pixel = decoded.pixels.Row(8) + 3 * (16 * i + 8);
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(pixel[k], colours[i][static_cast<std::size_t>(k)], 4)
            << c.name << " block " << i << " channel " << k;
    }
  }
}

// --- Failures ---------------------------------------------------------------------------------

TEST(JpegErrors, HeaderFailuresCarryReleaseSixNumbers) {
  struct {
    const char* name;
    Bytes data;
    const char* message;
  } cases[] = {
      {"Empty", {}, "JPEG error #42"},
      {"NotStartingWithSoi", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, "JPEG error #53"},
      {"SoiOnly", {0xFF, 0xD8}, "JPEG error #51"},  // no image before the end
  };
  for (const auto& c : cases) {
    auto stream = StreamOf(c.data);
    jpeg::Decoder decoder(*stream);
    EXPECT_EQ(MessageOf<EJPEG>([&] { decoder.ReadHeader(); }), c.message) << c.name;
  }
}

TEST(JpegErrors, ReleaseSixNumbering) {
  struct {
    int libraryCode;
    int releaseSix;
  } cases[] = {
      {JERR_ARITH_NOTIMPL, 1},
      {JERR_FILE_WRITE, 37},
      {JERR_INPUT_EMPTY, 42},
      {JERR_NO_SOI, 53},
      {JERR_OUT_OF_MEMORY, 54},
      {JWRN_TOO_MUCH_DATA, 123},
      // Codes this library appends: what a 6b build raises for the same data instead.
      {JERR_NO_ARITH_TABLE, 1},
      {JERR_BAD_CROP_SPEC, 20},
      {JERR_BAD_DROP_SAMPLING, 20},
  };
  for (const auto& c : cases) EXPECT_EQ(jpeg::ReleaseSixCode(c.libraryCode), c.releaseSix);
}

// Restores the memory limit a test changed.
struct MemoryLimitScope {
  explicit MemoryLimitScope(std::int64_t bytes) { jpeg::SetMemoryLimit(bytes); }
  ~MemoryLimitScope() { jpeg::SetMemoryLimit(0); }
};

TEST(JpegMemory, DefaultLimitIsAddressableAndAQuarterOfMemory) {
  const std::int64_t physical = std::int64_t{sysconf(_SC_PHYS_PAGES)} * sysconf(_SC_PAGE_SIZE);
  EXPECT_EQ(jpeg::MemoryLimit(), std::min<std::int64_t>(physical / 4, 0x7FFFFFFF));
}

TEST(JpegMemory, GiantHeaderFailsBeforeAllocating) {
  ScratchDir dir;
  for (const char* switches : {"-quality 90", "-quality 90 -progressive"}) {
    const Bytes forged = WithClaimedSize(Cjpeg(dir, PhotoLike(16, 16), switches), 64250, 64250);
    ASSERT_LT(forged.size(), 2000u);
    auto stream = StreamOf(forged);
    jpeg::Decoder decoder(*stream);
    decoder.ReadHeader();
    EXPECT_EQ(decoder.ImageWidth(), 64250);
    decoder.Configure({});
    BufferTarget target(3);
    EXPECT_EQ(MessageOf<EOutOfMemory>([&] { jpeg::Decode(decoder, target); }),
              "JPEG image is too large (64250 x 64250 pixels)")
        << switches;
  }
}

TEST(JpegMemory, LibraryWorkingMemoryIsCapped) {
  // Gray progressive: the picture takes one byte a pixel, the library's coefficient buffer
  // two, so with this limit only the library's own memory is too much.
  MemoryLimitScope limit(8 << 20);
  ScratchDir dir;
  const Bytes forged =
      WithClaimedSize(Cjpeg(dir, PhotoLike(16, 16), "-grayscale -progressive"), 2000, 2400);
  auto stream = StreamOf(forged);
  jpeg::Decoder decoder(*stream);
  decoder.ReadHeader();
  decoder.Configure({});
  BufferTarget target(1);
  EXPECT_EQ(MessageOf<EOutOfMemory>([&] { jpeg::Decode(decoder, target); }),
            "JPEG image is too large (2000 x 2400 pixels)");
}

TEST(JpegMemory, PictureAtTheLimitStillDecodes) {
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(64, 32), "-quality 90");
  // 64 x 32 x 3 bytes exactly.
  MemoryLimitScope limit(64 * 32 * 3);
  EXPECT_EQ(Decode(file).pixels.width, 64);
  jpeg::SetMemoryLimit(64 * 32 * 3 - 1);
  EXPECT_THROW(Decode(file), EOutOfMemory);
}

// A stream that fails or takes less than it is given.
class FaultyStream : public TMemoryStream {
 public:
  enum class ShortWrites { None, Every, RemainderOnly };
  std::int32_t readsBeforeFailure = -1;  // -1: never
  ShortWrites shortWrites = ShortWrites::None;

  std::int32_t Read(void* buffer, std::int32_t count) override {
    if (readsBeforeFailure == 0) throw EReadError("Stream read error");
    if (readsBeforeFailure > 0) --readsBeforeFailure;
    return TMemoryStream::Read(buffer, count);
  }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    const bool cut = shortWrites == ShortWrites::Every ||
                     (shortWrites == ShortWrites::RemainderOnly && count < jpeg::kBlockSize);
    return TMemoryStream::Write(buffer, cut ? count - 1 : count);
  }
};

TEST(JpegErrors, StreamExceptionsPassThroughTheLibrary) {
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(200, 150), "-quality 90");
  ASSERT_GT(file.size(), 2u * jpeg::kBlockSize);
  FaultyStream stream;
  stream.WriteBuffer(file.data(), static_cast<std::int32_t>(file.size()));
  stream.SetPosition(0);
  stream.readsBeforeFailure = 1;  // the header block arrives, the next read fails
  jpeg::Decoder decoder(stream);
  decoder.ReadHeader();
  decoder.Configure({});
  BufferTarget target(3);
  EXPECT_EQ(MessageOf<EReadError>([&] { jpeg::Decode(decoder, target); }), "Stream read error");
}

TEST(JpegErrors, ShortWritesFailWithThirtySeven) {
  const Pixels pixels = PhotoLike(200, 150);
  struct {
    const char* name;
    FaultyStream::ShortWrites shortWrites;
  } cases[] = {
      {"FullBlock", FaultyStream::ShortWrites::Every},
      // Every full block is taken whole; only the final remainder comes up short.
      {"FinalRemainder", FaultyStream::ShortWrites::RemainderOnly},
  };
  for (const auto& c : cases) {
    FaultyStream out;
    out.shortWrites = c.shortWrites;
    jpeg::Encoder encoder(out);
    jpeg::EncodeParameters parameters;
    parameters.width = pixels.width;
    parameters.height = pixels.height;
    encoder.SetParameters(parameters);
    EXPECT_EQ(MessageOf<EJPEG>([&] { encoder.WriteRows(pixels.data.data(), pixels.Step()); }),
              "JPEG error #37")
        << c.name;
  }
}

// --- Progress ---------------------------------------------------------------------------------

TEST(JpegProgress, DecodeIsThrottledAndReportsRowBands) {
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(64, 400), "-quality 90");
  for (std::uint32_t step : {500u, 130u}) {
    ClockScope clock(10000, step);
    Recorder recorder;
    Decode(file, {}, &recorder);
    ASSERT_GT(recorder.calls.size(), 2u) << step;
    int lastBottom = 0;
    for (std::size_t i = 0; i < recorder.calls.size(); ++i) {
      const auto& call = recorder.calls[i];
      // Never on the first reading of the clock, never sooner than 500 ms after the last.
      EXPECT_GT(call.read, 1);
      if (i > 0) {
        EXPECT_GE(call.time - recorder.calls[i - 1].time, 500u);
        EXPECT_GT(call.percent, recorder.calls[i - 1].percent);
      }
      // Bands follow one another down the picture.
      EXPECT_EQ(call.r.left, 0);
      EXPECT_EQ(call.r.right, 64);
      EXPECT_EQ(call.r.top, lastBottom);
      EXPECT_EQ(call.redrawNow, call.r.bottom - call.r.top >= 4);
      lastBottom = call.r.bottom;
    }
  }
}

TEST(JpegProgress, EncodeReportsNoRectangle) {
  ClockScope clock(10000, 500);
  Recorder recorder;
  jpeg::EncodeParameters parameters;
  Encode(PhotoLike(64, 300), parameters, &recorder);
  ASSERT_FALSE(recorder.calls.empty());
  for (const auto& call : recorder.calls) {
    EXPECT_EQ(call.r.left | call.r.top | call.r.right | call.r.bottom, 0);
    EXPECT_FALSE(call.redrawNow);
  }
}

TEST(JpegProgress, NoNotificationWithoutAListener) {
  ScratchDir dir;
  ClockScope clock(10000, 500);
  Decode(Cjpeg(dir, PhotoLike(64, 64), "-quality 90"));
  EXPECT_EQ(FakeClock::reads, 0);
}

TEST(JpegProgress, AbortFromTheHandlerEndsTheRun) {
  ScratchDir dir;
  const Bytes file = Cjpeg(dir, PhotoLike(64, 400), "-quality 90 -progressive");
  ClockScope clock(10000, 500);
  {
    Recorder recorder;
    recorder.abortAt = 0;
    EXPECT_THROW(Decode(file, {}, &recorder), EAbort);
    EXPECT_EQ(recorder.calls.size(), 1u);
  }
  {
    Recorder recorder;
    recorder.abortAt = 0;
    jpeg::EncodeParameters parameters;
    EXPECT_THROW(Encode(PhotoLike(64, 400), parameters, &recorder), EAbort);
    EXPECT_EQ(recorder.calls.size(), 1u);
  }
}

}  // namespace
