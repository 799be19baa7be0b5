#pragma once
// Shared helpers of the virtual drive tests: discs generated into a fresh
// temporary folder per test.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/virtual_drive.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vdrive_test {

#ifdef _WIN32
// The replacement wnaspi32.dll, which must lie beside the test program.
inline HMODULE LoadLibraryBesideProgram(const char* file = "wnaspi32.dll") {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string dir(exe);
  dir.erase(dir.find_last_of("\\/") + 1);
  return LoadLibraryA((dir + file).c_str());
}

// Through void(*)(void), the one cast between function types that is exempt.
template <typename F>
F Entry(HMODULE lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)(void)>(GetProcAddress(lib, name)));
}
#endif

inline std::string FreshDir(const std::string& name) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path p = std::filesystem::temp_directory_path() / "vdrive_tests" /
                            (std::string(info->test_suite_name()) + "_" + info->name() + "_" + name);
  std::filesystem::remove_all(p);
  std::filesystem::create_directories(p);
  return p.string();
}

inline std::shared_ptr<vdrive::Disc> MakeDisc(const discgen::DiscOptions& options, std::string* cue = nullptr) {
  std::string path, error;
  EXPECT_EQ(0, discgen::GenerateDisc(options, FreshDir(options.name), &path, &error)) << error;
  auto disc = std::make_shared<vdrive::Disc>();
  EXPECT_EQ(0, disc->LoadCue(path, &error)) << error;
  if (cue) *cue = path;
  return disc;
}

inline std::string WriteFile(const std::string& dir, const std::string& name, const std::string& bytes) {
  const std::string path = (std::filesystem::path(dir) / name).string();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}

}  // namespace vdrive_test
