#pragma once
// What the device layer asks the operating system: the drive list, whether
// a drive is a CD-ROM, and the Windows NT version. Tests substitute their own.
#include <cstddef>
#include <string>
#include <vector>

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  // The logical drive root paths ("D:\") in the order the system returns
  // them, read through a 128-character buffer; empty when that fails.
  virtual std::vector<std::string> LogicalDriveStrings() = 0;
  virtual bool IsCdRom(const std::string& rootPath) = 0;
  // The major version on the Windows NT platform, 0 on any other platform.
  virtual int NtMajorVersion() = 0;
};

// Whether the system has the SCSI pass-through on drive device paths: every
// Windows NT from 4.0 on (2000, XP, Vista, 7, 8, 10, 11); Windows 95, 98
// and ME have only ASPI.
bool HasScsiPassThrough(SystemInfo& system);

// The platform's implementation, or the one installed for testing.
SystemInfo& CurrentSystemInfo();
// Installs a substitute (not owned); nullptr restores the platform's.
void SetSystemInfoForTesting(SystemInfo* info);

// Splits a GetLogicalDriveStrings-style buffer ("C:\<0>D:\<0><0>") of at
// most `length` bytes into its entries.
std::vector<std::string> SplitDriveStrings(const char* buffer, std::size_t length);
