// TJPEGImage: the two forms (bytes, bitmap) and when each is made, sharing of the byte holder,
// assignment, saving, stored data, progress and abort, palettes and registration.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "runtime/persistent.h"
#include "tests/imaging/jpeg_test_support.h"

// Last: the library's headers define TRUE and FALSE as macros.
#include "tests/imaging/jpeg_test_cmyk.h"

namespace {

using namespace jpegtest;

// --- Helpers ------------------------------------------------------------------------------

// A 24-bit bitmap holding the pixels.
std::unique_ptr<TBitmap> BitmapOf(const Pixels& p) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetColorDepth(TColorDepth::Depth24);
  bitmap->SetWidth(p.width);
  bitmap->SetHeight(p.height);
  for (int y = 0; y < p.height; ++y)
    std::copy(p.Row(y), p.Row(y) + p.Step(), bitmap->RowPointer(y));
  return bitmap;
}

// The bitmap's pixels as blue, green, red, read through a 24-bit copy.
Pixels PixelsOf(const TBitmap& bitmap) {
  TBitmap copy;
  copy.CopyFrom(&bitmap);
  copy.SetColorDepth(TColorDepth::Depth24);
  Pixels p{copy.Width(), copy.Height(), 3,
           Bytes(static_cast<std::size_t>(copy.Width()) * copy.Height() * 3)};
  for (int y = 0; y < p.height; ++y) std::copy_n(copy.RowPointer(y), p.Step(), p.Row(y));
  return p;
}

std::vector<win::PALETTEENTRY> EntriesOf(win::HPALETTE palette) {
  std::vector<win::PALETTEENTRY> entries(256);
  entries.resize(win::GetPaletteEntries(palette, 0, 256, entries.data()));
  return entries;
}

// Gray levels of an 8-bit gray bitmap through its palette.
Pixels GrayLevelsOf(TBitmap& bitmap) {
  const std::vector<win::PALETTEENTRY> palette = EntriesOf(bitmap.Palette());
  Pixels p{bitmap.Width(), bitmap.Height(), 1,
           Bytes(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height())};
  for (int y = 0; y < p.height; ++y) {
    const std::uint8_t* row = bitmap.RowPointer(y);
    for (int x = 0; x < p.width; ++x) p.Row(y)[x] = palette.at(row[x]).peRed;
  }
  return p;
}

std::unique_ptr<TJPEGImage> Loaded(const Bytes& bytes) {
  auto image = std::make_unique<TJPEGImage>();
  auto stream = StreamOf(bytes);
  image->ReadFromStream(*stream);
  return image;
}

Bytes Saved(TJPEGImage& image) {
  TMemoryStream out;
  image.WriteToStream(out);
  return BytesOf(out);
}

bool IsProgressive(const Bytes& jpeg) {
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) return jpeg[i + 1] == 0xC2;
  ADD_FAILURE() << "no frame header";
  return false;
}

// Counts the notifications an image sends.
struct Events {
  int changes = 0;
  std::vector<std::pair<TProgressStage, int>> progress;
  int abortOnStage = -1;  // EAbort from the first notification of this stage

  explicit Events(TJPEGImage& image) {
    image.OnChange = [this](TObject*) { ++changes; };
    image.OnProgress = [this](TObject*, TProgressStage stage, std::uint8_t percent, bool,
                              const win::RECT&, const AnsiString&) {
      progress.emplace_back(stage, percent);
      if (static_cast<int>(stage) == abortOnStage) throw EAbort();
    };
  }
  int Count(TProgressStage stage) const {
    int n = 0;
    for (const auto& p : progress) n += p.first == stage ? 1 : 0;
    return n;
  }
};

class JpegImage : public ::testing::Test {
 protected:
  void TearDown() override {
    win::SetScreenDepth(32);
    DefaultJpegSettings = TJPEGSettings{};
  }
  ScratchDir dir;
};

// --- Saving -------------------------------------------------------------------------------

TEST_F(JpegImage, SavedBitmapMatchesCjpeg) {
  const Pixels pixels = PhotoLike(90, 70, 4);
  const auto bitmap = BitmapOf(pixels);
  for (bool multiScan : {false, true}) {
    TJPEGImage image;
    image.CopyFrom(bitmap.get());
    image.SetMultiScan(multiScan);
    const Bytes saved = Saved(image);
    EXPECT_EQ(saved,
              Cjpeg(dir, pixels,
                    multiScan ? "-quality 90 -dct float -progressive" : "-quality 90 -dct float"));
    EXPECT_EQ(IsProgressive(saved), multiScan);
  }
}

