#include "plugin/rip_verification.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "input/plugin_settings.h"
#include "util/plugin_thread.h"

namespace rip_verification {

namespace {

struct Fetch {
  accuraterip::FetchSettings settings;
  accuraterip::DiscIds ids;
  accuraterip::DbarFetch fetch;
  bool ended = false;
  accuraterip::FetchOutcome outcome;
  plugin_thread::Handle thread = nullptr;
};

std::mutex g_lock;
std::condition_variable g_changed;
// By request URL: the server and the disc's ids.
std::map<std::string, std::shared_ptr<Fetch>> g_fetches;
std::vector<std::shared_ptr<Fetch>> g_retired;  // ended, their threads released at Quit
bool g_closed = false;
std::function<void()> g_onEnded;

std::string Key(const accuraterip::DiscIds& ids, const std::string& server) {
  return accuraterip::RequestPath(server, ids);
}

void Run(void* argument) {
  std::unique_ptr<std::shared_ptr<Fetch>> hold(static_cast<std::shared_ptr<Fetch>*>(argument));
  Fetch& f = **hold;
  accuraterip::FetchOutcome outcome = f.fetch.Fetch(f.settings, f.ids);
  std::function<void()> onEnded;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    f.outcome = std::move(outcome);
    f.ended = true;
    onEnded = g_onEnded;
  }
  g_changed.notify_all();
  if (onEnded) onEnded();
}

// The disc's fetch, started when this session has none; null after Quit.
std::shared_ptr<Fetch> Find(const accuraterip::DiscIds& ids, const PluginSettings& s, bool start) {
  std::lock_guard<std::mutex> lock(g_lock);
  if (g_closed) return nullptr;
  const std::string key = Key(ids, s.accurateRipServer);
  auto found = g_fetches.find(key);
  if (found != g_fetches.end()) {
    // An answer is kept for the session; a failure is asked again at the
    // disc's next rip (the network may be back).
    const Fetch& f = *found->second;
    const bool failed = f.ended && f.outcome.result != accuraterip::kFetchFound &&
                        f.outcome.result != accuraterip::kFetchNotInDatabase;
    if (!start || !failed) return found->second;
    g_retired.push_back(found->second);
    g_fetches.erase(found);
  }
  if (!start) return nullptr;
  auto f = std::make_shared<Fetch>();
  f->settings.server = s.accurateRipServer;
  f->settings.useProxy = s.cddbUseProxy;
  f->settings.proxy = s.cddbProxy;
  f->ids = ids;
  auto* argument = new std::shared_ptr<Fetch>(f);
  f->thread = plugin_thread::Start(Run, argument);
  if (f->thread == nullptr) {
    delete argument;
    f->ended = true;
    f->outcome.result = accuraterip::kFetchCancelled;
  }
  g_fetches.emplace(key, f);
  return f;
}

}  // namespace

void Begin(const accuraterip::DiscIds& ids, const PluginSettings& settings) { Find(ids, settings, true); }

bool Outcome(const accuraterip::DiscIds& ids, const std::string& server, accuraterip::FetchOutcome* outcome) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto found = g_fetches.find(Key(ids, server));
  if (found == g_fetches.end() || !found->second->ended) return false;
  *outcome = found->second->outcome;
  return true;
}

accuraterip::FetchOutcome Await(const accuraterip::DiscIds& ids, const PluginSettings& settings) {
  std::shared_ptr<Fetch> f = Find(ids, settings, true);
  accuraterip::FetchOutcome cancelled;
  if (!f) return cancelled;
  std::unique_lock<std::mutex> lock(g_lock);
  // The fetch ends within its time-outs; the margin only guards a thread
  // that never got to run.
  const auto limit = std::chrono::milliseconds(f->settings.connectMs) + std::chrono::milliseconds(f->settings.receiveMs) +
                     std::chrono::seconds(5);
  if (!g_changed.wait_for(lock, limit, [&] { return f->ended || g_closed; }) || !f->ended) return cancelled;
  return f->outcome;
}

void SetOnEnded(std::function<void()> onEnded) {
  std::lock_guard<std::mutex> lock(g_lock);
  g_onEnded = std::move(onEnded);
}

void EndAll(unsigned waitMs) {
  std::vector<std::shared_ptr<Fetch>> fetches;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    g_closed = true;
    for (auto& entry : g_fetches) fetches.push_back(entry.second);
    fetches.insert(fetches.end(), g_retired.begin(), g_retired.end());
    g_fetches.clear();
    g_retired.clear();
  }
  g_changed.notify_all();
  for (auto& f : fetches) f->fetch.Abort();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (auto& f : fetches) {
    if (f->thread == nullptr) continue;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    // A thread not ended by then holds its own reference to the library.
    plugin_thread::Wait(f->thread, left.count() > 0 ? static_cast<std::uint32_t>(left.count()) : 0);
    plugin_thread::Release(f->thread);
  }
}

void Reopen() {
  std::lock_guard<std::mutex> lock(g_lock);
  g_closed = false;
}

}  // namespace rip_verification
