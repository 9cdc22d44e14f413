#include "imaging/picture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "imaging/bitmap.h"
#include "imaging/icon.h"
#include "imaging/metafile.h"
#include "test_graphic.h"
#include "tests/support/scratch_folder.h"

namespace {

// Registers the test classes for the test and removes them (and anything a test added for
// them) again afterwards.
class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TTestGraphic::failCopies = false;
    TPicture::RegisterFormat("TsT", "Test pictures", TTestGraphic::StaticClass());
    TPicture::RegisterClipboardFormat(kTestClipboardFormat, TTestGraphic::StaticClass());
    picture_.OnChange = [this](TObject* sender) {
      EXPECT_EQ(sender, &picture_);
      ++changes_;
    };
  }
  void TearDown() override { TPicture::UnregisterGraphicClass(TTestGraphic::StaticClass()); }

  std::string TestData(std::int32_t w, std::int32_t h, std::int32_t tag) {
    TMemoryStream stream;
    MakeTestGraphic(w, h, tag)->WriteToStream(stream);
    return std::string(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.Size()));
  }

  TPicture picture_;
  int changes_ = 0;
  test_support::ScratchFolder dir_{"suotu-picture"};
};

TEST_F(PictureTest, RegistryStartsWithTheSystemsFormatsInOrder) {
  const auto& entries = FileFormats().Entries();
  ASSERT_GE(entries.size(), 4u);
  const struct {
    const char* extension;
    const char* description;
    const TGraphicClass* graphicClass;
  } expected[] = {
      {"wmf", "Metafiles", &TMetafile::StaticClass()},
      {"emf", "Enhanced Metafiles", &TMetafile::StaticClass()},
      {"ico", "Icons", &TIcon::StaticClass()},
      {"bmp", "Bitmaps", &TBitmap::StaticClass()},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[i].extension, expected[i].extension);
    EXPECT_EQ(entries[i].description, expected[i].description);
    EXPECT_EQ(entries[i].graphicClass, expected[i].graphicClass);
  }
  const auto& formats = ClipboardFormats().Formats();
  ASSERT_GE(formats.size(), 3u);
  EXPECT_EQ(formats[0], win::CF_METAFILEPICT);
  EXPECT_EQ(formats[1], win::CF_ENHMETAFILE);
  EXPECT_EQ(formats[2], win::CF_BITMAP);
  EXPECT_TRUE(TPicture::Supports(win::CF_BITMAP));
  EXPECT_FALSE(TPicture::Supports(win::CF_TEXT));
  EXPECT_FALSE(TPicture::Supports(win::CF_DIB));
}

TEST_F(PictureTest, LaterRegistrationWinsAndRemovalRestores) {
  EXPECT_EQ(FileFormats().FindExtension("tst"), &TTestGraphic::StaticClass())
      << "stored lower-cased";
  EXPECT_EQ(FileFormats().FindExtension("TST"), &TTestGraphic::StaticClass());
  TPicture::RegisterFormat("BMP", "Test bitmaps", TTestSubGraphic::StaticClass());
  TPicture::RegisterClipboardFormat(win::CF_BITMAP, TTestSubGraphic::StaticClass());
  EXPECT_EQ(FileFormats().FindExtension("bmp"), &TTestSubGraphic::StaticClass());
  EXPECT_EQ(ClipboardFormats().FindFormat(win::CF_BITMAP), &TTestSubGraphic::StaticClass());

  // Removing the parent class takes the descendant's entries with it, in both registries.
  TPicture::UnregisterGraphicClass(TTestGraphic::StaticClass());
  EXPECT_EQ(FileFormats().FindExtension("tst"), nullptr);
  EXPECT_EQ(FileFormats().FindExtension("bmp"), &TBitmap::StaticClass());
  EXPECT_EQ(ClipboardFormats().FindFormat(win::CF_BITMAP), &TBitmap::StaticClass());
  EXPECT_EQ(ClipboardFormats().FindFormat(kTestClipboardFormat), nullptr);
}

TEST_F(PictureTest, ClassNamesAreFoundExactlyWithCase) {
  EXPECT_EQ(FileFormats().FindClassName("TTestGraphic"), &TTestGraphic::StaticClass());
  EXPECT_EQ(FileFormats().FindClassName("TBitmap"), &TBitmap::StaticClass());
  EXPECT_EQ(FileFormats().FindClassName("tbitmap"), nullptr);
  EXPECT_EQ(FileFormats().FindClassName("TBitma"), nullptr);
}

