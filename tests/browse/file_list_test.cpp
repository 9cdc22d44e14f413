#include "browse/file_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "browse/strings.h"
#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "tests/imaging/bitmap_test_support.h"
#include "tests/support/case_name.h"
#include "tests/support/scratch_folder.h"

namespace {

using test_support::ScratchFolder;
using Items = std::vector<AnsiString>;

// A multiple-selection list box as the window has it, recording what the logic did.
class FakeListBox : public FileListBox {
 public:
  int Count() override { return static_cast<int>(items.size()); }
  AnsiString Item(int index) override { return items.at(index); }
  bool Selected(int index) override { return selected.at(index); }
  void SetSelected(int index, bool value) override { selected.at(index) = value; }
  int ItemIndex() override { return itemIndex; }
  void SetItems(const std::vector<AnsiString>& values) override {
    items = values;
    selected.assign(items.size(), false);
    itemIndex = items.empty() ? -1 : 0;
  }
  void Delete(int index) override {
    EXPECT_GT(updating, 0) << "removal outside an update";
    items.erase(items.begin() + index);
    selected.erase(selected.begin() + index);
  }
  void BeginUpdate() override { ++updating; }
  void EndUpdate() override { --updating; }
  void DeleteItemsDone() override { ++deleteEvents; }

  void Fill(Items values, std::vector<bool> selection, int index = 0) {
    items = std::move(values);
    selected = std::move(selection);
    itemIndex = index;
  }
  Items SelectedItems() const {
    Items out;
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (selected[i]) out.push_back(items[i]);
    }
    return out;
  }

  Items items;
  std::vector<bool> selected;
  int itemIndex = -1;
  int updating = 0;
  int deleteEvents = 0;
};

// Drive C: is a scratch folder of the test's own, so a drive root and the current drive's root
// ("\") can be listed.
class FileListTest : public testing::Test {
 protected:
  FileListTest() {
    win::SetDriveTable({{'C', drive_.Host(), win::DRIVE_FIXED}});
    win::SetCurrentDirectoryA("C:\\");
  }
  ~FileListTest() override { win::SetDriveTable({}); }

  // The files of the listing case: a.jpg, B.JPG, c.jpeg, a hidden .h.jpg, a folder d.jpg.
  void MakeMixedFolder(const std::string& sub) {
    const std::string prefix = sub.empty() ? "" : sub + "/";
    if (!sub.empty()) std::filesystem::create_directories(drive_.HostOf(sub));
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", ".h.jpg"}) {
      drive_.Write(prefix + name, "x");
    }
    std::filesystem::create_directory(drive_.HostOf(prefix + "d.jpg"));
  }

  // The JPEG names of a host folder in its enumeration order (what the file system reports).
  Items HostOrder(const std::string& sub, const AnsiString& folder) {
    Items out;
    for (const std::string& name : drive_.Names(sub)) {
      if (std::filesystem::is_directory(drive_.HostOf(sub.empty() ? name : sub + "/" + name))) {
        continue;
      }
      if (win::WildcardMatch("*.jpg", name)) out.push_back(folder + name);
    }
    return out;
  }

  ScratchFolder drive_{"suotu-file-list"};
};

struct ListCase {
  const char* why;
  const char* folder;  // the tree's SelectedPath
  const char* sub;     // where the files are, on drive C:
  const char* prefix;  // what each listed path starts with
};

class ListFolderCase : public FileListTest, public testing::WithParamInterface<ListCase> {};

TEST_P(ListFolderCase, ListsTheJpegFilesWithFullPathsAndSelectsTheFirst) {
  const ListCase& c = GetParam();
  MakeMixedFolder(c.sub);
  FakeListBox list;
  list.Fill({"stale"}, {true});
  FillFileList(list, c.folder);

  const Items expected = HostOrder(c.sub, c.prefix);
  ASSERT_EQ(expected.size(), 3u);  // a.jpg, B.JPG and the hidden one; not c.jpeg nor d.jpg
  EXPECT_EQ(list.items, expected);
  EXPECT_EQ(list.SelectedItems(), Items{expected[0]});
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ListFolderCase,
    testing::Values(ListCase{"a folder", "C:\\photos", "photos", "C:\\photos\\"},
                    ListCase{"a drive root keeps the doubled separator", "C:\\", "", "C:\\\\"},
                    ListCase{"no path lists the current drive's root", "", "", "\\"},
                    ListCase{"the folder's case need not match", "C:\\PHOTOS", "photos",
                             "C:\\PHOTOS\\"}),
    test_support::NameFrom<&ListCase::why>{});

