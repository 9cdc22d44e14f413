#include "imaging/bitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/user/clipboard.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "tests/imaging/bitmap_test_support.h"

namespace {

using bitmap_test::Code;
using bitmap_test::kWhite;
using bitmap_test::MakeCoded24;
using bitmap_test::Read24;
using bitmap_test::Rgb;

class BitmapTest : public bitmap_test::ScreenDepthTest {};

Rgb At(const std::vector<Rgb>& pixels, int width, int x, int y) {
  return pixels[std::size_t(y * width + x)];
}

TEST_F(BitmapTest, NewBitmapIsEmptyAndDeviceDependent) {
  TBitmap bitmap;
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_FALSE(bitmap.HasCanvas());
  EXPECT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceDependent);
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::DepthDevice);
  EXPECT_EQ(bitmap.Palette(), nullptr);
  EXPECT_EQ(bitmap.TransparentColor(), clDefault);
  EXPECT_STREQ(bitmap.ClassName(), "TBitmap");
}

TEST_F(BitmapTest, WidthAloneMakesNoImageThenHeightMakesWhiteScreenBitmap) {
  TBitmap bitmap;
  bitmap.SetWidth(200);
  EXPECT_EQ(bitmap.Width(), 200);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_FALSE(bitmap.HandleAllocated());
  EXPECT_TRUE(bitmap.IsEmpty());

  bitmap.SetHeight(150);
  EXPECT_TRUE(bitmap.HandleAllocated());
  EXPECT_FALSE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceDependent);
  EXPECT_EQ(bitmap.Image().Description().dsBm.bmBitsPixel, 32);  // the screen's format
  for (const Rgb& c : Read24(bitmap)) ASSERT_EQ(c, kWhite);
}

TEST_F(BitmapTest, SettingASizeToItsCurrentValueSendsNoNotification) {
  TBitmap bitmap;
  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  bitmap.SetWidth(20);
  bitmap.SetHeight(10);
  ASSERT_EQ(changes, 2);
  bitmap.SetWidth(20);
  bitmap.SetHeight(10);
  EXPECT_EQ(changes, 2);
  bitmap.SetWidth(21);
  EXPECT_EQ(changes, 3);
}

TEST_F(BitmapTest, NegativeSizeIsRefusedOnceBothSizesAreNonZero) {
  TBitmap bitmap;
  bitmap.SetWidth(-200);  // not rejected: no image is made yet
  EXPECT_EQ(bitmap.Width(), -200);
  EXPECT_EQ(bitmap.Height(), 0);
  try {
    bitmap.SetHeight(150);
    FAIL() << "a negative width was accepted";
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), SysErrorMessage(win::ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(e.Message().empty());
  }
  EXPECT_EQ(bitmap.Width(), -200);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_TRUE(bitmap.IsEmpty());
}

TEST_F(BitmapTest, RefusedSizeKeepsThePreviousImage) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 4, 3);
  const auto before = Read24(bitmap);
  EXPECT_THROW(bitmap.SetWidth(-1), EOutOfResources);
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::Depth24);
  EXPECT_EQ(Read24(bitmap), before);
}

TEST_F(BitmapTest, ZeroSizeCanvasDrawsNothingAndStaysEmpty) {
  TBitmap bitmap;
  bitmap.SetWidth(0);
  bitmap.SetHeight(150);
  TCanvas& canvas = bitmap.Canvas();
  EXPECT_NE(canvas.Handle(), nullptr);
  canvas.Brush().SetColor(clRed);
  canvas.FillRect({0, 0, 10, 10});
  canvas.FrameRect({0, 0, 10, 10});
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 150);
}

// Resizing keeps pixels at the top-left for both storage kinds.
class BitmapResizeTest : public BitmapTest,
                         public ::testing::WithParamInterface<TBitmapStorageKind> {};

TEST_P(BitmapResizeTest, EnlargingKeepsTopLeftAndFillsWhite) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 4, 3);
  bitmap.SetStorageKind(GetParam());
  bitmap.SetWidth(7);
  bitmap.SetHeight(5);
  ASSERT_EQ(bitmap.StorageKind(), GetParam());
  const auto pixels = Read24(bitmap);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      ASSERT_EQ(At(pixels, 7, x, y), x < 4 && y < 3 ? Code(x, y) : kWhite) << x << "," << y;
}

