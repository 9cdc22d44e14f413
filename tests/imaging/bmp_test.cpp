// BMP data: every header form and depth read and written back, run-length data kept byte for
// byte, bitmap resources, bits offsets, and malformed data refused without touching the image.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "tests/imaging/bitmap_test_support.h"

namespace {

using bitmap_test::Code;
using bitmap_test::MakeCoded24;
using bitmap_test::Read24;
using bitmap_test::Rgb;
using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
std::uint32_t Get(const Bytes& in, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | in[at + std::size_t(i)];
  return v;
}

// BMP data made field by field, so a test can forge any of them.
struct Bmp {
  static constexpr std::uint32_t kAuto = 0xFFFFFFFF;
  bool fileHeader = true;
  char magic[2] = {'B', 'M'};
  std::uint32_t headerSize = 40;  // 12: an OS/2 core header
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 24;
  std::uint32_t compression = win::BI_RGB;
  std::uint32_t imageSize = kAuto;  // the length of bits
  std::int32_t pixelsPerMetre = 3780;
  std::uint32_t colorsUsed = kAuto;  // the table's length
  std::uint32_t colorsImportant = 0;
  std::vector<std::uint32_t> masks;  // after a 40-byte header, inside a longer one
  std::vector<Rgb> table;
  std::uint32_t gap = 0;             // bytes between the table and the bits
  std::uint32_t bitsOffset = kAuto;  // where the bits start
  Bytes bits;

  Bytes Info() const {
    Bytes out;
    Put(out, headerSize, 4);
    if (headerSize == 12) {
      Put(out, std::uint32_t(width), 2);
      Put(out, std::uint32_t(height), 2);
      Put(out, planes, 2);
      Put(out, bitCount, 2);
    } else {
      Put(out, std::uint32_t(width), 4);
      Put(out, std::uint32_t(height), 4);
      Put(out, planes, 2);
      Put(out, bitCount, 2);
      Put(out, compression, 4);
      Put(out, imageSize == kAuto ? std::uint32_t(bits.size()) : imageSize, 4);
      Put(out, std::uint32_t(pixelsPerMetre), 4);
      Put(out, std::uint32_t(pixelsPerMetre), 4);
      Put(out, colorsUsed == kAuto ? std::uint32_t(table.size()) : colorsUsed, 4);
      Put(out, colorsImportant, 4);
      if (headerSize > 40)
        for (std::uint32_t m : masks) Put(out, m, 4);
      // Forged sizes beyond the longest real header are not laid out.
      const std::size_t laid = std::min<std::uint32_t>(headerSize, 124);
      out.resize(std::max(out.size(), laid), 0);
      out.resize(laid);
      if (headerSize == 40)
        for (std::uint32_t m : masks) Put(out, m, 4);
    }
    for (const Rgb& c : table) {
      out.insert(out.end(), {c.b, c.g, c.r});
      if (headerSize != 12) out.push_back(0);
    }
    out.resize(out.size() + gap, 0xEE);
    return out;
  }

  Bytes Data() const {
    const Bytes info = Info();
    Bytes out;
    if (fileHeader) {
      const auto total = std::uint32_t(14 + info.size() + bits.size());
      out.insert(out.end(), {std::uint8_t(magic[0]), std::uint8_t(magic[1])});
      Put(out, total, 4);
      Put(out, 0, 4);
      Put(out, bitsOffset == kAuto ? std::uint32_t(14 + info.size()) : bitsOffset, 4);
    }
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
  }
};

// Rows of values of the bit count in storage order: the bottom row first unless top-down.
Bytes PackRows(int width, int height, bool topDown, int bits,
               const std::function<std::uint32_t(int, int)>& value) {
  Bytes out;
  for (int s = 0; s < height; ++s) {
    const int y = topDown ? s : height - 1 - s;
    Bytes row;
    if (bits < 8) {
      int filled = 0;
      std::uint32_t acc = 0;
      for (int x = 0; x < width; ++x) {
        acc = acc << bits | (value(x, y) & ((1u << bits) - 1));
        filled += bits;
        if (filled == 8) row.push_back(std::uint8_t(acc)), acc = 0, filled = 0;
      }
      if (filled != 0) row.push_back(std::uint8_t(acc << (8 - filled)));
    } else {
      for (int x = 0; x < width; ++x) Put(row, value(x, y), bits / 8);
    }
    row.resize((row.size() + 3) & ~std::size_t{3}, 0);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// A channel of a packed pixel widened to 8 bits by repeating its high bits.
std::uint8_t Channel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!(mask >> shift & 1)) ++shift;
  int n = 0;
  while (mask >> (shift + n) & 1) ++n;
  std::uint32_t v = (value & mask) >> shift;
  if (n >= 8) return std::uint8_t(v >> (n - 8));
  std::uint32_t out = 0;
  for (int filled = 0; filled < 8; filled += n) out = out << n | v;
  return std::uint8_t(out >> (((8 + n - 1) / n) * n - 8));
}

Bytes StreamBytes(TMemoryStream& stream) {
  return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}
void Fill(TMemoryStream& stream, const Bytes& bytes) {
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), std::int32_t(bytes.size()));
  stream.SetPosition(0);
}
void ReadBytes(TBitmap& bitmap, const Bytes& bytes) {
  TMemoryStream stream;
  Fill(stream, bytes);
  bitmap.ReadFromStream(stream);
}
Bytes Written(TBitmap& bitmap) {
  TMemoryStream stream;
  bitmap.WriteToStream(stream);
  return StreamBytes(stream);
}
Bytes Stored(const Bytes& bmp) {
  Bytes out;
  Put(out, std::uint32_t(bmp.size()), 4);
  out.insert(out.end(), bmp.begin(), bmp.end());
  return out;
}

