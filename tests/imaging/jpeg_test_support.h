// Helpers shared by the JPEG tests: our own generated pictures, the reference tools (cjpeg,
// djpeg) run on files in a scratch folder, PNM reading and writing, and the codec driven into
// plain buffers.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "imaging/jpeg_codec.h"
#include "runtime/exceptions.h"
#include "runtime/stream.h"
#include "tests/support/failure_message.h"
#include "tests/support/scratch_folder.h"

namespace jpegtest {

using Bytes = std::vector<std::uint8_t>;

// A picture in memory, top row first, each pixel blue, green, red (or one byte when gray).
struct Pixels {
  int width = 0;
  int height = 0;
  int channels = 3;
  Bytes data;

  std::uint8_t* Row(int y) { return data.data() + static_cast<std::size_t>(y) * width * channels; }
  const std::uint8_t* Row(int y) const {
    return data.data() + static_cast<std::size_t>(y) * width * channels;
  }
  std::ptrdiff_t Step() const { return static_cast<std::ptrdiff_t>(width) * channels; }
};

// Smooth shading, a few hard edges and a little noise: what a photo gives the coder.
inline Pixels PhotoLike(int width, int height, unsigned seed = 1) {
  Pixels p{width, height, 3, Bytes(static_cast<std::size_t>(width) * height * 3)};
  unsigned state = seed * 2654435761u + 12345u;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = p.Row(y);
    for (int x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      const int noise = static_cast<int>((state >> 16) % 13) - 6;
      const double fx = static_cast<double>(x) / std::max(width, 1);
      const double fy = static_cast<double>(y) / std::max(height, 1);
      int r = static_cast<int>(128 + 100 * std::sin(fx * 7 + fy * 3));
      int g = static_cast<int>(90 + 140 * fy);
      int b = static_cast<int>(200 - 150 * fx * fy);
      if (((x / 37) + (y / 23)) % 5 == 0) r = 255 - r;  // hard edges
      row[3 * x + 0] = static_cast<std::uint8_t>(std::clamp(b + noise, 0, 255));
      row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(g + noise, 0, 255));
      row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(r + noise, 0, 255));
    }
  }
  return p;
}

// A scratch folder of its own per test, removed afterwards.
using ScratchDir = test_support::ScratchFolder;
using test_support::MessageOf;

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Runs a reference tool; the test fails when it does. The tools exit with 2 after a
// warning (data that ends early), which some tests expect.
inline void Run(const std::string& command, bool warningExpected = false) {
  const int status = std::system((command + " 2>/dev/null").c_str());
  ASSERT_TRUE(WIFEXITED(status)) << command;
  ASSERT_EQ(WEXITSTATUS(status), warningExpected ? 2 : 0) << command;
}

// P6 (red, green, blue) or P5 from our blue, green, red pixels.
inline void WritePnm(const std::string& path, const Pixels& p) {
  std::ofstream out(path, std::ios::binary);
  out << (p.channels == 1 ? "P5" : "P6") << "\n" << p.width << " " << p.height << "\n255\n";
  for (int y = 0; y < p.height; ++y) {
    const std::uint8_t* row = p.Row(y);
    for (int x = 0; x < p.width; ++x) {
      if (p.channels == 1) {
        out.put(static_cast<char>(row[x]));
      } else {
        out.put(static_cast<char>(row[3 * x + 2]));
        out.put(static_cast<char>(row[3 * x + 1]));
        out.put(static_cast<char>(row[3 * x + 0]));
      }
    }
  }
}

// Reads what djpeg writes (P5 or P6, maxval 255) into blue, green, red or gray pixels.
inline Pixels ReadPnm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Pixels p;
  in >> magic >> p.width >> p.height >> maxval;
  in.get();
  p.channels = magic == "P5" ? 1 : 3;
  p.data.resize(static_cast<std::size_t>(p.width) * p.height * p.channels);
  in.read(reinterpret_cast<char*>(p.data.data()), static_cast<std::streamsize>(p.data.size()));
  if (p.channels == 3)
    for (std::size_t i = 0; i < p.data.size(); i += 3) std::swap(p.data[i], p.data[i + 2]);
  return p;
}

inline std::unique_ptr<TMemoryStream> StreamOf(const Bytes& bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  if (!bytes.empty()) stream->WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  stream->SetPosition(0);
  return stream;
}

