// Several host processes quitting at the same moment (log-off): each saves
// the discs its session found into one cache file, at once and repeatedly.
// Whoever saves last, every process's discs end up in the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cddb/cddb_cache.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

constexpr int kProcesses = 4;
constexpr int kRounds = 5;

// One player's session: a disc found before each save. The number of saves
// that failed.
int SaveRounds(const std::string& path, const std::string& name) {
  CddbCache cache;
  cache.Load(path);
  int failed = 0;
  for (int round = 0; round < kRounds; ++round) {
    CddbDiscRecord disc;
    disc.discId = static_cast<std::uint32_t>(round);
    disc.tracks[0].title = name;
    cache.Store(name + "-" + std::to_string(round), disc);
    if (cache.Save(path) != 1) ++failed;
  }
  return failed;
}

#ifdef _WIN32
const char kGo[] = "quorvo-test-cache-savers-go";

// Run in a child process of this program (see below).
TEST(CacheFileProcesses, DISABLED_Saver) {
  const char* spec = std::getenv("QUORVO_CACHE_SAVER");  // "<name>|<path>"
  ASSERT_NE(nullptr, spec);
  const std::string text = spec;
  const HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, kGo);
  ASSERT_NE(nullptr, go);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(go, 20000));
  CloseHandle(go);
  EXPECT_EQ(0, SaveRounds(text.substr(text.find('|') + 1), text.substr(0, text.find('|'))));
}

// Starts the savers, lets them go together; true when every one succeeded.
bool RunSavers(const std::string& path) {
  const HANDLE go = CreateEventA(nullptr, TRUE, FALSE, kGo);
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::vector<PROCESS_INFORMATION> children;
  for (int i = 0; i < kProcesses; ++i) {
    const std::string spec = "P" + std::to_string(i) + "|" + path;
    SetEnvironmentVariableA("QUORVO_CACHE_SAVER", spec.c_str());
    std::string command = std::string("\"") + exe +
                          "\" --gtest_filter=CacheFileProcesses.DISABLED_Saver --gtest_also_run_disabled_tests";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;  // the savers' own test output is not ours
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      children.push_back(pi);
  }
  SetEnvironmentVariableA("QUORVO_CACHE_SAVER", nullptr);
  SetEvent(go);
  bool ok = children.size() == kProcesses;
  for (PROCESS_INFORMATION& pi : children) {
    DWORD code = 1;
    ok = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code) &&
         code == 0 && ok;
    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(go);
  return ok;
}
#else
bool RunSavers(const std::string& path) {
  int go[2];
  if (pipe(go) != 0) return false;
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      close(go[1]);
      char byte;
      (void)!read(go[0], &byte, 1);  // returns when the parent closes its end
      _exit(SaveRounds(path, "P" + std::to_string(i)));
    }
    if (child > 0) children.push_back(child);
  }
  close(go[0]);
  close(go[1]);
  bool ok = children.size() == kProcesses;
  for (pid_t child : children) {
    int status = 0;
    ok = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
  }
  return ok;
}
#endif

TEST(CacheFileProcesses, PlayersQuittingTogetherKeepEveryonesDiscs) {
  const std::string path = ::testing::TempDir() + "cddb_cache_processes.dat";
  std::remove(path.c_str());
  ASSERT_TRUE(RunSavers(path)) << "a save failed or a player did not finish";
  CddbCache merged;
  ASSERT_EQ(1, merged.Load(path));
  EXPECT_EQ(std::size_t(kProcesses * kRounds), merged.Size());
  for (int i = 0; i < kProcesses; ++i)
    for (int round = 0; round < kRounds; ++round)
      EXPECT_EQ(1, merged.Find("P" + std::to_string(i) + "-" + std::to_string(round), nullptr)) << i << "/" << round;
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
}

}  // namespace