TEST_F(JpegImage, ScreenBitmapIsConvertedToTwentyFourBitsFirst) {
  const Pixels pixels = PhotoLike(40, 30, 6);
  TBitmap screen;  // device-dependent, the screen's 32-bit format
  screen.SetWidth(40);
  screen.SetHeight(30);
  screen.Canvas().Draw(0, 0, BitmapOf(pixels).get());
  ASSERT_EQ(screen.ColorDepth(), TColorDepth::DepthDevice);
  TJPEGImage image;
  image.CopyFrom(&screen);
  EXPECT_EQ(Saved(image), Cjpeg(dir, pixels, "-quality 90 -dct float"));
}

TEST_F(JpegImage, GrayOutputWritesOneComponent) {
  const Pixels pixels = PhotoLike(40, 30, 6);
  TJPEGImage image;
  image.CopyFrom(BitmapOf(pixels).get());
  image.SetGrayOutput(true);
  EXPECT_EQ(Saved(image), Cjpeg(dir, pixels, "-quality 90 -dct float -grayscale"));
  EXPECT_TRUE(image.Data().StoredGray);
}

TEST_F(JpegImage, LoadedBytesAreSavedBackUnchanged) {
  const Bytes file = Cjpeg(dir, PhotoLike(50, 40), "-quality 75 -progressive -optimize");
  auto image = Loaded(file);
  // Settings and a decoded bitmap do not matter: the bytes held are what is saved.
  image->SetEncodeQuality(10);
  image->SetGrayOutput(true);
  image->SetMultiScan(false);
  image->ObtainBitmap();
  EXPECT_EQ(Saved(*image), file);
}

TEST_F(JpegImage, TwoSavesOfABitmapGiveTheSameBytesWithOneEncode) {
  TJPEGImage image;
  image.CopyFrom(BitmapOf(PhotoLike(64, 48)).get());
  Events events(image);
  const Bytes first = Saved(image);
  const Bytes second = Saved(image);
  EXPECT_EQ(first, second);
  EXPECT_EQ(events.Count(TProgressStage::psStarting), 1);
  EXPECT_EQ(events.changes, 0);  // encoding is not a change of the picture
}

TEST_F(JpegImage, OnePixelHighPictureRoundTrips) {
  const Pixels pixels = PhotoLike(50, 1, 8);
  TJPEGImage image;
  image.CopyFrom(BitmapOf(pixels).get());
  const Bytes saved = Saved(image);
  EXPECT_EQ(saved, Cjpeg(dir, pixels, "-quality 90 -dct float"));

  auto loaded = Loaded(saved);
  EXPECT_EQ(loaded->Width(), 50);
  EXPECT_EQ(loaded->Height(), 1);
  TBitmap& bitmap = loaded->ObtainBitmap();
  ASSERT_EQ(bitmap.Height(), 1);
  EXPECT_TRUE(SamePixels(Djpeg(dir, saved, "-dct float"), PixelsOf(bitmap)));
}

TEST_F(JpegImage, EmptyBitmapIsNotSaved) {
  struct {
    const char* name;
    int width;
    int height;
  } cases[] = {{"NoSize", 0, 0}, {"ZeroHeight", 200, 0}, {"ZeroWidth", 0, 150}};
  for (const auto& c : cases) {
    TBitmap bitmap;
    bitmap.SetWidth(c.width);
    bitmap.SetHeight(c.height);
    TJPEGImage image;
    image.CopyFrom(&bitmap);
    TMemoryStream out;
    EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { image.WriteToStream(out); }),
              "Cannot save an empty JPEG image")
        << c.name;
    EXPECT_EQ(out.Size(), 0) << c.name;
    EXPECT_EQ(image.Data().StoredBytes, nullptr) << c.name;

    // Through a file: nothing is created.
    const std::string host = dir.HostOf(std::string(c.name) + ".jpg");
    AnsiString windowsPath = "C:" + host;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    EXPECT_THROW(image.WriteToFile(windowsPath), EInvalidGraphic) << c.name;
    EXPECT_FALSE(std::filesystem::exists(host)) << c.name;
  }
}

