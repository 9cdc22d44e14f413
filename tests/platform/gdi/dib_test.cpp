// DIB transfers: GetDIBits, SetDIBits, CreateDIBitmap, and run-length data.
#include <gtest/gtest.h>

#include <vector>

#include "tests/platform/gdi/gdi_test_util.h"

namespace win {
namespace {

using test::Canvas;
using test::CoordinateColor;
using test::DibLayout;
using test::Layout;

BITMAPINFO Header(int width, int height, int bpp, DWORD compression = BI_RGB) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = WORD(bpp);
  info.bmiHeader.biCompression = compression;
  return info;
}

// A DDB of the screen's format holding coordinate colours.
HBITMAP CoordinateDdb(int width, int height) {
  HDC screen = GetDC(nullptr);
  HBITMAP ddb = CreateCompatibleBitmap(screen, width, height);
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(CoordinateColor(x, y));
  }
  BITMAPINFO info = Header(width, -height, 32);
  EXPECT_EQ(SetDIBits(screen, ddb, 0, UINT(height), pixels.data(), &info, DIB_RGB_COLORS), height);
  ReleaseDC(nullptr, screen);
  return ddb;
}

// 32-bit top-down copy of any bitmap, through GetDIBits.
std::vector<std::uint32_t> Pixels(HBITMAP bitmap, int width, int height) {
  std::vector<std::uint32_t> out(std::size_t(width * height));
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info = Header(width, -height, 32);
  EXPECT_EQ(GetDIBits(dc, bitmap, 0, UINT(height), out.data(), &info, DIB_RGB_COLORS), height);
  DeleteDC(dc);
  for (auto& v : out) v &= 0xFFFFFF;
  return out;
}

