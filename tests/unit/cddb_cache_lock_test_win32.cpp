// A cache file that another program holds open without sharing (a backup
// tool, a second host caught mid-save): not read, not replaced, merged later.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/unit/cddb_cache_support.h"

TEST(CddbCacheFileWin32, ALockedFileIsNeitherLoadedNorReplaced) {
  const std::string path = ::testing::TempDir() + "cddb_cache_locked.dat";
  CddbCache seed;
  seed.Store("K1", CddbDiscRecord());
  ASSERT_EQ(1, seed.Save(path));
  const std::string before = cddbcachetest::Bytes(path);

  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  CddbCache cache;
  EXPECT_EQ(0, cache.Load(path));
  cache.Store("K2", CddbDiscRecord());
  EXPECT_EQ(0, cache.Save(path));
  CloseHandle(held);
  EXPECT_EQ(before, cddbcachetest::Bytes(path));
  EXPECT_FALSE(cddbcachetest::Exists(path + ".tmp"));

  ASSERT_EQ(1, cache.Save(path));  // released: this run's disc joins the file's
  EXPECT_EQ((std::vector<std::string>{"K1", "K2"}), cddbcachetest::Keys(path));
  DeleteFileA(path.c_str());
}
