// The input plug-in's table, Init/Quit and settings file, About box and the
// cross-process drive lock, through the real DLL in the test host.
#include <gtest/gtest.h>

#include <cstring>

#include "input/plugin_state.h"
#include "tests/host/test_host.h"
#include "tests/integration/ini_file.h"
#include "util/critical_section.h"
#include "util/named_event.h"

namespace {

const char kSection[] = "QZ_CDDAPLAYER";

std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFileA(IniPath().c_str());
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
  }
  In_Module* Load() {
    In_Module* in = host_.LoadInputPlugin();
    EXPECT_NE(nullptr, in);
    return in;
  }
  std::vector<std::string> KeysWritten() {
    std::vector<std::string> keys;
    for (const auto& entry : ini_file::Section(ini_file::Read(IniPath()), kSection)) keys.push_back(entry.first);
    return keys;
  }
  TestHost host_;
};

TEST_F(LifecycleTest, ModuleTableIsTheSameEveryTimeAndDescribedOnce) {
  In_Module* in = Load();
  ASSERT_NE(nullptr, in);
  using GetModule = In_Module* (*)();
  auto get = reinterpret_cast<GetModule>(
      reinterpret_cast<void*>(GetProcAddress(host_.InputLibrary(), "winampGetInModule2")));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(in, get());
  EXPECT_STREQ("QZS Audio CD Player plug-in Ver.0.26", in->description);
  EXPECT_EQ(0x100, in->version);
  EXPECT_EQ(0, std::memcmp(in->FileExtensions, "cda\0CD-DA(*.cda)\0\0", 18));
  EXPECT_EQ(1, in->is_seekable);
  EXPECT_EQ(1, in->UsesOutputPlug);
  EXPECT_NE(nullptr, in->EQSet);
  EXPECT_NE(nullptr, in->Play);
}

TEST_F(LifecycleTest, InitAndQuitWriteEveryKeyInOrderBesideTheHost) {
  In_Module* in = Load();
  in->Init();
  in->Quit();
  const std::vector<std::string> expected = {
      "Version",           "DefaultTitleFormat",    "TitlePriority0",
      "TitlePriority1",    "TitlePriority2",        "TitlePriority3",
      "CDTEXT_TitleFormat", "ExtendedFileInfoDefault", "ExtendedFileInfoDefaultTitle",
      "CDDB_TitleFormat",  "CDDB_Cache",            "CDDB_URL",
      "CDDB_UseUtf8",      "CDDB_Proxy",            "CDDB_UseProxy",
      "CDDB_Email",        "CDDB_DialogAutoClose",  "CDDB_URLHistory",       "CDDB_URLHistory0",
      "CDDB_URLHistory1",  "CDDB_ProxyHistory",     "BufferSize",
      "PreReadSize",       "ReadSpeed",             "MultithreadInitialize",
      "Rip_Secure",        "Rip_Retries",           "Rip_LogFolder",         "AccurateRip_Use",
      "AccurateRip_Server"};
  EXPECT_EQ(expected, KeysWritten());
  const std::string text = ini_file::Read(IniPath());
  EXPECT_EQ("0.26", ini_file::Value(text, kSection, "Version"));
  EXPECT_EQ("CD-DA TRACK - %7:\\Track%6", ini_file::Value(text, kSection, "DefaultTitleFormat"));
  EXPECT_EQ("882000", ini_file::Value(text, kSection, "BufferSize"));
  EXPECT_EQ("176400", ini_file::Value(text, kSection, "PreReadSize"));
  EXPECT_EQ("65535", ini_file::Value(text, kSection, "ReadSpeed"));
  EXPECT_EQ("false", ini_file::Value(text, kSection, "MultithreadInitialize"));
}

