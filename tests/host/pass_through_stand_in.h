#pragma once
// Puts the virtual drives behind a module's SCSI pass-through: its imports of
// CreateFileA, DeviceIoControl and CloseHandle go to the stand-ins of the
// replacement wnaspi32.dll beside the program, which answer "\\.\X:" of the
// drive letters vdrive.ini names and hand everything else to the system.
#include <windows.h>

namespace pass_through_stand_in {

// Call after LoadLibrary and before the module's first export runs. False
// when the library beside the program is missing or the module imports
// none of the three functions.
bool Install(HMODULE module);

}  // namespace pass_through_stand_in
