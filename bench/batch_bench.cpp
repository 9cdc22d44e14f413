// The window's all-files batch command, headless: every file given is shown, reduced and saved
// into one folder, as RzButton2Click does (files ahead decoded on a helper thread, or with
// --one-thread all on this one). Prints the wall time of the run, the processor time of the
// calling thread and that of the whole process, in milliseconds.
//
//   batch_bench [--one-thread] OUT_DIR WIDTH_TEXT FILE...
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/jpeg_image.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "thumbs/batch.h"
#include "thumbs/headless_batch.h"

int main(int argc, char** argv) {
  const bool oneThread = argc > 1 && std::string(argv[1]) == "--one-thread";
  if (oneThread) {
    --argc;
    ++argv;
  }
  if (argc < 4) {
    std::fprintf(stderr, "usage: batch_bench [--one-thread] OUT_DIR WIDTH_TEXT FILE...\n");
    return 2;
  }
  const auto windowsPath = [](const char* host) {
    const auto path = win::WindowsPathFromHost(host);
    if (!path) {
      std::fprintf(stderr, "no drive holds %s\n", host);
      std::exit(2);
    }
    return *path;
  };
  std::vector<AnsiString> items;
  for (int i = 3; i < argc; ++i) items.push_back(windowsPath(argv[i]));
  RegisterJpegFormats();
  HeadlessBatchWindow window(std::move(items), windowsPath(argv[1]), argv[2]);
  window.SetDecodeAhead(!oneThread);
  const auto start = std::chrono::steady_clock::now();
  try {
    SaveAllToCurrentFolder(window);
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  // Processor time of this thread and of the whole process: how the work was shared, which a
  // loaded machine's wall time does not show.
  timespec own{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &own);
  rusage all{};
  getrusage(RUSAGE_SELF, &all);
  const auto msOf = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  std::printf("%.0f %.0f %.0f\n", ms, own.tv_sec * 1e3 + own.tv_nsec / 1e6,
              msOf(all.ru_utime) + msOf(all.ru_stime));
  UnregisterJpegFormats();
  return 0;
}
