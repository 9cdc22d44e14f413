// Decode speed of a large photograph through TJPEGImage::ObtainBitmap, as a ratio to the
// library's own decoder (djpeg -dct float -outfile /dev/null) on the same file in the same
// run. Both sides are timed as the best of several rounds, so a busy machine disturbs the
// ratio as little as possible; the processor time (user + system) of each side is reported
// beside the elapsed time, as it is less disturbed by other work on a shared machine.
//
//   jpeg_decode_bench [width height [rounds]]     (default 6000 4000 5)
//
// The picture is made here: smooth shading, hard edges and noise, encoded at quality 90 with
// the program's own settings (baseline, 4:2:0), so no downloaded image is needed.
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/jpeg_codec.h"
#include "imaging/jpeg_image.h"
#include "runtime/stream.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Timing {
  double elapsed = 1e9;
  double cpu = 1e9;
  void Keep(const Timing& t) {
    elapsed = std::min(elapsed, t.elapsed);
    cpu = std::min(cpu, t.cpu);
  }
};

// Blue, green, red rows, top first.
std::vector<std::uint8_t> PhotoLike(int width, int height) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
  unsigned state = 12345;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * width * 3;
    const double fy = static_cast<double>(y) / height;
    for (int x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      const int noise = static_cast<int>((state >> 16) % 9) - 4;
      const double fx = static_cast<double>(x) / width;
      int r = static_cast<int>(128 + 90 * std::sin(fx * 23 + fy * 7) * std::cos(fy * 11));
      int g = static_cast<int>(110 + 100 * fy + 30 * std::sin(fx * 41));
      int b = static_cast<int>(190 - 140 * fx * fy);
      if (((x / 97) + (y / 61)) % 7 == 0) r = 255 - r;
      row[3 * x + 0] = static_cast<std::uint8_t>(std::clamp(b + noise, 0, 255));
      row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(g + noise, 0, 255));
      row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(r + noise, 0, 255));
    }
  }
  return pixels;
}

Timing TimeDjpeg(const std::string& file) {
  const char* argv[] = {"djpeg", "-dct", "float", "-outfile", "/dev/null", file.c_str(), nullptr};
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    std::fprintf(stderr, "cannot run djpeg\n");
    std::exit(2);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto elapsed = Clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "djpeg failed\n");
    std::exit(2);
  }
  return {Seconds(elapsed), Seconds(usage.ru_utime) + Seconds(usage.ru_stime)};
}

// A loaded file decoded the way the thumbnail maker needs it: bytes in, 24-bit bitmap out.
Timing TimeObtainBitmap(TMemoryStream& bytes, int expectedWidth) {
  bytes.SetPosition(0);
  TJPEGImage image;
  image.LoadJpegBytes(static_cast<std::int32_t>(bytes.Size()), bytes);
  const double cpuStart = ProcessCpuSeconds();
  const auto start = Clock::now();
  const TBitmap& bitmap = image.ObtainBitmap();
  const auto elapsed = Clock::now() - start;
  const double cpu = ProcessCpuSeconds() - cpuStart;
  if (bitmap.Width() != expectedWidth) {
    std::fprintf(stderr, "decode failed\n");
    std::exit(2);
  }
  return {Seconds(elapsed), cpu};
}

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 2 ? std::atoi(argv[1]) : 6000;
  const int height = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

  TMemoryStream bytes;
  {
    const std::vector<std::uint8_t> pixels = PhotoLike(width, height);
    jpeg::Encoder encoder(bytes);
    jpeg::EncodeParameters parameters;
    parameters.width = width;
    parameters.height = height;
    encoder.SetParameters(parameters);
    encoder.WriteRows(pixels.data(), static_cast<std::ptrdiff_t>(width) * 3);
  }
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("suotu-bench-" + std::to_string(getpid()) + ".jpg"))
                               .string();
  {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.Memory()), bytes.Size());
  }

  // One untimed round each warms the caches and the page tables.
  TimeDjpeg(file);
  TimeObtainBitmap(bytes, width);
  Timing djpeg;
  Timing ours;
  for (int i = 0; i < rounds; ++i) {
    djpeg.Keep(TimeDjpeg(file));
    ours.Keep(TimeObtainBitmap(bytes, width));
  }

  // The same again with the allocator keeping freed picture memory for the next picture, as a
  // batch of thumbnails could: what is left is the decode itself, without the kernel's cost of
  // handing out 72 MB of fresh pages for every bitmap.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  TimeObtainBitmap(bytes, width);
  Timing reused;
  for (int i = 0; i < rounds; ++i) {
    djpeg.Keep(TimeDjpeg(file));
    reused.Keep(TimeObtainBitmap(bytes, width));
  }
  std::filesystem::remove(file);

  std::printf("picture        %d x %d, %lld bytes of JPEG\n", width, height,
              static_cast<long long>(bytes.Size()));
  std::printf("                elapsed     processor   (best of %d)\n", rounds);
  std::printf("djpeg         %7.1f ms  %7.1f ms\n", djpeg.elapsed * 1000, djpeg.cpu * 1000);
  std::printf("ObtainBitmap  %7.1f ms  %7.1f ms\n", ours.elapsed * 1000, ours.cpu * 1000);
  std::printf("ratio         %7.3f     %7.3f     (target <= 1.100)\n", ours.elapsed / djpeg.elapsed,
              ours.cpu / djpeg.cpu);
  std::printf("with picture memory reused between decodes:\n");
  std::printf("ObtainBitmap  %7.1f ms  %7.1f ms\n", reused.elapsed * 1000, reused.cpu * 1000);
  std::printf("ratio         %7.3f     %7.3f\n", reused.elapsed / djpeg.elapsed,
              reused.cpu / djpeg.cpu);
  return 0;
}
