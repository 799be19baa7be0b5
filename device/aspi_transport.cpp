#include <cctype>

#include "device/aspi_transport.h"

void AspiTransport::SetDeviceMapEntry(char letter, std::int32_t hostAdapter, std::int32_t target,
                                      std::int32_t lun) {
  AspiAddress& entry = deviceMap_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))];
  entry.hostAdapter = hostAdapter;
  entry.target = target;
  entry.lun = lun;
}

const AspiAddress* AspiTransport::Lookup(char letter) const {
  auto it = deviceMap_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
  return it == deviceMap_.end() ? nullptr : &it->second;
}

int AspiTransport::Open(const CdDrive& drive) {
  const AspiAddress* address = Lookup(drive.DriveLetter());
  if (!address) return 0;
  open_ = *address;
  return 1;
}

int AspiTransport::Close() {
  open_ = AspiAddress{};
  return 0;
}

int AspiTransport::GetAddress(ScsiAddress* out) {
  if (!out) return 0;
  // The path id is left as the caller had it.
  out->PortNumber = static_cast<std::uint8_t>(open_.hostAdapter);
  out->TargetId = static_cast<std::uint8_t>(open_.target);
  out->Lun = static_cast<std::uint8_t>(open_.lun);
  return 0;
}

int AspiTransport::Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength) {
  return Execute(open_, cdb, cdbLength, data, dataLength);
}

int AspiTransport::SendToDrive(const CdDrive& drive, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                               std::uint32_t dataLength) {
  const AspiAddress* address = Lookup(drive.DriveLetter());
  lastSenseKey_ = -1;
  if (!address) return -1;
  return Execute(*address, cdb, cdbLength, data, dataLength);
}
