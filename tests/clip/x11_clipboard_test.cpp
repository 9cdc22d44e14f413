// Paste and save against another program that owns the real X clipboard. The suite starts its
// own Xvfb on a free display and offers data with xclip, as a user copying in another program.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "clip/clip_commands.h"
#include "clip/strings.h"
#include "imaging/bitmap.h"
#include "imaging/canvas.h"
#include "imaging/jpeg_image.h"
#include "platform/shell/shell_ops.h"
#include "runtime/exceptions.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/x_server.h"
#include "ui/forms.h"

extern char** environ;

namespace {

using test_support::OnPath;
using test_support::ScratchFolder;
using test_support::XServer;

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 0;
  return pid;
}

// xclip serves the selection from a child of its own and its first process returns at once.
bool RunToEnd(const std::vector<std::string>& args) {
  const pid_t pid = Spawn(args);
  int status = 0;
  return pid != 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

template <class Done>
bool PumpUntil(Done done, int ms = 15000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    ::usleep(10000);
  }
  return done();
}

// One X server and one application session for the whole process, the session going first.
class X11World {
 public:
  static X11World* Get() {
    static X11World world;
    return world.session_ ? &world : nullptr;
  }
  std::string failure;

 private:
  X11World() {
    if (!OnPath("Xvfb") || !OnPath("xclip")) return;
    server_ = std::make_unique<XServer>();
    if (!server_->Running()) return;
    ::setenv("DISPLAY", server_->Name().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    session_ = std::make_unique<ApplicationSession>(argc_, argv_);
  }
  int argc_ = 1;
  char name_[16] = "clip_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<XServer> server_;  // destroyed after the session
  std::unique_ptr<ApplicationSession> session_;
};

class X11ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (X11World::Get() == nullptr)
      GTEST_SKIP() << "needs Xvfb and xclip (scripts/setup.sh --test)";
    preview_.SetGraphic(Placeholder().get());
  }
  static std::unique_ptr<TBitmap> Placeholder() {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetWidth(12);
    bitmap->SetHeight(9);
    return bitmap;
  }
  // Another program takes the clipboard with this file's bytes under a MIME type.
  bool Offer(const std::string& file, const char* type) {
    if (!RunToEnd({"xclip", "-selection", "clipboard", "-t", type, "-i", file})) return false;
    const bool image = std::string(type).rfind("image/", 0) == 0;
    return PumpUntil([&] {
      const QMimeData* mime = QApplication::clipboard()->mimeData();
      return mime != nullptr && (image ? mime->hasImage() : !mime->hasImage() && mime->hasText());
    });
  }
  void Save(const AnsiString& name) {
    struct Named : TSaveNameSource {
      AnsiString name;
      bool Execute() override { return true; }
      AnsiString FileName() const override { return name; }
    } dialog;
    dialog.name = name;
    SaveClipboardPicture(dialog, preview_, [this](const AnsiString& t) { notices_.push_back(t); });
  }

  TPicture preview_;
  std::vector<AnsiString> notices_;
  ScratchFolder folder_{"clip-x11"};
};

TEST_F(X11ClipboardTest, AnImageFromAnotherProgramPastesAndSavesAsJpegData) {
  const struct {
    const char* type;
    const char* format;
  } cases[] = {{"image/png", "PNG"}, {"image/bmp", "BMP"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    QImage image(37, 21, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    const std::string source = folder_.HostOf(std::string("copied.") + c.format);
    ASSERT_TRUE(image.save(QString::fromStdString(source), c.format));
    ASSERT_TRUE(Offer(source, c.type));

    PasteClipboardPicture(preview_);
    ASSERT_NE(preview_.Graphic(), nullptr);
    EXPECT_STREQ(preview_.Graphic()->ClassName(), "TBitmap");
    EXPECT_EQ(preview_.Width(), 37);
    EXPECT_EQ(preview_.Height(), 21);

    notices_.clear();
    Save(folder_.Win("out.png"));
    const std::string bytes = folder_.Read("out.png");
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(bytes.substr(0, 3), "\xFF\xD8\xFF") << "JPEG data under a .png name";
    TJPEGImage written;
    written.ReadFromFile(folder_.Win("out.png"));
    EXPECT_EQ(written.Width(), 37);
    const TColor pixel = written.ObtainBitmap().Canvas().Pixels(18, 10);
    EXPECT_GT(int((pixel >> 16) & 0xFF), 230) << std::hex << pixel;
    EXPECT_EQ(notices_, std::vector<AnsiString>{clip_strings::kSaved});
    EXPECT_EQ(preview_.Graphic(), nullptr);
    preview_.SetGraphic(Placeholder().get());
  }
}

TEST_F(X11ClipboardTest, TextFromAnotherProgramNeitherPastesNorSaves) {
  folder_.Write("words.txt", "just some words");
  ASSERT_TRUE(Offer(folder_.HostOf("words.txt"), "UTF8_STRING"));
  TGraphic* before = preview_.Graphic();
  auto messageOf = [](auto&& fn) -> std::string {
    try {
      fn();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "(none)";
  };
  EXPECT_EQ(messageOf([&] { PasteClipboardPicture(preview_); }), "Invalid clipboard format");
  EXPECT_EQ(preview_.Graphic(), before);
  EXPECT_EQ(messageOf([&] { Save(folder_.Win("out.jpg")); }), "Unsupported clipboard format");
  EXPECT_FALSE(folder_.Exists("out.jpg"));
  EXPECT_TRUE(notices_.empty());
  EXPECT_EQ(preview_.Graphic(), before);
}

// File lists go both ways in the form file managers use.
TEST_F(X11ClipboardTest, FileListsFromAnotherProgramPasteAndOursAreReadable) {
  std::filesystem::create_directories(folder_.HostOf("from/Album 1"));
  std::filesystem::create_directories(folder_.HostOf("into"));
  folder_.Write("from/Album 1/a.jpg", "x");
  folder_.Write("list", "cut\n" + win::FileUriFromHost(folder_.HostOf("from/Album 1")));
  ASSERT_TRUE(RunToEnd({"xclip", "-selection", "clipboard", "-t", "x-special/gnome-copied-files",
                        "-i", folder_.HostOf("list")}));
  ASSERT_TRUE(PumpUntil([] {
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    return mime != nullptr && mime->hasFormat("x-special/gnome-copied-files");
  }));
  win::ClipboardFileList list;
  ASSERT_TRUE(win::ReadFileListFromClipboard(nullptr, &list));
  EXPECT_TRUE(list.cut);
  ASSERT_EQ(list.hosts, std::vector<std::string>{folder_.HostOf("from/Album 1")});
  ASSERT_EQ(win::CopyOrMoveInto(list.hosts[0], folder_.HostOf("into"), list.cut, nullptr),
            win::ERROR_SUCCESS);
  EXPECT_EQ(folder_.Read("into/Album 1/a.jpg"), "x");
  EXPECT_FALSE(folder_.Exists("from/Album 1"));

  win::ClipboardFileList ours;
  ours.hosts = {folder_.HostOf("into/Album 1")};
  ASSERT_TRUE(win::PutFileListOnClipboard(nullptr, ours));
  const QMimeData* mime = QApplication::clipboard()->mimeData();
  ASSERT_NE(mime, nullptr);
  const std::string uri = win::FileUriFromHost(folder_.HostOf("into/Album 1"));
  EXPECT_EQ(mime->data("x-special/gnome-copied-files").toStdString(), "copy\n" + uri);
  EXPECT_EQ(mime->data("text/uri-list").toStdString(), uri + "\r\n");
}

}  // namespace
