#pragma once
// The plug-in's CDDB client: lookups for title resolution and the
// information box, at once or on a background thread, each inside the
// status window when the shell installed one.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "cddb/cddb_client.h"
#include "cddb/cddb_lookup.h"

class CddbUiClient : public CddbClient, public CddbLookup {
 public:
  CddbUiClient() = default;
  ~CddbUiClient() override;

  // CddbLookup. A lookup while another one runs (background or immediate)
  // answers kCddbBusy at once, so the user-interface thread never waits.
  int LookupDisc(int mode, const DiscToc& toc) override;
  int GetTrackText(int number, TitleInfo* out) override { return CddbClient::GetTrackText(number, out); }

  // The driver: the lookup inside the status window (when `show` and a
  // window is installed), then the window kept for `waitMs` unless the
  // result came from the cache.
  int RunLookupWithStatus(const DiscToc& toc, int show, std::uint32_t waitMs);

  void SetAutoClose(bool flag) { autoClose_.store(flag); }
  std::uint32_t BusyDiscId() const { return busy_.load(); }
  // Waits at most `timeoutMs` for a background lookup to end (cancelling its
  // transfer); true when none runs any more.
  bool StopBackgroundLookup(std::uint32_t timeoutMs);

 protected:
  int OnStatusText(const std::string& text) override;
  int ChooseCandidate(const std::vector<CddbCandidate>& candidates) override;

 private:
  void BackgroundMain(DiscToc toc);
  std::uint32_t WaitMs() const { return autoClose_.load() ? 3000u : 0xFFFFFFFFu; }

  std::atomic<bool> autoClose_{true};
  std::atomic<std::uint32_t> busy_{0};
  std::atomic<bool> running_{false};  // any lookup, immediate or background
  std::atomic<CddbStatusUi*> ui_{nullptr};

  std::mutex attemptedMutex_;
  std::set<std::string> attempted_;

  std::mutex threadMutex_;
  std::condition_variable threadEnded_;
  bool threadDone_ = true;
  std::thread thread_;
};
