#pragma once
// A CD drive that answered INQUIRY.
#include <cstdint>
#include <string>

#include "device/scsi_address.h"

struct CdDrive {
  char letter = 0;        // upper case; the drive table's key
  std::string rootPath;   // "D:\", first character upper-cased
  std::string vendor;     // trailing blanks removed
  std::string product;
  std::string revision;
  std::uint8_t peripheralQualifier = 0;
  std::uint8_t peripheralDeviceType = 0;
  std::uint8_t removableMedium = 0;
  std::uint8_t isoVersion = 0;
  std::uint8_t ecmaVersion = 0;
  std::uint8_t ansiVersion = 0;
  std::uint8_t aenc = 0;
  std::uint8_t trmIop = 0;
  std::uint8_t responseDataFormat = 0;
  std::uint8_t relAdr = 0;
  std::uint8_t wbus16 = 0;
  std::uint8_t wbus32 = 0;
  std::uint8_t sync = 0;
  std::uint8_t linked = 0;
  std::uint8_t cmdQue = 0;
  std::uint8_t sftRe = 0;
  ScsiAddress address{};

  // Transports address the drive by this letter only.
  char DriveLetter() const { return rootPath.empty() ? letter : rootPath[0]; }
};
