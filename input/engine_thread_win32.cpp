#include "input/engine_thread.h"

#include <windows.h>
#include <process.h>

#include <cstdint>
#include <new>

namespace engine_thread {

namespace {

struct Launch {
  Entry entry;
  void* argument;
};

unsigned __stdcall Run(void* self) {
  Launch start = *static_cast<Launch*>(self);
  delete static_cast<Launch*>(self);
  start.entry(start.argument);
  return 0;
}

}  // namespace

Handle Start(Entry entry, void* argument) {
  auto* start = new (std::nothrow) Launch{entry, argument};
  if (start == nullptr) return nullptr;
  const std::uintptr_t thread = _beginthreadex(nullptr, 0, Run, start, 0, nullptr);
  if (thread == 0) {
    delete start;
    return nullptr;
  }
  return reinterpret_cast<Handle>(thread);
}

void Join(Handle thread) {
  if (thread == nullptr) return;
  HANDLE handle = static_cast<HANDLE>(thread);
  // A box opened or closed by the other thread activates and deactivates
  // windows of this one and waits for their answer: answer sent messages
  // while waiting, but leave posted ones to the caller's own loop.
  for (;;) {
    const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woke != WAIT_OBJECT_0 + 1) break;
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(handle);
}

void RaiseToAboveNormal() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); }

void SleepMs(unsigned milliseconds) { Sleep(milliseconds); }

}  // namespace engine_thread
