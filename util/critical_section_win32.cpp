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
  return handle_ != nullptr;
}

std::uint32_t CCriticalSection::WaitNative(std::uint32_t milliseconds) {
  if (handle_ == nullptr) return kWaitFailed;
  return WaitForSingleObject(handle_, milliseconds);
}

void CCriticalSection::Unlock() {
  if (handle_ != nullptr) SetEvent(handle_);
}

void CCriticalSection::Destroy() {
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
  name_.clear();
}
