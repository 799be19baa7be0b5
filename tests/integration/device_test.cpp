// The device layer over both Windows paths to a drive: our AspiTransport
// against the replacement WNASPI32.DLL and our SptiTransport against the
// pass-through stand-ins, and the plug-in's start-up enumeration over each.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/cd_text_device.h"
#include "device/device_map.h"
#include "device/mmc_commands.h"
#include "tests/host/pass_through_stand_in.h"
#include "tests/host/test_host.h"
#include "tests/integration/transports.h"
#include "tests/integration/virtual_aspi.h"

namespace {

using transports::Transport;

constexpr int kInquiry = 0x12;

// D: answers at 0:0:0; the drive at 0:1:0 has neither a device map entry
// nor a letter.
std::string TwoDriveConfig(const std::string& cue) {
  return "[0:0:0]\r\nletter=D\r\ncue=" + cue +
         "\r\nvendor=QUORVO\r\nproduct=VIRTUAL CD-ROM\r\nrevision=1.00\r\n"
         "[0:1:0]\r\ncue=" + cue + "\r\nvendor=OTHER\r\nproduct=UNMAPPED\r\n";
}

std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }

class DeviceTest : public ::testing::TestWithParam<Transport> {
 protected:
  static void SetUpTestSuite() {
    // This program's own SptiTransport reaches the virtual drives too.
    ASSERT_TRUE(pass_through_stand_in::Install(GetModuleHandleA(nullptr)));
  }
  void SetUp() override {
    discgen::DiscOptions options;
    options.audioTracks = 5;
    options.trackFrames = 150;
    options.text = discgen::TextMode::EnglishJapanese;
    options.rawCdTextFile = true;
    cue_ = virtual_aspi::MakeDisc(options, "aspi_enja");
    ASSERT_FALSE(cue_.empty());
    ASSERT_EQ(2, virtual_aspi::Configure(TwoDriveConfig(cue_)));
  }
  void TearDown() override { DeleteFileA(IniPath().c_str()); }

  // Our own transport of the kind under test, reaching D: only.
  void ChooseTransport(CdDevice& device) {
    const bool aspi = GetParam() == Transport::kAspi;
    ASSERT_EQ(1, device.SetTransport(aspi ? kTransportAspi : kTransportSpti));
    ASSERT_EQ(1, device.Transport()->IsAvailable());
    DeviceMap map;
    map['D'] = DeviceMapEntry{0, 0, 0};
    if (aspi) InstallDeviceMap(device, map);
  }
  std::string Settings(const std::string& extra = "") {
    return "[QZ_CDDAPLAYER]\r\n" + transports::DriveSettings(GetParam(), {{'D', "0:0:0"}}) + extra;
  }
  std::string cue_;
};

INSTANTIATE_TEST_SUITE_P(Transports, DeviceTest, transports::kBoth, transports::ParamName);

TEST_P(DeviceTest, OurTransportEnumeratesOnlyReachableDrivesWithTheirInquiryData) {
  CdTextDevice device;
  ChooseTransport(device);

  // D: to I: are CD-ROM drives of the prefix; only D: reaches a drive.
  EXPECT_EQ(1, device.EnumerateDrives());
  ASSERT_EQ(1u, device.Drives().size());
  const CdDrive& d = device.Drives().at('D');
  EXPECT_EQ("QUORVO", d.vendor);
  EXPECT_EQ("VIRTUAL CD-ROM", d.product);
  EXPECT_EQ("1.00", d.revision);
  EXPECT_EQ(5, d.peripheralDeviceType);
  EXPECT_EQ(0u, virtual_aspi::CommandCount(0, 1, 0, kInquiry)) << "an unmapped drive was probed";
  EXPECT_EQ(1u, virtual_aspi::CommandCount(0, 0, 0, kInquiry));

  ASSERT_EQ('D', device.SelectDrive('d'));
  EXPECT_EQ(1, device.TestUnitReady());
  EXPECT_EQ(5, device.ReadToc());
  TrackEntry track;
  ASSERT_EQ(1, device.GetTrackEntry(5, &track));
  EXPECT_EQ(600u, track.start);
  EXPECT_EQ(150u, track.length);
  TitleInfo info;
  EXPECT_EQ(1, device.GetCdText(0, 0x09, &info));
  EXPECT_FALSE(info.title.empty());
  EXPECT_EQ(1, device.GetCdText(5, 0x69, &info));
  EXPECT_FALSE(info.title.empty());
}

TEST_P(DeviceTest, ACheckConditionIsAFailureAndItsDataAreNeverUsed) {
  CdDevice device;
  ChooseTransport(device);
  ASSERT_EQ(1, device.EnumerateDrives());
  ASSERT_EQ('D', device.SelectDrive('D'));
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "fail 0x00"));
  EXPECT_EQ(0, device.TestUnitReady()) << "a check condition must fail";
  EXPECT_EQ(5, device.ReadToc()) << "other commands still work";

  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "clear; fail 0x43 skip=1 times=1"));
  EXPECT_EQ(-1, device.ReadToc()) << "the LBA form failed: its buffer holds no table";
  EXPECT_EQ(0, device.GetTrackEntry(1, nullptr));
  ASSERT_EQ(0, virtual_aspi::Eject(0, 0, 0));
  EXPECT_EQ(0, device.TestUnitReady()) << "no disc";
  EXPECT_EQ(-1, device.ReadToc());
}

