#include "util/host_dir.h"

#include "util/sjis.h"

std::string DirectoryOfWindowsPath(const std::string& path) {
  const std::size_t cut = sjis::FindLastChar(path, '\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