std::vector<Rgb> Table(int n) {
  std::vector<Rgb> table;
  for (int i = 0; i < n; ++i) table.push_back(Code(i, 7 * i + 1));
  return table;
}

// A small 8-bit image of four colours.
Bmp Sample() {
  Bmp bmp;
  bmp.width = 4;
  bmp.height = 2;
  bmp.bitCount = 8;
  bmp.table = Table(4);
  bmp.bits = Bytes(8, 1);
  return bmp;
}

class BmpTest : public bitmap_test::ScreenDepthTest {};

// --- Every depth, both row orders --------------------------------------------------------

struct DepthCase {
  const char* name;
  int bits;
  std::uint32_t compression;
  std::vector<std::uint32_t> masks;  // of the packed values (given for bit fields)
  TColorDepth depth;
};

const DepthCase kDepths[] = {
    {"Bits1", 1, win::BI_RGB, {}, TColorDepth::Depth1},
    {"Bits4", 4, win::BI_RGB, {}, TColorDepth::Depth4},
    {"Bits8", 8, win::BI_RGB, {}, TColorDepth::Depth8},
    {"Bits16x555", 16, win::BI_RGB, {}, TColorDepth::Depth15},
    {"Bits16x565", 16, win::BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, TColorDepth::Depth16},
    {"Bits24", 24, win::BI_RGB, {}, TColorDepth::Depth24},
    {"Bits32", 32, win::BI_RGB, {}, TColorDepth::Depth32},
    // Red in the low byte: the masks decide, not the usual order.
    {"Bits32Fields",
     32,
     win::BI_BITFIELDS,
     {0x0000FF, 0x00FF00, 0xFF0000},
     TColorDepth::DepthCustom},
};

void PrintTo(const DepthCase& c, std::ostream* os) {
  *os << c.name;
}

class BmpDepthTest : public ::testing::TestWithParam<std::tuple<DepthCase, bool>> {};