inline Bytes BytesOf(TMemoryStream& stream) {
  return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

// cjpeg on our pixels, with extra switches.
inline Bytes Cjpeg(const ScratchDir& dir, const Pixels& p, const std::string& switches) {
  WritePnm(dir.HostOf("in.pnm"), p);
  Run("cjpeg " + switches + " -outfile " + dir.HostOf("ref.jpg") + " " + dir.HostOf("in.pnm"));
  return ReadFile(dir.HostOf("ref.jpg"));
}

// djpeg's decoding of bytes, with extra switches.
inline Pixels Djpeg(const ScratchDir& dir, const Bytes& jpeg, const std::string& switches,
                    bool warningExpected = false) {
  WriteFile(dir.HostOf("dj.jpg"), jpeg);
  Run("djpeg " + switches + " -pnm -outfile " + dir.HostOf("dj.pnm") + " " + dir.HostOf("dj.jpg"),
      warningExpected);
  return ReadPnm(dir.HostOf("dj.pnm"));
}

// Our encoder on pixels (24-bit, top row first).
inline Bytes Encode(const Pixels& p, jpeg::EncodeParameters parameters,
                    jpeg::ProgressListener* listener = nullptr) {
  TMemoryStream out;
  jpeg::Encoder encoder(out, listener);
  parameters.width = p.width;
  parameters.height = p.height;
  encoder.SetParameters(parameters);
  encoder.WriteRows(p.data.data(), p.Step());
  return BytesOf(out);
}

// A decode target that keeps the rows in a plain buffer, bottom-up like a DIB, and keeps the
// palettes it was given.
class BufferTarget : public jpeg::DecodeTarget {
 public:
  explicit BufferTarget(int channels) : channels_(channels) {}

  jpeg::RowSpan SizeKnown(int width, int height) override {
    width_ = width;
    height_ = height;
    rowBytes_ = (width * channels_ + 3) & ~3;
    memory_.assign(static_cast<std::size_t>(rowBytes_) * height, 0xCD);  // sentinel
    return Rows();
  }
  jpeg::RowSpan PaletteReady(const std::vector<win::PALETTEENTRY>& entries,
                             bool firstScanPass) override {
    palettes.push_back(entries);
    firstScanPalettes += firstScanPass ? 1 : 0;
    return Rows();
  }

  // Pixels top row first, without padding; palette indexes resolved when 8-bit.
  Pixels Resolved() const {
    const bool indexed = channels_ == 1 && !palettes.empty();
    const int outChannels = indexed && !Gray() ? 3 : channels_;
    Pixels p{width_, height_, outChannels,
             Bytes(static_cast<std::size_t>(width_) * height_ * outChannels)};
    for (int y = 0; y < height_; ++y) {
      const std::uint8_t* src = memory_.data() + static_cast<std::size_t>(height_ - 1 - y) *
                                                     static_cast<std::size_t>(rowBytes_);
      std::uint8_t* dst = p.Row(y);
      for (int x = 0; x < width_; ++x) {
        if (!indexed) {
          for (int c = 0; c < channels_; ++c) dst[x * channels_ + c] = src[x * channels_ + c];
          continue;
        }
        const win::PALETTEENTRY& e = palettes.back().at(src[x]);
        if (outChannels == 1) {
          dst[x] = e.peRed;
        } else {
          dst[3 * x] = e.peBlue;
          dst[3 * x + 1] = e.peGreen;
          dst[3 * x + 2] = e.peRed;
        }
      }
    }
    return p;
  }
  // The raw indexes (8-bit output), top row first.
  std::vector<std::uint8_t> Indexes() const {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < height_; ++y) {
      const std::uint8_t* src =
          memory_.data() + static_cast<std::size_t>(height_ - 1 - y) * rowBytes_;
      out.insert(out.end(), src, src + width_);
    }
    return out;
  }
  bool Gray() const {
    if (palettes.empty()) return channels_ == 1;
    for (const auto& e : palettes.back())
      if (e.peRed != e.peGreen || e.peGreen != e.peBlue) return false;
    return true;
  }

  std::vector<std::vector<win::PALETTEENTRY>> palettes;
  int firstScanPalettes = 0;

 private:
  jpeg::RowSpan Rows() {
    // Bottom-up: row 0 is the last row in memory.
    return {memory_.data() + static_cast<std::size_t>(height_ - 1) * rowBytes_, -rowBytes_};
  }

  int channels_;
  int width_ = 0;
  int height_ = 0;
  int rowBytes_ = 0;
  Bytes memory_;
};

