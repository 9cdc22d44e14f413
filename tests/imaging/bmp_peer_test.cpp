// BMP files written by another program (ImageMagick's convert) from our own pixels load with
// the pixels that program itself reads back from them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/bitmap.h"
#include "tests/imaging/bitmap_test_support.h"
#include "tests/support/scratch_folder.h"

namespace {

using bitmap_test::Code;
using bitmap_test::Read24;
using bitmap_test::Rgb;
using Bytes = std::vector<std::uint8_t>;

constexpr char kConvert[] = "/usr/bin/convert";
constexpr int kWidth = 13;  // odd, so every depth pads its rows
constexpr int kHeight = 7;

struct PeerCase {
  const char* name;
  const char* options;
  const char* coder;  // BMP2: a core header; BMP3: a 40-byte header; BMP: 108 or 124 bytes
  std::uint32_t headerSize;
  int bits;
  std::uint32_t compression;  // not stated in a core header
};

void PrintTo(const PeerCase& c, std::ostream* os) {
  *os << c.name;
}

const PeerCase kPeerCases[] = {
    {"Core1", "-type Bilevel", "BMP2", 12, 1, 0},
    {"Core8", "-type Palette", "BMP2", 12, 8, 0},
    {"Core24", "-type TrueColor", "BMP2", 12, 24, 0},
    {"Bilevel1", "-type Bilevel", "BMP3", 40, 1, win::BI_RGB},
    {"Palette4", "-colors 16 -type Palette -compress None", "BMP3", 40, 4, win::BI_RGB},
    {"Palette8", "-type Palette -compress None", "BMP3", 40, 8, win::BI_RGB},
    {"Rle8", "-type Palette -compress RLE", "BMP3", 40, 8, win::BI_RLE8},
    {"Fields555", "-define bmp:subtype=RGB555", "BMP", 124, 16, win::BI_BITFIELDS},
    {"Fields565", "-define bmp:subtype=RGB565", "BMP", 124, 16, win::BI_BITFIELDS},
    {"True24", "-type TrueColor", "BMP3", 40, 24, win::BI_RGB},
    {"True24V5", "-type TrueColor", "BMP", 124, 24, win::BI_RGB},
    {"Alpha32", "-type TrueColorAlpha -define bmp3:alpha=true", "BMP3", 40, 32, win::BI_RGB},
    {"Alpha32Fields", "-type TrueColorAlpha", "BMP", 124, 32, win::BI_BITFIELDS},
};

std::uint32_t Get(const Bytes& in, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | in[at + std::size_t(i)];
  return v;
}

class BmpPeerTest : public ::testing::TestWithParam<PeerCase> {
 protected:
  void SetUp() override {
    if (access(kConvert, X_OK) != 0)
      GTEST_SKIP() << kConvert << " is missing (Debian's imagemagick package brings it)";
  }

  // Runs convert with the arguments; false when it fails.
  static bool Convert(const std::string& arguments) {
    const std::string command = std::string(kConvert) + " " + arguments + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
  }

  test_support::ScratchFolder folder_{"suotu-bmp-peer"};
  const std::string dir_ = folder_.Host() + "/";
};

TEST_P(BmpPeerTest, LoadsWithThePixelsThePeerReadsBack) {
  const PeerCase& c = GetParam();
  // Our pixels as a PPM for the peer to convert.
  std::string ppm = "P6 " + std::to_string(kWidth) + " " + std::to_string(kHeight) + " 255\n";
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Rgb p = Code(x, y);
      ppm += {char(p.r), char(p.g), char(p.b)};
    }
  }
  folder_.Write("in.ppm", ppm);
  const std::string bmpPath = dir_ + "out.bmp";
  ASSERT_TRUE(Convert("'" + dir_ + "in.ppm' " + c.options + " " + c.coder + ":'" + bmpPath + "'"));
  ASSERT_TRUE(Convert("'" + bmpPath + "' -depth 8 rgb:'" + dir_ + "out.rgb'"));
  const Bytes bmp = test_support::ReadBytes(bmpPath);
  const Bytes peer = test_support::ReadBytes(dir_ + "out.rgb");
  ASSERT_GE(bmp.size(), 30u);
  ASSERT_EQ(peer.size(), std::size_t(kWidth * kHeight * 3));

  // The peer wrote the form this case is about.
  ASSERT_EQ(Get(bmp, 14, 4), c.headerSize);
  ASSERT_EQ(Get(bmp, c.headerSize == 12 ? 24 : 28, 2), std::uint32_t(c.bits));
  if (c.headerSize != 12) {
    ASSERT_EQ(Get(bmp, 30, 4), c.compression);
  }

  TMemoryStream stream;
  stream.WriteBuffer(bmp.data(), std::int32_t(bmp.size()));
  stream.SetPosition(0);
  TBitmap bitmap;
  bitmap.ReadFromStream(stream);
  ASSERT_EQ(bitmap.Width(), kWidth);
  ASSERT_EQ(bitmap.Height(), kHeight);
  const std::vector<Rgb> pixels = Read24(bitmap);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const std::size_t i = std::size_t(y * kWidth + x);
      const Rgb theirs{peer[3 * i], peer[3 * i + 1], peer[3 * i + 2]};
      ASSERT_EQ(pixels[i], theirs) << "pixel " << x << "," << y;
    }
  }

  // What we write back from it, the peer reads as the same pixels.
  TMemoryStream written;
  bitmap.WriteToStream(written);
  folder_.Write("back.bmp", std::string_view(reinterpret_cast<const char*>(written.Memory()),
                                             std::size_t(written.Size())));
  if (c.compression == win::BI_RLE8) {
    EXPECT_EQ(test_support::ReadBytes(dir_ + "back.bmp"), bmp);
  }
  ASSERT_TRUE(Convert("'" + dir_ + "back.bmp' -depth 8 rgb:'" + dir_ + "back.rgb'"));
  EXPECT_EQ(test_support::ReadBytes(dir_ + "back.rgb"), peer);
}

INSTANTIATE_TEST_SUITE_P(ImageMagick, BmpPeerTest, ::testing::ValuesIn(kPeerCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
