// Drag data between data objects and Qt's MIME data, the key and effect mapping of Qt's drags,
// and the headless drag that offscreen runs keep.
#include "platform/user/qt/qt_ole.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/user/clipboard.h"
#include "platform/user/qt/qt_user.h"
#include "tests/support/scratch_folder.h"

namespace {

using test_support::ScratchFolder;

std::string Bytes(const char* text, std::size_t size) {
  return std::string(text, size);
}

void Put(win::IDataObject* data, win::UINT format, win::HGLOBAL memory) {
  win::FORMATETC asked;
  asked.cfFormat = static_cast<win::CLIPFORMAT>(format);
  win::STGMEDIUM medium;
  medium.tymed = win::TYMED_HGLOBAL;
  medium.hGlobal = memory;
  ASSERT_EQ(data->SetData(&asked, &medium, win::TRUE), win::S_OK);
}

void PutBytes(win::IDataObject* data, win::UINT format, const std::string& bytes) {
  win::HGLOBAL memory = win::GlobalAlloc(win::GMEM_MOVEABLE, bytes.size());
  std::memcpy(win::GlobalLock(memory), bytes.data(), bytes.size());
  win::GlobalUnlock(memory);
  Put(data, format, memory);
}

std::vector<std::string> DropPaths(win::IDataObject* data) {
  win::FORMATETC asked;
  asked.cfFormat = win::CF_HDROP;
  win::STGMEDIUM medium;
  if (win::FAILED(data->GetData(&asked, &medium))) return {};
  std::vector<std::string> paths = win::FileDropPaths(medium.hGlobal);
  win::ReleaseStgMedium(&medium);
  return paths;
}

struct Released {
  void operator()(win::IDataObject* data) const { data->Release(); }
};
using DataPtr = std::unique_ptr<win::IDataObject, Released>;

// Drive C: is a scratch folder, so a file elsewhere on the host lies on no drive.
class QtOleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("带 空格.jpg", "a");
    folder_.Write("b.jpg", "b");
    win::SetDriveTable({{'C', folder_.Host(), win::DRIVE_FIXED}});
  }
  void TearDown() override { win::SetDriveTable({}); }

  static std::string Ansi(const std::string& utf8) { return *win::Utf8ToAnsi(utf8); }

  ScratchFolder folder_{"qt-ole"};
  ScratchFolder elsewhere_{"qt-ole-outside"};
  const win::UINT idList_ = win::RegisterClipboardFormatA("Shell IDList Array");
  const win::UINT uriList_ = win::RegisterClipboardFormatA("text/uri-list");
  const win::UINT gnome_ = win::RegisterClipboardFormatA("x-special/gnome-copied-files");
};

TEST_F(QtOleTest, DataObjectGoesOutAsMimeTypesOtherProgramsAndWeRead) {
  DataPtr data(nullptr);
  win::IDataObject* raw = nullptr;
  ASSERT_EQ(win::CreateDataObject(&raw), win::S_OK);
  data.reset(raw);
  Put(raw, win::CF_HDROP, win::CreateFileDropData({Ansi("C:\\带 空格.jpg"), "C:\\b.jpg"}));
  const std::string idList = Bytes("\x01\x00\x0e\x00\x31zy\x00\x00\x00", 10);
  PutBytes(raw, idList_, idList);
  PutBytes(raw, gnome_, Bytes("copy\nfile:///x\0\0", 16));
  PutBytes(raw, win::CF_TEXT, "not offered: no name another program knows");

  const std::unique_ptr<QMimeData> mime = win::MimeDataFromDataObject(raw);
  const QList<QUrl> expected = {
      QUrl::fromLocalFile(QString::fromStdString(folder_.HostOf("带 空格.jpg"))),
      QUrl::fromLocalFile(QString::fromStdString(folder_.HostOf("b.jpg")))};
  EXPECT_EQ(mime->urls(), expected);
  EXPECT_TRUE(mime->data("text/uri-list").contains("%20")) << "URLs are encoded";
  const QString privateType =
      QStringLiteral("application/x-suotu-format;name=\"Shell IDList Array\"");
  EXPECT_EQ(mime->data(privateType).toStdString(), idList) << "binary bytes travel whole";
  EXPECT_EQ(mime->data("x-special/gnome-copied-files"), QByteArray("copy\nfile:///x"))
      << "a text format ends at its zero byte";
  EXPECT_EQ(mime->formats().size(), 3);

  // Back within the program: the same formats again.
  DataPtr back(win::DataObjectFromMimeData(mime.get()));
  EXPECT_EQ(DropPaths(back.get()),
            (std::vector<std::string>{Ansi("C:\\带 空格.jpg"), "C:\\b.jpg"}));
  std::string bytes;
  EXPECT_TRUE(win::ReadDataBytes(back.get(), idList_, &bytes));
  EXPECT_EQ(bytes, idList);
  EXPECT_TRUE(win::ReadDataBytes(back.get(), gnome_, &bytes));
  EXPECT_EQ(bytes, "copy\nfile:///x");
}

