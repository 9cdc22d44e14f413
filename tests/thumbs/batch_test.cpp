#include "thumbs/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "tests/imaging/bitmap_test_support.h"
#include "tests/imaging/jpeg_test_support.h"
#include "tests/support/scratch_folder.h"
#include "thumbs/engine.h"
#include "thumbs/headless_batch.h"
#include "thumbs/strings.h"
#include "thumbs/thumbnail_maker.h"

namespace {

using test_support::ScratchFolder;
using Names = std::vector<std::string>;

const std::string kSuffix = "缩图";  // host names are UTF-8

// The main window as the batch commands see it, logging every call in order.
class FakeWindow : public BatchWindow {
 public:
  int ItemCount() override {
    log.push_back("count");
    return static_cast<int>(items.size());
  }
  AnsiString Item(int index) override { return items.at(index); }
  bool ItemSelected(int index) override { return selected.at(index); }
  void SetItemIndex(int index) override { itemIndex = index; }
  void ShowCurrentItem() override {
    log.push_back("show " + std::to_string(itemIndex));
    const AnsiString path = items.at(itemIndex);
    preview.ReadFromFile(path);
    view.ReadFromFile(path);
    MakeThumbnail(preview, widthText, view);
  }
  void RefreshList() override { log.push_back("refresh"); }
  AnsiString CurrentFolder() override {
    ++folderReads;
    if (onFolderRead) onFolderRead(folderReads);
    return currentFolder;
  }
  AnsiString ChooseFolder() override {
    log.push_back("choose");
    return chosenFolder;
  }
  void ShowNotice(const AnsiString& text) override { log.push_back("notice " + text); }
  TPicture& Preview() override { return preview; }
  TPicture& View() override { return view; }
  AnsiString WidthText() override { return widthText; }
  void SetBusy(bool value) override {
    EXPECT_NE(busy, value);
    busy = value;
  }
  void ShowProgress() override { ++repaints; }

  std::vector<AnsiString> items;
  std::vector<bool> selected;
  int itemIndex = -1;
  AnsiString currentFolder;
  AnsiString chosenFolder;
  AnsiString widthText = "20";
  std::function<void(int)> onFolderRead;
  int folderReads = 0;
  bool busy = false;
  int repaints = 0;
  std::vector<std::string> log;
  TPicture preview;
  TPicture view;
};

class BatchTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterJpegFormats(); }
  static void TearDownTestSuite() { UnregisterJpegFormats(); }

  // A width x height JPEG in folder; returns its Windows path.
  AnsiString MakeJpeg(const ScratchFolder& folder, const std::string& name, int width, int height,
                      bool progressive = false) {
    TBitmap bitmap;
    bitmap_test::MakeCoded24(bitmap, width, height);
    TJPEGImage jpeg;
    jpeg.CopyFrom(&bitmap);
    jpeg.SetMultiScan(progressive);
    const AnsiString path = folder.Win(name);
    jpeg.WriteToFile(path);
    return path;
  }

  // Lists the given names of source_ in window, all selected, the first current.
  void List(const Names& names) {
    for (const std::string& name : names) window_.items.push_back(source_.Win(name));
    window_.selected.assign(names.size(), true);
    window_.itemIndex = 0;
  }

  static std::pair<int, int> SizeOf(const ScratchFolder& folder, const std::string& name) {
    TPicture picture;
    picture.ReadFromFile(folder.Win(name));
    return {picture.Width(), picture.Height()};
  }

  static bool Progressive(const ScratchFolder& folder, const std::string& name) {
    TJPEGImage jpeg;
    jpeg.ReadFromFile(folder.Win(name));
    return jpeg.MultiScan();
  }

  // What the one-file engine (and so the command-line tool) writes for a source.
  static std::string EngineBytes(const AnsiString& source, const ScratchFolder& out,
                                 const std::string& outputName) {
    ThumbnailEngine engine;
    engine.MakeThumbnailFile(source, "20", out.Win());
    return out.Read(outputName);
  }

  ScratchFolder source_{"suotu-batch-src"};
  ScratchFolder other_{"suotu-batch-out"};
  FakeWindow window_;
};