TEST_F(PictureTest, FilterTextOfTheSystemsRegistry) {
  // Until the JPEG module is linked in, stand-ins take its two entries.
  TPicture::UnregisterGraphicClass(TTestGraphic::StaticClass());
  if (FileFormats().FindExtension("jpg") == nullptr) {
    TPicture::RegisterFormat("jpeg", "JPEG Image File", TTestGraphic::StaticClass());
    TPicture::RegisterFormat("jpg", "JPEG Image File", TTestGraphic::StaticClass());
  }
  EXPECT_EQ(FilterText(TGraphic::StaticClass()),
            "All (*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)|*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf|"
            "JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg|"
            "Bitmaps (*.bmp)|*.bmp|Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|"
            "Metafiles (*.wmf)|*.wmf");
}

TEST_F(PictureTest, FilterTextOfOneClass) {
  EXPECT_EQ(FilterText(TBitmap::StaticClass()), "Bitmaps (*.bmp)|*.bmp") << "one entry: no All";
  EXPECT_EQ(FilterText(TTestGraphic::StaticClass()), "Test pictures (*.tst)|*.tst");
  EXPECT_EQ(
      FilterText(TMetafile::StaticClass()),
      "All (*.emf;*.wmf)|*.emf;*.wmf|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf");
  EXPECT_EQ(FilterText(TTestSubGraphic::StaticClass()), "") << "a class with no entry";
}

TEST_F(PictureTest, UnknownExtensionsNameTheExtensionAsWritten) {
  picture_.SetGraphic(MakeTestGraphic(3, 4, 1).get());
  TGraphic* before = picture_.Graphic();
  changes_ = 0;
  const struct {
    const char* path;
    const char* message;
  } cases[] = {
      {"C:\\pictures\\photo", "Unknown picture file extension (.)"},
      {"C:\\pictures.v2\\photo", "Unknown picture file extension (.)"},
      {"C:\\pictures\\x.png", "Unknown picture file extension (.png)"},
      {"C:\\pictures\\X.PnG", "Unknown picture file extension (.PnG)"},
      {"photo.", "Unknown picture file extension (.)"},
  };
  for (const auto& c : cases) {
    try {
      picture_.ReadFromFile(c.path);
      ADD_FAILURE() << c.path << " loaded";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), c.message) << c.path;
    }
  }
  EXPECT_EQ(picture_.Graphic(), before);
  EXPECT_EQ(changes_, 0);
}

TEST_F(PictureTest, ExtensionIsLowerCasedBeforeTheLookup) {
  TPicture::RegisterFormat("jpg", "Test JPEG", TTestGraphic::StaticClass());
  dir_.Write("photo.JPG", TestData(64, 48, 7));
  picture_.ReadFromFile(dir_.Win("photo.JPG"));
  auto* graphic = dynamic_cast<TTestGraphic*>(picture_.Graphic());
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(graphic->Tag(), 7);
  EXPECT_EQ(picture_.Width(), 64);
  EXPECT_EQ(picture_.Height(), 48);
  EXPECT_EQ(changes_, 1) << "one change per replacement";
  // The loaded graphic's own changes reach the picture's owner.
  graphic->SetWidth(65);
  EXPECT_EQ(changes_, 2);
}

TEST_F(PictureTest, FailedLoadKeepsThePreviousGraphic) {
  dir_.Write("good.tst", TestData(10, 20, 1));
  dir_.Write("bad.tst", "not a test picture at all");
  picture_.ReadFromFile(dir_.Win("good.tst"));
  TGraphic* before = picture_.Graphic();
  changes_ = 0;
  EXPECT_THROW(picture_.ReadFromFile(dir_.Win("bad.tst")), EInvalidGraphic);
  // A FIFO fails at once like a missing file instead of waiting for a writer.
  ASSERT_EQ(mkfifo(dir_.HostOf("pipe.tst").c_str(), 0644), 0);
  for (const char* name : {"missing.tst", "pipe.tst"}) {
    try {
      picture_.ReadFromFile(dir_.Win(name));
      ADD_FAILURE() << name << " loaded";
    } catch (const EFOpenError& e) {
      EXPECT_EQ(e.Message().rfind("Cannot open file \"" + dir_.Win(name) + "\". ", 0), 0u)
          << e.Message();
    }
  }
  EXPECT_EQ(picture_.Graphic(), before);
  EXPECT_EQ(picture_.Width(), 10);
  EXPECT_EQ(picture_.Height(), 20);
  EXPECT_EQ(changes_, 0);
}

