// CDDB servers, proxies and cache files that misbehave, through the real DLL
// as the host uses it: CDDB first in the order of title sources, a disc the
// fixture server knows (0D012C02), the lookup started by a title query and
// run in the background with its status window. For every fault: what the
// status window says, which title the playlist gets, how long it takes, and
// that the cache file beside the plug-in loses nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host_api/host_messages.h"
#include "resources/in_quorvo_cddb_info_res.h"
#include "tests/host/test_host.h"
#include "tests/integration/cddb_fixture.h"
#include "tests/integration/dialog_helpers.h"
#include "tests/integration/virtual_aspi.h"
#include "util/codepage.h"
#include "util/http_client.h"

namespace {

using namespace cddb_fixture;

const char kStatusCaption[] = "CDDBステータス";
const char kQuerying[] = "サーバに問い合わせています";
const char kFound[] = "CD情報の取得に成功しました";
const char kUnreachable[] = "CDDBサーバに接続できません";
const char kReadFailed[] = "CDの情報の読み取りに失敗しました";
const char kRefused[] = "CDDBサーバが要求を拒否しました";
const char kSearching[] = "CDDBを検索中です...";
const char kPatternTitle[] = "CD-DA TRACK - D:\\Track1";
const char kServerTitle[] = "First Song - Artist";
const char kServerTitle2[] = "E=mc2 (Live) - Artist";
const char kDiscKey[] = "0D012C02+2+150+18430+302";
// Another disc, found in an earlier run.
const char kOtherEntry[] =
    "[11111111+1+150+1000]\r\nDiscID=11111111\r\nTrackCount=1\r\nTitle0=Old Album\r\nPerformer0=Old Band\r\n"
    "Title1=Old Song\r\nPerformer1=Old Band\r\n";
// The plug-in's reply time-out: for the whole reply, not each receive.
constexpr DWORD kReplyTimeoutMs = 30000;

// A control's text without a message to its thread, which does not answer
// while its lookup runs.
std::string ControlText(HWND dialog, int id) {
  wchar_t wide[512] = {};
  InternalGetWindowText(GetDlgItem(dialog, id), wide, 512);
  return codepage::WideToUtf8(wide);
}

// The status window shows `expected`; a server's line below the message
// may be cut to the window's width, ending in "...".
bool ShownAs(const std::string& expected, const std::string& shown) {
  if (shown == expected) return true;
  const std::size_t cut = shown.size() - 3;
  return shown.size() > 3 && shown.compare(cut, 3, "...") == 0 && shown.find("\r\n") < cut &&
         expected.compare(0, cut, shown, 0, cut) == 0;
}

// The fixture server's record 0D012C02: tracks at 00:02:00 and 04:05:55,
// lead-out at 05:02:00; the gap before track 2 is made up by the drive.
std::string FileBytes(const std::string& path) { return ini_file::Read(path); }
void WriteBytes(const std::string& path, const std::string& bytes) { ini_file::Write(path, bytes); }
// A save's temporary file (each process names its own) left behind.
bool TemporaryLeft(const std::string& cache) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((cache + ".*tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// What the user sees of one background lookup.
struct Seen {
  std::string during;       // the status window while the lookup runs
  std::string titleDuring;  // another track's title meanwhile
  std::string message;      // the outcome in the status window
  std::string titleAfter;   // the first track's title once the host was told
  DWORD ms = 0;             // from the title query to the outcome
  bool ended = false;
  bool told = false;        // the host was asked to refresh its titles
};

// Another program that keeps a file open without sharing it.
class FileHolder {
 public:
  bool Hold(const std::string& path) {
    held_ = CreateEventA(nullptr, TRUE, FALSE, "quorvo-test-file-held");
    if (!held_) return false;
    ResetEvent(held_);
    std::string command = "\"" + TestHost::ProgramDirectory() + "\\quorvo_host.exe\" --hold-file \"" + path +
                          "\" 120000";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) return false;
    return WaitForSingleObject(held_, 20000) == WAIT_OBJECT_0;
  }
  void Release() {
    if (pi_.hProcess) {
      TerminateProcess(pi_.hProcess, 0);
      WaitForSingleObject(pi_.hProcess, 10000);
      CloseHandle(pi_.hThread);
      CloseHandle(pi_.hProcess);
    }
    pi_ = PROCESS_INFORMATION{};
  }
  ~FileHolder() {
    Release();
    if (held_) CloseHandle(held_);
  }

 private:
  HANDLE held_ = nullptr;
  PROCESS_INFORMATION pi_ = {};
};

class CddbFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("QUORVO_CDDB_PORT").empty()) GTEST_SKIP() << "no CDDB fixture server (tests/cddb_server/with_servers.sh)";
    server_ = "http://127.0.0.1:" + Env("QUORVO_CDDB_PORT");
    const std::string cue = MakeKnownDisc("faults_0d012c02");
    ASSERT_FALSE(cue.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\ncue=" + cue + "\r\n"));
    RemoveCache();
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    Quit();
    DeleteFileA(IniPath().c_str());
    RemoveCache();
  }

