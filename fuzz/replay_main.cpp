// Replays fuzz inputs without libFuzzer: every regular file of the folders (or the files) named
// on the command line goes once through the target's LLVMFuzzerTestOneInput, in name order.
// A crash or sanitizer report ends the run; the file's name is printed before it is fed, so the
// log names the input that failed. Fails when a folder is missing (folders after "--optional"
// may be) or when nothing was replayed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

bool Replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
    return false;
  }
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
  std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.c_str(), bytes.size());
  // An empty vector's data() may be null; libFuzzer passes a valid pointer even for size 0.
  static const std::uint8_t kNothing = 0;
  LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  int replayed = 0;
  bool ok = true;
  bool optional = false;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg = argv[i];
    if (arg == "--optional") {
      optional = true;
      continue;
    }
    std::error_code ec;
    if (fs::is_regular_file(arg, ec)) {
      ok = Replay(arg) && ok;
      ++replayed;
      continue;
    }
    if (!fs::is_directory(arg, ec)) {
      if (optional) continue;  // a target without regression files yet has no folder for them
      std::fprintf(stderr, "replay: no such file or folder: %s\n", arg.c_str());
      ok = false;
      continue;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(arg, ec)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      ok = Replay(file) && ok;
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  if (replayed == 0) {
    std::fprintf(stderr, "replay: nothing to replay\n");
    return 1;
  }
  return ok ? 0 : 1;
}
