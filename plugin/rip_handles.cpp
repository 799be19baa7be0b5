#include "plugin/rip_handles.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "accuraterip/checksum.h"
#include "accuraterip/disc_ids.h"
#include "cddb/disc_id.h"
#include "device/cd_device.h"
#include "input/plugin_paths.h"
#include "input/plugin_settings.h"
#include "input/plugin_state.h"
#include "input/title_queries.h"
#include "input/title_resolver.h"
#include "input/title_sources.h"
#include "input/track_name.h"
#include "plugin/offset_detection.h"
#include "plugin/rip_drive.h"
#include "plugin/rip_verification.h"
#include "rip/rip_log.h"
#include "rip/rip_session.h"
#include "util/local_time.h"

namespace rip_handles {

namespace {

struct OpenRip {
  CdDevice device;
  rip::RipSession session{device, plugin::DriveLock()};
  std::string fileName;
  char letter = 0;
  rip::RipLogDisc disc;
  DiscToc toc;
  // AccurateRip: the disc's ids (audioTracks 0: none), the server asked and
  // the track's checksums over the bytes delivered since the start.
  accuraterip::DiscIds ids;
  std::string server;
  bool verify = false;
  accuraterip::TrackPlace place;
  accuraterip::TrackChecksum sums{0, false, false};
  std::atomic<int> inside{0};
};

// Guards the table and the flag; never held while a drive is read.
std::mutex g_tableLock;
std::map<std::intptr_t, std::shared_ptr<OpenRip>> g_rips;
std::intptr_t g_lastHandle = 0;
bool g_ended = false;

// The logs of the discs ripped in this run, by file: the tracks read whole
// and what their verdicts need.
struct DiscLog {
  std::string folder;
  rip::RipLogDisc disc;
  std::vector<rip::TrackReport> tracks;
  DiscToc toc;
  accuraterip::DiscIds ids;
  std::string server;
  bool verify = false;
  char letter = 0;
  std::vector<int> rippedNow;  // tracks ripped in this run (the info box shows theirs)
};
std::mutex g_logLock;
std::map<std::string, DiscLog> g_logs;
std::atomic<bool> g_fetchesEnded{false};  // Quit: no verdict still waiting will come
// The latest verdict of a track ripped in this run, by drive, track and
// where the track lies.
std::map<std::tuple<char, int, std::uint32_t, std::uint32_t>, std::string> g_verdicts;

// Counts a call inside a rip for as long as it runs; empty when the handle
// is unknown or the plug-in has quit.
class Inside {
 public:
  explicit Inside(std::intptr_t handle) {
    std::lock_guard<std::mutex> lock(g_tableLock);
    auto it = g_rips.find(handle);
    if (g_ended || it == g_rips.end()) return;
    rip_ = it->second;
    rip_->inside.fetch_add(1);
  }
  ~Inside() {
    if (rip_) rip_->inside.fetch_sub(1);
  }
  OpenRip* operator->() const { return rip_.get(); }
  explicit operator bool() const { return rip_ != nullptr; }

