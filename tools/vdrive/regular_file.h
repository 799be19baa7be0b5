#pragma once
// Images and CD-TEXT files are read only from regular files: a folder (a cue
// line naming "" or ".") opens like a file, reports a nonsense size and
// throws on the first read; a device or a pipe may never end.
#include <sys/stat.h>

#include <string>

namespace vdrive {

inline bool IsRegularFile(const std::string& path) {
  struct stat st;
  // A name with a NUL inside would open a different, shorter path.
  if (path.find('\0') != std::string::npos) return false;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace vdrive