TEST(GetDIBits, WithoutBitsDescribesTheBitmap) {
  HBITMAP ddb = CoordinateDdb(5, 3);
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  EXPECT_NE(GetDIBits(dc, ddb, 0, 3, nullptr, &info, DIB_RGB_COLORS), 0);
  EXPECT_EQ(info.bmiHeader.biWidth, 5);
  EXPECT_EQ(info.bmiHeader.biHeight, 3);
  EXPECT_EQ(info.bmiHeader.biBitCount, 32);
  EXPECT_EQ(info.bmiHeader.biCompression, BI_RGB);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 60u);

  // Asking for 8 bits fills the size and the colour table the rows would use.
  info = Header(5, 3, 8);
  EXPECT_NE(GetDIBits(dc, ddb, 0, 3, nullptr, &info, DIB_RGB_COLORS), 0);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 24u);
  EXPECT_EQ(info.bmiColors[255].rgbRed, 255);
  EXPECT_EQ(info.bmiColors[249].rgbRed, 255);
  EXPECT_EQ(info.bmiColors[249].rgbGreen, 0);
  DeleteObject(ddb);

  {
    test::ScreenDepthScope depth(16);
    HBITMAP hi = CoordinateDdb(2, 2);
    info = BITMAPINFO{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_NE(GetDIBits(dc, hi, 0, 2, nullptr, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.bmiHeader.biBitCount, 16);
    EXPECT_EQ(info.bmiHeader.biCompression, BI_BITFIELDS);
    DWORD masks[3];
    std::memcpy(masks, info.bmiColors, sizeof masks);
    EXPECT_EQ(masks[0], 0xF800u);
    EXPECT_EQ(masks[1], 0x07E0u);
    EXPECT_EQ(masks[2], 0x001Fu);
    DeleteObject(hi);
  }
  DeleteDC(dc);
}

// In a bottom-up layout scan 0 is the picture's bottom row; a partial request fills the buffer
// from its first scan.
TEST(GetDIBits, ScanLinesCountFromTheBottomOfABottomUpLayout) {
  HBITMAP ddb = CoordinateDdb(4, 5);
  HDC dc = CreateCompatibleDC(nullptr);
  std::vector<std::uint8_t> rows(12 * 5, 0xEE);  // 4 pixels of 3 bytes: no row padding
  BITMAPINFO info = Header(4, 5, 24);
  ASSERT_EQ(GetDIBits(dc, ddb, 1, 2, rows.data(), &info, DIB_RGB_COLORS), 2);
  for (int k = 0; k < 2; ++k) {
    int y = 5 - 1 - (1 + k);  // picture row of scan 1 + k
    for (int x = 0; x < 4; ++x) {
      const std::uint8_t* p = rows.data() + k * 12 + x * 3;
      EXPECT_EQ(std::uint32_t(p[0] | p[1] << 8 | p[2] << 16), CoordinateColor(x, y))
          << x << "," << k;
    }
  }
  EXPECT_EQ(rows[24], 0xEE);  // nothing beyond the two scans asked for
  EXPECT_EQ(GetDIBits(dc, ddb, 5, 1, rows.data(), &info, DIB_RGB_COLORS), 0);
  DeleteDC(dc);
  DeleteObject(ddb);
}

TEST(GetDIBits, MonochromeReadsAsBlackAndWhiteWhateverTheDcColours) {
  const BYTE bits[1][2] = {{0xA0, 0}};
  HBITMAP mono = CreateBitmap(3, 1, 1, 1, bits);
  HDC dc = CreateCompatibleDC(nullptr);
  SetTextColor(dc, RGB(255, 0, 0));
  SetBkColor(dc, RGB(0, 0, 255));
  std::uint32_t out[3];
  BITMAPINFO info = Header(3, 1, 32);
  ASSERT_EQ(GetDIBits(dc, mono, 0, 1, out, &info, DIB_RGB_COLORS), 1);
  EXPECT_EQ(out[0] & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(out[1] & 0xFFFFFF, 0u);
  EXPECT_EQ(out[2] & 0xFFFFFF, 0xFFFFFFu);
  // Reading back at 1 bit: black and white colour table, bits unchanged.
  BITMAPINFO one = Header(3, 1, 1);
  std::uint8_t packed[4]{};
  ASSERT_EQ(GetDIBits(dc, mono, 0, 1, packed, &one, DIB_RGB_COLORS), 1);
  EXPECT_EQ(packed[0] & 0xE0, 0xA0);
  EXPECT_EQ(one.bmiColors[0].rgbRed, 0);
  EXPECT_EQ(one.bmiColors[1].rgbRed, 255);
  DeleteDC(dc);
  DeleteObject(mono);
}

TEST(SetDIBits, IndexedAndHighColourSourcesUseTheirFormats) {
  HBITMAP ddb = CoordinateDdb(4, 2);
  HDC dc = CreateCompatibleDC(nullptr);
  // 1 bit with a red/blue table.
  BITMAPINFO one = Header(4, 1, 1);
  one.bmiColors[0] = {0, 0, 255, 0};
  one.bmiColors[1] = {255, 0, 0, 0};
  std::uint8_t bits1[4] = {0x50, 0, 0, 0};                              // 0 1 0 1
  ASSERT_EQ(SetDIBits(dc, ddb, 0, 1, bits1, &one, DIB_RGB_COLORS), 1);  // bottom row
  // 4 bits, top-down, two colours used.
  BITMAPINFO four = Header(4, -1, 4);
  four.bmiHeader.biClrUsed = 2;
  four.bmiColors[0] = {1, 2, 3, 0};
  four.bmiColors[1] = {4, 5, 6, 0};
  std::uint8_t bits4[4] = {0x01, 0x10, 0, 0};
  ASSERT_EQ(SetDIBits(dc, ddb, 0, 1, bits4, &four, DIB_RGB_COLORS), 1);  // top row
  auto p = Pixels(ddb, 4, 2);
  EXPECT_EQ(p[0], 0x030201u);
  EXPECT_EQ(p[1], 0x060504u);
  EXPECT_EQ(p[2], 0x060504u);
  EXPECT_EQ(p[3], 0x030201u);
  EXPECT_EQ(p[4], 0xFF0000u);
  EXPECT_EQ(p[5], 0x0000FFu);

  BITMAPINFO hi = Header(2, 1, 16);  // 5-5-5
  std::uint16_t bits16[2] = {0x7C00, 0x0021};
  ASSERT_EQ(SetDIBits(dc, ddb, 0, 1, bits16, &hi, DIB_RGB_COLORS), 1);
  p = Pixels(ddb, 4, 2);
  EXPECT_EQ(p[4], 0xFF0000u);
  EXPECT_EQ(p[5], 0x000808u);  // green 1 and blue 1 widen to 8
  EXPECT_EQ(p[6], 0xFF0000u);  // beyond the DIB's width: untouched
  DeleteDC(dc);
  DeleteObject(ddb);
}

TEST(CreateDIBitmap, InitialisesADeviceBitmapFromDibBits) {
  BITMAPINFO info = Header(3, 2, 8);
  info.bmiColors[0] = {10, 20, 30, 0};
  info.bmiColors[7] = {70, 80, 90, 0};
  std::uint8_t bits[8] = {7, 0, 7, 0, 0, 7, 0, 0};  // bottom row first
  HBITMAP ddb = CreateDIBitmap(nullptr, &info.bmiHeader, CBM_INIT, bits, &info, DIB_RGB_COLORS);
  ASSERT_NE(ddb, nullptr);
  BITMAP bm{};
  GetObjectA(ddb, sizeof bm, &bm);
  EXPECT_EQ(bm.bmBitsPixel, ScreenDepth());
  EXPECT_EQ(bm.bmBits, nullptr);
  auto p = Pixels(ddb, 3, 2);
  EXPECT_EQ(p[0], 0x1E140Au);  // top row = second stored row: 0 7 0
  EXPECT_EQ(p[1], 0x5A5046u);
  EXPECT_EQ(p[3], 0x5A5046u);  // bottom row: 7 0 7
  EXPECT_EQ(p[4], 0x1E140Au);
  DeleteObject(ddb);
}

// Run-length data decoded through CreateDIBitmap; returns the picture, with 0xFFFFFFFF where no
// run wrote (a new DDB is black and the colour table has no black).
struct Rle {
  int width, height, bpp;
  std::vector<std::uint8_t> data;
};

std::vector<std::uint32_t> DecodeRle(const Rle& r, HBITMAP* result = nullptr) {
  BITMAPINFO info = Header(r.width, r.height, r.bpp, r.bpp == 8 ? BI_RLE8 : BI_RLE4);
  info.bmiHeader.biSizeImage = DWORD(r.data.size());
  for (int i = 0; i < 16; ++i) info.bmiColors[i] = {BYTE(i), BYTE(100 + i), 0, 0};
  // Copy the data into a buffer of exactly its size, so reading past it trips ASan.
  std::vector<std::uint8_t> exact(r.data);
  HBITMAP ddb =
      CreateDIBitmap(nullptr, &info.bmiHeader, CBM_INIT, exact.data(), &info, DIB_RGB_COLORS);
  if (result) *result = ddb;
  if (!ddb) return {};
  auto p = Pixels(ddb, r.width, std::abs(r.height));
  if (!result) DeleteObject(ddb);
  for (auto& v : p) v = v == 0 ? 0xFFFFFFFF : (v >> 8 & 0xFF) - 100;  // index from green
  return p;
}

constexpr std::uint32_t kNone = 0xFFFFFFFF;

TEST(Rle, EightBitRunsAbsoluteRunsDeltasAndEnds) {
  Rle r{6, 3, 8, {0x03, 0x01, 0x00, 0x03, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00,  // bottom row
                  0x00, 0x02, 0x02, 0x00, 0x02, 0x05, 0x00, 0x00,              // delta 2, run
                  0x01, 0x06, 0x00, 0x01,                                      // top, end
                  0x09, 0x09}};  // after the end: ignored
  auto p = DecodeRle(r);
  const std::uint32_t expected[] = {6,     kNone, kNone, kNone, kNone, kNone,  //
                                    kNone, kNone, 5,     5,     kNone, kNone,  //
                                    1,     1,     1,     2,     3,     4};
  ASSERT_EQ(p.size(), 18u);
  for (int i = 0; i < 18; ++i) EXPECT_EQ(p[std::size_t(i)], expected[i]) << i;
}

TEST(Rle, FourBitRunsAlternateNibbles) {
  Rle r{5, 2, 4, {0x05, 0x12, 0x00, 0x00, 0x00, 0x03, 0x34, 0x50, 0x00, 0x01}};
  auto p = DecodeRle(r);
  const std::uint32_t expected[] = {3, 4, 5, kNone, kNone, 1, 2, 1, 2, 1};
  ASSERT_EQ(p.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[std::size_t(i)], expected[i]) << i;
}

// Hostile counts: nothing is read past the data, nothing written outside the picture, and an
// overlong run does not spill into the next row.
TEST(Rle, MaliciousRunsAreClipped) {
  struct Case {
    const char* why;
    Rle rle;
    std::vector<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"run longer than the row",
       {4, 2, 8, {0xFF, 0x07, 0x00, 0x00, 0x02, 0x03}},
       {3, 3, kNone, kNone, 7, 7, 7, 7}},
      {"absolute run longer than the data",
       {4, 1, 8, {0x00, 0xFF, 0x01, 0x02}},
       {1, 2, kNone, kNone}},
      {"absolute run wider than the row",
       {3, 2, 8, {0x00, 0x05, 1, 2, 3, 4, 5, 0x00, 0x02, 0x06}},
       {kNone, kNone, kNone, 1, 2, 3}},
      {"delta far outside",
       {4, 1, 8, {0x00, 0x02, 0xFF, 0xFF, 0x05, 0x01, 0x02, 0x02}},
       {kNone, kNone, kNone, kNone}},
      {"delta past the right edge",
       {4, 2, 8, {0x00, 0x02, 0x03, 0x00, 0x04, 0x01}},
       {kNone, kNone, kNone, kNone, kNone, kNone, kNone, 1}},
      {"truncated pair", {4, 1, 8, {0x03, 0x01, 0x05}}, {1, 1, 1, kNone}},
      {"more line ends than rows",
       {2, 2, 8, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01}},
       {kNone, kNone, kNone, kNone}},
      {"truncated delta", {2, 1, 8, {0x01, 0x03, 0x00, 0x02, 0x01}}, {3, kNone}},
      {"four-bit run longer than the row", {3, 1, 4, {0xFF, 0x12, 0x00, 0x01}}, {1, 2, 1}},
      {"four-bit absolute run past the data", {4, 1, 4, {0x00, 0x09, 0x34}}, {3, 4, kNone, kNone}},
  };
  for (const Case& c : cases) {
    auto p = DecodeRle(c.rle);
    ASSERT_EQ(p.size(), c.expected.size()) << c.why;
    for (std::size_t i = 0; i < p.size(); ++i) EXPECT_EQ(p[i], c.expected[i]) << c.why << " " << i;
  }
}

