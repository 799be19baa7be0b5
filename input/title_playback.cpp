#include "input/title_playback.h"

// Nothing plays until the playback engine answers these.
namespace titles {

std::string PlayingFileName() { return std::string(); }
std::string PlayingDriveText() { return std::string(); }

}  // namespace titles