TEST_F(FileListTest, UnusableFoldersLeaveTheListEmpty) {
  drive_.Write("file.jpg", "x");
  for (const char* folder : {"C:\\missing", "C:\\file.jpg", "Q:\\", "C:\\missing\\deeper"}) {
    FakeListBox list;
    list.Fill({"stale"}, {true});
    FillFileList(list, folder);
    EXPECT_TRUE(list.items.empty()) << folder;
  }
  Items items{"stale"};
  ListFolderFiles(items, "*.jpg");  // no folder part at all
  EXPECT_TRUE(items.empty());
}

TEST_F(FileListTest, DoubleByteNamesAreSplitAtTheirRealSeparators) {
  // 乗 (0x81 0x5C in code page 936) ends with the byte of a backslash.
  const std::string hostName = "\xE4\xB9\x97";  // the same in UTF-8
  std::filesystem::create_directory(drive_.HostOf(hostName));
  drive_.Write(hostName + "/p.jpg", "x");
  drive_.Write("x" + hostName + ".jpg", "x");

  FakeListBox list;
  FillFileList(list, "C:\\\x81\\");
  EXPECT_EQ(list.items, Items{"C:\\\x81\\\\p.jpg"});

  // The wildcard itself holds the character: its trail byte is no separator.
  Items items;
  ListFolderFiles(items, "C:\\*\x81\\.jpg");
  EXPECT_EQ(items, Items{"C:\\x\x81\\.jpg"});
}

struct SelectedCase {
  const char* why;
  std::vector<bool> selection;
  int itemIndex;
  const char* expected;
};

class SelectedItemCase : public testing::TestWithParam<SelectedCase> {};

