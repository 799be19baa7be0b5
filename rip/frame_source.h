#pragma once
// READ CD of up to 15 CD-DA frames at a time from one drive, the drive lock
// taken for each command and never across anything else. A failed command
// is told apart: the drive still answers TEST UNIT READY (this read failed)
// or not (no disc, the medium changed: the drive is gone for this rip).
#include <cstdint>

#include "rip/stop_signal.h"

class CdDevice;
class CCriticalSection;

namespace rip {

enum ReadOutcome { kReadGood = 0, kReadFailed = 1, kReadDriveGone = 2, kReadStopped = 3 };

constexpr std::uint32_t kFrameBytes = 2352;
constexpr std::uint32_t kC2Bytes = 294;
constexpr std::uint32_t kMaxFramesPerCommand = 15;

class FrameSource {
 public:
  FrameSource(CdDevice& device, CCriticalSection& lock, const StopSignal& stop);
  FrameSource(const FrameSource&) = delete;
  FrameSource& operator=(const FrameSource&) = delete;

  // With C2 pointers every read asks for them and reports per frame whether
  // any bit was set.
  void SetC2(bool on) { c2_ = on; }
  bool C2() const { return c2_; }
  // Whether the device's own handle is open (else each command opens the
  // drive by its letter).
  void SetUseOpenHandle(bool on) { useOpenHandle_ = on; }

  // count (1..15) frames from lba into audio (count * 2352 bytes); flagged,
  // when not null, gets one entry per frame (C2 bits seen). kReadStopped
  // without sending anything when the stop signal is up.
  int Read(std::int32_t lba, std::uint32_t count, std::uint8_t* audio, std::uint8_t* flagged);
  // Any command with the lock held: 0 success, -1 failure.
  int Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength);

  std::uint64_t FramesRequested() const { return framesRequested_; }
  std::uint64_t Commands() const { return commands_; }

 private:
  CdDevice& device_;
  CCriticalSection& lock_;
  const StopSignal& stop_;
  bool c2_ = false;
  bool useOpenHandle_ = false;
  std::uint64_t framesRequested_ = 0;
  std::uint64_t commands_ = 0;
  // Frames with their C2 bytes, for reads that ask for them.
  alignas(16) std::uint8_t c2Scratch_[kMaxFramesPerCommand * (kFrameBytes + kC2Bytes)];
};

}  // namespace rip
