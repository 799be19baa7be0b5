// The CDDB cache and its file.
#include "cddb/cddb_cache.h"

#include <gtest/gtest.h>

#include "util/codepage.h"
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>
#include <iterator>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

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
  std::remove((path + ".lock").c_str());
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

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Keys(const std::string& path) {
  CddbCache cache;
  cache.Load(path);
  std::vector<std::string> keys;
  std::string key;
  for (cache.First(); cache.Next(&key, nullptr);) keys.push_back(key);
  return keys;
}

// The real file operations, but the failAt-th writing step (Create, Write,
// Finish, Replace, from 1) fails, and every Read when readFails.
struct FailingOps : CacheFileOps {
  int failAt = 0, calls = 0;
  bool readFails = false;
  int Read(const std::string& p, std::size_t limit, std::string* text) override {
    return readFails ? kCacheFileUnreadable : CacheFileOps::Read(p, limit, text);
  }
  bool Create(const std::string& p) override { return ++calls != failAt && CacheFileOps::Create(p); }
  bool Write(const char* d, std::size_t n) override { return ++calls != failAt && CacheFileOps::Write(d, n); }
  bool Finish() override { return (++calls != failAt) & CacheFileOps::Finish(); }  // closes in any case
  int busy = 0;  // Replace finds the old file open elsewhere this often first
  int Replace(const std::string& f, const std::string& t) override {
    if (++calls == failAt) return kCacheReplaceFailed;
    return busy-- > 0 ? kCacheReplaceBusy : CacheFileOps::Replace(f, t);
  }
};

struct CacheFile : ::testing::Test {
  // One file per test: ctest runs the tests of this fixture side by side.
  const std::string path = ::testing::TempDir() + "cddb_cache_safety_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".dat";
  void SetUp() override {
    CddbCache seed;
    for (const char* k : {"K1", "K2", "K3"}) seed.Store(k, Disc(1, {{k, "Band"}}));
    ASSERT_EQ(1, seed.Save(path));
  }
  void TearDown() override {
    std::remove(path.c_str());
    std::remove((path + ".lock").c_str());
  }
};

}  // namespace

TEST_F(CacheFile, ASaveFailingAtAnyStepLeavesTheOldFileByteForByte) {
  const std::string before = Bytes(path);
  CddbCache cache;
  ASSERT_EQ(1, cache.Load(path));
  cache.Store("K4", Disc(4, {{"new", ""}}));
  cache.Delete("K1");
  int failAt = 1;
  for (;; ++failAt) {
    FailingOps ops;
    ops.failAt = failAt;
    if (cache.Save(path, ops) == 1) break;
    ASSERT_EQ(before, Bytes(path)) << "failing step " << failAt;
    EXPECT_FALSE(std::ifstream(cache_file::TempPathFor(path)).good()) << "failing step " << failAt;
  }
  EXPECT_EQ(7, failAt);  // create, three entries, finish and replace each failed once
  EXPECT_EQ((std::vector<std::string>{"K2", "K3", "K4"}), Keys(path));
  cache.Store("K5", Disc(5, {{"five", ""}}));
  FailingOps held;
  held.busy = 4;
  ASSERT_EQ(1, cache.Save(path, held));  // tried again while the file is open elsewhere
  EXPECT_EQ(-1, held.busy);               // four refusals, then the fifth try
}

// Two host processes, and a third that could not read the file at start-up:
// every addition and deletion survives, whoever saves last.
TEST_F(CacheFile, SavesMergeWhatOthersSavedMeanwhile) {
  CddbCache a, b, c;
  ASSERT_EQ(1, a.Load(path));
  ASSERT_EQ(1, b.Load(path));
  FailingOps locked;
  locked.readFails = true;
  EXPECT_EQ(0, c.Load(path, locked));
  a.Store("KA", Disc(10, {{"a", ""}}));
  a.Delete("K1");
  b.Store("KB", Disc(11, {{"b", ""}}));
  b.Delete("K2");
  c.Store("KC", Disc(12, {{"c", ""}}));
  EXPECT_EQ(0, c.Save(path, locked));  // unreadable now as well: left alone
  for (CddbCache* cache : {&a, &b, &c}) ASSERT_EQ(1, cache->Save(path));
  EXPECT_EQ((std::vector<std::string>{"K3", "KA", "KB", "KC"}), Keys(path));

  // Saves at the same moment take turns (they share the temporary file).
  CacheFileOps first, second;
  ASSERT_TRUE(first.Lock(path, 0));
  EXPECT_FALSE(second.Lock(path, 50));
  first.Unlock();
  // Kept: on Windows a lock file deleted with its holder is doomed by the
  // first failed attempt of another process, which can then never open it.
  EXPECT_TRUE(std::ifstream(path + ".lock").good());
  EXPECT_TRUE(second.Lock(path, 0));
}

