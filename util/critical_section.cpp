#include "util/critical_section.h"

#include <cstdio>
#include <cstdlib>

#include "util/mt19937.h"

std::string FormatLockName(const LocalTime& t, const std::uint32_t drawn[4]) {
  char name[128];
  std::snprintf(name, sizeof name, "CCriticalSection_Time%.4u%.2u%.2u%.2u%.2u%.2u%.3u_ID%08X%08X%08X%08X", t.year,
                t.month, t.day, t.hour, t.minute, t.second, t.milliseconds, static_cast<unsigned>(drawn[3]),
                static_cast<unsigned>(drawn[2]), static_cast<unsigned>(drawn[1]), static_cast<unsigned>(drawn[0]));
  return name;
}

std::string CCriticalSection::UniqueName() {
  const LocalTime t = CurrentLocalTime();
  const std::uint32_t key[8] = {
      t.month * t.year,
      t.hour * t.day,
      t.second * t.minute,
      t.milliseconds,
      static_cast<std::uint32_t>(std::rand()),
      static_cast<std::uint32_t>(std::rand()),
      static_cast<std::uint32_t>(std::rand()),
      static_cast<std::uint32_t>(std::rand()),
  };
  Mt19937 generator(key, 8);
  for (;;) {
    std::uint32_t drawn[4];
    for (std::uint32_t& value : drawn) value = generator.Next();
    std::string name = FormatLockName(t, drawn);
    if (!NameInUse(name)) return name;
  }
}

bool CCriticalSection::Create(const char* name) {
  Destroy();
  const bool generated = name == nullptr;
  const std::string chosen = generated ? UniqueName() : std::string(name);
  if (!CreateNative(chosen, generated)) return false;
  name_ = chosen;
  return true;
}

bool CCriticalSection::Lock() {
  const std::uint32_t result = WaitNative(waitLimitMs_);
  if (result != kWaitSignalled && !(result == kWaitTimeout && TakeOverFromDeadHolder())) return false;
  MarkHolder();
  held_.store(true);
  return true;
}

void CCriticalSection::Unlock() {
  if (!held_.exchange(false)) return;
  UnmarkHolder();
  ReleaseNative();
}

std::uint32_t CCriticalSection::Probe(std::uint32_t milliseconds) {
  const std::uint32_t result = WaitNative(milliseconds);
  if (result == kWaitSignalled) ReleaseNative();
  return result;
}
