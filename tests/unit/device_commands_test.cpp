#include <gtest/gtest.h>

#include "device/cd_device.h"
#include "device/mmc_commands.h"
#include "device/scsi_status.h"
#include "device/spti_transport.h"
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
  EXPECT_EQ((Bytes{0x43, 0, 0x01, 0, 0, 0, 0, 0x00, 0x0C, 0}), B(mmc::ReadSessionInfo()));
  EXPECT_EQ((Bytes{0x43, 0, 0x02, 0, 0, 0, 0x02, 0x04, 0x92, 0}), B(mmc::ReadFullToc(2)));
  EXPECT_EQ((Bytes{0x43, 0, 0, 0, 0, 0, 0x01, 0x00, 0x0C, 0x40}), B(mmc::ReadSessionInfo(mmc::TocForm::kOld)));
  EXPECT_EQ((Bytes{0x43, 0, 0, 0, 0, 0, 0x02, 0x04, 0x92, 0x80}), B(mmc::ReadFullToc(2, mmc::TocForm::kOld)));
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
  system.ntMajor = 0;  // Windows 98: no automatic transport
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

TEST(DeviceTransportChoice, AutomaticMeansSptiOnEveryNtFrom4On) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  // 0 is the 95/98/ME platform; 6 is Vista to 8.1 (and 10 without a
  // manifest that names it), 10 is Windows 10 and 11.
  for (int major : {0, 3, 4, 5, 6, 10}) {
    system.ntMajor = major;
    CdDevice device;  // the constructor makes the automatic choice
    const int expected = major >= 4 ? 2 : 0;
    EXPECT_EQ(expected, device.TransportKind()) << major;
    EXPECT_EQ(expected != 0, device.Transport() != nullptr) << major;
    EXPECT_EQ(expected ? 1 : 0, device.SetTransport(1)) << major;
#ifdef _WIN32
    EXPECT_EQ(expected ? 1 : 0, SptiTransport().IsAvailable()) << major;
#endif
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

TEST(DeviceScsiStatus, OnlyGoodOrRecoveredDataCountAsSuccess) {
  struct Case {
    std::uint8_t status;
    Bytes sense;
    int expected;
  };
  const Bytes fixedRecovered{0x70, 0, 0x01, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x17, 0x01};
  const Bytes fixedNotReady{0xF0, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x00};  // valid bit set
  const Case cases[] = {
      {0x00, {}, 0},                                  // GOOD needs no sense data
      {0x02, fixedRecovered, 0},                      // corrected by the drive: the data are good
      {0x02, {0x72, 0x01, 0x17, 0x01}, 0},            // the same in descriptor format
      {0x02, fixedNotReady, -1},                      // no disc
      {0x02, {0x71, 0, 0x03, 0, 0, 0, 0, 10}, -1},    // unrecovered read error (deferred)
      {0x02, {0x73, 0x05, 0x20, 0}, -1},              // illegal request, descriptor format
      {0x02, {}, -1},                                 // check condition without sense data
      {0x02, {0x70, 0}, -1},                          // too short to hold a sense key
      {0x02, {0x00, 0, 0x01}, -1},                    // not sense data at all
      {0x08, {}, -1},                                 // BUSY
      {0x18, fixedRecovered, -1},                     // RESERVATION CONFLICT, whatever the sense says
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, scsi::CommandOutcome(c.status, c.sense.data(), c.sense.size()))
        << "status " << int(c.status) << " sense bytes " << c.sense.size();
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
