#include "imaging/metafile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/picture.h"
#include "platform/gdi/metafile.h"
#include "platform/user/clipboard.h"
#include "test_graphic.h"
#include "tests/support/scratch_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// An enhanced metafile with a frame in 0.01 mm, recorded for a 1024 x 768 pixel, 320 x 240 mm
// device (3.2 pixels per millimetre).
Bytes Emf(int frameWidth, int frameHeight) {
  Bytes bytes(sizeof(win::ENHMETAHEADER) + 20, 0);
  win::ENHMETAHEADER header{};
  header.iType = win::EMR_HEADER;
  header.nSize = sizeof header;
  header.rclFrame = {100, 200, 100 + frameWidth, 200 + frameHeight};
  header.dSignature = win::ENHMETA_SIGNATURE;
  header.nBytes = win::DWORD(bytes.size());
  header.nRecords = 2;
  header.szlDevice = {1024, 768};
  header.szlMillimeters = {320, 240};
  std::memcpy(bytes.data(), &header, sizeof header);
  const win::DWORD eof[5] = {14, 20, 0, 0x10, 20};
  std::memcpy(bytes.data() + sizeof header, eof, sizeof eof);
  return bytes;
}

// A placeable Windows metafile with its bounding box in units of 1/inch.
Bytes Wmf(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom,
          std::uint16_t inch) {
  // Sized whole up front: growing it with insert trips GCC 12's bounds warning at -O2.
  Bytes b(22 + 24, 0);
  const std::uint32_t key = 0x9AC6CDD7;
  std::memcpy(b.data(), &key, 4);
  const std::int16_t box[4] = {left, top, right, bottom};
  std::memcpy(b.data() + 6, box, 8);
  std::memcpy(b.data() + 14, &inch, 2);
  std::uint16_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= std::uint16_t(b[2 * i] | (b[2 * i + 1] << 8));
  std::memcpy(b.data() + 20, &sum, 2);
  const std::uint8_t body[24] = {1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0,
                                 3, 0, 0, 0, 0, 0, 3,  0, 0, 0, 0, 0};
  std::memcpy(b.data() + 22, body, sizeof body);
  return b;
}

void Load(TMetafile& metafile, const Bytes& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), std::int32_t(bytes.size()));
  stream.SetPosition(0);
  metafile.ReadFromStream(stream);
}

Bytes Saved(TMetafile& metafile) {
  TMemoryStream stream;
  metafile.WriteToStream(stream);
  return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

TEST(MetafileTest, SizeFromTheHeader) {
  const struct {
    const char* why;
    Bytes bytes;
    bool enhanced;
    int width, height;
  } cases[] = {
      {"frame at 3.2 pixels per mm", Emf(2540, 1270), true, 81, 41},
      {"empty frame", Emf(0, 0), true, 0, 0},
      {"twips at 96 dpi", Wmf(0, 0, 1440, 720, 1440), false, 96, 48},
      {"offset box", Wmf(100, -50, 388, 94, 576), false, 48, 24},
  };
  for (const auto& c : cases) {
    TMetafile metafile;
    Load(metafile, c.bytes);
    EXPECT_EQ(metafile.Enhanced(), c.enhanced) << c.why;
    EXPECT_EQ(metafile.Width(), c.width) << c.why;
    EXPECT_EQ(metafile.Height(), c.height) << c.why;
  }
}

TEST(MetafileTest, StreamsRoundTripExactly) {
  for (const Bytes& bytes : {Emf(1000, 2000), Wmf(0, 0, 300, 200, 1000)}) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), std::int32_t(bytes.size()));
    stream.WriteBuffer("more", 4);
    stream.SetPosition(0);
    TMetafile metafile;
    metafile.ReadFromStream(stream);
    EXPECT_EQ(stream.Position(), std::int64_t(bytes.size()));
    EXPECT_EQ(Saved(metafile), bytes);
  }
}

TEST(MetafileTest, MalformedMetafilesAreRefusedAndTheMetafileKept) {
  const struct {
    const char* why;
    Bytes bytes;
  } cases[] = {
      {"bad checksum",
       [] {
         Bytes b = Wmf(0, 0, 10, 10, 96);
         b[20] ^= 1;
         return b;
       }()},
      {"zero units per inch", Wmf(0, 0, 10, 10, 0)},
      {"plain metafile without placeable header",
       [] {
         const Bytes b = Wmf(0, 0, 1, 1, 96);
         return Bytes(b.begin() + 22, b.end());
       }()},
      {"no signature",
       [] {
         Bytes b = Emf(10, 10);
         b[40] = 0;
         return b;
       }()},
      {"longer than the data",
       [] {
         Bytes b = Emf(10, 10);
         b.resize(b.size() - 4);
         return b;
       }()},
      {"truncated placeable",
       [] {
         Bytes b = Wmf(0, 0, 1, 1, 96);
         b.resize(30);
         return b;
       }()},
      {"too short", Bytes{1, 0}},
      {"frame extent past 32 bits",
       [] {
         Bytes b = Emf(0, 0);
         const std::int32_t left = std::numeric_limits<std::int32_t>::min();
         std::memcpy(b.data() + 24, &left, 4);  // rclFrame.left; right stays 100
         return b;
       }()},
      {"records not whole words",
       [] {
         Bytes b = Emf(10, 10);
         b.resize(b.size() + 2);
         const std::uint32_t total = std::uint32_t(b.size());
         std::memcpy(b.data() + 48, &total, 4);  // nBytes
         return b;
       }()},
  };
  for (const auto& c : cases) {
    TMetafile metafile;
    Load(metafile, Emf(3200, 3200));
    try {
      Load(metafile, c.bytes);
      ADD_FAILURE() << c.why << ": read";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Metafile is not valid") << c.why;
    }
    EXPECT_EQ(metafile.Width(), 102) << c.why;
  }
}

