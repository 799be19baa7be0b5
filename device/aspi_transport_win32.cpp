#include <windows.h>

#include <cstring>

#include <new>

#include "device/aligned_buffer.h"
#include "device/aspi_records.h"
#include "device/aspi_transport.h"
#include "device/scsi_status.h"

namespace {

const char kAspiLibrary[] = "WNASPI32.DLL";

// The layer completes requests on threads of its own.
std::uint8_t StatusOf(const aspi::SRB_ExecSCSICmd& srb) {
  return *static_cast<const volatile std::uint8_t*>(&srb.SRB_Status);
}
// Room for the largest transfer the plug-ins ask for (CD-TEXT, 36736 bytes),
// so that one buffer serves every command.
constexpr std::uint32_t kMinBufferBytes = 64 * 1024;
// Host adapter status: the transfer was longer or shorter than asked.
constexpr std::uint8_t kHaStatDataOverUnderrun = 0x12;
constexpr int kShortTransfer = 1;

}  // namespace

struct AspiTransport::Request {
  explicit Request(std::uint32_t capacity) : buffer(capacity) {}
  ~Request() {
    if (event) CloseHandle(event);
  }
  aspi::SRB_ExecSCSICmd srb{};
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  AlignedBuffer buffer;
};

AspiTransport::~AspiTransport() {
  delete request_;
  ReclaimAbandoned();
  // Whatever the layer still holds stays allocated: it may write into it
  // until it is unloaded below.
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
}

AspiTransport::Request* AspiTransport::RequestFor(std::uint32_t dataLength) {
  if (request_ && request_->buffer.size() >= dataLength) return request_;
  delete request_;
  request_ = new (std::nothrow) Request(dataLength > kMinBufferBytes ? dataLength : kMinBufferBytes);
  if (request_ && !request_->event) {
    delete request_;
    request_ = nullptr;
  }
  return request_;
}

void AspiTransport::ReclaimAbandoned() {
  for (auto it = abandoned_.begin(); it != abandoned_.end();) {
    if (StatusOf((*it)->srb) != aspi::SS_PENDING) {
      delete *it;
      it = abandoned_.erase(it);
    } else {
      ++it;
    }
  }
}

int AspiTransport::IsAvailable() {
  HMODULE module = LoadLibraryA(kAspiLibrary);
  if (!module) return 0;
  FreeLibrary(module);
  return 1;
}

int AspiTransport::Initialize() {
  if (!library_) {
    library_ = LoadLibraryA(kAspiLibrary);
    if (!library_) return 0;
  }
  HMODULE module = static_cast<HMODULE>(library_);
  auto supportInfo = reinterpret_cast<aspi::GetASPI32SupportInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "GetASPI32SupportInfo")));
  auto sendCommand =
      reinterpret_cast<aspi::SendASPI32CommandFn>(reinterpret_cast<void*>(GetProcAddress(module, "SendASPI32Command")));
  if (!supportInfo || !sendCommand) {
    sendCommand_ = nullptr;
    return 0;
  }
  sendCommand_ = reinterpret_cast<void*>(sendCommand);
  supportInfo();  // the layer expects this call before the first command
  return 1;
}

// A READ CD that comes back short has left part of the buffer unwritten,
// which would play as silence: it is read once more, and a second short
// transfer is a read error.
int AspiTransport::Execute(const AspiAddress& address, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                           std::uint32_t dataLength) {
  lastSenseKey_ = -1;
  int result = ExecuteOnce(address, cdb, cdbLength, data, dataLength);
  if (result == kShortTransfer) result = ExecuteOnce(address, cdb, cdbLength, data, dataLength);
  return result == 0 ? 0 : -1;
}

int AspiTransport::ExecuteOnce(const AspiAddress& address, const std::uint8_t* cdb, std::uint8_t cdbLength,
                               void* data, std::uint32_t dataLength) {
  // Without Initialize there is nothing to send through.
  if (!sendCommand_ || !cdb) return -1;
  auto sendCommand = reinterpret_cast<aspi::SendASPI32CommandFn>(sendCommand_);
  if (cdbLength > sizeof(aspi::SRB_ExecSCSICmd::CDBByte)) return -1;

  ReclaimAbandoned();
  Request* request = RequestFor(dataLength);
  if (!request) return -1;

  // The layer gets our own buffer, never the caller's: a request that
  // outlives its time-out must not write into memory returned to the caller.
  aspi::SRB_ExecSCSICmd* srb = &request->srb;
  std::memset(srb, 0, sizeof(*srb));
  std::memset(request->buffer.data(), 0, dataLength);
  srb->SRB_Cmd = aspi::SC_EXEC_SCSI_CMD;
  srb->SRB_HaId = static_cast<std::uint8_t>(address.hostAdapter);
  // Always "data in", also for commands that move no data.
  srb->SRB_Flags = aspi::SRB_DIR_IN | aspi::SRB_EVENT_NOTIFY;
  srb->SRB_Target = static_cast<std::uint8_t>(address.target);
  srb->SRB_Lun = static_cast<std::uint8_t>(address.lun);
  srb->SRB_BufLen = dataLength;
  srb->SRB_BufPointer = request->buffer.data();
  srb->SRB_SenseLen = aspi::SENSE_LEN;
  srb->SRB_CDBLen = cdbLength;
  srb->SRB_PostProc = request->event;
  std::memcpy(srb->CDBByte, cdb, cdbLength);
  ResetEvent(request->event);

  if (sendCommand(srb) == aspi::SS_PENDING && WaitForSingleObject(request->event, timeoutMs_) == WAIT_TIMEOUT) {
    aspi::SRB_Abort abort;
    std::memset(&abort, 0, sizeof(abort));
    abort.SRB_Cmd = aspi::SC_ABORT_SRB;
    abort.SRB_HaId = static_cast<std::uint8_t>(address.hostAdapter);
    abort.SRB_ToAbort = srb;
    sendCommand(&abort);
    // Still pending after the abort: the layer may yet complete it, writing
    // into the request, its buffer and its event. All three are set aside.
    if (StatusOf(*srb) == aspi::SS_PENDING) {
      abandoned_.push_back(request);
      request_ = nullptr;
    }
    return -1;
  }
  if (StatusOf(*srb) != aspi::SS_COMP) {
    if (srb->SRB_TargStat == scsi::kStatusCheckCondition) lastSenseKey_ = scsi::SenseKey(srb->SenseArea, aspi::SENSE_LEN);
    return -1;
  }
  // The layer has no transfer count; it reports a short transfer as an
  // underrun, which only matters where every byte was asked for.
  if (srb->SRB_HaStat == kHaStatDataOverUnderrun && scsi::ReadCdExpectedBytes(cdb, cdbLength, dataLength) != 0)
    return kShortTransfer;
  if (data && dataLength) std::memcpy(data, request->buffer.data(), dataLength);
  return 0;
}
