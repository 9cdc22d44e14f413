// The folder tree over a folder of 5,000 subfolders: the first expansion of that folder and a
// Resync after 50 changes made from outside (25 folders gone, 25 new), each against a plain
// readdir listing of the same folder timed in the same run, in wall time and in processor time
// (the steadier figure on a shared machine). Best of RUNS runs (default 5). Two folders: one of
// empty subfolders (Resync lists each of them too, since a node without a button counts as
// listed) and one whose subfolders each hold a folder (their nodes keep unlisted buttons, so
// Resync lists the folder itself only).
//
//   shell_tree_bench [RUNS]      (runs under Qt's offscreen platform unless one is set)
#include <dirent.h>
#include <time.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "browse/shell_tree.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "ui/forms.h"

namespace {

constexpr int kFolders = 5000;
constexpr int kChanges = 50;

struct Clock {
  double wall, cpu;  // milliseconds
};

Clock Now() {
  timespec cpu{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  return {
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
          .count(),
      double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6};
}

// The best (smallest) wall and processor times seen.
struct Best {
  double wall = 1e30, cpu = 1e30;
  void Take(const Clock& start) {
    const Clock end = Now();
    wall = std::min(wall, end.wall - start.wall);
    cpu = std::min(cpu, end.cpu - start.cpu);
  }
};

// The plain listing: every entry of the folder read once.
int ReadDirectory(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count;
}

TTreeNode* ChildNamed(TTreeNode* node, const std::string& caption) {
  for (int i = 0; i < node->Count(); ++i)
    if (node->Item(i)->Text() == caption) return node->Item(i);
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char pattern[] = "/tmp/suotu-tree-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    std::perror("mkdtemp");
    return 2;
  }
  const std::filesystem::path root = pattern;
  for (int i = 0; i < kFolders; ++i) {
    std::filesystem::create_directories(root / "c" / "leaves" / ("f" + std::to_string(i)));
    std::filesystem::create_directories(root / "c" / "nested" / ("f" + std::to_string(i)) / "sub");
  }
  std::filesystem::create_directories(root / "c" / "desk");
  std::filesystem::create_directories(root / "c" / "home");
  win::SetDriveTable({{'C', (root / "c").string(), win::DRIVE_FIXED}});
  win::SetShellFolderLocations((root / "c" / "desk").string(), (root / "c" / "home").string());

  int status = 0;
  {
    ApplicationSession session(argc, argv);
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 600);
    auto* tree = new TRzShellTree(&form);
    tree->SetParent(&form);
    tree->SetBounds(0, 0, 250, 580);
    // Resync's own cost: no watcher, whose signals would add resyncs of their own.
    tree->SetOptions(kDefaultShellTreeOptions & ~StoBit(TRzShellTreeOption::stoDynamicRefresh));
    form.Show();
    const std::string kComputer = win::Utf8ToAnsi("我的电脑").value();
    const std::string kDrive = win::Utf8ToAnsi("本地磁盘 (C:)").value();
    std::printf("%d subfolders, best of %d runs     wall ms   ratio    cpu ms   ratio\n", kFolders,
                runs);
    try {
      for (const char* name : {"leaves", "nested"}) {
        const std::filesystem::path big = root / "c" / name;
        Best listing, expand, resync, still;
        for (int run = 0; run < runs; ++run) {
          Clock t0 = Now();
          if (ReadDirectory(big.string()) != kFolders) throw Exception("readdir missed folders");
          listing.Take(t0);

          tree->Refill();
          TTreeNode* computer = ChildNamed(tree->Item(0), kComputer);
          if (computer == nullptr || !computer->Expand()) throw Exception("no computer node");
          TTreeNode* drive = ChildNamed(computer, kDrive);
          if (drive == nullptr || !drive->Expand()) throw Exception("no drive node");
          TTreeNode* node = ChildNamed(drive, name);
          if (node == nullptr) throw Exception("no node for the folder");
          t0 = Now();
          node->Expand();
          QApplication::processEvents();
          expand.Take(t0);
          if (node->Count() != kFolders) throw Exception("the expansion missed folders");

          // Half the changes remove folders, half add new ones; the run puts them back after.
          for (int i = 0; i < kChanges / 2; ++i) {
            std::filesystem::remove_all(big / ("f" + std::to_string(i * 97)));
            std::filesystem::create_directory(big / ("new" + std::to_string(i)));
          }
          t0 = Now();
          tree->Resync();
          QApplication::processEvents();
          resync.Take(t0);
          if (node->Count() != kFolders || ChildNamed(node, "new0") == nullptr ||
              ChildNamed(node, "f0") != nullptr)
            throw Exception("Resync missed a change");
          // Nothing changed since: the listing and the matching alone.
          t0 = Now();
          tree->Resync();
          QApplication::processEvents();
          still.Take(t0);
          for (int i = 0; i < kChanges / 2; ++i) {
            std::filesystem::create_directories(big / ("f" + std::to_string(i * 97)) / "sub");
            if (std::string(name) == "leaves")
              std::filesystem::remove(big / ("f" + std::to_string(i * 97)) / "sub");
            std::filesystem::remove(big / ("new" + std::to_string(i)));
          }
        }
        std::printf("%s: readdir listing           %8.2f          %8.2f\n", name, listing.wall,
                    listing.cpu);
        std::printf("%s: first expansion           %8.2f %7.1f  %8.2f %7.1f\n", name, expand.wall,
                    expand.wall / listing.wall, expand.cpu, expand.cpu / listing.cpu);
        std::printf("%s: Resync, %d changes        %8.2f %7.1f  %8.2f %7.1f\n", name, kChanges,
                    resync.wall, resync.wall / listing.wall, resync.cpu, resync.cpu / listing.cpu);
        std::printf("%s: Resync, no change         %8.2f %7.1f  %8.2f %7.1f\n", name, still.wall,
                    still.wall / listing.wall, still.cpu, still.cpu / listing.cpu);
      }
    } catch (const Exception& e) {
      std::fprintf(stderr, "%s\n", e.Message().c_str());
      status = 1;
    }
  }
  win::SetShellFolderLocations("", "");
  win::SetDriveTable({});
  std::filesystem::remove_all(root);
  return status;
}
