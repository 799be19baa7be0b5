#include "util/host_dir.h"

#include <windows.h>

#include <vector>

namespace {

// The module's full file name; the buffer grows until the name fits.
std::string ModuleFileName(HMODULE module) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return std::string(buffer.data(), n);
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string HostDirectory() { return DirectoryOfWindowsPath(ModuleFileName(nullptr)); }

std::string ModuleDirectory(void* moduleHandle) {
  return DirectoryOfWindowsPath(ModuleFileName(static_cast<HMODULE>(moduleHandle)));
}