  static std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }
  static std::string CachePath() { return TestHost::ProgramDirectory() + "\\cddb_cache.dat"; }
  static void RemoveCache() {
    for (const char* suffix : {"", ".tmp", ".lock"}) DeleteFileA((CachePath() + suffix).c_str());
  }

  // Auto-close off: the test closes the status window as soon as it has
  // read the outcome, instead of waiting out the delay.
  void Start(const std::string& url, const std::string& more = "CDDB_UseProxy=false\r\n") {
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n"
                               "TitlePriority0=CDDB\r\nTitlePriority1=default\r\nCDDB_URL=" + url +
                                   "\r\nCDDB_DialogAutoClose=false\r\n" + more);
    host_.ClearMessages();
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
  }
  // Quit and unload; the time Quit took.
  DWORD Quit() {
    DWORD ms = 0;
    if (in_) {
      const DWORD start = GetTickCount();
      in_->Quit();
      ms = GetTickCount() - start;
    }
    in_ = nullptr;
    host_.UnloadInputPlugin();
    return ms;
  }
  std::string Title(const char* file) {
    char title[GETFILEINFO_TITLE_LENGTH] = {};
    std::string name = file;
    in_->GetFileInfo(&name[0], title, nullptr);
    return codepage::AnsiToUtf8(title);
  }

  // The status window of the background lookup (of this process, of
  // another thread).
  HWND LookupWindow(DWORD limitMs) {
    for (const DWORD start = GetTickCount();;) {
      for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, nullptr, codepage::Utf8ToWide(kStatusCaption).c_str())) != nullptr;) {
        DWORD pid = 0;
        const DWORD thread = GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId() && thread != GetCurrentThreadId() && IsWindowVisible(w)) return w;
      }
      if (GetTickCount() - start >= limitMs) return nullptr;
      host_.PumpFor(20);
    }
  }

  // A title query starts the lookup; the user reads the status window until
  // the lookup has ended (at most limitMs), then closes it.
  Seen BackgroundLookup(DWORD limitMs, bool slow = false) {
    Seen seen;
    const DWORD start = GetTickCount();
    EXPECT_EQ(kPatternTitle, Title("cda://D,1")) << "the query waited for the lookup";
    const HWND status = LookupWindow(20000);
    if (!status) return seen;
    if (slow) host_.PumpFor(300);  // past "接続中...", the window's first text
    seen.during = ControlText(status, IDC_STATUS_MESSAGE);
    seen.titleDuring = Title("cda://D,2");
    const HWND close = GetDlgItem(status, IDC_STATUS_CLOSE);
    while (IsWindow(status) && !IsWindowEnabled(close) && GetTickCount() - start < limitMs) host_.PumpFor(20);
    seen.ms = GetTickCount() - start;
    seen.ended = IsWindow(status) && IsWindowEnabled(close);
    if (!seen.ended) return seen;  // Quit ends it
    seen.message = ControlText(status, IDC_STATUS_MESSAGE);
    PostMessageA(status, WM_CLOSE, 0, 0);
    seen.told = host_.PumpUntilMessage(host::kMsgIpc, 10000);
    host_.PumpFor(100);
    seen.titleAfter = Title("cda://D,1");
    return seen;
  }

  std::string server_;
  TestHost host_;
  In_Module* in_ = nullptr;
};

