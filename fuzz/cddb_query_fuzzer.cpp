// CDDB query replies of any content, in both protocol levels; the first byte
// picks the level and the candidate the user would choose.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cddb/cddb_lookup.h"
#include "cddb/cddb_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int proto = (data[0] & 1) ? 6 : 1;
  const int choice = data[0] >> 1;
  const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
  CddbDiscRecord record;
  std::string category;
  std::size_t offered = 0;
  const int r = ParseQueryReply(
      body, proto,
      [&](const std::vector<CddbCandidate>& c) {
        offered = c.size();
        return choice;
      },
      &record, &category);
  if (r == 0 && (record.tracks.size() != 1 || record.tracks[0].title.size() > 2047)) __builtin_trap();
  if (r == 0 && offered != 0 && (choice < 1 || static_cast<std::size_t>(choice) > offered)) __builtin_trap();
  if ((r == kCddbServerRefused) != IsCddbRefusal(CddbReplyStatus(body)) || CddbStatusLine(body).size() > 256)
    __builtin_trap();
  return 0;
}
