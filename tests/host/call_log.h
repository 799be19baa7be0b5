#pragma once
// Records the calls the plug-in makes into the host, in order, as text
// ("SetInfo(1411,44,2,1)"), for tests to compare.
#include <mutex>
#include <string>
#include <vector>

class CallLog {
 public:
  void Add(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  std::vector<std::string> Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  bool Has(const std::string& call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& c : calls_)
      if (c == call) return true;
    return false;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};
