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

}  // namespace cache_file
