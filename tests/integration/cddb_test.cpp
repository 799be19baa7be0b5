// CDDB through the real DLL: a disc without CD-TEXT, CDDB first in the order
// of title sources, the fixture server on 127.0.0.1 (started around the test
// program by tests/cddb_server/with_servers.sh, which passes its port in
// QUORVO_CDDB_PORT), and the cache file beside the plug-in.
#include <gtest/gtest.h>

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

using ExtendedInfo = int (*)(const char*, const char*, char*, int);

class CddbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("QUORVO_CDDB_PORT");
    if (!port || !*port) GTEST_SKIP() << "no CDDB fixture server (run through tests/cddb_server/with_servers.sh)";
    port_ = port;
    const std::string cue = MakeKnownDisc("cddb_0d012c02");
    ASSERT_FALSE(cue.empty());
    ASSERT_EQ(1, virtual_aspi::Configure("[0:0:0]\r\ncue=" + cue + "\r\n"));
    DeleteFileA(CachePath().c_str());
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    Quit();
    DeleteFileA(IniPath().c_str());
    DeleteFileA(CachePath().c_str());
  }

  static std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }
  static std::string CachePath() { return TestHost::ProgramDirectory() + "\\cddb_cache.dat"; }

  void Start(const std::string& path = "/~cddb/cddb.cgi", const std::string& more = "CDDB_DialogAutoClose=true\r\n") {
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nAspi=true\r\nAspiDevMap_D=0:0:0\r\n"
                               "TitlePriority0=CDDB\r\nTitlePriority1=default\r\n"
                               "CDDB_URL=http://127.0.0.1:" + port_ + path + "\r\n" + more +
                               "CDDB_UseProxy=false\r\n");
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
    extended_ = reinterpret_cast<ExtendedInfo>(
        reinterpret_cast<void*>(GetProcAddress(host_.InputLibrary(), "winampGetExtendedFileInfo")));
    ASSERT_NE(nullptr, extended_);
  }
  void Quit() {
    if (in_) in_->Quit();
    in_ = nullptr;
    host_.UnloadInputPlugin();
  }
  std::string Title(const std::string& name) {
    char title[GETFILEINFO_TITLE_LENGTH];
    std::string copy = name;
    in_->GetFileInfo(&copy[0], title, nullptr);
    return codepage::AnsiToUtf8(title);
  }
  std::string Extended(const std::string& name, const char* key) {
    char buffer[256] = "";
    extended_(name.c_str(), key, buffer, sizeof buffer);
    return codepage::AnsiToUtf8(buffer);
  }
  // Index of the first logged host message of that code (-1: none).
  int IpcIndex(LPARAM code) {
    const auto messages = host_.Messages();
    for (size_t i = 0; i < messages.size(); ++i)
      if (messages[i].msg == host::kMsgIpc && messages[i].lParam == code) return static_cast<int>(i);
    return -1;
  }

  std::string port_;
  TestHost host_;
  In_Module* in_ = nullptr;
  ExtendedInfo extended_ = nullptr;
};

