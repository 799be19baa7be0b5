#pragma once
// Commands through the ASPI layer WNASPI32.DLL, loaded by name at run time.
// A drive letter is reachable only through the device map filled from
// outside; the transport never scans the bus.
#include <cstdint>
#include <map>

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

  void ClearDeviceMap() { deviceMap_.clear(); }
  void SetDeviceMapEntry(char letter, std::int32_t hostAdapter, std::int32_t target, std::int32_t lun);
  const std::map<char, AspiAddress>& DeviceMap() const { return deviceMap_; }

 private:
  int Execute(const AspiAddress& address, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
              std::uint32_t dataLength);
  const AspiAddress* Lookup(char letter) const;

  void* library_ = nullptr;  // HMODULE of WNASPI32.DLL
  void* sendCommand_ = nullptr;
  AspiAddress open_{};
  std::map<char, AspiAddress> deviceMap_;
};
