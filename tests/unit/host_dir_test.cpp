#include "util/host_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/unit/temp_ini.h"

namespace {

TEST(HostDir, CutsAtTheLastRealBackslash) {
  EXPECT_EQ("C:\\Program Files\\Winamp", DirectoryOfWindowsPath("C:\\Program Files\\Winamp\\winamp.exe"));
  // 表 and ソ end in the byte 0x5C; it is not a separator there.
  EXPECT_EQ("C:\\表", DirectoryOfWindowsPath("C:\\表\\winamp.exe"));
  EXPECT_EQ("D:", DirectoryOfWindowsPath("D:\\ソ"));
  EXPECT_EQ("", DirectoryOfWindowsPath("winamp.exe"));
  EXPECT_EQ("", DirectoryOfWindowsPath(""));
}

TEST(HostDir, RunningProgramLivesThere) {
  const std::string dir = HostDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir, ModuleDirectory(nullptr));
  const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
  const bool found = std::ifstream(dir + sep + "unit_tests").good() || std::ifstream(dir + sep + "unit_tests.exe").good();
  EXPECT_TRUE(found) << dir;
}

// Settings are read from the old file only while the host's file has no
// section of ours (an empty one counts as none) and the old file has one.
TEST(HostDir, SettingsComeFromTheOldFileOnlyUntilTheHostsHasThem) {
  TempIni hostIni, oldIni;
  const HostSettingsLocation host{hostIni.path(), "C:\\settings"};
  const struct {
    const char* hostText;
    const char* oldText;
    bool moving;
  } cases[] = {
      {"", "[QZ_CDDAPLAYER]\r\nAspi=true\r\n", true},
      {"[QZ_CDDAPLAYER]\r\n[Other]\r\nx=1\r\n", "[qz_cddaplayer]\r\nAspi=true\r\n", true},
      {"[QZ_CDDAPLAYER]\r\nVersion=0.26\r\n", "[QZ_CDDAPLAYER]\r\nAspi=true\r\n", false},
      {"", "[Winamp]\r\nx=1\r\n[QZ_CDDAPLAYER]\r\n", false},
  };
  for (const auto& c : cases) {
    hostIni.Write(c.hostText);
    oldIni.Write(c.oldText);
    const SettingsFiles files = ChooseSettingsFiles(host, oldIni.path(), SystemProfile(), "QZ_CDDAPLAYER");
    EXPECT_EQ(hostIni.path(), files.ini) << c.hostText;
    EXPECT_EQ(c.moving ? oldIni.path() : hostIni.path(), files.sourceIni) << c.hostText;
    EXPECT_EQ(c.moving, files.moving) << c.hostText;
    EXPECT_EQ("C:\\settings", files.folder);
  }
  // A host that does not say: the old file for both, no settings folder.
  const SettingsFiles old =
      ChooseSettingsFiles(HostSettingsLocation(), oldIni.path(), SystemProfile(), "QZ_CDDAPLAYER");
  EXPECT_EQ(oldIni.path(), old.ini);
  EXPECT_EQ(oldIni.path(), old.sourceIni);
  EXPECT_EQ("", old.folder);
}

}  // namespace