TEST_P(SelectedItemCase, IsTheCurrentItemWhileAnythingIsSelected) {
  FakeListBox list;
  list.Fill({"A", "B", "C"}, GetParam().selection, GetParam().itemIndex);
  EXPECT_EQ(SelectedItem(list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Selections, SelectedItemCase,
    testing::Values(SelectedCase{"current and selected", {false, true, false}, 1, "B"},
                    SelectedCase{"current but another selected", {true, false, false}, 2, "C"},
                    SelectedCase{"nothing selected", {false, false, false}, 1, ""},
                    SelectedCase{"no current item", {true, false, false}, -1, ""}),
    test_support::NameFrom<&SelectedCase::why>{});

class ShowFileTest : public FileListTest {
 protected:
  static void SetUpTestSuite() { RegisterJpegFormats(); }
  static void TearDownTestSuite() { UnregisterJpegFormats(); }

  AnsiString MakeJpeg(const std::string& name, int width, int height) {
    TBitmap bitmap;
    bitmap_test::MakeCoded24(bitmap, width, height);
    TJPEGImage jpeg;
    jpeg.CopyFrom(&bitmap);
    const AnsiString path = "C:\\" + name;
    jpeg.WriteToFile(path);
    return path;
  }
};

TEST_F(ShowFileTest, LoadsBothPreviewsAndReportsTheThumbnailSize) {
  FakeListBox list;
  list.Fill({MakeJpeg("a.jpg", 64, 48), MakeJpeg("b.jpg", 100, 75)}, {true, false}, 1);
  TPicture preview;
  TPicture view;
  const ShownFile shown = ShowListedFile(list, preview, view, "20");
  EXPECT_EQ(preview.Width(), 100);
  EXPECT_EQ(preview.Height(), 75);
  EXPECT_EQ(view.Width(), 20);
  EXPECT_EQ(view.Height(), 15);
  EXPECT_EQ(shown.sizeText, AnsiString(kThumbnailSizePrefix) + "20x15");
  EXPECT_EQ(shown.pathText, "C:\\b.jpg");
}

TEST_F(ShowFileTest, FailuresLeaveThePreviewsAsTheyWere) {
  const AnsiString good = MakeJpeg("good.jpg", 64, 48);
  drive_.Write("bad.jpg", "not a picture");
  struct {
    const char* why;
    std::vector<bool> selection;
    const char* width;
    int previewWidth;  // the preview after the failure
  } cases[] = {
      {"nothing selected: empty extension", {false, false}, "20", 10},
      {"corrupt file", {false, true}, "20", 10},
  };
  for (const auto& c : cases) {
    FakeListBox list;
    list.Fill({good, "C:\\bad.jpg"}, c.selection, 1);
    TPicture preview;
    TPicture view;
    TBitmap placeholder;
    placeholder.SetWidth(10);
    placeholder.SetHeight(5);
    preview.CopyFrom(&placeholder);
    EXPECT_THROW(ShowListedFile(list, preview, view, c.width), Exception) << c.why;
    EXPECT_EQ(preview.Width(), c.previewWidth) << c.why;
  }
  // A width that is not a number fails after both loads, before the view takes a thumbnail.
  FakeListBox list;
  list.Fill({good}, {true}, 0);
  TPicture preview;
  TPicture view;
  EXPECT_THROW(ShowListedFile(list, preview, view, "200px"), EConvertError);
  EXPECT_EQ(view.Width(), 64);
}

struct DeleteCase {
  const char* why;
  std::vector<bool> selection;
  std::vector<bool> readOnly;
  Items remaining;          // names left listed
  Items remainingSelected;  // of those, still selected
  Items filesLeft;          // names still on the disk
  bool failure;
};

class DeleteCaseTest : public FileListTest, public testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteCaseTest, DeletesSelectedFilesAndKeepsTheOnesThatStay) {
  const DeleteCase& c = GetParam();
  const Items names{"a.jpg", "b.jpg", "c.jpg", "d.jpg"};
  Items paths;
  for (std::size_t i = 0; i < names.size(); ++i) {
    drive_.Write(names[i], "x");
    if (c.readOnly[i]) chmod(drive_.HostOf(names[i]).c_str(), 0444);
    paths.push_back("C:\\" + names[i]);
  }
  FakeListBox list;
  list.Fill(paths, c.selection);
  int busyCalls = 0;
  bool busy = false;
  const auto setBusy = [&](bool value) {
    busy = value;
    ++busyCalls;
  };

  AnsiString message;
  try {
    DeleteSelectedFiles(list, setBusy);
  } catch (const Exception& e) {
    message = e.Message();
  }

  const auto prefixed = [](const Items& in) {
    Items out;
    for (const AnsiString& n : in) out.push_back("C:\\" + n);
    return out;
  };
  EXPECT_EQ(list.items, prefixed(c.remaining));
  EXPECT_EQ(list.SelectedItems(), prefixed(c.remainingSelected));
  Items left;
  for (const AnsiString& n : names) {
    if (drive_.Exists(n)) left.push_back(n);
  }
  EXPECT_EQ(left, c.filesLeft);
  EXPECT_EQ(list.updating, 0);
  EXPECT_EQ(list.deleteEvents, 1);
  EXPECT_EQ(busyCalls, 2);
  EXPECT_FALSE(busy);
  EXPECT_EQ(!message.empty(), c.failure) << message;
  for (const AnsiString& n : c.remainingSelected) {
    EXPECT_NE(message.find("C:\\" + n), AnsiString::npos) << message;
  }
  if (c.failure) {
    EXPECT_EQ(message.rfind(kDeleteFailed, 0), 0u) << message;
    EXPECT_NE(message.find(SysErrorMessage(5)), AnsiString::npos) << message;  // access denied
  }
}

INSTANTIATE_TEST_SUITE_P(Deletions, DeleteCaseTest,
                         testing::Values(DeleteCase{"two selected",
                                                    {false, true, false, true},
                                                    {false, false, false, false},
                                                    {"a.jpg", "c.jpg"},
                                                    {},
                                                    {"a.jpg", "c.jpg"},
                                                    false},
                                         DeleteCase{"nothing selected",
                                                    {false, false, false, false},
                                                    {false, false, false, false},
                                                    {"a.jpg", "b.jpg", "c.jpg", "d.jpg"},
                                                    {},
                                                    {"a.jpg", "b.jpg", "c.jpg", "d.jpg"},
                                                    false},
                                         DeleteCase{"a read-only file stays listed and selected",
                                                    {true, true, false, true},
                                                    {false, false, false, true},
                                                    {"c.jpg", "d.jpg"},
                                                    {"d.jpg"},
                                                    {"c.jpg", "d.jpg"},
                                                    true},
                                         DeleteCase{"failures among removals keep their places",
                                                    {true, true, true, true},
                                                    {false, true, false, true},
                                                    {"b.jpg", "d.jpg"},
                                                    {"b.jpg", "d.jpg"},
                                                    {"b.jpg", "d.jpg"},
                                                    true}),
                         test_support::NameFrom<&DeleteCase::why>{});

TEST_F(FileListTest, AFileGoneBeforeItsDeleteIsRemovedWithoutAMessage) {
  drive_.Write("a.jpg", "x");
  FakeListBox list;
  list.Fill({"C:\\gone.jpg", "C:\\a.jpg"}, {true, true});
  EXPECT_NO_THROW(DeleteSelectedFiles(list));
  EXPECT_TRUE(list.items.empty());
  EXPECT_FALSE(drive_.Exists("a.jpg"));
}

TEST_F(FileListTest, AnEmptyListDeletesNothing) {
  FakeListBox list;
  EXPECT_NO_THROW(DeleteSelectedFiles(list));
  EXPECT_TRUE(list.items.empty());
}

}  // namespace
