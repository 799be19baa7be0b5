#include <gtest/gtest.h>

#include <map>
#include <string>

#include "device/aspi_transport.h"
#include "device/cd_device.h"
#include "device/device_map.h"
#include "device_test_support.h"

namespace {

using devtest::Bytes;

class MemoryProfile : public Profile {
 public:
  std::map<std::string, std::string> values;  // "section/key"
  int reads = 0;
  std::string GetString(const char* section, const char* key, const char* fallback, const char*,
                        std::size_t) override {
    ++reads;
    auto it = values.find(std::string(section) + "/" + key);
    return it == values.end() ? fallback : it->second;
  }
  unsigned int GetInt(const char*, const char*, int fallback, const char*) override { return fallback; }
  bool WriteString(const char*, const char*, const char*, const char*) override { return false; }
  bool HasSection(const char*, const char*) override { return false; }
};

TEST(DeviceMap, OnlyValuesOfExactlyThreeFieldsCount) {
  MemoryProfile profile;
  const char* values[][2] = {{"D", "1:0:0"}, {"E", "1:0"},       {"F", "1:0:0:0"},         {"G", "x:0:0"},
                             {"H", "2x:13 :7"}, {"I", ""},       {"K", "99999999999:-1:3"}};
  for (auto& v : values) profile.values[std::string("QZ_CDDAPLAYER/AspiDevMap_") + v[0]] = v[1];
  profile.values["OTHER/AspiDevMap_L"] = "1:2:3";

  DeviceMap map{{'Z', DeviceMapEntry{}}};  // emptied first
  LoadDeviceMap(profile, "winamp.ini", map);
  EXPECT_EQ(26, profile.reads);
  std::string letters;
  std::vector<int> fields;
  for (const auto& e : map) {
    letters += e.first;
    fields.insert(fields.end(), {e.second.hostAdapter, e.second.target, e.second.lun});
  }
  EXPECT_EQ("DGHK", letters);
  EXPECT_EQ((std::vector<int>{1, 0, 0, 0, 0, 0, 2, 13, 7, INT32_MAX, 0, 3}), fields);
}

// An ASPI transport whose layer is "loaded" and answers INQUIRY, so that its
// own device-map addressing decides which drives are probed.
class LoadedAspi : public AspiTransport {
 public:
  int sends = 0;
  int Initialize() override { return 1; }
  int IsAvailable() override { return 1; }
  int Send(const std::uint8_t*, std::uint8_t, void* data, std::uint32_t length) override {
    ++sends;
    std::memcpy(data, devtest::InquiryData().data(), std::min<std::uint32_t>(length, 36));
    return 0;
  }
};

TEST(DeviceMap, OverAspiOnlyMappedDrivesEnterTheTable) {
  devtest::FakeSystem system;
  system.roots = {"D:\\", "E:\\"};
  system.cdroms = {'D', 'E'};
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  InstallDeviceMap(device, DeviceMap{{'D', {}}});  // no ASPI transport yet: nothing happens
  auto owned = std::make_unique<LoadedAspi>();
  LoadedAspi* aspi = owned.get();
  device.InstallTransport(std::move(owned), 3);
  aspi->SetDeviceMapEntry('q', 9, 9, 9);
  InstallDeviceMap(device, DeviceMap{{'E', {2, 5, 1}}});  // replaces the old map
  ASSERT_EQ(1u, aspi->DeviceMap().size());

  EXPECT_EQ(1, device.EnumerateDrives());
  EXPECT_EQ(0, device.FindDrive('D'));
  EXPECT_EQ(1, aspi->sends);  // nothing was sent for the unmapped drive
  const CdDrive& e = device.Drives().at('E');
  EXPECT_EQ((std::vector<int>{2, 5, 1}), (std::vector<int>{e.address.PortNumber, e.address.TargetId, e.address.Lun}));

  std::uint8_t cdb[6] = {};
  CdDrive unmapped;
  unmapped.rootPath = "D:\\";
  EXPECT_EQ(-1, aspi->SendToDrive(unmapped, cdb, 6, nullptr, 0));
  EXPECT_EQ(0, aspi->Open(unmapped));
  ScsiAddress address{8, 0, 0x77, 0, 0};
  aspi->Open(e);
  aspi->GetAddress(&address);
  EXPECT_EQ(0x77, address.PathId);  // not written
}

TEST(DeviceDrives, EveryCdRomIsProbedAndDecoded) {
  devtest::FakeSystem system;
  system.roots = {"c:\\", "d:\\", "E:\\", "F:\\", "G:\\", "h:\\", "1:\\", ""};
  system.cdroms = {'d', 'E', 'F', 'G', 'h', '1'};
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  auto owned = std::make_unique<devtest::ScriptedTransport>();
  devtest::ScriptedTransport* t = owned.get();
  t->openable = {'D', 'E', 'G', 'H'};  // F cannot be opened
  Bytes inquiry = devtest::InquiryData();
  inquiry[0] = 0xA5;  // qualifier 5, type 5
  inquiry[1] = 0x80;  // removable
  inquiry[2] = 0xD2;  // ISO 3, ECMA 2, ANSI 2
  inquiry[3] = 0xC2;  // AENC, TrmIOP, format 2
  inquiry[7] = 0xBB;  // RelAdr, WBus16, Sync, Linked, CmdQue, SftRe; not WBus32
  t->replies[devtest::kInquiryCdb] = inquiry;
  device.InstallTransport(std::move(owned), 2);

  t->initializeResult = 0;
  EXPECT_EQ(-2, device.EnumerateDrives());
  t->initializeResult = 1;
  EXPECT_EQ(4, device.EnumerateDrives());
  std::string letters;
  for (const auto& e : device.Drives()) letters += e.first;
  EXPECT_EQ("DEGH", letters);
  EXPECT_EQ(5, t->opens);  // D E F G H: every CD-ROM, not just four
  EXPECT_EQ(4, t->closes);
  EXPECT_TRUE(t->sent[0].alignedAndZeroed);

  const CdDrive& d = device.Drives().at('D');
  EXPECT_EQ("D:\\", d.rootPath);
  EXPECT_EQ("ABC", d.vendor);
  EXPECT_EQ("CD-ROM X", d.product);
  EXPECT_EQ("1.0", d.revision);
  EXPECT_EQ((std::vector<int>{5, 5, 1, 3, 2, 2, 1, 1, 2, 1, 0, 1, 1, 1, 1, 1}),
            (std::vector<int>{d.peripheralQualifier, d.peripheralDeviceType, d.removableMedium, d.isoVersion,
                              d.ecmaVersion, d.ansiVersion, d.aenc, d.trmIop, d.responseDataFormat, d.relAdr,
                              d.wbus32, d.wbus16, d.sync, d.linked, d.cmdQue, d.sftRe}));
  EXPECT_EQ(2, d.address.PathId);

  // A failed INQUIRY skips the drive but still closes it.
  t->failing.insert(devtest::kInquiryCdb);
  t->closes = 0;
  EXPECT_EQ(0, device.EnumerateDrives());
  EXPECT_EQ(4, t->closes);
  EXPECT_EQ(0, device.FindDrive('D')) << "a drive of an earlier enumeration stayed in the table";

  // A table from another transport or map is never kept: without a working
  // transport there are no drives.
  t->failing.clear();
  EXPECT_EQ(4, device.EnumerateDrives());
  t->initializeResult = 0;
  EXPECT_EQ(-2, device.EnumerateDrives());
  EXPECT_TRUE(device.Drives().empty());
}

TEST(DeviceDrives, FindSelectAndUsable) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  devtest::ScriptedTransport* t = devtest::AttachDriveD(device, system);

