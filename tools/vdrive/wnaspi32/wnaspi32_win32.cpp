// WNASPI32.DLL stand-in: host adapters, targets and LUNs lead to virtual
// drives configured by vdrive.ini beside this library (format: README.md).
// Commands complete before SendASPI32Command returns; it still answers
// "pending" and signals the event, as the real layer does when it is fast.
#include <windows.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/aspi_records.h"
#include "tools/vdrive/wnaspi32/drive_units_win32.h"

namespace {

constexpr BYTE SC_GET_DEV_TYPE = 0x01;
constexpr BYTE SC_RESET_DEV = 0x04;
constexpr BYTE SS_INVALID_CMD = 0x80;
constexpr BYTE SS_INVALID_HA = 0x81;
constexpr BYTE SS_ABORT_FAIL = 0xE3;
constexpr BYTE SS_NO_ADAPTERS = 0xE8;
constexpr BYTE SRB_POSTING = 0x01;
constexpr BYTE HASTAT_DO_DU = 0x12;
constexpr BYTE STATUS_CHKCOND = 0x02;

#pragma pack(push, 1)
struct SrbHeader {
  BYTE SRB_Cmd;
  BYTE SRB_Status;
  BYTE SRB_HaId;
  BYTE SRB_Flags;
  DWORD SRB_Hdr_Rsvd;
};
struct SrbHaInquiry {
  SrbHeader h;
  BYTE HA_Count;
  BYTE HA_SCSI_ID;
  BYTE HA_ManagerId[16];
  BYTE HA_Identifier[16];
  BYTE HA_Unique[16];
  WORD HA_Rsvd1;
};
struct SrbGetDevType {
  SrbHeader h;
  BYTE SRB_Target;
  BYTE SRB_Lun;
  BYTE SRB_DeviceType;
  BYTE SRB_Rsvd1;
};
#pragma pack(pop)
static_assert(sizeof(SrbHaInquiry) == 60, "SRB_HAInquiry is 60 bytes");
static_assert(sizeof(SrbGetDevType) == 12, "SRB_GDEVBlock is 12 bytes");

std::mutex g_pendingLock;
std::vector<aspi::SRB_ExecSCSICmd*> g_pending;  // hanging requests

void Complete(aspi::SRB_ExecSCSICmd* srb, BYTE status) {
  srb->SRB_Status = status;
  if ((srb->SRB_Flags & aspi::SRB_EVENT_NOTIFY) && srb->SRB_PostProc) {
    SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
  } else if ((srb->SRB_Flags & SRB_POSTING) && srb->SRB_PostProc) {
    reinterpret_cast<void (*)(void*)>(srb->SRB_PostProc)(srb);
  }
}

DWORD ExecScsi(aspi::SRB_ExecSCSICmd* srb) {
  const int adapters = drive_units::AdapterCount();
  drive_units::Unit unit;
  const std::shared_ptr<vdrive::VirtualDrive> drive =
      drive_units::FindByAddress(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun, &unit) ? unit.drive : nullptr;
  srb->SRB_HaStat = 0;
  srb->SRB_TargStat = 0;
  if (srb->SRB_HaId >= adapters) {
    srb->SRB_Status = SS_INVALID_HA;
    return SS_INVALID_HA;
  }
  if (!drive) {
    srb->SRB_Status = aspi::SS_NO_DEVICE;
    return aspi::SS_NO_DEVICE;
  }
  const std::size_t cdbLength = srb->SRB_CDBLen > 16 ? 16 : srb->SRB_CDBLen;
  srb->SRB_Status = aspi::SS_PENDING;
  const vdrive::CommandResult r =
      drive->Execute(srb->CDBByte, cdbLength, srb->SRB_BufPointer, srb->SRB_BufPointer ? srb->SRB_BufLen : 0);
  if (r.hang) {
    std::lock_guard<std::mutex> g(g_pendingLock);
    g_pending.push_back(srb);
    return aspi::SS_PENDING;
  }
  BYTE status = aspi::SS_COMP;
  if (r.status == vdrive::CommandResult::kCheckCondition) {
    srb->SRB_TargStat = STATUS_CHKCOND;
    const std::size_t senseRoom = srb->SRB_SenseLen < sizeof srb->SenseArea ? srb->SRB_SenseLen : sizeof srb->SenseArea;
    r.FillSense(srb->SenseArea, senseRoom);
    status = aspi::SS_ERR;
  }
  if (r.overrun) {
    srb->SRB_HaStat = HASTAT_DO_DU;
    status = aspi::SS_ERR;
  }
  // ASPI has no transfer count: a layer reports a short transfer as an
  // underrun of a request that completed.
  if (r.shortened) srb->SRB_HaStat = HASTAT_DO_DU;
  Complete(srb, status);
  return aspi::SS_PENDING;
}

DWORD Abort(aspi::SRB_Abort* srb) {
  aspi::SRB_ExecSCSICmd* target = nullptr;
  {
    std::lock_guard<std::mutex> g(g_pendingLock);
    for (auto it = g_pending.begin(); it != g_pending.end(); ++it) {
      if (*it == srb->SRB_ToAbort) {
        target = *it;
        g_pending.erase(it);
        break;
      }
    }
  }
  if (!target) {
    srb->SRB_Status = SS_ABORT_FAIL;
    return SS_ABORT_FAIL;
  }
  Complete(target, aspi::SS_ABORTED);
  srb->SRB_Status = aspi::SS_COMP;
  return aspi::SS_COMP;
}

}  // namespace

