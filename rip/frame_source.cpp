#include "rip/frame_source.h"

#include <cstring>

#include "device/cd_device.h"
#include "device/mmc_commands.h"
#include "util/critical_section.h"

namespace rip {

FrameSource::FrameSource(CdDevice& device, CCriticalSection& lock, const StopSignal& stop)
    : device_(device), lock_(lock), stop_(stop) {}

int FrameSource::Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength) {
  CCriticalSection::Hold hold(&lock_);
  ++commands_;
  ScsiTransport* transport = device_.Transport();
  const CdDrive* drive = device_.CurrentDrive();
  if (transport == nullptr || drive == nullptr) return -1;
  if (useOpenHandle_) return transport->Send(cdb, cdbLength, data, dataLength) == 0 ? 0 : -1;
  return transport->SendToDrive(*drive, cdb, cdbLength, data, dataLength) == 0 ? 0 : -1;
}

int FrameSource::Read(std::int32_t lba, std::uint32_t count, std::uint8_t* audio, std::uint8_t* flagged) {
  if (count == 0 || count > kMaxFramesPerCommand) return kReadFailed;
  if (stop_.Stopped()) return kReadStopped;
  framesRequested_ += count;
  const auto address = static_cast<std::uint32_t>(lba);
  const auto n = static_cast<std::uint8_t>(count);
  int result;
  if (c2_) {
    const mmc::Cdb12 cdb = mmc::ReadCdWithC2(address, n);
    const std::uint32_t stride = kFrameBytes + kC2Bytes;
    std::memset(c2Scratch_, 0, count * stride);
    result = Send(cdb.data(), static_cast<std::uint8_t>(cdb.size()), c2Scratch_, count * stride);
    if (result == 0) {
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* frame = c2Scratch_ + i * stride;
        std::memcpy(audio + i * kFrameBytes, frame, kFrameBytes);
        if (flagged == nullptr) continue;
        bool any = false;
        for (std::uint32_t b = 0; b < kC2Bytes && !any; ++b) any = frame[kFrameBytes + b] != 0;
        flagged[i] = any ? 1 : 0;
      }
    }
  } else {
    const mmc::Cdb12 cdb = mmc::ReadCd(address, n);
    result = Send(cdb.data(), static_cast<std::uint8_t>(cdb.size()), audio, count * kFrameBytes);
    if (result == 0 && flagged != nullptr) std::memset(flagged, 0, count);
  }
  if (result == 0) return kReadGood;
  // The drive that no longer answers TEST UNIT READY has lost its disc (or
  // got another one): nothing more can be read for this track.
  const mmc::Cdb6 tur = mmc::TestUnitReady();
  if (Send(tur.data(), static_cast<std::uint8_t>(tur.size()), nullptr, 0) != 0) return kReadDriveGone;
  return kReadFailed;
}

}  // namespace rip