struct Decoded {
  Pixels pixels;
  int paletteSize = 0;
  int firstScanPalettes = 0;
};

// Header, settings and the whole decode, as the image object drives them.
inline Decoded Decode(const Bytes& jpeg, const TJPEGSettings& settings = {},
                      jpeg::ProgressListener* listener = nullptr,
                      const std::vector<win::PALETTEENTRY>* paletteIn = nullptr,
                      jpeg::TOrientation orientation = jpeg::TOrientation::TopLeft) {
  auto stream = StreamOf(jpeg);
  jpeg::Decoder decoder(*stream, listener);
  decoder.ReadHeader();
  decoder.Configure(settings);
  decoder.SetOrientation(orientation);
  if (paletteIn != nullptr) decoder.QuantizerFromPalette(*paletteIn);
  BufferTarget target(decoder.EightBitOutput() ? 1 : 3);
  jpeg::Decode(decoder, target);
  Decoded result{target.Resolved(), 0, target.firstScanPalettes};
  if (!target.palettes.empty())
    result.paletteSize = static_cast<int>(target.palettes.back().size());
  return result;
}

// Index and values of the first differing byte, for readable failures.
inline ::testing::AssertionResult SamePixels(const Pixels& expected, const Pixels& actual) {
  if (expected.width != actual.width || expected.height != actual.height ||
      expected.channels != actual.channels)
    return ::testing::AssertionFailure()
           << "size " << actual.width << "x" << actual.height << "x" << actual.channels
           << ", expected " << expected.width << "x" << expected.height << "x" << expected.channels;
  for (std::size_t i = 0; i < expected.data.size(); ++i)
    if (expected.data[i] != actual.data[i])
      return ::testing::AssertionFailure()
             << "byte " << i << " (row " << i / expected.Step() << ") is " << int(actual.data[i])
             << ", expected " << int(expected.data[i]);
  return ::testing::AssertionSuccess();
}

// Largest difference of any byte.
inline int MaxDifference(const Pixels& a, const Pixels& b) {
  int worst = 0;
  for (std::size_t i = 0; i < std::min(a.data.size(), b.data.size()); ++i)
    worst = std::max(worst, std::abs(int(a.data[i]) - int(b.data[i])));
  return worst;
}

