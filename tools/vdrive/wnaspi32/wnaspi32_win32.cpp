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
#include "tools/vdrive/drive_config.h"
#include "tools/vdrive/virtual_drive.h"

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

struct Unit {
  int ha, target, lun;
  std::shared_ptr<vdrive::VirtualDrive> drive;
};

std::mutex g_lock;
bool g_loaded = false;
std::string g_configDir;  // relative cue paths start here
std::string g_lastError;
std::vector<Unit> g_units;
std::vector<aspi::SRB_ExecSCSICmd*> g_pending;  // hanging requests

std::string ModuleDir() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ModuleDir), &self);
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  std::string p(path, n);
  const std::size_t slash = p.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

std::string Resolve(const std::string& path) {
  if (path.size() > 1 && (path[1] == ':' || path[0] == '\\' || path[0] == '/')) return path;
  return g_configDir + path;
}

// Caller holds g_lock. A missing file means no drives; a malformed one too,
// with the reason kept for VDriveLastError.
int LoadConfigLocked(const std::string& iniPath) {
  g_units.clear();
  g_pending.clear();
  g_loaded = true;
  g_lastError.clear();
  const std::size_t slash = iniPath.find_last_of("\\/");
  g_configDir = slash == std::string::npos ? std::string() : iniPath.substr(0, slash + 1);
  HANDLE f = CreateFileA(iniPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  std::string text;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0 && text.size() < (1u << 20)) text.append(buf, got);
  CloseHandle(f);
  std::vector<vdrive::DriveConfig> configs;
  if (vdrive::ParseDriveConfig(text, &configs, &g_lastError) != 0) return -1;
  int result = 0;
  for (const vdrive::DriveConfig& c : configs) {
    auto drive = std::make_shared<vdrive::VirtualDrive>(c.identity);
    std::string error;
    if (!c.cue.empty() && drive->InsertCue(Resolve(c.cue), &error) != 0) {
      g_lastError = error;
      result = -1;
    }
    if (!c.behaviour.empty() && vdrive::ApplyBehaviour(*drive, c.behaviour, &error) != 0) {
      g_lastError = error;
      result = -1;
    }
    g_units.push_back(Unit{c.hostAdapter, c.target, c.lun, drive});
  }
  return result;
}

