#pragma once
// A lock that can be shared between processes by name: an auto-reset event
// that is signalled while the lock is free. Not re-entrant; any thread may
// unlock it. An event is not given back when its holder dies, so a wait for
// it is bounded: a player killed while it held the lock must not freeze
// every other one for ever.
#include <cstdint>
#include <string>

#include "util/local_time.h"
#include "util/wait_result.h"

class CCriticalSection {
 public:
  CCriticalSection() = default;
  ~CCriticalSection() { Destroy(); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  // With a name, every lock of that name in every process is the same lock
  // (an existing one is opened and keeps its state); without one, a unique
  // name is generated. True when the lock could be created or opened.
  bool Create(const char* name = nullptr);
  // Default bound of Lock: far longer than any drive command takes.
  static constexpr std::uint32_t kDefaultWaitLimitMs = 30000;

  // Waits at most the wait limit; true when the caller now owns the lock.
  // After the limit the caller goes on as if it held it (false): its Unlock
  // then frees the lock a dead holder left taken.
  bool Lock();
  void SetWaitLimit(std::uint32_t milliseconds) { waitLimitMs_ = milliseconds; }
  void Unlock();
  // Waits up to milliseconds and gives the lock straight back if it got it:
  // kWaitSignalled when the lock was free, kWaitTimeout otherwise.
  std::uint32_t Probe(std::uint32_t milliseconds);
  void Destroy();

  bool IsCreated() const { return handle_ != nullptr; }
  const std::string& Name() const { return name_; }

 private:
  std::string UniqueName();
  // Per platform.
  static bool NameInUse(const std::string& name);
  bool CreateNative(const std::string& name, bool generated);
  // Takes the lock within milliseconds: kWaitSignalled, kWaitTimeout or
  // kWaitFailed.
  std::uint32_t WaitNative(std::uint32_t milliseconds);

  void* handle_ = nullptr;
  std::string name_;
  std::uint32_t waitLimitMs_ = kDefaultWaitLimitMs;
};

// "CCriticalSection_Time<yyyymmddhhmmssmmm>_ID<4 x %08X>", the drawn values
// in reverse order of drawing (drawn[3] first).
std::string FormatLockName(const LocalTime& time, const std::uint32_t drawn[4]);
