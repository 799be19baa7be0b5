#pragma once
// Reads one audio track for a converter or ripper: offset-corrected, in
// secure or burst mode, delivering bytes as asked and keeping the track's
// report (copy CRC, re-read, suspicious and unreadable frames). Its own
// buffers are made at Open; nothing is allocated per frame after that.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "device/disc_toc.h"
#include "device/drive_capabilities.h"
#include "rip/burst_reader.h"
#include "rip/frame_source.h"
#include "rip/offset_window.h"
#include "rip/range_reader.h"
#include "rip/rip_types.h"
#include "rip/secure_reader.h"
#include "rip/stop_signal.h"

class CdDevice;
class CCriticalSection;

namespace rip {

// A drive that does not tell its buffer size is taken to have this much;
// no drive is believed to have more than the cap.
constexpr std::uint32_t kDefaultCacheKiB = 8 * 1024;
constexpr std::uint32_t kMaxCacheKiB = 16 * 1024;

class RipSession : private MarkSink {
 public:
  // device: a CdDevice owned by the caller with its transport installed and
  // drives enumerated; driveLock is taken per command.
  RipSession(CdDevice& device, CCriticalSection& driveLock);
  ~RipSession();
  RipSession(const RipSession&) = delete;
  RipSession& operator=(const RipSession&) = delete;

  int Open(char letter, int track, const RipOptions& options);  // RipOpenResult
  std::uint32_t TrackFrames() const { return report_.frames; }
  // Bytes written; fewer than len only at the end; 0 after it; -1 when the
  // drive is gone or the rip was stopped. Polls *killswitch (may be null)
  // between commands.
  std::intptr_t GetData(char* dest, std::size_t len, const int* killswitch);
  int SetTime(int millisecs);  // 1 ok
  void Abort() { stop_.Abort(); }
  const TrackReport& Report() const { return report_; }
  DriveCapabilities Capabilities() const { return caps_; }
  // Frames the drive was asked for so far (benchmarks, tests).
  std::uint64_t FramesRequested() const { return source_.FramesRequested(); }
  std::uint32_t CacheFrames() const { return cacheFrames_; }

 private:
  void MarkSuspicious(std::int32_t lba) override;
  void MarkUnreadable(std::int32_t lba) override;
  void CountRereads(std::uint32_t frames) override { report_.rereadFrames += frames; }
  void Mark(std::vector<std::uint32_t>& list, std::int32_t lba);
  // The frames around the track the drive is sure to read: its run of
  // audio tracks, up to its session's lead-out.
  void ReadableRange(int track, std::int32_t* lo, std::int32_t* hi) const;

  CdDevice& device_;
  CCriticalSection& lock_;
  StopSignal stop_;
  FrameSource source_;
  OffsetWindow window_;
  RangeReader range_;
  SecureReader secure_;
  BurstReader burst_;
  ChunkReader* reader_ = nullptr;
  RipOptions options_;
  DriveCapabilities caps_;
  DiscToc toc_;
  std::uint32_t cacheFrames_ = 0;
  TrackReport report_;
  bool opened_ = false;
  bool gone_ = false;
  bool wholeSoFar_ = false;  // delivered in order from byte 0, no seek since
  std::uint64_t position_ = 0;
  std::uint32_t crc_ = 0;
  Chunk chunk_;
  std::int32_t readerNext_ = 0;  // where the reader's next run starts
};

}  // namespace rip
