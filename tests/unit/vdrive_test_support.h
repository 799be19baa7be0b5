#pragma once
// Shared helpers of the virtual drive tests: discs generated into a fresh
// temporary folder per test.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/virtual_drive.h"

namespace vdrive_test {

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
