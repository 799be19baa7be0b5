// The drive table of a CdDevice: enumeration with INQUIRY and selection.
#include <cctype>

#include "device/aligned_buffer.h"
#include "device/cd_device.h"
#include "device/mmc_commands.h"
#include "device/system_info.h"

namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::string Field(const std::uint8_t* data, std::size_t from, std::size_t to) {
  std::string text(reinterpret_cast<const char*>(data + from), to - from);
  // A field shorter than its slot may be padded with zeros instead of blanks.
  std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  std::size_t end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

}  // namespace

bool DecodeInquiry(const std::uint8_t* data, std::size_t length, CdDrive& drive) {
  if (!data || length < mmc::kInquiryLength) return false;
  drive.vendor = Field(data, 8, 16);
  drive.product = Field(data, 16, 32);
  drive.revision = Field(data, 32, 36);
  drive.peripheralQualifier = (data[0] >> 5) & 0x07;
  drive.peripheralDeviceType = data[0] & 0x1F;
  drive.removableMedium = (data[1] >> 7) & 1;
  drive.isoVersion = (data[2] >> 6) & 0x03;
  drive.ecmaVersion = (data[2] >> 3) & 0x07;
  drive.ansiVersion = data[2] & 0x07;
  drive.aenc = (data[3] >> 7) & 1;
  drive.trmIop = (data[3] >> 6) & 1;
  drive.responseDataFormat = data[3] & 0x0F;
  drive.relAdr = (data[7] >> 7) & 1;
  drive.wbus32 = (data[7] >> 6) & 1;
  drive.wbus16 = (data[7] >> 5) & 1;
  drive.sync = (data[7] >> 4) & 1;
  drive.linked = (data[7] >> 3) & 1;
  drive.cmdQue = (data[7] >> 1) & 1;
  drive.sftRe = data[7] & 1;
  return true;
}

int CdDevice::ProbeDrive(CdDrive& drive) {
  if (transport_->Open(drive) != 1) return 0;
  AlignedBuffer inquiry(mmc::kInquiryLength);
  const mmc::Cdb6 cdb = mmc::Inquiry();
  int found = 0;
  if (transport_->Send(cdb.data(), cdb.size(), inquiry.data(), inquiry.size()) == 0) {
    DecodeInquiry(inquiry.data(), inquiry.size(), drive);
    transport_->GetAddress(&drive.address);
    found = 1;
  }
  transport_->Close();
  return found;
}

int CdDevice::EnumerateDrives() {
  // Only what answers now: a library kept loaded past a quit enumerates again
  // at its next init, perhaps over another transport or device map, and a
  // drive of the old table would be reached at an address it no longer has.
  drives_.clear();
  if (!transport_ || transport_->Initialize() != 1) return -2;
  // The probe uses the transport's open drive, so the device's own must go.
  CloseDevice();
  SystemInfo& system = CurrentSystemInfo();
  int count = 0;
  for (const std::string& root : system.LogicalDriveStrings()) {
    if (root.empty() || !std::isalpha(static_cast<unsigned char>(root[0]))) continue;
    if (!system.IsCdRom(root)) continue;
    CdDrive drive;
    drive.rootPath = root;
    drive.rootPath[0] = Upper(root[0]);
    drive.letter = drive.rootPath[0];
    if (!ProbeDrive(drive)) continue;
    drives_[drive.letter] = drive;
    ++count;
  }
  return count;
}

char CdDevice::FindDrive(char letter) const {
  const char key = Upper(letter);
  for (const auto& entry : drives_) {
    if (!entry.second.rootPath.empty() && entry.second.rootPath[0] == key) return key;
  }
  return 0;
}

char CdDevice::SelectDrive(char letter) {
  const char key = Upper(letter);
  if (drives_.find(key) == drives_.end()) return 0;
  currentDrive_ = key;
  return key;
}

const CdDrive* CdDevice::CurrentDrive() const {
  auto it = drives_.find(currentDrive_);
  return it == drives_.end() ? nullptr : &it->second;
}

int CdDevice::IsDriveUsable(char letter) {
  auto it = drives_.find(Upper(letter));
  if (it == drives_.end() || !transport_) return 0;
  if (transport_->Reopen(it->second) != 1) return 0;
  transport_->Close();
  return 1;
}
