// The test host as a program. Used where a scenario needs a second host
// process:  quorvo_host --hold-lock <ms>  takes the plug-in's drive lock,
// signals the named event "quorvo-test-lock-held", holds the lock for <ms>
// and releases it.  quorvo_host --transport-kind  exits with the transport
// kind the start-up choice makes with Aspi on.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "device/cd_device.h"
#include "device/device_map.h"
#include "input/plugin_lifecycle.h"
#include "util/critical_section.h"
#include "util/named_event.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--hold-lock") == 0) {
    CCriticalSection lock;
    if (!lock.Create(plugin::kDriveLockName)) return 2;
    if (!lock.Lock()) return 3;
    CNamedEvent held;
    if (!held.Open("quorvo-test-lock-held") && !held.Create(true, false, "quorvo-test-lock-held")) return 4;
    held.Set();
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    lock.Unlock();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--transport-kind") == 0) {
    // The start-up transport choice with Aspi on, as this process's loader
    // sees the ASPI layer; the kind is the exit code.
    CdDevice device;
    ChooseTransport(device, true, DeviceMap());
    return device.TransportKind();
  }
  return 1;
}
