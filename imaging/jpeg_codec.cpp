#include "imaging/jpeg_codec.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <cstring>
#include <exception>
#include <limits>
#include <utility>

#include <jpeglib.h>
// jerror.h numbers the arithmetic-coding messages only when jpeglib.h has configured it.
#include <jerror.h>

#include "runtime/exceptions.h"
#include "runtime/strings.h"

// The library's messages are numbered like release 6b up to its last warning; the few it
// appends come after that. The numbers users see ("JPEG error #42") depend on this.
static_assert(JERR_ARITH_NOTIMPL == 1);
static_assert(JERR_BAD_STATE == 20);
static_assert(JERR_FILE_WRITE == 37);
static_assert(JERR_INPUT_EMPTY == 42);
static_assert(JERR_NO_BACKING_STORE == 49);
static_assert(JERR_NO_SOI == 53);
static_assert(JERR_OUT_OF_MEMORY == 54);
static_assert(JWRN_TOO_MUCH_DATA == 123);

namespace jpeg {

namespace {

constexpr int kQuantizedColors = 236;
constexpr int kMaxReduceShift = 3;  // 1/8 is the smallest scale the library offers

std::int64_t memoryLimitOverride = 0;

std::uint32_t SystemTicks() {
  return win::GetTickCount();
}
TickSource tickSource = &SystemTicks;

}  // namespace

int ReleaseSixCode(int libraryCode) {
  if (libraryCode >= 0 && libraryCode <= JWRN_TOO_MUCH_DATA) return libraryCode;
  switch (libraryCode) {
    // Arithmetic-coded data: a 6b build stops at the first arithmetic frame with "not
    // implemented"; this library decodes it and only fails on a missing table.
    case JERR_NO_ARITH_TABLE:
      return JERR_ARITH_NOTIMPL;
    case JWRN_ARITH_BAD_CODE:
      return JWRN_HUFF_BAD_CODE;
    // Raised only by entry points release 6b lacks (cropping, lossless transforms); this
    // program never calls them, and 6b answers an improper call with "bad state".
    case JERR_BAD_CROP_SPEC:
      return JERR_BAD_STATE;
    case JERR_BAD_DROP_SAMPLING:
      return JERR_BAD_STATE;
    // JWRN_BOGUS_ICC: 6b reads an ICC marker as any other APPn marker and says nothing.
    default:
      return JMSG_NOMESSAGE;
  }
}

std::int64_t MemoryLimit() {
  if (memoryLimitOverride > 0) return memoryLimitOverride;
  constexpr std::int64_t kAddressable = std::numeric_limits<std::int32_t>::max();
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return kAddressable;
  return std::min<std::int64_t>(kAddressable, std::int64_t{pages} * pageSize / 4);
}

void SetMemoryLimit(std::int64_t bytes) {
  memoryLimitOverride = std::max<std::int64_t>(bytes, 0);
}

void SetTickSource(TickSource source) {
  tickSource = source != nullptr ? source : &SystemTicks;
}

// The working record of one run. The library's structures come first; their callbacks find
// the record again through client_data.
struct CodecContext {
  jpeg_error_mgr error;
  std::jmp_buf jump;
  // An exception from a stream or a progress handler, raised again once the library has
  // been left.
  std::exception_ptr pending;

  jpeg_progress_mgr progress;
  ProgressListener* listener = nullptr;
  int lastPercent = 0;
  std::uint32_t lastTick = 0;
  int lastRow = 0;

  J_DCT_METHOD finalDctMethod = JDCT_FLOAT;
  bool finalTwoPass = false;
  J_DITHER_MODE finalDither = JDITHER_FS;

  bool decoding = false;
  bool created = false;
  jpeg_decompress_struct decompress;
  jpeg_compress_struct compress;

  struct Source {
    jpeg_source_mgr manager;
    TStream* stream;
    bool startOfFile;
    JOCTET buffer[kBlockSize];
  } source;
  struct Destination {
    jpeg_destination_mgr manager;
    TStream* stream;
    JOCTET buffer[kBlockSize];
  } destination;

