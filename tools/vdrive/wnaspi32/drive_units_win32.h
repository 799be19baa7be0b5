#pragma once
// The virtual drives of this library, configured by vdrive.ini (format:
// tools/vdrive/README.md), and the control exports the test host uses on
// them. Both front ends, ASPI and the pass-through, reach the drives here,
// so a fault injected or a command counted is the same on either path.
#include <memory>

#include "tools/vdrive/virtual_drive.h"

namespace drive_units {

struct Unit {
  int ha = 0;
  int target = 0;
  int lun = 0;
  char letter = 0;  // 0: no device path answers to this drive
  std::shared_ptr<vdrive::VirtualDrive> drive;
};

// Each loads the configuration at first use.
int AdapterCount();  // the highest configured host adapter + 1; 0 without drives
bool FindByAddress(int ha, int target, int lun, Unit* out);
bool FindByLetter(char letter, Unit* out);  // either case

// Defined by the ASPI front end: a new configuration ends the requests that
// hang on the old drives' behalf.
void ForgetPendingAspiRequests();

}  // namespace drive_units
