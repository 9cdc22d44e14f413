// What a click in the folder tree does on a large folder (ShellTreeView1Click: the folder's
// *.jpg files listed into a framed list box, the first selected, the list painted), timed
// against a plain readdir of the same folder in the same run.
//
//   file_list_bench [FOLDER]
//
// Without FOLDER a scratch folder of 10,000 JPEG names and 1,000 subfolders (a tenth of them
// named like JPEG files) is made under /tmp and removed afterwards. Runs under Qt's offscreen
// platform; the best of 5 runs of each is reported.
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "browse/file_list.h"
#include "browse/list_box_file_list.h"
#include "platform/kernel/kernel.h"
#include "ui/forms.h"
#include "widgets/rz_list_box.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// The reference: every entry's name read once, nothing else.
std::size_t ReadDirectory(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  std::size_t entries = 0;
  while (readdir(dir) != nullptr) ++entries;
  closedir(dir);
  return entries;
}

void MakeFolder(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  char name[64];
  for (int i = 0; i < 10000; ++i) {
    std::snprintf(name, sizeof name, "IMG_%05d.jpg", i);
    std::ofstream(folder / name).put('x');
  }
  for (int i = 0; i < 1000; ++i) {
    std::snprintf(name, sizeof name, i % 10 == 0 ? "album%04d.jpg" : "album%04d", i);
    std::filesystem::create_directory(folder / name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::filesystem::path folder;
  bool scratch = false;
  if (argc > 1) {
    folder = argv[1];
  } else {
    folder = std::filesystem::temp_directory_path() /
             ("suotu-file-list-bench-" + std::to_string(getpid()));
    MakeFolder(folder);
    scratch = true;
  }
  const auto windowsFolder = win::WindowsPathFromHost(std::filesystem::absolute(folder).string());
  if (!windowsFolder) {
    std::fprintf(stderr, "no drive holds %s\n", folder.c_str());
    return 2;
  }

  int qtArgc = 1;
  ApplicationSession session(qtArgc, argv);
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 560);
  auto* list = new TRzListBox(&form);
  list->SetParent(&form);
  list->SetMultiSelect(true);
  list->SetBounds(5, 31, 173, 512);
  form.Show();
  ListBoxFileList items(*list);

  double fill = 1e300;
  double reference = 1e300;
  double listing = 1e300;
  std::size_t entries = 0;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    entries = ReadDirectory(folder.string());
    reference = std::min(reference, Ms(start));

    const auto listStart = Clock::now();
    std::vector<AnsiString> names;
    ListFolderFiles(names, *windowsFolder + "\\*.jpg");
    listing = std::min(listing, Ms(listStart));

    const auto clickStart = Clock::now();
    FillFileList(items, *windowsFolder);
    list->Repaint();
    fill = std::min(fill, Ms(clickStart));
  }
  std::printf(
      "entries %zu  listed %d  readdir %.2f ms  click (fill and paint) %.2f ms  ratio %.1f"
      "  (of it the folder search %.2f ms)\n",
      entries, list->Items().Count(), reference, fill, fill / reference, listing);
  if (scratch) std::filesystem::remove_all(folder);
  return 0;
}