// Servers and proxies that fail in every way a network does: each lookup
// ends, within the reply time-out at most, with the status window naming
// the cause; nothing is tried twice (the requests the server saw), and the
// track keeps its pattern title, also when asked again later.
TEST_F(CddbFaultsTest, EveryServerFaultEndsInTimeWithItsMessageAndThePatternTitle) {
  const std::string proxy = "CDDB_UseProxy=true\r\nCDDB_Proxy=127.0.0.1:";
  const std::string refused = std::string(kRefused) + "\r\nHTTP/1.0 ";
  struct Case {
    const char* fault;
    std::string url, more, message, title;
    int requests;  // what the server saw
    DWORD minMs, maxMs;
  } cases[] = {
      {"accepts, never answers", server_ + "/fault/silent", "", kUnreachable, kPatternTitle, 1,
       kReplyTimeoutMs - 1000, kReplyTimeoutMs + 10000},
      {"a byte every second, for ever", server_ + "/fault/drip/1000", "", kUnreachable, kPatternTitle, 1,
       kReplyTimeoutMs - 1000, kReplyTimeoutMs + 10000},
      {"1.5 s over every request", server_ + "/delay/1500/~cddb/cddb.cgi", "", kFound, kServerTitle, 3, 4500, 20000},
      {"closes in the middle of the body", server_ + "/fault/short", "", kUnreachable, kPatternTitle, 1, 0, 10000},
      // No length tells: the read reply lacks its final "." line.
      {"closes mid-reply, no length", server_ + "/cut/300/~cddb/cddb.cgi", "", kReadFailed, kPatternTitle, 3, 0,
       10000},
      {"HTTP 403", server_ + "/fault/status/403", "", refused + "403 Fixture", kPatternTitle, 1, 0, 10000},
      {"HTTP 503", server_ + "/fault/status/503", "", refused + "503 Fixture", kPatternTitle, 1, 0, 10000},
      // Refusals of the CDDB protocol itself, in replies that are fine as
      // HTTP; the motd's is passed over, the query's ends the lookup.
      {"409 line", server_ + "/refuse/409/~cddb/cddb.cgi", "", std::string(kRefused) + "\r\n409 No handshake.",
       kPatternTitle, 2, 0, 10000},
      {"530 line", server_ + "/refuse/530/~cddb/cddb.cgi", "",
       std::string(kRefused) + "\r\n530 Server error, server timeout.", kPatternTitle, 2, 0, 10000},
      // Servers as they are met: no message of the day, or no such command.
      {"motd 401", server_ + "/motd/401/~cddb/cddb.cgi", "", kFound, kServerTitle, 3, 0, 10000},
      {"motd 500", server_ + "/motd/500/~cddb/cddb.cgi", "", kFound, kServerTitle, 3, 0, 10000},
      {"nginx 504", server_ + "/nginx504/~cddb/cddb.cgi", "",
       std::string(kRefused) + "\r\nHTTP/1.1 504 Gateway Time-out", kPatternTitle, 1, 0, 10000},
      {"302, relative location", server_ + "/found/~cddb/cddb.cgi", "", kFound, kServerTitle, 6, 0, 10000},
      {"chunked", server_ + "/chunked/~cddb/cddb.cgi", "", kFound, kServerTitle, 3, 0, 10000},
      // The query's 200 line loses its end; no length tells.
      {"200 line cut", server_ + "/cut/30/~cddb/cddb.cgi", "", kUnreachable, kPatternTitle, 2, 0, 10000},
      // Cut after ten hops.
      {"redirects to itself", server_ + "/fault/loop", "", kUnreachable, kPatternTitle, 11, 0, 10000},
      {"the proxy is down", server_ + "/~cddb/cddb.cgi", proxy + "1\r\n", kUnreachable, kPatternTitle, 0, 0, 10000},
      // The same settings with the proxy up find the disc.
      {"the proxy is up", server_ + "/~cddb/cddb.cgi", proxy + Env("QUORVO_PROXY_PORT") + "\r\n", kFound,
       kServerTitle, 3, 0, 10000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    if (c.more.find("127.0.0.1:\r") != std::string::npos) continue;  // no proxy running
    RemoveCache();
    ServerGet(Env("QUORVO_CDDB_PORT"), "/__reset");
    Start(c.url, c.more.empty() ? "CDDB_UseProxy=false\r\n" : c.more);
    const Seen seen = BackgroundLookup(c.maxMs + 20000, c.minMs >= 1000);
    std::printf("[ fault    ] %-34s %6lu ms  %s\n", c.fault, static_cast<unsigned long>(seen.ms), seen.message.c_str());
    const bool found = c.title == kServerTitle;
    if (c.minMs >= 1000) {
      EXPECT_EQ(kQuerying, seen.during);
    }
    // Until its window is closed the lookup is busy; a found disc may be
    // answered from the cache already.
    EXPECT_TRUE(seen.titleDuring == kSearching || (found && seen.titleDuring == kServerTitle2)) << seen.titleDuring;
    ASSERT_TRUE(seen.ended) << "still looking up after " << seen.ms << " ms";
    EXPECT_TRUE(ShownAs(c.message, seen.message)) << seen.message;
    EXPECT_GE(seen.ms, c.minMs);
    EXPECT_LT(seen.ms, c.maxMs);
    EXPECT_TRUE(seen.told);
    EXPECT_EQ(c.title, seen.titleAfter);
    // Asked again a while later: the same title, no second lookup.
    host_.PumpFor(100);
    EXPECT_EQ(c.title, Title("cda://D,1"));
    host_.PumpFor(200);
    EXPECT_EQ(nullptr, LookupWindow(0));
    EXPECT_EQ(c.requests, LineCount(ServerGet(Env("QUORVO_CDDB_PORT"), "/__log")));
    EXPECT_LT(Quit(), 2000u);
    // Only a disc that was found reaches the cache file.
    EXPECT_EQ(found, FileBytes(CachePath()).find(kDiscKey) != std::string::npos);
  }
}

// A cache file cut short, or no cache at all: the start-up takes what it
// can, the lookup fills in the rest, and Quit writes a whole file again
// that keeps every entry the old one had.
TEST_F(CddbFaultsTest, ADamagedCacheFileLosesNoEntryItHeld) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 37 + 11) % 256 == '[' ? 0 : (i * 37 + 11) % 256);
  const std::string cut = "[22222222+1+150+2000]\r\nDiscID=22222222\r\nTrackCount=1\r\nTitle0=Cut Album\r\nPerfor";
  struct Case {
    const char* damage;
    std::string bytes;
    std::string kept;  // what the file must still hold afterwards
  } cases[] = {
      // The whole entry, and of the cut one every line that was whole.
      {"cut short in the middle of a line", kOtherEntry + cut,
       kOtherEntry + std::string("[22222222+1+150+2000]\r\nDiscID=22222222\r\nTrackCount=1\r\nTitle0=Cut Album\r\n")},
      {"binary garbage", garbage, ""},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.damage);
    RemoveCache();
    WriteBytes(CachePath(), c.bytes);
    ServerGet(Env("QUORVO_CDDB_PORT"), "/__reset");
    Start(server_ + "/~cddb/cddb.cgi");
    const Seen seen = BackgroundLookup(20000);
    ASSERT_TRUE(seen.ended);
    EXPECT_EQ(kFound, seen.message);
    EXPECT_EQ(kServerTitle, seen.titleAfter);
    EXPECT_LT(Quit(), 2000u);

    const std::string after = FileBytes(CachePath());
    EXPECT_NE(std::string::npos, after.find(c.kept)) << after;
    EXPECT_NE(std::string::npos, after.find("[" + std::string(kDiscKey) + "]\r\n")) << after;
    EXPECT_EQ("\r\n", after.substr(after.size() - 2));
    EXPECT_FALSE(TemporaryLeft(CachePath()));
    if (c.bytes == garbage) {  // no cache at all: replaced by what the run found
      EXPECT_EQ(0u, after.find("[" + std::string(kDiscKey) + "]"));
      EXPECT_EQ(std::string::npos, after.find("\r\n["));
    }
    // The next start answers from the file, without the server.
    ServerGet(Env("QUORVO_CDDB_PORT"), "/__reset");
    Start(server_ + "/~cddb/cddb.cgi");
    EXPECT_EQ(kServerTitle, Title("cda://D,1"));
    host_.PumpFor(200);
    EXPECT_EQ(0, LineCount(ServerGet(Env("QUORVO_CDDB_PORT"), "/__log")));
    Quit();
  }
}