  // Four-component data is read as CMYK and converted per row.
  bool cmyk = false;
  TOrientation orientation = TOrientation::TopLeft;
  // The upright size of the picture being decoded, once known: failures for want of memory
  // name it.
  win::SIZE pictureSize{0, 0};

  j_common_ptr Common() {
    return decoding ? reinterpret_cast<j_common_ptr>(&decompress)
                    : reinterpret_cast<j_common_ptr>(&compress);
  }
  [[noreturn]] void RaiseFailure();
  void Relay();
  void Close();
};

namespace {

CodecContext& ContextOf(j_common_ptr cinfo) {
  return *static_cast<CodecContext*>(cinfo->client_data);
}

// Leaves the library for the setjmp of the running entry point. Only C frames and frames
// without destructors lie between the two.
[[noreturn]] void Bail(j_common_ptr cinfo) {
  std::longjmp(ContextOf(cinfo).jump, 1);
}

// Runs library calls with the error manager armed. A fatal error comes back here through
// longjmp and is raised as an exception from this frame, so no C++ exception ever unwinds
// through the library. call must not own anything with a destructor.
template <typename Call>
auto Guarded(CodecContext& context, Call call) -> decltype(call()) {
  if (setjmp(context.jump) != 0) context.RaiseFailure();
  return call();
}

// --- Error manager ---------------------------------------------------------------------

void ErrorExit(j_common_ptr cinfo) {
  Bail(cinfo);
}
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char*) {}
void ResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

void InstallErrorManager(CodecContext& context) {
  jpeg_error_mgr& error = context.error;
  error = {};
  error.error_exit = ErrorExit;
  error.emit_message = EmitMessage;
  error.output_message = OutputMessage;
  error.format_message = FormatMessage;
  error.reset_error_mgr = ResetErrorManager;
  error.trace_level = 0;
}

// --- Progress --------------------------------------------------------------------------

void ProgressMonitor(j_common_ptr cinfo) {
  CodecContext& context = ContextOf(cinfo);
  bool failed = false;
  try {
    // The library calls the monitor as each scan begins, so a forged file with thousands of
    // scans is stopped here, long before it has cost minutes and gigabytes.
    if (context.decoding && context.decompress.input_scan_number > kMaxScans)
      throw EJPEG(Format(strings::kJPEGTooManyScans, kMaxScans));
    context.Relay();
  } catch (...) {
    context.pending = std::current_exception();
    failed = true;
  }
  if (failed) Bail(cinfo);
}

// --- Data source over a stream ---------------------------------------------------------

CodecContext::Source& SourceOf(j_decompress_ptr cinfo) {
  return ContextOf(reinterpret_cast<j_common_ptr>(cinfo)).source;
}

void InitSource(j_decompress_ptr cinfo) {
  SourceOf(cinfo).startOfFile = true;
}

// The first read that brings nothing means there is no data at all (#42); a later one means
// the data ends early, which is only a warning: an end-of-image marker is supplied so the
// library decodes what it has.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  CodecContext::Source& source = SourceOf(cinfo);
  std::int32_t count = 0;
  bool failed = false;
  try {
    count = source.stream->Read(source.buffer, kBlockSize);
  } catch (...) {
    ContextOf(reinterpret_cast<j_common_ptr>(cinfo)).pending = std::current_exception();
    failed = true;
  }
  if (failed) Bail(reinterpret_cast<j_common_ptr>(cinfo));
  if (count <= 0) {
    if (source.startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source.buffer[0] = 0xFF;
    source.buffer[1] = JPEG_EOI;
    count = 2;
  }
  source.manager.next_input_byte = source.buffer;
  source.manager.bytes_in_buffer = static_cast<std::size_t>(count);
  source.startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr& manager = SourceOf(cinfo).manager;
  while (count > static_cast<long>(manager.bytes_in_buffer)) {
    count -= static_cast<long>(manager.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  manager.next_input_byte += count;
  manager.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// --- Data destination over a stream ----------------------------------------------------

CodecContext::Destination& DestinationOf(j_compress_ptr cinfo) {
  return ContextOf(reinterpret_cast<j_common_ptr>(cinfo)).destination;
}

void InitDestination(j_compress_ptr cinfo) {
  CodecContext::Destination& destination = DestinationOf(cinfo);
  destination.manager.next_output_byte = destination.buffer;
  destination.manager.free_in_buffer = kBlockSize;
}

// Writes count bytes of the buffer; a stream that does not take them all fails with #37.
void WriteBlock(j_compress_ptr cinfo, std::int32_t count) {
  CodecContext::Destination& destination = DestinationOf(cinfo);
  std::int32_t written = 0;
  bool failed = false;
  try {
    written = destination.stream->Write(destination.buffer, count);
  } catch (...) {
    ContextOf(reinterpret_cast<j_common_ptr>(cinfo)).pending = std::current_exception();
    failed = true;
  }
  if (failed) Bail(reinterpret_cast<j_common_ptr>(cinfo));
  if (written != count) ERREXIT(cinfo, JERR_FILE_WRITE);
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  WriteBlock(cinfo, kBlockSize);
  InitDestination(cinfo);
  return TRUE;
}

// The remainder is checked like every other block: a file cut short must not pass as
// written.
void TermDestination(j_compress_ptr cinfo) {
  const auto remainder =
      static_cast<std::int32_t>(kBlockSize - DestinationOf(cinfo).manager.free_in_buffer);
  if (remainder > 0) WriteBlock(cinfo, remainder);
}

// --- Palettes --------------------------------------------------------------------------

std::vector<win::PALETTEENTRY> PaletteFromQuantizer(const jpeg_decompress_struct& d) {
  const int count = std::clamp(d.actual_number_of_colors, 0, 256);
  std::vector<win::PALETTEENTRY> entries(static_cast<std::size_t>(count));
  const bool gray = d.out_color_components == 1;
  for (int i = 0; i < count; ++i) {
    win::PALETTEENTRY& entry = entries[static_cast<std::size_t>(i)];
    if (gray) {
      const JSAMPLE v = d.colormap[0][i];
      entry = {v, v, v, 0};
    } else {
      // Output is blue, green, red, so the colour map's rows are too.
      entry = {d.colormap[2][i], d.colormap[1][i], d.colormap[0][i], 0};
    }
  }
  return entries;
}

// --- Rows ------------------------------------------------------------------------------

// One CMYK row to blue, green, red. The inks are taken as Adobe's writers store them,
// inverted (255 = no ink), whether or not the file carries Adobe's marker: files without it
// come from the same writers with the marker stripped, and read as plain inks they would
// print nearly black.
void CmykToBgr(const JSAMPLE* in, std::uint8_t* out, JDIMENSION width) {
  const auto mul = [](unsigned a, unsigned b) {
    return static_cast<std::uint8_t>((a * b + 127) / 255);
  };
  for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
    const unsigned c = in[0], m = in[1], y = in[2], k = in[3];
    out[0] = mul(y, k);
    out[1] = mul(m, k);
    out[2] = mul(c, k);
  }
}

// Copies a row of pixels to where the orientation puts them (a column when it turns).
template <int kBytes>
void PlacePixels(const std::uint8_t* in, std::uint8_t* out, std::ptrdiff_t step, JDIMENSION n) {
  for (JDIMENSION x = 0; x < n; ++x, in += kBytes, out += step) std::memcpy(out, in, kBytes);
}

// The buffers a row passes through when it cannot go straight into its place.
struct RowScratch {
  std::vector<JSAMPLE> samples;   // as the library delivers it
  std::vector<std::uint8_t> bgr;  // converted from CMYK
};

// Reads the rows of one output pass from row 0 on, one row per library call. Rows of a
// picture stored upright (or only flipped top to bottom) go straight into their place;
// others pass through the scratch row.
void ReadRows(CodecContext& context, const RowSpan& rows, RowScratch& scratch) {
  jpeg_decompress_struct& d = context.decompress;
  const int bytes = d.quantize_colors ? 1 : 3;
  const TPlacement place = PlacementFor(context.orientation, static_cast<int>(d.output_width),
                                        static_cast<int>(d.output_height), bytes, rows.step);
  const bool inOrder = place.pixelStep == bytes;
  const bool direct = inOrder && !context.cmyk;
  Guarded(context, [&] {
    while (d.output_scanline < d.output_height) {
      std::uint8_t* start = rows.row0 + place.RowStart(static_cast<int>(d.output_scanline));
      JSAMPROW target = direct ? start : scratch.samples.data();
      if (jpeg_read_scanlines(&d, &target, 1) != 1) break;
      if (direct) continue;
      const std::uint8_t* pixels = target;
      if (context.cmyk) {
        std::uint8_t* converted = inOrder ? start : scratch.bgr.data();
        CmykToBgr(target, converted, d.output_width);
        if (inOrder) continue;
        pixels = converted;
      }
      if (bytes == 1) {
        PlacePixels<1>(pixels, start, place.pixelStep, d.output_width);
      } else {
        PlacePixels<3>(pixels, start, place.pixelStep, d.output_width);
      }
    }
  });
}

// A band of stored rows [top, bottom) over the whole width, as the upright picture's
// rectangle (a band of columns when the orientation turns the picture).
win::RECT UprightBand(TOrientation o, win::LONG top, win::LONG bottom, win::LONG width,
                      win::LONG height) {
  // Corners on the pixel grid: mirroring takes x to width - x.
  const auto map = [&](win::LONG x, win::LONG y) -> win::POINT {
    switch (o) {
      case TOrientation::TopRight:
        return {width - x, y};
      case TOrientation::BottomRight:
        return {width - x, height - y};
      case TOrientation::BottomLeft:
        return {x, height - y};
      case TOrientation::LeftTop:
        return {y, x};
      case TOrientation::RightTop:
        return {height - y, x};
      case TOrientation::RightBottom:
        return {height - y, width - x};
      case TOrientation::LeftBottom:
        return {y, width - x};
      case TOrientation::TopLeft:
        break;
    }
    return {x, y};
  };
  const win::POINT a = map(0, top);
  const win::POINT b = map(width, bottom);
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// Bytes of a bottom-up DIB of this size: rows padded to 32 bits.
std::int64_t PixelBytes(std::int64_t width, std::int64_t height, int bitsPerPixel) {
  const std::int64_t rowBytes = ((width * bitsPerPixel + 31) & ~std::int64_t{31}) / 8;
  return rowBytes * height;
}

}  // namespace

// --- CodecContext ------------------------------------------------------------------------

void CodecContext::RaiseFailure() {
  if (pending) std::rethrow_exception(std::exchange(pending, nullptr));
  const int code = error.msg_code;
  // The library's allocator came back empty-handed, or its working memory would pass the
  // limit (it then asks for backing store, which this build has none of). A 6b build's
  // allocator raised "Out of memory" itself before the library saw a failure.
  const bool allocationFailed =
      code == JERR_OUT_OF_MEMORY && (error.msg_parm.i[0] == 2 || error.msg_parm.i[0] == 4);
  // Past the budget: the picture is too large for this program, which is what to tell.
  if (code == JERR_NO_BACKING_STORE && pictureSize.cx > 0)
    throw EOutOfMemory(Format(strings::kJPEGTooLarge, static_cast<int>(pictureSize.cx),
                              static_cast<int>(pictureSize.cy)));
  if (allocationFailed || code == JERR_NO_BACKING_STORE) throw EOutOfMemory();
  throw EJPEG(Format(strings::kJPEGError, ReleaseSixCode(code)));
}

// The throttle: at most one notification per interval, none on the first call of a run, and
// only when the whole percent changes.
void CodecContext::Relay() {
  if (listener == nullptr) return;
  const std::uint32_t now = tickSource();
  if (now - lastTick < kProgressInterval) return;
  const std::uint32_t previous = std::exchange(lastTick, now);
  if (previous == 0) return;

  win::RECT r{0, 0, 0, 0};
  bool redrawNow = false;
  if (decoding) {
    win::LONG bottom = static_cast<win::LONG>(decompress.output_scanline);
    if (bottom < lastRow) bottom = static_cast<win::LONG>(decompress.output_height);
    redrawNow = bottom - lastRow >= 4;
    r = UprightBand(orientation, lastRow, bottom, static_cast<win::LONG>(decompress.output_width),
                    static_cast<win::LONG>(decompress.output_height));
  }
  double done = progress.completed_passes;
  if (progress.pass_limit > 0)
    done += static_cast<double>(progress.pass_counter) / static_cast<double>(progress.pass_limit);
  const double fraction = progress.total_passes > 0 ? done * 100.0 / progress.total_passes : 0.0;
  const int percent = static_cast<int>(std::clamp(std::trunc(fraction), 0.0, 100.0));
  if (percent == lastPercent) return;
  lastPercent = percent;
  if (decoding) lastRow = static_cast<int>(decompress.output_scanline);
  listener->CodecProgress(static_cast<std::uint8_t>(percent), redrawNow, r);
}

void CodecContext::Close() {
  if (!created) return;
  jpeg_destroy(Common());
  created = false;
}

namespace {

std::unique_ptr<CodecContext> NewContext(bool decoding, ProgressListener* listener) {
  auto context = std::make_unique<CodecContext>();
  InstallErrorManager(*context);
  context->progress = {};
  context->progress.progress_monitor = ProgressMonitor;
  context->listener = listener;
  context->decoding = decoding;
  context->decompress = {};
  context->compress = {};
  return context;
}

}  // namespace

// --- Decoder -------------------------------------------------------------------------------

Decoder::Decoder(TStream& source, ProgressListener* listener)
    : context_(NewContext(true, listener)) {
  CodecContext& context = *context_;
  jpeg_decompress_struct& d = context.decompress;
  d.err = &context.error;
  d.client_data = &context;
  Guarded(context, [&] { jpeg_create_decompress(&d); });
  context.created = true;
  d.progress = &context.progress;
  d.mem->max_memory_to_use = static_cast<long>(MemoryLimit());

  CodecContext::Source& s = context.source;
  s.stream = &source;
  s.startOfFile = true;
  s.manager.init_source = InitSource;
  s.manager.fill_input_buffer = FillInputBuffer;
  s.manager.skip_input_data = SkipInputData;
  s.manager.resync_to_restart = jpeg_resync_to_restart;
  s.manager.term_source = TermSource;
  s.manager.next_input_byte = nullptr;
  s.manager.bytes_in_buffer = 0;
  d.src = &s.manager;
}

Decoder::~Decoder() {
  context_->Close();
}

void Decoder::ReadHeader() {
  CodecContext& context = *context_;
  Guarded(context, [&] {
    // APP1 holds the EXIF block with the orientation.
    jpeg_save_markers(&context.decompress, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&context.decompress, TRUE);
  });
}

TOrientation Decoder::ExifOrientation() const {
  // The first EXIF block counts, as in every viewer; other APP1 blocks (XMP) are skipped.
  for (jpeg_saved_marker_ptr m = context_->decompress.marker_list; m != nullptr; m = m->next) {
    if (m->marker != JPEG_APP0 + 1 || m->data_length < 6) continue;
    if (std::memcmp(m->data, "Exif\0\0", 6) != 0) continue;
    return jpeg::ExifOrientation(m->data, m->data_length);
  }
  return TOrientation::TopLeft;
}

void Decoder::SetOrientation(TOrientation orientation) {
  context_->orientation = orientation;
}

int Decoder::ImageWidth() const {
  return static_cast<int>(context_->decompress.image_width);
}
int Decoder::ImageHeight() const {
  return static_cast<int>(context_->decompress.image_height);
}
bool Decoder::IsGray() const {
  return context_->decompress.jpeg_color_space == JCS_GRAYSCALE;
}

bool Decoder::HasMultipleScans() {
  CodecContext& context = *context_;
  return Guarded(context, [&] { return jpeg_has_multiple_scans(&context.decompress) != FALSE; });
}

void Decoder::Configure(const TJPEGSettings& settings) {
  CodecContext& context = *context_;
  jpeg_decompress_struct& d = context.decompress;
  d.scale_num = 1;
  d.scale_denom = 1u << std::min<int>(settings.ReduceShift, kMaxReduceShift);
  d.do_block_smoothing = settings.BlockSmoothing ? TRUE : FALSE;

  // A 24-bit bitmap cannot take four bytes per pixel: such data is read as CMYK and
  // converted, never quantized.
  context.cmyk = d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK;
  if (context.cmyk) {
    d.out_color_space = JCS_CMYK;
  } else {
    // Colour comes out in the bitmap's byte order; anything else the library cannot
    // convert fails when decoding starts.
    d.out_color_space =
        settings.GrayOutput || d.out_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_EXT_BGR;
    if (settings.OutputDepth == TJPEGOutputDepth::Out8Bit || d.out_color_space == JCS_GRAYSCALE) {
      d.quantize_colors = TRUE;
      d.desired_number_of_colors = kQuantizedColors;
    }
  }

  if (settings.SpeedMode == TJPEGSpeedMode::Fast) {
    d.dct_method = JDCT_IFAST;
    d.two_pass_quantize = FALSE;
    d.dither_mode = JDITHER_ORDERED;
  } else {
    d.dct_method = JDCT_FLOAT;
    d.two_pass_quantize = TRUE;
    d.dither_mode = JDITHER_FS;
  }
  context.finalDctMethod = d.dct_method;
  context.finalTwoPass = d.two_pass_quantize != FALSE;
  context.finalDither = d.dither_mode;

  if (settings.ShowScans && HasMultipleScans()) {
    d.enable_2pass_quant = d.two_pass_quantize;
    d.dct_method = JDCT_IFAST;
    d.two_pass_quantize = FALSE;
    d.dither_mode = JDITHER_ORDERED;
    d.buffered_image = TRUE;
  }
}

bool Decoder::EightBitOutput() const {
  return context_->decompress.quantize_colors != FALSE;
}
bool Decoder::GrayOutput() const {
  return context_->decompress.out_color_space == JCS_GRAYSCALE;
}
bool Decoder::BufferedImage() const {
  return context_->decompress.buffered_image != FALSE;
}

void Decoder::QuantizerFromPalette(const std::vector<win::PALETTEENTRY>& entries) {
  const auto count = static_cast<JDIMENSION>(std::min<std::size_t>(entries.size(), 256));
  if (count == 0) return;
  CodecContext& context = *context_;
  jpeg_decompress_struct& d = context.decompress;
  JSAMPARRAY map = Guarded(context, [&] {
    return (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE, count, 3);
  });
  for (JDIMENSION i = 0; i < count; ++i) {
    map[2][i] = entries[i].peRed;
    map[1][i] = entries[i].peGreen;
    map[0][i] = entries[i].peBlue;
  }
  d.colormap = map;
  d.actual_number_of_colors = static_cast<int>(count);
}

win::SIZE Decoder::OutputSize() {
  CodecContext& context = *context_;
  jpeg_decompress_struct& d = context.decompress;
  Guarded(context, [&] { jpeg_calc_output_dimensions(&d); });
  return {static_cast<win::LONG>(d.output_width), static_cast<win::LONG>(d.output_height)};
}

void Decode(Decoder& decoder, DecodeTarget& target) {
  CodecContext& context = *decoder.context_;
  jpeg_decompress_struct& d = context.decompress;

  // The pixels must fit before the library or the caller allocate anything for them, and
  // the library's whole-image buffers (the coefficients of a progressive file, the picture
  // kept for two-pass quantizing) get only what the pixels leave of the budget: the two are
  // alive at the same time.
  const win::SIZE stored = decoder.OutputSize();
  const bool swaps = SwapsAxes(context.orientation);
  const win::SIZE upright = swaps ? win::SIZE{stored.cy, stored.cx} : stored;
  context.pictureSize = upright;
  const int outputBytes = decoder.EightBitOutput() ? 1 : 3;
  const std::int64_t budget = MemoryLimit();
  const std::int64_t pixelBytes = PixelBytes(upright.cx, upright.cy, outputBytes * 8);
  if (pixelBytes > budget)
    throw EOutOfMemory(
        Format(strings::kJPEGTooLarge, static_cast<int>(upright.cx), static_cast<int>(upright.cy)));
  // 0 would mean no limit at all to the library.
  d.mem->max_memory_to_use = static_cast<long>(std::max<std::int64_t>(budget - pixelBytes, 1));

  Guarded(context, [&] { jpeg_start_decompress(&d); });
  const int expectedComponents = context.cmyk ? 4 : outputBytes;
  if (d.output_components != expectedComponents)
    throw EJPEG(Format(strings::kJPEGError, static_cast<int>(JERR_CONVERSION_NOTIMPL)));

  RowScratch scratch;
  scratch.samples.resize(std::size_t{d.output_width} *
                         static_cast<std::size_t>(d.output_components));
  if (context.cmyk) scratch.bgr.resize(std::size_t{d.output_width} * 3);
  RowSpan rows =
      swaps ? target.SizeKnown(static_cast<int>(d.output_height), static_cast<int>(d.output_width))
            : target.SizeKnown(static_cast<int>(d.output_width), static_cast<int>(d.output_height));

  if (d.buffered_image) {
    // Each scan as it arrives, quickly, so a viewer can show the picture sharpening.
    while (Guarded(context, [&] { return jpeg_consume_input(&d); }) != JPEG_REACHED_EOI) {
      Guarded(context, [&] { jpeg_start_output(&d, d.input_scan_number); });
      if (context.progress.completed_passes == 0 && d.colormap != nullptr)
        rows = target.PaletteReady(PaletteFromQuantizer(d), true);
      ReadRows(context, rows, scratch);
      Guarded(context, [&] { jpeg_finish_output(&d); });
    }
    d.dct_method = context.finalDctMethod;
    d.dither_mode = context.finalDither;
    if (context.finalTwoPass) {
      d.two_pass_quantize = TRUE;
      d.colormap = nullptr;
    }
    Guarded(context, [&] { jpeg_start_output(&d, d.input_scan_number); });
  }
  if ((!d.buffered_image || context.finalTwoPass) && d.colormap != nullptr)
    rows = target.PaletteReady(PaletteFromQuantizer(d), false);
  ReadRows(context, rows, scratch);
  Guarded(context, [&] {
    if (d.buffered_image) jpeg_finish_output(&d);
    jpeg_finish_decompress(&d);
  });
}

// --- Encoder -------------------------------------------------------------------------------

Encoder::Encoder(TStream& destination, ProgressListener* listener)
    : context_(NewContext(false, listener)) {
  CodecContext& context = *context_;
  jpeg_compress_struct& c = context.compress;
  c.err = &context.error;
  c.client_data = &context;
  Guarded(context, [&] { jpeg_create_compress(&c); });
  context.created = true;
  c.progress = &context.progress;
  c.mem->max_memory_to_use = static_cast<long>(MemoryLimit());

  CodecContext::Destination& out = context.destination;
  out.stream = &destination;
  out.manager.init_destination = InitDestination;
  out.manager.empty_output_buffer = EmptyOutputBuffer;
  out.manager.term_destination = TermDestination;
  c.dest = &out.manager;
}

Encoder::~Encoder() {
  context_->Close();
}

void Encoder::SetParameters(const EncodeParameters& parameters) {
  CodecContext& context = *context_;
  jpeg_compress_struct& c = context.compress;
  c.image_width = static_cast<JDIMENSION>(std::max(parameters.width, 0));
  c.image_height = static_cast<JDIMENSION>(std::max(parameters.height, 0));
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  Guarded(context, [&] {
    jpeg_set_defaults(&c);
    c.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&c, parameters.quality, TRUE);
    if (parameters.gray) jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    if (parameters.progressive) jpeg_simple_progression(&c);
  });
}

void Encoder::WriteRows(const std::uint8_t* row0, std::ptrdiff_t step) {
  CodecContext& context = *context_;
  jpeg_compress_struct& c = context.compress;
  Guarded(context, [&] {
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
      // The library only reads input rows; its interface is not const-qualified.
      JSAMPROW row =
          const_cast<std::uint8_t*>(row0) + static_cast<std::ptrdiff_t>(c.next_scanline) * step;
      if (jpeg_write_scanlines(&c, &row, 1) != 1) break;
    }
    jpeg_finish_compress(&c);
  });
}

}  // namespace jpeg
