#include "util/open_folder.h"

#include <sys/stat.h>

namespace folders {

namespace {

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool CreateFolderTree(const std::string& path) {
  if (path.empty()) return false;
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] == '/' && path[i - 1] != '/') mkdir(path.substr(0, i).c_str(), 0777);
  }
  mkdir(path.c_str(), 0777);
  return IsFolder(path);
}

bool OpenFolder(HWND, const std::string& path) { return CreateFolderTree(path); }

}  // namespace folders
