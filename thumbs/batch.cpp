#include "thumbs/batch.h"

#include "imaging/picture.h"
#include "runtime/exceptions.h"
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

// Both all-files commands: each item in list order, the folder asked for just before each save.
template <class FolderOf>
void SaveAll(BatchWindow& window, int count, FolderOf folderOf) {
  window.SetItemIndex(0);
  for (int i = 0; i < count; ++i) {
    const AnsiString source = window.Item(i);
    window.SetItemIndex(i);
    window.ShowCurrentItem();
    window.ShowProgress();
    window.View().WriteToFile(ThumbnailOutputPath(folderOf(), source));
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
    for (int i = 0; i < count; ++i) {
      if (!window.ItemSelected(i)) continue;
      const AnsiString source = window.Item(i);
      window.Preview().ReadFromFile(source);
      MakeThumbnail(window.Preview(), window.WidthText(), window.View());
      window.ShowProgress();
      window.View().WriteToFile(ThumbnailOutputPath(window.CurrentFolder(), source));
    }
  }
  window.RefreshList();
}