TEST_P(BmpDepthTest, ReadsEveryPixelAndWritesTheSameBytes) {
  const auto& [c, topDown] = GetParam();
  constexpr int kWidth = 13;  // odd, so every depth pads its rows
  constexpr int kHeight = 5;
  Bmp bmp;
  bmp.width = kWidth;
  bmp.height = topDown ? -kHeight : kHeight;
  bmp.bitCount = std::uint16_t(c.bits);
  bmp.compression = c.compression;
  bmp.masks = c.masks;
  std::vector<std::uint32_t> masks = c.masks;
  if (masks.empty())
    masks = c.bits == 16 ? std::vector<std::uint32_t>{0x7C00, 0x03E0, 0x001F}
                         : std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 0x0000FF};
  std::function<std::uint32_t(int, int)> value;
  std::function<Rgb(int, int)> expected;
  if (c.bits <= 8) {
    const int n = 1 << c.bits;
    bmp.table = Table(n);
    value = [n](int x, int y) { return std::uint32_t(x * 7 + y * 3) % std::uint32_t(n); };
    expected = [&](int x, int y) { return bmp.table[value(x, y)]; };
  } else {
    value = [masks](int x, int y) {
      const Rgb code = Code(x, y);
      std::uint32_t v = 0;
      const std::uint8_t channels[3] = {code.r, code.g, code.b};
      for (int i = 0; i < 3; ++i) {
        int shift = 0;
        while (!(masks[std::size_t(i)] >> shift & 1)) ++shift;
        v |= std::uint32_t(channels[i]) >> (8 - std::popcount(masks[std::size_t(i)])) << shift;
      }
      return v;
    };
    expected = [masks, value](int x, int y) {
      const std::uint32_t v = value(x, y);
      return Rgb{Channel(v, masks[0]), Channel(v, masks[1]), Channel(v, masks[2])};
    };
  }
  bmp.bits = PackRows(kWidth, kHeight, topDown, c.bits, value);
  const Bytes data = bmp.Data();

  TBitmap bitmap;
  ReadBytes(bitmap, data);
  ASSERT_EQ(bitmap.Width(), kWidth);
  ASSERT_EQ(bitmap.Height(), kHeight);
  EXPECT_EQ(bitmap.ColorDepth(), c.depth);
  EXPECT_EQ(bitmap.RowStep() > 0, topDown);
  const std::vector<Rgb> pixels = Read24(bitmap);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      ASSERT_EQ(pixels[std::size_t(y * kWidth + x)], expected(x, y)) << x << "," << y;

  EXPECT_EQ(Written(bitmap), data);
  TMemoryStream stored;
  bitmap.WriteStoredData(stored);
  EXPECT_EQ(StreamBytes(stored), Stored(data));
  stored.SetPosition(0);
  TBitmap again;
  again.ReadStoredData(stored);
  EXPECT_EQ(Read24(again), pixels);
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BmpDepthTest,
                         ::testing::Combine(::testing::ValuesIn(kDepths), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "TopDown" : "BottomUp");
                         });

// --- The stored button face ----------------------------------------------------------------

TEST_F(BmpTest, StoredFaceOf38By18ReadsAsEighteenRowsOf116Bytes) {
  Bmp bmp;
  bmp.width = 38;
  bmp.height = 18;
  bmp.pixelsPerMetre = 0;
  bmp.bits = PackRows(38, 18, false, 24, [](int x, int y) {
    const Rgb c = Code(x, y);
    return std::uint32_t(c.b) | std::uint32_t(c.g) << 8 | std::uint32_t(c.r) << 16;
  });
  ASSERT_EQ(bmp.bits.size(), 2088u);
  Bytes stored = Stored(bmp.Data());
  ASSERT_EQ(Get(stored, 0, 4), 2142u);
  ASSERT_EQ(Get(stored, 4 + 2, 4), 2142u);  // file size
  ASSERT_EQ(Get(stored, 4 + 10, 4), 54u);   // bits offset
  // What follows the stored data must be left for the next reader.
  stored.insert(stored.end(), {'N', 'E', 'X', 'T'});

  TMemoryStream stream;
  Fill(stream, stored);
  TBitmap face;
  face.ReadStoredData(stream);
  EXPECT_EQ(stream.Position(), 4 + 2142);
  EXPECT_EQ(face.Width(), 38);
  EXPECT_EQ(face.Height(), 18);
  EXPECT_EQ(face.ColorDepth(), TColorDepth::Depth24);
  EXPECT_EQ(face.RowStep(), -116);
  const std::vector<Rgb> pixels = Read24(face);
  EXPECT_EQ(pixels[0], Code(0, 0));
  EXPECT_EQ(pixels[17 * 38 + 37], Code(37, 17));
  EXPECT_EQ(pixels[9 * 38 + 20], Code(20, 9));

  TMemoryStream out;
  face.WriteStoredData(out);
  EXPECT_EQ(StreamBytes(out), Bytes(stored.begin(), stored.end() - 4));
}

// --- OS/2 core headers ---------------------------------------------------------------------

TEST_F(BmpTest, CoreHeaderIsWrittenBackAsACoreHeaderWithThreeByteEntries) {
  for (int bits : {1, 4, 8, 24}) {
    SCOPED_TRACE(bits);
    Bmp bmp;
    bmp.headerSize = 12;
    bmp.width = 9;
    bmp.height = 4;
    bmp.bitCount = std::uint16_t(bits);
    if (bits <= 8) bmp.table = Table(1 << bits);
    bmp.bits = PackRows(9, 4, false, bits, [bits](int x, int y) {
      return bits == 24 ? std::uint32_t(x * 0x102030 + y * 0x050607)
                        : std::uint32_t(x + y) % (1u << bits);
    });
    const Bytes data = bmp.Data();
    TBitmap bitmap;
    ReadBytes(bitmap, data);
    EXPECT_TRUE(bitmap.Image().OS2Format());
    EXPECT_EQ(bitmap.Width(), 9);
    if (bits <= 8) {
      EXPECT_EQ(Read24(bitmap)[1], bmp.table[1]);
    }
    EXPECT_EQ(Written(bitmap), data);
  }
}

