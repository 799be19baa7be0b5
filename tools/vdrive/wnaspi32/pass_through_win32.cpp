// The virtual drives behind the system's SCSI pass-through: stand-ins for
// CreateFileA, DeviceIoControl and CloseHandle that the test host puts into
// a plug-in's import table. "\\.\X:" of a drive letter given in vdrive.ini
// opens the virtual drive; every other name and handle goes to the system.
//
// What a Windows drive does is kept where the plug-ins could notice it:
// share modes are enforced between the handles of one drive, a control code
// needs the access it names, requests are checked as the port driver checks
// them, and a command that fails comes back with CHECK CONDITION and sense
// data in the caller's block, the call itself succeeding.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "tools/vdrive/wnaspi32/drive_units_win32.h"

namespace {

struct OpenDevice {
  char letter;
  DWORD access;  // kRead | kWrite | kDelete
  DWORD share;   // FILE_SHARE_* bits
};

constexpr DWORD kRead = 1;
constexpr DWORD kWrite = 2;
constexpr DWORD kDelete = 4;

std::mutex g_lock;
std::map<HANDLE, OpenDevice> g_open;

// "\\.\X:" exactly, any case; 0 for every other name.
char DeviceLetter(const char* name) {
  if (!name || std::strncmp(name, "\\\\.\\", 4) != 0) return 0;
  const char c = name[4];
  if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) || name[5] != ':' || name[6] != '\0') return 0;
  return static_cast<char>(c & ~0x20);
}

// The data access an open asks for, as the share check counts it.
DWORD DataAccess(DWORD desired) {
  DWORD access = 0;
  if (desired & (GENERIC_READ | GENERIC_ALL | MAXIMUM_ALLOWED | FILE_READ_DATA)) access |= kRead;
  if (desired & (GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED | FILE_WRITE_DATA | FILE_APPEND_DATA)) access |= kWrite;
  if (desired & (GENERIC_ALL | DELETE)) access |= kDelete;
  return access;
}

// Windows' rule: a new open must share what every open handle uses, and
// every open handle must share what the new one asks for. An open without
// data access is neither checked nor counted.
bool SharingAllows(const OpenDevice& a, const OpenDevice& b) {
  const auto allows = [](const OpenDevice& user, const OpenDevice& sharer) {
    return (!(user.access & kRead) || (sharer.share & FILE_SHARE_READ)) &&
           (!(user.access & kWrite) || (sharer.share & FILE_SHARE_WRITE)) &&
           (!(user.access & kDelete) || (sharer.share & FILE_SHARE_DELETE));
  };
  return allows(a, b) && allows(b, a);
}

