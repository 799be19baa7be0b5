// Shared by the benchmark programs: a stopwatch, medians, CPU time, a
// scratch folder of their own and the Markdown they print (scripts/bench.sh
// puts each program's output into docs/BENCHMARKS.md as its section).
#pragma once
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The machine is shared: a median keeps one stall of another process from
// moving a figure, where a mean takes every stall along.
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// User and system time of this process, seconds.
inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// x floor, or "-" where the floor is nothing at all.
inline std::string Ratio(double figure, double floor) {
  if (floor <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", figure / floor);
  return text;
}

// A folder for this process's files under QUORVO_BENCH_TMP (make bench
// points it into build/, the disk the plug-in's files would be on) or the
// system's temporary folder; named after the process, so that two runs at
// once never share a file. Removed when the object ends.
class ScratchDir {
 public:
  explicit ScratchDir(const char* name) {
    const char* base = std::getenv("QUORVO_BENCH_TMP");
    path_ = (base && *base) ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
    path_ /= std::string(name) + "." + std::to_string(getpid());
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Prose of a section: one paragraph, then a blank line.
inline void Say(const char* text) { std::printf("%s\n\n", text); }

}  // namespace bench
