#pragma once
// The companion's four settings. AllDrives and QuickStart are its own;
// MultithreadInitialize and Aspi belong to the input plug-in and are only read.
#include <string>

#include "util/profile.h"

struct CompanionSettings {
  bool allDrives = false;
  bool quickStart = true;
  bool multithreadInitialize = false;
  bool aspi = false;

  // A key that is missing keeps the current value; a stored value is true
  // only when it equals "true" ignoring case.
  void Load(Profile& profile, const std::string& iniPath);
  // Writes AllDrives and QuickStart only; false when a write failed.
  bool Save(Profile& profile, const std::string& iniPath) const;
};