TEST_F(JpegImage, FailedEncodeKeepsNoPartialBytes) {
  TJPEGImage image;
  image.CopyFrom(BitmapOf(PhotoLike(300, 200)).get());
  image.SetMultiScan(true);  // a progressive encode buffers the whole picture
  {
    jpeg::SetMemoryLimit(64 << 10);
    TMemoryStream out;
    EXPECT_THROW(image.WriteToStream(out), EOutOfMemory);
    jpeg::SetMemoryLimit(0);
    EXPECT_EQ(out.Size(), 0);
    EXPECT_EQ(image.Data().StoredBytes, nullptr);
  }
  // The next save encodes again, completely.
  const Bytes saved = Saved(image);
  EXPECT_EQ(saved,
            Cjpeg(dir, PixelsOf(image.ObtainBitmap()), "-quality 90 -dct float -progressive"));
}

// A stream that takes at most a few bytes of each write.
class StingyStream : public TMemoryStream {
 public:
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    return TMemoryStream::Write(buffer, std::min(count, 3));
  }
};

TEST_F(JpegImage, ShortWritesToTheCallersStreamFail) {
  auto image = Loaded(Cjpeg(dir, PhotoLike(20, 20), "-quality 90"));
  StingyStream out;
  EXPECT_THROW(image->WriteToStream(out), EWriteError);
  StingyStream stored;
  EXPECT_THROW(image->WriteStoredData(stored), EWriteError);
}

// --- Loading and decoding -----------------------------------------------------------------

TEST_F(JpegImage, LoadReadsOnlyTheHeader) {
  const Bytes file = Cjpeg(dir, PhotoLike(61, 47), "-quality 90 -progressive");
  TJPEGImage image;
  Events events(image);
  auto stream = StreamOf(file);
  image.ReadFromStream(*stream);
  EXPECT_EQ(image.Width(), 61);
  EXPECT_EQ(image.Height(), 47);
  EXPECT_TRUE(image.MultiScan());
  EXPECT_FALSE(image.Data().StoredGray);
  EXPECT_FALSE(image.HasBitmap());
  EXPECT_FALSE(image.IsEmpty());
  EXPECT_TRUE(image.PaletteModified());
  EXPECT_EQ(events.changes, 1);
  EXPECT_TRUE(events.progress.empty());
  EXPECT_EQ(image.Data().StoredBytes->Size(), static_cast<std::int64_t>(file.size()));
}

TEST_F(JpegImage, ColourDecodesToTwentyFourBitsLikeDjpeg) {
  const Bytes file = Cjpeg(dir, PhotoLike(61, 47), "-quality 90");
  auto image = Loaded(file);
  Events events(*image);
  image->SetPaletteModified(false);  // as after the view has painted it
  TBitmap& bitmap = image->ObtainBitmap();
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::Depth24);
  EXPECT_EQ(bitmap.Palette(), nullptr);
  EXPECT_TRUE(SamePixels(Djpeg(dir, file, "-dct float"), PixelsOf(bitmap)));
  EXPECT_EQ(events.changes, 0);
  ASSERT_EQ(events.progress.size(), 2u);
  EXPECT_EQ(events.progress.front(), std::make_pair(TProgressStage::psStarting, 0));
  EXPECT_EQ(events.progress.back(), std::make_pair(TProgressStage::psEnding, 100));
  // Held from now on: no second decode.
  EXPECT_EQ(&image->ObtainBitmap(), &bitmap);
  EXPECT_EQ(events.progress.size(), 2u);
}

TEST_F(JpegImage, GrayDecodesToEightBitsWithAChangeNotification) {
  const Bytes file = Cjpeg(dir, PhotoLike(61, 47), "-quality 90 -grayscale");
  auto image = Loaded(file);
  EXPECT_TRUE(image->Data().StoredGray);
  Events events(*image);
  image->SetPaletteModified(false);
  TBitmap& bitmap = image->ObtainBitmap();
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::Depth8);
  EXPECT_LE(EntriesOf(bitmap.Palette()).size(), 236u);
  EXPECT_TRUE(SamePixels(Djpeg(dir, file, "-dct float -colors 236"), GrayLevelsOf(bitmap)));
  EXPECT_TRUE(image->PaletteModified());
  EXPECT_EQ(events.changes, 1);
}

