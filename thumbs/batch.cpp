#include "thumbs/batch.h"

#include <memory>
#include <utility>
#include <vector>

#include "imaging/picture.h"
#include "runtime/exceptions.h"
#include "thumbs/decode_ahead.h"
#include "thumbs/output_name.h"
#include "thumbs/strings.h"
#include "thumbs/thumbnail_maker.h"

namespace {

// The hourglass while a run lasts, put back on every exit path.
class BusyScope {
 public:
  explicit BusyScope(BatchWindow& window) : window_(window) { window_.SetBusy(true); }
  ~BusyScope() { window_.SetBusy(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  BatchWindow& window_;
};

// The files of a run decoded ahead on a helper thread, when the window allows it.
std::unique_ptr<DecodeAhead> StartDecodeAhead(BatchWindow& window, std::vector<AnsiString> paths) {
  if (!window.DecodeAheadAllowed() || paths.size() < 2) return nullptr;
  return std::make_unique<DecodeAhead>(std::move(paths));
}

void SaveThumbnail(BatchWindow& window, const AnsiString& outputPath) {
  window.View().WriteToFile(outputPath);
  window.ThumbnailSaved(outputPath);
}

// Both all-files commands: each item in list order, the folder asked for just before each save.
template <class FolderOf>
void SaveAll(BatchWindow& window, int count, FolderOf folderOf) {
  window.SetItemIndex(0);
  std::vector<AnsiString> paths;
  for (int i = 0; i < count; ++i) paths.push_back(window.Item(i));
  const std::unique_ptr<DecodeAhead> ahead = StartDecodeAhead(window, paths);
  for (int i = 0; i < count; ++i) {
    const AnsiString source = window.Item(i);
    if (ahead) ahead->Expect(i);
    window.SetItemIndex(i);
    window.ShowCurrentItem();
    window.ShowProgress();
    SaveThumbnail(window, ThumbnailOutputPath(folderOf(), source));
  }
}

}  // namespace

void SaveAllToCurrentFolder(BatchWindow& window) {
  const int count = window.ItemCount();
  if (count <= 0) throw EAbort();
  {
    BusyScope busy(window);
    SaveAll(window, count, [&] { return window.CurrentFolder(); });
  }
  window.ShowNotice(kBatchDone);
  window.RefreshList();
}

void SaveAllToChosenFolder(BatchWindow& window) {
  const int count = window.ItemCount();
  if (count <= 0) throw EAbort();
  window.SetItemIndex(0);
  // Without a folder every thumbnail would land in the root of the current drive.
  const AnsiString folder = window.ChooseFolder();
  if (folder.empty()) throw EAbort();
  {
    BusyScope busy(window);
    SaveAll(window, count, [&] { return folder; });
  }
  window.ShowNotice(kBatchDone);
}

void SaveSelectedToCurrentFolder(BatchWindow& window) {
  const int count = window.ItemCount();
  {
    BusyScope busy(window);
    std::vector<AnsiString> paths;
    for (int i = 0; i < count; ++i) {
      if (window.ItemSelected(i)) paths.push_back(window.Item(i));
    }
    const std::unique_ptr<DecodeAhead> ahead = StartDecodeAhead(window, paths);
    int position = 0;
    for (int i = 0; i < count; ++i) {
      if (!window.ItemSelected(i)) continue;
      const AnsiString source = window.Item(i);
      if (ahead) ahead->Expect(position++);
      window.Preview().ReadFromFile(source);
      MakeThumbnail(window.Preview(), window.WidthText(), window.View());
      window.ShowProgress();
      SaveThumbnail(window, ThumbnailOutputPath(window.CurrentFolder(), source));
    }
  }
  window.RefreshList();
}
