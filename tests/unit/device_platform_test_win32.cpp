// The Win32 side of the device layer, run under the project's Wine prefix
// (Windows 10, D: to I: configured as CD-ROM drives).
#include <gtest/gtest.h>

#include <algorithm>

#include "device/aspi_transport.h"
#include "device/cd_device.h"
#include "device/spti_transport.h"
#include "device/system_info.h"

namespace {

TEST(DeviceWin32System, DriveListTypesAndVersion) {
  SystemInfo& system = CurrentSystemInfo();
  const std::vector<std::string> roots = system.LogicalDriveStrings();
  ASSERT_NE(roots.end(), std::find(roots.begin(), roots.end(), "D:\\"));
  for (const std::string& root : roots) EXPECT_EQ(3u, root.size()) << root;
  EXPECT_TRUE(system.IsCdRom("D:\\"));
  EXPECT_FALSE(system.IsCdRom("C:\\"));
  EXPECT_EQ(10, system.NtMajorVersion()) << "the test program declares Windows 10 in its manifest";

  CdDevice device;  // automatic choice on NT 10
  EXPECT_EQ(2, device.TransportKind());
}

TEST(DeviceWin32Transports, UnreachableDrivesFailCleanly) {
  CdDrive missing;
  missing.rootPath = "Q:\\";
  const std::uint8_t cdb[6] = {};

  SptiTransport spti;
  EXPECT_EQ(1, spti.Initialize());
  EXPECT_EQ(1, spti.IsAvailable());
  EXPECT_EQ(0, spti.Open(missing));
  EXPECT_EQ(-1, spti.SendToDrive(missing, cdb, 6, nullptr, 0));
  EXPECT_EQ(-1, spti.Send(cdb, 6, nullptr, 0));
  EXPECT_EQ(0, spti.Close());
  ScsiAddress address{};
  EXPECT_EQ(0, spti.GetAddress(&address));

  // Without Initialize there is no ASPI entry point to call.
  AspiTransport aspi;
  aspi.SetDeviceMapEntry('q', 0, 0, 0);
  EXPECT_EQ(1, aspi.Open(missing));
  EXPECT_EQ(-1, aspi.Send(cdb, 6, nullptr, 0));
  EXPECT_EQ(-1, aspi.SendToDrive(missing, cdb, 6, nullptr, 0));
}

}  // namespace
