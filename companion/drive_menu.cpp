#include "companion/drive_menu.h"

DriveMenuPlan PlanDriveMenu(const std::vector<std::string>& roots,
                            const std::function<bool(const std::string&)>& isCdRom, bool allDrives) {
  DriveMenuPlan plan;
  plan.baseId = allDrives ? kAllDrivesMenuBaseId : kMenuBaseId;
  int k = 0;
  for (const std::string& root : roots) {
    if (!root.empty() && isCdRom(root)) {
      const char letter = root[0];
      plan.items.push_back({plan.baseId + k, kFirstMenuPosition + k, letter, std::string("Audio CD ") + letter + ":"});
      ++k;
    }
    if (!allDrives && k >= kMaxDrivesWithoutAllDrives) break;
  }
  plan.separatorPosition = kFirstMenuPosition + k;
  return plan;
}

char DriveCommandTable::Find(int id) const {
  if (id < baseId_ || id > baseId_ + Count() - 1) return 0;
  auto it = letters_.find(id);
  return it == letters_.end() ? 0 : it->second;
}

std::string DriveErrorText(char letter, int error) {
  const char* text = "";
  switch (error) {
    case kDriveErrorUnusable: text = "指定されたCD-ROMドライブは使用できません"; break;
    case kDriveErrorBusy: text = "指定されたCD-ROMドライブは現在使用されているため、使用することができません"; break;
    case kDriveErrorUnavailable: text = "CD-ROMドライブが利用できません"; break;
    case kDriveErrorNoDisc: text = "CDがありません"; break;
    default: break;
  }
  std::string out = "A:\\";
  out[0] = letter;
  return out + "\r\n\r\n" + text;
}
