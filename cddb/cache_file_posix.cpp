#include <unistd.h>

#include <cstdio>

#include "cddb/cache_file.h"

namespace cache_file {

bool SyncToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

// rename(2) replaces the target atomically: a reader sees the old file or
// the new one, never a part.
bool ReplaceInOneStep(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace cache_file