TEST_F(PictureTest, SavingWritesTheGraphicsOwnFormatWhateverTheExtension) {
  picture_.SetGraphic(MakeTestGraphic(5, 6, 9).get());
  changes_ = 0;
  picture_.WriteToFile(dir_.Win("out.bmp"));
  EXPECT_EQ(dir_.Read("out.bmp"), TestData(5, 6, 9));
  EXPECT_EQ(changes_, 0);
}

TEST_F(PictureTest, SavingAnEmptyPictureCreatesNoFile) {
  picture_.WriteToFile(dir_.Win("empty.bmp"));
  EXPECT_FALSE(dir_.Exists("empty.bmp"));
}

TEST_F(PictureTest, CopyingMakesANewGraphicOfTheSameClass) {
  auto source = MakeTestGraphic(7, 8, 3);
  picture_.CopyFrom(source.get());
  auto* held = dynamic_cast<TTestGraphic*>(picture_.Graphic());
  ASSERT_NE(held, nullptr);
  EXPECT_NE(held, source.get());
  EXPECT_EQ(held->Tag(), 3);
  EXPECT_EQ(changes_, 1);

  TPicture other;
  other.CopyFrom(&picture_);
  ASSERT_NE(other.Graphic(), nullptr);
  EXPECT_NE(other.Graphic(), picture_.Graphic());
  EXPECT_EQ(other.Width(), 7);

  TPicture empty;
  other.CopyFrom(&empty);
  EXPECT_EQ(other.Graphic(), nullptr);
  picture_.CopyFrom(nullptr);
  EXPECT_EQ(picture_.Graphic(), nullptr);
  EXPECT_EQ(picture_.Width(), 0);
  EXPECT_EQ(changes_, 2);
}

TEST_F(PictureTest, FailedCopyKeepsTheOldGraphic) {
  picture_.SetGraphic(MakeTestGraphic(1, 2, 3).get());
  TGraphic* before = picture_.Graphic();
  auto source = MakeTestGraphic(4, 5, 6);
  TTestGraphic::failCopies = true;
  EXPECT_THROW(picture_.CopyFrom(source.get()), EInvalidGraphic);
  TTestGraphic::failCopies = false;
  EXPECT_EQ(picture_.Graphic(), before);
  EXPECT_EQ(picture_.Width(), 1);
}

TEST_F(PictureTest, CopyToNeedsADestinationOfTheGraphicsClass) {
  auto sub = std::make_unique<TTestSubGraphic>();
  sub->SetWidth(11);
  picture_.CopyFrom(sub.get());
  TTestGraphic parent;
  picture_.CopyTo(&parent);
  EXPECT_EQ(parent.Width(), 11);

  picture_.SetGraphic(MakeTestGraphic(12, 1, 0).get());
  TTestSubGraphic child;
  try {
    picture_.CopyTo(&child);
    ADD_FAILURE() << "a parent-class graphic went into a descendant";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TPicture to a TTestSubGraphic");
  }
  TPicture empty;
  EXPECT_THROW(empty.CopyTo(&parent), EConvertError);
}

TEST_F(PictureTest, ProgressIsForwardedWithTheGraphicAsSender) {
  picture_.SetGraphic(MakeTestGraphic(1, 1, 1).get());
  TObject* sender = nullptr;
  AnsiString message;
  picture_.OnProgress = [&](TObject* s, TProgressStage, std::uint8_t, bool, const win::RECT&,
                            const AnsiString& msg) {
    sender = s;
    message = msg;
  };
  static_cast<TTestGraphic*>(picture_.Graphic())->EmitProgress(false);
  EXPECT_EQ(sender, picture_.Graphic());
  EXPECT_EQ(message, "half");
}

TEST_F(PictureTest, StoredDataRoundTrips) {
  picture_.SetGraphic(MakeTestGraphic(30, 40, 5).get());
  TMemoryStream stream;
  picture_.WriteStoredData(stream);
  const auto* bytes = stream.Memory();
  ASSERT_GE(stream.Size(), 13);
  EXPECT_EQ(bytes[0], 12);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 1), 12), "TTestGraphic");

  stream.SetPosition(0);
  TPicture read;
  int readChanges = 0;
  read.OnChange = [&](TObject*) { ++readChanges; };
  read.ReadStoredData(stream);
  EXPECT_EQ(stream.Position(), stream.Size());
  auto* graphic = dynamic_cast<TTestGraphic*>(read.Graphic());
  ASSERT_NE(graphic, nullptr);
  EXPECT_EQ(graphic->Tag(), 5);
  EXPECT_EQ(read.Width(), 30);
  EXPECT_EQ(readChanges, 1);
  graphic->SetHeight(41);
  EXPECT_EQ(readChanges, 2) << "both notifications are wired";
}

