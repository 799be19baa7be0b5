#include "device/system_info.h"

namespace {

// No drive letters and no Windows NT here: the device layer finds no drives
// and chooses no transport unless a test installs one.
class PosixSystemInfo : public SystemInfo {
 public:
  std::vector<std::string> LogicalDriveStrings() override { return {}; }
  bool IsCdRom(const std::string&) override { return false; }
  int NtMajorVersion() override { return 0; }
};

}  // namespace

SystemInfo& PlatformSystemInfo() {
  static PosixSystemInfo info;
  return info;
}
