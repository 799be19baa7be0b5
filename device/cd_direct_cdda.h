#pragma once
// Reads the raw digital audio of one track with READ CD, in runs of up to 15
// frames, into its read-ahead buffer; with jitter correction every read
// overlaps the data already held by one frame and is lined up with it.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "device/cd_text_device.h"
#include "device/read_ahead_buffer.h"
#include "host_api/win_types.h"

enum ReaderResult : int {
  kReaderOk = 0,
  kReaderEndOfTrack = 1,
  kReaderNotReady = 2,
  kReaderNoToc = 3,
  kReaderNoTrack = 4,
  kReaderDataTrack = 5,
  kReaderReadError = 6,
  kReaderBufferFull = 10,
};

class CDirectCDDA : public CdTextDevice {
 public:
  static constexpr std::uint32_t kFrameBytes = 2352;
  static constexpr std::uint32_t kBlockBytes = 176400;  // one second of audio
  static constexpr std::uint32_t kMaxFramesPerRead = 15;
  static constexpr std::uint32_t kInitialBlocks = 10;

  CDirectCDDA();

  // 0 ready, 2 not ready, 3 no table of contents, 4 no such track, 5 data track.
  int OpenTrack(int track);
  int CloseTrack();
  // Resizes the read-ahead buffer to n blocks of kBlockBytes (at least one),
  // dropping its contents; the new capacity in bytes.
  std::uint32_t SetBufferBlocks(std::uint32_t blocks);
  void SetJitterCorrection(int on);
  int JitterCorrection() const { return jitter_.load(std::memory_order_relaxed); }
  // Empties the buffer; the next frame appended is `frame` of the track.
  // Safe while a Fill runs on another thread: that Fill drops what it read
  // for the old position and goes on from the new one.
  int Seek(std::uint32_t frame);
  // 0 gives 1, 16 or more gives 15.
  void SetFramesPerRead(std::uint32_t frames);
  std::uint32_t FramesPerRead() const { return framesPerRead_.load(std::memory_order_relaxed); }
  // Appends at least `framesWanted` frames: 0, 1 end of track, 6 read error,
  // 10 buffer full. With jitter correction it also returns 0 early after a
  // read that brought nothing new, so that its caller can look at its own
  // flags before the next try.
  int Fill(std::uint32_t framesWanted);
  std::uint32_t BufferedBytes() const { return buffer_.Held(); }
  // Up to n frames into destination: 0 with the count taken, or, when the
  // buffer was empty, the last read result with a count of 0.
  int TakeFrames(std::uint32_t frames, void* destination, std::uint32_t* taken);
  int LastReadResult() const { return lastReadResult_.load(std::memory_order_acquire); }
  const TrackEntry& CurrentTrack() const { return track_; }
  std::uint32_t Position() const { return position_.load(std::memory_order_acquire); }
  ReadAheadBuffer& Buffer() { return buffer_; }
  // The window that owns the box a failed read shows (the host's main
  // window); the box can be ended from another thread with
  // msgbox::CloseAbortable.
  void SetErrorBoxOwner(HWND owner) { errorBoxOwner_.store(owner, std::memory_order_relaxed); }

  // The alignment of a read against the newest frame appended (public for
  // tests): k > 0 means frames[0..k-1] were appended already; k < 0 means
  // frames[0..-k-1] replace the newest -k frames held; 0 means there is
  // nothing to line up against.
  int MatchOverlap(const std::uint8_t* frames, std::uint32_t count);

 private:
  int ReadFrames(std::uint32_t address, std::uint32_t frames, std::uint8_t* destination, std::uint32_t* count);

  ReadAheadBuffer buffer_;
  std::atomic<HWND> errorBoxOwner_{nullptr};
  TrackEntry track_{};
  // Seek and the append step of Fill exclude each other; the generation
  // tells Fill that a Seek came between its read and its append.
  std::mutex positionLock_;
  std::uint32_t generation_ = 0;
  // The head of the newest frame appended since the last seek. It outlives
  // the frame itself when the playback thread takes everything held.
  bool haveReference_ = false;
  // Reads in a row that brought no new frame (fill thread; reset by Seek).
  std::uint32_t stalledReads_ = 0;
  std::uint8_t reference_[64] = {};
  std::atomic<std::uint32_t> position_{0};
  std::atomic<std::uint32_t> framesPerRead_{kMaxFramesPerRead};
  std::atomic<int> jitter_{0};
  std::atomic<int> lastReadResult_{0};
  alignas(16) std::uint8_t scratch_[kMaxFramesPerRead * kFrameBytes];
};
