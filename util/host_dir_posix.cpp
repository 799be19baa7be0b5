#include "util/host_dir.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t cut = path.rfind('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::string();
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(n));
    if (buffer.size() >= 65536) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string HostDirectory() { return DirectoryOf(ExecutablePath()); }

std::string ModuleDirectory(void* moduleHandle) {
  if (moduleHandle == nullptr) return HostDirectory();
  link_map* map = nullptr;
  if (dlinfo(moduleHandle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr ||
      map->l_name[0] == '\0') {
    return HostDirectory();
  }
  return DirectoryOf(map->l_name);
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// No host window to ask here: the old rule.
HostSettingsLocation AskHostSettingsLocation(HWND) { return HostSettingsLocation(); }
