#include <gtest/gtest.h>

#include "device/cd_device.h"
#include "device/mmc_commands.h"
#include "device_test_support.h"

namespace {

using devtest::Bytes;

template <class Cdb>
Bytes ToBytes(const Cdb& cdb) {
  return Bytes(cdb.begin(), cdb.end());
}

TEST(DeviceMmcCommands, EveryCommandBlockByteForByte) {
  EXPECT_EQ((Bytes{0x00, 0, 0, 0, 0, 0}), ToBytes(mmc::TestUnitReady()));
  EXPECT_EQ((Bytes{0x12, 0, 0, 0, 0x24, 0}), ToBytes(mmc::Inquiry()));
  EXPECT_EQ((Bytes{0x43, 0x02, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0}), ToBytes(mmc::ReadTocMsf()));
  EXPECT_EQ((Bytes{0x43, 0x00, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0}), ToBytes(mmc::ReadTocLba()));
  EXPECT_EQ((Bytes{0x43, 0, 0, 0, 0, 0, 0x01, 0x00, 0x0C, 0x40}), ToBytes(mmc::ReadSessionInfo()));
  EXPECT_EQ((Bytes{0x43, 0, 0, 0, 0, 0, 0x02, 0x04, 0x92, 0x80}), ToBytes(mmc::ReadFullToc(2)));
  EXPECT_EQ((Bytes{0x43, 0, 0x05, 0, 0, 0, 0, 0x8F, 0x70, 0}), ToBytes(mmc::ReadCdText()));
  EXPECT_EQ((Bytes{0xBB, 0, 0x12, 0x34, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}), ToBytes(mmc::SetCdSpeed(0x1234, 0xFFFF)));
  EXPECT_EQ((Bytes{0xBE, 0x04, 0x01, 0x02, 0x03, 0x04, 0, 0, 15, 0x10, 0, 0}), ToBytes(mmc::ReadCd(0x01020304, 15)));
}

TEST(DeviceCommands, TestUnitReadyGoesToTheCurrentDriveWithoutData) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  devtest::ScriptedTransport* transport = devtest::AttachDriveD(device, system);

  EXPECT_EQ(0, device.TestUnitReady());  // no reply scripted: the command fails
  transport->Reply(Bytes(6, 0), {});
  EXPECT_EQ(1, device.TestUnitReady());
  ASSERT_EQ(2u, transport->sent.size());
  EXPECT_EQ("SendToDrive", transport->sent[1].via);
  EXPECT_EQ('D', transport->sent[1].letter);
  EXPECT_EQ(0u, transport->sent[1].dataLength);
}

TEST(DeviceCommands, SetCdSpeedUsesTheOpenDriveWhenOpen) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  devtest::ScriptedTransport* transport = devtest::AttachDriveD(device, system);
  const Bytes speed{0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
  transport->Reply(speed, {});

  EXPECT_EQ(1, device.SetCdSpeed(0xFFFF, 0xFFFF));
  EXPECT_EQ(1, device.OpenDevice());
  EXPECT_EQ(0, device.OpenDevice());  // already open
  EXPECT_EQ(1, device.IsOpen());
  EXPECT_EQ(1, device.SetCdSpeed(0xFFFF, 0xFFFF));
  ASSERT_EQ(2u, transport->sent.size());
  EXPECT_EQ("SendToDrive", transport->sent[0].via);
  EXPECT_EQ("Send", transport->sent[1].via);
  EXPECT_EQ(speed, transport->sent[1].cdb);

  EXPECT_EQ(1, device.CloseDevice());  // the transport's result
  EXPECT_EQ(0, device.IsOpen());
  EXPECT_EQ(0, device.CloseDevice());
  transport->failing.insert(speed);
  EXPECT_EQ(0, device.SetCdSpeed(0xFFFF, 0xFFFF));
}

TEST(DeviceCommands, EveryCommandFailsWithoutTransportOrCurrentDrive) {
  devtest::FakeSystem system;
  system.ntMajor = 6;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  EXPECT_EQ(0, device.TransportKind());
  EXPECT_EQ(-2, device.EnumerateDrives());
  EXPECT_EQ(0, device.TestUnitReady());
  EXPECT_EQ(-1, device.ReadToc());
  EXPECT_EQ(0, device.OpenDevice());
  EXPECT_EQ(0, device.SetCdSpeed(1, 1));

  // A transport but no drive selected.
  auto owned = std::make_unique<devtest::ScriptedTransport>();
  devtest::ScriptedTransport* transport = owned.get();
  device.InstallTransport(std::move(owned), 2);
  EXPECT_EQ(0, device.CurrentDriveLetter());
  EXPECT_EQ(0, device.TestUnitReady());
  EXPECT_EQ(-1, device.ReadToc());
  EXPECT_TRUE(transport->sent.empty());
}

TEST(DeviceTransportChoice, AutomaticMeansSptiOnlyOnNt4And5) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  for (int major : {4, 5}) {
    system.ntMajor = major;
    CdDevice device;  // the constructor makes the automatic choice
    EXPECT_EQ(2, device.TransportKind()) << major;
    EXPECT_NE(nullptr, device.Transport());
  }
  for (int major : {0, 3, 6, 10}) {
    system.ntMajor = major;
    CdDevice device;
    EXPECT_EQ(0, device.TransportKind()) << major;
    EXPECT_EQ(nullptr, device.Transport());
    EXPECT_EQ(0, device.SetTransport(1));
    // An explicit kind does not depend on the version.
    EXPECT_EQ(1, device.SetTransport(2));
    EXPECT_EQ(2, device.TransportKind());
    EXPECT_EQ(1, device.SetTransport(3));
    EXPECT_EQ(3, device.TransportKind());
    EXPECT_EQ(0, device.SetTransport(7));
    EXPECT_EQ(0, device.TransportKind());
    EXPECT_EQ(0, device.SetTransport(0));
    EXPECT_EQ(0, device.SetTransport(-1));
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

TEST(DeviceUnits, FramesToMsfSplitsWithoutOffset) {
  int m = -1, s = -1, f = -1;
  CdDevice::FramesToMsf(4500 * 3 + 75 * 7 + 9, &m, &s, &f);
  EXPECT_EQ(3, m);
  EXPECT_EQ(7, s);
  EXPECT_EQ(9, f);
}

}  // namespace