// Another program holds cddb_cache.dat open without sharing. At start-up the
// plug-in does without it (the disc is looked up on the server) and, the
// file free again by Quit, merges its find into it. Held at Quit, the file
// cannot be replaced and stays exactly as it was; Quit is prompt either way.
TEST_F(CddbFaultsTest, ACacheFileHeldByAnotherProgramIsLeftWholeAndMergedIntoLater) {
  WriteBytes(CachePath(), kOtherEntry);
  {
    FileHolder holder;
    ASSERT_TRUE(holder.Hold(CachePath()));
    ServerGet(Env("QUORVO_CDDB_PORT"), "/__reset");
    Start(server_ + "/~cddb/cddb.cgi");
    const Seen seen = BackgroundLookup(20000);
    ASSERT_TRUE(seen.ended);
    EXPECT_EQ(kFound, seen.message);
    EXPECT_EQ(kServerTitle, seen.titleAfter);
    EXPECT_EQ(3, LineCount(ServerGet(Env("QUORVO_CDDB_PORT"), "/__log")));
    holder.Release();
  }
  EXPECT_LT(Quit(), 2000u);
  std::string after = FileBytes(CachePath());
  EXPECT_NE(std::string::npos, after.find(kOtherEntry)) << after;
  EXPECT_NE(std::string::npos, after.find("[" + std::string(kDiscKey) + "]\r\n")) << after;

  WriteBytes(CachePath(), kOtherEntry);
  ServerGet(Env("QUORVO_CDDB_PORT"), "/__reset");
  Start(server_ + "/~cddb/cddb.cgi");
  const Seen seen = BackgroundLookup(20000);
  ASSERT_TRUE(seen.ended);
  EXPECT_EQ(kFound, seen.message);
  {
    FileHolder holder;
    ASSERT_TRUE(holder.Hold(CachePath()));
    EXPECT_LT(Quit(), 2000u);
    holder.Release();
  }
  EXPECT_EQ(kOtherEntry, FileBytes(CachePath()));
  EXPECT_FALSE(TemporaryLeft(CachePath()));
}

}  // namespace
