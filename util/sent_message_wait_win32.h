#pragma once
// A wait on one kernel object that still answers the messages other threads
// send to the waiting thread (the host may SendMessage into us while we wait,
// and would hang if we did not answer). Posted messages stay queued for the
// caller's own loop.
#include <windows.h>

// WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED; INFINITE waits for ever.
inline DWORD WaitAnsweringSentMessages(HANDLE handle, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD left = INFINITE;
    if (milliseconds != INFINITE) {
      const DWORD spent = GetTickCount() - start;
      left = spent >= milliseconds ? 0 : milliseconds - spent;
    }
    const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
    if (woke != WAIT_OBJECT_0 + 1) return woke;
    // Looking at the queue is what delivers the messages sent to us.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
}
