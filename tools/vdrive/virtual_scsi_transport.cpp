#include "tools/vdrive/virtual_scsi_transport.h"

#include <cctype>

namespace vdrive {

char VirtualScsiTransport::Key(char letter) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

void VirtualScsiTransport::Attach(char letter, std::shared_ptr<VirtualDrive> drive, ScsiAddress address) {
  drives_[Key(letter)] = Slot{std::move(drive), address};
}

void VirtualScsiTransport::Detach(char letter) {
  drives_.erase(Key(letter));
  if (open_ == Key(letter)) open_ = 0;
}

int VirtualScsiTransport::Run(char letter, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                              std::uint32_t dataLength) {
  lastSenseKey_ = -1;
  const auto it = drives_.find(Key(letter));
  if (it == drives_.end() || !it->second.drive) return -1;
  const CommandResult r =
      it->second.drive->Execute(cdb, cdbLength, static_cast<std::uint8_t*>(data), data ? dataLength : 0);
  if (r.status == CommandResult::kCheckCondition) lastSenseKey_ = r.sense.key;
  return r.ok() ? 0 : -1;
}

int VirtualScsiTransport::SendToDrive(const CdDrive& drive, const std::uint8_t* cdb, std::uint8_t cdbLength,
                                      void* data, std::uint32_t dataLength) {
  return Run(drive.DriveLetter(), cdb, cdbLength, data, dataLength);
}

int VirtualScsiTransport::Open(const CdDrive& drive) {
  const char letter = Key(drive.DriveLetter());
  if (drives_.count(letter) == 0) return 0;
  open_ = letter;
  return 1;
}

int VirtualScsiTransport::Close() {
  if (open_ == 0) return 0;
  open_ = 0;
  return 1;
}

int VirtualScsiTransport::Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength) {
  if (open_ == 0) return -1;
  return Run(open_, cdb, cdbLength, data, dataLength);
}

int VirtualScsiTransport::IsAvailable() { return 1; }

int VirtualScsiTransport::Initialize() { return 1; }

int VirtualScsiTransport::GetAddress(ScsiAddress* out) {
  const auto it = drives_.find(open_);
  if (out == nullptr || it == drives_.end()) return 0;
  *out = it->second.address;
  out->Length = sizeof(ScsiAddress);
  return 1;
}

}  // namespace vdrive
