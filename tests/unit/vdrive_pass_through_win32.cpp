// The pass-through stand-ins of the replacement wnaspi32.dll, called as a
// plug-in calls CreateFileA, DeviceIoControl and CloseHandle.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "tests/unit/vdrive_test_support.h"

namespace {

using CreateFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using IoctlFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
using CloseFn = BOOL(WINAPI*)(HANDLE);
using ControlFn = int (*)(int, int, int, const char*);

using vdrive_test::Entry;

constexpr DWORD kRW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct Block {
  SCSI_PASS_THROUGH_DIRECT request;
  ULONG filler;
  UCHAR sense[32];
};

class VdrivePassThrough : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = vdrive_test::LoadLibraryBesideProgram();
    ASSERT_NE(nullptr, lib_);
    create_ = Entry<CreateFn>(lib_, "VDriveCreateFileA");
    ioctl_ = Entry<IoctlFn>(lib_, "VDriveDeviceIoControl");
    close_ = Entry<CloseFn>(lib_, "VDriveCloseHandle");
    inject_ = Entry<ControlFn>(lib_, "VDriveInjectFault");
    ASSERT_TRUE(create_ && ioctl_ && close_ && inject_);
    discgen::DiscOptions options;
    options.audioTracks = 2;
    std::string cue, error;
    dir_ = vdrive_test::FreshDir("pt");
    ASSERT_EQ(0, discgen::GenerateDisc(options, dir_, &cue, &error)) << error;
    ini_ = vdrive_test::WriteFile(dir_, "vdrive.ini", "[1:2:0]\r\nletter=d\r\ncue=disc.cue\r\nvendor=PTVENDOR\r\n");
    ASSERT_EQ(1, Entry<int (*)(const char*)>(lib_, "VDriveLoadConfig")(ini_.c_str()));
  }
  void TearDown() override {
    if (lib_) Entry<int (*)(const char*)>(lib_, "VDriveLoadConfig")(nullptr);
    if (lib_) FreeLibrary(lib_);
  }
  HANDLE Open(DWORD access, DWORD share, const char* path = "\\\\.\\D:") {
    return create_(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  // One command as the plug-in sends it; the call's result, the block kept.
  BOOL Send(HANDLE h, const std::uint8_t* cdb, UCHAR cdbLength, void* data, ULONG length, Block* block) {
    std::memset(block, 0, sizeof *block);
    block->request.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
    block->request.CdbLength = cdbLength;
    block->request.SenseInfoLength = 24;
    block->request.DataIn = SCSI_IOCTL_DATA_IN;
    block->request.DataTransferLength = length;
    block->request.TimeOutValue = 15;
    block->request.DataBuffer = data;
    block->request.SenseInfoOffset = offsetof(Block, sense);
    std::memcpy(block->request.Cdb, cdb, cdbLength);
    DWORD returned = 0;
    return ioctl_(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, block, sizeof *block, block, sizeof *block, &returned, nullptr);
  }

  HMODULE lib_ = nullptr;
  std::string dir_, ini_;
  CreateFn create_ = nullptr;
  IoctlFn ioctl_ = nullptr;
  CloseFn close_ = nullptr;
  ControlFn inject_ = nullptr;
};

const std::uint8_t kInquiry[6] = {0x12, 0, 0, 0, 0x24, 0};
const std::uint8_t kTur[6] = {};

TEST_F(VdrivePassThrough, ASecondOpenMustShareWhatTheFirstUsesAndTheOtherWayRound) {
  struct Case {
    DWORD access1, share1, access2, share2;
    bool opens;
  } const cases[] = {
      {kRW, FILE_SHARE_READ, kRW, kShareRW, false},  // the first does not share its writing
      {kRW, kShareRW, kRW, FILE_SHARE_READ, false},  // the second would not share the first's writing
      {kRW, kShareRW, kRW, kShareRW, true},
      {GENERIC_READ, kShareRW, kRW, FILE_SHARE_READ, true},
      {0, 0, kRW, kShareRW, true},  // no data access: neither checked nor counted
      {kRW, 0, 0, 0, true},
  };
  for (const Case& c : cases) {
    HANDLE first = Open(c.access1, c.share1);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    HANDLE second = Open(c.access2, c.share2);
    EXPECT_EQ(c.opens, second != INVALID_HANDLE_VALUE) << c.access1 << "/" << c.share1 << " then " << c.access2;
    if (second == INVALID_HANDLE_VALUE) {
      EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    } else {
      EXPECT_TRUE(close_(second));
    }
    EXPECT_TRUE(close_(first));
  }
  HANDLE file = Open(GENERIC_READ, FILE_SHARE_READ, ini_.c_str());  // other names reach the system
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_TRUE(close_(file));
}

TEST_F(VdrivePassThrough, RequestsAreCheckedAndFailedCommandsReturnStatusAndSense) {
  HANDLE readOnly = Open(GENERIC_READ, kShareRW);
  Block block;
  std::uint8_t data[36] = {};
  EXPECT_FALSE(Send(readOnly, kInquiry, 6, data, 36, &block)) << "pass-through needs write access";
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  SCSI_ADDRESS address = {};
  DWORD returned = 0;
  ASSERT_TRUE(ioctl_(readOnly, IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address, &returned, nullptr));
  EXPECT_EQ(sizeof address, returned);
  EXPECT_EQ(1, address.PortNumber);
  EXPECT_EQ(2, address.TargetId);
  close_(readOnly);

  HANDLE h = Open(kRW, kShareRW);
  ASSERT_TRUE(Send(h, kInquiry, 6, data, 36, &block));
  EXPECT_EQ(0, block.request.ScsiStatus);
  EXPECT_EQ(0, block.request.SenseInfoLength);
  EXPECT_EQ(36u, block.request.DataTransferLength);
  EXPECT_EQ(0, std::memcmp(data + 8, "PTVENDOR", 8));

  ASSERT_EQ(0, inject_(1, 2, 0, "fail 0x00 times=1"));
  ASSERT_TRUE(Send(h, kTur, 6, nullptr, 0, &block)) << "the request itself was delivered";
  EXPECT_EQ(2, block.request.ScsiStatus);
  EXPECT_EQ(18, block.request.SenseInfoLength);
  EXPECT_EQ(0x70, block.sense[0]);
  EXPECT_EQ(0x04, block.sense[2]);
  EXPECT_EQ(0x44, block.sense[12]);

  block.request.Length = 40;
  EXPECT_FALSE(ioctl_(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block, sizeof block, &returned,
                      nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_REVISION_MISMATCH), GetLastError());
  close_(h);
}

}  // namespace
