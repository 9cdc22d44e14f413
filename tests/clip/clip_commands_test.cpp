#include "clip/clip_commands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "clip/strings.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/clipboard.h"
#include "imaging/image_view.h"
#include "imaging/jpeg_image.h"
#include "imaging/metafile.h"
#include "platform/user/clipboard.h"
#include "platform/user/window.h"
#include "runtime/exceptions.h"
#include "tests/support/scratch_folder.h"

namespace {

using test_support::ScratchFolder;

// The dialog as a user drives it: confirm a name, or cancel.
class ScriptedDialog : public TSaveNameSource {
 public:
  ScriptedDialog(bool confirm, AnsiString name) : confirm_(confirm), name_(std::move(name)) {}
  bool Execute() override {
    ++runs;
    return confirm_;
  }
  AnsiString FileName() const override {
    ++reads;
    return name_;
  }
  int runs = 0;
  mutable int reads = 0;

 private:
  bool confirm_;
  AnsiString name_;
};

class FakeHost : public ImageViewHost {
 public:
  int Left() const override { return 8; }
  int Top() const override { return 6; }
  int ClientWidth() const override { return width; }
  int ClientHeight() const override { return height; }
  void SetBounds(int, int, int w, int h) override {
    width = w;
    height = h;
  }
  void Invalidate() override {}
  void Repaint() override {}
  void SetOpaque(bool) override {}
  bool PaletteChanged() override { return false; }
  int width = TImageView::kDefaultSize;
  int height = TImageView::kDefaultSize;
};

std::unique_ptr<TBitmap> Solid(int w, int h, TColor color) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetWidth(w);
  bitmap->SetHeight(h);
  bitmap->Canvas().Brush().SetColor(color);
  bitmap->Canvas().FillRect({0, 0, w, h});
  return bitmap;
}

void OfferBitmap(int w, int h, TColor color) {
  Clipboard().CopyFrom(Solid(w, h, color).get());
}

void OfferText(const char* text) {
  Clipboard().SetAsText(text);
}

// A JPEG file's frame marker (0xC0 baseline, 0xC2 progressive), its component count and the
// first luminance quantiser; 0 where the file has none.
struct JpegFacts {
  int frameMarker = 0;
  int components = 0;
  int firstQuantiser = 0;
};

JpegFacts Facts(const std::string& bytes) {
  JpegFacts facts;
  if (bytes.size() < 4 || std::uint8_t(bytes[0]) != 0xFF || std::uint8_t(bytes[1]) != 0xD8)
    return facts;
  std::size_t at = 2;
  while (at + 4 <= bytes.size() && std::uint8_t(bytes[at]) == 0xFF) {
    const int marker = std::uint8_t(bytes[at + 1]);
    const std::size_t length =
        std::size_t(std::uint8_t(bytes[at + 2])) << 8 | std::uint8_t(bytes[at + 3]);
    if (marker == 0xDB && facts.firstQuantiser == 0 && at + 5 < bytes.size())
      facts.firstQuantiser = std::uint8_t(bytes[at + 5]);
    if ((marker == 0xC0 || marker == 0xC1 || marker == 0xC2) && at + 9 < bytes.size()) {
      facts.frameMarker = marker;
      facts.components = std::uint8_t(bytes[at + 9]);
    }
    if (marker == 0xDA) break;
    at += 2 + length;
  }
  return facts;
}

class ClipCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::SetClipboardBackend(nullptr);
    win::SetApplicationWindow(nullptr);
    view_.SetAutoSize(true);
    // The preview starts with a picture of its own, as the placeholder would be.
    view_.Picture().SetGraphic(Solid(30, 20, clBlue).get());
  }
  void TearDown() override {
    while (Clipboard().OpenCount() > 0) Clipboard().Close();
    while (win::CloseClipboard()) {
    }
    if (holder_) win::DestroyWindow(holder_);
    win::SetClipboardBackend(nullptr);
  }

  void Save(ScriptedDialog& dialog) {
    SaveClipboardPicture(dialog, view_.Picture(),
                         [this](const AnsiString& t) { notices_.push_back(t); });
  }
  // Another window keeps the clipboard open.
  void HoldClipboard() {
    holder_ = win::CreateMessageWindow();
    ASSERT_TRUE(win::OpenClipboard(holder_));
  }

  FakeHost host_;
  TImageView view_{host_};
  std::vector<AnsiString> notices_;
  ScratchFolder folder_{"clip"};
  win::HWND holder_ = nullptr;
};

