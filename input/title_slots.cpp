// Title slots until title resolution arrives: they obey the waiting rule.
#include "input/host_slots.h"
#include "input/plugin_lifecycle.h"

namespace slots {

void GetFileInfo(char*, char* title, int* lengthMs) {
  plugin::WaitForInitialisation();
  if (title) title[0] = '\0';
  if (lengthMs) *lengthMs = -1000;
}

}  // namespace slots