// The frame header's size fields rewritten (SOF0/SOF1/SOF2), as a forged file would claim.
inline Bytes WithClaimedSize(Bytes jpeg, int width, int height) {
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC1 || jpeg[i + 1] == 0xC2)) {
      jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<std::uint8_t>(height);
      jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<std::uint8_t>(width);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

// One entry of an EXIF directory: tag, type, count and a 16-bit value.
struct ExifEntry {
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint16_t value;
};

// "Exif\0\0", a TIFF header pointing at the first directory, the directory's entries.
inline Bytes ExifBlock(bool bigEndian, const std::vector<ExifEntry>& entries,
                       std::uint32_t directory = 8, std::uint16_t magic = 42,
                       const char* order = nullptr) {
  Bytes b = {'E', 'x', 'i', 'f', 0, 0};
  const auto u16 = [&](unsigned v) {
    b.push_back(static_cast<std::uint8_t>(bigEndian ? v >> 8 : v));
    b.push_back(static_cast<std::uint8_t>(bigEndian ? v : v >> 8));
  };
  const auto u32 = [&](std::uint32_t v) {
    u16(bigEndian ? v >> 16 : v & 0xFFFF);
    u16(bigEndian ? v & 0xFFFF : v >> 16);
  };
  b.push_back(order != nullptr ? order[0] : bigEndian ? 'M' : 'I');
  b.push_back(order != nullptr ? order[1] : bigEndian ? 'M' : 'I');
  u16(magic);
  u32(directory);
  for (std::uint32_t pad = 8; pad < directory && pad < 64; ++pad) b.push_back(0);
  u16(static_cast<unsigned>(entries.size()));
  for (const ExifEntry& e : entries) {
    u16(e.tag);
    u16(e.type);
    u32(e.count);
    u16(e.value);
    u16(0);
  }
  u32(0);
  return b;
}

// An APP1 marker with an EXIF block whose first directory holds one entry, the orientation
// tag (0x0112, SHORT, one value), inserted right after the start-of-image marker as cameras
// write it. Motorola (big-endian) or Intel byte order.
inline Bytes WithExifOrientation(const Bytes& jpeg, int value, bool bigEndian = true) {
  const Bytes exif = ExifBlock(bigEndian, {{0x0112, 3, 1, static_cast<std::uint16_t>(value)}});
  const std::size_t length = exif.size() + 2;
  // Built front to back in reserved room: GCC 12 at -O2 misreads a growing insert here.
  Bytes out;
  out.reserve(jpeg.size() + length + 2);
  out.push_back(jpeg[0]);
  out.push_back(jpeg[1]);
  for (std::uint8_t byte :
       {std::uint8_t{0xFF}, std::uint8_t{0xE1}, static_cast<std::uint8_t>(length >> 8),
        static_cast<std::uint8_t>(length)})
    out.push_back(byte);
  out.insert(out.end(), exif.begin(), exif.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// ImageMagick's operation that shows a picture stored with each EXIF orientation upright: an
// independent reading of the eight values.
inline const char* const kUprightOperation[9] = {
    nullptr,      "",           "-flop",       "-rotate 180", "-flip",
    "-transpose", "-rotate 90", "-transverse", "-rotate 270"};

// djpeg's output of file, turned upright by ImageMagick.
inline Pixels TurnedReference(const ScratchDir& dir, const Bytes& file, const std::string& switches,
                              int orientation) {
  const Pixels stored = Djpeg(dir, file, switches);
  const std::string extension = stored.channels == 1 ? ".pgm" : ".ppm";
  WritePnm(dir.HostOf("stored" + extension), stored);
  Run(std::string("/usr/bin/convert ") + dir.HostOf("stored" + extension) + " " +
      kUprightOperation[orientation] + " " + dir.HostOf("upright" + extension));
  return ReadPnm(dir.HostOf("upright" + extension));
}

// The number of scans (start-of-scan markers; entropy-coded data never holds FF DA).
inline int ScanCount(const Bytes& jpeg) {
  int scans = 0;
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i)
    scans += jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA ? 1 : 0;
  return scans;
}

// A one-component progressive file with scans added before its end until it has total scans:
// each a refinement of the DC bit it already has, as forged files repeat them (the library only
// warns). Every added scan carries one zero byte of data, enough for 8 blocks or fewer.
inline Bytes WithScans(const Bytes& grayProgressive, int total) {
  Bytes out(grayProgressive.begin(), grayProgressive.end() - 2);  // without FF D9
  std::uint8_t component = 1;
  for (std::size_t i = 0; i + 10 < grayProgressive.size(); ++i)
    if (grayProgressive[i] == 0xFF && grayProgressive[i + 1] == 0xC2) {
      component = grayProgressive[i + 10];  // the frame's first component's id
      break;
    }
  for (int n = ScanCount(grayProgressive); n < total; ++n)
    out.insert(out.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, component, 0x00, 0x00, 0x00, 0x10, 0x00});
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

// A file kept under fuzz/regressions/jpeg/: an input that once cost minutes, gigabytes or the
// wrong picture.
inline Bytes RegressionFile(const std::string& name) {
  const std::string path = std::string(SUOTU_SOURCE_DIR) + "/fuzz/regressions/jpeg/" + name;
  Bytes bytes = ReadFile(path);
  EXPECT_FALSE(bytes.empty()) << "missing " << path;
  return bytes;
}

// A clock that moves by a fixed step each time it is read.
struct FakeClock {
  static inline std::uint32_t now = 0;
  static inline std::uint32_t step = 0;
  static inline int reads = 0;
  static std::uint32_t Tick() {
    ++reads;
    return now += step;
  }
};

struct ClockScope {
  ClockScope(std::uint32_t start, std::uint32_t step) {
    FakeClock::now = start;
    FakeClock::step = step;
    FakeClock::reads = 0;
    jpeg::SetTickSource(&FakeClock::Tick);
  }
  ~ClockScope() { jpeg::SetTickSource(nullptr); }
};

struct Recorder : jpeg::ProgressListener {
  struct Call {
    int percent;
    bool redrawNow;
    win::RECT r;
    std::uint32_t time;
    int read;
  };
  std::vector<Call> calls;
  int abortAt = -1;  // throw EAbort from this call on

  void CodecProgress(std::uint8_t percent, bool redrawNow, const win::RECT& r) override {
    calls.push_back({percent, redrawNow, r, FakeClock::now, FakeClock::reads});
    if (abortAt >= 0 && static_cast<int>(calls.size()) > abortAt) throw EAbort();
  }
};

}  // namespace jpegtest
