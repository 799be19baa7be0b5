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
#include <vector>

#include "cddb/disc_id.h"
#include "device/cd_device.h"
#include "device/device_map.h"
#include "input/plugin_paths.h"
#include "input/plugin_settings.h"
#include "input/plugin_state.h"
#include "input/title_queries.h"
#include "input/title_resolver.h"
#include "input/title_sources.h"
#include "input/track_name.h"
#include "rip/rip_log.h"
#include "rip/rip_session.h"
#include "util/local_time.h"
#include "util/profile.h"

namespace rip_handles {

namespace {

struct OpenRip {
  CdDevice device;
  rip::RipSession session{device, plugin::DriveLock()};
  std::string fileName;
  rip::RipLogDisc disc;
  std::atomic<int> inside{0};
};

// Guards the table and the flag; never held while a drive is read.
std::mutex g_tableLock;
std::map<std::intptr_t, std::shared_ptr<OpenRip>> g_rips;
std::intptr_t g_lastHandle = 0;
bool g_ended = false;

// The logs of the discs ripped in this run, by file: the tracks read whole.
std::mutex g_logLock;
std::map<std::string, std::vector<rip::TrackReport>> g_logs;

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

const char* TransportName(int kind) {
  switch (kind) {
    case kTransportSpti:
      return "SPTI";
    case kTransportAspi:
      return "ASPI";
    default:
      return "-";
  }
}

void ChooseRipTransport(CdDevice& device, const PluginSettings& s) {
  if (s.aspi) {
    DeviceMap map;
    LoadDeviceMap(SystemProfile(), plugin::SettingsSourcePath().c_str(), map);
    ChooseTransport(device, true, map);
  } else {
    device.SetTransport(kTransportAuto);
  }
}

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

void AddToLog(OpenRip& rip) {
  const rip::TrackReport& report = rip.session.Report();
  if (!report.whole) return;
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
  if (found == g_logs.end()) found = g_logs.emplace(key, rip::ReadLogTracks(folder, rip.disc)).first;
  std::vector<rip::TrackReport>& tracks = found->second;
  // A track ripped again replaces its earlier entry.
  tracks.erase(std::remove_if(tracks.begin(), tracks.end(),
                              [&](const rip::TrackReport& t) { return t.track == report.track; }),
               tracks.end());
  tracks.push_back(report);
  std::sort(tracks.begin(), tracks.end(),
            [](const rip::TrackReport& a, const rip::TrackReport& b) { return a.track < b.track; });
  rip::WriteLogFile(folder, rip.disc, tracks);
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
  ChooseRipTransport(rip->device, s);
  {
    CCriticalSection::Hold hold(&plugin::DriveLock());
    if (rip->device.EnumerateDrives() <= 0) return 0;
  }
  rip::RipOptions options;
  options.readOffset = s.ripReadOffset;
  options.secure = s.ripSecure;
  options.retries = s.ripRetries;
  if (rip->session.Open(letter, track, options) != rip::kRipOpened) return 0;

  if (const CdDrive* drive = rip->device.CurrentDrive()) {
    rip->disc.vendor = drive->vendor;
    rip->disc.product = drive->product;
    rip->disc.revision = drive->revision;
  }
  rip->disc.program = std::string("in_quorvo.dll") + plugin::kVersionSuffix;
  rip->disc.transport = TransportName(rip->device.TransportKind());
  rip->disc.readOffset = options.readOffset;
  rip->disc.secure = options.secure;
  rip->disc.discId = ComputeDiscId(rip->device.Toc());

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
  return rip->session.GetData(dest, len, killswitch);
}

int SetTime(std::intptr_t handle, int millisecs) {
  Inside rip(handle);
  if (!rip || millisecs < 0) return 0;
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
}

std::string LatestVerification(const std::string&, const TrackEntry&) { return std::string(); }

void Reopen() {
  std::lock_guard<std::mutex> lock(g_tableLock);
  g_ended = false;
}

}  // namespace rip_handles
