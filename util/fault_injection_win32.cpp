#include <windows.h>

#include <string>

#include "util/fault_injection.h"

namespace fault_injection {

// Read through the system: the C runtime's copy of the environment does not
// see variables set after it started.
std::string FaultVariable() {
  char text[256] = {};
  const DWORD n = GetEnvironmentVariableA("QUORVO_FAULT", text, sizeof text);
  return n > 0 && n < sizeof text ? std::string(text, n) : std::string();
}

}  // namespace fault_injection