void EnsureLoaded() {
  if (g_loaded) return;
  char env[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("QUORVO_VDRIVE_INI", env, MAX_PATH);
  LoadConfigLocked(n > 0 && n < MAX_PATH ? std::string(env, n) : ModuleDir() + "vdrive.ini");
}

int AdapterCount() {
  int count = 0;
  for (const Unit& u : g_units) count = u.ha + 1 > count ? u.ha + 1 : count;
  return count;
}

std::shared_ptr<vdrive::VirtualDrive> FindLocked(int ha, int target, int lun) {
  for (const Unit& u : g_units)
    if (u.ha == ha && u.target == target && u.lun == lun) return u.drive;
  return nullptr;
}

std::shared_ptr<vdrive::VirtualDrive> Find(int ha, int target, int lun) {
  std::lock_guard<std::mutex> g(g_lock);
  EnsureLoaded();
  return FindLocked(ha, target, lun);
}

void Complete(aspi::SRB_ExecSCSICmd* srb, BYTE status) {
  srb->SRB_Status = status;
  if ((srb->SRB_Flags & aspi::SRB_EVENT_NOTIFY) && srb->SRB_PostProc) {
    SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
  } else if ((srb->SRB_Flags & SRB_POSTING) && srb->SRB_PostProc) {
    reinterpret_cast<void (*)(void*)>(srb->SRB_PostProc)(srb);
  }
}

DWORD ExecScsi(aspi::SRB_ExecSCSICmd* srb) {
  int adapters;
  std::shared_ptr<vdrive::VirtualDrive> drive;
  {
    std::lock_guard<std::mutex> g(g_lock);
    EnsureLoaded();
    adapters = AdapterCount();
    drive = FindLocked(srb->SRB_HaId, srb->SRB_Target, srb->SRB_Lun);
  }
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
    std::lock_guard<std::mutex> g(g_lock);
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
  Complete(srb, status);
  return aspi::SS_PENDING;
}

DWORD Abort(aspi::SRB_Abort* srb) {
  aspi::SRB_ExecSCSICmd* target = nullptr;
  {
    std::lock_guard<std::mutex> g(g_lock);
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

extern "C" {

DWORD GetASPI32SupportInfo() {
  std::lock_guard<std::mutex> g(g_lock);
  EnsureLoaded();
  const int adapters = AdapterCount();
  if (adapters == 0) return static_cast<DWORD>(SS_NO_ADAPTERS) << 8;
  return (static_cast<DWORD>(aspi::SS_COMP) << 8) | static_cast<DWORD>(adapters);
}

DWORD SendASPI32Command(void* request) {
  if (request == nullptr) return SS_INVALID_CMD;
  SrbHeader* h = static_cast<SrbHeader*>(request);
  switch (h->SRB_Cmd) {
    case aspi::SC_HA_INQUIRY: {
      SrbHaInquiry* q = static_cast<SrbHaInquiry*>(request);
      std::lock_guard<std::mutex> g(g_lock);
      EnsureLoaded();
      const int adapters = AdapterCount();
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
      if (!Find(q->h.SRB_HaId, q->SRB_Target, q->SRB_Lun)) {
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

// ---- control for the test host ----

// Loads a configuration file (NULL: vdrive.ini beside this library, or the
// file named by QUORVO_VDRIVE_INI). Returns the number of drives, -1 when the
// file had errors (VDriveLastError tells which; good sections still load).
int VDriveLoadConfig(const char* iniPath) {
  std::lock_guard<std::mutex> g(g_lock);
  g_loaded = false;
  if (iniPath == nullptr) {
    EnsureLoaded();
    return g_lastError.empty() ? static_cast<int>(g_units.size()) : -1;
  }
  return LoadConfigLocked(iniPath) == 0 ? static_cast<int>(g_units.size()) : -1;
}

// Back to the configuration as loaded: discs, behaviours, counters.
int VDriveReset() { return VDriveLoadConfig(nullptr); }

int VDriveEject(int ha, int target, int lun) {
  const auto drive = Find(ha, target, lun);
  if (!drive) return -1;
  drive->Eject();
  return 0;
}

// Puts a disc in; an address without a drive gets a new one.
int VDriveInsert(int ha, int target, int lun, const char* cuePath) {
  if (cuePath == nullptr || ha < 0 || ha > 7 || target < 0 || target > 15 || lun < 0 || lun > 7) return -1;
  std::shared_ptr<vdrive::VirtualDrive> drive;
  std::string path;
  {
    std::lock_guard<std::mutex> g(g_lock);
    EnsureLoaded();
    drive = FindLocked(ha, target, lun);
    if (!drive) {
      drive = std::make_shared<vdrive::VirtualDrive>();
      g_units.push_back(Unit{ha, target, lun, drive});
    }
    path = Resolve(cuePath);
  }
  std::string error;
  if (drive->InsertCue(path, &error) != 0) {
    std::lock_guard<std::mutex> g(g_lock);
    g_lastError = error;
    return -1;
  }
  return 0;
}

int VDriveInjectFault(int ha, int target, int lun, const char* commands) {
  const auto drive = Find(ha, target, lun);
  if (!drive || commands == nullptr) return -1;
  std::string error;
  if (vdrive::ApplyBehaviour(*drive, commands, &error) != 0) {
    std::lock_guard<std::mutex> g(g_lock);
    g_lastError = error;
    return -1;
  }
  return 0;
}

// Commands received by a drive, per opcode (-1: all); 0 for an unknown address.
unsigned VDriveCommandCount(int ha, int target, int lun, int opcode) {
  const auto drive = Find(ha, target, lun);
  return drive ? drive->CommandCount(opcode) : 0;
}

// Copies the last configuration or control error; returns its length.
int VDriveLastError(char* buffer, int size) {
  std::lock_guard<std::mutex> g(g_lock);
  if (buffer && size > 0) {
    const std::size_t n = g_lastError.size() < static_cast<std::size_t>(size - 1) ? g_lastError.size()
                                                                                  : static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, g_lastError.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int>(g_lastError.size());
}

}  // extern "C"
