#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cddb/cache_file.h"

namespace cache_file {

bool SyncToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

// rename(2) replaces the target atomically: a reader sees the old file or
// the new one, never a part.
int ReplaceInOneStep(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return kCacheReplaced;
  return errno == EBUSY || errno == ETXTBSY ? kCacheReplaceBusy : kCacheReplaceFailed;
}

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

std::intptr_t TryLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return kLockUnavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return kLockHeld;
  }
  return fd;
}

// The lock file stays: removing it would let a waiting process lock a file
// that a third one no longer sees.
void Release(std::intptr_t lock) { ::close(static_cast<int>(lock)); }

}  // namespace cache_file
