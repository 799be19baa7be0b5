// cddb_cache.dat files of any content: read, written back and read again;
// and the same bytes as the file that a save merges this run's changes into.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cddb/cddb_cache.h"

namespace {

// The file lives in memory; every operation succeeds.
class MemoryFile : public CacheFileOps {
 public:
  std::string file, written;
  int Read(const std::string&, std::size_t, std::string* text) override {
    *text = file;
    return kCacheFileRead;
  }
  bool Create(const std::string&) override {
    written.clear();
    return true;
  }
  bool Write(const char* data, std::size_t size) override {
    written.append(data, size);
    return true;
  }
  bool Finish() override { return true; }
  bool Replace(const std::string&, const std::string&) override {
    file = written;
    return true;
  }
  void Remove(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CddbCache cache;
  cache.LoadText(input);
  const std::string written = cache.SaveText();
  CddbCache again;
  again.LoadText(written);
  if (again.Size() != cache.Size()) __builtin_trap();

  // This run added a disc and deleted the file's first one: the merged file
  // holds the addition and not the deletion, whatever the file was.
  std::string first;
  cache.First();
  const bool hadOne = cache.Next(&first, nullptr) == 1 && first != "0D012C02+2+150+18430+302";
  CddbCache session;
  CddbDiscRecord disc;
  disc.discId = 0x0D012C02;
  disc.tracks[0].title = "Album";
  session.Store("0D012C02+2+150+18430+302", disc);
  if (hadOne) session.Delete(first);
  MemoryFile file;
  file.file = input;
  if (session.Save("cddb_cache.dat", file) != 1) __builtin_trap();
  CddbCache merged;
  merged.LoadText(file.file);
  if (!merged.Find("0D012C02+2+150+18430+302", nullptr)) __builtin_trap();
  if (hadOne && merged.Find(first, nullptr)) __builtin_trap();

  cache.First();
  std::string key;
  while (cache.Next(&key, nullptr)) cache.Delete(key);
  if (cache.Size() != 0) __builtin_trap();
  return 0;
}
