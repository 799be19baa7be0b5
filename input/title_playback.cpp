#include "input/title_playback.h"

#include "input/playback_engine.h"

namespace titles {

std::string PlayingFileName() { return Engine().CurrentFileName(); }
std::string PlayingDriveText() { return Engine().PlayingDriveText(); }

}  // namespace titles
