#pragma once
#include <cstdint>

// Same layout as the system's SCSI_ADDRESS record (8 bytes).
struct ScsiAddress {
  std::uint32_t Length;
  std::uint8_t PortNumber;
  std::uint8_t PathId;
  std::uint8_t TargetId;
  std::uint8_t Lun;
};
static_assert(sizeof(ScsiAddress) == 8, "ScsiAddress must match SCSI_ADDRESS");
