#include "device/drive_capabilities.h"

namespace {
constexpr std::size_t kHeaderBytes = 8;
// Up to and including the buffer size field (bytes 12-13 of the page).
constexpr std::size_t kPageBytesNeeded = 14;
constexpr std::uint8_t kCapabilitiesPage = 0x2A;
}  // namespace

DriveCapabilities DecodeCapabilities(const std::uint8_t* data, std::size_t length) {
  DriveCapabilities caps;
  if (data == nullptr || length < kHeaderBytes) return caps;
  // The mode data length counts the bytes after itself.
  const std::size_t stated = ((std::size_t{data[0]} << 8) | data[1]) + 2;
  if (stated < length) length = stated;
  const std::size_t descriptors = (std::size_t{data[6]} << 8) | data[7];
  const std::size_t page = kHeaderBytes + descriptors;
  if (page >= length || length - page < kPageBytesNeeded) return caps;
  const std::uint8_t* p = data + page;
  if ((p[0] & 0x3F) != kCapabilitiesPage || std::size_t{p[1]} + 2 < kPageBytesNeeded) return caps;
  caps.c2 = (p[5] & 0x10) != 0;
  caps.accurateStream = (p[5] & 0x02) != 0;
  caps.bufferKiB = (std::uint32_t{p[12]} << 8) | p[13];
  caps.known = true;
  return caps;
}
