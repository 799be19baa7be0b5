#include "util/named_event.h"

#include <cstdio>
#include <cstdlib>

std::string FormatEventName(const LocalTime& t, unsigned randomValue) {
  char name[64];
  std::snprintf(name, sizeof name, "%.4u%.2u%.2u%.2u%.2u%.2u%.3u%.4x", t.year, t.month, t.day, t.hour, t.minute,
                t.second, t.milliseconds, randomValue);
  return name;
}

bool CNamedEvent::Create(bool manualReset, bool initialState, const char* name) {
  Close();
  bool existed = false;
  if (name != nullptr) {
    handle_ = CreateNative(manualReset, initialState, name, &existed);
    if (handle_ != nullptr) name_ = name;
    return handle_ != nullptr;
  }
  // Events made within one millisecond get the same seed and so the same
  // first value; sharing one event between two owners would make each see
  // the other's signals, so a taken name is passed over for the next value.
  const LocalTime t = CurrentLocalTime();
  std::srand(t.milliseconds);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string generated = FormatEventName(t, static_cast<unsigned>(std::rand()));
    void* handle = CreateNative(manualReset, initialState, generated, &existed);
    if (handle == nullptr) return false;
    if (!existed) {
      handle_ = handle;
      name_ = generated;
      return true;
    }
    CloseNative(handle);
  }
  return false;
}

bool CNamedEvent::Open(const char* name) {
  Close();
  if (name == nullptr) return false;
  handle_ = OpenNative(name);
  if (handle_ != nullptr) name_ = name;
  return handle_ != nullptr;
}

void CNamedEvent::Close() {
  if (handle_ != nullptr) CloseNative(handle_);
  handle_ = nullptr;
  name_.clear();
}
