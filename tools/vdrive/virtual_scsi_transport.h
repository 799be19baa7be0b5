#pragma once
// In-process transport: drive letters lead straight to virtual drives, so a
// unit test can put a disc under the device layer without any system drive.
#include <map>
#include <memory>

#include "device/scsi_transport.h"
#include "tools/vdrive/virtual_drive.h"

namespace vdrive {

class VirtualScsiTransport : public ScsiTransport {
 public:
  // address.Length is filled in by GetAddress; PortNumber, TargetId and Lun
  // are reported as given.
  void Attach(char letter, std::shared_ptr<VirtualDrive> drive, ScsiAddress address = ScsiAddress{});
  void Detach(char letter);

  int SendToDrive(const CdDrive& drive, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                  std::uint32_t dataLength) override;
  int Open(const CdDrive& drive) override;
  int Close() override;
  int Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength) override;
  int IsAvailable() override;
  int Initialize() override;
  int GetAddress(ScsiAddress* out) override;
  int LastSenseKey() override { return lastSenseKey_; }

  char OpenLetter() const { return open_; }

 private:
  struct Slot {
    std::shared_ptr<VirtualDrive> drive;
    ScsiAddress address;
  };
  int Run(char letter, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength);
  static char Key(char letter);

  std::map<char, Slot> drives_;
  char open_ = 0;
  int lastSenseKey_ = -1;
};

}  // namespace vdrive
