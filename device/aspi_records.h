#pragma once
// ASPI request blocks and codes, as the ASPI layer (WNASPI32.DLL) defines
// them. Byte-packed; 80 and 12 bytes on 32-bit Windows. The 64-bit twin,
// used only under Wine, is the same header with 8-byte pointers: the 20
// reserved bytes before the CDB stay 20 bytes.
#include <cstddef>
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
  std::uint8_t SRB_Rsvd2[20];
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

// The offsets the ASPI layer reads.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SRB_ExecSCSICmd) == 80, "SRB_ExecSCSICmd is 80 bytes");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 12, "SRB_BufLen");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16, "SRB_BufPointer");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 20, "SRB_SenseLen");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_CDBLen) == 21, "SRB_CDBLen");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_HaStat) == 22, "SRB_HaStat");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_TargStat) == 23, "SRB_TargStat");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24, "SRB_PostProc");
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 48, "CDBByte");
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 64, "SenseArea");
static_assert(sizeof(SRB_Abort) == 12, "SRB_Abort is 12 bytes");
static_assert(offsetof(SRB_Abort, SRB_ToAbort) == 8, "SRB_ToAbort");
#elif defined(_WIN64)
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16, "SRB_BufPointer");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 24, "SRB_SenseLen");
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 28, "SRB_PostProc");
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 56, "CDBByte");
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 72, "SenseArea");
static_assert(sizeof(SRB_ExecSCSICmd) == 88, "SRB_ExecSCSICmd, 64-bit twin");
static_assert(offsetof(SRB_Abort, SRB_ToAbort) == 8, "SRB_ToAbort");
#endif

// Entry points of WNASPI32.DLL (cdecl).
typedef std::uint32_t (*GetASPI32SupportInfoFn)();
typedef std::uint32_t (*SendASPI32CommandFn)(void* srb);

}  // namespace aspi
