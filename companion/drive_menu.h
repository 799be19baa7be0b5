#pragma once
// The CD drive menu: which drives get an item, with which command id and at
// which position, and the table that maps a chosen id back to its drive.
#include <functional>
#include <map>
#include <string>
#include <vector>

constexpr int kMenuBaseId = 40323;          // the host lists at most four drives
constexpr int kAllDrivesMenuBaseId = 41950;
constexpr int kFirstMenuPosition = 4;
constexpr int kMaxDrivesWithoutAllDrives = 4;

struct DriveMenuItem {
  int id;
  int position;
  char letter;
  std::string text;  // "Audio CD %c:"
};

struct DriveMenuPlan {
  int baseId = kMenuBaseId;
  std::vector<DriveMenuItem> items;
  int separatorPosition = kFirstMenuPosition;
};

// Roots are the system's drive strings ("D:\") in its order; isCdRom tells
// a CD-ROM root. Without allDrives at most four drives are taken.
DriveMenuPlan PlanDriveMenu(const std::vector<std::string>& roots,
                            const std::function<bool(const std::string&)>& isCdRom, bool allDrives);

// Command id -> drive letter, for the items actually inserted.
class DriveCommandTable {
 public:
  void Reset(int baseId) {
    baseId_ = baseId;
    letters_.clear();
  }
  void Add(int id, char letter) { letters_[id] = letter; }
  // The drive letter of a companion command, 0 for any other id.
  char Find(int id) const;
  int Count() const { return static_cast<int>(letters_.size()); }
  int BaseId() const { return baseId_; }
  std::vector<int> Ids() const {
    std::vector<int> ids;
    for (const auto& entry : letters_) ids.push_back(entry.first);
    return ids;
  }

 private:
  int baseId_ = kMenuBaseId;
  std::map<int, char> letters_;
};

enum DriveError : int {
  kDriveErrorUnusable = 1,
  kDriveErrorBusy = 2,
  kDriveErrorUnavailable = 3,
  kDriveErrorNoDisc = 4,
};

// "D:\", an empty line, and the text of that error.
std::string DriveErrorText(char letter, int error);
