#pragma once
// The plug-in's CDDB client: lookups for title resolution and the
// information box, at once or on a background thread, each inside the
// status window when the shell installed one.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "cddb/cddb_client.h"
#include "cddb/cddb_lookup.h"
#include "host_api/win_types.h"
#include "util/plugin_thread.h"

class CddbUiClient : public CddbClient, public CddbLookup {
 public:
  CddbUiClient() = default;
  // Releases a thread handle that Close let go on; never waits.
  ~CddbUiClient() override;

  // CddbLookup. A lookup while another one runs (background or immediate)
  // answers kCddbBusy at once, so the user-interface thread never waits.
  // Once Close has begun every lookup is refused with kCddbAlreadyTried
  // (nothing done).
  int LookupDisc(int mode, const DiscToc& toc) override;
  int GetTrackText(int number, TitleInfo* out) override { return CddbClient::GetTrackText(number, out); }

  // The driver: the lookup inside the status window (when `show` and a
  // window is installed), then the window kept for `waitMs` unless the
  // result came from the cache.
  int RunLookupWithStatus(const DiscToc& toc, int show, std::uint32_t waitMs);

  void SetAutoClose(bool flag) { autoClose_.store(flag); }
  // The window told when a background lookup has ended (the host's main
  // window); asked at that moment.
  void SetHostWindow(std::function<HWND()> window);
  std::uint32_t BusyDiscId() const { return busy_.load(); }

  // Shutdown: refuses lookups from now on, ends the one in progress (its
  // transfer, its status window and candidates dialog) and waits at most
  // waitMs for the background thread, answering messages sent to the
  // caller's windows meanwhile. True when no lookup thread runs any more;
  // otherwise the thread is inside a call that cannot be interrupted (a
  // name lookup) and ends by itself, keeping the library loaded until then.
  bool Close(std::uint32_t waitMs);
  // Start-up: lookups are welcome again.
  void Reopen();
  // Waits at most waitMs for the background lookup to end by itself (for
  // tests); true when none runs.
  bool WaitForBackgroundLookup(std::uint32_t waitMs);

 protected:
  int OnStatusText(const std::string& text) override;
  int ChooseCandidate(const std::vector<CddbCandidate>& candidates) override;

 private:
  struct Job;
  static void BackgroundEntry(void* job);
  void BackgroundMain(const DiscToc& toc);
  std::uint32_t WaitMs() const { return autoClose_.load() ? 3000u : 0xFFFFFFFFu; }
  bool Attempted(const std::string& key);
  void MarkAttempted(const std::string& key, bool attempted);
  // With lifeMutex_ held: false while closing; otherwise claims the one
  // lookup slot (false when taken) and lets the HTTP client run again.
  bool ClaimLookup(int* refusal);

  std::atomic<bool> autoClose_{true};
  std::atomic<std::uint32_t> busy_{0};
  std::atomic<bool> running_{false};  // any lookup, immediate or background
  std::atomic<CddbStatusUi*> ui_{nullptr};

  std::mutex attemptedMutex_;
  std::set<std::string> attempted_;

  // Closing and the background thread's handle change together.
  std::mutex lifeMutex_;
  bool closing_ = false;
  plugin_thread::Handle thread_ = nullptr;
  std::function<HWND()> hostWindow_;
};
