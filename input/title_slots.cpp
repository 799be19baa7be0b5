// The host's GetFileInfo slot.
#include "input/host_slots.h"
#include "input/plugin_lifecycle.h"
#include "input/title_queries.h"
#include "util/no_throw.h"

namespace slots {

void GetFileInfo(char* file, char* title, int* lengthMs) {
  NoThrow([=] {
    plugin::WaitForInitialisation();
    titles::GetFileInfo(titles::PluginResolver(), file, title, lengthMs);
  });
}

}  // namespace slots