TEST(Rle, UnboundedOrTopDownDataIsRefused) {
  BITMAPINFO info = Header(4, 1, 8, BI_RLE8);
  std::uint8_t data[4] = {0x02, 0x01, 0x00, 0x01};
  info.bmiHeader.biSizeImage = 0;  // no size: the data cannot be bounded
  SetLastError(0);
  EXPECT_EQ(CreateDIBitmap(nullptr, &info.bmiHeader, CBM_INIT, data, &info, DIB_RGB_COLORS),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  info = Header(4, -1, 8, BI_RLE8);
  info.bmiHeader.biSizeImage = 4;
  EXPECT_EQ(CreateDIBitmap(nullptr, &info.bmiHeader, CBM_INIT, data, &info, DIB_RGB_COLORS),
            nullptr);
  info = Header(4, 1, 4, BI_RLE8);  // RLE8 needs 8 bits
  info.bmiHeader.biSizeImage = 4;
  EXPECT_EQ(CreateDIBitmap(nullptr, &info.bmiHeader, CBM_INIT, data, &info, DIB_RGB_COLORS),
            nullptr);
}

// Random byte soup must never read or write out of bounds (checked under ASan).
TEST(Rle, RandomDataDecodesWithoutStrayAccess) {
  test::Random random(7);
  for (int round = 0; round < 300; ++round) {
    Rle r{random.Range(1, 9), random.Range(1, 9), round % 2 ? 8 : 4, {}};
    int n = random.Range(1, 64);
    for (int i = 0; i < n; ++i) {
      std::uint32_t v = random.Next();
      r.data.push_back(BYTE(v % 4 == 0 ? 0 : v >> 8));
    }
    auto p = DecodeRle(r);
    ASSERT_EQ(p.size(), std::size_t(r.width * r.height));
    for (auto v : p) ASSERT_TRUE(v == kNone || v < 256);
  }
}

}  // namespace
}  // namespace win
