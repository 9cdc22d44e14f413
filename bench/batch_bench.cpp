// The window's all-files batch command, headless: every file given is shown, reduced and saved
// into one folder, as RzButton2Click does. Prints the wall time of the run in milliseconds.
//
//   batch_bench OUT_DIR WIDTH_TEXT FILE...
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
  if (argc < 4) {
    std::fprintf(stderr, "usage: batch_bench OUT_DIR WIDTH_TEXT FILE...\n");
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
  const auto start = std::chrono::steady_clock::now();
  try {
    SaveAllToCurrentFolder(window);
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.0f\n", ms);
  UnregisterJpegFormats();
  return 0;
}
