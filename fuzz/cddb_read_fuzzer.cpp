// CDDB read (xmcd) replies of any content, in both protocol levels.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cddb/cddb_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int proto = (data[0] & 1) ? 6 : 1;
  const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
  CddbDiscRecord record;
  record.tracks[0].performer = "Band";
  if (ParseReadReply(body, proto, &record) == 0) {
    if (record.trackCount > 99) __builtin_trap();
    for (const auto& t : record.tracks) {
      if (t.first > 99 || t.second.title.size() > 2047) __builtin_trap();
    }
  }
  return 0;
}
