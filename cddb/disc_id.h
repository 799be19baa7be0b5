#pragma once
// The CDDB disc id and the query key that names a disc in the query
// command and in the cache.
#include <cstdint>
#include <string>

#include "device/disc_toc.h"

// 0 means no disc (no tracks in the table).
std::uint32_t ComputeDiscId(const DiscToc& toc);
// Fills `key` ("%.8X+N+offsets...+seconds") and returns the disc id; an id
// of 0 leaves the key empty.
std::uint32_t BuildQueryKey(const DiscToc& toc, std::string* key);
