#pragma once
// A lock that can be shared between processes by name: an auto-reset event
// that is signalled while the lock is free. Not re-entrant; any thread may
// unlock it.
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
  // Waits without time-out; true when the caller now owns the lock.
  bool Lock();
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

  void* handle_ = nullptr;
  std::string name_;
};

// "CCriticalSection_Time<yyyymmddhhmmssmmm>_ID<4 x %08X>", the drawn values
// in reverse order of drawing (drawn[3] first).
std::string FormatLockName(const LocalTime& time, const std::uint32_t drawn[4]);