TEST_F(BatchTest, AllFilesGoBesideTheirSourcesThenTheNoticeAndTheRefresh) {
  MakeJpeg(source_, "a.jpg", 64, 48);
  MakeJpeg(source_, "b.jpg", 40, 80);
  List({"a.jpg", "b.jpg"});
  window_.currentFolder = source_.Win();
  SaveAllToCurrentFolder(window_);

  EXPECT_EQ(window_.log,
            (Names{"count", "show 0", "show 1", "notice " + std::string(kBatchDone), "refresh"}));
  EXPECT_EQ(SizeOf(source_, "a" + kSuffix + ".jpg"), std::make_pair(20, 15));
  EXPECT_EQ(SizeOf(source_, "b" + kSuffix + ".jpg"), std::make_pair(20, 40));
  EXPECT_EQ(window_.folderReads, 2);  // once per file
  EXPECT_EQ(window_.repaints, 2);
  EXPECT_EQ(window_.itemIndex, 1);
  EXPECT_FALSE(window_.busy);
  const std::string written = source_.Read("b" + kSuffix + ".jpg");
  EXPECT_FALSE(written.empty());
  EXPECT_TRUE(written == EngineBytes(source_.Win("b.jpg"), other_, "b" + kSuffix + ".jpg"));
}

TEST_F(BatchTest, AllFilesToAChosenFolderWriteThereAndKeepTheList) {
  MakeJpeg(source_, "a.jpg", 64, 48);
  MakeJpeg(source_, "b.jpg", 40, 80);
  List({"a.jpg", "b.jpg"});
  window_.currentFolder = source_.Win();
  window_.chosenFolder = other_.Win();
  SaveAllToChosenFolder(window_);

  EXPECT_EQ(window_.log,
            (Names{"count", "choose", "show 0", "show 1", "notice " + std::string(kBatchDone)}));
  EXPECT_EQ(window_.folderReads, 0);
  EXPECT_TRUE(other_.Exists("a" + kSuffix + ".jpg"));
  EXPECT_TRUE(other_.Exists("b" + kSuffix + ".jpg"));
  EXPECT_EQ(source_.Names().size(), 2u);
}

TEST_F(BatchTest, NothingToDoOrNowhereToWriteAbortsSilentlyBeforeWriting) {
  struct {
    const char* why;
    Names listed;
    void (*command)(BatchWindow&);
    Names log;
  } cases[] = {
      {"empty list, current folder", {}, SaveAllToCurrentFolder, {"count"}},
      {"empty list, chosen folder: no dialog", {}, SaveAllToChosenFolder, {"count"}},
      {"dialog cancelled or no file-system path",
       {"a.jpg"},
       SaveAllToChosenFolder,
       {"count", "choose"}},
  };
  MakeJpeg(source_, "a.jpg", 64, 48);
  for (const auto& c : cases) {
    FakeWindow window;
    for (const std::string& name : c.listed) window.items.push_back(source_.Win(name));
    window.selected.assign(c.listed.size(), true);
    window.currentFolder = source_.Win();
    EXPECT_THROW(c.command(window), EAbort) << c.why;
    EXPECT_EQ(window.log, c.log) << c.why;
    EXPECT_EQ(source_.Names().size(), 1u) << c.why;
    EXPECT_FALSE(window.busy) << c.why;
  }
}

TEST_F(BatchTest, AThumbnailListedLaterIsMadeFromTheReplacedFile) {
  MakeJpeg(source_, "x.jpg", 64, 48);
  MakeJpeg(source_, "x" + kSuffix + ".jpg", 100, 20);  // would give 20x4
  List({"x.jpg", "x" + kSuffix + ".jpg"});
  window_.currentFolder = source_.Win();
  SaveAllToCurrentFolder(window_);
  EXPECT_EQ(SizeOf(source_, "x" + kSuffix + ".jpg"), std::make_pair(20, 15));
  EXPECT_EQ(SizeOf(source_, "x" + kSuffix + kSuffix + ".jpg"), std::make_pair(20, 15));
}

TEST_F(BatchTest, TheCurrentFolderIsReadAgainForEveryFile) {
  MakeJpeg(source_, "a.jpg", 64, 48);
  MakeJpeg(source_, "b.jpg", 64, 48);
  List({"a.jpg", "b.jpg"});
  window_.currentFolder = source_.Win();
  window_.onFolderRead = [&](int reads) {
    if (reads == 2) window_.currentFolder = other_.Win();
  };
  SaveAllToCurrentFolder(window_);
  EXPECT_TRUE(source_.Exists("a" + kSuffix + ".jpg"));
  EXPECT_FALSE(source_.Exists("b" + kSuffix + ".jpg"));
  EXPECT_TRUE(other_.Exists("b" + kSuffix + ".jpg"));
}

