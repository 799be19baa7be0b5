#include "companion/play_request.h"

#include <cstdio>
#include <cstring>

int FillPlayRequest(PlayRequestTable& table, char letter, int trackCount) {
  std::memset(&table, 0, sizeof table);
  table.letter = letter;
  if (trackCount < 1 || trackCount >= kPlayRequestSlots) return 0;
  for (int i = 1; i <= trackCount; ++i) {
    // A track number fits a byte (the table holds fewer slots), which the compiler can see.
    const unsigned number = static_cast<unsigned char>(i);
    std::snprintf(table.names[i], kPlayRequestNameSize, "cda://%c,%u", letter, number);
    table.records[i].filename = table.names[i];
  }
  table.trackCount = trackCount;
  return trackCount;
}
