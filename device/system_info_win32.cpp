#include <windows.h>

#include "device/system_info.h"

namespace {

class Win32SystemInfo : public SystemInfo {
 public:
  std::vector<std::string> LogicalDriveStrings() override {
    char buffer[128] = {};
    DWORD n = GetLogicalDriveStringsA(sizeof(buffer), buffer);
    // A result above the buffer size means nothing was written.
    if (n == 0 || n > sizeof(buffer)) return {};
    return SplitDriveStrings(buffer, n);
  }

  bool IsCdRom(const std::string& rootPath) override { return GetDriveTypeA(rootPath.c_str()) == DRIVE_CDROM; }

  int NtMajorVersion() override {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) return 0;
    if (info.dwPlatformId != VER_PLATFORM_WIN32_NT) return 0;
    return static_cast<int>(info.dwMajorVersion);
  }
};

}  // namespace

SystemInfo& PlatformSystemInfo() {
  static Win32SystemInfo info;
  return info;
}
