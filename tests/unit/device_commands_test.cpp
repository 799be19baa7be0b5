#include <gtest/gtest.h>

#include "device/cd_device.h"
#include "device/mmc_commands.h"
#include "device_test_support.h"

namespace {

using devtest::Bytes;

template <class Cdb>
Bytes B(const Cdb& cdb) {
  return Bytes(cdb.begin(), cdb.end());
}

TEST(DeviceMmcCommands, EveryCommandBlockByteForByte) {
  EXPECT_EQ((Bytes{0x00, 0, 0, 0, 0, 0}), B(mmc::TestUnitReady()));
  EXPECT_EQ((Bytes{0x12, 0, 0, 0, 0x24, 0}), B(mmc::Inquiry()));
  EXPECT_EQ((Bytes{0x43, 0x02, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0}), B(mmc::ReadTocMsf()));
  EXPECT_EQ((Bytes{0x43, 0x00, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0}), B(mmc::ReadTocLba()));
  EXPECT_EQ((Bytes{0x43, 0, 0, 0, 0, 0, 0x01, 0x00, 0x0C, 0x40}), B(mmc::ReadSessionInfo()));
  EXPECT_EQ((Bytes{0x43, 0, 0, 0, 0, 0, 0x02, 0x04, 0x92, 0x80}), B(mmc::ReadFullToc(2)));
  EXPECT_EQ((Bytes{0x43, 0, 0x05, 0, 0, 0, 0, 0x8F, 0x70, 0}), B(mmc::ReadCdText()));
  EXPECT_EQ((Bytes{0xBB, 0, 0x12, 0x34, 0xFF, 0xFE, 0, 0, 0, 0, 0, 0}), B(mmc::SetCdSpeed(0x1234, 0xFFFE)));
  EXPECT_EQ((Bytes{0xBE, 0x04, 0x01, 0x02, 0x03, 0x04, 0, 0, 15, 0x10, 0, 0}), B(mmc::ReadCd(0x01020304, 15)));
}

TEST(DeviceCommands, TestUnitReadyAndSetCdSpeedPickTheirWay) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  devtest::ScriptedTransport* t = devtest::AttachDriveD(device, system);
  const Bytes speed = B(mmc::SetCdSpeed(0xFFFF, 0xFFFF));

  EXPECT_EQ(0, device.TestUnitReady());  // no reply scripted: failure
  t->replies[Bytes(6, 0)] = {};
  t->replies[speed] = {};
  EXPECT_EQ(1, device.TestUnitReady());
  EXPECT_EQ(1, device.SetCdSpeed(0xFFFF, 0xFFFF));
  EXPECT_EQ(1, device.OpenDevice());
  EXPECT_EQ(0, device.OpenDevice());  // already open
  EXPECT_EQ(1, device.SetCdSpeed(0xFFFF, 0xFFFF));
  ASSERT_EQ(4u, t->sent.size());
  EXPECT_EQ("SendToDrive", t->sent[1].via);
  EXPECT_EQ(0u, t->sent[1].dataLength);
  EXPECT_EQ("SendToDrive", t->sent[2].via);
  EXPECT_EQ("Send", t->sent[3].via);

  EXPECT_EQ(1, device.CloseDevice());  // the transport's result
  EXPECT_EQ(0, device.IsOpen());
  EXPECT_EQ(0, device.CloseDevice());
  t->failing.insert(speed);
  EXPECT_EQ(0, device.SetCdSpeed(0xFFFF, 0xFFFF));
}

TEST(DeviceCommands, EveryCommandFailsWithoutTransportOrCurrentDrive) {
  devtest::FakeSystem system;
  system.ntMajor = 6;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(0, device.TestUnitReady());
    EXPECT_EQ(-1, device.ReadToc());
    EXPECT_EQ(0, device.OpenDevice());
    EXPECT_EQ(0, device.SetCdSpeed(1, 1));
    // Second pass: a transport, but no drive selected.
    device.InstallTransport(std::make_unique<devtest::ScriptedTransport>(), 2);
  }
  EXPECT_TRUE(static_cast<devtest::ScriptedTransport*>(device.Transport())->sent.empty());
}

TEST(DeviceTransportChoice, AutomaticMeansSptiOnlyOnNt4And5) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  for (int major : {0, 3, 4, 5, 6, 10}) {
    system.ntMajor = major;
    CdDevice device;  // the constructor makes the automatic choice
    const int expected = (major == 4 || major == 5) ? 2 : 0;
    EXPECT_EQ(expected, device.TransportKind()) << major;
    EXPECT_EQ(expected != 0, device.Transport() != nullptr) << major;
    // Explicit kinds do not depend on the version.
    EXPECT_EQ(1, device.SetTransport(3));
    EXPECT_EQ(3, device.TransportKind());
    EXPECT_EQ(1, device.SetTransport(2));
    EXPECT_EQ(2, device.TransportKind());
    for (int other : {0, -1, 4, 7}) {
      EXPECT_EQ(0, device.SetTransport(other));
      EXPECT_EQ(0, device.TransportKind());
    }
  }
}

TEST(DeviceTransportChoice, ReplacingTheTransportDropsTheOpenDrive) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  devtest::AttachDriveD(device, system);
  ASSERT_EQ(1, device.OpenDevice());
  device.SetTransport(3);
  EXPECT_EQ(0, device.IsOpen());
}

}  // namespace
