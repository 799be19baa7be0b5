#include <windows.h>

#include <cstring>

#include "device/aspi_records.h"
#include "device/aspi_transport.h"

namespace {

const char kAspiLibrary[] = "WNASPI32.DLL";
const DWORD kCommandTimeoutMs = 15000;

}  // namespace

AspiTransport::~AspiTransport() {
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
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

int AspiTransport::Execute(const AspiAddress& address, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                           std::uint32_t dataLength) {
  // Without Initialize there is nothing to send through.
  if (!sendCommand_ || !cdb) return -1;
  auto sendCommand = reinterpret_cast<aspi::SendASPI32CommandFn>(sendCommand_);
  if (cdbLength > sizeof(aspi::SRB_ExecSCSICmd::CDBByte)) return -1;

  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!event) return -1;

  // On the heap: a request the layer still holds after a failed abort must
  // not point into a returned stack frame.
  auto* srb = new aspi::SRB_ExecSCSICmd;
  std::memset(srb, 0, sizeof(*srb));
  srb->SRB_Cmd = aspi::SC_EXEC_SCSI_CMD;
  srb->SRB_HaId = static_cast<std::uint8_t>(address.hostAdapter);
  // Always "data in", also for commands that move no data.
  srb->SRB_Flags = aspi::SRB_DIR_IN | aspi::SRB_EVENT_NOTIFY;
  srb->SRB_Target = static_cast<std::uint8_t>(address.target);
  srb->SRB_Lun = static_cast<std::uint8_t>(address.lun);
  srb->SRB_BufLen = dataLength;
  srb->SRB_BufPointer = static_cast<std::uint8_t*>(data);
  srb->SRB_SenseLen = aspi::SENSE_LEN;
  srb->SRB_CDBLen = cdbLength;
  srb->SRB_PostProc = event;
  std::memcpy(srb->CDBByte, cdb, cdbLength);

  if (sendCommand(srb) == aspi::SS_PENDING) {
    if (WaitForSingleObject(event, kCommandTimeoutMs) == WAIT_TIMEOUT) {
      aspi::SRB_Abort abort;
      std::memset(&abort, 0, sizeof(abort));
      abort.SRB_Cmd = aspi::SC_ABORT_SRB;
      abort.SRB_HaId = static_cast<std::uint8_t>(address.hostAdapter);
      abort.SRB_ToAbort = srb;
      sendCommand(&abort);
      // Still pending after the abort: the layer may yet complete it and
      // signal the event, so both are left to it.
      if (srb->SRB_Status == aspi::SS_PENDING) return -1;
      CloseHandle(event);
      delete srb;
      return -1;
    }
  }
  CloseHandle(event);
  const int result = srb->SRB_Status == aspi::SS_COMP ? 0 : -1;
  delete srb;
  return result;
}
