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
                        std::size_t bufferSize) override {
    ++reads;
    auto it = values.find(std::string(section) + "/" + key);
    std::string value = it == values.end() ? fallback : it->second;
    if (bufferSize > 0 && value.size() > bufferSize - 1) value.resize(bufferSize - 1);
    return value;
  }
  unsigned int GetInt(const char*, const char*, int fallback, const char*) override { return fallback; }
  bool WriteString(const char*, const char*, const char*, const char*) override { return false; }
};

TEST(DeviceMap, OnlyValuesOfExactlyThreeFieldsCount) {
  MemoryProfile profile;
  profile.values["QZ_CDDAPLAYER/AspiDevMap_D"] = "1:0:0";
  profile.values["QZ_CDDAPLAYER/AspiDevMap_E"] = "1:0";
  profile.values["QZ_CDDAPLAYER/AspiDevMap_F"] = "1:0:0:0";
  profile.values["QZ_CDDAPLAYER/AspiDevMap_G"] = "x:0:0";
  profile.values["QZ_CDDAPLAYER/AspiDevMap_H"] = "2x:13 :7";
  profile.values["QZ_CDDAPLAYER/AspiDevMap_I"] = "";
  profile.values["QZ_CDDAPLAYER/AspiDevMap_J"] = "::";
  profile.values["QZ_CDDAPLAYER/AspiDevMap_K"] = "99999999999:-1:3";
  profile.values["OTHER/AspiDevMap_L"] = "1:2:3";

  DeviceMap map;
  map['Z'] = DeviceMapEntry{};  // emptied first
  LoadDeviceMap(profile, "winamp.ini", map);
  EXPECT_EQ(26, profile.reads);
  std::string letters;
  for (const auto& e : map) letters += e.first;
  EXPECT_EQ("DGHJK", letters);
  EXPECT_EQ(1, map['D'].hostAdapter);
  EXPECT_EQ(0, map['D'].target);
  EXPECT_EQ(0, map['D'].lun);
  EXPECT_EQ(0, map['G'].hostAdapter);
  EXPECT_EQ(2, map['H'].hostAdapter);
  EXPECT_EQ(13, map['H'].target);
  EXPECT_EQ(7, map['H'].lun);
  EXPECT_EQ(INT32_MAX, map['K'].hostAdapter);
  EXPECT_EQ(0, map['K'].target);
}

// An ASPI transport whose layer is "loaded" and answers INQUIRY, so that
// its own device-map addressing decides what is probed.
class LoadedAspi : public AspiTransport {
 public:
  int sends = 0;
  int Initialize() override { return 1; }
  int IsAvailable() override { return 1; }
  int Send(const std::uint8_t*, std::uint8_t, void* data, std::uint32_t length) override {
    ++sends;
    Bytes inquiry = devtest::InquiryData();
    std::memcpy(data, inquiry.data(), std::min<std::size_t>(length, inquiry.size()));
    return 0;
  }
};

TEST(DeviceMap, OverAspiOnlyMappedDrivesEnterTheTable) {
  devtest::FakeSystem system;
  system.roots = {"D:\\", "E:\\"};
  system.cdroms = {'D', 'E'};
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  auto owned = std::make_unique<LoadedAspi>();
  LoadedAspi* aspi = owned.get();
  device.InstallTransport(std::move(owned), 3);

  DeviceMap map;
  map['E'] = DeviceMapEntry{2, 5, 1};
  InstallDeviceMap(device, map);
  ASSERT_EQ(1u, aspi->DeviceMap().size());

  EXPECT_EQ(1, device.EnumerateDrives());
  EXPECT_EQ(0, device.FindDrive('D'));
  EXPECT_EQ('E', device.FindDrive('E'));
  EXPECT_EQ(1, aspi->sends);  // nothing is sent to the unmapped drive
  // The port number carries the host adapter; the path id stays as it was.
  const CdDrive& e = device.Drives().at('E');
  EXPECT_EQ(2, e.address.PortNumber);
  EXPECT_EQ(5, e.address.TargetId);
  EXPECT_EQ(1, e.address.Lun);

  CdDrive unmapped;
  unmapped.rootPath = "D:\\";
  std::uint8_t cdb[6] = {};
  EXPECT_EQ(-1, aspi->SendToDrive(unmapped, cdb, 6, nullptr, 0));
  EXPECT_EQ(0, aspi->Open(unmapped));

  ScsiAddress address{8, 0, 0x77, 0, 0};
  aspi->Open(e);
  aspi->GetAddress(&address);
  EXPECT_EQ(0x77, address.PathId);
}

TEST(DeviceMap, InstallIsForAspiOnly) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  device.InstallTransport(std::make_unique<devtest::ScriptedTransport>(), 2);
  DeviceMap map;
  map['D'] = DeviceMapEntry{1, 0, 0};
  InstallDeviceMap(device, map);  // no ASPI transport: nothing happens

  device.SetTransport(3);
  auto* aspi = dynamic_cast<AspiTransport*>(device.Transport());
  ASSERT_NE(nullptr, aspi);
  aspi->SetDeviceMapEntry('Q', 9, 9, 9);
  InstallDeviceMap(device, map);
  ASSERT_EQ(1u, aspi->DeviceMap().size());
  EXPECT_EQ(1, aspi->DeviceMap().at('D').hostAdapter);
}

