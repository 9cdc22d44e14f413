#include "browse/file_list.h"

#include <string>

#include "browse/strings.h"
#include "imaging/picture.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "thumbs/thumbnail_maker.h"

namespace {

bool IsLeadByte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// Length of the folder part of a path: up to and including its last "\" or ":", never taking
// the second byte of a double-byte character.
std::size_t FolderPartLength(const AnsiString& path) {
  std::size_t folderEnd = 0;
  for (std::size_t i = 0; i < path.size();) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      i += 2;
      continue;
    }
    if (c == '\\' || c == ':') folderEnd = i + 1;
    ++i;
  }
  return folderEnd;
}

bool IsDirectory(const AnsiString& path) {
  const win::DWORD attributes = win::GetFileAttributesA(path.c_str());
  return attributes != win::INVALID_FILE_ATTRIBUTES &&
         (attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class UpdateScope {
 public:
  UpdateScope(FileListBox& list, const std::function<void(bool)>& setBusy)
      : list_(list), setBusy_(setBusy) {
    if (setBusy_) setBusy_(true);
    list_.BeginUpdate();
  }
  ~UpdateScope() {
    list_.EndUpdate();
    if (setBusy_) setBusy_(false);
  }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  FileListBox& list_;
  const std::function<void(bool)>& setBusy_;
};

}  // namespace

void ListFolderFiles(std::vector<AnsiString>& items, const AnsiString& mask) {
  const AnsiString folder = mask.substr(0, FolderPartLength(mask));
  if (folder.empty() || !IsDirectory(folder)) {
    items.clear();
    return;
  }
  std::vector<AnsiString> found;
  win::WIN32_FIND_DATAA data{};
  const win::HANDLE find = win::FindFirstFileA(mask.c_str(), &data);
  if (find != win::INVALID_HANDLE_VALUE) {
    do {
      // The search takes every attribute (mask 63, hidden and system files too); only
      // directories are left out.
      if ((data.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      found.push_back(folder + data.cFileName);
    } while (win::FindNextFileA(find, &data));
    win::FindClose(find);
  }
  items = std::move(found);
}

void FillFileList(FileListBox& list, const AnsiString& selectedPath) {
  list.SetItems({});
  std::vector<AnsiString> items;
  ListFolderFiles(items, selectedPath + "\\*.jpg");
  list.SetItems(items);
  if (list.Count() > 0) list.SetSelected(0, true);
}

AnsiString SelectedItem(FileListBox& list) {
  const int count = list.Count();
  bool anySelected = false;
  for (int i = 0; i < count && !anySelected; ++i) anySelected = list.Selected(i);
  const int index = list.ItemIndex();
  if (!anySelected || index < 0 || index >= count) return {};
  return list.Item(index);
}

ShownFile ShowListedFile(FileListBox& list, TPicture& preview, TPicture& view,
                         const AnsiString& widthText) {
  preview.ReadFromFile(SelectedItem(list));
  view.ReadFromFile(SelectedItem(list));
  MakeThumbnail(preview, widthText, view);
  ShownFile shown;
  shown.sizeText = AnsiString(kThumbnailSizePrefix) + std::to_string(view.Width()) + "x" +
                   std::to_string(view.Height());
  shown.pathText = SelectedItem(list);
  return shown;
}

void DeleteSelectedItems(FileListBox& list, const std::function<void(bool)>& setBusy) {
  {
    UpdateScope scope(list, setBusy);
    for (int i = list.Count() - 1; i >= 0; --i) {
      if (list.Selected(i)) list.Delete(i);
    }
  }
  list.DeleteItemsDone();
}

void DeleteSelectedFiles(FileListBox& list, const std::function<void(bool)>& setBusy) {
  struct Failure {
    int oldIndex;
    int newIndex;
    AnsiString path;
    AnsiString reason;
  };
  std::vector<Failure> failures;
  const int count = list.Count();
  int removedBefore = 0;
  for (int i = 0; i < count; ++i) {
    if (!list.Selected(i)) continue;
    const AnsiString path = list.Item(i);
    if (!win::DeleteFileA(path.c_str())) {
      const win::DWORD error = win::GetLastError();
      // A file that is gone all the same (deleted meanwhile) is no failure.
      if (win::GetFileAttributesA(path.c_str()) != win::INVALID_FILE_ATTRIBUTES) {
        failures.push_back({i, i - removedBefore, path, SysErrorMessage(error)});
        continue;
      }
    }
    ++removedBefore;
  }
  // Failed items sit out the removal and get their selection back afterwards.
  for (const Failure& failure : failures) {
    list.SetSelected(failure.oldIndex, false);
  }
  DeleteSelectedItems(list, setBusy);
  if (failures.empty()) return;
  AnsiString message = kDeleteFailed;
  for (const Failure& failure : failures) {
    list.SetSelected(failure.newIndex, true);
    message += "\r\n" + failure.path + " (" + failure.reason + ")";
  }
  throw Exception(message);
}
