#include "tests/host/pass_through_stand_in.h"

#include <string>

#include "tests/host/import_redirect.h"
#include "tests/host/test_host.h"

namespace pass_through_stand_in {

bool Install(HMODULE module) {
  // Kept loaded for the life of the process: handles it gave out may
  // outlive any one plug-in.
  static const HMODULE drives = LoadLibraryA((TestHost::ProgramDirectory() + "\\wnaspi32.dll").c_str());
  if (!drives || !module) return false;
  const char* const functions[] = {"CreateFileA", "DeviceIoControl", "CloseHandle"};
  bool any = false;
  for (const char* function : functions) {
    void* standIn = reinterpret_cast<void*>(GetProcAddress(drives, (std::string("VDrive") + function).c_str()));
    if (standIn && import_redirect::Redirect(module, "KERNEL32.dll", function, standIn)) any = true;
  }
  return any;
}

}  // namespace pass_through_stand_in
