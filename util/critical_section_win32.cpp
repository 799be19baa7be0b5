#include "util/critical_section.h"

#include <windows.h>

bool CCriticalSection::NameInUse(const std::string& name) {
  HANDLE existing = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
  if (existing == nullptr) return false;
  CloseHandle(existing);
  return true;
}

bool CCriticalSection::CreateNative(const std::string& name, bool /*generated*/) {
  // Auto-reset, signalled: the first waiter takes the lock. An existing event
  // of this name is opened as it is.
  handle_ = CreateEventA(nullptr, FALSE, TRUE, name.c_str());
  // Without the mark the lock works as well; only a dead holder is then
  // never recognised.
  if (handle_ != nullptr) holderMark_ = CreateMutexA(nullptr, FALSE, (name + "_HOLDER").c_str());
  return handle_ != nullptr;
}

void CCriticalSection::MarkHolder() {
  if (markHeld_ || holderMark_ == nullptr) return;
  // The previous holder gave its mark back before it freed the lock.
  const DWORD result = WaitForSingleObject(holderMark_, 1000);
  markHeld_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void CCriticalSection::UnmarkHolder() {
  if (markHeld_) ReleaseMutex(holderMark_);
  markHeld_ = false;
}

bool CCriticalSection::TakeOverFromDeadHolder() {
  if (holderMark_ == nullptr) return false;
  const DWORD result = WaitForSingleObject(holderMark_, 0);
  if (result == WAIT_ABANDONED) {
    markHeld_ = true;
    return true;
  }
  // Free: the holder keeps no mark (an older plug-in) and may be alive.
  if (result == WAIT_OBJECT_0) ReleaseMutex(holderMark_);
  return false;
}

std::uint32_t CCriticalSection::WaitNative(std::uint32_t milliseconds) {
  if (handle_ == nullptr) return kWaitFailed;
  return WaitForSingleObject(handle_, milliseconds);
}

void CCriticalSection::ReleaseNative() {
  if (handle_ != nullptr) SetEvent(handle_);
}

void CCriticalSection::Destroy() {
  if (handle_ != nullptr) CloseHandle(handle_);
  if (holderMark_ != nullptr) CloseHandle(holderMark_);
  handle_ = nullptr;
  holderMark_ = nullptr;
  markHeld_ = false;
  name_.clear();
}
