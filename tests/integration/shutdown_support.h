#pragma once
// What the shutdown scenarios share: a watchdog that ends the process when a
// call hangs, and the host's own way of leaving a plug-in: Quit, FreeLibrary
// right after, and life going on while the plug-in's last threads end.
#include <windows.h>

#include <cstdio>

#include "tests/host/test_host.h"

namespace shutdown_support {

// Ends the whole test program when the guarded scope has not returned in time:
// a hang must fail the run, not stall it.
class Watchdog {
 public:
  Watchdog(const char* what, DWORD ms) : what_(what), ms_(ms) {
    done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  ~Watchdog() {
    SetEvent(done_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(done_);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  static DWORD WINAPI Run(void* self) {
    auto* dog = static_cast<Watchdog*>(self);
    if (WaitForSingleObject(dog->done_, dog->ms_) == WAIT_TIMEOUT) {
      std::fprintf(stderr, "FATAL: %s did not return (deadlock)\n", dog->what_);
      std::fflush(stderr);
      ExitProcess(3);
    }
    return 0;
  }
  const char* what_;
  DWORD ms_;
  HANDLE done_;
  HANDLE thread_;
};

struct Departure {
  DWORD quitMs = 0;
  bool unloaded = false;  // the library was gone by the end of liveMs
};

// Quit of the input plug-in (or the companion's quit when `gen`), then
// FreeLibrary, then liveMs of the host's message loop; a crash in code of the
// freed library ends the test program.
inline Departure QuitFreeAndLive(TestHost& host, In_Module*& in, winampGeneralPurposePlugin* gen, DWORD liveMs) {
  Departure d;
  const char* file = gen ? "gen_quorvo.dll" : "in_quorvo.dll";
  {
    Watchdog dog("Quit", 30000);
    const DWORD start = GetTickCount();
    if (gen) {
      gen->quit();
    } else {
      in->Quit();
      in = nullptr;
    }
    d.quitMs = GetTickCount() - start;
  }
  if (gen) {
    host.UnloadGeneralPlugin();
  } else {
    host.UnloadInputPlugin();
  }
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < liveMs) {
    host.PumpFor(50);
    if (!d.unloaded && GetModuleHandleA(file) == nullptr) d.unloaded = true;
  }
  d.unloaded = GetModuleHandleA(file) == nullptr;
  return d;
}

}  // namespace shutdown_support