TEST_F(BatchTest, SelectedFilesOnlyLoadThePreviewAndMoveNothing) {
  MakeJpeg(source_, "a.jpg", 64, 48);
  MakeJpeg(source_, "b.jpg", 40, 80);
  MakeJpeg(source_, "c.jpg", 64, 48);
  List({"a.jpg", "b.jpg", "c.jpg"});
  window_.selected = {false, true, false};
  window_.itemIndex = 2;
  window_.currentFolder = other_.Win();
  SaveSelectedToCurrentFolder(window_);

  EXPECT_EQ(window_.log, (Names{"count", "refresh"}));
  EXPECT_EQ(other_.Names(), Names{"b" + kSuffix + ".jpg"});
  EXPECT_EQ(window_.itemIndex, 2);
  EXPECT_EQ(window_.preview.Width(), 40);
  EXPECT_FALSE(window_.busy);
}

TEST_F(BatchTest, AnEmptyListMakesTheSelectedFilesCommandOnlyRefresh) {
  EXPECT_NO_THROW(SaveSelectedToCurrentFolder(window_));
  EXPECT_EQ(window_.log, (Names{"count", "refresh"}));
}

TEST_F(BatchTest, OutputIsProgressiveExactlyWhenTheViewLastLoadedSeveralScans) {
  MakeJpeg(source_, "base.jpg", 64, 48);
  MakeJpeg(source_, "multi.jpg", 64, 48, true);
  List({"base.jpg", "multi.jpg"});
  window_.currentFolder = other_.Win();
  SaveAllToCurrentFolder(window_);
  EXPECT_FALSE(Progressive(other_, "base" + kSuffix + ".jpg"));
  EXPECT_TRUE(Progressive(other_, "multi" + kSuffix + ".jpg"));

  // The selected-files command does not load the view: the last shown file (several scans)
  // decides, although its own source is baseline.
  window_.selected = {true, false};
  std::filesystem::remove(other_.HostOf("base" + kSuffix + ".jpg"));
  SaveSelectedToCurrentFolder(window_);
  EXPECT_TRUE(Progressive(other_, "base" + kSuffix + ".jpg"));
}

TEST_F(BatchTest, AFailureStopsTheRunWithNothingWrittenAfterIt) {
  for (const char* name : {"1.jpg", "2.jpg", "4.jpg", "5.jpg"}) MakeJpeg(source_, name, 64, 48);
  source_.Write("3.jpg", "corrupt");
  struct {
    const char* why;
    void (*command)(BatchWindow&);
    Names logTail;  // after the count
  } cases[] = {
      {"current folder", SaveAllToCurrentFolder, {"show 0", "show 1", "show 2"}},
      {"chosen folder", SaveAllToChosenFolder, {"choose", "show 0", "show 1", "show 2"}},
      {"selected files", SaveSelectedToCurrentFolder, {}},
  };
  for (const auto& c : cases) {
    ScratchFolder out{"suotu-batch-fail"};
    FakeWindow window;
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"}) {
      window.items.push_back(source_.Win(name));
    }
    window.selected.assign(5, true);
    window.currentFolder = out.Win();
    window.chosenFolder = out.Win();
    EXPECT_THROW(c.command(window), Exception) << c.why;
    Names log{"count"};
    log.insert(log.end(), c.logTail.begin(), c.logTail.end());
    EXPECT_EQ(window.log, log) << c.why;
    EXPECT_EQ(out.Names().size(), 2u) << c.why;
    EXPECT_TRUE(out.Exists("2" + kSuffix + ".jpg")) << c.why;
    EXPECT_FALSE(window.busy) << c.why;
  }
}

TEST_F(BatchTest, AFolderThatCannotBeWrittenFailsTheFirstSave) {
  MakeJpeg(source_, "a.jpg", 64, 48);
  List({"a.jpg"});
  window_.currentFolder = source_.Win("missing");
  EXPECT_THROW(SaveAllToCurrentFolder(window_), Exception);
  EXPECT_EQ(window_.log, (Names{"count", "show 0"}));
}

}  // namespace