TEST_F(JpegImage, EightBitScreenDecodesColourToAPalette) {
  win::SetScreenDepth(8);
  AdjustDefaultsToScreen();
  EXPECT_EQ(DefaultJpegSettings.OutputDepth, TJPEGOutputDepth::Out8Bit);
  const Bytes file = Cjpeg(dir, PhotoLike(61, 47), "-quality 90");
  auto image = Loaded(file);
  TBitmap& bitmap = image->ObtainBitmap();
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::Depth8);
  EXPECT_TRUE(SamePixels(Djpeg(dir, file, "-dct float -colors 236"), PixelsOf(bitmap)));

  win::SetScreenDepth(32);
  AdjustDefaultsToScreen();
  EXPECT_EQ(DefaultJpegSettings.OutputDepth, TJPEGOutputDepth::Out24Bit);
}

TEST_F(JpegImage, FourComponentFileDecodesToTwentyFourBits) {
  // Cyan ink, as an Adobe writer stores it (inverted).
  auto image = Loaded(MakeFourComponent({{255, 0, 0, 0}}, true, false, true));
  TBitmap& bitmap = image->ObtainBitmap();
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::Depth24);
  EXPECT_EQ(bitmap.Width(), 16);
  const std::uint8_t* pixel = bitmap.RowPointer(8) + 3 * 8;
  EXPECT_NEAR(pixel[0], 255, 4);  // blue
  EXPECT_NEAR(pixel[1], 255, 4);  // green
  EXPECT_NEAR(pixel[2], 0, 4);    // red
}

TEST_F(JpegImage, ZeroByteFile) {
  auto image = Loaded({});
  EXPECT_FALSE(image->IsEmpty());
  EXPECT_EQ(image->Width(), 0);
  EXPECT_EQ(image->Height(), 0);
  EXPECT_EQ(MessageOf<EJPEG>([&] { image->ObtainBitmap(); }), "JPEG error #42");
  // The empty bitmap stays held; asking again does not decode again.
  EXPECT_TRUE(image->HasBitmap());
  EXPECT_EQ(image->ObtainBitmap().Width(), 0);
  // Saving writes the zero bytes held.
  EXPECT_TRUE(Saved(*image).empty());
}

TEST_F(JpegImage, DataNotStartingWithSoi) {
  const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
  TJPEGImage image;
  image.CopyFrom(BitmapOf(PhotoLike(8, 8)).get());
  Events events(image);
  auto stream = StreamOf(gif);
  EXPECT_EQ(MessageOf<EJPEG>([&] { image.ReadFromStream(*stream); }), "JPEG error #53");
  // The bytes were taken, the old bitmap dropped, nothing announced.
  EXPECT_FALSE(image.HasBitmap());
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Data().StoredBytes->Size(), static_cast<std::int64_t>(gif.size()));
  EXPECT_EQ(events.changes, 0);
  EXPECT_EQ(MessageOf<EJPEG>([&] { image.ObtainBitmap(); }), "JPEG error #53");
}

TEST_F(JpegImage, ShortStoredDataFailsToRead) {
  const Bytes file = Cjpeg(dir, PhotoLike(20, 20), "-quality 90");
  TMemoryStream stored;
  const std::int32_t count = static_cast<std::int32_t>(file.size()) + 100;  // promises more
  stored.WriteBuffer(&count, 4);
  stored.WriteBuffer(file.data(), static_cast<std::int32_t>(file.size()));
  stored.SetPosition(0);
  TJPEGImage image;
  EXPECT_EQ(MessageOf<EReadError>([&] { image.ReadStoredData(stored); }), "Stream read error");
  EXPECT_EQ(image.Data().StoredBytes->Size(), count);
}

TEST_F(JpegImage, TruncatedFileDecodesWithoutError) {
  Bytes file = Cjpeg(dir, PhotoLike(80, 60), "-quality 90");
  file.resize(file.size() * 2 / 3);
  auto image = Loaded(file);
  TBitmap& bitmap = image->ObtainBitmap();
  EXPECT_TRUE(SamePixels(Djpeg(dir, file, "-dct float", true), PixelsOf(bitmap)));
}

TEST_F(JpegImage, GiantHeaderFailsWithOutOfMemory) {
  const Bytes forged = WithClaimedSize(Cjpeg(dir, PhotoLike(16, 16), "-quality 90"), 64250, 64250);
  auto image = Loaded(forged);
  EXPECT_EQ(image->Width(), 64250);
  EXPECT_EQ(MessageOf<EOutOfMemory>([&] { image->ObtainBitmap(); }),
            "JPEG image is too large (64250 x 64250 pixels)");
  EXPECT_EQ(image->ObtainBitmap().Width(), 0);
  // A photo turned a quarter is named by the size it is shown at.
  auto turned = Loaded(WithExifOrientation(
      WithClaimedSize(Cjpeg(dir, PhotoLike(16, 16), "-quality 90"), 64250, 30000), 6));
  EXPECT_EQ(turned->Width(), 30000);
  EXPECT_EQ(turned->Height(), 64250);
  EXPECT_EQ(MessageOf<EOutOfMemory>([&] { turned->ObtainBitmap(); }),
            "JPEG image is too large (30000 x 64250 pixels)");
}

