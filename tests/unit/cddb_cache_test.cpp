// The CDDB cache and its file.
#include "cddb/cddb_cache.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/unit/cddb_cache_support.h"

namespace {

CddbDiscRecord Disc(std::uint32_t id, std::vector<std::pair<std::string, std::string>> texts) {
  CddbDiscRecord r;
  r.discId = id;
  r.trackCount = static_cast<std::uint32_t>(texts.size()) - 1;
  for (std::size_t i = 0; i < texts.size(); ++i) r.tracks[static_cast<std::uint32_t>(i)] = {texts[i].first, texts[i].second, "", "", ""};
  return r;
}

void ExpectSame(const CddbDiscRecord& a, const CddbDiscRecord& b) {
  EXPECT_EQ(a.discId, b.discId);
  EXPECT_EQ(a.trackCount, b.trackCount);
  ASSERT_EQ(a.tracks.size(), b.tracks.size());
  for (const auto& t : a.tracks) {
    ASSERT_EQ(1u, b.tracks.count(t.first));
    EXPECT_EQ(t.second.title, b.tracks.at(t.first).title);
    EXPECT_EQ(t.second.performer, b.tracks.at(t.first).performer);
  }
}

}  // namespace

TEST(CddbCacheFile, WrittenFormatAndRoundTrip) {
  CddbCache cache;
  cache.Store("0D012C02+2+150+18430+302", Disc(0x0D012C02, {{"Album", "Band"}, {"First", "Band"}, {"Second", "Band"}}));
  EXPECT_EQ(
      "[0D012C02+2+150+18430+302]\r\nDiscID=0D012C02\r\nTrackCount=2\r\n"
      "Title0=Album\r\nPerformer0=Band\r\nTitle1=First\r\nPerformer1=Band\r\nTitle2=Second\r\nPerformer2=Band\r\n",
      cache.SaveText());

  // Titles with "=", Japanese texts (CP932 bytes whose trail bytes include
  // '[' ']' '=' look-alikes), empty texts, and a key that prefixes another.
  cache.Store("0D012C02+2", Disc(0xFFFFFFFF, {{"a=b=c", "=lead"}, {"日本語のタイトル", "アーティスト"}, {"", ""}}));
  cache.Store("ABCDEF01+1+150+999", Disc(0x00000001, {{"表示", "ソ"}, {"x", "y"}}));
  const std::string path = ::testing::TempDir() + "cddb_cache_roundtrip.dat";
  ASSERT_EQ(1, cache.Save(path));
  CddbCache loaded;
  ASSERT_EQ(1, loaded.Load(path));
  std::remove(path.c_str());
  ASSERT_EQ(3u, loaded.Size());
  std::string key;
  CddbDiscRecord a, b;
  cache.First();
  loaded.First();
  while (cache.Next(&key, &a)) {
    std::string loadedKey;
    ASSERT_EQ(1, loaded.Next(&loadedKey, &b));
    EXPECT_EQ(key, loadedKey);
    ExpectSame(a, b);
  }
  EXPECT_EQ(0, loaded.Next(&key, &b));
  EXPECT_EQ(0, loaded.Load(path));  // gone: unchanged
  EXPECT_EQ(3u, loaded.Size());
}

