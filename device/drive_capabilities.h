#pragma once
// What the drive says of itself in the CD capabilities mode page (2Ah):
// the size of its read buffer, which a secure read must push its data out
// of, and whether it reports C2 error pointers.
#include <cstddef>
#include <cstdint>

struct DriveCapabilities {
  std::uint32_t bufferKiB = 0;
  bool c2 = false;
  bool accurateStream = false;  // reads of CD-DA start exactly where asked
  bool known = false;           // the page was there and long enough
};

// The MODE SENSE(10) reply: an 8-byte header, block descriptors (skipped by
// the header's length), then the page. Never reads outside the reply or past
// the mode data length it states; anything else gives known = false.
DriveCapabilities DecodeCapabilities(const std::uint8_t* data, std::size_t length);