  EXPECT_EQ('D', device.FindDrive('d'));
  EXPECT_EQ(0, device.FindDrive('E'));
  EXPECT_EQ(0, device.SelectDrive('E'));
  EXPECT_EQ('D', device.CurrentDriveLetter());
  EXPECT_EQ('D', device.SelectDrive('d'));
  EXPECT_EQ(1, device.IsDriveUsable('d'));
  EXPECT_EQ(0, t->openLetter);  // closed again
  EXPECT_EQ(0, device.IsDriveUsable('E'));
  t->openable.clear();
  EXPECT_EQ(0, device.IsDriveUsable('D'));

  CdDrive drive;  // zero padding counts as blanks; short data is refused
  Bytes data = devtest::InquiryData();
  data[9] = 0;
  ASSERT_TRUE(DecodeInquiry(data.data(), 36, drive));
  EXPECT_EQ("A", drive.vendor);
  EXPECT_FALSE(DecodeInquiry(data.data(), 35, drive));
}

TEST(DeviceSystemInfo, DriveStringsSplitWithinTheBuffer) {
  const char buffer[] = "C:\\\0D:\\\0\0E:\\";
  EXPECT_EQ((std::vector<std::string>{"C:\\", "D:\\"}), SplitDriveStrings(buffer, sizeof(buffer) - 1));
  EXPECT_EQ((std::vector<std::string>{"C:"}), SplitDriveStrings(buffer, 2));
}

TEST(DeviceTransportChoice, AspiSettingFallsBackToSpti) {
  devtest::FakeSystem system;
  system.ntMajor = 0;  // Windows 98: nothing without the setting
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  ChooseTransport(device, false, DeviceMap{});
  EXPECT_EQ(0, device.TransportKind());  // the automatic choice stays
#ifndef _WIN32
  ChooseTransport(device, true, DeviceMap{});  // no ASPI layer: SPTI whatever the version
  EXPECT_EQ(2, device.TransportKind());
#endif
}

}  // namespace