namespace {

TEST_F(BatchTest, TheHeadlessBatchWritesWhatTheOneFileEngineWrites) {
  MakeJpeg(source_, "a.jpg", 64, 48);
  MakeJpeg(source_, "b.jpg", 40, 80, true);
  ScratchFolder batchOut{"suotu-batch-headless"};
  HeadlessBatchWindow window({source_.Win("a.jpg"), source_.Win("b.jpg")}, batchOut.Win(), "20");
  SaveAllToCurrentFolder(window);
  EXPECT_EQ(window.Notices(), std::vector<AnsiString>{kBatchDone});
  EXPECT_EQ(window.Refreshes(), 1);
  for (const char* stem : {"a", "b"}) {
    const std::string name = stem + kSuffix + ".jpg";
    const std::string written = batchOut.Read(name);
    EXPECT_FALSE(written.empty()) << stem;
    EXPECT_TRUE(written == EngineBytes(source_.Win(std::string(stem) + ".jpg"), other_, name))
        << stem;
  }
}

}  // namespace

namespace {

// What a user or the disk can tell of a run: every file of the folder afterwards, the
// notices, the failure's text.
struct RunResult {
  std::map<std::string, std::string> files;
  std::vector<AnsiString> notices;
  std::string failure;
};

RunResult RunAllFiles(const std::function<void(const ScratchFolder&)>& make, const Names& listed,
                      bool decodeAhead) {
  ScratchFolder folder{"suotu-batch-ahead"};
  make(folder);
  std::vector<AnsiString> items;
  for (const std::string& name : listed) items.push_back(folder.Win(name));
  HeadlessBatchWindow window(items, folder.Win(), "20");
  window.SetDecodeAhead(decodeAhead);
  RunResult result;
  try {
    SaveAllToCurrentFolder(window);
  } catch (const Exception& e) {
    result.failure = e.Message();
  }
  for (const std::string& name : folder.Names()) result.files[name] = folder.Read(name);
  result.notices = window.Notices();
  return result;
}

TEST_F(BatchTest, DecodingAheadChangesNothingAUserOrTheDiskCanTell) {
  const auto photos = [this](const ScratchFolder& folder) {
    MakeJpeg(folder, "x.jpg", 120, 90);
    MakeJpeg(folder, "x" + kSuffix + ".jpg", 90, 30);  // replaced by x.jpg's thumbnail first
    MakeJpeg(folder, "a.jpg", 301, 203);
    MakeJpeg(folder, "p.jpg", 160, 200, true);
    const auto plain = jpegtest::ReadFile(folder.HostOf("a.jpg"));
    folder.Write("e.jpg", jpegtest::WithExifOrientation(plain, 6));
  };
  const Names listed{"x.jpg", "a.jpg", "x" + kSuffix + ".jpg", "p.jpg", "e.jpg"};
  const RunResult alone = RunAllFiles(photos, listed, false);
  const RunResult ahead = RunAllFiles(photos, listed, true);
  EXPECT_EQ(alone.files.size(), 9u);  // x缩图.jpg is a source and an output
  EXPECT_TRUE(alone.files == ahead.files);
  EXPECT_EQ(ahead.notices, std::vector<AnsiString>{kBatchDone});
  EXPECT_EQ(ahead.failure, "");

  const auto corruptThird = [this](const ScratchFolder& folder) {
    for (const char* name : {"1.jpg", "2.jpg", "4.jpg", "5.jpg"}) MakeJpeg(folder, name, 64, 48);
    folder.Write("3.jpg", "\xFF\xD8\xFF\xE0 broken");
  };
  const Names five{"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"};
  const RunResult failedAlone = RunAllFiles(corruptThird, five, false);
  const RunResult failedAhead = RunAllFiles(corruptThird, five, true);
  EXPECT_NE(failedAlone.failure, "");
  EXPECT_EQ(failedAhead.failure, failedAlone.failure);
  EXPECT_TRUE(failedAhead.files == failedAlone.files);
  EXPECT_EQ(failedAhead.files.size(), 7u);  // the five sources and two thumbnails
  EXPECT_TRUE(failedAhead.notices.empty());
}

}  // namespace
