#include "imaging/graphic.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/bitmap.h"
#include "runtime/exceptions.h"
#include "tests/imaging/bitmap_test_support.h"
#include "tests/support/failure_message.h"
#include "tests/support/scratch_folder.h"

namespace {

using bitmap_test::MakeCoded24;
using bitmap_test::Read24;
using test_support::MessageOf;

// A graphic of another class whose stored data is a fixed byte string.
class TFixedGraphic : public TGraphic {
 public:
  explicit TFixedGraphic(AnsiString data) : data_(std::move(data)) {}
  static const TGraphicClass& StaticClass() {
    static const TGraphicClass kClass{"TFixedGraphic", &TGraphic::StaticClass(), nullptr};
    return kClass;
  }
  const TGraphicClass& GraphicClass() const override { return StaticClass(); }
  void DrawInto(TCanvas&, const win::RECT&) override {}
  bool IsEmpty() const override { return data_.empty(); }
  int Height() const override { return 1; }
  int Width() const override { return 1; }
  void SetHeight(int) override {}
  void SetWidth(int) override {}
  void ReadFromStream(TStream&) override {}
  void WriteToStream(TStream& stream) override {
    stream.WriteBuffer(data_.data(), std::int32_t(data_.size()));
  }
  void ReadFromClipboard(std::uint16_t, win::HANDLE, win::HPALETTE) override {}
  void WriteToClipboard(std::uint16_t&, win::HANDLE&, win::HPALETTE&) override {}

 private:
  AnsiString data_;
};

TEST(GraphicTest, SameAsComparesEmptinessClassAndStoredBytes) {
  TBitmap emptyA;
  TBitmap emptyB;
  TBitmap coded;
  MakeCoded24(coded, 3, 2);
  TBitmap sameCoded;
  MakeCoded24(sameCoded, 3, 2);
  TBitmap changed;
  MakeCoded24(changed, 3, 2);
  changed.RowPointer(1)[0] ^= 1;
  TFixedGraphic fixed("BM");
  TFixedGraphic otherFixed("BM");
  TFixedGraphic emptyFixed("");

  EXPECT_TRUE(emptyA.SameAs(&emptyB));
  EXPECT_TRUE(emptyA.SameAs(&emptyFixed));  // both empty, whatever the class
  EXPECT_FALSE(emptyA.SameAs(&coded));
  EXPECT_FALSE(coded.SameAs(&emptyA));
  EXPECT_TRUE(coded.SameAs(&sameCoded));
  EXPECT_FALSE(coded.SameAs(&changed));
  EXPECT_FALSE(coded.SameAs(&fixed));
  EXPECT_TRUE(fixed.SameAs(&otherFixed));
}

TEST(GraphicTest, StoresDataOnlyWhenNotEmptyAndDifferentFromTheAncestor) {
  TFixedGraphic data("x");
  TFixedGraphic same("x");
  TFixedGraphic other("y");
  TFixedGraphic empty("");
  EXPECT_TRUE(data.StoresData(nullptr));
  EXPECT_FALSE(data.StoresData(&same));
  EXPECT_TRUE(data.StoresData(&other));
  EXPECT_FALSE(empty.StoresData(nullptr));
}

TEST(GraphicTest, TransparentAndModifiedNotifyOnChangeOnly) {
  TFixedGraphic graphic("x");
  int changes = 0;
  graphic.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &graphic);
    ++changes;
  };
  graphic.SetTransparent(false);
  EXPECT_EQ(changes, 0);
  graphic.SetTransparent(true);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(graphic.Transparent());
  EXPECT_TRUE(graphic.Modified());
  graphic.SetModified(false);
  EXPECT_FALSE(graphic.Modified());
  EXPECT_EQ(changes, 1);
  graphic.SetModified(true);
  EXPECT_EQ(changes, 2);
}

TEST(GraphicTest, BaseCopyFromAsksTheSourceAndFailsForNone) {
  TFixedGraphic graphic("x");
  TFixedGraphic other("y");
  EXPECT_EQ(MessageOf<EConvertError>([&] { graphic.CopyFrom(nullptr); }),
            "Cannot assign a nil to a TFixedGraphic");
  EXPECT_EQ(MessageOf<EConvertError>([&] { graphic.CopyFrom(&other); }),
            "Cannot assign a TFixedGraphic to a TFixedGraphic");
}

TEST(GraphicTest, FileRoundTripAndOpenFailure) {
  const test_support::ScratchFolder folder("suotu-graphic");
  const AnsiString path = folder.Win("coded.bmp");

  TBitmap original;
  MakeCoded24(original, 4, 3);
  original.WriteToFile(path);
  TBitmap read;
  read.ReadFromFile(path);
  EXPECT_EQ(Read24(read), Read24(original));
  std::filesystem::remove(folder.HostOf("coded.bmp"));

  const std::string message = MessageOf<EFOpenError>([&] { read.ReadFromFile(path); });
  EXPECT_EQ(message.rfind("Cannot open file \"" + path + "\". ", 0), 0u) << message;
  EXPECT_EQ(Read24(read), Read24(original));  // a failed read leaves the picture
}

}  // namespace