TEST(DeviceDrives, EveryCdRomIsProbedAndDecoded) {
  devtest::FakeSystem system;
  system.roots = {"c:\\", "d:\\", "E:\\", "F:\\", "G:\\", "h:\\", "1:\\", ""};
  system.cdroms = {'d', 'E', 'F', 'G', 'h', '1'};
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  auto owned = std::make_unique<devtest::ScriptedTransport>();
  devtest::ScriptedTransport* transport = owned.get();
  transport->openable = {'D', 'E', 'G', 'H'};  // F cannot be opened
  Bytes inquiry = devtest::InquiryData("ABC     ", "CD-ROM X   1    ", "1.0 ");
  inquiry[0] = 0xA5;  // qualifier 5, type 5
  inquiry[2] = 0xD2;  // ISO 3, ECMA 2, ANSI 2
  inquiry[3] = 0xC2;  // AENC, TrmIOP, format 2
  inquiry[7] = 0xBB;  // RelAdr, WBus16, Sync, Linked, CmdQue, SftRe
  transport->Reply(devtest::kInquiryCdb, inquiry);
  device.InstallTransport(std::move(owned), 2);

  transport->initializeResult = 0;
  EXPECT_EQ(-2, device.EnumerateDrives());
  transport->initializeResult = 1;
  EXPECT_EQ(4, device.EnumerateDrives());
  std::string letters;
  for (const auto& e : device.Drives()) letters += e.first;
  EXPECT_EQ("DEGH", letters);
  EXPECT_EQ(5, transport->opens);  // D E F G H: every CD-ROM, never C
  EXPECT_EQ(4, transport->closes);
  for (const auto& c : transport->sent) {
    EXPECT_EQ("Send", c.via);
    EXPECT_EQ(36u, c.dataLength);
    EXPECT_TRUE(c.aligned);
  }

  const CdDrive& d = device.Drives().at('D');
  EXPECT_EQ("D:\\", d.rootPath);
  EXPECT_EQ('D', d.letter);
  EXPECT_EQ("ABC", d.vendor);
  EXPECT_EQ("CD-ROM X   1", d.product);
  EXPECT_EQ("1.0", d.revision);
  EXPECT_EQ(5, d.peripheralQualifier);
  EXPECT_EQ(5, d.peripheralDeviceType);
  EXPECT_EQ(1, d.removableMedium);
  EXPECT_EQ(3, d.isoVersion);
  EXPECT_EQ(2, d.ecmaVersion);
  EXPECT_EQ(2, d.ansiVersion);
  EXPECT_EQ(1, d.aenc);
  EXPECT_EQ(1, d.trmIop);
  EXPECT_EQ(2, d.responseDataFormat);
  EXPECT_EQ(1, d.relAdr);
  EXPECT_EQ(0, d.wbus32);
  EXPECT_EQ(1, d.wbus16);
  EXPECT_EQ(1, d.sync);
  EXPECT_EQ(1, d.linked);
  EXPECT_EQ(1, d.cmdQue);
  EXPECT_EQ(1, d.sftRe);
  EXPECT_EQ(2, d.address.PathId);

  // A failed INQUIRY skips the drive but still closes it.
  transport->failing.insert(devtest::kInquiryCdb);
  transport->opens = transport->closes = 0;
  EXPECT_EQ(0, device.EnumerateDrives());
  EXPECT_EQ(4, transport->closes);
  EXPECT_EQ(4u, device.Drives().size());  // the earlier records stay
}

TEST(DeviceDrives, FindSelectAndUsable) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  devtest::ScriptedTransport* transport = devtest::AttachDriveD(device, system);

  EXPECT_EQ('D', device.FindDrive('d'));
  EXPECT_EQ(0, device.FindDrive('E'));
  EXPECT_EQ(0, device.SelectDrive('E'));
  EXPECT_EQ('D', device.CurrentDriveLetter());
  EXPECT_EQ('D', device.SelectDrive('d'));
  ASSERT_NE(nullptr, device.CurrentDrive());
  EXPECT_EQ("D:\\", device.CurrentDrive()->rootPath);

  EXPECT_EQ(1, device.IsDriveUsable('d'));
  EXPECT_EQ(0, transport->openLetter);  // closed again
  EXPECT_EQ(0, device.IsDriveUsable('E'));
  transport->openable.clear();
  EXPECT_EQ(0, device.IsDriveUsable('D'));
}

TEST(DeviceDrives, InquiryFieldsPaddedWithZerosAndShortData) {
  CdDrive drive;
  Bytes data = devtest::InquiryData("AB\0\0\0\0\0\0", "                ", "    ");
  ASSERT_TRUE(DecodeInquiry(data.data(), data.size(), drive));
  EXPECT_EQ("AB", drive.vendor);
  EXPECT_EQ("", drive.product);
  EXPECT_EQ("", drive.revision);
  EXPECT_FALSE(DecodeInquiry(data.data(), 35, drive));
}

TEST(DeviceSystemInfo, DriveStringsSplitWithinTheBuffer) {
  const char buffer[] = "C:\\\0D:\\\0\0E:\\";
  EXPECT_EQ((std::vector<std::string>{"C:\\", "D:\\"}), SplitDriveStrings(buffer, sizeof(buffer) - 1));
  EXPECT_EQ((std::vector<std::string>{"C:"}), SplitDriveStrings(buffer, 2));
  EXPECT_TRUE(SplitDriveStrings(buffer, 0).empty());
}

TEST(DeviceTransportChoice, AspiSettingFallsBackToSpti) {
  devtest::FakeSystem system;
  system.ntMajor = 6;
  devtest::ScopedSystem scoped(system);
  CdDevice device;
  DeviceMap map;
  ChooseTransport(device, false, map);
  EXPECT_EQ(0, device.TransportKind());  // the automatic choice stays
#ifndef _WIN32
  // No ASPI layer here: SPTI is forced whatever the version.
  ChooseTransport(device, true, map);
  EXPECT_EQ(2, device.TransportKind());
#endif
}

}  // namespace
