#pragma once
// What title resolution needs to know of playback.
#include <string>

namespace titles {

// The file last given to Play ("" before the first Play).
std::string PlayingFileName();
// The drive-letter text of the track being played ("" when none).
std::string PlayingDriveText();

}  // namespace titles
