// Decode speed of a large photograph through TJPEGImage::ObtainBitmap, as a ratio to the
// library's own decoder (djpeg -dct float -outfile /dev/null) on the same file in the same
// run. Both sides are timed as the best of several rounds, so a busy machine disturbs the
// ratio as little as possible.
//
//   jpeg_decode_bench [width height [rounds]]     (default 6000 4000 5)
//
// The picture is made here: smooth shading, hard edges and noise, encoded at quality 90 with
// the program's own settings (baseline, 4:2:0), so no downloaded image is needed.
#include <spawn.h>
#include <sys/wait.h>
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

double TimeDjpeg(const std::string& file) {
  const char* argv[] = {"djpeg", "-dct", "float", "-outfile", "/dev/null", file.c_str(), nullptr};
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    std::fprintf(stderr, "cannot run djpeg\n");
    std::exit(2);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const auto elapsed = Clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "djpeg failed\n");
    std::exit(2);
  }
  return Seconds(elapsed);
}

// A loaded file decoded the way the thumbnail maker needs it: bytes in, 24-bit bitmap out.
double TimeObtainBitmap(TMemoryStream& bytes, int expectedWidth) {
  bytes.SetPosition(0);
  TJPEGImage image;
  image.LoadJpegBytes(static_cast<std::int32_t>(bytes.Size()), bytes);
  const auto start = Clock::now();
  const TBitmap& bitmap = image.ObtainBitmap();
  const auto elapsed = Clock::now() - start;
  if (bitmap.Width() != expectedWidth) {
    std::fprintf(stderr, "decode failed\n");
    std::exit(2);
  }
  return Seconds(elapsed);
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
  double bestDjpeg = 1e9;
  double bestOurs = 1e9;
  for (int i = 0; i < rounds; ++i) {
    bestDjpeg = std::min(bestDjpeg, TimeDjpeg(file));
    bestOurs = std::min(bestOurs, TimeObtainBitmap(bytes, width));
  }
  std::filesystem::remove(file);

  std::printf("picture        %d x %d, %lld bytes of JPEG\n", width, height,
              static_cast<long long>(bytes.Size()));
  std::printf("djpeg          %.1f ms (best of %d)\n", bestDjpeg * 1000, rounds);
  std::printf("ObtainBitmap   %.1f ms (best of %d)\n", bestOurs * 1000, rounds);
  std::printf("ratio          %.3f (target <= 1.100)\n", bestOurs / bestDjpeg);
  return 0;
}
