#pragma once
// Whether a rip should stop before its next drive command: Abort from any
// thread, or the host's killswitch of the GetData call in progress.
#include <atomic>

namespace rip {

class StopSignal {
 public:
  void Abort() { aborted_.store(true, std::memory_order_release); }
  bool Aborted() const { return aborted_.load(std::memory_order_acquire); }
  // The killswitch of the call in progress (null: none). Another thread
  // writes it, so it is read through a volatile access every time.
  void SetKillswitch(const int* killswitch) { killswitch_ = killswitch; }
  bool Stopped() const {
    if (Aborted()) return true;
    return killswitch_ != nullptr && *static_cast<const volatile int*>(killswitch_) != 0;
  }

 private:
  std::atomic<bool> aborted_{false};
  const int* killswitch_ = nullptr;
};

}  // namespace rip
