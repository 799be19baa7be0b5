#include "device/spti_transport.h"

// There is no SCSI pass-through outside Windows: the transport is never
// available, nothing opens and every command fails.

SptiTransport::~SptiTransport() = default;

int SptiTransport::Initialize() { return 0; }

int SptiTransport::IsAvailable() { return 0; }

int SptiTransport::Open(const CdDrive&) { return 0; }

int SptiTransport::Close() { return 0; }

int SptiTransport::Send(const std::uint8_t*, std::uint8_t, void*, std::uint32_t) { return -1; }

int SptiTransport::SendToDrive(const CdDrive&, const std::uint8_t*, std::uint8_t, void*, std::uint32_t) { return -1; }

int SptiTransport::GetAddress(ScsiAddress*) { return 0; }
