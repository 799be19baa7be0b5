#include <windows.h>
#include <winioctl.h>  // not part of windows.h when it is trimmed
#include <ntddscsi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "device/scsi_status.h"
#include "device/spti_transport.h"
#include "device/system_info.h"

namespace {

// The request block handed to the pass-through: the request, then the
// sense bytes inside the same block.
struct PassThroughBlock {
  SCSI_PASS_THROUGH_DIRECT request;
  ULONG filler;
  UCHAR sense[32];
};

#if !defined(_WIN64)
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44, "SCSI_PASS_THROUGH_DIRECT is 44 bytes on 32-bit");
static_assert(offsetof(PassThroughBlock, sense) == 48, "sense bytes at offset 48");
static_assert(sizeof(PassThroughBlock) == 80, "the pass-through block is 80 bytes");
#endif
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x4D014, "pass-through control code");
static_assert(IOCTL_SCSI_GET_ADDRESS == 0x41018, "get-address control code");
static_assert(sizeof(SCSI_ADDRESS) == sizeof(ScsiAddress), "address record layout");

const ULONG kTimeoutSeconds = 15;
const UCHAR kSenseLength = 24;

// The pass-through needs read and write access. Both are shared: the
// playback reader keeps its handle open while the information reader, the
// companion plug-in or another program opens the same drive.
HANDLE OpenDevicePath(char letter) {
  char path[8];
  std::snprintf(path, sizeof(path), "\\\\.\\%c:", letter);
  return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

constexpr int kShortTransfer = 1;

// One request: 0, -1, or kShortTransfer for a READ CD that reported success
// but delivered fewer bytes than it asked for.
int PassThroughOnce(HANDLE handle, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                    std::uint32_t dataLength, int* senseKey) {
  *senseKey = -1;
  if (!cdb || cdbLength > sizeof(SCSI_PASS_THROUGH_DIRECT::Cdb)) return -1;
  PassThroughBlock block;
  std::memset(&block, 0, sizeof(block));
  block.request.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
  block.request.CdbLength = cdbLength;
  block.request.SenseInfoLength = kSenseLength;
  // Always "data in", also for commands that move no data.
  block.request.DataIn = SCSI_IOCTL_DATA_IN;
  block.request.DataTransferLength = dataLength;
  block.request.TimeOutValue = kTimeoutSeconds;
  block.request.DataBuffer = data;
  block.request.SenseInfoOffset = offsetof(PassThroughBlock, sense);
  std::memcpy(block.request.Cdb, cdb, cdbLength);

  DWORD returned = 0;
  if (!DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof(block), &block, sizeof(block),
                       &returned, nullptr)) {
    return -1;
  }
  // A delivered request is not yet a good answer: a check condition means
  // no disc, a rejected command or a read that failed, and the data buffer
  // then holds nothing the drive wrote. The driver reports how many sense
  // bytes it put into the block.
  const std::size_t senseLength =
      block.request.SenseInfoLength < sizeof(block.sense) ? block.request.SenseInfoLength : sizeof(block.sense);
  if (block.request.ScsiStatus == scsi::kStatusCheckCondition) *senseKey = scsi::SenseKey(block.sense, senseLength);
  const int outcome = scsi::CommandOutcome(block.request.ScsiStatus, block.sense, senseLength);
  // The driver reports the bytes it moved in the transfer length.
  if (outcome == 0 && block.request.DataTransferLength < scsi::ReadCdExpectedBytes(cdb, cdbLength, dataLength))
    return kShortTransfer;
  return outcome;
}

// A READ CD that comes back short has left part of the buffer unwritten,
// which would play as silence: it is read once more, and a second short
// transfer is a read error.
int PassThrough(HANDLE handle, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength,
                int* senseKey) {
  int result = PassThroughOnce(handle, cdb, cdbLength, data, dataLength, senseKey);
  if (result == kShortTransfer) result = PassThroughOnce(handle, cdb, cdbLength, data, dataLength, senseKey);
  return result == 0 ? 0 : -1;
}

}  // namespace

SptiTransport::~SptiTransport() { Close(); }

int SptiTransport::Initialize() { return 1; }

int SptiTransport::IsAvailable() { return HasScsiPassThrough(CurrentSystemInfo()) ? 1 : 0; }

int SptiTransport::Open(const CdDrive& drive) {
  Close();  // a second Open must not leak the first handle
  HANDLE handle = OpenDevicePath(drive.DriveLetter());
  if (handle == INVALID_HANDLE_VALUE) return 0;
  handle_ = handle;
  return 1;
}

int SptiTransport::Close() {
  if (!handle_) return 0;
  CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
  return 1;
}

int SptiTransport::Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength) {
  lastSenseKey_ = -1;
  if (!handle_) return -1;
  return PassThrough(static_cast<HANDLE>(handle_), cdb, cdbLength, data, dataLength, &lastSenseKey_);
}

int SptiTransport::SendToDrive(const CdDrive& drive, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                               std::uint32_t dataLength) {
  HANDLE handle = OpenDevicePath(drive.DriveLetter());
  lastSenseKey_ = -1;
  if (handle == INVALID_HANDLE_VALUE) return -1;
  int result = PassThrough(handle, cdb, cdbLength, data, dataLength, &lastSenseKey_);
  CloseHandle(handle);
  return result;
}

int SptiTransport::GetAddress(ScsiAddress* out) {
  if (!handle_ || !out) return 0;
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(static_cast<HANDLE>(handle_), IOCTL_SCSI_GET_ADDRESS, nullptr, 0, out, sizeof(*out),
                            &returned, nullptr);
  return ok ? 1 : 0;
}
