// The replacement ASPI layer, loaded the way the plug-in loads the real one.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/aspi_records.h"
#include "tests/unit/vdrive_test_support.h"

namespace {

typedef int (*LoadConfigFn)(const char*);
typedef int (*EjectFn)(int, int, int);
typedef int (*InsertFn)(int, int, int, const char*);
typedef int (*InjectFn)(int, int, int, const char*);
typedef unsigned (*CountFn)(int, int, int, int);

using vdrive_test::Entry;

class VdriveAspi : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = vdrive_test::LoadLibraryBesideProgram();
    ASSERT_NE(nullptr, lib_) << "wnaspi32.dll must lie beside the test program";
    support_ = Entry<aspi::GetASPI32SupportInfoFn>(lib_, "GetASPI32SupportInfo");
    send_ = Entry<aspi::SendASPI32CommandFn>(lib_, "SendASPI32Command");
    load_ = Entry<LoadConfigFn>(lib_, "VDriveLoadConfig");
    eject_ = Entry<EjectFn>(lib_, "VDriveEject");
    insert_ = Entry<InsertFn>(lib_, "VDriveInsert");
    inject_ = Entry<InjectFn>(lib_, "VDriveInjectFault");
    count_ = Entry<CountFn>(lib_, "VDriveCommandCount");
    ASSERT_TRUE(support_ && send_ && load_ && eject_ && insert_ && inject_ && count_) << "not our ASPI layer";

    discgen::DiscOptions options;
    options.audioTracks = 4;
    options.trackFrames = 75;
    std::string cue, error;
    dir_ = vdrive_test::FreshDir("aspi");
    ASSERT_EQ(0, discgen::GenerateDisc(options, dir_, &cue, &error)) << error;
    const std::string ini = vdrive_test::WriteFile(
        dir_, "vdrive.ini", "[1:2:0]\r\ncue=disc.cue\r\nvendor=TESTVEND\r\nproduct=ASPI DRIVE\r\n");
    ASSERT_EQ(1, load_(ini.c_str()));
  }
  void TearDown() override {
    if (load_) load_(nullptr);
    if (lib_) FreeLibrary(lib_);
  }

  // The plug-in's way: event notification, wait when pending.
  BYTE Exec(BYTE ha, BYTE target, const std::uint8_t* cdb, BYTE cdbLength, void* buf, DWORD length,
            aspi::SRB_ExecSCSICmd* out = nullptr, DWORD waitMs = 5000) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    aspi::SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = aspi::SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = ha;
    srb.SRB_Flags = aspi::SRB_DIR_IN | aspi::SRB_EVENT_NOTIFY;
    srb.SRB_Target = target;
    srb.SRB_BufLen = length;
    srb.SRB_BufPointer = static_cast<std::uint8_t*>(buf);
    srb.SRB_SenseLen = aspi::SENSE_LEN;
    srb.SRB_CDBLen = cdbLength;
    srb.SRB_PostProc = event;
    std::memcpy(srb.CDBByte, cdb, cdbLength);
    if (send_(&srb) == aspi::SS_PENDING && WaitForSingleObject(event, waitMs) == WAIT_TIMEOUT) {
      aspi::SRB_Abort abort;
      std::memset(&abort, 0, sizeof abort);
      abort.SRB_Cmd = aspi::SC_ABORT_SRB;
      abort.SRB_HaId = ha;
      abort.SRB_ToAbort = &srb;
      EXPECT_EQ(aspi::SS_COMP, send_(&abort));
    }
    CloseHandle(event);
    if (out) *out = srb;
    return srb.SRB_Status;
  }

  HMODULE lib_ = nullptr;
  std::string dir_;
  aspi::GetASPI32SupportInfoFn support_ = nullptr;
  aspi::SendASPI32CommandFn send_ = nullptr;
  LoadConfigFn load_ = nullptr;
  EjectFn eject_ = nullptr;
  InsertFn insert_ = nullptr;
  InjectFn inject_ = nullptr;
  CountFn count_ = nullptr;
};

const std::uint8_t kInquiry[6] = {0x12, 0, 0, 0, 0x24, 0};
const std::uint8_t kTocLba[10] = {0x43, 0, 0, 0, 0, 0, 0x01, 0x03, 0x24, 0};
const std::uint8_t kTur[6] = {0, 0, 0, 0, 0, 0};

TEST_F(VdriveAspi, AdaptersAndInquiryDescribeTheConfiguredDrive) {
  EXPECT_EQ((static_cast<DWORD>(aspi::SS_COMP) << 8) | 2u, support_());  // adapters 0 and 1
  std::uint8_t inquiry[36] = {};
  EXPECT_EQ(aspi::SS_COMP, Exec(1, 2, kInquiry, 6, inquiry, 36));
  EXPECT_EQ(5, inquiry[0]);
  EXPECT_EQ(0, std::memcmp(inquiry + 8, "TESTVENDASPI DRIVE      ", 24));
  EXPECT_EQ(aspi::SS_NO_DEVICE, Exec(1, 3, kInquiry, 6, inquiry, 36));
  EXPECT_EQ(aspi::SS_NO_DEVICE, Exec(0, 2, kInquiry, 6, inquiry, 36));

  std::uint8_t toc[804] = {};
  EXPECT_EQ(aspi::SS_COMP, Exec(1, 2, kTocLba, 10, toc, sizeof toc));
  EXPECT_EQ(4, toc[3]);
  EXPECT_EQ(0xAA, toc[4 + 4 * 8 + 2]);
  EXPECT_EQ(300u, static_cast<unsigned>((toc[4 + 4 * 8 + 6] << 8) | toc[4 + 4 * 8 + 7]));
  EXPECT_EQ(1u, count_(1, 2, 0, 0x43));
  EXPECT_EQ(2u, count_(1, 2, 0, -1));
}

TEST_F(VdriveAspi, CheckConditionsHangsAndDiscChanges) {
  ASSERT_EQ(0, eject_(1, 2, 0));
  aspi::SRB_ExecSCSICmd srb;
  EXPECT_EQ(aspi::SS_ERR, Exec(1, 2, kTur, 6, nullptr, 0, &srb));
  EXPECT_EQ(2, srb.SRB_TargStat);
  EXPECT_EQ(0x02, srb.SenseArea[2] & 0x0F);
  EXPECT_EQ(0x3A, srb.SenseArea[12]);

  ASSERT_EQ(0, insert_(1, 2, 0, "disc.cue"));  // relative to the configuration's folder
  EXPECT_EQ(aspi::SS_COMP, Exec(1, 2, kTur, 6, nullptr, 0));
  ASSERT_EQ(0, inject_(1, 2, 0, "hang 0x00 times=1"));
  EXPECT_EQ(aspi::SS_ABORTED, Exec(1, 2, kTur, 6, nullptr, 0, nullptr, 100));
  EXPECT_EQ(aspi::SS_COMP, Exec(1, 2, kTur, 6, nullptr, 0));
  EXPECT_EQ(-1, inject_(1, 2, 0, "nonsense"));
  EXPECT_EQ(-1, eject_(5, 0, 0));
}

}  // namespace
