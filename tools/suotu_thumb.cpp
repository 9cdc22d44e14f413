// suotu-thumb: the thumbnail engine from the command line, for developers and benchmarks.
//
//   suotu-thumb [--out DIR] WIDTH_TEXT FILE...
//
// Host paths in and out. Each FILE gets its thumbnail under the derived name ("缩图" before
// the extension) beside it, or in DIR. The files run as one batch, through the same code as
// the window's all-files command (several files are decoded ahead on a second thread).
// One line per file: OUTPUT<TAB>WxH<TAB>MILLISECONDS.
// The first failure is printed as the program's failure display words it, and ends the run
// with exit status 1.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "imaging/jpeg_image.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "thumbs/batch.h"
#include "thumbs/headless_batch.h"

namespace {

std::string ToHost(const AnsiString& text) {
  return win::AnsiToUtf8(text).value_or(text);
}
AnsiString ToAnsi(const std::string& text) {
  return win::Utf8ToAnsi(text).value_or(text);
}

// Made absolute against the working folder but not resolved: a symbolic link keeps its own
// folder and name (the thumbnail goes beside the link), and a missing file still gets a path,
// so opening it reports what the system says.
AnsiString WindowsPathOf(const std::string& hostPath) {
  std::string absolute = hostPath;
  if (absolute.empty() || absolute[0] != '/') {
    char* current = getcwd(nullptr, 0);
    if (current != nullptr) absolute = std::string(current) + "/" + hostPath;
    std::free(current);
  }
  if (auto path = win::WindowsPathFromHost(absolute)) return *path;
  const win::DWORD error = win::GetLastError();
  throw EFOpenError(
      Format(strings::kFOpenError, ToAnsi(hostPath).c_str(), win::SystemErrorText(error).c_str()));
}

int Usage() {
  std::fprintf(stderr, "usage: suotu-thumb [--out DIR] WIDTH_TEXT FILE...\n");
  return 2;
}

// Keeps the JPEG module registered for the run, as the program does from start to end.
struct JpegModule {
  JpegModule() { RegisterJpegFormats(); }
  ~JpegModule() { UnregisterJpegFormats(); }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string outDir;
  if (args.size() >= 2 && args[0] == "--out") {
    outDir = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2) return Usage();

  JpegModule module;
  try {
    // The width text is taken as the user typed it, in the ANSI code page.
    const AnsiString widthText = ToAnsi(args[0]);
    const AnsiString outFolder = outDir.empty() ? AnsiString() : WindowsPathOf(outDir);
    // The files up to the first one without a Windows path run as one batch; that one then
    // fails in its turn, as it would have after the others.
    std::vector<AnsiString> sources;
    std::exception_ptr pathFailure;
    for (std::size_t i = 1; i < args.size() && !pathFailure; ++i) {
      try {
        sources.push_back(WindowsPathOf(args[i]));
      } catch (const Exception&) {
        pathFailure = std::current_exception();
      }
    }
    HeadlessBatchWindow window(sources, outFolder, widthText);
    if (outFolder.empty()) window.SaveBesideSources();
    auto start = std::chrono::steady_clock::now();
    window.OnSaved = [&](const AnsiString& outputPath, int width, int height) {
      const auto now = std::chrono::steady_clock::now();
      const double ms = std::chrono::duration<double, std::milli>(now - start).count();
      start = now;
      const auto hostOutput = win::HostPathFromWindows(outputPath);
      std::printf("%s\t%dx%d\t%.1f\n",
                  hostOutput ? hostOutput->c_str() : ToHost(outputPath).c_str(), width, height, ms);
      std::fflush(stdout);
    };
    if (!sources.empty()) SaveAllToCurrentFolder(window);
    if (pathFailure) std::rethrow_exception(pathFailure);
  } catch (const EAbort&) {
    return 1;
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", ToHost(FailureDisplayText(e.Message())).c_str());
    return 1;
  }
  return 0;
}