TEST_F(CddbTest, BackgroundLookupThenTitlesFromServerAndCache) {
  ServerGet(port_, "/__reset");
  Start();
  // The first query starts the lookup and falls through to the next source.
  EXPECT_EQ("CD-DA TRACK - D:\\Track1", Title("cda://D,1"));
  // Asked again at once, CDDB either still searches or has the answer.
  const std::string meanwhile = Title("cda://D,2");
  EXPECT_TRUE(meanwhile == "CDDBを検索中です..." || meanwhile == "E=mc2 (Live) - Artist") << meanwhile;

  ASSERT_TRUE(host_.PumpUntilMessage(host::kMsgIpc, 20000));
  host_.PumpFor(200);
  const int update = IpcIndex(host::kIpcUpdateTitle);
  const int refresh = IpcIndex(host::kIpcRefreshPlaylistCache);
  ASSERT_GE(update, 0);
  EXPECT_GT(refresh, update);

  EXPECT_EQ("First Song - Artist", Title("cda://D,1"));
  EXPECT_EQ("E=mc2 (Live) - Artist", Title("cda://D,2"));  // a title holding "="
  EXPECT_EQ("E=mc2 (Live)", Extended("cda://D,2", "TITLE"));
  EXPECT_EQ("Artist", Extended("cda://D,2", "ARTIST"));
  EXPECT_EQ("Album", Extended("cda://D,2", "ALBUM"));

  const std::string log = ServerGet(port_, "/__log");
  EXPECT_EQ(3, LineCount(log)) << log;
  EXPECT_NE(std::string::npos, log.find("cmd=motd&hello=username+hostname+in_quorvo.dll+Ver.0.26&proto=1")) << log;
  EXPECT_NE(std::string::npos, log.find("cmd=cddb+query+0D012C02+2+150+18430+302&")) << log;
  EXPECT_NE(std::string::npos, log.find("cmd=cddb+read+rock+0d012c02&")) << log;

  // A new load answers from cddb_cache.dat without any request.
  Quit();
  ServerGet(port_, "/__reset");
  host_.ClearMessages();
  Start();
  EXPECT_EQ("First Song - Artist", Title("cda://D,1"));
  EXPECT_EQ("Album", Extended("cda://D,1", "ALBUM"));
  host_.PumpFor(300);
  EXPECT_EQ(0, LineCount(ServerGet(port_, "/__log")));
  EXPECT_EQ(-1, IpcIndex(host::kIpcUpdateTitle));
}

// Against the live service's rules: without an address the lookup is
// refused and the status window says so with the server's own line; the
// address stored in winamp.ini then reaches the hello and the disc is found.
TEST_F(CddbTest, ARefusedHelloReadsAsARefusalAndTheStoredAddressIsSent) {
  ServerGet(port_, "/__reset");
  Start("/gnudb/~cddb/cddb.cgi", "CDDB_DialogAutoClose=false\r\n");
  EXPECT_EQ("CD-DA TRACK - D:\\Track1", Title("cda://D,1"));
  const std::string refused = "CDDBサーバが要求を拒否しました\r\n500 Invalid hello";
  HWND status = nullptr;
  std::string message;
  for (int i = 0; i < 400 && message.compare(0, refused.size(), refused) != 0; ++i) {
    host_.PumpFor(50);  // the window's owner lives on this thread
    status = dialog_helpers::FindOwnWindow("CDDBステータス");
    if (status) message = dialog_helpers::ItemText(status, IDC_STATUS_MESSAGE);
  }
  ASSERT_EQ(refused, message.substr(0, refused.size())) << message;
  dialog_helpers::SaveScreenshot(status, "106_cddb_status_refused");
  PostMessageA(status, WM_CLOSE, 0, 0);  // auto-close is off: the user closes it
  ASSERT_TRUE(host_.PumpUntilMessage(host::kMsgIpc, 20000));
  host_.PumpFor(200);
  EXPECT_EQ("CD-DA TRACK - D:\\Track1", Title("cda://D,1"));  // attempted once, nothing cached
  EXPECT_EQ(2, LineCount(ServerGet(port_, "/__log")));        // the motd's refusal is passed over, the query's ends it
  Quit();

  ServerGet(port_, "/__reset");
  host_.ClearMessages();
  Start("/gnudb/~cddb/cddb.cgi", "CDDB_DialogAutoClose=true\r\nCDDB_Email=taro@example.jp\r\n");
  Title("cda://D,1");
  ASSERT_TRUE(host_.PumpUntilMessage(host::kMsgIpc, 20000));
  host_.PumpFor(200);
  EXPECT_EQ("E=mc2 (Live) - Artist", Title("cda://D,2"));
  const std::string log = ServerGet(port_, "/__log");
  EXPECT_EQ(3, LineCount(log)) << log;
  EXPECT_NE(std::string::npos, log.find("cmd=motd&hello=taro+example.jp+in_quorvo.dll+Ver.0.26&proto=1")) << log;
}

}  // namespace
