#pragma once
// A system whose drives are the virtual drives: the given letters, all of
// them CD-ROM drives, on Windows 10. Installed while in scope, so that the
// plug-in's drive enumeration finds exactly these drives.
#include <string>
#include <vector>

#include "device/system_info.h"

namespace vdrive {

class VirtualCdSystem : public SystemInfo {
 public:
  explicit VirtualCdSystem(const std::string& letters) {
    for (char letter : letters) roots_.push_back(std::string(1, letter) + ":\\");
    SetSystemInfoForTesting(this);
  }
  ~VirtualCdSystem() override { SetSystemInfoForTesting(nullptr); }
  VirtualCdSystem(const VirtualCdSystem&) = delete;
  VirtualCdSystem& operator=(const VirtualCdSystem&) = delete;

  std::vector<std::string> LogicalDriveStrings() override { return roots_; }
  bool IsCdRom(const std::string&) override { return true; }
  int NtMajorVersion() override { return 10; }

 private:
  std::vector<std::string> roots_;
};

}  // namespace vdrive