TEST_F(QtOleTest, MimeDataComesInAsTheFormatsOurTargetsRead) {
  const struct {
    const char* name;
    std::vector<QUrl> urls;
    std::vector<std::string> paths;  // the CF_HDROP list; empty: not offered
  } cases[] = {
      {"files with spaces and Chinese names",
       {QUrl::fromLocalFile(QString::fromStdString(folder_.HostOf("带 空格.jpg"))),
        QUrl::fromLocalFile(QString::fromStdString(folder_.HostOf("b.jpg")))},
       {Ansi("C:\\带 空格.jpg"), "C:\\b.jpg"}},
      {"a folder's URL with its closing slash",
       {QUrl::fromLocalFile(QString::fromStdString(folder_.Host() + "/"))},
       {"C:\\"}},
      {"only what lies on a drive is a file to drop",
       {QUrl::fromLocalFile(QString::fromStdString(elsewhere_.HostOf("x.jpg"))),
        QUrl(QStringLiteral("https://example.com/b.jpg")),
        QUrl::fromLocalFile(QString::fromStdString(folder_.HostOf("b.jpg")))},
       {"C:\\b.jpg"}},
      {"nothing on a drive", {QUrl(QStringLiteral("https://example.com/b.jpg"))}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QMimeData mime;
    mime.setUrls(QList<QUrl>(c.urls.begin(), c.urls.end()));
    DataPtr data(win::DataObjectFromMimeData(&mime));
    EXPECT_EQ(DropPaths(data.get()), c.paths);
    std::string bytes;
    EXPECT_TRUE(win::ReadDataBytes(data.get(), uriList_, &bytes)) << "the list as it came";
    EXPECT_EQ(bytes, mime.data("text/uri-list").toStdString());
  }

  // Another machine's file is not ours to drop, whatever its path would be here.
  win::SetDriveTable({{'C', "/", win::DRIVE_FIXED}});
  QMimeData remote;
  remote.setUrls({QUrl(QStringLiteral("file://other-machine") +
                       QString::fromStdString(folder_.HostOf("b.jpg")))});
  EXPECT_TRUE(DropPaths(DataPtr(win::DataObjectFromMimeData(&remote)).get()).empty());

  QMimeData other;
  other.setData(win::PrivateMimeType("Shell IDList Array"), QByteArray("\x01\x00", 2));
  other.setData("x-special/gnome-copied-files", "cut\nfile:///b.jpg");
  other.setData("text/plain", "left out");
  other.setData("application/x-suotu-format;name=\"\"", "left out: no name");
  DataPtr data(win::DataObjectFromMimeData(&other));
  std::vector<win::UINT> formats;
  ASSERT_EQ(data->EnumFormats(&formats), win::S_OK);
  EXPECT_EQ(formats, (std::vector<win::UINT>{idList_, gnome_}));
  DataPtr empty(win::DataObjectFromMimeData(nullptr));
  ASSERT_EQ(empty->EnumFormats(&formats), win::S_OK);
  EXPECT_TRUE(formats.empty());
}

TEST_F(QtOleTest, PrivateTypesCarryAnyFormatNameInLatin1) {
  for (const std::string& name : {std::string("Shell IDList Array"), Ansi("缩图 \"列表\" 100%\\x"),
                                  std::string("a;name=b")}) {
    SCOPED_TRACE(name);
    const QString type = win::PrivateMimeType(name);
    for (QChar c : type) EXPECT_LT(c.unicode(), 0x80) << "X atoms are Latin-1";
    EXPECT_EQ(type.count(QLatin1Char('"')), 2) << type.toStdString();
    EXPECT_EQ(win::PrivateFormatName(type), name);
  }
  for (const char* type :
       {"text/uri-list", "application/x-suotu-format;name=\"a\"b\"",
        "application/x-suotu-format;name=\"%00\"", "application/x-suotu-format;name=\"unclosed"})
    EXPECT_EQ(win::PrivateFormatName(QString::fromLatin1(type)), "") << type;
}

TEST_F(QtOleTest, KeysAndEffectsMapToQtAndBack) {
  EXPECT_EQ(win::KeyStateFromQt(Qt::LeftButton | Qt::RightButton | Qt::MiddleButton, {}),
            win::MK_LBUTTON | win::MK_RBUTTON | win::MK_MBUTTON);
  EXPECT_EQ(
      win::KeyStateFromQt(Qt::NoButton, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier),
      win::MK_SHIFT | win::MK_CONTROL | win::MK_ALT);
  EXPECT_EQ(win::KeyStateFromQt(Qt::BackButton, Qt::MetaModifier), 0u);

  EXPECT_EQ(win::DropActionsFromEffects(win::DROPEFFECT_COPY | win::DROPEFFECT_LINK |
                                        win::DROPEFFECT_SCROLL),
            Qt::CopyAction | Qt::LinkAction);
  EXPECT_EQ(win::EffectsFromDropActions(Qt::MoveAction | Qt::TargetMoveAction),
            win::DROPEFFECT_MOVE);

  const struct {
    win::DWORD effect;
    Qt::DropAction proposed;
    Qt::DropAction action;
  } answers[] = {
      {win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE, Qt::MoveAction, Qt::MoveAction},
      {win::DROPEFFECT_COPY | win::DROPEFFECT_MOVE, Qt::LinkAction, Qt::CopyAction},
      {win::DROPEFFECT_MOVE | win::DROPEFFECT_SCROLL, Qt::CopyAction, Qt::MoveAction},
      {win::DROPEFFECT_LINK, Qt::IgnoreAction, Qt::LinkAction},
      {win::DROPEFFECT_SCROLL, Qt::CopyAction, Qt::IgnoreAction},
      {win::DROPEFFECT_NONE, Qt::CopyAction, Qt::IgnoreAction},
  };
  for (const auto& a : answers)
    EXPECT_EQ(win::DropActionFromEffect(a.effect, a.proposed), a.action)
        << std::hex << a.effect << " proposed " << int(a.proposed);
}

// Drags that cannot run end at once instead of waiting for a button: offscreen, where the
// headless drag stays installed; and through the Qt host when the source will not go on as the
// drag begins (its button already up: a start reported late).
TEST_F(QtOleTest, DragsThatCannotRunEndAtOnce) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ASSERT_EQ(QGuiApplication::instance(), nullptr);
  static int argc = 1;
  static char name[] = "platform_user_qt_tests";
  static char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
  struct Source final : win::IDropSource {
    win::ULONG AddRef() override { return 2; }
    win::ULONG Release() override { return 1; }
    win::HRESULT QueryContinueDrag(win::BOOL, win::DWORD keys) override {
      asked.push_back(keys);
      if (answer == win::E_NOTIMPL) throw std::runtime_error("source failed");
      return answer;
    }
    win::HRESULT GiveFeedback(win::DWORD) override { return win::DRAGDROP_S_USEDEFAULTCURSORS; }
    win::HRESULT answer = win::S_OK;
    std::vector<win::DWORD> asked;
  } source;
  win::IDataObject* raw = nullptr;
  ASSERT_EQ(win::CreateDataObject(&raw), win::S_OK);
  DataPtr data(raw);

  win::InstallQtUserHost();
  win::DWORD effect = 0xFF;
  EXPECT_EQ(win::DoDragDrop(raw, &source, win::DROPEFFECT_COPY, &effect), win::DRAGDROP_S_CANCEL);
  EXPECT_EQ(effect, win::DROPEFFECT_NONE);
  EXPECT_TRUE(source.asked.empty()) << "the headless drag asks nobody";
  win::RemoveQtUserHost();

  const struct {
    win::HRESULT answer;
    win::HRESULT result;
  } starts[] = {
      {win::DRAGDROP_S_DROP, win::DRAGDROP_S_CANCEL},
      {win::DRAGDROP_S_CANCEL, win::DRAGDROP_S_CANCEL},
      {win::E_OUTOFMEMORY, win::E_OUTOFMEMORY},
  };
  for (const auto& s : starts) {
    source.answer = s.answer;
    source.asked.clear();
    effect = 0xFF;
    EXPECT_EQ(win::detail::QtDoDragDrop(raw, &source, win::DROPEFFECT_COPY, &effect), s.result)
        << std::hex << s.answer;
    EXPECT_EQ(effect, win::DROPEFFECT_NONE);
    EXPECT_EQ(source.asked, std::vector<win::DWORD>{0u}) << "asked once, with no button held";
  }
  source.answer = win::E_NOTIMPL;  // throws
  EXPECT_THROW(win::detail::QtDoDragDrop(raw, &source, win::DROPEFFECT_COPY, &effect),
               std::runtime_error);
}

}  // namespace