TEST_P(BitmapResizeTest, EnlargingAfterTheCanvasWasUsedFillsWithTheBrushColour) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 3, 2);
  bitmap.SetStorageKind(GetParam());
  bitmap.Canvas().Brush().SetColor(clRed);
  bitmap.SetWidth(5);
  const auto pixels = Read24(bitmap);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x)
      ASSERT_EQ(At(pixels, 5, x, y), (x < 3 ? Code(x, y) : Rgb{255, 0, 0})) << x << "," << y;
}

TEST_P(BitmapResizeTest, ShrinkingCropsRightAndBottom) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 6, 5);
  bitmap.SetStorageKind(GetParam());
  bitmap.SetWidth(2);
  bitmap.SetHeight(3);
  const auto pixels = Read24(bitmap);
  ASSERT_EQ(pixels.size(), 6u);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) ASSERT_EQ(At(pixels, 2, x, y), Code(x, y));
}

INSTANTIATE_TEST_SUITE_P(BothKinds, BitmapResizeTest,
                         ::testing::Values(TBitmapStorageKind::DeviceDependent,
                                           TBitmapStorageKind::DeviceIndependent),
                         [](const ::testing::TestParamInfo<TBitmapStorageKind>& info) {
                           return info.param == TBitmapStorageKind::DeviceDependent
                                      ? "DeviceDependent"
                                      : "DeviceIndependent";
                         });

TEST_F(BitmapTest, CopyFromSharesTheImageUntilOneSharerDraws) {
  TBitmap a;
  MakeCoded24(a, 5, 4);
  TBitmap b;
  b.CopyFrom(&a);
  EXPECT_EQ(&a.Image(), &b.Image());
  EXPECT_EQ(a.Image().RefCount(), 2);

  b.Canvas().Brush().SetColor(clBlue);
  b.Canvas().FillRect({0, 0, 2, 2});
  EXPECT_NE(&a.Image(), &b.Image());
  EXPECT_EQ(a.Image().RefCount(), 1);

  const auto pa = Read24(a);
  const auto pb = Read24(b);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      ASSERT_EQ(At(pa, 5, x, y), Code(x, y));
      ASSERT_EQ(At(pb, 5, x, y), (x < 2 && y < 2 ? Rgb{0, 0, 255} : Code(x, y)));
    }
}

TEST_F(BitmapTest, RowWritesOnASharerLeaveTheOtherUnchanged) {
  TBitmap a;
  MakeCoded24(a, 3, 3);
  TBitmap b;
  b.CopyFrom(&a);
  std::memset(b.RowPointer(1), 0, 9);
  EXPECT_EQ(At(Read24(a), 3, 1, 1), Code(1, 1));
  EXPECT_EQ(At(Read24(b), 3, 1, 1), (Rgb{0, 0, 0}));
}

TEST_F(BitmapTest, CopyFromCopiesTransparencySettings) {
  TBitmap a;
  a.SetTransparent(true);
  a.SetTransparentColor(clOlive);
  TBitmap b;
  b.CopyFrom(&a);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), clOlive);
}

TEST_F(BitmapTest, CopyFromNoneEmptiesAndOtherClassesFail) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 2, 2);
  bitmap.CopyFrom(nullptr);
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.Width(), 0);

  TFont font;
  try {
    bitmap.CopyFrom(&font);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TFont to a TBitmap");
  }
}

TEST_F(BitmapTest, RowPointerOnBottomUpImage) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 4, 3);
  ASSERT_GT(bitmap.Image().Description().dsBmih.biHeight, 0);  // bottom-up
  std::uint8_t* top = bitmap.RowPointer(0);
  std::uint8_t* bottom = bitmap.RowPointer(2);
  EXPECT_GT(top, bottom);
  EXPECT_EQ(bitmap.RowStep(), -TBitmap::BytesPerRow(4, 24));
  EXPECT_EQ(bitmap.RowPointer(1) - top, bitmap.RowStep());
  EXPECT_EQ(bitmap.RowStep(), -12);
  // Row 0 is the picture's top row, as the canvas sees it.
  top[0] = 0x11;  // blue
  top[1] = 0x22;  // green
  top[2] = 0x33;  // red
  EXPECT_EQ(bitmap.Canvas().Pixels(0, 0), win::RGB(0x33, 0x22, 0x11));
}

