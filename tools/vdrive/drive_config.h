#pragma once
// Text forms of drive behaviours and of the replacement ASPI layer's
// configuration file (format in README.md).
#include <string>
#include <vector>

#include "tools/vdrive/virtual_drive.h"

namespace vdrive {

// Applies behaviour commands separated by ';', e.g.
// "fail 0x43 times=1; readerror 1200; landing -1 every=3; latency 8 seek=80".
// 0 ok; -1 with *error (commands before the bad one stay applied).
int ApplyBehaviour(VirtualDrive& drive, const std::string& commands, std::string* error);

struct DriveConfig {
  int hostAdapter = 0;
  int target = 0;
  int lun = 0;
  char letter = 0;        // the drive letter its device path answers to ("\\.\D:"), 0: none
  std::string cue;        // as written; relative to the configuration file
  DriveIdentity identity;
  std::string behaviour;  // ApplyBehaviour text
};

// Parses the configuration text. Sections are "[ha:target:lun]". 0 ok,
// -1 with *error naming the line.
int ParseDriveConfig(const std::string& text, std::vector<DriveConfig>* out, std::string* error);

}  // namespace vdrive
