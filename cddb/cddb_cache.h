#pragma once
// Every disc found on the server, by query key, and the cache file
// cddb_cache.dat that keeps them across runs. Lookups, start-up and the
// cache manager use it from different threads: every operation locks.
// Texts are UTF-8; the file keeps them in a form older versions still read.
//
// The file is never rewritten in place and never replaced by what this
// process alone knows: a save merges this run's additions and deletions into
// what the file holds at that moment (another host process may have saved
// meanwhile, or the file could not be read at start-up), writes the result
// beside it and then replaces it in one step.
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "cddb/cache_file.h"
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

  // 1 read, 0 not (the cache unchanged). A file that is not a cache, or
  // larger than any cache, adds nothing. Never throws.
  int Load(const std::string& path);
  int Load(const std::string& path, CacheFileOps& ops);
  // 1 when the file now holds the merged cache; 0 on any failure, with the
  // old file left exactly as it was. Never throws.
  int Save(const std::string& path);
  int Save(const std::string& path, CacheFileOps& ops);
  // The file's contents, for tests and fuzzing.
  void LoadText(const std::string& text);
  std::string SaveText() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, CddbDiscRecord> entries_;
  // This run's changes, for the merge at save time.
  std::set<std::string> added_, deleted_;
  std::string cursor_;  // next key to hand out is the first one >= cursor_
  bool cursorAtStart_ = true;
  bool cursorAtEnd_ = false;
};
