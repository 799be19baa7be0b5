#include "cddb/cddb_ui_client.h"

#include <chrono>

#include "cddb/disc_id.h"
#include "host_api/host_messages.h"
#include "input/host_slots.h"
#include "util/host_window.h"

namespace {

const char kQueryingServer[] = "サーバに問い合わせています";

}  // namespace

CddbUiClient::~CddbUiClient() {
  // Normally stopped at Quit already; a thread must never outlive us.
  StopBackgroundLookup(0);
  std::lock_guard<std::mutex> lock(threadMutex_);
  if (thread_.joinable()) thread_.detach();
}

int CddbUiClient::OnStatusText(const std::string&) {
  if (CddbStatusUi* ui = ui_.load()) ui->SetMessage(kQueryingServer);
  return 1;
}

int CddbUiClient::ChooseCandidate(const std::vector<CddbCandidate>& candidates) {
  CddbStatusUi* ui = ui_.load();
  return ui ? ui->ChooseCandidate(candidates) : CddbClient::ChooseCandidate(candidates);
}

int CddbUiClient::RunLookupWithStatus(const DiscToc& toc, int show, std::uint32_t waitMs) {
  const std::uint32_t id = ComputeDiscId(toc);
  CddbStatusUi* ui = show ? InstalledCddbStatusUi() : nullptr;
  if (ui && !ui->Open(id)) return kCddbWindowFailed;
  ui_.store(ui);
  const int r = Lookup(toc);
  if (ui) {
    ShowLookupOutcome(*ui, r, RefusalLine());
    ui->EnableClose();
    if (r != kCddbFoundInCache) ui->Wait(waitMs);
    ui->Close();
  }
  ui_.store(nullptr);
  return r;
}

int CddbUiClient::LookupDisc(int mode, const DiscToc& toc) {
  std::string key;
  const std::uint32_t id = BuildQueryKey(toc, &key);
  if (FindInCache(key)) return kCddbFoundInCache;

  auto attempted = [&] {
    std::lock_guard<std::mutex> lock(attemptedMutex_);
    return attempted_.count(key) != 0;
  };
  auto markAttempted = [&] {
    std::lock_guard<std::mutex> lock(attemptedMutex_);
    attempted_.insert(key);
  };

  if (mode == kCddbModeImmediate) {
    if (attempted()) return kCddbAlreadyTried;
    bool idle = false;
    if (!running_.compare_exchange_strong(idle, true)) return kCddbBusy;
    const int r = RunLookupWithStatus(toc, 1, WaitMs());
    markAttempted();
    running_.store(false);
    return r;
  }

  if (busy_.load() != 0) return kCddbBusy;
  if (attempted()) return kCddbAlreadyTried;
  bool idle = false;
  if (!running_.compare_exchange_strong(idle, true)) return kCddbBusy;
  // A disc without tracks has id 0 yet must still read as busy.
  busy_.store(id != 0 ? id : 0xFFFFFFFFu);
  markAttempted();

  // The previous thread is past its lookup (running_ was free): joining it
  // takes no longer than its last two posts.
  std::thread previous;
  {
    std::lock_guard<std::mutex> lock(threadMutex_);
    previous = std::move(thread_);
  }
  if (previous.joinable()) previous.join();
  std::lock_guard<std::mutex> lock(threadMutex_);
  threadDone_ = false;
  Cancel(false);
  thread_ = std::thread(&CddbUiClient::BackgroundMain, this, toc);
  return kCddbLookupStarted;
}

void CddbUiClient::BackgroundMain(DiscToc toc) {
  RunLookupWithStatus(toc, 1, WaitMs());
  busy_.store(0);
  running_.store(false);
  const HWND host = Module().hMainWindow;
  host_window::Post(host, host::kMsgIpc, 0, host::kIpcUpdateTitle);
  host_window::Post(host, host::kMsgIpc, 0, host::kIpcRefreshPlaylistCache);
  std::lock_guard<std::mutex> lock(threadMutex_);
  threadDone_ = true;
  threadEnded_.notify_all();
}

bool CddbUiClient::StopBackgroundLookup(std::uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(threadMutex_);
  if (!thread_.joinable()) return true;
  if (!threadDone_) {
    Cancel(true);
    threadEnded_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return threadDone_; });
  }
  if (!threadDone_) return false;
  thread_.join();
  Cancel(false);
  return true;
}
