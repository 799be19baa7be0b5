// Chunked reply bodies of any content: the decoder never writes more than it
// was given, and how the bytes are split between receives changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/http_chunked.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t cut = data[0] % size;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;
  ChunkedDecoder whole, split;
  std::string a, b;
  const ChunkedDecoder::Outcome one = whole.Feed(bytes, length, &a);
  ChunkedDecoder::Outcome two = split.Feed(bytes, cut < length ? cut : length, &b);
  if (two == ChunkedDecoder::kMore && cut < length) two = split.Feed(bytes + cut, length - cut, &b);
  if (a.size() > length || one != two || a != b) std::abort();
  return 0;
}
