#pragma once
// The MMC command blocks the system sends, byte for byte, and the sizes of
// their data-in buffers.
#include <array>
#include <cstdint>

namespace mmc {

using Cdb6 = std::array<std::uint8_t, 6>;
using Cdb10 = std::array<std::uint8_t, 10>;
using Cdb12 = std::array<std::uint8_t, 12>;

constexpr std::uint32_t kInquiryLength = 36;
constexpr std::uint32_t kTocLength = 804;               // header + 99 tracks + lead-out
constexpr std::uint32_t kSessionInfoLength = 12;
constexpr std::uint32_t kFullTocLength = 1170;          // allocation length
constexpr std::uint32_t kFullTocBufferSize = 1184;
constexpr std::uint32_t kCdTextLength = 36720;          // 8 blocks x 255 packs x 18 bytes
constexpr std::uint32_t kCdTextBufferSize = 36736;
constexpr std::uint32_t kFrameBytes = 2352;
constexpr std::uint32_t kC2Bytes = 294;                 // one bit per audio byte
constexpr std::uint32_t kCapabilitiesLength = 36;       // header + page 2Ah and some room

Cdb6 TestUnitReady();
Cdb6 Inquiry();
Cdb10 ReadTocMsf();
Cdb10 ReadTocLba();
// Session information (format 1) and full TOC (format 2) come in two forms:
// MMC puts the format in byte 2; drives from before MMC take it from the
// two top bits of the control byte (0x40, 0x80), which MMC drives may
// refuse as an invalid field.
enum class TocForm { kMmc, kOld };
Cdb10 ReadSessionInfo(TocForm form = TocForm::kMmc);
Cdb10 ReadFullToc(std::uint8_t firstSession, TocForm form = TocForm::kMmc);
Cdb10 ReadCdText();
Cdb12 SetCdSpeed(std::uint16_t readSpeed, std::uint16_t writeSpeed);
// READ CD of `frames` CD-DA frames, user data only, from `lba`. The LBA is
// signed on the wire: a drive that can read into the lead-in takes
// negative ones (pass them cast to 32 bits).
Cdb12 ReadCd(std::uint32_t lba, std::uint8_t frames);
// The same with the C2 error pointers: each frame's 2352 bytes are followed
// by 294 bytes, one bit per audio byte, set where the drive could not correct.
Cdb12 ReadCdWithC2(std::uint32_t lba, std::uint8_t frames);
// MODE SENSE(10) of the current CD capabilities page (2Ah).
Cdb10 ModeSenseCapabilities();

}  // namespace mmc
