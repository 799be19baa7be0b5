// Table-of-contents replies from a drive: the format 0 pair, the session
// information and the full TOC, all cut from one input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/disc_toc.h"

namespace {

// Takes up to `want` bytes from the front of the input into its own buffer,
// so that the sanitizer sees the exact end of each reply.
std::vector<std::uint8_t> Take(const std::uint8_t*& data, std::size_t& size, std::size_t want) {
  if (want > size) want = size;
  std::vector<std::uint8_t> part(data, data + want);
  data += want;
  size -= want;
  return part;
}

}  // namespace

// Layout: LBA reply length (2 bytes, big-endian), MSF reply length (2),
// the LBA reply, the MSF reply, 12 bytes of session information, and the
// rest as the full TOC.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::size_t lbaSize = (std::size_t(data[0]) << 8) | data[1];
  const std::size_t msfSize = (std::size_t(data[2]) << 8) | data[3];
  data += 4;
  size -= 4;
  std::vector<std::uint8_t> lba = Take(data, size, lbaSize);
  std::vector<std::uint8_t> msf = Take(data, size, msfSize);
  std::vector<std::uint8_t> session = Take(data, size, 12);
  std::vector<std::uint8_t> full = Take(data, size, size);

  DiscToc toc;
  const int last = DecodeToc(msf.data(), msf.size(), lba.data(), lba.size(), toc);
  if (last < 0 && !toc.tracks.empty()) __builtin_trap();
  if (last < 0) return 0;

  SessionInfo info;
  if (!DecodeSessionInfo(session.data(), session.size(), info)) return 0;
  ApplyFullToc(full.data(), full.size(), info.firstSession, info.lastSession, toc);

  // Every track still ends where its length says, never before its start.
  for (const auto& entry : toc.tracks) {
    const TrackEntry& t = entry.second;
    if (entry.first != kLeadOutKey && (t.length == 0 || std::uint64_t(t.end) + 1 != std::uint64_t(t.start) + t.length))
      __builtin_trap();
  }
  return 0;
}
