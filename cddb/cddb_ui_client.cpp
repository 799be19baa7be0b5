#include "cddb/cddb_ui_client.h"

#include <new>

#include "cddb/disc_id.h"
#include "host_api/host_messages.h"
#include "util/host_window.h"

namespace {

const char kQueryingServer[] = "サーバに問い合わせています";
// Three requests, each bounded by the HTTP client's connect and reply
// time-outs, with room for the name lookups: past this the immediate
// lookup is cancelled.
constexpr std::uint32_t kWorkerLimitMs = 3 * (30000 + 30000) + 15000;
// How long a cancelled exchange may take to end (a name lookup cannot be
// interrupted); then it is left to finish by itself.
constexpr std::uint32_t kCancelGraceMs = 5000;

}  // namespace

struct CddbUiClient::Job {
  CddbUiClient* client;
  DiscToc toc;
};

// Shared by the waiting thread and the worker; the last of the two to let go
// frees it and the lookup slot.
struct CddbUiClient::WorkerJob {
  WorkerJob(CddbUiClient* c, const DiscToc& t, CddbStatusUi* u) : client(c), toc(t), ui(u) {}
  CddbUiClient* client;
  DiscToc toc;
  CddbStatusUi* ui;
  std::atomic<bool> done{false};
  std::atomic<int> holders{2};
  int result = kCddbServerUnreachable;
  CddbDiscRecord record;
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

int CddbUiClient::RunLookupWithStatus(const DiscToc& toc, int show, std::uint32_t waitMs, CddbDiscRecord* found) {
  const std::uint32_t id = ComputeDiscId(toc);
  CddbStatusUi* ui = show ? InstalledCddbStatusUi() : nullptr;
  if (ui && !ui->Open(id)) return kCddbWindowFailed;
  ui_.store(ui);
  const int r = Lookup(toc, found);
  if (ui) {
    ShowLookupOutcome(*ui, r, RefusalLine());
    ui->EnableClose();
    if (r != kCddbFoundInCache) ui->Wait(waitMs);
    ui->Close();
  }
  ui_.store(nullptr);
  return r;
}

int CddbUiClient::RunLookupOnWorker(const DiscToc& toc, std::uint32_t waitMs, CddbDiscRecord* found) {
  CddbStatusUi* ui = InstalledCddbStatusUi();
  WorkerJob* job = nullptr;
  plugin_thread::Handle thread = nullptr;
  if (!ui || ui->Open(ComputeDiscId(toc))) {
    ui_.store(ui);
    job = new (std::nothrow) WorkerJob(this, toc, ui);
    if (job != nullptr) thread = plugin_thread::Start(WorkerEntry, job);
  }
  if (thread == nullptr) {
    delete job;
    if (ui) ui->Close();
    ui_.store(nullptr);
    running_.store(false);
    return kCddbWindowFailed;
  }
  bool cancelled = false;
  const auto cancel = [this, &cancelled] {
    cancelled = true;
    Abort();
  };
  const auto finished = [job] { return job->done.load(); };
  bool ended;
  if (ui) {
    ended = ui->AwaitWork(finished, cancel, kWorkerLimitMs, kCancelGraceMs);
  } else {
    // No window to loop in; the wait still answers messages sent to this thread.
    ended = plugin_thread::Wait(thread, kWorkerLimitMs);
    if (!ended) {
      cancel();
      ended = plugin_thread::Wait(thread, kCancelGraceMs);
    }
    ended = ended && finished();
  }
  plugin_thread::Release(thread);
  const int r = ended ? job->result : kCddbServerUnreachable;
  if (ended && found && (r == kCddbFoundOnServer || r == kCddbFoundInCache)) *found = job->record;
  if (ui) {
    // A user who closed the window has seen enough.
    if (!cancelled) {
      ShowLookupOutcome(*ui, r, RefusalLine());
      ui->EnableClose();
      if (r != kCddbFoundInCache) ui->Wait(waitMs);
    }
    ui->Close();
  }
  ui_.store(nullptr);
  DropWorkerJob(job);
  return r;
}

void CddbUiClient::WorkerEntry(void* argument) {
  WorkerJob* job = static_cast<WorkerJob*>(argument);
  // Its own hold on the socket layer, as the background thread's.
  StartSocketLayer();
  job->result = job->client->Lookup(job->toc, &job->record);
  StopSocketLayer();
  job->done.store(true);
  if (job->ui) job->ui->Wake();
  DropWorkerJob(job);
}

void CddbUiClient::DropWorkerJob(WorkerJob* job) {
  if (job->holders.fetch_sub(1) != 1) return;
  job->client->running_.store(false);
  delete job;
}

void CddbUiClient::ForgetAttemptsOnNewSettings() {
  const unsigned now = ConfigChanges();
  if (now == attemptedConfig_) return;
  // A lookup that failed may have failed for the settings the user has
  // just corrected (a refused e-mail address, a wrong server or proxy).
  attempted_.clear();
  attemptedConfig_ = now;
}

bool CddbUiClient::Attempted(const std::string& key) {
  std::lock_guard<std::mutex> lock(attemptedMutex_);
  ForgetAttemptsOnNewSettings();
  return attempted_.count(key) != 0;
}

void CddbUiClient::MarkAttempted(const std::string& key, bool attempted, unsigned config) {
  std::lock_guard<std::mutex> lock(attemptedMutex_);
  ForgetAttemptsOnNewSettings();
  if (!attempted) {
    attempted_.erase(key);
  } else if (config == attemptedConfig_) {
    attempted_.insert(key);
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

int CddbUiClient::LookupDisc(int mode, const DiscToc& toc, CddbDiscRecord* found) {
  std::string key;
  const std::uint32_t id = BuildQueryKey(toc, &key);
  CddbDiscRecord cached;
  if (Cache().Find(key, &cached)) {
    if (found) *found = std::move(cached);
    return kCddbFoundInCache;
  }

  int refusal = 0;
  const unsigned config = ConfigChanges();
  if (mode == kCddbModeImmediate) {
    if (Attempted(key)) return kCddbAlreadyTried;
    {
      std::lock_guard<std::mutex> lock(lifeMutex_);
      if (!ClaimLookup(&refusal)) return refusal;
    }
    const int r = RunLookupOnWorker(toc, WaitMs(), found);
    MarkAttempted(key, true, config);
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
  MarkAttempted(key, true, config);
  // The previous thread is past its lookup (the slot was free): at most its
  // last two posts are left.
  plugin_thread::Release(thread_);
  thread_ = nullptr;
  Job* job = new (std::nothrow) Job{this, toc};
  if (job != nullptr) thread_ = plugin_thread::Start(BackgroundEntry, job);
  if (thread_ == nullptr) {
    // Nothing was started: the disc may be tried again later.
    delete job;
    MarkAttempted(key, false, config);
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
