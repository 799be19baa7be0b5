#include "util/own_frames.h"

namespace own_frames {

// Nothing unloads the core here.
bool PinThisLibrary() noexcept { return true; }

}  // namespace own_frames
