#include "util/fault_injection.h"

#include <string>

namespace fault_injection {

bool Requested(const char* point) {
  const std::string list = "," + FaultVariable() + ",";
  return list.size() > 2 && list.find("," + std::string(point) + ",") != std::string::npos;
}

}  // namespace fault_injection