 private:
  std::shared_ptr<OpenRip> rip_;
};

// The album and performer the title sources know for the disc, without a
// lookup of their own: a search still running gives none.
void FillDiscNames(const std::string& fileName, rip::RipLogDisc& disc) {
  TrackDescription record;
  titles::PluginResolver().Resolve(kQueryExtendedInfo, fileName.c_str(), nullptr, "album", record);
  if (record.disc.title != kCddbSearching) {
    disc.album = record.disc.title;
    disc.performer = record.disc.performer;
  }
}

// What the database says of each checksummed track, and of the disc, as
// far as this session knows it; a fetch still running says so and the log
// is written again when it ends.
void FillVerdicts(DiscLog& log) {
  accuraterip::FetchOutcome outcome;
  const bool known = log.verify && rip_verification::Outcome(log.ids, log.server, &outcome);
  int counts[3] = {0, 0, 0};
  std::string failure;
  if (!log.verify) {
    failure = "照合していません";
  } else if (!known && g_fetchesEnded.load()) {
    accuraterip::FetchOutcome cancelled;
    failure = "照合できません（" + accuraterip::FetchOutcomeText(cancelled) + "）";
  } else if (!known) {
    failure = "照合中";
  } else if (outcome.result != accuraterip::kFetchFound && outcome.result != accuraterip::kFetchNotInDatabase) {
    failure = "照合できません（" + accuraterip::FetchOutcomeText(outcome) + "）";
  }
  for (rip::TrackReport& t : log.tracks) {
    if (!t.arSums) continue;
    const bool now = std::find(log.rippedNow.begin(), log.rippedNow.end(), t.track) != log.rippedNow.end();
    if (!failure.empty()) {
      // A track an earlier run verified keeps its words.
      if (now || t.arVerdict.empty()) t.arVerdict = failure;
      continue;
    }
    accuraterip::TrackVerdict verdict;
    accuraterip::TrackPlace place;
    if (outcome.result == accuraterip::kFetchFound && accuraterip::PlaceTrack(log.toc, t.track, &place)) {
      verdict = accuraterip::VerifyTrack(outcome.responses, place.slot, t.arV1, t.arV2);
    }
    ++counts[verdict.state];
    t.arVerdict = verdict.state == accuraterip::kTrackMatch
                      ? "一致（信頼度 " + std::to_string(verdict.confidence) + "）"
                      : verdict.state == accuraterip::kTrackMismatch ? "不一致" : "データベースにありません";
  }
  log.disc.arSummary = !failure.empty() ? failure
                                        : "一致 " + std::to_string(counts[accuraterip::kTrackMatch]) + " / 不一致 " +
                                              std::to_string(counts[accuraterip::kTrackMismatch]) +
                                              " / データベースにありません " +
                                              std::to_string(counts[accuraterip::kTrackNotInDatabase]);
  for (const rip::TrackReport& t : log.tracks) {
    const auto entry = log.toc.tracks.find(t.track);
    if (entry == log.toc.tracks.end() || t.arVerdict.empty() ||
        std::find(log.rippedNow.begin(), log.rippedNow.end(), t.track) == log.rippedNow.end()) {
      continue;
    }
    g_verdicts[std::make_tuple(log.letter, t.track, entry->second.start, entry->second.length)] = t.arVerdict;
  }
}

void WriteLog(DiscLog& log) {
  FillVerdicts(log);
  rip::WriteLogFile(log.folder, log.disc, log.tracks);
}

// Logs whose verdict waited for a fetch that has ended (or, at Quit, that
// never will) are written again.
void RewritePendingLogs() {
  std::lock_guard<std::mutex> lock(g_logLock);
  for (auto& entry : g_logs) {
    if (entry.second.disc.arSummary == "照合中") WriteLog(entry.second);
  }
}

void AddToLog(OpenRip& rip) {
  rip::TrackReport report = rip.session.Report();
  if (!report.whole) return;
  if (rip.place.slot >= 0 && rip.sums.Complete()) {
    report.arSums = true;
    report.arV1 = rip.sums.V1();
    report.arV2 = rip.sums.V2();
  }
  FillDiscNames(rip.fileName, rip.disc);
  const LocalTime now = CurrentLocalTime();
  char written[32];
  std::snprintf(written, sizeof written, "%04u-%02u-%02u %02u:%02u:%02u", now.year, now.month, now.day, now.hour,
                now.minute, now.second);
  rip.disc.written = written;
  const std::string folder = plugin::RipLogFolder();
  const std::string key = folder + '\\' + rip::LogFileName(rip.disc);
  std::lock_guard<std::mutex> lock(g_logLock);
  // The disc's first track in this run joins those an earlier run logged.
  auto found = g_logs.find(key);
  if (found == g_logs.end()) {
    found = g_logs.emplace(key, DiscLog()).first;
    found->second.tracks = rip::ReadLogTracks(folder, rip.disc);
  }
  DiscLog& log = found->second;
  // How the offset was found stays said for the disc's later tracks.
  const std::string offsetNote = rip.disc.offsetNote.empty() ? log.disc.offsetNote : rip.disc.offsetNote;
  log.folder = folder;
  log.disc = rip.disc;
  log.disc.offsetNote = offsetNote;
  log.toc = rip.toc;
  log.ids = rip.ids;
  log.server = rip.server;
  log.verify = rip.verify;
  log.letter = rip.letter;
  if (std::find(log.rippedNow.begin(), log.rippedNow.end(), report.track) == log.rippedNow.end()) {
    log.rippedNow.push_back(report.track);
  }
  // A track ripped again replaces its earlier entry.
  std::vector<rip::TrackReport>& tracks = log.tracks;
  tracks.erase(std::remove_if(tracks.begin(), tracks.end(),
                              [&](const rip::TrackReport& t) { return t.track == report.track; }),
               tracks.end());
  tracks.push_back(report);
  std::sort(tracks.begin(), tracks.end(),
            [](const rip::TrackReport& a, const rip::TrackReport& b) { return a.track < b.track; });
  WriteLog(log);
}

// The first rip of a disc while no offset is stored finds it from the
// database; what was found is stored, and said in the disc's log.
void FindOffset(OpenRip& rip, const PluginSettings& s, rip::RipOptions* options) {
  rip::StopSignal stop;
  const offset_detection::Detection d =
      offset_detection::DetectOnDevice(rip.device, plugin::DriveLock(), stop, rip_verification::Await(rip.ids, s));
  if (d.state == offset_detection::kOffsetFound) {
    offset_detection::StoreOffset(d.offset);
    options->readOffset = d.offset;
    rip.disc.offsetNote = "AccurateRip で検出";
  } else if (d.state != offset_detection::kOffsetStopped) {
    rip.disc.offsetNote = "ディスクから検出できません";
  }
}

}  // namespace

std::intptr_t Open(const char* fileName, int* size, int* bps, int* nch, int* srate) {
  char letter = 0;
  int track = 0;
  if (fileName == nullptr || !ParseTrackName(fileName, &letter, &track)) return 0;
  {
    std::lock_guard<std::mutex> lock(g_tableLock);
    if (g_ended) return 0;
  }
  const PluginSettings s = SettingsSnapshot();
  auto rip = std::make_shared<OpenRip>();
  rip->fileName = fileName;
  rip->letter = letter;
  rip_drive::ChooseTransport(rip->device, s);
  {
    CCriticalSection::Hold hold(&plugin::DriveLock());
    if (rip->device.EnumerateDrives() <= 0) return 0;
  }
  rip::RipOptions options;
  options.readOffset = s.ripReadOffset;
  options.secure = s.ripSecure;
  options.retries = s.ripRetries;
  if (rip->session.Open(letter, track, options) != rip::kRipOpened) return 0;
  rip->toc = rip->device.Toc();

  // The disc's answer is fetched beside the rip; only a rip that must find
  // the offset first waits for it.
  rip->server = s.accurateRipServer;
  if (s.accurateRipUse && accuraterip::ComputeDiscIds(rip->toc, &rip->ids) &&
      accuraterip::PlaceTrack(rip->toc, track, &rip->place)) {
    rip->verify = true;
    if (s.ripReadOffsetSet) {
      rip_verification::Begin(rip->ids, s);
    } else {
      FindOffset(*rip, s, &options);
      if (options.readOffset != s.ripReadOffset && rip->session.Open(letter, track, options) != rip::kRipOpened) {
        return 0;
      }
    }
  } else {
    rip->place = accuraterip::TrackPlace();
    accuraterip::PlaceTrack(rip->toc, track, &rip->place);
  }
  rip->sums = accuraterip::TrackChecksum(rip->session.TrackFrames() * accuraterip::kSamplesPerFrame, rip->place.first,
                                         rip->place.last);

  if (const CdDrive* drive = rip->device.CurrentDrive()) {
    rip->disc.vendor = drive->vendor;
    rip->disc.product = drive->product;
    rip->disc.revision = drive->revision;
  }
  rip->disc.program = std::string("in_quorvo.dll") + plugin::kVersionSuffix;
  rip->disc.transport = rip_drive::TransportName(rip->device.TransportKind());
  rip->disc.readOffset = options.readOffset;
  rip->disc.secure = options.secure;
  rip->disc.discId = ComputeDiscId(rip->toc);

  const std::uint64_t bytes = static_cast<std::uint64_t>(rip->session.TrackFrames()) * 2352;
  std::lock_guard<std::mutex> lock(g_tableLock);
  if (g_ended) return 0;
  const std::intptr_t handle = ++g_lastHandle;
  g_rips[handle] = rip;
  if (size) *size = static_cast<int>(std::min<std::uint64_t>(bytes, INT32_MAX));
  if (bps) *bps = 16;
  if (nch) *nch = 2;
  if (srate) *srate = 44100;
  return handle;
}

std::intptr_t GetData(std::intptr_t handle, char* dest, std::size_t len, int* killswitch) {
  Inside rip(handle);
  if (!rip) return -1;
  if (dest == nullptr || len == 0) return 0;
  const std::intptr_t n = rip->session.GetData(dest, len, killswitch);
  if (n > 0) rip->sums.Feed(dest, static_cast<std::size_t>(n));
  return n;
}

int SetTime(std::intptr_t handle, int millisecs) {
  Inside rip(handle);
  if (!rip || millisecs < 0) return 0;
  // Checksums count only a track delivered from its start.
  rip->sums = accuraterip::TrackChecksum(rip->session.TrackFrames() * accuraterip::kSamplesPerFrame, rip->place.first,
                                         rip->place.last);
  return rip->session.SetTime(millisecs);
}

void Close(std::intptr_t handle) {
  std::shared_ptr<OpenRip> rip;
  {
    std::lock_guard<std::mutex> lock(g_tableLock);
    auto it = g_rips.find(handle);
    if (it == g_rips.end()) return;
    rip = it->second;
    g_rips.erase(it);
    if (g_ended) return;  // Quit has released its transport
  }
  AddToLog(*rip);
}

void EndAll(std::uint32_t waitMs) {
  std::vector<std::shared_ptr<OpenRip>> open;
  {
    std::lock_guard<std::mutex> lock(g_tableLock);
    g_ended = true;
    for (auto& entry : g_rips) open.push_back(entry.second);
  }
  for (auto& rip : open) rip->session.Abort();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (auto& rip : open) {
    while (rip->inside.load() > 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // One still inside keeps its transport (and the library stays pinned
    // by its frame); no later call can reach it.
    if (rip->inside.load() == 0) rip->device.SetTransport(kTransportNone);
  }
  // A verdict still waiting for its fetch says why it never came.
  g_fetchesEnded.store(true);
  rip_verification::EndAll(waitMs);
  RewritePendingLogs();
}

std::string LatestVerification(const std::string& fileName, const TrackEntry& entry) {
  char letter = 0;
  int track = 0;
  if (!ParseTrackName(fileName.c_str(), &letter, &track)) return std::string();
  std::lock_guard<std::mutex> lock(g_logLock);
  const auto found = g_verdicts.find(std::make_tuple(letter, track, entry.start, entry.length));
  return found == g_verdicts.end() ? std::string() : found->second;
}

void Reopen() {
  {
    std::lock_guard<std::mutex> lock(g_tableLock);
    g_ended = false;
  }
  g_fetchesEnded.store(false);
  rip_verification::Reopen();
  rip_verification::SetOnEnded(RewritePendingLogs);
}

}  // namespace rip_handles