TEST_F(BitmapTest, RowPointerOutOfRange) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 4, 3);
  for (int row : {-1, 3, 100}) {
    try {
      bitmap.RowPointer(row);
      FAIL() << row;
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message(), strings::kScanLine);
    }
  }
  TBitmap empty;
  EXPECT_THROW(empty.RowPointer(0), EInvalidGraphicOperation);
}

TEST_F(BitmapTest, RowWritesOnADeviceDependentImageReachItsPixels) {
  TBitmap bitmap;
  bitmap.SetWidth(4);
  bitmap.SetHeight(3);
  ASSERT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceDependent);
  std::uint8_t* row = bitmap.RowPointer(2);  // 32-bit screen: B, G, R, x
  row[4] = 10;
  row[5] = 20;
  row[6] = 30;
  bitmap.RowPointer(0)[0] = 0;  // a later row request keeps earlier writes
  EXPECT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceDependent);
  EXPECT_EQ(bitmap.Canvas().Pixels(1, 2), win::RGB(30, 20, 10));
  EXPECT_EQ(bitmap.Canvas().Pixels(0, 0), win::RGB(255, 255, 0));
}

struct DepthCase {
  TColorDepth depth;
  int bitCount;
  win::DWORD compression;
};

class BitmapDepthTest : public BitmapTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(BitmapDepthTest, DepthOnEmptyBitmapThenSizesMakesWhiteBottomUpDib) {
  const DepthCase c = GetParam();
  TBitmap bitmap;
  bitmap.SetColorDepth(c.depth);
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceIndependent);
  EXPECT_EQ(bitmap.ColorDepth(), c.depth);

  bitmap.SetWidth(5);
  EXPECT_TRUE(bitmap.IsEmpty());
  bitmap.SetHeight(4);
  EXPECT_FALSE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.ColorDepth(), c.depth);
  const win::DIBSECTION& dib = bitmap.Image().Description();
  EXPECT_NE(dib.dsBm.bmBits, nullptr);
  EXPECT_EQ(dib.dsBmih.biBitCount, c.bitCount);
  EXPECT_EQ(dib.dsBmih.biCompression, c.compression);
  EXPECT_GT(dib.dsBmih.biHeight, 0);
  for (const Rgb& p : Read24(bitmap)) ASSERT_EQ(p, kWhite);
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BitmapDepthTest,
                         ::testing::Values(DepthCase{TColorDepth::Depth1, 1, win::BI_RGB},
                                           DepthCase{TColorDepth::Depth4, 4, win::BI_RGB},
                                           DepthCase{TColorDepth::Depth8, 8, win::BI_RGB},
                                           DepthCase{TColorDepth::Depth15, 16, win::BI_RGB},
                                           DepthCase{TColorDepth::Depth16, 16, win::BI_BITFIELDS},
                                           DepthCase{TColorDepth::Depth24, 24, win::BI_RGB},
                                           DepthCase{TColorDepth::Depth32, 32, win::BI_RGB}),
                         [](const ::testing::TestParamInfo<DepthCase>& info) {
                           return std::to_string(info.param.bitCount) +
                                  (info.param.compression == win::BI_BITFIELDS ? "_565" : "");
                         });

TEST_F(BitmapTest, CustomDepthIsRefused) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 2, 2);
  try {
    bitmap.SetColorDepth(TColorDepth::DepthCustom);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Invalid pixel format");
  }
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::Depth24);
}

TEST_F(BitmapTest, DepthDeviceTurnsADibIntoAScreenBitmapKeepingPixels) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 3, 2);
  bitmap.SetColorDepth(TColorDepth::DepthDevice);
  EXPECT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceDependent);
  const auto pixels = Read24(bitmap);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) ASSERT_EQ(At(pixels, 3, x, y), Code(x, y));
}

TEST_F(BitmapTest, Depth24OnASameSizeScreenBitmapKeepsPixels) {
  TBitmap bitmap;
  bitmap.SetWidth(3);
  bitmap.SetHeight(2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const Rgb c = Code(x, y);
      bitmap.Canvas().SetPixels(x, y, win::RGB(c.r, c.g, c.b));
    }
  bitmap.SetColorDepth(TColorDepth::Depth24);
  EXPECT_EQ(bitmap.StorageKind(), TBitmapStorageKind::DeviceIndependent);
  for (int y = 0; y < 2; ++y) {
    const std::uint8_t* row = bitmap.RowPointer(y);
    for (int x = 0; x < 3; ++x)
      ASSERT_EQ((Rgb{row[3 * x + 2], row[3 * x + 1], row[3 * x]}), Code(x, y));
  }
}

