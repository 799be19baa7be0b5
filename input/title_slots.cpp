// The host's GetFileInfo slot.
#include "input/host_slots.h"
#include "input/plugin_state.h"
#include "input/title_queries.h"
#include "util/no_throw.h"
#include "util/own_frames.h"

namespace slots {

void GetFileInfo(char* file, char* title, int* lengthMs) {
  own_frames::Scope frame;  // a lookup's status window dispatches messages
  NoThrow([=] {
    if (!plugin::WaitForInitialisation()) return;
    titles::GetFileInfo(titles::PluginResolver(), file, title, lengthMs);
  });
}

}  // namespace slots
