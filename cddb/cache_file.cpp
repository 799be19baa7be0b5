#include "cddb/cache_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

CacheFileOps::~CacheFileOps() {
  if (file_) std::fclose(file_);
  Unlock();
}

bool CacheFileOps::Lock(const std::string& path, std::uint32_t waitMs) {
  Unlock();
  // A lock file that cannot be opened is no other save: the folder is not
  // writable, or the file is just going away with its last holder. Quit
  // does not wait long for that.
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const std::intptr_t lock = cache_file::TryLock(path + ".lock");
    if (lock >= 0) {
      lock_ = lock;
      return true;
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited >= std::chrono::milliseconds(lock == cache_file::kLockHeld ? waitMs : std::min(waitMs, 100u)))
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void CacheFileOps::Unlock() {
  if (lock_ >= 0) cache_file::Release(lock_);
  lock_ = -1;
}

int CacheFileOps::Read(const std::string& path, std::size_t limit, std::string* text) {
  text->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return errno == ENOENT ? kCacheFileMissing : kCacheFileUnreadable;
  int result = kCacheFileRead;
  char buffer[65536];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
    if (n == 0) {
      if (std::ferror(file)) result = kCacheFileUnreadable;
      break;
    }
    if (text->size() + n > limit) {
      result = kCacheFileUnreadable;
      break;
    }
    text->append(buffer, n);
  }
  std::fclose(file);
  if (result != kCacheFileRead) text->clear();
  return result;
}

bool CacheFileOps::Create(const std::string& path) {
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "wb");
  return file_ != nullptr;
}

bool CacheFileOps::Write(const char* data, std::size_t size) {
  return file_ && std::fwrite(data, 1, size, file_) == size;
}

bool CacheFileOps::Finish() {
  if (!file_) return false;
  bool ok = std::fflush(file_) == 0 && cache_file::SyncToDisk(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}

int CacheFileOps::Replace(const std::string& from, const std::string& to) {
  return cache_file::ReplaceInOneStep(from, to);
}

std::string cache_file::TempPathFor(const std::string& path) {
  return path + "." + std::to_string(ProcessId()) + ".tmp";
}

void CacheFileOps::Remove(const std::string& path) { std::remove(path.c_str()); }