TEST_F(BmpTest, CoreImageThatCannotStayCoreIsWrittenWithAWindowsHeader) {
  Bmp bmp;
  bmp.headerSize = 12;
  bmp.width = 3;
  bmp.height = 2;
  bmp.bits = PackRows(3, 2, false, 24, [](int x, int y) { return std::uint32_t(x + 10 * y); });
  TBitmap bitmap;
  ReadBytes(bitmap, bmp.Data());
  // 5-6-5 bit fields have no core form.
  bitmap.SetColorDepth(TColorDepth::Depth16);
  const Bytes out = Written(bitmap);
  EXPECT_EQ(Get(out, 14, 4), 40u);
  EXPECT_EQ(Get(out, 14 + 16, 4), win::BI_BITFIELDS);
  EXPECT_EQ(Get(out, 54, 4), 0xF800u);
}

// --- Run-length data -----------------------------------------------------------------------

struct RleCase {
  const char* name;
  int bits;
  Bytes data;
  // Expected indexes, top row first; -1 where nothing is written (the new bitmap's black).
  std::vector<std::vector<int>> rows;
};

// 6 x 3 images. RLE8: a run, an absolute run, end of line, a delta, a run overflowing its row
// (clipped), end of bitmap. RLE4: nibble runs and an odd absolute run.
const RleCase kRleCases[] = {
    {"Rle8",
     8,
     {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 9, 5, 0, 1},
     {{-1, -1, 5, 5, 5, 5}, {-1, -1, -1, -1, -1, -1}, {1, 1, 1, 2, 3, 4}}},
    {"Rle4",
     4,
     {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 0, 8, 0x67, 0, 1},
     {{6, 7, 6, 7, 6, 7}, {3, 4, 5, -1, -1, -1}, {1, 2, 1, 2, 1, -1}}},
};

void PrintTo(const RleCase& c, std::ostream* os) {
  *os << c.name;
}

class BmpRleTest : public ::testing::TestWithParam<RleCase> {
 protected:
  Bmp Make() const {
    Bmp bmp;
    bmp.width = 6;
    bmp.height = 3;
    bmp.bitCount = std::uint16_t(GetParam().bits);
    bmp.compression = GetParam().bits == 8 ? win::BI_RLE8 : win::BI_RLE4;
    bmp.table = Table(8);
    bmp.bits = GetParam().data;
    return bmp;
  }
  void ExpectPixels(const TBitmap& bitmap, const std::vector<Rgb>& table) const {
    const std::vector<Rgb> pixels = Read24(bitmap);
    const auto& rows = GetParam().rows;
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 6; ++x) {
        const int index = rows[std::size_t(y)][std::size_t(x)];
        const Rgb want = index < 0 ? Rgb{0, 0, 0} : table[std::size_t(index)];
        EXPECT_EQ(pixels[std::size_t(y * 6 + x)], want) << x << "," << y;
      }
    }
  }
};

TEST_P(BmpRleTest, DecodesIntoAScreenBitmapAndWritesTheSavedBytesBack) {
  const Bmp bmp = Make();
  const Bytes data = bmp.Data();
  TBitmap bitmap;
  ReadBytes(bitmap, data);
  EXPECT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceDependent);
  EXPECT_EQ(bitmap.Width(), 6);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_NE(bitmap.Palette(), nullptr);
  EXPECT_TRUE(bitmap.PaletteModified());
  ExpectPixels(bitmap, bmp.table);
  EXPECT_EQ(Written(bitmap), data);

  // A sharer that only reads keeps the saved bytes too.
  TBitmap sharer;
  sharer.CopyFrom(&bitmap);
  TMemoryStream stored;
  sharer.WriteStoredData(stored);
  EXPECT_EQ(StreamBytes(stored), Stored(data));
}

