// cddb_cache.dat files of any content: read, written back and read again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cddb/cddb_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CddbCache cache;
  cache.LoadText(std::string(reinterpret_cast<const char*>(data), size));
  const std::string written = cache.SaveText();
  CddbCache again;
  again.LoadText(written);
  if (again.Size() != cache.Size()) __builtin_trap();
  std::string key;
  cache.First();
  while (cache.Next(&key, nullptr)) cache.Delete(key);
  if (cache.Size() != 0) __builtin_trap();
  return 0;
}
