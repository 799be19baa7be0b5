#include "device/scsi_status.h"

namespace scsi {

int SenseKey(const std::uint8_t* sense, std::size_t length) {
  if (!sense || length < 1) return -1;
  const std::uint8_t response = sense[0] & 0x7F;
  if ((response == 0x70 || response == 0x71) && length >= 3) return sense[2] & 0x0F;
  if ((response == 0x72 || response == 0x73) && length >= 2) return sense[1] & 0x0F;
  return -1;
}

int CommandOutcome(std::uint8_t scsiStatus, const std::uint8_t* sense, std::size_t senseLength) {
  if (scsiStatus == kStatusGood) return 0;
  if (scsiStatus == kStatusCheckCondition && SenseKey(sense, senseLength) == kSenseKeyRecoveredError) return 0;
  return -1;
}

std::uint32_t ReadCdExpectedBytes(const std::uint8_t* cdb, std::size_t cdbLength, std::uint32_t dataLength) {
  if (!cdb || cdbLength < 12 || cdb[0] != 0xBE || (cdb[1] & 0x1C) != 0x04) return 0;
  const std::uint64_t frames = (std::uint32_t(cdb[6]) << 16) | (std::uint32_t(cdb[7]) << 8) | cdb[8];
  const std::uint64_t bytes = frames * 2352;
  return static_cast<std::uint32_t>(bytes < dataLength ? bytes : dataLength);
}

}  // namespace scsi
