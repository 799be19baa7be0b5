#pragma once
// A private folder under /tmp for targets that read files; it goes, with
// everything in it, when the fuzzer exits.
#include <ftw.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline std::string& ScratchDirPath() {
  static std::string dir;
  return dir;
}

inline const std::string& MakeScratchDir(const char* tag) {
  std::string pattern = std::string("/tmp/quorvo-") + tag + "-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) std::abort();
  ScratchDirPath() = pattern;
  std::atexit([] {
    nftw(ScratchDirPath().c_str(), [](const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); },
         8, FTW_DEPTH | FTW_PHYS);
  });
  return ScratchDirPath();
}

}  // namespace fuzz
