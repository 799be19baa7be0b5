#include "device/system_info.h"

SystemInfo& PlatformSystemInfo();  // system_info_win32.cpp / _posix.cpp

namespace {
SystemInfo* g_override = nullptr;
}

SystemInfo& CurrentSystemInfo() { return g_override ? *g_override : PlatformSystemInfo(); }

void SetSystemInfoForTesting(SystemInfo* info) { g_override = info; }

bool HasScsiPassThrough(SystemInfo& system) { return system.NtMajorVersion() >= 4; }

std::vector<std::string> SplitDriveStrings(const char* buffer, std::size_t length) {
  std::vector<std::string> roots;
  std::size_t i = 0;
  while (i < length && buffer[i] != '\0') {
    std::size_t end = i;
    while (end < length && buffer[end] != '\0') ++end;
    roots.emplace_back(buffer + i, end - i);
    i = end + 1;
  }
  return roots;
}