TEST_F(JpegImage, ReducedScaleSizeComesFromTheHeader) {
  auto image = Loaded(Cjpeg(dir, PhotoLike(61, 47), "-quality 90"));
  image->SetReduceShift(1);
  EXPECT_EQ(image->Width(), 31);
  EXPECT_EQ(image->Height(), 24);
  image->SetReduceShift(3);
  EXPECT_EQ(image->Width(), 8);
  EXPECT_EQ(image->Height(), 6);
  EXPECT_FALSE(image->HasBitmap());
  EXPECT_EQ(image->ObtainBitmap().Width(), 8);
}

// --- Progress and abort ---------------------------------------------------------------------

struct SteadyClock {
  static inline std::uint32_t now = 0;
  static std::uint32_t Tick() { return now += 500; }
  SteadyClock() {
    now = 5000;
    jpeg::SetTickSource(&Tick);
  }
  ~SteadyClock() { jpeg::SetTickSource(nullptr); }
};

TEST_F(JpegImage, AbortDuringDecodeKeepsWhatWasDecoded) {
  SteadyClock clock;
  const Bytes file = Cjpeg(dir, PhotoLike(64, 600), "-quality 90");
  auto image = Loaded(file);
  Events events(*image);
  events.abortOnStage = static_cast<int>(TProgressStage::psRunning);
  TBitmap& bitmap = image->ObtainBitmap();  // no exception
  EXPECT_EQ(bitmap.Width(), 64);
  EXPECT_EQ(bitmap.Height(), 600);
  EXPECT_EQ(events.progress.back(), std::make_pair(TProgressStage::psEnding, 0));
  // The top rows are decoded, the bottom ones still the white of a new bitmap.
  const Pixels reference = Djpeg(dir, file, "-dct float");
  const Pixels partial = PixelsOf(bitmap);
  EXPECT_TRUE(std::equal(reference.Row(0), reference.Row(1), partial.Row(0)));
  EXPECT_TRUE(std::all_of(partial.Row(599), partial.Row(599) + partial.Step(),
                          [](std::uint8_t v) { return v == 255; }));
}

TEST_F(JpegImage, AbortDuringEncodeSavesNothing) {
  SteadyClock clock;
  TJPEGImage image;
  image.CopyFrom(BitmapOf(PhotoLike(64, 600)).get());
  Events events(image);
  events.abortOnStage = static_cast<int>(TProgressStage::psRunning);
  image.Encode();  // ends silently
  EXPECT_EQ(image.Data().StoredBytes, nullptr);
  EXPECT_EQ(events.progress.back(), std::make_pair(TProgressStage::psEnding, 0));
  TMemoryStream out;
  EXPECT_THROW(image.WriteToStream(out), EAbort);
  EXPECT_EQ(out.Size(), 0);

  events.abortOnStage = -1;
  EXPECT_FALSE(Saved(image).empty());
}

// --- Assignment and sharing ---------------------------------------------------------------

TEST_F(JpegImage, AssigningAJpegSharesTheBytes) {
  const Bytes first = Cjpeg(dir, PhotoLike(30, 20), "-quality 90");
  auto a = Loaded(first);
  TJPEGImage b;
  Events events(b);
  b.CopyFrom(a.get());
  EXPECT_EQ(&b.Data(), &a->Data());
  EXPECT_EQ(a->Data().RefCount(), 2);
  EXPECT_TRUE(b.SameAs(a.get()));
  EXPECT_EQ(events.changes, 0);

  // Loading new bytes into one leaves the other with the old ones.
  auto stream = StreamOf(Cjpeg(dir, PhotoLike(12, 10), "-quality 90"));
  a->ReadFromStream(*stream);
  EXPECT_EQ(b.Width(), 30);
  EXPECT_EQ(Saved(b), first);
  EXPECT_FALSE(b.SameAs(a.get()));
}

