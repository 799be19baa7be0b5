#pragma once
// The file operations behind cddb_cache.dat, one call each, so that a test
// can make any single one of them fail. A save writes a new file beside the
// old one and then replaces the old one in one step.
#include <cstddef>
#include <cstdio>
#include <string>

enum CacheFileRead : int {
  kCacheFileMissing = 0,      // no such file
  kCacheFileRead = 1,         // the whole file is in the text
  kCacheFileUnreadable = -1,  // there, but locked, unreadable or over the limit
};

class CacheFileOps {
 public:
  CacheFileOps() = default;
  virtual ~CacheFileOps();
  CacheFileOps(const CacheFileOps&) = delete;
  CacheFileOps& operator=(const CacheFileOps&) = delete;

  // A CacheFileRead; at most `limit` bytes are ever held.
  virtual int Read(const std::string& path, std::size_t limit, std::string* text);
  // Writing: Create (or truncate) one file, Write to it, Finish (flush to
  // the disk and close; also closes after a failure). False: failed.
  virtual bool Create(const std::string& path);
  virtual bool Write(const char* data, std::size_t size);
  virtual bool Finish();
  // `to` replaced by `from` in one step; false leaves `to` as it was.
  virtual bool Replace(const std::string& from, const std::string& to);
  virtual void Remove(const std::string& path);

 private:
  std::FILE* file_ = nullptr;
};

namespace cache_file {

// Per platform: the written data on the disk (not only in the system's
// cache), and the one-step replacement.
bool SyncToDisk(std::FILE* file);
bool ReplaceInOneStep(const std::string& from, const std::string& to);

}  // namespace cache_file