void drive_units::ForgetPendingAspiRequests() {
  std::lock_guard<std::mutex> g(g_pendingLock);
  g_pending.clear();
}

extern "C" {

DWORD GetASPI32SupportInfo() {
  const int adapters = drive_units::AdapterCount();
  if (adapters == 0) return static_cast<DWORD>(SS_NO_ADAPTERS) << 8;
  return (static_cast<DWORD>(aspi::SS_COMP) << 8) | static_cast<DWORD>(adapters);
}

DWORD SendASPI32Command(void* request) {
  if (request == nullptr) return SS_INVALID_CMD;
  SrbHeader* h = static_cast<SrbHeader*>(request);
  switch (h->SRB_Cmd) {
    case aspi::SC_HA_INQUIRY: {
      SrbHaInquiry* q = static_cast<SrbHaInquiry*>(request);
      const int adapters = drive_units::AdapterCount();
      if (q->h.SRB_HaId >= adapters && !(q->h.SRB_HaId == 0 && adapters == 0)) {
        q->h.SRB_Status = SS_INVALID_HA;
        return SS_INVALID_HA;
      }
      q->HA_Count = static_cast<BYTE>(adapters);
      q->HA_SCSI_ID = 7;
      std::memset(q->HA_ManagerId, ' ', 16);
      std::memcpy(q->HA_ManagerId, "ASPI for WIN32", 14);
      std::memset(q->HA_Identifier, ' ', 16);
      std::memcpy(q->HA_Identifier, "VDRIVE", 6);
      std::memset(q->HA_Unique, 0, 16);
      q->HA_Unique[3] = 8;     // targets per adapter
      q->HA_Unique[6] = 0x01;  // 64 KiB largest transfer (little-endian 0x00010000)
      q->h.SRB_Status = aspi::SS_COMP;
      return aspi::SS_COMP;
    }
    case SC_GET_DEV_TYPE: {
      SrbGetDevType* q = static_cast<SrbGetDevType*>(request);
      if (!drive_units::FindByAddress(q->h.SRB_HaId, q->SRB_Target, q->SRB_Lun, nullptr)) {
        q->h.SRB_Status = aspi::SS_NO_DEVICE;
        return aspi::SS_NO_DEVICE;
      }
      q->SRB_DeviceType = 5;
      q->h.SRB_Status = aspi::SS_COMP;
      return aspi::SS_COMP;
    }
    case aspi::SC_EXEC_SCSI_CMD:
      return ExecScsi(static_cast<aspi::SRB_ExecSCSICmd*>(request));
    case aspi::SC_ABORT_SRB:
      return Abort(static_cast<aspi::SRB_Abort*>(request));
    case SC_RESET_DEV:
      h->SRB_Status = aspi::SS_COMP;
      return aspi::SS_COMP;
    default:
      h->SRB_Status = SS_INVALID_CMD;
      return SS_INVALID_CMD;
  }
}

}  // extern "C"
