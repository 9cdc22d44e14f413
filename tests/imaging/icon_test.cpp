#include "imaging/icon.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <functional>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/picture.h"
#include "test_graphic.h"
#include "tests/support/scratch_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

Bytes DibHeader(int w, int h, int bits, std::uint32_t colors) {
  Bytes b(40, 0);
  Put32(b, 0, 40);
  Put32(b, 4, std::uint32_t(w));
  Put32(b, 8, std::uint32_t(2 * h));
  Put16(b, 12, 1);
  Put16(b, 14, std::uint16_t(bits));
  Put32(b, 32, colors);
  return b;
}

// 16 x 16, 32 bits: red, half transparent in the left half; the AND mask is ignored.
Bytes AlphaDib() {
  Bytes b = DibHeader(16, 16, 32, 0);
  for (int row = 0; row < 16; ++row)
    for (int x = 0; x < 16; ++x) {
      const std::uint8_t pixel[4] = {0, 0, 255, std::uint8_t(x < 8 ? 128 : 255)};
      b.insert(b.end(), pixel, pixel + 4);
    }
  b.resize(b.size() + 16 * 4, 0xFF);  // a mask saying "transparent": the alpha wins
  return b;
}

// 32 x 32, 8 bits with two colours: green, blue in the bottom row; the left column masked.
Bytes MaskedDib() {
  Bytes b = DibHeader(32, 32, 8, 2);
  const std::uint8_t table[8] = {0, 255, 0, 0, 255, 0, 0, 0};
  b.insert(b.end(), table, table + 8);
  for (int row = 0; row < 32; ++row)  // stored bottom-up: row 0 is the bottom row
    for (int x = 0; x < 32; ++x) b.push_back(row == 0 ? 1 : 0);
  for (int row = 0; row < 32; ++row) {
    const std::uint8_t mask[4] = {0x80, 0, 0, 0};
    b.insert(b.end(), mask, mask + 4);
  }
  return b;
}

// 48 x 48 PNG: each pixel's colour encodes its coordinates; the top-left pixel is clear.
std::vector<std::uint32_t> PngPixels() {
  std::vector<std::uint32_t> pixels(48 * 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x)
      pixels[std::size_t(y * 48 + x)] =
          0xFF000000u | std::uint32_t(x * 5) << 16 | std::uint32_t(y * 5) << 8 | 0x42;
  pixels[0] = 0;
  return pixels;
}

Bytes Png() {
  const std::vector<std::uint32_t> pixels = PngPixels();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 48;
  image.height = 48;
  image.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr));
  Bytes out(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr));
  out.resize(size);
  return out;
}

Bytes Ico(const std::vector<Bytes>& images) {
  Bytes b(6 + 16 * images.size(), 0);
  Put16(b, 2, 1);
  Put16(b, 4, std::uint16_t(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    Put32(b, 6 + 16 * i + 8, std::uint32_t(images[i].size()));
    Put32(b, 6 + 16 * i + 12, std::uint32_t(b.size()));
    b.insert(b.end(), images[i].begin(), images[i].end());
  }
  return b;
}

Bytes ThreeImageIcon() {
  return Ico({AlphaDib(), MaskedDib(), Png()});
}

void Load(TIcon& icon, const Bytes& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), std::int32_t(bytes.size()));
  stream.SetPosition(0);
  icon.ReadFromStream(stream);
}

TEST(IconTest, ReadsDibAndPngImages) {
  TIcon icon;
  Load(icon, ThreeImageIcon());
  const std::vector<TIcon::Entry> entries = icon.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].width, 16);
  EXPECT_EQ(entries[0].bitCount, 32);
  EXPECT_EQ(entries[1].height, 32);
  EXPECT_EQ(entries[1].bitCount, 8);
  EXPECT_TRUE(entries[2].png);
  EXPECT_EQ(icon.Width(), 48) << "the largest image";
  EXPECT_EQ(icon.Height(), 48);
  EXPECT_FALSE(icon.IsEmpty());
}

TEST(IconTest, TheNearestImageIsChosenForADrawnSize) {
  TIcon icon;
  Load(icon, ThreeImageIcon());
  const struct {
    int size;
    int entry;
  } cases[] = {{1, 0}, {16, 0}, {23, 0}, {25, 1}, {32, 1}, {40, 2}, {48, 2}, {500, 2}};
  for (const auto& c : cases) EXPECT_EQ(icon.EntryFor(c.size, c.size), c.entry) << c.size;
}

TEST(IconTest, PixelsCarryTheirTransparency) {
  TIcon icon;
  Load(icon, ThreeImageIcon());
  const auto& alpha = icon.EntryPixels(0);
  EXPECT_EQ(alpha[0], 0x80FF0000u) << "alpha channel kept, mask ignored";
  EXPECT_EQ(alpha[15], 0xFFFF0000u);

  const auto& masked = icon.EntryPixels(1);
  EXPECT_EQ(masked[0], 0u) << "masked";
  EXPECT_EQ(masked[1], 0xFF00FF00u) << "top row is colour 0";
  EXPECT_EQ(masked[31 * 32 + 1], 0xFF0000FFu) << "bottom row is colour 1";

  EXPECT_EQ(icon.EntryPixels(2), PngPixels());
}

