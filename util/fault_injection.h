#pragma once
// Faults the tests can ask for through the environment, for failures that
// cannot be provoked from outside (an exception in a start-up step): the
// variable QUORVO_FAULT lists the points, separated by commas. Nothing is
// ever requested in a normal run.
#include <string>

namespace fault_injection {

bool Requested(const char* point);

// Per platform: the variable's text, empty when it is not set.
std::string FaultVariable();

}  // namespace fault_injection
