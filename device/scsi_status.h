#pragma once
// Whether a command that reached the drive delivered good data, judged from
// its SCSI status byte and the sense data that came back with it.
#include <cstddef>
#include <cstdint>

namespace scsi {

constexpr std::uint8_t kStatusGood = 0x00;
constexpr std::uint8_t kStatusCheckCondition = 0x02;
constexpr std::uint8_t kSenseKeyRecoveredError = 0x01;
constexpr std::uint8_t kSenseKeyIllegalRequest = 0x05;

// The sense key of fixed-format (70h/71h) or descriptor-format (72h/73h)
// sense data; -1 when the bytes hold neither.
int SenseKey(const std::uint8_t* sense, std::size_t length);

// 0 for GOOD, and for CHECK CONDITION with RECOVERED ERROR (the drive
// corrected the data itself); -1 for every other status or missing sense.
int CommandOutcome(std::uint8_t scsiStatus, const std::uint8_t* sense, std::size_t senseLength);

// The bytes a READ CD of CD-DA frames must deliver into a buffer of
// `dataLength`: every frame it asks for, 2352 bytes each. 0 for any other
// command, whose answers may well be shorter than their buffers.
std::uint32_t ReadCdExpectedBytes(const std::uint8_t* cdb, std::size_t cdbLength, std::uint32_t dataLength);

}  // namespace scsi
