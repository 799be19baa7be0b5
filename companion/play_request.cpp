#include "companion/play_request.h"

#include <cstdio>
#include <cstring>

int FillPlayRequest(PlayRequestTable& table, char letter, int trackCount) {
  std::memset(&table, 0, sizeof table);
  table.letter = letter;
  if (trackCount < 1 || trackCount >= kPlayRequestSlots) return 0;
  for (int i = 1; i <= trackCount; ++i) {
    std::snprintf(table.names[i], kPlayRequestNameSize, "cda://%c,%u", letter, static_cast<unsigned>(i));
    table.records[i].filename = table.names[i];
  }
  table.trackCount = trackCount;
  return trackCount;
}
