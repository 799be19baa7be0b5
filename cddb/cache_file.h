#pragma once
// The file operations behind cddb_cache.dat, one call each, so that a test
// can make any single one of them fail. A save writes a new file beside the
// old one and then replaces the old one in one step.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

enum CacheFileRead : int {
  kCacheFileMissing = 0,      // no such file
  kCacheFileRead = 1,         // the whole file is in the text
  kCacheFileUnreadable = -1,  // there, but locked, unreadable or over the limit
};

enum CacheFileReplace : int {
  kCacheReplaced = 0,
  // The target is open in another program (a player starting and reading
  // it, a backup or indexing tool): likely to succeed a moment later.
  kCacheReplaceBusy = 1,
  kCacheReplaceFailed = -1,
};

class CacheFileOps {
 public:
  CacheFileOps() = default;
  virtual ~CacheFileOps();
  CacheFileOps(const CacheFileOps&) = delete;
  CacheFileOps& operator=(const CacheFileOps&) = delete;

  // Keeps every other process's save of `path` out until Unlock (or the
  // end of this object): each must merge what the other has just written,
  // not replace it. False when another save holds it for longer than
  // `waitMs`. A failed attempt leaves the holder's lock as it was, and the
  // lock ends with its process, whatever happens.
  virtual bool Lock(const std::string& path, std::uint32_t waitMs);
  virtual void Unlock();
  // A CacheFileRead; at most `limit` bytes are ever held.
  virtual int Read(const std::string& path, std::size_t limit, std::string* text);
  // Writing: Create (or truncate) one file, Write to it, Finish (flush to
  // the disk and close; also closes after a failure). False: failed.
  virtual bool Create(const std::string& path);
  virtual bool Write(const char* data, std::size_t size);
  virtual bool Finish();
  // `to` replaced by `from` in one step, as a CacheFileReplace; anything
  // but kCacheReplaced leaves `to` as it was.
  virtual int Replace(const std::string& from, const std::string& to);
  virtual void Remove(const std::string& path);

 private:
  std::FILE* file_ = nullptr;
  std::intptr_t lock_ = -1;
};

namespace cache_file {

// This process's own temporary file beside `path`, so that two processes
// never write into one file, whatever their locks do.
std::string TempPathFor(const std::string& path);

// Per platform: the written data on the disk (not only in the system's
// cache), the one-step replacement (a CacheFileReplace) and this process's
// id.
bool SyncToDisk(std::FILE* file);
int ReplaceInOneStep(const std::string& from, const std::string& to);
unsigned long ProcessId();
// An exclusive lock on the file `path` (created when missing and kept
// afterwards): kLockHeld when another holder has it, kLockUnavailable when
// the file cannot be opened at all (a folder the user may not write to);
// released by Release or by the end of the process.
constexpr std::intptr_t kLockHeld = -1, kLockUnavailable = -2;
std::intptr_t TryLock(const std::string& path);
void Release(std::intptr_t lock);

}  // namespace cache_file
