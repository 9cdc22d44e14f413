#include "thumbs/decode_ahead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "imaging/bitmap.h"
#include "imaging/jpeg_codec.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/kernel.h"
#include "runtime/exceptions.h"

DecodedAhead::~DecodedAhead() {
  if (section != nullptr) win::DeleteObject(section);
}

namespace {

// Closes a host file descriptor on every path.
class HostFile {
 public:
  explicit HostFile(int fd) : fd_(fd) {}
  ~HostFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// The whole file into bytes. Read straight from the host, never through the kernel's open
// files: a handle of ours would take part in the share modes and could make the GUI thread's
// save of the same name fail. A FIFO or device is left alone (the open does not block), and a
// file a memory stream cannot hold is not read.
bool ReadHostFile(const AnsiString& path, TMemoryStream& bytes) {
  const auto host = win::HostPathFromWindows(path);
  if (!host) return false;
  const HostFile file(::open(host->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.Get() < 0) return false;
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (st.st_size <= 0 || st.st_size > std::numeric_limits<std::int32_t>::max()) return false;
  bytes.SetSize(st.st_size);
  std::int64_t done = 0;
  while (done < st.st_size) {
    const ssize_t n = ::read(file.Get(), bytes.Memory() + done, std::size_t(st.st_size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // shortened meanwhile: the GUI thread reads it as it is then
    done += n;
  }
  bytes.SetPosition(0);
  return true;
}

// Rows go into a 24-bit bottom-up DIB section, the kind a bitmap of 24-bit colour depth makes.
class SectionTarget : public jpeg::DecodeTarget {
 public:
  explicit SectionTarget(win::HBITMAP& section) : section_(section) {}

  jpeg::RowSpan SizeKnown(int width, int height) override {
    win::BITMAPINFO info{};
    win::BITMAPINFOHEADER& h = info.bmiHeader;
    h.biSize = sizeof(win::BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = win::BI_RGB;
    void* bits = nullptr;
    section_ = win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section_ == nullptr || bits == nullptr) RaiseOutOfResources();
    const std::ptrdiff_t step = TBitmap::BytesPerRow(width, 24);
    return {static_cast<std::uint8_t*>(bits) + (height - 1) * step, -step};
  }

  jpeg::RowSpan PaletteReady(const std::vector<win::PALETTEENTRY>&, bool) override {
    // Never asked for: 8-bit output is left to the GUI thread.
    throw EAbort();
  }

 private:
  win::HBITMAP& section_;
};

}  // namespace

std::unique_ptr<DecodedAhead> DecodeFileAhead(const AnsiString& path,
                                              const TJPEGSettings& settings) {
  auto picture = std::make_unique<DecodedAhead>();
  try {
    if (!ReadHostFile(path, picture->bytes)) return nullptr;
    jpeg::Decoder decoder(picture->bytes);
    decoder.ReadHeader();
    picture->orientation = decoder.ExifOrientation();
    decoder.Configure(settings);
    if (decoder.EightBitOutput()) return nullptr;
    decoder.SetOrientation(picture->orientation);
    SectionTarget target(picture->section);
    jpeg::Decode(decoder, target);
  } catch (const std::exception&) {
    // Whatever went wrong, the GUI thread's own decode meets it again and reports it.
    return nullptr;
  }
  return picture;
}

// --- DecodeAhead ---------------------------------------------------------------------------

DecodeAhead::DecodeAhead(std::vector<AnsiString> paths)
    : paths_(std::move(paths)), settings_(DefaultJpegSettings), slots_(paths_.size()) {
  SetJpegDecodeSupplier(this);
  // The GUI thread shows the first file at once; the helper starts with the second.
  if (paths_.size() > 1) helper_ = std::thread([this] { HelperLoop(); });
}

DecodeAhead::~DecodeAhead() {
  SetJpegDecodeSupplier(nullptr);
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (helper_.joinable()) helper_.join();
}

int DecodeAhead::ClaimNext() {
  if (held_ >= kMaxHeld) return -1;
  for (int i = expected_ + 1; i < int(slots_.size()); ++i) {
    if (slots_[i].state != State::Open) continue;
    slots_[i].state = State::Decoding;
    ++held_;
    return i;
  }
  return -1;
}

void DecodeAhead::DecodeClaimed(std::unique_lock<std::mutex>& lock, int position) {
  lock.unlock();
  std::unique_ptr<DecodedAhead> picture = DecodeFileAhead(paths_[position], settings_);
  lock.lock();
  Slot& slot = slots_[position];
  if (picture == nullptr) {
    slot.state = State::Failed;
    --held_;
  } else if (position < expected_) {
    // The GUI thread went past it meanwhile.
    slot.state = State::Done;
    --held_;
    lock.unlock();
    picture.reset();
    lock.lock();
  } else {
    slot.state = State::Ready;
    slot.picture = std::move(picture);
  }
  changed_.notify_all();
}

void DecodeAhead::HelperLoop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const int position = ClaimNext();
    if (position < 0) {
      changed_.wait(lock);
      continue;
    }
    DecodeClaimed(lock, position);
  }
}

int DecodeAhead::Held() {
  const std::lock_guard lock(mutex_);
  return held_;
}

void DecodeAhead::WaitForHelper() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] {
    bool open = false;
    for (int i = expected_ + 1; i < int(slots_.size()); ++i) {
      if (slots_[i].state == State::Decoding) return false;
      open = open || slots_[i].state == State::Open;
    }
    return !open || held_ >= kMaxHeld || !helper_.joinable();
  });
}