TEST(IconTest, StreamHoldsExactlyTheIconsBytes) {
  const Bytes bytes = ThreeImageIcon();
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), std::int32_t(bytes.size()));
  stream.WriteBuffer("tail", 4);
  stream.SetPosition(0);
  TIcon icon;
  icon.ReadFromStream(stream);
  EXPECT_EQ(stream.Position(), std::int64_t(bytes.size()));

  TMemoryStream out;
  icon.WriteToStream(out);
  ASSERT_EQ(out.Size(), std::int64_t(bytes.size()));
  EXPECT_EQ(std::memcmp(out.Memory(), bytes.data(), bytes.size()), 0);

  TIcon copy;
  copy.CopyFrom(&icon);
  EXPECT_TRUE(copy.SameAs(&icon));
  EXPECT_EQ(copy.Width(), 48);
}

TEST(IconTest, MalformedIconsAreRefusedAndTheIconKept) {
  struct Case {
    const char* why;
    std::function<void(Bytes&)> damage;
  };
  const Case cases[] = {
      {"reserved word set", [](Bytes& b) { b[0] = 1; }},
      {"a cursor, not an icon", [](Bytes& b) { b[2] = 2; }},
      {"no images", [](Bytes& b) { Put16(b, 4, 0); }},
      {"image past the end", [](Bytes& b) { Put32(b, 6 + 12, 0x10000); }},
      {"image inside the directory", [](Bytes& b) { Put32(b, 6 + 12, 10); }},
      {"zero-sized image", [](Bytes& b) { Put32(b, 6 + 8, 0); }},
      {"truncated pixels", [](Bytes& b) { Put32(b, 6 + 8, 100); }},
      {"unknown depth", [](Bytes& b) { Put16(b, 6 + 3 * 16 + 14, 7); }},
      {"compressed DIB", [](Bytes& b) { Put32(b, 6 + 3 * 16 + 16, 1); }},
      {"broken PNG", [](Bytes& b) { b[b.size() - 30] ^= 0xFF; }},
      {"directory cut short", [](Bytes& b) { b.resize(20); }},
  };
  for (const Case& c : cases) {
    TIcon icon;
    Load(icon, Ico({MaskedDib()}));
    Bytes bytes = ThreeImageIcon();
    c.damage(bytes);
    try {
      Load(icon, bytes);
      ADD_FAILURE() << c.why << ": read";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Invalid icon") << c.why;
    } catch (const Exception& e) {
      ADD_FAILURE() << c.why << ": " << e.Message();
    }
    EXPECT_EQ(icon.Entries().size(), 1u) << c.why;
  }
}

TEST(IconTest, SizeIsFixedAndThereIsNoClipboardFormat) {
  TIcon icon;
  EXPECT_NO_THROW(icon.SetWidth(10)) << "an empty icon has no size to keep";
  Load(icon, ThreeImageIcon());
  try {
    icon.SetWidth(10);
    ADD_FAILURE() << "resized";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "Cannot change the size of an icon");
  }
  std::uint16_t format = 0;
  win::HANDLE data = nullptr;
  win::HPALETTE palette = nullptr;
  try {
    icon.WriteToClipboard(format, data, palette);
    ADD_FAILURE() << "written to the clipboard";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Clipboard does not support Icons");
  }
}

TEST(IconTest, DrawingBlendsOverTheTarget) {
  TIcon icon;
  Load(icon, ThreeImageIcon());
  TBitmap surface;
  surface.SetWidth(40);
  surface.SetHeight(40);
  surface.Canvas().StretchDraw(win::RECT{2, 2, 18, 18}, &icon);  // the 16 x 16 image
  EXPECT_EQ(surface.Canvas().Pixels(2, 2), TColor(0x7F7FFF)) << "half red over white";
  EXPECT_EQ(surface.Canvas().Pixels(17, 17), clRed);
  EXPECT_EQ(surface.Canvas().Pixels(18, 18), clWhite);

  surface.Canvas().StretchDraw(win::RECT{2, 2, 34, 34}, &icon);  // the masked 32 x 32 image
  EXPECT_EQ(surface.Canvas().Pixels(2, 5), TColor(0x7F7FFF)) << "masked: the target shows";
  EXPECT_EQ(surface.Canvas().Pixels(3, 5), clLime);
  EXPECT_EQ(surface.Canvas().Pixels(3, 33), clBlue);
}

TEST(IconTest, PicturesLoadIconFiles) {
  test_support::ScratchFolder dir("suotu-icon");
  dir.Write("app.ICO", ThreeImageIcon());
  TPicture picture;
  picture.ReadFromFile(dir.Win("app.ICO"));
  ASSERT_NE(dynamic_cast<TIcon*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 48);
}

}  // namespace
