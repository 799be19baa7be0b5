#include <cstdlib>
#include <string>

#include "util/fault_injection.h"

namespace fault_injection {

std::string FaultVariable() {
  const char* text = std::getenv("QUORVO_FAULT");
  return text ? text : "";
}

}  // namespace fault_injection