TEST_P(BmpRleTest, ChangedImageIsWrittenAsAScreenDepthDibWithThePaletteAsTable) {
  const Bmp bmp = Make();
  TBitmap bitmap;
  ReadBytes(bitmap, bmp.Data());
  bitmap.Canvas().SetPixels(5, 0, clRed);
  const Bytes out = Written(bitmap);
  ASSERT_GE(out.size(), 54u);
  EXPECT_EQ(Get(out, 14 + 14, 2), 32u);  // the screen's depth
  EXPECT_EQ(Get(out, 14 + 16, 4), win::BI_RGB);
  EXPECT_EQ(Get(out, 14 + 32, 4), 8u);           // colours used: the palette's entries
  EXPECT_EQ(Get(out, 10, 4), 14u + 40 + 4 * 8);  // bits after the table
  TBitmap again;
  ReadBytes(again, out);
  std::vector<Rgb> pixels = Read24(again);
  EXPECT_EQ(pixels[5], (Rgb{255, 0, 0}));
  EXPECT_EQ(pixels[2 * 6 + 0], bmp.table[std::size_t(GetParam().rows[2][0])]);
}

TEST_P(BmpRleTest, ResourceGetsAFileHeaderInItsSavedBytes) {
  Bmp bmp = Make();
  const Bytes file = bmp.Data();
  bmp.fileHeader = false;
  const Bytes resource = bmp.Data();
  TBitmap bitmap;
  bitmap.LoadFromResourceData(resource.data(), resource.size());
  ExpectPixels(bitmap, bmp.table);
  EXPECT_EQ(Written(bitmap), file);
}

