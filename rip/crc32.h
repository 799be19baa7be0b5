#pragma once
// The CRC-32 of zlib (reflected polynomial 0xEDB88320): Crc32(0, data, n)
// equals zlib's crc32(0, data, n), and a running value can be fed on.
#include <cstddef>
#include <cstdint>

namespace rip {
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t length);
}  // namespace rip
