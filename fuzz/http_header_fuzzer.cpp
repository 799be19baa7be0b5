// Reply headers from an HTTP server: the parser must take any bytes, and what
// it finds must be consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/http_client.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string header(reinterpret_cast<const char*>(data), size);
  HttpResponseInfo info;
  ParseHttpHeader(header, info);
  if (info.status < 0 || info.contentLength < 0 || info.expected != info.contentLength) std::abort();
  if (info.location.size() > header.size()) std::abort();
  return 0;
}
