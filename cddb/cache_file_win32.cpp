#include <windows.h>
#include <io.h>

#include <cstdio>

#include "cddb/cache_file.h"

namespace cache_file {

bool SyncToDisk(std::FILE* file) { return _commit(_fileno(file)) == 0; }

// One step, and not before the move has reached the disk.
bool ReplaceInOneStep(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// Opened for deletion at close: the file goes away with the last holder.
std::intptr_t TryLock(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kLockUnavailable;
  OVERLAPPED at = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    CloseHandle(file);
    return kLockHeld;
  }
  return reinterpret_cast<std::intptr_t>(file);
}

void Release(std::intptr_t lock) { CloseHandle(reinterpret_cast<HANDLE>(lock)); }

}  // namespace cache_file
