#pragma once
// One playlist request: the host enqueue records and the names they point
// at. Each request owns its own table, so a second menu click can never
// rewrite the names a running request is still sending.
#include <cstddef>

#include "host_api/gen_module.h"

constexpr int kPlayRequestSlots = 100;  // tracks 1-99; slot 0 unused
constexpr std::size_t kPlayRequestNameSize = 16;

struct PlayRequestTable {
  enqueueFileWithMetaStruct records[kPlayRequestSlots];
  char names[kPlayRequestSlots][kPlayRequestNameSize];
  int trackCount;
  char letter;
};

// Zeroes the table and fills records 1..trackCount with "cda://%c,%u";
// a count outside 1-99 leaves it empty. Returns the count stored.
int FillPlayRequest(PlayRequestTable& table, char letter, int trackCount);
