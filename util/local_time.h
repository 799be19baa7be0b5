#pragma once
// The local wall-clock time to the millisecond, as the generated object names
// use it.
#include <cstdint>

struct LocalTime {
  unsigned year;
  unsigned month;  // 1..12
  unsigned day;
  unsigned hour;
  unsigned minute;
  unsigned second;
  unsigned milliseconds;
};

LocalTime CurrentLocalTime();