TEST(CddbCacheFile, ReaderTolerance) {
  struct Case {
    const char* name;
    std::string text;
    std::map<std::string, std::string> expected;  // key -> "id|count|n:title/performer;..."
  } cases[] = {
      {"LF only", "[K1]\nDiscID=0a0b0c0d\nTrackCount=1\nTitle0=T\nPerformer0=P\n",
       {{"K1", "0A0B0C0D|1|0:T/P;"}}},
      {"sections without DiscID inherit the one before; lines before the first header join it",
       "Title1=early\n[K1]\r\nDiscID=11\r\nTitle0=a\r\n[K2]\r\nTitle0=b\r\n",
       {{"K1", "00000011|0|0:a/;1:early/;"}, {"K2", "00000011|0|0:b/;"}}},
      {"a later duplicate replaces the earlier",
       "[K1]\nDiscID=1\nTrackCount=3\nTitle0=old\n[K1]\nDiscID=2\nTrackCount=1\nTitle1=new\n",
       {{"K1", "00000002|1|1:new/;"}}},
      {"header without ] stores the section before and starts none",
       "[K1]\nDiscID=1\nTitle0=a\n[broken\nTitle1=b\n[K2]\nTitle0=c\n",
       {{"K1", "00000001|0|1:b/;"}, {"K2", "00000001|0|0:c/;"}}},
      {"junk, signs, hex noise and blank lines",
       "\n\n[K1]\nnonsense\nDiscID=zz1x2\nTrackCount=+7q\nTitlex=none\nPerformer-0=s\n=\n",
       {{"K1", "00000012|7|0:none/s;"}}},
      {"nothing but junk", "no sections here\nTitle0=x\n", {}},
  };
  for (const Case& c : cases) {
    CddbCache cache;
    cache.LoadText(c.text);
    std::map<std::string, std::string> got;
    std::string key;
    CddbDiscRecord r;
    cache.First();
    while (cache.Next(&key, &r)) {
      char head[32];
      std::snprintf(head, sizeof head, "%.8X|%u|", static_cast<unsigned>(r.discId), static_cast<unsigned>(r.trackCount));
      std::string s = head;
      for (const auto& t : r.tracks) s += std::to_string(t.first) + ":" + t.second.title + "/" + t.second.performer + ";";
      got[key] = s;
    }
    EXPECT_EQ(c.expected, got) << c.name;
  }
}

TEST(CddbCacheFile, LongLinesReadInPieces) {
  CddbCache cache;
  // A 5000-byte title: its first 4095 bytes are one line, the rest another
  // line that is no setting; the next line is read normally.
  cache.LoadText("[K]\nTitle0=" + std::string(5000, 'x') + "\nPerformer0=p\n");
  CddbDiscRecord r;
  ASSERT_EQ(1, cache.Find("K", &r));
  EXPECT_EQ(4095u - 7u, r.tracks[0].title.size());
  EXPECT_EQ("p", r.tracks[0].performer);
}

TEST(CddbCache, IterationSurvivesDeletion) {
  CddbCache cache;
  for (const char* k : {"A", "B", "C", "D"}) cache.Store(k, CddbDiscRecord());
  std::string key;
  cache.First();
  ASSERT_EQ(1, cache.Next(&key, nullptr));
  EXPECT_EQ("A", key);
  EXPECT_EQ(1, cache.Delete("A"));
  EXPECT_EQ(1, cache.Delete("B"));
  EXPECT_EQ(1, cache.Delete("nothing"));
  ASSERT_EQ(1, cache.Next(&key, nullptr));
  EXPECT_EQ("C", key);
  ASSERT_EQ(1, cache.Next(&key, nullptr));
  EXPECT_EQ("D", key);
  EXPECT_EQ(0, cache.Next(&key, nullptr));
  EXPECT_EQ(2u, cache.Size());
}

namespace {

using cddbcachetest::Bytes;
using cddbcachetest::Exists;
using cddbcachetest::FailingOps;
using cddbcachetest::Keys;

CddbDiscRecord Named(const std::string& title) { return Disc(0x0A0B0C0D, {{title, "Band"}, {"One", ""}}); }

}  // namespace

TEST(CddbCacheFile, ASaveFailingAtAnyStepLeavesTheOldFileByteForByte) {
  const std::string path = ::testing::TempDir() + "cddb_cache_interrupted.dat";
  CddbCache first;
  for (const char* k : {"K1", "K2", "K3"}) first.Store(k, Named(k));
  ASSERT_EQ(1, first.Save(path));
  const std::string before = Bytes(path);

  CddbCache cache;
  ASSERT_EQ(1, cache.Load(path));
  cache.Store("K4", Named("new"));
  cache.Delete("K1");
  int failAt = 1;
  for (;; ++failAt) {
    FailingOps ops;
    ops.failAt = failAt;
    if (cache.Save(path, ops) == 1) break;
    ASSERT_EQ(before, Bytes(path)) << "failing step " << failAt;
    EXPECT_FALSE(Exists(path + ".tmp")) << "failing step " << failAt;
    ASSERT_LT(failAt, 50);
  }
  EXPECT_EQ(7, failAt);  // create, three entries, finish, replace: all were failed once
  EXPECT_EQ((std::vector<std::string>{"K2", "K3", "K4"}), Keys(path));
  std::remove(path.c_str());
}

