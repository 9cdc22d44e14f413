// The JPEG codec: the only code that talks to libjpeg.
//
// Everything here is in plain terms (sizes, rows as a pointer and a step, palette entries,
// streams), so the image object above it decides what is held and when, and the codec can be
// tested without bitmaps. The library's fatal errors come back through setjmp/longjmp into
// this layer and are raised as C++ exceptions only after the library's frames are gone; an
// exception thrown by a stream or a progress handler while the library is running is kept,
// the library is made to give up through the same path, and the exception is raised again
// afterwards. Failures carry release 6b's message codes ("JPEG error #%d").
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/jpeg_orientation.h"
#include "platform/gdi/gdi.h"
#include "runtime/stream.h"

enum class TJPEGOutputDepth : std::uint8_t { Out24Bit = 0, Out8Bit = 1 };
enum class TJPEGSpeedMode : std::uint8_t { Accurate = 0, Fast = 1 };

// One value of each coding setting, in the order the process-wide defaults keep them.
struct TJPEGSettings {
  std::uint8_t EncodeQuality = 90;
  bool GrayOutput = false;
  TJPEGSpeedMode SpeedMode = TJPEGSpeedMode::Accurate;
  TJPEGOutputDepth OutputDepth = TJPEGOutputDepth::Out24Bit;
  bool ShowScans = false;
  bool MultiScan = false;
  std::uint8_t ReduceShift = 0;
  bool BlockSmoothing = true;
};

namespace jpeg {

// Library input and output move in blocks of this size.
inline constexpr std::int32_t kBlockSize = 4096;
// Milliseconds between two progress notifications at least.
inline constexpr std::uint32_t kProgressInterval = 500;

// The release-6b message code for one of this library's message codes. The library numbers
// its messages like 6b up to the last warning; the codes it appends after them are mapped to
// what a 6b build raises for the same data.
int ReleaseSixCode(int libraryCode);

// Data with more scans than this is refused while it is read (EJPEG "JPEG image has too many
// scans (more than %d)"). A simple progression has 10 scans and the most finely split ones
// that encoders write a few dozen; forged files repeat scans by the thousand, and each one
// costs a pass over the whole picture (tens of milliseconds for a large one), so the limit is
// what bounds the time.
inline constexpr int kMaxScans = 100;

// The budget, in bytes, of one decode: the decoded picture's pixels and the library's working
// memory together. 2^31 - 1 (what a 32-bit process can address) or a quarter of physical
// memory, whichever is smaller. SetMemoryLimit replaces it (tests, fuzzing); 0 restores it.
std::int64_t MemoryLimit();
void SetMemoryLimit(std::int64_t bytes);

// The clock of the progress throttle: win::GetTickCount unless a test sets its own
// (nullptr restores it).
using TickSource = std::uint32_t (*)();
void SetTickSource(TickSource source);

// Receives the progress of a run, already throttled: at most one call per 500 ms and only
// when the whole percent changed. r is the band of rows decoded since the last call
// (empty when encoding). May throw (EAbort ends the run).
class ProgressListener {
 public:
  virtual void CodecProgress(std::uint8_t percent, bool redrawNow, const win::RECT& r) = 0;

 protected:
  ~ProgressListener() = default;
};

// Rows of a picture in memory: the first (top) row and the signed distance to the next.
struct RowSpan {
  std::uint8_t* row0 = nullptr;
  std::ptrdiff_t step = 0;
};

struct CodecContext;
class DecodeTarget;

// One decompression run over a stream of JPEG bytes.
class Decoder {
 public:
  // Creates the decompression state with a data source that reads the stream from its
  // current position in 4096-byte blocks. A listener (may be null) gets the progress.
  explicit Decoder(TStream& source, ProgressListener* listener = nullptr);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // jpeg_read_header, an image required.
  void ReadHeader();
  int ImageWidth() const;
  int ImageHeight() const;
  // The data is single-component gray.
  bool IsGray() const;
  bool HasMultipleScans();
  // After ReadHeader: the orientation the data's EXIF block declares (TopLeft without one).
  TOrientation ExifOrientation() const;
  // Decode turns the picture by this (TopLeft: as stored, the default).
  void SetOrientation(TOrientation orientation);

  // The decoding parameters of the settings: scale, block smoothing, gray output,
  // quantizing to 236 colours for 8-bit or gray output, the DCT method (floating point for
  // Accurate), dither and quantizer passes, and scan-by-scan output when asked for and the
  // data has several scans. Four-component data always comes out as 24-bit colour.
  void Configure(const TJPEGSettings& settings);
  // After Configure: the output is one byte per pixel (gray or palette indexes).
  bool EightBitOutput() const;
  bool GrayOutput() const;
  bool BufferedImage() const;

  // The decoder maps every pixel to these colours (up to 256 are used).
  void QuantizerFromPalette(const std::vector<win::PALETTEENTRY>& entries);

  // The output size at the configured scale (jpeg_calc_output_dimensions), as stored: not
  // turned by the orientation.
  win::SIZE OutputSize();

 private:
  friend void Decode(Decoder& decoder, DecodeTarget& target);
  std::unique_ptr<CodecContext> context_;
};

// Where decoded rows go.
class DecodeTarget {
 public:
  // The output size is known: storage for width x height pixels (blue, green, red triples,
  // or one byte per pixel for 8-bit output), already turned upright.
  virtual RowSpan SizeKnown(int width, int height) = 0;
  // The decoder's colour map is ready as the palette of 8-bit output. firstScanPass tells a
  // palette for the quick passes of scan-by-scan output from the final one. Returns the
  // rows to use from now on (taking a palette may move them).
  virtual RowSpan PaletteReady(const std::vector<win::PALETTEENTRY>& entries,
                               bool firstScanPass) = 0;

 protected:
  ~DecodeTarget() = default;
};

// Decodes the whole picture into target: checks the picture's size against MemoryLimit and
// gives the library what is left of it (EOutOfMemory "JPEG image is too large (%d x %d
// pixels)" before anything large is allocated, or when the library's buffers pass the rest),
// starts the decompressor, delivers the rows one per library call (scan by scan first when the
// decoder is in buffered-image mode) and finishes. Each row is placed where the orientation
// puts it, so the target holds the upright picture. Four-component data is converted to blue,
// green, red here, its inks taken as inverted (as Adobe's writers store them, marker or not).
void Decode(Decoder& decoder, DecodeTarget& target);

struct EncodeParameters {
  int width = 0;
  int height = 0;
  int quality = 90;
  bool gray = false;
  bool progressive = false;
};

// One compression run writing a JPEG file into a stream in 4096-byte blocks; a block the
// stream does not take whole fails with JPEG error #37.
class Encoder {
 public:
  explicit Encoder(TStream& destination, ProgressListener* listener = nullptr);
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  // Library defaults for 24-bit input in blue, green, red order, floating-point DCT, the
  // quality with baseline tables forced, gray colour space and simple progression on request.
  void SetParameters(const EncodeParameters& parameters);
  // Writes every row (one per library call) and finishes the file.
  void WriteRows(const std::uint8_t* row0, std::ptrdiff_t step);

 private:
  std::unique_ptr<CodecContext> context_;
};

}  // namespace jpeg
