#include "device/scsi_transport.h"

int ScsiTransport::SendToDrive(const CdDrive&, const std::uint8_t*, std::uint8_t, void*, std::uint32_t) { return 0; }
int ScsiTransport::Open(const CdDrive&) { return 0; }
int ScsiTransport::Reopen(const CdDrive& drive) { return Open(drive); }
int ScsiTransport::Close() { return 0; }
int ScsiTransport::Send(const std::uint8_t*, std::uint8_t, void*, std::uint32_t) { return 0; }
int ScsiTransport::IsAvailable() { return 0; }
int ScsiTransport::Initialize() { return 0; }
int ScsiTransport::GetAddress(ScsiAddress*) { return 0; }
int ScsiTransport::LastSenseKey() { return -1; }
