#pragma once
// A lock that can be shared between processes by name: an auto-reset event
// that is signalled while the lock is free. Not re-entrant; any thread may
// unlock it. An event is not given back when its holder dies, so a wait for
// it is bounded: a player killed while it held the lock must not freeze
// every other one for ever.
#include <atomic>
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
  // After the limit the lock is taken over only from a holder that has died
  // (on Windows: the holder's thread owns a companion mutex, which the
  // system marks abandoned when it ends). Otherwise false: the caller may go
  // on without the lock but must not Unlock, the holder merely being slow.
  bool Lock();
  void SetWaitLimit(std::uint32_t milliseconds) { waitLimitMs_ = milliseconds; }
  // Gives back a lock taken through this object; does nothing when this
  // object holds none (an Unlock after a Lock that gave up, a second Unlock),
  // so that it never frees another holder's lock.
  void Unlock();

  // Holds the lock for a scope when Lock got it, and gives back only then.
  class Hold {
   public:
    explicit Hold(CCriticalSection* lock) : lock_(lock), owned_(lock != nullptr && lock->Lock()) {}
    ~Hold() {
      if (owned_) lock_->Unlock();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    bool Owned() const { return owned_; }

   private:
    CCriticalSection* lock_;
    bool owned_;
  };

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
  // Makes the lock free again.
  void ReleaseNative();
  // The companion mark of the holder (per platform; nothing on POSIX):
  // taken by the thread that locks, given back before the lock is freed.
  void MarkHolder();
  void UnmarkHolder();
  // After a wait that timed out: true when the holder's mark was abandoned,
  // the caller now holding both.
  bool TakeOverFromDeadHolder();

  void* handle_ = nullptr;
  void* holderMark_ = nullptr;
  bool markHeld_ = false;  // by the current holder through this object
  std::string name_;
  std::uint32_t waitLimitMs_ = kDefaultWaitLimitMs;
  // Taken through this object and not yet given back. The lock is not
  // re-entrant, so there is at most one such acquisition in the system.
  std::atomic<bool> held_{false};
};

// "CCriticalSection_Time<yyyymmddhhmmssmmm>_ID<4 x %08X>", the drawn values
// in reverse order of drawing (drawn[3] first).
std::string FormatLockName(const LocalTime& time, const std::uint32_t drawn[4]);
