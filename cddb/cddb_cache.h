#pragma once
// Every disc found on the server, by query key, and the cache file
// cddb_cache.dat that keeps them across runs. Lookups, start-up and the
// cache manager use it from different threads: every operation locks.
#include <map>
#include <mutex>
#include <string>

#include "cddb/cddb_record.h"

class CddbCache {
 public:
  // 1 when the key is cached, with a copy of its record; 0 otherwise.
  int Find(const std::string& key, CddbDiscRecord* record) const;
  void Store(const std::string& key, const CddbDiscRecord& record);
  int Delete(const std::string& key);  // 1, also when absent
  std::size_t Size() const;
  void Clear();

  // Iteration in key order for the cache manager. A key deleted meanwhile
  // is simply passed over.
  void First();
  int Next(std::string* key, CddbDiscRecord* record);  // 0 at the end

  int Load(const std::string& path);        // 1 opened, 0 not (unchanged)
  int Save(const std::string& path) const;  // 1 created, 0 not
  // The file's contents, for tests and fuzzing.
  void LoadText(const std::string& text);
  std::string SaveText() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, CddbDiscRecord> entries_;
  std::string cursor_;  // next key to hand out is the first one >= cursor_
  bool cursorAtStart_ = true;
  bool cursorAtEnd_ = false;
};
