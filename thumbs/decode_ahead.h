// Decoding a batch's files ahead of need, so that both cores of the machine decode at once.
//
// A batch shows its files one after another on the GUI thread; nearly all of that time is the
// full-size decode of each file. While a run lasts, a helper thread reads and decodes the files
// still ahead, and the GUI thread, whenever it would otherwise wait for the helper, decodes a
// later file itself. The JPEG objects ask for those pictures (TJPEGDecodeSupplier) and take one
// only when it was decoded from the very bytes they hold at their own settings: a file that
// changed after it was read ahead (an earlier save of the run replaced it), different settings,
// or a file the helper could not decode, and the GUI thread decodes as it would without help.
// So output bytes, previews, messages and the first failure stay what a run on one thread
// gives; only the time differs.
//
// The helper uses only what is safe off the GUI thread: host file reads, the kernel's path
// conversion, the JPEG codec on its own stream and target, and a DIB section of its own, which
// the GUI thread takes over whole. At most kMaxHeld pictures are held ahead; everything is
// released when the run ends.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/jpeg_image.h"
#include "runtime/ansi_string.h"

// A picture decoded ahead from a file: the bytes it came from and a 24-bit bottom-up DIB
// section with the upright picture.
struct DecodedAhead {
  DecodedAhead() = default;
  ~DecodedAhead();
  DecodedAhead(const DecodedAhead&) = delete;
  DecodedAhead& operator=(const DecodedAhead&) = delete;

  TMemoryStream bytes;
  win::HBITMAP section = nullptr;
  jpeg::TOrientation orientation = jpeg::TOrientation::TopLeft;
};

// Reads the file at a Windows path and decodes it at settings into a DIB section, as
// ObtainBitmap would. Null when the file cannot be read, is not a regular file, fails to
// decode, or decodes to 8-bit output (which needs the GUI thread's palettes): the GUI thread
// then decodes it itself and meets the same failure. Safe on any thread.
std::unique_ptr<DecodedAhead> DecodeFileAhead(const AnsiString& path,
                                              const TJPEGSettings& settings);

class DecodeAhead : private TJPEGDecodeSupplier {
 public:
  // Pictures held ahead at most (being decoded or waiting to be taken).
  static constexpr int kMaxHeld = 3;

  // paths: the files the run shows, in order. Installs itself as the JPEG objects' supplier
  // and, when there is more than one file, starts the helper. GUI thread.
  explicit DecodeAhead(std::vector<AnsiString> paths);
  // Stops the helper (a decode under way is finished first), removes the supplier and frees
  // every picture.
  ~DecodeAhead();
  DecodeAhead(const DecodeAhead&) = delete;
  DecodeAhead& operator=(const DecodeAhead&) = delete;

  // The GUI thread is about to show paths[position]; earlier pictures not taken are freed.
  void Expect(int position);

  // For tests: how many pictures the GUI thread took ready-made; how many are held now; a
  // wait until the helper has nothing more it may take on (every file ahead done, or
  // kMaxHeld held).
  int PicturesTaken() const { return taken_; }
  int Held();
  void WaitForHelper();

 private:
  enum class State : unsigned char { Open, Decoding, Ready, Failed, Done };
  struct Slot {
    State state = State::Open;
    std::unique_ptr<DecodedAhead> picture;
  };

  bool Supply(const TSharedRef<TJPEGData>& data, const TJPEGSettings& settings,
              TBitmap& bitmap) override;
  void Decoded(const TSharedRef<TJPEGData>& data, const TJPEGSettings& settings,
               const TBitmap& bitmap) override;

  void HelperLoop();
  // The first open position after the expected one while fewer than kMaxHeld are held; -1
  // when none. Takes it (Decoding). Under the lock.
  int ClaimNext();
  // Decodes a claimed position outside the lock and puts the result in its slot.
  void DecodeClaimed(std::unique_lock<std::mutex>& lock, int position);
  void Remember(const TSharedRef<TJPEGData>& data, const TJPEGSettings& settings,
                const TBitmap& bitmap);

  const std::vector<AnsiString> paths_;
  // The settings pictures are decoded ahead at: every new JPEG object's.
  const TJPEGSettings settings_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  int expected_ = 0;
  int held_ = 0;
  bool stopping_ = false;
  std::thread helper_;

  // GUI thread only: the last picture handed out or decoded there, for the same bytes asked
  // again while the file is shown (the preview's paint after the thumbnail's decode).
  TSharedRef<TJPEGData> lastData_;
  TJPEGSettings lastSettings_;
  std::unique_ptr<TBitmap> lastBitmap_;
  int taken_ = 0;
};
