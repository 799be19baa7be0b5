#include <windows.h>
#include <io.h>

#include <cstdio>

#include "cddb/cache_file.h"

namespace cache_file {

bool SyncToDisk(std::FILE* file) { return _commit(_fileno(file)) == 0; }

// One step, and not before the move has reached the disk. A target that
// another program has open without sharing deletion refuses the move for
// as long as it stays open.
int ReplaceInOneStep(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return kCacheReplaced;
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION
             ? kCacheReplaceBusy
             : kCacheReplaceFailed;
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

// The lock is the open handle itself: the file is opened without sharing,
// so any other open fails with a sharing violation while it is held, and
// the file stays when the handle goes. (A file opened for deletion at close
// would be doomed by the first failed attempt of another process, and every
// later attempt would find it unopenable.)
std::intptr_t TryLock(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file != INVALID_HANDLE_VALUE) return reinterpret_cast<std::intptr_t>(file);
  return GetLastError() == ERROR_SHARING_VIOLATION ? kLockHeld : kLockUnavailable;
}

void Release(std::intptr_t lock) { CloseHandle(reinterpret_cast<HANDLE>(lock)); }

}  // namespace cache_file