TEST_F(BitmapTest, SixteenBitScreenTruncatesAndWidensByReplication) {
  win::SetScreenDepth(16);
  TBitmap bitmap;
  bitmap.SetWidth(1);
  bitmap.SetHeight(1);
  ASSERT_EQ(bitmap.Image().Description().dsBm.bmBitsPixel, 16);
  bitmap.Canvas().SetPixels(0, 0, win::RGB(0xFF, 0x87, 0x4B));
  // 5-6-5 truncation: 0xFF -> 31, 0x87 -> 33, 0x4B -> 9; widened by repeating the high bits.
  const auto pixels = Read24(bitmap);
  EXPECT_EQ(pixels[0], (Rgb{0xFF, 0x86, 0x4A}));
}

TEST_F(BitmapTest, PaletteScreenGetsAHalftonePaletteForDeeperImages) {
  TBitmap deep;
  MakeCoded24(deep, 2, 2);
  EXPECT_EQ(deep.Palette(), nullptr);  // a true-colour screen needs none

  win::SetScreenDepth(8);
  TBitmap onPaletteScreen;
  MakeCoded24(onPaletteScreen, 2, 2);
  win::HPALETTE palette = onPaletteScreen.Palette();
  ASSERT_NE(palette, nullptr);
  EXPECT_TRUE(onPaletteScreen.Image().Halftone());
  win::WORD entries = 0;
  win::GetObjectA(palette, sizeof entries, &entries);
  EXPECT_EQ(entries, 256);

  TBitmap screenBitmap;
  screenBitmap.SetWidth(3);
  screenBitmap.SetHeight(2);
  EXPECT_EQ(screenBitmap.Image().Description().dsBm.bmBitsPixel, 8);
  EXPECT_EQ(screenBitmap.Palette(), nullptr);  // not deeper than the screen
  for (const Rgb& c : Read24(screenBitmap)) ASSERT_EQ(c, kWhite);
}

TEST_F(BitmapTest, ClearImageKeepsThePalette) {
  TBitmap bitmap;
  bitmap.SetColorDepth(TColorDepth::Depth8);
  bitmap.SetWidth(4);
  bitmap.SetHeight(4);
  win::HPALETTE before = bitmap.Palette();
  ASSERT_NE(before, nullptr);
  win::PALETTEENTRY entries[256];
  const win::UINT count = win::GetPaletteEntries(before, 0, 256, entries);
  ASSERT_GT(count, 0u);

  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  bitmap.ClearImage();
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.Width(), 0);
  win::HPALETTE after = bitmap.Palette();
  ASSERT_NE(after, nullptr);
  win::PALETTEENTRY kept[256];
  ASSERT_EQ(win::GetPaletteEntries(after, 0, 256, kept), count);
  EXPECT_EQ(std::memcmp(entries, kept, count * sizeof(win::PALETTEENTRY)), 0);
}

TEST_F(BitmapTest, ClearImageOnASharedImageLeavesTheOtherSharerItsPalette) {
  TBitmap a;
  a.SetColorDepth(TColorDepth::Depth8);
  a.SetWidth(2);
  a.SetHeight(2);
  TBitmap b;
  b.CopyFrom(&a);
  b.ClearImage();
  EXPECT_FALSE(a.IsEmpty());
  ASSERT_NE(a.Palette(), nullptr);
  ASSERT_NE(b.Palette(), nullptr);
  EXPECT_NE(a.Palette(), b.Palette());
}

TEST_F(BitmapTest, ClearImageWithoutPixelsKeepsTheRecordedDepth) {
  TBitmap bitmap;
  bitmap.SetColorDepth(TColorDepth::Depth24);
  int changes = 0;
  bitmap.OnChange = [&](TObject*) { ++changes; };
  bitmap.ClearImage();
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::Depth24);
}

