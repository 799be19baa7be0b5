#include "util/host_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(HostDir, CutsAtTheLastRealBackslash) {
  EXPECT_EQ("C:\\Program Files\\Winamp", DirectoryOfWindowsPath("C:\\Program Files\\Winamp\\winamp.exe"));
  // Paths are ANSI (Shift-JIS here): 表 (95 5C) and ソ (83 5C) end in the byte 0x5C, no separator.
  EXPECT_EQ("C:\\\x95\x5C", DirectoryOfWindowsPath("C:\\\x95\x5C\\winamp.exe"));
  EXPECT_EQ("D:", DirectoryOfWindowsPath("D:\\\x83\x5C"));
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

}  // namespace
