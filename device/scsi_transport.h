#pragma once
// Carries one SCSI/MMC command block with a data-in buffer to one drive.
// Results: 0 success, -1 failure for the two send operations; the others as
// commented. The base class does nothing and answers 0 everywhere.
#include <cstdint>

#include "device/cd_drive.h"
#include "device/scsi_address.h"

class ScsiTransport {
 public:
  // Slot order matters: it is the transport's published operation order.
  virtual int SendToDrive(const CdDrive& drive, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                          std::uint32_t dataLength);                                    // 0 / -1
  virtual int Open(const CdDrive& drive);                                              // 1 opened, 0 failed
  virtual int Reopen(const CdDrive& drive);                                            // calls Open
  virtual int Close();
  virtual int Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength);  // 0 / -1
  virtual int IsAvailable();                                                           // 1 usable here
  virtual int Initialize();                                                            // 1 ready
  virtual int GetAddress(ScsiAddress* out);
  // The sense key of the last command that ended in a check condition (5:
  // ILLEGAL REQUEST, the drive does not know the command or a field of
  // it); -1 when the last command did not, or the transport cannot tell.
  virtual int LastSenseKey();
  virtual ~ScsiTransport() = default;
};