bool Lookup(HANDLE handle, OpenDevice* out) {
  std::lock_guard<std::mutex> g(g_lock);
  const auto it = g_open.find(handle);
  if (it == g_open.end()) return false;
  if (out) *out = it->second;
  return true;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The port driver's answer to IOCTL_SCSI_PASS_THROUGH_DIRECT, worked on a
// copy of the caller's block as the system does for buffered requests.
BOOL PassThrough(const drive_units::Unit& unit, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned) {
  if (!in || inSize < sizeof(SCSI_PASS_THROUGH_DIRECT)) return Fail(ERROR_INVALID_PARAMETER);
  std::vector<BYTE> block(inSize > outSize ? inSize : outSize);
  std::memcpy(block.data(), in, inSize);
  auto* request = reinterpret_cast<SCSI_PASS_THROUGH_DIRECT*>(block.data());
  if (request->Length != sizeof(SCSI_PASS_THROUGH_DIRECT)) return Fail(ERROR_REVISION_MISMATCH);
  const std::size_t senseEnd = std::size_t(request->SenseInfoOffset) + request->SenseInfoLength;
  const bool senseFits =
      !request->SenseInfoLength || (request->SenseInfoOffset >= sizeof(SCSI_PASS_THROUGH_DIRECT) && senseEnd <= outSize);
  if (request->CdbLength == 0 || request->CdbLength > sizeof(request->Cdb) ||
      request->DataIn > SCSI_IOCTL_DATA_UNSPECIFIED || !out || outSize < sizeof(SCSI_PASS_THROUGH_DIRECT) ||
      !senseFits || (request->DataTransferLength && !request->DataBuffer)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }

  // The model answers data-in commands only; nothing is read from an
  // outgoing buffer.
  const bool dataIn = request->DataIn == SCSI_IOCTL_DATA_IN;
  auto* data = dataIn ? static_cast<std::uint8_t*>(request->DataBuffer) : nullptr;
  const vdrive::CommandResult r =
      unit.drive->Execute(request->Cdb, request->CdbLength, data, dataIn ? request->DataTransferLength : 0);
  if (r.hang) {
    // The command never completes: the port driver gives up after the
    // caller's time-out.
    const unsigned long long ms = request->TimeOutValue * 1000ull;
    Sleep(ms < INFINITE ? static_cast<DWORD>(ms) : INFINITE - 1);
    return Fail(ERROR_SEM_TIMEOUT);
  }
  if (r.overrun) return Fail(ERROR_IO_DEVICE);
  request->ScsiStatus = static_cast<UCHAR>(r.status);
  request->PathId = 0;
  request->TargetId = static_cast<UCHAR>(unit.target);
  request->Lun = static_cast<UCHAR>(unit.lun);
  request->DataTransferLength = dataIn ? r.transferred : 0;
  DWORD length = sizeof(SCSI_PASS_THROUGH_DIRECT);
  if (r.status == vdrive::CommandResult::kCheckCondition && request->SenseInfoLength) {
    const UCHAR sense = request->SenseInfoLength < 18 ? request->SenseInfoLength : 18;
    r.FillSense(block.data() + request->SenseInfoOffset, sense);
    request->SenseInfoLength = sense;
    length = request->SenseInfoOffset + sense;
  } else {
    request->SenseInfoLength = 0;
  }
  std::memcpy(out, block.data(), length);
  *returned = length;
  return TRUE;
}

BOOL GetAddress(const drive_units::Unit& unit, void* out, DWORD outSize, DWORD* returned) {
  if (!out || outSize < sizeof(SCSI_ADDRESS)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  SCSI_ADDRESS address = {};
  address.Length = sizeof(SCSI_ADDRESS);
  address.PortNumber = static_cast<UCHAR>(unit.ha);
  address.TargetId = static_cast<UCHAR>(unit.target);
  address.Lun = static_cast<UCHAR>(unit.lun);
  std::memcpy(out, &address, sizeof address);
  *returned = sizeof address;
  return TRUE;
}

}  // namespace

extern "C" {

HANDLE WINAPI VDriveCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
  const char letter = DeviceLetter(name);
  if (!letter || !drive_units::FindByLetter(letter, nullptr)) {
    return CreateFileA(name, access, share, security, disposition, flags, templateFile);
  }
  const OpenDevice device{letter, DataAccess(access), share};
  std::lock_guard<std::mutex> g(g_lock);
  if (device.access) {
    for (const auto& open : g_open) {
      if (open.second.letter == letter && open.second.access && !SharingAllows(open.second, device)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
      }
    }
  }
  // A real object stands behind the handle, so that its value is unique in
  // the process for as long as it is open.
  HANDLE handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!handle) return INVALID_HANDLE_VALUE;
  g_open[handle] = device;
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL WINAPI VDriveDeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                  LPDWORD returned, LPOVERLAPPED overlapped) {
  OpenDevice device;
  if (!Lookup(handle, &device)) return DeviceIoControl(handle, code, in, inSize, out, outSize, returned, overlapped);
  if (!returned) return Fail(ERROR_INVALID_PARAMETER);
  *returned = 0;
  // The access bits of the control code are checked against the handle.
  const DWORD needed = (code >> 14) & 3;
  if (((needed & FILE_READ_ACCESS) && !(device.access & kRead)) ||
      ((needed & FILE_WRITE_ACCESS) && !(device.access & kWrite))) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  drive_units::Unit unit;
  if (!drive_units::FindByLetter(device.letter, &unit)) return Fail(ERROR_DEV_NOT_EXIST);
  switch (code) {
    case IOCTL_SCSI_PASS_THROUGH_DIRECT:
      return PassThrough(unit, in, inSize, out, outSize, returned);
    case IOCTL_SCSI_GET_ADDRESS:
      return GetAddress(unit, out, outSize, returned);
    default:
      return Fail(ERROR_INVALID_FUNCTION);
  }
}

BOOL WINAPI VDriveCloseHandle(HANDLE handle) {
  {
    std::lock_guard<std::mutex> g(g_lock);
    g_open.erase(handle);
  }
  return CloseHandle(handle);
}

}  // extern "C"