TEST_F(ClipCommandsTest, SaveWritesTheClipboardBitmapAsBaselineColourJpegWhateverTheName) {
  struct Case {
    const char* name;
  };
  const Case cases[] = {{"out.png"}, {"out.jpg"}, {"noextension"}, {"out.BMP"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OfferBitmap(7, 5, clRed);
    view_.Picture().SetGraphic(Solid(30, 20, clBlue).get());
    notices_.clear();
    ScriptedDialog dialog(true, folder_.Win(c.name));
    Save(dialog);

    const std::string bytes = folder_.Read(c.name);
    const JpegFacts facts = Facts(bytes);
    EXPECT_EQ(facts.frameMarker, 0xC0) << "baseline";
    EXPECT_EQ(facts.components, 3) << "colour";
    // Quality 90 scales the first luminance step 16 to 3.
    EXPECT_EQ(facts.firstQuantiser, 3);
    // The clipboard's picture is written, not the preview's.
    TJPEGImage written;
    written.ReadFromFile(folder_.Win(c.name));
    EXPECT_EQ(written.Width(), 7);
    EXPECT_EQ(written.Height(), 5);
    const TColor centre = written.ObtainBitmap().Canvas().Pixels(3, 2);
    EXPECT_GT(int(centre & 0xFF), 230) << std::hex << centre;
    EXPECT_LT(int((centre >> 16) & 0xFF), 25) << std::hex << centre;

    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0], clip_strings::kSaved);
    EXPECT_EQ(view_.Picture().Graphic(), nullptr) << "the preview is emptied";
    EXPECT_EQ(host_.width, 30) << "and keeps its size";
    EXPECT_EQ(host_.height, 20);
  }
}

TEST_F(ClipCommandsTest, SaveIgnoresProcessDefaultsForQualityGrayAndScans) {
  const TJPEGSettings saved = DefaultJpegSettings;
  DefaultJpegSettings.EncodeQuality = 20;
  DefaultJpegSettings.GrayOutput = true;
  DefaultJpegSettings.MultiScan = true;
  OfferBitmap(16, 16, clGreen);
  ScriptedDialog dialog(true, folder_.Win("d.jpg"));
  Save(dialog);
  DefaultJpegSettings = saved;
  const JpegFacts facts = Facts(folder_.Read("d.jpg"));
  EXPECT_EQ(facts.frameMarker, 0xC0);
  EXPECT_EQ(facts.components, 3);
  EXPECT_EQ(facts.firstQuantiser, 3);
}

TEST_F(ClipCommandsTest, SaveReplacesAnExistingFile) {
  folder_.Write("old.jpg", "not a picture");
  OfferBitmap(4, 4, clWhite);
  ScriptedDialog dialog(true, folder_.Win("old.jpg"));
  Save(dialog);
  EXPECT_EQ(Facts(folder_.Read("old.jpg")).frameMarker, 0xC0);
}

