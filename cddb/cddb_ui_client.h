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
  // (nothing done). A disc is looked up on the network once, until a
  // setting that shapes the requests changes (then a failed one is tried
  // again).
  int LookupDisc(int mode, const DiscToc& toc, CddbDiscRecord* found) override;
  int LookupDisc(int mode, const DiscToc& toc) { return LookupDisc(mode, toc, nullptr); }

  // The driver on this thread: the lookup inside the status window (when
  // `show` and a window is installed), then the window kept for `waitMs`
  // unless the result came from the cache.
  int RunLookupWithStatus(const DiscToc& toc, int show, std::uint32_t waitMs, CddbDiscRecord* found = nullptr);
  // The immediate lookup: the exchange on a thread of its own while this
  // thread answers its messages in the status window's loop, whose close
  // button cancels it. Then as RunLookupWithStatus (no outcome shown and no
  // wait after a cancel). Releases the lookup slot claimed for it, or leaves
  // that to the thread when it had to be given up.
  int RunLookupOnWorker(const DiscToc& toc, std::uint32_t waitMs, CddbDiscRecord* found);

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
  struct WorkerJob;
  static void BackgroundEntry(void* job);
  void BackgroundMain(const DiscToc& toc);
  static void WorkerEntry(void* job);
  static void DropWorkerJob(WorkerJob* job);
  std::uint32_t WaitMs() const { return autoClose_.load() ? 3000u : 0xFFFFFFFFu; }
  bool Attempted(const std::string& key);
  // `config`: ConfigChanges() when the lookup started; a lookup made with
  // settings that have changed since is not remembered.
  void MarkAttempted(const std::string& key, bool attempted, unsigned config);
  void ForgetAttemptsOnNewSettings();  // with attemptedMutex_ held
  // With lifeMutex_ held: false while closing; otherwise claims the one
  // lookup slot (false when taken) and lets the HTTP client run again.
  bool ClaimLookup(int* refusal);

  std::atomic<bool> autoClose_{true};
  std::atomic<std::uint32_t> busy_{0};
  std::atomic<bool> running_{false};  // any lookup, immediate or background
  std::atomic<CddbStatusUi*> ui_{nullptr};

  std::mutex attemptedMutex_;
  std::set<std::string> attempted_;
  unsigned attemptedConfig_ = 0;  // the ConfigChanges() the set was made with

  // Closing and the background thread's handle change together.
  std::mutex lifeMutex_;
  bool closing_ = false;
  plugin_thread::Handle thread_ = nullptr;
  std::function<HWND()> hostWindow_;
};
