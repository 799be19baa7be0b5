// A command the ASPI layer neither finishes in time nor lets abort: the
// layer completes it later, and that late write must land in memory of the
// transport's own, never in the buffer the caller got back with the failure.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device/aspi_records.h"
#include "device/aspi_transport.h"
#include "device/cd_drive.h"

namespace {

// A layer whose first command hangs and ignores the abort, then completes
// 200 ms later; later commands complete at once. Each completion fills the
// data buffer with its own byte.
struct StuckLayer {
  aspi::SRB_ExecSCSICmd* stuck = nullptr;
  HANDLE late = nullptr;
  int commands = 0;
} g_layer;

DWORD WINAPI CompleteLate(void*) {
  Sleep(200);
  aspi::SRB_ExecSCSICmd* srb = g_layer.stuck;
  std::memset(srb->SRB_BufPointer, 0xAB, srb->SRB_BufLen);
  srb->SRB_Status = aspi::SS_COMP;
  SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
  return 0;
}

std::uint32_t Send(void* request) {
  auto* srb = static_cast<aspi::SRB_ExecSCSICmd*>(request);
  if (srb->SRB_Cmd == aspi::SC_ABORT_SRB) return 0x80;  // abort refused
  srb->SRB_Status = aspi::SS_PENDING;
  if (g_layer.commands++ == 0) {
    g_layer.stuck = srb;
    return aspi::SS_PENDING;
  }
  std::memset(srb->SRB_BufPointer, 0x22, srb->SRB_BufLen);
  srb->SRB_Status = aspi::SS_COMP;
  SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
  return aspi::SS_PENDING;
}

TEST(AspiTimeout, ALateCompletionAfterARefusedAbortNeverReachesTheCallersBuffer) {
  AspiTransport transport;
  transport.SetSendCommandForTesting(reinterpret_cast<void*>(&Send));
  transport.SetCommandTimeout(50);
  transport.SetDeviceMapEntry('D', 1, 0, 0);
  CdDrive drive;
  drive.rootPath = "D:\\";
  ASSERT_EQ(1, transport.Open(drive));

  const std::uint8_t readCd[12] = {0xBE, 0x04, 0, 0, 0, 0, 0, 0, 1, 0x10, 0, 0};
  std::vector<std::uint8_t> mine(2352, 0x11);
  EXPECT_EQ(-1, transport.Send(readCd, 12, mine.data(), 2352));
  ASSERT_NE(nullptr, g_layer.stuck);
  g_layer.late = CreateThread(nullptr, 0, CompleteLate, nullptr, 0, nullptr);
  WaitForSingleObject(g_layer.late, 5000);
  CloseHandle(g_layer.late);
  EXPECT_EQ(std::vector<std::uint8_t>(2352, 0x11), mine) << "the late completion wrote into the caller's buffer";

  // The transport goes on with a request of its own; the set-aside one is
  // freed once the layer has let go of it.
  EXPECT_EQ(0, transport.Send(readCd, 12, mine.data(), 2352));
  EXPECT_EQ(std::vector<std::uint8_t>(2352, 0x22), mine);
}

}  // namespace
