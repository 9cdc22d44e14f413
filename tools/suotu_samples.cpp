// suotu-samples DIR: writes the generated sample pictures for the corner cases of the
// thumbnail maker (host folder DIR, created if missing):
//   strip-2000x11.jpg    one thumbnail row at width 200
//   strip-2000x10.jpg    no thumbnail rows at width 200 (the save must fail cleanly)
//   portrait-480x640.jpg taller than wide
//   gray-640x480.jpg     single-component gray data
//   progressive-1000x700.jpg  several scans; its thumbnail is progressive too
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"

namespace {

// A smooth picture with some detail, so the encoder and the halftone stretch see real work.
void Paint(TBitmap& bitmap, int width, int height) {
  bitmap.SetColorDepth(TColorDepth::Depth24);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.RowPointer(y);
    for (int x = 0; x < width; ++x) {
      const double fx = double(x) / width;
      const double fy = double(y) / height;
      const double ring = 0.5 + 0.5 * std::sin(40.0 * std::hypot(fx - 0.5, fy - 0.5));
      row[3 * x + 0] = std::uint8_t(255 * fy);          // blue
      row[3 * x + 1] = std::uint8_t(255 * ring);        // green
      row[3 * x + 2] = std::uint8_t(255 * (1.0 - fx));  // red
    }
  }
}

void Write(const std::string& dir, const char* name, int width, int height, bool gray,
           bool progressive) {
  TBitmap bitmap;
  Paint(bitmap, width, height);
  TJPEGImage jpeg;
  jpeg.CopyFrom(&bitmap);
  jpeg.SetGrayOutput(gray);
  jpeg.SetMultiScan(progressive);
  const auto path = win::WindowsPathFromHost(dir + "/" + name);
  if (!path) throw Exception("no drive holds " + dir);
  jpeg.WriteToFile(*path);
  std::printf("%s/%s\t%dx%d\n", dir.c_str(), name, width, height);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: suotu-samples DIR\n");
    return 2;
  }
  char* resolved = nullptr;
  mkdir(argv[1], 0777);
  resolved = realpath(argv[1], nullptr);
  const std::string dir = resolved != nullptr ? resolved : argv[1];
  std::free(resolved);
  try {
    Write(dir, "strip-2000x11.jpg", 2000, 11, false, false);
    Write(dir, "strip-2000x10.jpg", 2000, 10, false, false);
    Write(dir, "portrait-480x640.jpg", 480, 640, false, false);
    Write(dir, "gray-640x480.jpg", 640, 480, true, false);
    Write(dir, "progressive-1000x700.jpg", 1000, 700, false, true);
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", FailureDisplayText(e.Message()).c_str());
    return 1;
  }
  return 0;
}