void DecodeAhead::Expect(int position) {
  // The previous file's picture is no longer asked for.
  lastBitmap_.reset();
  lastData_ = TSharedRef<TJPEGData>();
  std::vector<std::unique_ptr<DecodedAhead>> unused;
  {
    const std::lock_guard lock(mutex_);
    expected_ = position;
    for (int i = 0; i < position && i < int(slots_.size()); ++i) {
      Slot& slot = slots_[i];
      if (slot.state == State::Ready) {
        unused.push_back(std::move(slot.picture));
        slot.state = State::Done;
        --held_;
      } else if (slot.state == State::Open) {
        slot.state = State::Done;
      }
    }
    // A position the GUI thread reaches before anyone took it is its own to decode.
    if (position >= 0 && position < int(slots_.size()) && slots_[position].state == State::Open)
      slots_[position].state = State::Done;
  }
  changed_.notify_all();
}

bool DecodeAhead::Supply(const TSharedRef<TJPEGData>& data, const TJPEGSettings& settings,
                         TBitmap& bitmap) {
  if (lastBitmap_ != nullptr && lastData_.get() == data.get() &&
      SameDecodeSettings(settings, lastSettings_)) {
    bitmap.CopyFrom(lastBitmap_.get());
    return true;
  }
  if (!SameDecodeSettings(settings, settings_) || data->StoredBytes == nullptr) return false;

  std::unique_ptr<DecodedAhead> picture;
  {
    std::unique_lock lock(mutex_);
    if (expected_ < 0 || expected_ >= int(slots_.size())) return false;
    for (;;) {
      Slot& slot = slots_[expected_];
      if (slot.state == State::Ready) break;
      if (slot.state != State::Decoding) return false;
      // The helper is on this very file: rather than wait, decode a later one here.
      const int other = ClaimNext();
      if (other >= 0) {
        DecodeClaimed(lock, other);
      } else {
        changed_.wait(lock);
      }
    }
    Slot& slot = slots_[expected_];
    TMemoryStream& mine = *data->StoredBytes;
    TMemoryStream& ahead = slot.picture->bytes;
    const bool same = ahead.Size() == mine.Size() &&
                      std::memcmp(ahead.Memory(), mine.Memory(), std::size_t(mine.Size())) == 0 &&
                      slot.picture->orientation == data->StoredOrientation;
    // Other bytes (the file changed since it was read, or another picture asks): the picture
    // stays for the request it may belong to, and the caller decodes.
    if (!same) return false;
    picture = std::move(slot.picture);
    slot.state = State::Done;
    --held_;
  }
  changed_.notify_all();
  bitmap.TakeDibSection(picture->section);
  picture->section = nullptr;
  ++taken_;
  Remember(data, settings, bitmap);
  return true;
}

void DecodeAhead::Decoded(const TSharedRef<TJPEGData>& data, const TJPEGSettings& settings,
                          const TBitmap& bitmap) {
  Remember(data, settings, bitmap);
}

void DecodeAhead::Remember(const TSharedRef<TJPEGData>& data, const TJPEGSettings& settings,
                           const TBitmap& bitmap) {
  auto copy = std::make_unique<TBitmap>();
  copy->CopyFrom(&bitmap);
  lastBitmap_ = std::move(copy);
  lastData_ = data;
  lastSettings_ = settings;
}
