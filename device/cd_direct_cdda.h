#pragma once
// Reads the raw digital audio of one track with READ CD, in runs of up to 15
// frames, into its read-ahead buffer; with jitter correction every read
// overlaps the data already held by one frame and is lined up with it.
#include <cstdint>

#include "device/cd_text_device.h"
#include "device/read_ahead_buffer.h"

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

  CDirectCDDA();

  // 0 ready, 2 not ready, 3 no table of contents, 4 no such track, 5 data track.
  int OpenTrack(int track);
  int CloseTrack();
  // Resizes the read-ahead buffer to n blocks of kBlockBytes, dropping it.
  std::uint32_t SetBufferBlocks(std::uint32_t blocks);
  void SetJitterCorrection(int on);
  int JitterCorrection() const { return jitter_; }
  // Empties the buffer; the next frame appended is `frame` of the track.
  int Seek(std::uint32_t frame);
  // 0 gives 1, 16 or more gives 15.
  void SetFramesPerRead(std::uint32_t frames);
  std::uint32_t FramesPerRead() const { return framesPerRead_; }
  // Appends at least `framesWanted` frames: 0, 1 end of track, 6 read error,
  // 10 buffer full.
  int Fill(std::uint32_t framesWanted);
  std::uint32_t BufferedBytes() const { return buffer_.Held(); }
  // Up to n frames into destination: 0 with the count taken, or, when the
  // buffer was empty, the last read result with a count of 0.
  int TakeFrames(std::uint32_t frames, void* destination, std::uint32_t* taken);
  int LastReadResult() const { return lastReadResult_; }
  const TrackEntry& CurrentTrack() const { return track_; }
  std::uint32_t Position() const { return position_; }
  ReadAheadBuffer& Buffer() { return buffer_; }

 private:
  int ReadFrames(std::uint32_t address, std::uint32_t frames, std::uint8_t* destination, std::uint32_t* count);
  int MatchOverlap(const std::uint8_t* frames, std::uint32_t count);

  ReadAheadBuffer buffer_;
  TrackEntry track_{};
  std::uint32_t position_ = 0;
  std::uint32_t framesPerRead_ = kMaxFramesPerRead;
  int jitter_ = 0;
  int lastReadResult_ = 0;
  alignas(16) std::uint8_t scratch_[kMaxFramesPerRead * kFrameBytes];
};
