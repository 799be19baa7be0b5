#include "util/local_time.h"

#include <ctime>

LocalTime CurrentLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm tm{};
  localtime_r(&now.tv_sec, &tm);
  return LocalTime{static_cast<unsigned>(tm.tm_year + 1900), static_cast<unsigned>(tm.tm_mon + 1),
                   static_cast<unsigned>(tm.tm_mday),       static_cast<unsigned>(tm.tm_hour),
                   static_cast<unsigned>(tm.tm_min),        static_cast<unsigned>(tm.tm_sec),
                   static_cast<unsigned>(now.tv_nsec / 1000000)};
}