TEST_F(JpegImage, AssigningAJpegWithoutBitmapDropsTheOldBitmap) {
  TJPEGImage receiver;
  receiver.CopyFrom(BitmapOf(PhotoLike(10, 10)).get());
  auto source = Loaded(Cjpeg(dir, PhotoLike(23, 11), "-quality 90"));
  receiver.CopyFrom(source.get());
  EXPECT_FALSE(receiver.HasBitmap());
  EXPECT_EQ(receiver.Width(), 23);
  EXPECT_EQ(receiver.ObtainBitmap().Height(), 11);
}

TEST_F(JpegImage, AssigningABitmapSizesAtOnceWithoutEncoding) {
  TJPEGImage image;
  Events events(image);
  auto stream = StreamOf(Cjpeg(dir, PhotoLike(30, 20), "-quality 90"));
  image.ReadFromStream(*stream);
  image.CopyFrom(BitmapOf(PhotoLike(70, 35)).get());
  EXPECT_EQ(image.Width(), 70);
  EXPECT_EQ(image.Height(), 35);
  EXPECT_EQ(image.Data().StoredBytes, nullptr);
  EXPECT_TRUE(events.progress.empty());
}

// The thumbnail flow: the view's JPEG object last loaded a file, then takes the thumbnail
// from a JPEG object that holds only a bitmap; saving it encodes as that file was coded.
TEST_F(JpegImage, ThumbnailIsProgressiveWhenTheViewLastHeldAProgressiveFile) {
  for (bool progressive : {true, false}) {
    auto view = Loaded(Cjpeg(dir, PhotoLike(40, 30), progressive ? "-progressive" : "-quality 90"));
    TJPEGImage thumbnail;
    thumbnail.CopyFrom(BitmapOf(PhotoLike(20, 15)).get());
    view->CopyFrom(&thumbnail);
    EXPECT_EQ(view->Width(), 20);
    EXPECT_EQ(view->MultiScan(), progressive);
    EXPECT_EQ(IsProgressive(Saved(*view)), progressive);
  }
}

TEST_F(JpegImage, FirstEncodeIntoASharedEmptyHolderServesAllSharers) {
  TJPEGImage a;
  a.CopyFrom(BitmapOf(PhotoLike(32, 32)).get());
  TJPEGImage b;
  b.CopyFrom(&a);
  Events eventsA(a);
  const Bytes fromB = Saved(b);
  EXPECT_EQ(Saved(a), fromB);
  EXPECT_EQ(eventsA.Count(TProgressStage::psStarting), 0);
}

TEST_F(JpegImage, BitmapTakesTheDecodedPicture) {
  const Bytes file = Cjpeg(dir, PhotoLike(33, 21), "-quality 90");
  auto image = Loaded(file);
  TBitmap bitmap;
  bitmap.CopyFrom(image.get());
  EXPECT_TRUE(SamePixels(Djpeg(dir, file, "-dct float"), PixelsOf(bitmap)));
}

TEST_F(JpegImage, UnsupportedAssignmentsFail) {
  TJPEGImage image;
  EXPECT_EQ(MessageOf<EConvertError>([&] { image.CopyFrom(nullptr); }),
            "Cannot assign a nil to a TJPEGImage");
  struct Other : TPersistent {
    const char* ClassName() const override { return "TOther"; }
  } other;
  EXPECT_EQ(MessageOf<EConvertError>([&] { image.CopyTo(&other); }),
            "Cannot assign a TJPEGImage to a TOther");
}

TEST_F(JpegImage, SizeCannotBeSet) {
  auto image = Loaded(Cjpeg(dir, PhotoLike(30, 20), "-quality 90"));
  EXPECT_EQ(MessageOf<EInvalidGraphicOperation>([&] { image->SetWidth(5); }),
            "Cannot change the size of a JPEG image");
  EXPECT_EQ(MessageOf<EInvalidGraphicOperation>([&] { image->SetHeight(5); }),
            "Cannot change the size of a JPEG image");
  EXPECT_EQ(image->Width(), 30);
  EXPECT_EQ(image->Height(), 20);
}

TEST_F(JpegImage, SameAs) {
  const Bytes file = Cjpeg(dir, PhotoLike(30, 20), "-quality 90");
  auto a = Loaded(file);
  auto b = Loaded(file);
  EXPECT_TRUE(a->SameAs(b.get()));  // equal bytes, separate holders
  TJPEGImage c;
  TJPEGImage d;
  const auto bitmap = BitmapOf(PhotoLike(8, 8));
  c.CopyFrom(bitmap.get());
  d.CopyFrom(bitmap.get());
  EXPECT_FALSE(c.SameAs(&d));  // no bytes: only a shared holder counts
  d.CopyFrom(&c);
  EXPECT_TRUE(c.SameAs(&d));
  EXPECT_FALSE(a->SameAs(bitmap.get()));
}

