#include "device/mmc_commands.h"

namespace mmc {

namespace {

// READ TOC with the format in byte 2 or in the top bits of the control byte,
// and a big-endian allocation length.
Cdb10 ReadToc(std::uint8_t msfBit, std::uint8_t format, std::uint8_t track, std::uint16_t length,
              std::uint8_t control) {
  return Cdb10{0x43,
               msfBit,
               format,
               0,
               0,
               0,
               track,
               static_cast<std::uint8_t>(length >> 8),
               static_cast<std::uint8_t>(length & 0xFF),
               control};
}

}  // namespace

Cdb6 TestUnitReady() { return Cdb6{0x00, 0, 0, 0, 0, 0}; }

Cdb6 Inquiry() { return Cdb6{0x12, 0, 0, 0, static_cast<std::uint8_t>(kInquiryLength), 0}; }

Cdb10 ReadTocMsf() { return ReadToc(0x02, 0, 1, kTocLength, 0); }

Cdb10 ReadTocLba() { return ReadToc(0x00, 0, 1, kTocLength, 0); }

// In the MMC form the session information's track field is reserved.
Cdb10 ReadSessionInfo(TocForm form) {
  return form == TocForm::kMmc ? ReadToc(0x00, 0x01, 0, kSessionInfoLength, 0)
                               : ReadToc(0x00, 0, 1, kSessionInfoLength, 0x40);
}

Cdb10 ReadFullToc(std::uint8_t firstSession, TocForm form) {
  return form == TocForm::kMmc ? ReadToc(0x00, 0x02, firstSession, kFullTocLength, 0)
                               : ReadToc(0x00, 0, firstSession, kFullTocLength, 0x80);
}

Cdb10 ReadCdText() { return ReadToc(0x00, 0x05, 0, kCdTextLength, 0); }

Cdb12 SetCdSpeed(std::uint16_t readSpeed, std::uint16_t writeSpeed) {
  return Cdb12{0xBB,
               0,
               static_cast<std::uint8_t>(readSpeed >> 8),
               static_cast<std::uint8_t>(readSpeed & 0xFF),
               static_cast<std::uint8_t>(writeSpeed >> 8),
               static_cast<std::uint8_t>(writeSpeed & 0xFF),
               0,
               0,
               0,
               0,
               0,
               0};
}

namespace {

Cdb12 ReadCdCdb(std::uint32_t lba, std::uint8_t frames, std::uint8_t fields) {
  return Cdb12{0xBE,
               0x04,
               static_cast<std::uint8_t>(lba >> 24),
               static_cast<std::uint8_t>(lba >> 16),
               static_cast<std::uint8_t>(lba >> 8),
               static_cast<std::uint8_t>(lba),
               0,
               0,
               frames,
               fields,
               0,
               0};
}

}  // namespace

Cdb12 ReadCd(std::uint32_t lba, std::uint8_t frames) { return ReadCdCdb(lba, frames, 0x10); }

Cdb12 ReadCdWithC2(std::uint32_t lba, std::uint8_t frames) { return ReadCdCdb(lba, frames, 0x12); }

Cdb10 ModeSenseCapabilities() {
  return Cdb10{0x5A, 0, 0x2A, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(kCapabilitiesLength), 0};
}

}  // namespace mmc