// A READ CD that delivers fewer bytes than asked (the rest of the buffer
// unwritten: silence) is read again once; short twice, it is a read error.
TEST_P(DeviceTest, AShortReadCdIsReadAgainOnceAndOtherwiseFails) {
  CdDevice device;
  ChooseTransport(device);
  ASSERT_EQ(1, device.EnumerateDrives());
  ASSERT_EQ('D', device.SelectDrive('D'));
  ASSERT_EQ(1, device.OpenDevice());
  std::vector<std::uint8_t> expected(15 * 2352), got(15 * 2352);
  for (int i = 0; i < 15; ++i) discgen::FillAudioFrame(300 + i, &expected[i * 2352]);
  const mmc::Cdb12 cdb = mmc::ReadCd(300, 15);
  for (const auto& [fault, readsAgain] : {std::pair<const char*, bool>{"short 0xBE bytes=4704 times=1", true},
                                          {"short 0xBE bytes=4704 times=2", false}}) {
    ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, fault));
    const unsigned before = virtual_aspi::CommandCount(0, 0, 0, 0xBE);
    std::fill(got.begin(), got.end(), 0);
    const int result = device.Transport()->Send(cdb.data(), 12, got.data(), static_cast<std::uint32_t>(got.size()));
    EXPECT_EQ(2u, virtual_aspi::CommandCount(0, 0, 0, 0xBE) - before) << fault;
    EXPECT_TRUE(readsAgain ? result == 0 && got == expected : result == -1) << fault;
  }
}

TEST_P(DeviceTest, ThePlugInProbesMappedDrivesOnBothReadersAtInit) {
  ini_file::Write(IniPath(), Settings(GetParam() == Transport::kAspi ? "AspiDevMap_E=0:0\r\n" : ""));
  TestHost host;
  ASSERT_TRUE(host.CreateMainWindow());
  In_Module* in = host.LoadInputPlugin();
  ASSERT_NE(nullptr, in);
  in->Init();
  EXPECT_EQ(2u, virtual_aspi::CommandCount(0, 0, 0, kInquiry)) << "the information and playback readers";
  EXPECT_EQ(0u, virtual_aspi::CommandCount(0, 1, 0, kInquiry)) << "a malformed map entry must not reach a drive";
  in->Quit();
  host.UnloadInputPlugin();
  EXPECT_EQ(GetParam() == Transport::kAspi ? "true" : "<missing>",
            ini_file::Value(ini_file::Read(IniPath()), "QZ_CDDAPLAYER", "Aspi"));
}

TEST_P(DeviceTest, ThreadedInitReturnsBeforeTheDrivesAreProbedAndSlotsWaitForIt) {
  ini_file::Write(IniPath(), Settings("MultithreadInitialize=true\r\n"));
  // The first INQUIRY never completes: the transport gives up after its
  // 15 s time-out, so the background initialisation is still busy when
  // Init returns.
  ASSERT_EQ(0, virtual_aspi::InjectFault(0, 0, 0, "hang 0x12 times=1"));
  TestHost host;
  ASSERT_TRUE(host.CreateMainWindow());
  In_Module* in = host.LoadInputPlugin();
  ASSERT_NE(nullptr, in);
  in->Init();
  EXPECT_LT(virtual_aspi::CommandCount(0, 0, 0, kInquiry), 2u) << "Init waited for the drive probes";
  char name[] = "cda://D,1";
  EXPECT_EQ(1, in->IsOurFile(name));
  EXPECT_EQ(2u, virtual_aspi::CommandCount(0, 0, 0, kInquiry)) << "a slot ran before initialisation finished";
  in->Quit();
}

// The device map alone does not bring ASPI in: the drive that only ASPI
// could reach gets nothing, D: is reached over the pass-through.
class PlugInDeviceTest : public DeviceTest {};

TEST_F(PlugInDeviceTest, WithoutAspiSettingThePlugInNeverTouchesTheAspiLayer) {
  ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspiDevMap_E=0:1:0\r\n");
  TestHost host;
  ASSERT_TRUE(host.CreateMainWindow());
  In_Module* in = host.LoadInputPlugin();
  ASSERT_NE(nullptr, in);
  in->Init();
  EXPECT_EQ(0u, virtual_aspi::CommandCount(0, 1, 0, -1));
  EXPECT_EQ(2u, virtual_aspi::CommandCount(0, 0, 0, kInquiry)) << "both readers over the pass-through";
  in->Quit();
}

// The transport choice in a second host process; quorvo_host reports the
// kind it ended with as exit code. Run from a folder without wnaspi32.dll it
// finds no ASPI layer (Wine's own is disabled by the test environment).
DWORD TransportKindInChild(bool withAspiLayer) {
  std::string dir = TestHost::ProgramDirectory();
  if (!withAspiLayer) {
    const std::string bare = dir + "\\no_aspi";
    CreateDirectoryA(bare.c_str(), nullptr);
    if (!CopyFileA((dir + "\\quorvo_host.exe").c_str(), (bare + "\\quorvo_host.exe").c_str(), FALSE)) return 97;
    dir = bare;
  }
  std::string command = "\"" + dir + "\\quorvo_host.exe\" --transport-kind";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) return 99;
  DWORD code = 98;
  if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

TEST(TransportChoice, AspiWhenTheLayerLoadsElsePassThrough) {
  EXPECT_EQ(static_cast<DWORD>(kTransportAspi), TransportKindInChild(true));
  EXPECT_EQ(static_cast<DWORD>(kTransportSpti), TransportKindInChild(false));
}

}  // namespace