TEST_F(ClipCommandsTest, SaveFailuresWriteNothingShowNothingAndKeepThePreview) {
  enum class Setup { Bitmap, TextOnly, Empty, Held, Metafile };
  struct Case {
    const char* label;
    Setup setup;
    bool confirm;
    const char* name;  // in the scratch folder; "" for an empty name
    bool abort;        // the silent stop, no message
    const char* message;
    int nameReads;  // how often the chosen name is asked for
  };
  const Case cases[] = {
      {"cancelled", Setup::Bitmap, false, "a.jpg", true, "", 0},
      {"confirmed without a name", Setup::Bitmap, true, "", true, "", 1},
      {"text only", Setup::TextOnly, true, "a.jpg", false, "Unsupported clipboard format", 1},
      {"nothing at all", Setup::Empty, true, "a.jpg", false, "Unsupported clipboard format", 1},
      {"a metafile only", Setup::Metafile, true, "a.jpg", false, "Unsupported clipboard format", 1},
      {"held by another window", Setup::Held, true, "a.jpg", false, "Cannot open clipboard", 1},
      {"no such folder", Setup::Bitmap, true, "missing/a.jpg", false, "Cannot create file", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Clipboard().Clear();
    switch (c.setup) {
      case Setup::Bitmap:
        OfferBitmap(5, 5, clRed);
        break;
      case Setup::TextOnly:
        OfferText("hello");
        break;
      case Setup::Empty:
        break;
      case Setup::Held:
        OfferBitmap(5, 5, clRed);
        HoldClipboard();
        break;
      case Setup::Metafile: {
        TMetafile metafile;
        metafile.SetWidth(10);
        metafile.SetHeight(10);
        Clipboard().CopyFrom(&metafile);
        break;
      }
    }
    TGraphic* before = view_.Picture().Graphic();
    notices_.clear();
    ScriptedDialog dialog(c.confirm, *c.name ? folder_.Win(c.name) : AnsiString());
    std::string message = "(none)";
    bool aborted = false;
    try {
      Save(dialog);
    } catch (const EAbort&) {
      aborted = true;
    } catch (const Exception& e) {
      message = e.Message();
    }
    EXPECT_EQ(dialog.runs, 1);
    EXPECT_EQ(dialog.reads, c.nameReads);
    EXPECT_EQ(aborted, c.abort);
    if (!c.abort) {
      EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
    }
    EXPECT_TRUE(folder_.Names().empty()) << "no file, not even a temporary one";
    EXPECT_TRUE(notices_.empty());
    EXPECT_EQ(view_.Picture().Graphic(), before) << "the preview keeps its picture";
    EXPECT_EQ(Clipboard().OpenCount(), 0);
    if (holder_) {
      win::CloseClipboard();
      win::DestroyWindow(holder_);
      holder_ = nullptr;
    }
  }
}

TEST_F(ClipCommandsTest, PasteTakesTheFirstSupportedFormatAndResizesThePreview) {
  OfferBitmap(40, 25, clYellow);
  TGraphic* old = view_.Picture().Graphic();
  PasteClipboardPicture(view_.Picture());
  ASSERT_NE(view_.Picture().Graphic(), nullptr);
  EXPECT_NE(view_.Picture().Graphic(), old);
  EXPECT_STREQ(view_.Picture().Graphic()->ClassName(), "TBitmap");
  EXPECT_EQ(host_.width, 40);
  EXPECT_EQ(host_.height, 25);
  EXPECT_EQ(Clipboard().OpenCount(), 0);
  // A pasted picture can be saved again straight from the clipboard.
  ScriptedDialog dialog(true, folder_.Win("again.jpg"));
  Save(dialog);
  TJPEGImage written;
  written.ReadFromFile(folder_.Win("again.jpg"));
  EXPECT_EQ(written.Width(), 40);
}

TEST_F(ClipCommandsTest, PasteFailuresKeepThePreview) {
  struct Case {
    const char* label;
    bool text;
    bool held;
    const char* message;
  };
  const Case cases[] = {
      {"text only", true, false, "Invalid clipboard format"},
      {"empty", false, false, "Invalid clipboard format"},
      {"held by another window", false, true, "Cannot open clipboard"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Clipboard().Clear();
    if (c.text) OfferText("only words");
    if (c.held) {
      OfferBitmap(3, 3, clRed);
      HoldClipboard();
    }
    TGraphic* before = view_.Picture().Graphic();
    std::string message = "(none)";
    try {
      PasteClipboardPicture(view_.Picture());
    } catch (const Exception& e) {
      message = e.Message();
    }
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(view_.Picture().Graphic(), before);
    EXPECT_EQ(host_.width, 30);
    if (holder_) {
      win::CloseClipboard();
      win::DestroyWindow(holder_);
      holder_ = nullptr;
    }
  }
}

}  // namespace
