#pragma once
// ASPI request blocks and codes, as the ASPI layer (WNASPI32.DLL) defines
// them. Byte-packed; 80 and 12 bytes on 32-bit Windows.
#include <cstdint>

namespace aspi {

constexpr std::uint8_t SC_HA_INQUIRY = 0x00;
constexpr std::uint8_t SC_EXEC_SCSI_CMD = 0x02;
constexpr std::uint8_t SC_ABORT_SRB = 0x03;

constexpr std::uint8_t SS_PENDING = 0x00;
constexpr std::uint8_t SS_COMP = 0x01;
constexpr std::uint8_t SS_ABORTED = 0x02;
constexpr std::uint8_t SS_ERR = 0x04;
constexpr std::uint8_t SS_NO_DEVICE = 0x82;

constexpr std::uint8_t SRB_DIR_IN = 0x08;
constexpr std::uint8_t SRB_EVENT_NOTIFY = 0x40;

constexpr std::uint8_t SENSE_LEN = 14;

#pragma pack(push, 1)
struct SRB_ExecSCSICmd {
  std::uint8_t SRB_Cmd;
  std::uint8_t SRB_Status;
  std::uint8_t SRB_HaId;
  std::uint8_t SRB_Flags;
  std::uint32_t SRB_Hdr_Rsvd;
  std::uint8_t SRB_Target;
  std::uint8_t SRB_Lun;
  std::uint16_t SRB_Rsvd1;
  std::uint32_t SRB_BufLen;
  std::uint8_t* SRB_BufPointer;
  std::uint8_t SRB_SenseLen;
  std::uint8_t SRB_CDBLen;
  std::uint8_t SRB_HaStat;
  std::uint8_t SRB_TargStat;
  void* SRB_PostProc;  // event handle with SRB_EVENT_NOTIFY
  void* SRB_Rsvd2;
  std::uint8_t SRB_Rsvd3[16];
  std::uint8_t CDBByte[16];
  std::uint8_t SenseArea[SENSE_LEN + 2];
};

struct SRB_Abort {
  std::uint8_t SRB_Cmd;
  std::uint8_t SRB_Status;
  std::uint8_t SRB_HaId;
  std::uint8_t SRB_Flags;
  std::uint32_t SRB_Hdr_Rsvd;
  void* SRB_ToAbort;
};
#pragma pack(pop)

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SRB_ExecSCSICmd) == 80, "SRB_ExecSCSICmd is 80 bytes");
static_assert(sizeof(SRB_Abort) == 12, "SRB_Abort is 12 bytes");
#endif

// Entry points of WNASPI32.DLL (cdecl).
typedef std::uint32_t (*GetASPI32SupportInfoFn)();
typedef std::uint32_t (*SendASPI32CommandFn)(void* srb);

}  // namespace aspi