// --- Stored data --------------------------------------------------------------------------

TEST_F(JpegImage, StoredDataIsACountAndTheBytes) {
  const Bytes file = Cjpeg(dir, PhotoLike(30, 20), "-quality 90");
  auto image = Loaded(file);
  TMemoryStream stored;
  image->WriteStoredData(stored);
  const Bytes data = BytesOf(stored);
  ASSERT_EQ(data.size(), file.size() + 4);
  const std::uint32_t count = data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t(data[3]) << 24;
  EXPECT_EQ(count, file.size());
  EXPECT_TRUE(std::equal(file.begin(), file.end(), data.begin() + 4));

  stored.SetPosition(0);
  TJPEGImage copy;
  copy.ReadStoredData(stored);
  EXPECT_EQ(copy.Width(), 30);
  EXPECT_TRUE(copy.SameAs(image.get()));
}

TEST_F(JpegImage, StoredDataOfABitmapOnlyObjectIsEmpty) {
  TJPEGImage image;
  image.CopyFrom(BitmapOf(PhotoLike(8, 8)).get());
  TMemoryStream stored;
  image.WriteStoredData(stored);
  EXPECT_EQ(BytesOf(stored), Bytes(4, 0));
  EXPECT_EQ(image.Data().StoredBytes, nullptr);  // never encodes

  // A count of 0 reads like a 0-byte file.
  stored.SetPosition(0);
  TJPEGImage loaded;
  loaded.ReadStoredData(stored);
  EXPECT_FALSE(loaded.IsEmpty());
  EXPECT_EQ(loaded.Width(), 0);
}

// --- Palettes -------------------------------------------------------------------------------

TEST_F(JpegImage, HalftonePaletteOnPaletteScreensForTwentyFourBitOutput) {
  auto image = Loaded(Cjpeg(dir, PhotoLike(30, 20), "-quality 90"));
  EXPECT_EQ(image->Palette(), nullptr);
  win::SetScreenDepth(8);
  const win::HPALETTE palette = image->Palette();
  EXPECT_NE(palette, nullptr);
  EXPECT_EQ(image->Palette(), palette);  // kept
}

TEST_F(JpegImage, SettingAnotherPaletteDropsTheBitmap) {
  auto image = Loaded(Cjpeg(dir, PhotoLike(30, 20), "-quality 90"));
  image->ObtainBitmap();
  image->SetPaletteModified(false);
  Events events(*image);
  win::HDC screen = win::GetDC(nullptr);
  image->SetPalette(win::CreateHalftonePalette(screen));
  win::ReleaseDC(nullptr, screen);
  EXPECT_FALSE(image->HasBitmap());
  EXPECT_TRUE(image->PaletteModified());
  EXPECT_EQ(events.changes, 1);
  EXPECT_EQ(image->Width(), 30);  // the bytes are still there
}

TEST_F(JpegImage, EightBitOutputDecodesIntoTheDisplayPalette) {
  auto image = Loaded(Cjpeg(dir, PhotoLike(30, 20), "-quality 90"));
  image->SetOutputDepth(TJPEGOutputDepth::Out8Bit);
  std::vector<win::PALETTEENTRY> entries;
  for (int i = 0; i < 8; ++i)
    entries.push_back({static_cast<std::uint8_t>(i * 36), static_cast<std::uint8_t>(255 - i * 30),
                       static_cast<std::uint8_t>(i * 20), 0});
  win::LOGPALETTE logical{};
  logical.palVersion = 0x300;
  logical.palNumEntries = 8;
  std::copy(entries.begin(), entries.end(), logical.palPalEntry);
  image->SetPalette(win::CreatePalette(&logical));
  TBitmap& bitmap = image->ObtainBitmap();
  EXPECT_EQ(bitmap.ColorDepth(), TColorDepth::Depth8);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) ASSERT_LT(bitmap.RowPointer(y)[x], 8);
}

// --- Photos stored turned ------------------------------------------------------------------