TEST_F(LifecycleTest, ExistingValuesSurviveAndReadOnlyKeysAreNeverWritten) {
  ini_file::Write(IniPath(),
                  "[Winamp]\r\nplugin=keep\r\n"
                  "[QZ_CDDAPLAYER]\r\n"
                  "TitlePriority0=CDDB\r\nTitlePriority2=\r\n"
                  "CDTEXTTitleFormat=%2\r\n"
                  "CDDB_UseProxy=TRUE\r\nCDDB_Cache=1\r\n"
                  "BufferSize=1411200\r\nPreReadSize=352800\r\nReadSpeed=2822\r\n"
                  "Aspi=true\r\nJitterCorrection=true\r\n");
  In_Module* in = Load();
  in->Init();
  in->Quit();
  const std::string text = ini_file::Read(IniPath());
  EXPECT_EQ("keep", ini_file::Value(text, "Winamp", "plugin"));
  EXPECT_EQ("CDDB", ini_file::Value(text, kSection, "TitlePriority0"));
  EXPECT_EQ("default", ini_file::Value(text, kSection, "TitlePriority2"));
  EXPECT_EQ("%2", ini_file::Value(text, kSection, "CDTEXT_TitleFormat"));
  EXPECT_EQ("%2", ini_file::Value(text, kSection, "CDTEXTTitleFormat"));
  EXPECT_EQ("true", ini_file::Value(text, kSection, "CDDB_UseProxy"));
  EXPECT_EQ("false", ini_file::Value(text, kSection, "CDDB_Cache"));
  EXPECT_EQ("1411200", ini_file::Value(text, kSection, "BufferSize"));
  EXPECT_EQ("352800", ini_file::Value(text, kSection, "PreReadSize"));
  EXPECT_EQ("2822", ini_file::Value(text, kSection, "ReadSpeed"));
  // Read-only and never-stored keys stay exactly as the user left them.
  EXPECT_EQ("true", ini_file::Value(text, kSection, "Aspi"));
  EXPECT_EQ("true", ini_file::Value(text, kSection, "JitterCorrection"));
}

TEST_F(LifecycleTest, AFreshFileNeverGetsAspiOrJitterCorrection) {
  In_Module* in = Load();
  in->Init();
  in->Quit();
  const std::string text = ini_file::Read(IniPath());
  EXPECT_EQ("<missing>", ini_file::Value(text, kSection, "Aspi"));
  EXPECT_EQ("<missing>", ini_file::Value(text, kSection, "JitterCorrection"));
}

TEST_F(LifecycleTest, SettingsSurviveAnUnloadAndReload) {
  ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nMultithreadInitialize=true\r\nTitlePriority3=CD-TEXT(EN)\r\n");
  In_Module* in = Load();
  in->Init();
  in->Quit();
  host_.UnloadInputPlugin();
  in = Load();
  in->Init();
  in->Quit();
  const std::string text = ini_file::Read(IniPath());
  EXPECT_EQ("true", ini_file::Value(text, kSection, "MultithreadInitialize"));
  EXPECT_EQ("CD-TEXT(EN)", ini_file::Value(text, kSection, "TitlePriority3"));
}

TEST_F(LifecycleTest, SlotsCalledRightAfterAThreadedInitWaitAndWork) {
  ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\nMultithreadInitialize=true\r\n");
  In_Module* in = Load();
  in->Init();
  char name[] = "cda://D,3";
  EXPECT_EQ(1, in->IsOurFile(name));
  char other[] = "D:\\track03.cda";
  EXPECT_EQ(0, in->IsOurFile(other));
  in->Quit();
}

TEST_F(LifecycleTest, AboutShowsTheVersionBoxOwnedByTheParent) {
  In_Module* in = Load();
  ModalBoxCloser closer("バージョン情報");
  in->About(host_.MainWindow());
  closer.Join();
  ASSERT_TRUE(closer.Closed());
  const std::string text = closer.Text();
  EXPECT_NE(std::string::npos, text.find("デジタル再生, CD-TEXT，CDDB対応")) << text;
  EXPECT_NE(std::string::npos, text.find("音楽CD再生プラグイン Ver.0.26")) << text;
}

TEST(DriveLock, TwoHostProcessesExcludeEachOther) {
  CNamedEvent held;
  ASSERT_TRUE(held.Create(true, false, "quorvo-test-lock-held"));
  const std::string command = "\"" + TestHost::ProgramDirectory() + "\\quorvo_host.exe\" --hold-lock 1500";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string mutableCommand = command;
  ASSERT_TRUE(CreateProcessA(nullptr, &mutableCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  ASSERT_EQ(0u, held.Wait(20000)) << "the other host never took the lock";

  CCriticalSection lock;
  ASSERT_TRUE(lock.Create(plugin::kDriveLockName));
  EXPECT_NE(0u, lock.Probe(0)) << "the lock must be taken by the other process";
  const DWORD start = GetTickCount();
  EXPECT_TRUE(lock.Lock());
  EXPECT_GE(GetTickCount() - start, 500u) << "got the lock while the other process held it";
  lock.Unlock();
  EXPECT_EQ(0u, lock.Probe(0)) << "probe must leave a free lock free";
  EXPECT_EQ(0u, lock.Probe(0));

  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 20000));
  DWORD exitCode = 99;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  EXPECT_EQ(0u, exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
