#pragma once
// One disc as CDDB knows it: number 0 is the whole disc, 1..N the tracks.
#include <cstdint>
#include <map>

#include "device/cd_text.h"

struct CddbDiscRecord {
  std::uint32_t discId = 0;
  std::uint32_t trackCount = 0;
  std::map<std::uint32_t, TitleInfo> tracks;
};
