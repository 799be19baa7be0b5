#include "cddb/cddb_ui_client.h"

#include <new>

#include "cddb/disc_id.h"
#include "host_api/host_messages.h"
#include "util/host_window.h"

namespace {

const char kQueryingServer[] = "サーバに問い合わせています";

}  // namespace

struct CddbUiClient::Job {
  CddbUiClient* client;
  DiscToc toc;
};

CddbUiClient::~CddbUiClient() {
  // Quit has waited as long as it could: a thread still running holds the
  // library, so this runs only after it ended.
  plugin_thread::Release(thread_);
}

void CddbUiClient::SetHostWindow(std::function<HWND()> window) {
  std::lock_guard<std::mutex> lock(lifeMutex_);
  hostWindow_ = std::move(window);
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
    if (r != kCddbFoundInCache) {
      // The wait answers the host's messages on this thread, and a title
      // query answered meanwhile replaces the current result: this lookup's
      // caller reads its own.
      const CddbDiscRecord own = CurrentResult();
      ui->Wait(waitMs);
      SetCurrentResult(own);
    }
    ui->Close();
  }
  ui_.store(nullptr);
  return r;
}

bool CddbUiClient::Attempted(const std::string& key) {
  std::lock_guard<std::mutex> lock(attemptedMutex_);
  return attempted_.count(key) != 0;
}

void CddbUiClient::MarkAttempted(const std::string& key, bool attempted) {
  std::lock_guard<std::mutex> lock(attemptedMutex_);
  if (attempted) {
    attempted_.insert(key);
  } else {
    attempted_.erase(key);
  }
}

bool CddbUiClient::ClaimLookup(int* refusal) {
  if (closing_) {
    *refusal = kCddbAlreadyTried;
    return false;
  }
  bool idle = false;
  if (!running_.compare_exchange_strong(idle, true)) {
    *refusal = kCddbBusy;
    return false;
  }
  // No other lookup runs: an abort left from a shutdown that was followed
  // by a new start must not end this one.
  AllowRequests();
  return true;
}

int CddbUiClient::LookupDisc(int mode, const DiscToc& toc) {
  std::string key;
  const std::uint32_t id = BuildQueryKey(toc, &key);
  if (FindInCache(key)) return kCddbFoundInCache;

  int refusal = 0;
  if (mode == kCddbModeImmediate) {
    if (Attempted(key)) return kCddbAlreadyTried;
    {
      std::lock_guard<std::mutex> lock(lifeMutex_);
      if (!ClaimLookup(&refusal)) return refusal;
    }
    const int r = RunLookupWithStatus(toc, 1, WaitMs());
    MarkAttempted(key, true);
    running_.store(false);
    return r;
  }

  if (busy_.load() != 0) return kCddbBusy;
  if (Attempted(key)) return kCddbAlreadyTried;
  // Claimed and started under one hold of the lock, so that Close either
  // sees this thread or refuses it.
  std::lock_guard<std::mutex> lock(lifeMutex_);
  if (!ClaimLookup(&refusal)) return refusal;
  // A disc without tracks has id 0 yet must still read as busy.
  busy_.store(id != 0 ? id : 0xFFFFFFFFu);
  MarkAttempted(key, true);
  // The previous thread is past its lookup (the slot was free): at most its
  // last two posts are left.
  plugin_thread::Release(thread_);
  thread_ = nullptr;
  Job* job = new (std::nothrow) Job{this, toc};
  if (job != nullptr) thread_ = plugin_thread::Start(BackgroundEntry, job);
  if (thread_ == nullptr) {
    // Nothing was started: the disc may be tried again later.
    delete job;
    MarkAttempted(key, false);
    busy_.store(0);
    running_.store(false);
    return kCddbWindowFailed;
  }
  return kCddbLookupStarted;
}

void CddbUiClient::BackgroundEntry(void* job) {
  Job* own = static_cast<Job*>(job);
  own->client->BackgroundMain(own->toc);
  delete own;
}

void CddbUiClient::BackgroundMain(const DiscToc& toc) {
  // Its own hold on the socket layer: Quit may release the plug-in's while
  // this thread still finishes a name lookup.
  StartSocketLayer();
  RunLookupWithStatus(toc, 1, WaitMs());
  StopSocketLayer();
  HWND host = nullptr;
  bool closing = false;
  {
    std::lock_guard<std::mutex> lock(lifeMutex_);
    closing = closing_;
    if (hostWindow_) host = hostWindow_();
  }
  busy_.store(0);
  running_.store(false);
  // After Quit nobody asks for titles any more.
  if (closing) return;
  host_window::Post(host, host::kMsgIpc, 0, host::kIpcUpdateTitle);
  host_window::Post(host, host::kMsgIpc, 0, host::kIpcRefreshPlaylistCache);
}

bool CddbUiClient::Close(std::uint32_t waitMs) {
  plugin_thread::Handle thread = nullptr;
  {
    std::lock_guard<std::mutex> lock(lifeMutex_);
    closing_ = true;
    thread = thread_;
    thread_ = nullptr;
  }
  Abort();
  // A status window waiting for its user, or a candidates dialog, would
  // keep the thread for as long as nobody answers.
  if (CddbStatusUi* ui = InstalledCddbStatusUi()) ui->Abandon();
  const bool ended = plugin_thread::Wait(thread, waitMs);
  plugin_thread::Release(thread);
  return ended;
}

void CddbUiClient::Reopen() {
  std::lock_guard<std::mutex> lock(lifeMutex_);
  closing_ = false;
}

bool CddbUiClient::WaitForBackgroundLookup(std::uint32_t waitMs) {
  plugin_thread::Handle thread = nullptr;
  {
    std::lock_guard<std::mutex> lock(lifeMutex_);
    thread = thread_;
  }
  return plugin_thread::Wait(thread, waitMs);
}