TEST_F(PictureTest, EmptyPictureStoresOneZeroByte) {
  TMemoryStream stream;
  picture_.WriteStoredData(stream);
  ASSERT_EQ(stream.Size(), 1);
  EXPECT_EQ(stream.Memory()[0], 0);
  picture_.SetGraphic(MakeTestGraphic(1, 1, 1).get());
  stream.SetPosition(0);
  picture_.ReadStoredData(stream);
  EXPECT_EQ(picture_.Graphic(), nullptr);
}

TEST_F(PictureTest, UnregisteredClassNameReadsAsEmptyAndLeavesTheRest) {
  for (const std::string& name : {std::string("TNoSuchGraphic"), std::string(70, 'T')}) {
    TMemoryStream stream;
    const auto length = std::uint8_t(name.size());
    stream.WriteBuffer(&length, 1);
    stream.WriteBuffer(name.data(), std::int32_t(name.size()));
    stream.WriteBuffer("rest of the block", 17);
    stream.SetPosition(0);
    picture_.SetGraphic(MakeTestGraphic(2, 2, 2).get());
    EXPECT_NO_THROW(picture_.ReadStoredData(stream));
    EXPECT_EQ(picture_.Graphic(), nullptr) << name;
    EXPECT_EQ(stream.Position(), 1 + std::int64_t(name.size())) << name;
  }
}

class TLongNamedGraphic : public TTestGraphic {
 public:
  static const TGraphicClass& StaticClass() {
    static const TGraphicClass kClass{
        "TAGraphicClassWithAVeryLongNameThatGoesOnAndOnPastSixtyThreeBytes",
        &TTestGraphic::StaticClass(),
        []() -> std::unique_ptr<TGraphic> { return std::make_unique<TLongNamedGraphic>(); }};
    return kClass;
  }
  const TGraphicClass& GraphicClass() const override { return StaticClass(); }
};

TEST_F(PictureTest, LongClassNamesAreCutTo63Bytes) {
  TLongNamedGraphic graphic;
  graphic.SetWidth(9);
  picture_.SetGraphic(&graphic);
  TMemoryStream stream;
  picture_.WriteStoredData(stream);
  const std::string name = graphic.ClassName();
  ASSERT_GT(name.size(), 63u);
  ASSERT_EQ(stream.Size(), 1 + 63 + 16);
  EXPECT_EQ(stream.Memory()[0], 63);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory() + 1), 63),
            name.substr(0, 63));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory() + 64), 4), "TST1");
}

TEST_F(PictureTest, StoresDataAgainstAnAncestor) {
  TPicture ancestor;
  EXPECT_FALSE(picture_.StoresData(&ancestor)) << "both empty";
  ancestor.SetGraphic(MakeTestGraphic(3, 3, 3).get());
  EXPECT_TRUE(picture_.StoresData(&ancestor)) << "emptied against a held graphic";
  picture_.SetGraphic(MakeTestGraphic(3, 3, 3).get());
  EXPECT_FALSE(picture_.StoresData(&ancestor)) << "equal by SameAs";
  picture_.SetGraphic(MakeTestGraphic(3, 3, 4).get());
  EXPECT_TRUE(picture_.StoresData(&ancestor));
}

TEST_F(PictureTest, ClipboardFormatsWithoutAClassAreRefused) {
  picture_.SetGraphic(MakeTestGraphic(1, 1, 1).get());
  TGraphic* before = picture_.Graphic();
  try {
    picture_.ReadFromClipboard(win::CF_TEXT, nullptr, nullptr);
    ADD_FAILURE() << "text became a picture";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unsupported clipboard format");
  }
  EXPECT_EQ(picture_.Graphic(), before);

  std::uint16_t format = 1;
  win::HANDLE data = nullptr;
  win::HPALETTE palette = nullptr;
  TPicture empty;
  empty.WriteToClipboard(format, data, palette);
  EXPECT_EQ(format, 0);
  EXPECT_EQ(data, nullptr);
}

}  // namespace