TEST(MetafileTest, ResizingRescalesTheFrame) {
  TMetafile metafile;
  Load(metafile, Emf(2540, 1270));
  int changes = 0;
  metafile.OnChange = [&](TObject*) { ++changes; };
  metafile.SetWidth(162);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(metafile.MMWidth(), 5063);
  EXPECT_EQ(metafile.Width(), 162);
  win::ENHMETAHEADER header;
  std::memcpy(&header, Saved(metafile).data(), sizeof header);
  EXPECT_EQ(header.rclFrame.right - header.rclFrame.left, 5063);

  TMetafile placeable;
  Load(placeable, Wmf(10, 0, 1450, 720, 1440));
  placeable.SetWidth(192);
  TMetafile reread;
  Load(reread, Saved(placeable));
  EXPECT_EQ(reread.Width(), 192) << "header and checksum rewritten";
  EXPECT_EQ(reread.Height(), 48);
}

TEST(MetafileTest, ClipboardFormsFollowTheKind) {
  TMetafile placeable;
  Load(placeable, Wmf(0, 0, 1440, 720, 1440));
  std::uint16_t format = 0;
  win::HANDLE data = nullptr;
  win::HPALETTE palette = nullptr;
  placeable.WriteToClipboard(format, data, palette);
  ASSERT_EQ(format, win::CF_METAFILEPICT);
  const auto* picture = static_cast<const win::METAFILEPICT*>(win::GlobalLock(data));
  EXPECT_EQ(picture->mm, win::MM_ANISOTROPIC);
  EXPECT_EQ(picture->xExt, 2540);
  EXPECT_EQ(picture->yExt, 1270);
  EXPECT_EQ(win::GetMetaFileBitsEx(picture->hMF, 0, nullptr), 24u);
  win::GlobalUnlock(data);
  win::FreeClipboardData(format, data);

  TMetafile enhanced;
  Load(enhanced, Emf(100, 100));
  enhanced.WriteToClipboard(format, data, palette);
  ASSERT_EQ(format, win::CF_ENHMETAFILE);
  EXPECT_EQ(win::GetEnhMetaFileBits(static_cast<win::HENHMETAFILE>(data), 0, nullptr),
            Emf(100, 100).size());
  win::FreeClipboardData(format, data);
}

TEST(MetafileTest, CopiesShareTheRecordsAndKeepTheirOwnSize) {
  TMetafile original;
  Load(original, Emf(1000, 1000));
  TMetafile copy;
  copy.CopyFrom(&original);
  EXPECT_TRUE(copy.SameAs(&original));
  copy.SetHeight(10);
  EXPECT_EQ(original.Height(), 32);
  EXPECT_FALSE(copy.SameAs(&original));
}

TEST(MetafileTest, DrawsAFrameInsideTheTarget) {
  TMetafile metafile;
  Load(metafile, Emf(1000, 1000));
  TBitmap surface;
  surface.SetWidth(12);
  surface.SetHeight(12);
  surface.Canvas().StretchDraw(win::RECT{1, 1, 11, 9}, &metafile);
  TCanvas& canvas = surface.Canvas();
  EXPECT_EQ(canvas.Pixels(1, 1), clBlack);
  EXPECT_EQ(canvas.Pixels(9, 7), clBlack);
  EXPECT_EQ(canvas.Pixels(10, 8), clWhite) << "one pixel short at the right and bottom";
  EXPECT_EQ(canvas.Pixels(5, 4), clWhite);
}

TEST(MetafileTest, PicturesLoadBothKindsByExtension) {
  test_support::ScratchFolder dir("suotu-metafile");
  dir.Write("a.emf", Emf(2540, 1270));
  dir.Write("b.WMF", Wmf(0, 0, 1440, 720, 1440));
  TPicture picture;
  picture.ReadFromFile(dir.Win("a.emf"));
  EXPECT_NE(dynamic_cast<TMetafile*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 81);
  picture.ReadFromFile(dir.Win("b.WMF"));
  EXPECT_EQ(picture.Width(), 96);
}

}  // namespace