TEST_F(BitmapTest, SetPaletteTakesOwnershipAndColoursAnEightBitImage) {
  TBitmap bitmap;
  bitmap.SetColorDepth(TColorDepth::Depth8);
  bitmap.SetWidth(2);
  bitmap.SetHeight(1);
  win::LOGPALETTE lp{};
  lp.palVersion = 0x300;
  lp.palNumEntries = 2;
  lp.palPalEntry[0] = {10, 20, 30, 0};
  lp.palPalEntry[1] = {255, 255, 255, 0};
  win::HPALETTE palette = win::CreatePalette(&lp);
  bitmap.SetPaletteModified(false);
  bitmap.SetPalette(palette);
  EXPECT_EQ(bitmap.Palette(), palette);
  EXPECT_TRUE(bitmap.PaletteModified());
  bitmap.RowPointer(0)[0] = 0;
  EXPECT_EQ(Read24(bitmap)[0], (Rgb{10, 20, 30}));
}

TEST_F(BitmapTest, ClipboardFormatOtherThanBitmapOrNoDataIsRefused) {
  TBitmap bitmap;
  TBitmap source;
  source.SetWidth(2);
  source.SetHeight(2);
  const struct {
    std::uint16_t format;
    win::HANDLE data;
  } cases[] = {{win::CF_BITMAP, nullptr}, {win::CF_DIB, source.Handle()}, {0, nullptr}};
  for (const auto& c : cases) {
    try {
      bitmap.ReadFromClipboard(c.format, c.data, nullptr);
      FAIL() << c.format;
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Unsupported clipboard format");
    }
  }
}

TEST_F(BitmapTest, ClipboardRoundTripGivesOwnCopies) {
  TBitmap original;
  MakeCoded24(original, 3, 2);
  std::uint16_t format = 0;
  win::HANDLE data = nullptr;
  win::HPALETTE palette = nullptr;
  original.WriteToClipboard(format, data, palette);
  EXPECT_EQ(format, win::CF_BITMAP);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(palette, nullptr);
  win::BITMAP description{};
  win::GetObjectA(data, sizeof description, &description);
  EXPECT_EQ(description.bmBits, nullptr);  // device-dependent

  TBitmap pasted;
  pasted.ReadFromClipboard(win::CF_BITMAP, data, palette);
  EXPECT_EQ(pasted.StorageKind(), TBitmapStorageKind::DeviceDependent);
  EXPECT_EQ(Read24(pasted), Read24(original));
  // The clipboard's handle is still its own and intact.
  EXPECT_EQ(win::GetObjectType(data), win::OBJ_BITMAP);
  EXPECT_TRUE(win::DeleteObject(data));
}

TEST_F(BitmapTest, DrawPlacesTheBitmapAtItsOwnSize) {
  TBitmap picture;
  MakeCoded24(picture, 3, 2);
  TBitmap target;
  target.SetWidth(6);
  target.SetHeight(5);
  int changes = 0;
  target.OnChange = [&](TObject*) { ++changes; };
  target.Canvas().Draw(2, 1, &picture);
  EXPECT_EQ(changes, 1);
  const auto pixels = Read24(target);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
      ASSERT_EQ(At(pixels, 6, x, y), inside ? Code(x - 2, y - 1) : kWhite) << x << "," << y;
    }
}

TEST_F(BitmapTest, TransparentDrawLeavesTheTransparentColourOut) {
  TBitmap picture;
  MakeCoded24(picture, 2, 1);
  picture.RowPointer(0)[0] = 0x00;  // pixel (0, 0) := olive (B 0, G 0x80, R 0x80)
  picture.RowPointer(0)[1] = 0x80;
  picture.RowPointer(0)[2] = 0x80;
  picture.SetTransparentColor(clOlive);
  picture.SetTransparent(true);
  TBitmap target;
  target.SetWidth(2);
  target.SetHeight(1);
  target.Canvas().Draw(0, 0, &picture);
  const auto pixels = Read24(target);
  EXPECT_EQ(pixels[0], kWhite);
  EXPECT_EQ(pixels[1], Code(1, 0));
}

