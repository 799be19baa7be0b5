#include "util/named_event.h"

#include <windows.h>

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
  HANDLE handle = handle_;
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD left = INFINITE;
    if (milliseconds != INFINITE) {
      const DWORD spent = GetTickCount() - start;
      left = spent >= milliseconds ? 0 : milliseconds - spent;
    }
    // Sent messages only: posted ones stay for the caller's own loop.
    const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
    if (woke != WAIT_OBJECT_0 + 1) return woke;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // delivers the sent messages
  }
}

bool CNamedEvent::Set() { return handle_ != nullptr && SetEvent(handle_) != FALSE; }

bool CNamedEvent::Reset() { return handle_ != nullptr && ResetEvent(handle_) != FALSE; }
