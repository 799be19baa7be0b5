#pragma once
// Commands through the ASPI layer WNASPI32.DLL, loaded by name at run time.
// A drive letter is reachable only through the device map filled from
// outside; the transport never scans the bus.
#include <cstdint>
#include <map>
#include <vector>

#include "device/scsi_transport.h"

struct AspiAddress {
  std::int32_t hostAdapter = 0;
  std::int32_t target = 0;
  std::int32_t lun = 0;
};

class AspiTransport : public ScsiTransport {
 public:
  AspiTransport() = default;
  AspiTransport(const AspiTransport&) = delete;
  AspiTransport& operator=(const AspiTransport&) = delete;
  ~AspiTransport() override;

  int SendToDrive(const CdDrive& drive, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                  std::uint32_t dataLength) override;
  int Open(const CdDrive& drive) override;
  int Close() override;
  int Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength) override;
  int IsAvailable() override;
  int Initialize() override;
  int GetAddress(ScsiAddress* out) override;
  int LastSenseKey() override { return lastSenseKey_; }

  void ClearDeviceMap() { deviceMap_.clear(); }
  // How long a command may stay pending before it is aborted (15 s; a seam
  // for tests).
  void SetCommandTimeout(std::uint32_t milliseconds) { timeoutMs_ = milliseconds; }
  // Replaces the layer's entry point (tests); Initialize is then not needed.
  void SetSendCommandForTesting(void* sendCommand) { sendCommand_ = sendCommand; }
  void SetDeviceMapEntry(char letter, std::int32_t hostAdapter, std::int32_t target, std::int32_t lun);
  const std::map<char, AspiAddress>& DeviceMap() const { return deviceMap_; }

 private:
  // One command's request block, completion event and data buffer. The
  // layer writes into all three until it completes the request, which may
  // be long after a time-out whose abort it refused.
  struct Request;
  int Execute(const AspiAddress& address, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
              std::uint32_t dataLength);
  int ExecuteOnce(const AspiAddress& address, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                  std::uint32_t dataLength);
  const AspiAddress* Lookup(char letter) const;
  Request* RequestFor(std::uint32_t dataLength);
  // Frees the set-aside requests the layer has completed meanwhile.
  void ReclaimAbandoned();

  void* library_ = nullptr;  // HMODULE of WNASPI32.DLL
  void* sendCommand_ = nullptr;
  std::uint32_t timeoutMs_ = 15000;
  Request* request_ = nullptr;  // owned; reused from command to command
  // Requests still held by the layer after a failed abort.
  std::vector<Request*> abandoned_;
  AspiAddress open_{};
  [[maybe_unused]] int lastSenseKey_ = -1;
  std::map<char, AspiAddress> deviceMap_;
};
