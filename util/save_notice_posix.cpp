#include "util/save_notice.h"

#include <map>
#include <mutex>

namespace save_notice {

namespace {
// No registry here: kept for the life of the process (unit tests).
std::mutex g_mutex;
std::map<std::string, std::string> g_kept;
}  // namespace

unsigned long LastError() { return 0; }

Reason WhyNotWritten(const std::string&, unsigned long) { return kReasonUnknown; }

bool Record(const char* name, const std::string& text) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::string& kept = g_kept[name];
  kept = kept.empty() ? text : kept + "\n\n" + text;
  return true;
}

std::string Take(const char* name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const auto it = g_kept.find(name);
  if (it == g_kept.end()) return std::string();
  std::string text = it->second;
  g_kept.erase(it);
  return text;
}

}  // namespace save_notice
