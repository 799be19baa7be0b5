#include "input/plugin_state.h"

#include <atomic>

#include "util/named_event.h"
#include "util/wait_result.h"

namespace plugin {

namespace {

CNamedEvent g_initComplete;
std::atomic<bool> g_initSeen{false};
// Set with the event, for a look that must not wait.
std::atomic<bool> g_initDone{false};

// Opened once when the library is loaded: every process shares the one lock.
struct DriveLockHolder {
  CCriticalSection lock;
  DriveLockHolder() { lock.Create(kDriveLockName); }
};

}  // namespace

CCriticalSection& DriveLock() {
  static DriveLockHolder holder;
  return holder.lock;
}

bool WaitForInitialisation() {
  if (g_initSeen.load(std::memory_order_acquire)) return true;
  // No event: no Init yet, or one that ran the initialisation on its own
  // thread because the system refused the event.
  if (g_initComplete.IsOpen() && g_initComplete.WaitAnsweringSentMessages(kInitWaitLimitMs) != kWaitSignalled) {
    return false;
  }
  g_initSeen.store(true, std::memory_order_release);
  return true;
}

bool ReopenInitialisationGate() {
  g_initSeen.store(false, std::memory_order_release);
  g_initDone.store(false, std::memory_order_release);
  g_initComplete.Close();
  return g_initComplete.Create(true, false, nullptr);
}

void SignalInitialisationDone() {
  g_initDone.store(true, std::memory_order_release);
  g_initComplete.Set();
}

bool InitialisationComplete() {
  return g_initSeen.load(std::memory_order_acquire) || g_initDone.load(std::memory_order_acquire);
}

}  // namespace plugin
