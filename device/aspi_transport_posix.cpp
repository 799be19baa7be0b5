#include "device/aspi_transport.h"

// There is no ASPI layer outside Windows: the transport is never available
// and every command fails.

AspiTransport::~AspiTransport() = default;

int AspiTransport::IsAvailable() { return 0; }

int AspiTransport::Initialize() { return 0; }

int AspiTransport::Execute(const AspiAddress&, const std::uint8_t*, std::uint8_t, void*, std::uint32_t) { return -1; }
