// CD-TEXT replies (READ TOC format 5) of any length and content.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/cd_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> reply(data, data + size);  // exact end for the sanitizer
  CdTextStore store;
  DecodeCdText(reply.data(), reply.size(), store);
  for (const auto& language : store) {
    if (language.second.size() > 8 * kCdTextMaxEntries) __builtin_trap();
    for (const TitleInfo& info : language.second) {
      if (info.title.size() > kCdTextMaxBytes || info.performer.size() > kCdTextMaxBytes) __builtin_trap();
    }
  }
  return 0;
}