TEST(CddbCacheFile, SavesMergeWhatOtherProcessesSavedMeanwhile) {
  const std::string path = ::testing::TempDir() + "cddb_cache_merge.dat";
  CddbCache seed;
  for (const char* k : {"K1", "K2", "K3"}) seed.Store(k, Named(k));
  ASSERT_EQ(1, seed.Save(path));

  CddbCache a, b, c;
  ASSERT_EQ(1, a.Load(path));
  ASSERT_EQ(1, b.Load(path));
  FailingOps locked;
  locked.readFails = true;  // c could not read the file at start-up
  EXPECT_EQ(0, c.Load(path, locked));

  a.Store("KA", Named("from a"));
  a.Delete("K1");
  ASSERT_EQ(1, a.Save(path));
  b.Store("KB", Named("from b"));
  b.Store("K2", Named("K2 again"));
  ASSERT_EQ(1, b.Save(path));
  c.Store("KC", Named("from c"));
  ASSERT_EQ(1, c.Save(path));
  // K1 stays deleted although b and c still held or never saw it.
  EXPECT_EQ((std::vector<std::string>{"K2", "K3", "KA", "KB", "KC"}), Keys(path));
  CddbCache check;
  check.Load(path);
  CddbDiscRecord r;
  ASSERT_EQ(1, check.Find("K2", &r));
  EXPECT_EQ("K2 again", r.tracks[0].title);

  b.Delete("KA");  // a deletion in the cache manager of another process's disc
  ASSERT_EQ(1, b.Save(path));
  ASSERT_EQ(1, b.Save(path));  // nothing new: the same file again
  EXPECT_EQ((std::vector<std::string>{"K2", "K3", "KB", "KC"}), Keys(path));
  std::remove(path.c_str());
}

TEST(CddbCacheFile, DamagedUnreadableOrHugeFilesAreNeverLost) {
  const std::string path = ::testing::TempDir() + "cddb_cache_damaged.dat";
  const std::string good = "[K1]\r\nDiscID=1\r\nTrackCount=1\r\nTitle0=one\r\n";
  const char junkBytes[] = "\0\xFF\xFE[\x01\x02=\x03\n\n\x80\x81\n";
  const std::string junk(junkBytes, sizeof junkBytes - 1);
  const struct {
    const char* name;
    std::string file;
    std::vector<std::string> loaded, saved;
  } cases[] = {
      {"damaged in the middle", good + junk + "[K2]\nDiscID=2\nTitle0=two\n", {"K1", "K2"}, {"K1", "K2", "KC"}},
      {"no cache at all", junk + junk, {}, {"KC"}},
      {"empty", "", {}, {"KC"}},
  };
  for (const auto& c : cases) {
    cddbcachetest::WriteBytes(path, c.file);
    CddbCache cache;
    EXPECT_EQ(1, cache.Load(path)) << c.name;
    std::vector<std::string> loaded;
    std::string key;
    cache.First();
    while (cache.Next(&key, nullptr)) loaded.push_back(key);
    EXPECT_EQ(c.loaded, loaded) << c.name;
    cache.Store("KC", Named("from c"));
    ASSERT_EQ(1, cache.Save(path)) << c.name;
    EXPECT_EQ(c.saved, Keys(path)) << c.name;
  }

  // Unreadable when saving (locked by another program): nothing replaced.
  const std::string before = Bytes(path);
  CddbCache cache;
  cache.Store("KD", Named("d"));
  FailingOps locked;
  locked.readFails = true;
  EXPECT_EQ(0, cache.Save(path, locked));
  EXPECT_EQ(before, Bytes(path));
  EXPECT_FALSE(Exists(path + ".tmp"));

  // Over the limit: neither held nor used; a missing file is told apart.
  CacheFileOps ops;
  std::string text = "stale";
  EXPECT_EQ(kCacheFileUnreadable, ops.Read(path, before.size() - 1, &text));
  EXPECT_EQ("", text);
  EXPECT_EQ(kCacheFileRead, ops.Read(path, before.size(), &text));
  std::remove(path.c_str());
  EXPECT_EQ(kCacheFileMissing, ops.Read(path, 100, &text));
  ASSERT_EQ(1, cache.Save(path));  // no file: everything held
  EXPECT_EQ(std::vector<std::string>{"KD"}, Keys(path));
  std::remove(path.c_str());
}
