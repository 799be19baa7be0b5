#pragma once
// Cache-file tests on both platforms: file bytes, the keys a file holds, and
// file operations that fail on request.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cddb/cache_file.h"
#include "cddb/cddb_cache.h"

namespace cddbcachetest {

inline std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool Exists(const std::string& path) { return std::ifstream(path).good(); }

inline std::vector<std::string> Keys(const std::string& path) {
  CddbCache cache;
  cache.Load(path);
  std::vector<std::string> keys;
  std::string key;
  cache.First();
  while (cache.Next(&key, nullptr)) keys.push_back(key);
  return keys;
}

// The real operations, except that the failAt-th writing step (Create,
// Write, Finish, Replace, counted from 1) fails, and Read when readFails.
class FailingOps : public CacheFileOps {
 public:
  int failAt = 0;
  bool readFails = false;

  int Read(const std::string& path, std::size_t limit, std::string* text) override {
    return readFails ? kCacheFileUnreadable : CacheFileOps::Read(path, limit, text);
  }
  bool Create(const std::string& path) override { return Step() && CacheFileOps::Create(path); }
  bool Write(const char* data, std::size_t size) override { return Step() && CacheFileOps::Write(data, size); }
  bool Finish() override {
    const bool ok = Step();
    return CacheFileOps::Finish() && ok;  // closes in any case
  }
  bool Replace(const std::string& from, const std::string& to) override {
    return Step() && CacheFileOps::Replace(from, to);
  }

 private:
  bool Step() { return ++calls_ != failAt; }
  int calls_ = 0;
};

}  // namespace cddbcachetest