TEST_P(BmpRleTest, RunsPastTheImageAreDroppedAndShortDataLeavesTheRestBlack) {
  Bmp bmp = Make();
  // Long runs on every row, then a delta far outside the image, then more data.
  bmp.bits = {255, 1, 0, 0, 255, 2, 0, 0, 255, 3, 0, 0, 255, 4, 0, 2, 200, 200, 4, 5};
  bmp.table[0] = {0, 0, 0};
  TBitmap bitmap;
  ReadBytes(bitmap, bmp.Data());
  const std::vector<Rgb> pixels = Read24(bitmap);
  EXPECT_EQ(pixels[0], bmp.table[bmp.bitCount == 8 ? 3 : 0]);
  EXPECT_EQ(pixels[2 * 6 + 5], bmp.table[1]);
  // The image size claims more than there is: only what is there is decoded.
  bmp.bits = {2, 1};
  bmp.imageSize = 4000;
  ReadBytes(bitmap, bmp.Data());
  EXPECT_EQ(Read24(bitmap)[2 * 6 + 2], (Rgb{0, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(BothDepths, BmpRleTest, ::testing::ValuesIn(kRleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Screen bitmaps, empty data, resources -------------------------------------------------

TEST_F(BmpTest, ScreenBitmapOnATrueColourScreenIsA32BitRgbDib) {
  TBitmap bitmap;
  bitmap.SetWidth(3);
  bitmap.SetHeight(2);
  bitmap.Canvas().SetPixels(0, 0, clRed);
  ASSERT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceDependent);
  const Bytes out = Written(bitmap);
  ASSERT_EQ(out.size(), 14u + 40 + 2 * 12);
  EXPECT_EQ(Get(out, 2, 4), out.size());
  EXPECT_EQ(Get(out, 10, 4), 54u);
  EXPECT_EQ(Get(out, 14, 4), 40u);
  EXPECT_EQ(Get(out, 18, 4), 3u);
  EXPECT_EQ(Get(out, 22, 4), 2u);  // bottom-up
  EXPECT_EQ(Get(out, 28, 2), 32u);
  EXPECT_EQ(Get(out, 30, 4), win::BI_RGB);
  EXPECT_EQ(Get(out, 34, 4), 24u);
  EXPECT_EQ(Get(out, 46, 4), 0u);  // no colour table
  // Top-left pixel: the first of the last row, blue green red.
  EXPECT_EQ(Get(out, 54 + 12, 3), 0xFF0000u);
  EXPECT_EQ(Get(out, 54, 3), 0xFFFFFFu);
}

TEST_F(BmpTest, ScreenBitmapOnASixteenBitScreenIsA565Dib) {
  win::SetScreenDepth(16);
  TBitmap bitmap;
  bitmap.SetWidth(2);
  bitmap.SetHeight(2);
  const Bytes out = Written(bitmap);
  EXPECT_EQ(Get(out, 10, 4), 14u + 52);
  EXPECT_EQ(Get(out, 30, 4), win::BI_BITFIELDS);
  EXPECT_EQ(Get(out, 54, 4), 0xF800u);
  EXPECT_EQ(Get(out, 58, 4), 0x07E0u);
}

TEST_F(BmpTest, LengthZeroEmptiesTheBitmapAndAnEmptyBitmapWritesOnlyTheLength) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 2, 2);
  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  TMemoryStream zero;
  Fill(zero, {0, 0, 0, 0});
  bitmap.ReadStoredData(zero);
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(changes, 1);
  TMemoryStream stored;
  bitmap.WriteStoredData(stored);
  EXPECT_EQ(StreamBytes(stored), Bytes(4, 0));
  EXPECT_TRUE(Written(bitmap).empty());
  // An empty stream reads as an empty image as well.
  MakeCoded24(bitmap, 2, 2);
  ReadBytes(bitmap, {});
  EXPECT_TRUE(bitmap.IsEmpty());
}

TEST_F(BmpTest, ResourceIsReadFromItsInfoHeaderOn) {
  Bmp bmp;
  bmp.fileHeader = false;
  bmp.width = 4;
  bmp.height = 3;
  bmp.bitCount = 8;
  bmp.table = Table(5);
  bmp.bits = PackRows(4, 3, false, 8, [](int x, int y) { return std::uint32_t(x + y) % 5; });
  const Bytes resource = bmp.Data();
  TBitmap bitmap;
  bitmap.LoadFromResourceData(resource.data(), resource.size());
  const std::vector<Rgb> pixels = Read24(bitmap);
  EXPECT_EQ(pixels[0], bmp.table[0]);
  EXPECT_EQ(pixels[2 * 4 + 3], bmp.table[0]);
  EXPECT_EQ(pixels[1 * 4 + 2], bmp.table[3]);
  bmp.fileHeader = true;
  EXPECT_EQ(Written(bitmap), bmp.Data());
  // A resource has no "BM" to check.
  bitmap.LoadFromResourceData(resource.data(), 0);
  EXPECT_TRUE(bitmap.IsEmpty());
}

TEST_F(BmpTest, ColourTableAboveEightBitsBecomesThePaletteAndIsWrittenBack) {
  Bmp bmp;
  bmp.width = 2;
  bmp.height = 2;
  bmp.table = Table(3);
  bmp.bits = PackRows(2, 2, false, 24, [](int x, int y) { return std::uint32_t(x * 99 + y); });
  const Bytes data = bmp.Data();
  TBitmap bitmap;
  ReadBytes(bitmap, data);
  ASSERT_NE(bitmap.Palette(), nullptr);
  EXPECT_TRUE(bitmap.PaletteModified());
  win::PALETTEENTRY entries[4] = {};
  ASSERT_EQ(win::GetPaletteEntries(bitmap.Palette(), 0, 4, entries), 3u);
  EXPECT_EQ(entries[2].peRed, bmp.table[2].r);
  EXPECT_EQ(Written(bitmap), data);
}

TEST_F(BmpTest, ColourTableIsWrittenWhileTheCanvasHoldsTheImage) {
  Bmp bmp = Sample();
  bmp.bits = PackRows(4, 2, false, 8, [](int x, int) { return std::uint32_t(x); });
  TBitmap bitmap;
  ReadBytes(bitmap, bmp.Data());
  // The canvas's context now has the section selected; no other context can select it.
  EXPECT_EQ(bitmap.Canvas().Pixels(3, 0), win::RGB(bmp.table[3].r, bmp.table[3].g, bmp.table[3].b));
  const Bytes out = Written(bitmap);
  ASSERT_GE(Get(out, 14 + 32, 4), 4u);
  for (std::uint32_t i = 0; i < 4; ++i)
    EXPECT_EQ(Get(out, 54 + 4 * i, 3),
              std::uint32_t(bmp.table[i].b | bmp.table[i].g << 8 | bmp.table[i].r << 16));
  TBitmap again;
  ReadBytes(again, out);
  EXPECT_EQ(Read24(again), Read24(bitmap));
}

TEST_F(BmpTest, LongerHeadersAreCutToFortyBytesWithTheirMasksAfter) {
  for (std::uint32_t headerSize : {52u, 56u, 108u, 124u}) {
    SCOPED_TRACE(headerSize);
    Bmp bmp;
    bmp.headerSize = headerSize;
    bmp.width = 3;
    bmp.height = 2;
    bmp.bitCount = 16;
    bmp.compression = win::BI_BITFIELDS;
    bmp.masks = {0x7C00, 0x03E0, 0x001F};
    bmp.bits = PackRows(3, 2, false, 16, [](int x, int y) { return std::uint32_t(x << 10 | y); });
    TBitmap bitmap;
    ReadBytes(bitmap, bmp.Data());
    EXPECT_EQ(Read24(bitmap)[2], (Rgb{16, 0, 0}));
    EXPECT_EQ(Read24(bitmap)[5], (Rgb{16, 0, 8}));
    bmp.headerSize = 40;
    EXPECT_EQ(Written(bitmap), bmp.Data());
  }
}

// --- The bits offset -----------------------------------------------------------------------

TEST_F(BmpTest, BitsOffsetIsHonouredOnlyWhenItLiesAfterTheTableAndInsideTheData) {
  Bmp bmp;
  bmp.width = 2;
  bmp.height = 1;
  bmp.bitCount = 8;
  bmp.table = Table(4);
  bmp.bits = {1, 2, 0, 0};
  const std::uint32_t tableEnd = 14 + 40 + 16;
  struct Case {
    const char* why;
    std::uint32_t gap;
    std::uint32_t offset;
    Rgb first;
  };
  const Case cases[] = {
      {"a gap the offset tells of", 6, tableEnd + 6, bmp.table[1]},
      {"an offset inside the table", 0, tableEnd - 8, bmp.table[1]},
      {"an offset past the end", 0, 5000, bmp.table[1]},
      {"no gap but an offset into the bits", 0, tableEnd + 1, bmp.table[2]},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    bmp.gap = c.gap;
    bmp.bitsOffset = c.offset;
    TBitmap bitmap;
    ReadBytes(bitmap, bmp.Data());
    EXPECT_EQ(Read24(bitmap)[0], c.first);
  }
}

// --- Data that is not right ----------------------------------------------------------------

enum class Failure { Invalid, Read, System };

struct MalformedCase {
  const char* name;
  std::function<void(Bmp&)> forge;
  Failure failure;
  std::function<void(Bytes&)> cut = nullptr;  // applied to the finished bytes
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
  *os << c.name;
}

const MalformedCase kMalformed[] = {
    {"NoBM", [](Bmp& b) { b.magic[0] = 'X'; }, Failure::Invalid},
    {"TwoPlanes", [](Bmp& b) { b.planes = 2; }, Failure::Invalid},
    {"SevenBits", [](Bmp& b) { b.bitCount = 7; }, Failure::Invalid},
    {"NoBits", [](Bmp& b) { b.bitCount = 0; }, Failure::Invalid},
    {"ZeroWidth", [](Bmp& b) { b.width = 0; }, Failure::Invalid},
    {"NegativeWidth", [](Bmp& b) { b.width = -4; }, Failure::Invalid},
    {"ZeroHeight", [](Bmp& b) { b.height = 0; }, Failure::Invalid},
    {"LowestHeight", [](Bmp& b) { b.height = INT32_MIN; }, Failure::Invalid},
    {"Beyond2GB",
     [](Bmp& b) {
       b.width = 40000;
       b.height = -40000;
       b.bitCount = 32;
       b.table.clear();
     },
     Failure::Invalid},
    {"CoreHeaderBeyond2GB",
     [](Bmp& b) {
       b.headerSize = 12;
       b.width = 0xFFFF;
       b.height = 0xFFFF;
       b.bitCount = 24;
       b.table.clear();
     },
     Failure::Invalid},
    {"HeaderOfEightBytes", [](Bmp& b) { b.headerSize = 8; }, Failure::Invalid},
    {"HeaderLongerThanTheData", [](Bmp& b) { b.headerSize = 0xFFFFFFF0; }, Failure::Read},
    {"ColoursUsedBeyondTheData",
     [](Bmp& b) {
       b.bitCount = 24;
       b.colorsUsed = 0xFFFFFFFE;
     },
     Failure::Read},
    {"MasksMissing",
     [](Bmp& b) {
       b.bitCount = 16;
       b.compression = win::BI_BITFIELDS;
       b.table.clear();
       b.bits.clear();
     },
     Failure::Read},
    {"CutInTheFileHeader", nullptr, Failure::Read, [](Bytes& d) { d.resize(10); }},
    {"CutInTheInfoHeader", nullptr, Failure::Read, [](Bytes& d) { d.resize(30); }},
    {"CutInTheColourTable", nullptr, Failure::Read, [](Bytes& d) { d.resize(14 + 40 + 6); }},
    {"OverlappingMasks",
     [](Bmp& b) {
       b.bitCount = 16;
       b.compression = win::BI_BITFIELDS;
       b.masks = {0xFF00, 0x0FF0, 0x000F};
       b.table.clear();
     },
     Failure::System},
    {"BitFieldsAt24Bits",
     [](Bmp& b) {
       b.bitCount = 24;
       b.compression = win::BI_BITFIELDS;
       b.table.clear();
     },
     Failure::System},
    {"UnknownCompression", [](Bmp& b) { b.compression = 4; }, Failure::System},
    {"TopDownRunLength",
     [](Bmp& b) {
       b.compression = win::BI_RLE8;
       b.height = -2;
     },
     Failure::System},
    {"RunLength8AtFourBits",
     [](Bmp& b) {
       b.compression = win::BI_RLE8;
       b.bitCount = 4;
     },
     Failure::System},
    {"RunLengthWithoutData",
     [](Bmp& b) {
       b.compression = win::BI_RLE8;
       b.bits.clear();
     },
     Failure::System},
};

class BmpMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(BmpMalformedTest, RaisesItsClassAndKeepsThePreviousImage) {
  const MalformedCase& c = GetParam();
  Bmp bmp = Sample();
  if (c.forge) c.forge(bmp);
  Bytes data = bmp.Data();
  if (c.cut) c.cut(data);
  TBitmap bitmap;
  MakeCoded24(bitmap, 3, 2);
  const std::vector<Rgb> before = Read24(bitmap);
  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  try {
    ReadBytes(bitmap, data);
    ADD_FAILURE() << "no failure";
  } catch (const EOSError& e) {
    EXPECT_EQ(c.failure, Failure::System) << e.Message();
    EXPECT_EQ(e.ErrorCode(), win::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(e.Message().rfind("System Error.  Code: 87.\r\n", 0), 0u) << e.Message();
  } catch (const EReadError& e) {
    EXPECT_EQ(c.failure, Failure::Read);
    EXPECT_EQ(e.Message(), strings::kReadError);
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(c.failure, Failure::Invalid);
    EXPECT_EQ(e.Message(), strings::kInvalidBitmap);
  }
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_EQ(Read24(bitmap), before);

  // As a resource (without its file header) the same data fails the same way.
  if (c.failure != Failure::Read && bmp.magic[0] == 'B') {
    bmp.fileHeader = false;
    const Bytes resource = bmp.Data();
    EXPECT_THROW(bitmap.LoadFromResourceData(resource.data(), resource.size()), Exception);
    EXPECT_EQ(Read24(bitmap), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BmpMalformedTest, ::testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BmpTest, StoredLengthBeyondTheStreamIsAReadError) {
  Bytes stored = Stored(Sample().Data());
  stored.resize(stored.size() - 1);
  TMemoryStream stream;
  Fill(stream, stored);
  TBitmap bitmap;
  EXPECT_THROW(bitmap.ReadStoredData(stream), EReadError);
  EXPECT_TRUE(bitmap.IsEmpty());
}

TEST_F(BmpTest, StoredLengthShorterThanTheBitsReadsNoFurther) {
  // Bits cut by the stated length stay black; the bytes after it are not taken.
  Bmp bmp = Sample();
  bmp.table[0] = {0, 0, 0};
  bmp.bits = Bytes(8, 2);
  Bytes data = bmp.Data();
  Bytes stored;
  Put(stored, std::uint32_t(data.size() - 4), 4);
  stored.insert(stored.end(), data.begin(), data.end());
  TMemoryStream stream;
  Fill(stream, stored);
  TBitmap bitmap;
  bitmap.ReadStoredData(stream);
  EXPECT_EQ(stream.Position(), std::int64_t(stored.size() - 4));
  const std::vector<Rgb> pixels = Read24(bitmap);
  EXPECT_EQ(pixels[0], bmp.table[0]);  // the top row came last and was cut
  EXPECT_EQ(pixels[4], bmp.table[2]);
}

TEST_F(BmpTest, OddButReadableCountsAreCutToWhatTheImageCanUse) {
  Bmp bmp = Sample();
  bmp.table = Table(256);
  bmp.colorsUsed = 300;  // more than 8 bits can index: the table is the first 256
  bmp.imageSize = 0x7FFFFFFF;
  bmp.bits = Bytes{3, 3, 3, 3, 255, 255, 255, 255};
  TBitmap bitmap;
  ReadBytes(bitmap, bmp.Data());
  EXPECT_EQ(Read24(bitmap)[0], bmp.table[255]);
  EXPECT_EQ(Read24(bitmap)[4], bmp.table[3]);
  // A short header leaves its missing fields zero.
  Bmp shortHeader = Sample();
  shortHeader.headerSize = 16;
  shortHeader.table = Table(256);
  TBitmap other;
  ReadBytes(other, shortHeader.Data());
  EXPECT_EQ(other.Width(), 4);
  EXPECT_EQ(Read24(other)[0], shortHeader.table[1]);
}

}  // namespace