#ifndef _WIN32
// Players quitting together (log-off), each saving its own discs several
// times at once: every disc ends up in the file.
TEST_F(CacheFile, PlayersSavingAtOnceKeepEveryonesDiscs) {
  int go[2];
  ASSERT_EQ(0, pipe(go));
  std::vector<pid_t> players;
  for (int p = 0; p < 4; ++p) {
    if (const pid_t child = fork(); child != 0) {
      players.push_back(child);
      continue;
    }
    char byte;
    close(go[1]);
    (void)!read(go[0], &byte, 1);  // all start when the parent closes its end
    CddbCache cache;
    int failed = 0;
    for (int round = 0; round < 5; ++round) {
      cache.Store("P" + std::to_string(p * 10 + round), Disc(1, {{"t", ""}}));
      failed += cache.Save(path) != 1;
    }
    _exit(failed);
  }
  close(go[0]);
  close(go[1]);
  for (pid_t child : players) {
    int status = -1;
    EXPECT_EQ(child, waitpid(child, &status, 0));
    EXPECT_EQ(0, status);
  }
  EXPECT_EQ(23u, Keys(path).size());  // K1 to K3 and five of each player's
}
#endif

// A file made to inflate the cache: at most 100 numbers per disc, 50000 discs.
TEST(CddbCacheFile, AHostileFileIsCapped) {
  std::string text = "[K]\n";
  for (int i = 0; i < 300; ++i) text += "Title" + std::to_string(i) + "=t\n";
  for (int i = 0; i < 60000; ++i) text += "[D" + std::to_string(i) + "]\n";
  CddbCache cache;
  cache.LoadText(text);
  CddbDiscRecord r;
  ASSERT_EQ(1, cache.Find("K", &r));
  EXPECT_EQ(100u, r.tracks.size());
  EXPECT_EQ(50000u, cache.Size());
}

TEST_F(CacheFile, DamagedMissingOrHugeFilesLoseNothing) {
  const char junk[] = "\0\xFF\xFE[\x01=\x03\n\x80\x81\n";
  std::ofstream(path, std::ios::binary | std::ios::app).write(junk, sizeof junk - 1) << "[K5]\nTitle0=five\n";
  CddbCache cache;
  cache.Store("KC", Disc(12, {{"c", ""}}));
  ASSERT_EQ(1, cache.Save(path));  // the damaged middle is dropped, every section kept
  EXPECT_EQ((std::vector<std::string>{"K1", "K2", "K3", "K5", "KC"}), Keys(path));
  std::ofstream(path, std::ios::binary).write(junk, sizeof junk - 1);  // no cache at all
  ASSERT_EQ(1, cache.Save(path));
  EXPECT_EQ(std::vector<std::string>{"KC"}, Keys(path));

  CacheFileOps ops;
  std::string text = "stale";
  EXPECT_EQ(kCacheFileUnreadable, ops.Read(path, sizeof junk - 2, &text));  // over the limit: not held
  EXPECT_EQ("", text);
  std::remove(path.c_str());
  EXPECT_EQ(kCacheFileMissing, ops.Read(path, 100, &text));
  ASSERT_EQ(1, cache.Save(path));
  EXPECT_EQ(std::vector<std::string>{"KC"}, Keys(path));
}

#ifdef _WIN32
// Held open without sharing by another program: neither read nor replaced.
TEST_F(CacheFile, ALockedFileIsNeitherLoadedNorReplaced) {
  const std::string before = Bytes(path);
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  CddbCache cache;
  EXPECT_EQ(0, cache.Load(path));
  cache.Store("K4", CddbDiscRecord());
  EXPECT_EQ(0, cache.Save(path));
  CloseHandle(held);
  EXPECT_EQ(before, Bytes(path));
  ASSERT_EQ(1, cache.Save(path));
  EXPECT_EQ((std::vector<std::string>{"K1", "K2", "K3", "K4"}), Keys(path));
}

// A reader (a player starting, an indexer) has the file open, sharing all
// but its replacement: the save goes through once it lets go within the
// retry window, else gives up leaving the old file whole.
TEST_F(CacheFile, AReaderHoldingTheFileDelaysTheSaveOrLeavesTheFileWhole) {
  const std::string before = Bytes(path);
  for (const DWORD holdMs : {4000u, 600u}) {
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::thread holder([&] {
      Sleep(holdMs);
      CloseHandle(reader);
    });
    CddbCache cache;
    cache.Store("K4", CddbDiscRecord());
    const DWORD start = GetTickCount();
    EXPECT_EQ(holdMs < 3000 ? 1 : 0, cache.Save(path)) << holdMs;
    EXPECT_GE(GetTickCount() - start, std::min<DWORD>(holdMs, 3000) - 50);
    holder.join();
    EXPECT_TRUE(holdMs < 3000 ? Keys(path).size() == 4u : Bytes(path) == before);
    EXPECT_FALSE(std::ifstream(cache_file::TempPathFor(path)).good());
  }
}
#endif

