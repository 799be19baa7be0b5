#include "companion/companion_settings.h"

namespace {

const char kSection[] = "QZ_CDDAPLAYER";

bool ReadFlag(Profile& profile, const char* key, bool current, const std::string& path) {
  return ProfileTextIsTrue(profile.GetString(kSection, key, current ? "true" : "false", path.c_str()));
}

}  // namespace

void CompanionSettings::Load(Profile& profile, const std::string& iniPath) {
  allDrives = ReadFlag(profile, "AllDrives", allDrives, iniPath);
  quickStart = ReadFlag(profile, "QuickStart", quickStart, iniPath);
  multithreadInitialize = ReadFlag(profile, "MultithreadInitialize", multithreadInitialize, iniPath);
  aspi = ReadFlag(profile, "Aspi", aspi, iniPath);
}

bool CompanionSettings::Save(Profile& profile, const std::string& iniPath) const {
  const bool all = profile.WriteString(kSection, "AllDrives", allDrives ? "true" : "false", iniPath.c_str());
  return profile.WriteString(kSection, "QuickStart", quickStart ? "true" : "false", iniPath.c_str()) && all;
}