TEST_F(BitmapTest, MaskMarksThePixelsOfTheTransparentColour) {
  TBitmap picture;
  MakeCoded24(picture, 3, 1);
  picture.RowPointer(0)[3] = 0x00;  // pixel (1, 0) := olive
  picture.RowPointer(0)[4] = 0x80;
  picture.RowPointer(0)[5] = 0x80;
  picture.SetTransparentColor(clOlive);
  win::HBITMAP mask = picture.MaskHandle();
  ASSERT_NE(mask, nullptr);
  win::BITMAP description{};
  win::GetObjectA(mask, sizeof description, &description);
  EXPECT_EQ(description.bmBitsPixel, 1);
  win::BITMAPINFO info{};
  info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), 3, 1, 1, 1, win::BI_RGB, 0, 0, 0, 0, 0};
  std::uint8_t bits[4] = {};
  win::HDC screen = win::GetDC(nullptr);
  ASSERT_EQ(win::GetDIBits(screen, mask, 0, 1, bits, &info, win::DIB_RGB_COLORS), 1);
  win::ReleaseDC(nullptr, screen);
  EXPECT_EQ(bits[0] & 0xE0, 0x40);  // 0 1 0: only the olive pixel
}

TEST_F(BitmapTest, CopyFromTellsWhetherAPaletteCameAlong) {
  TBitmap withPalette;
  withPalette.SetColorDepth(TColorDepth::Depth8);
  withPalette.SetWidth(2);
  withPalette.SetHeight(2);
  TBitmap trueColour;
  MakeCoded24(trueColour, 2, 2);
  TBitmap bitmap;
  bitmap.CopyFrom(&withPalette);
  EXPECT_TRUE(bitmap.PaletteModified());
  EXPECT_EQ(bitmap.Palette(), withPalette.Palette());  // shared with the image
  bitmap.CopyFrom(&trueColour);
  EXPECT_FALSE(bitmap.PaletteModified());
}

TEST_F(BitmapTest, FourBitDepthUsesTheSystemPalette) {
  TBitmap bitmap;
  MakeCoded24(bitmap, 2, 2);
  bitmap.SetColorDepth(TColorDepth::Depth4);
  EXPECT_EQ(bitmap.Palette(), SystemPalette16());
  bitmap.Canvas().SetPixels(0, 0, clTeal);
  EXPECT_EQ(Read24(bitmap)[0], (Rgb{0, 128, 128}));
}

TEST_F(BitmapTest, StoredDataRoundTrip) {
  TBitmap original;
  MakeCoded24(original, 5, 3);
  TMemoryStream stream;
  original.WriteStoredData(stream);
  // Length, then a 14-byte file header, a 40-byte info header and 3 rows of 16 bytes.
  ASSERT_EQ(stream.Size(), 4 + 14 + 40 + 48);
  stream.SetPosition(0);
  TBitmap copy;
  copy.ReadStoredData(stream);
  EXPECT_EQ(copy.ColorDepth(), TColorDepth::Depth24);
  EXPECT_EQ(Read24(copy), Read24(original));
  EXPECT_TRUE(copy.SameAs(&original));
}

TEST_F(BitmapTest, EmptyBitmapStoresOnlyALengthOfZero) {
  TBitmap empty;
  TMemoryStream stream;
  empty.WriteStoredData(stream);
  ASSERT_EQ(stream.Size(), 4);
  EXPECT_EQ(std::memcmp(stream.Memory(), "\0\0\0\0", 4), 0);
  stream.SetPosition(0);
  TBitmap read;
  MakeCoded24(read, 2, 2);
  read.ReadStoredData(stream);
  EXPECT_TRUE(read.IsEmpty());
}

TEST_F(BitmapTest, ScreenBitmapIsWrittenAsDibOfTheDevicesDepth) {
  TBitmap bitmap;
  bitmap.SetWidth(3);
  bitmap.SetHeight(2);
  TMemoryStream stream;
  bitmap.WriteToStream(stream);
  ASSERT_EQ(stream.Size(), 14 + 40 + 2 * 12);
  const std::uint8_t* bytes = stream.Memory();
  EXPECT_EQ(bytes[14], 40);       // info header size
  EXPECT_EQ(bytes[14 + 14], 32);  // bit count
  EXPECT_EQ(bytes[14 + 16], 0);   // BI_RGB
}

TEST_F(BitmapTest, ClassReferenceCreatesBitmaps) {
  const TGraphicClass& cls = TBitmap::StaticClass();
  EXPECT_STREQ(cls.name, "TBitmap");
  EXPECT_TRUE(cls.InheritsFrom(TGraphic::StaticClass()));
  auto graphic = cls.create();
  ASSERT_NE(dynamic_cast<TBitmap*>(graphic.get()), nullptr);
  EXPECT_EQ(&graphic->GraphicClass(), &cls);
}

}  // namespace