namespace {

// How version 0.26 read a file's lines: the oracle for what an older version makes of ours.
CddbDiscRecord ReadAsVersion026(const std::string& text) {
  CddbDiscRecord r;
  std::string line;
  for (std::istringstream in(text); std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t equals = line.find('=');
    if (line.empty() || line[0] == '[' || equals == std::string::npos) continue;
    const std::string name = line.substr(0, equals), value = line.substr(equals + 1);
    const auto number = [&](std::size_t from) { return std::strtoul(name.c_str() + from, nullptr, 10); };
    if (name.compare(0, 10, "TrackCount") == 0) r.trackCount = std::strtoul(value.c_str(), nullptr, 10);
    else if (name.compare(0, 5, "Title") == 0) r.tracks[number(5)].title = value;
    else if (name.compare(0, 9, "Performer") == 0) r.tracks[number(9)].performer = value;
  }
  return r;
}

// Title, performer of each track; the bytes Python's cp932 / cp1252 codecs give (null: not in the code page).
struct { const char *text, *cp932, *cp1252; } const kTexts[] = {
    {"周杰倫", "\x8e\xfc\x9e^\x97\xcf", nullptr}, {"아이유", nullptr, nullptr},
    {"Beyoncé", nullptr, "Beyonc\xe9"}, {"Sigur Rós", nullptr, "Sigur R\xf3s"},
    {"日本語のタイトル", "\x93\xfa\x96{\x8c\xea\x82\xcc\x83^\x83" "C\x83g\x83\x8b", nullptr},
    {"ｱｰﾃｨｽﾄ", "\xb1\xb0\xc3\xa8\xbd\xc4", nullptr}};

}  // namespace

// An older version's Japanese file (Python's cp932 codec) loads and saves unchanged; in either code
// page a saved file loads back exact and an older version reads each text as the ANSI bytes it wrote.
TEST(CddbCacheFile, UnicodeExactHereAndAsAlwaysForOlderVersions) {
  codepage::SetAnsiCodePageForTesting(932);
  const std::string old =
      "[0D012C02+2+150+18430+302]\r\nDiscID=0D012C02\r\nTrackCount=2\r\n"
      "Title0=\x93\xfa\x96{\x8c\xea\x82\xcc\x83" "A\x83\x8b\x83o\x83\x80\r\nPerformer0=\xca\xde\xdd\xc4\xde\r\n"
      "Title1=\x95\x5c\x8e\xa6=\x83\x5c\r\nPerformer1=\x8e\xfc\x9e^\x97\xcf\r\n"
      "Title2=\x81`\x87@\x87U\x87\x8a\r\nPerformer2=\r\n";
  CddbCache oldCache;
  CddbDiscRecord r;
  oldCache.LoadText(old);
  ASSERT_EQ(1, oldCache.Find("0D012C02+2+150+18430+302", &r));
  ExpectSame(Disc(0x0D012C02, {{"日本語のアルバム", "ﾊﾞﾝﾄﾞ"}, {"表示=ソ", "周杰倫"}, {"～①Ⅱ㈱", ""}}), r);
  EXPECT_EQ(old, oldCache.SaveText());

  std::vector<std::pair<std::string, std::string>> texts = {{"Album", "Band"}};
  for (std::size_t i = 0; i < std::size(kTexts); i += 2) texts.push_back({kTexts[i].text, kTexts[i + 1].text});
  for (const unsigned codePage : {932u, 1252u}) {
    codepage::SetAnsiCodePageForTesting(codePage);
    CddbCache cache, loaded;
    cache.Store("K", Disc(7, texts));
    loaded.LoadText(cache.SaveText());
    ASSERT_EQ(1, loaded.Find("K", &r));
    ExpectSame(Disc(7, texts), r);
    const CddbDiscRecord seen = ReadAsVersion026(cache.SaveText());
    EXPECT_EQ(3u, seen.trackCount);
    for (std::size_t i = 0; i < std::size(kTexts); ++i) {
      const TitleInfo& t = seen.tracks.at(static_cast<std::uint32_t>(i / 2 + 1));
      const char* python = codePage == 932 ? kTexts[i].cp932 : kTexts[i].cp1252;
      EXPECT_EQ(python ? python : codepage::Utf8ToAnsi(kTexts[i].text), i % 2 ? t.performer : t.title) << codePage;
    }
  }
  codepage::SetAnsiCodePageForTesting(0);
}
