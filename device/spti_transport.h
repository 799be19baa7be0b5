#pragma once
// Commands through the system's SCSI pass-through on the drive's device
// path "\\.\X:".
#include <cstdint>

#include "device/scsi_transport.h"

class SptiTransport : public ScsiTransport {
 public:
  SptiTransport() = default;
  SptiTransport(const SptiTransport&) = delete;
  SptiTransport& operator=(const SptiTransport&) = delete;
  ~SptiTransport() override;

  int SendToDrive(const CdDrive& drive, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                  std::uint32_t dataLength) override;
  int Open(const CdDrive& drive) override;
  int Close() override;
  int Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength) override;
  int IsAvailable() override;
  int Initialize() override;
  int GetAddress(ScsiAddress* out) override;
  int LastSenseKey() override { return lastSenseKey_; }

 private:
  // nullptr when nothing is open (INVALID_HANDLE_VALUE is never kept); unused
  // where there is no pass-through.
  [[maybe_unused]] void* handle_ = nullptr;
  [[maybe_unused]] int lastSenseKey_ = -1;
};