// Every orientation: the size is the upright one from the header on, the decoded bitmap is
// djpeg's picture turned upright, and saving writes the loaded bytes back unchanged (EXIF and
// all, so viewers still turn them alike).
TEST_F(JpegImage, TurnedPhotosAreUprightAndSavedUnchanged) {
  const Bytes stored = Cjpeg(dir, PhotoLike(27, 13), "-quality 90");
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(testing::Message() << "orientation " << o);
    const bool quarter = o >= 5;
    const Bytes file = WithExifOrientation(stored, o, o % 2 == 1);
    auto image = Loaded(file);
    EXPECT_EQ(image->Width(), quarter ? 13 : 27);
    EXPECT_EQ(image->Height(), quarter ? 27 : 13);
    TBitmap& bitmap = image->ObtainBitmap();
    EXPECT_TRUE(SamePixels(TurnedReference(dir, file, "-dct float", o), PixelsOf(bitmap)));
    EXPECT_EQ(image->Width(), bitmap.Width());
    EXPECT_EQ(image->Height(), bitmap.Height());
    EXPECT_EQ(Saved(*image), file);

    // ImageMagick turning the file by its own reading of the tag agrees, within what its
    // different DCT changes.
    WriteFile(dir.HostOf("turned.jpg"), file);
    jpegtest::Run(std::string("/usr/bin/convert ") + dir.HostOf("turned.jpg") + " -auto-orient " +
                  dir.HostOf("auto.ppm"));
    const Pixels automatic = ReadPnm(dir.HostOf("auto.ppm"));
    ASSERT_EQ(automatic.width, bitmap.Width());
    EXPECT_LE(MaxDifference(automatic, PixelsOf(bitmap)), 12);
  }
}

// A thumbnail or a copy of a turned photo holds the upright pixels and no orientation of its
// own: it is encoded upright.
TEST_F(JpegImage, EncodingATurnedPhotoWritesItUpright) {
  auto image = Loaded(WithExifOrientation(Cjpeg(dir, PhotoLike(27, 13), "-quality 90"), 6));
  TJPEGImage copy;
  copy.CopyFrom(&image->ObtainBitmap());
  const Bytes saved = Saved(copy);
  EXPECT_EQ(copy.Data().StoredOrientation, jpeg::TOrientation::TopLeft);
  auto reloaded = Loaded(saved);
  EXPECT_EQ(reloaded->Width(), 13);
  EXPECT_EQ(reloaded->Height(), 27);
}

TEST_F(JpegImage, ReducedScaleSizeOfATurnedPhotoIsTurned) {
  auto image = Loaded(WithExifOrientation(Cjpeg(dir, PhotoLike(61, 47), "-quality 90"), 8));
  image->SetReduceShift(1);
  EXPECT_EQ(image->Width(), 24);
  EXPECT_EQ(image->Height(), 31);
  EXPECT_EQ(image->ObtainBitmap().Width(), 24);
  EXPECT_EQ(image->ObtainBitmap().Height(), 31);
}

// --- Registration -------------------------------------------------------------------------

TEST_F(JpegImage, RegistrationAddsJpegAndJpgAndShutdownRemovesThem) {
  UnregisterJpegFormats();  // from a known state, whatever ran before
  const std::size_t before = FileFormats().Entries().size();
  RegisterJpegFormats();
  RegisterJpegFormats();  // a second start adds nothing
  EXPECT_EQ(FileFormats().Entries().size(), before + 2);
  EXPECT_EQ(FileFormats().FindExtension("jpg"), &TJPEGImage::StaticClass());
  EXPECT_EQ(FileFormats().FindExtension("JPEG"), &TJPEGImage::StaticClass());
  const auto& entries = FileFormats().Entries();
  ASSERT_GE(entries.size(), 2u);
  EXPECT_EQ(entries[entries.size() - 2].extension, "jpeg");
  EXPECT_EQ(entries.back().extension, "jpg");
  EXPECT_EQ(entries.back().description, "JPEG Image File");

  // The picture container now loads such files into a JPEG object.
  const std::string host = dir.HostOf("photo.jpg");
  WriteFile(host, Cjpeg(dir, PhotoLike(30, 20), "-quality 90"));
  AnsiString path = "C:" + host;
  std::replace(path.begin(), path.end(), '/', '\\');
  TPicture picture;
  picture.ReadFromFile(path);
  ASSERT_NE(dynamic_cast<TJPEGImage*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 30);

  UnregisterJpegFormats();
  EXPECT_EQ(FileFormats().FindExtension("jpg"), nullptr);
  EXPECT_EQ(FileFormats().FindExtension("jpeg"), nullptr);
  EXPECT_EQ(FileFormats().Entries().size(), before);
}

}  // namespace
