#pragma once
// The answer to one title query: the text shown to the host (a title, a
// metadata value or a message), the track's length and the texts the title
// sources found for the track and for its disc.
#include <cstdint>
#include <string>

#include "device/cd_text.h"
#include "device/disc_toc.h"

struct TrackDescription {
  std::string text;
  std::int32_t lengthMs = 0;
  TrackEntry entry;  // the track's table-of-contents entry (empty when absent)
  TitleInfo track;
  TitleInfo disc;
};
