#pragma once
// An event object that can be found by name. On Windows it is a kernel event
// (shared between processes); elsewhere events are shared within the process.
#include <cstdint>
#include <string>

#include "util/local_time.h"
#include "util/wait_result.h"

class CNamedEvent {
 public:
  CNamedEvent() = default;
  ~CNamedEvent() { Close(); }
  CNamedEvent(const CNamedEvent&) = delete;
  CNamedEvent& operator=(const CNamedEvent&) = delete;

  // With a name, an existing event of that name is opened as it is. Without
  // one, a name is generated from the time; a generated name that is already
  // taken is never shared, another is tried instead.
  bool Create(bool manualReset, bool initialState, const char* name = nullptr);
  bool Open(const char* name);
  // kWaitSignalled, kWaitTimeout or kWaitFailed; kWaitForever waits on.
  std::uint32_t Wait(std::uint32_t milliseconds);
  // The same, for a thread with windows: on Windows the messages sent to
  // them are answered meanwhile (the thread that sets the event may need
  // one of them answered first). kWaitSignalled or kWaitTimeout/kWaitFailed.
  std::uint32_t WaitAnsweringSentMessages(std::uint32_t milliseconds);
  bool Set();
  bool Reset();
  void Close();

  bool IsOpen() const { return handle_ != nullptr; }
  const std::string& Name() const { return name_; }
  // The Windows HANDLE (for the system's wait functions) on Windows.
  void* NativeHandle() const { return handle_; }

 private:
  // Per platform. Sets *existed when the name was already taken.
  static void* CreateNative(bool manualReset, bool initialState, const std::string& name, bool* existed);
  static void* OpenNative(const std::string& name);
  static void CloseNative(void* handle);

  void* handle_ = nullptr;
  std::string name_;
};

// "%.4u%.2u%.2u%.2u%.2u%.2u%.3u%.4x": the time and one rand() value.
std::string FormatEventName(const LocalTime& time, unsigned randomValue);
