#include "util/named_event.h"

#include <windows.h>

#include "util/sent_message_wait_win32.h"

void* CNamedEvent::CreateNative(bool manualReset, bool initialState, const std::string& name, bool* existed) {
  SetLastError(ERROR_SUCCESS);
  HANDLE handle = CreateEventA(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, name.c_str());
  *existed = handle != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  return handle;
}

void* CNamedEvent::OpenNative(const std::string& name) {
  return OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str());
}

void CNamedEvent::CloseNative(void* handle) { CloseHandle(handle); }

std::uint32_t CNamedEvent::Wait(std::uint32_t milliseconds) {
  if (handle_ == nullptr) return kWaitFailed;
  return WaitForSingleObject(handle_, milliseconds);
}

std::uint32_t CNamedEvent::WaitAnsweringSentMessages(std::uint32_t milliseconds) {
  if (handle_ == nullptr) return kWaitFailed;
  return ::WaitAnsweringSentMessages(static_cast<HANDLE>(handle_), milliseconds);
}

bool CNamedEvent::Set() { return handle_ != nullptr && SetEvent(handle_) != FALSE; }

bool CNamedEvent::Reset() { return handle_ != nullptr && ResetEvent(handle_) != FALSE; }
