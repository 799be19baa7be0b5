#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "rip/log_file.h"

namespace rip {

namespace {

bool MakeFolders(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    const std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

int WriteWholeFile(const std::string& folderUtf8, const std::string& nameUtf8, const std::string& bytes) {
  if (folderUtf8.empty() || !MakeFolders(folderUtf8)) return 0;
  const std::string path = folderUtf8 + (folderUtf8.back() == '/' ? "" : "/") + nameUtf8;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written ? 1 : 0;
}

int ReadWholeFile(const std::string& folderUtf8, const std::string& nameUtf8, std::size_t maxBytes, std::string* bytes) {
  if (folderUtf8.empty()) return 0;
  const std::string path = folderUtf8 + (folderUtf8.back() == '/' ? "" : "/") + nameUtf8;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  bytes->clear();
  char chunk[4096];
  std::size_t n = 0;
  bool ok = true;
  while (ok && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    ok = bytes->size() + n <= maxBytes;
    if (ok) bytes->append(chunk, n);
  }
  std::fclose(f);
  return ok ? 1 : 0;
}

}  // namespace rip
