#include "plugin/offset_detection.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "accuraterip/offset_search.h"
#include "device/cd_device.h"
#include "input/plugin_settings.h"
#include "input/plugin_state.h"
#include "plugin/rip_drive.h"
#include "plugin/rip_verification.h"
#include "rip/frame_source.h"
#include "util/host_window.h"
#include "util/plugin_thread.h"

namespace offset_detection {

namespace {

constexpr unsigned kQuitWaitMs = 2000;

const char kCannotTell[] = "このディスクでは読み取りオフセットを判定できません";

struct Job {
  HWND page;
  unsigned message;
  std::string server;
};

std::mutex g_lock;
Detection g_last;
bool g_running = false;
bool g_closed = false;
plugin_thread::Handle g_thread = nullptr;
std::shared_ptr<rip::StopSignal> g_stop;

Detection Ended(int state, const std::string& text) {
  Detection d;
  d.state = state;
  d.text = text;
  return d;
}

// The first drive that holds a disc with audio tracks.
Detection DetectOnAnyDrive(const PluginSettings& s, const rip::StopSignal& stop) {
  CdDevice device;
  rip_drive::ChooseTransport(device, s);
  {
    CCriticalSection::Hold hold(&plugin::DriveLock());
    device.EnumerateDrives();
  }
  std::vector<char> letters;
  for (const auto& drive : device.Drives()) letters.push_back(drive.first);
  for (char letter : letters) {
    if (stop.Aborted()) break;
    {
      CCriticalSection::Hold hold(&plugin::DriveLock());
      device.SelectDrive(letter);
      if (!device.TestUnitReady() || device.ReadToc() <= 0) continue;
    }
    accuraterip::DiscIds ids;
    if (!accuraterip::ComputeDiscIds(device.Toc(), &ids)) continue;
    return DetectOnDevice(device, plugin::DriveLock(), stop, rip_verification::Await(ids, s));
  }
  if (stop.Aborted()) return Ended(kOffsetStopped, "中断しました");
  return Ended(kOffsetNoDisc, "オーディオ CD の入ったドライブがありません");
}

void Run(void* argument) {
  std::unique_ptr<Job> job(static_cast<Job*>(argument));
  std::shared_ptr<rip::StopSignal> stop;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    stop = g_stop;
  }
  PluginSettings s = SettingsSnapshot();
  s.accurateRipServer = job->server;
  Detection d = DetectOnAnyDrive(s, *stop);
  if (d.state == kOffsetFound) StoreOffset(d.offset);
  {
    std::lock_guard<std::mutex> lock(g_lock);
    g_last = d;
    g_running = false;
  }
  // A page closed meanwhile is no window any more: the message goes nowhere.
  host_window::Post(job->page, job->message, 0, 0);
}

}  // namespace

void StoreOffset(int offset) {
  std::lock_guard<std::mutex> lock(SettingsMutex());
  Settings().ripReadOffset = offset;
  Settings().ripReadOffsetSet = true;
}

Detection DetectOnDevice(CdDevice& device, CCriticalSection& lock, const rip::StopSignal& stop,
                         const accuraterip::FetchOutcome& outcome) {
  if (outcome.result == accuraterip::kFetchCancelled) return Ended(kOffsetStopped, "中断しました");
  if (outcome.result != accuraterip::kFetchFound) {
    return Ended(kOffsetNoDatabase, std::string(kCannotTell) + "（AccurateRip: " +
                                        accuraterip::FetchOutcomeText(outcome) + "）");
  }
  const DiscToc& toc = device.Toc();
  std::vector<std::vector<std::uint8_t>> frames;
  frames.reserve(toc.tracks.size());
  std::vector<accuraterip::OffsetWindow> windows;
  rip::FrameSource source(device, lock, stop);
  for (const auto& track : toc.tracks) {
    const TrackEntry& entry = track.second;
    accuraterip::TrackPlace place;
    if (track.first < 1 || track.first > 99 || entry.length < accuraterip::kOffsetWindowMinFrames ||
        !accuraterip::PlaceTrack(toc, track.first, &place)) {
      continue;
    }
    // The window as the drive delivers it: no correction.
    frames.emplace_back(accuraterip::kOffsetWindowFrames * rip::kFrameBytes);
    const int r = source.Read(static_cast<std::int32_t>(entry.start + accuraterip::kOffsetWindowFirstFrame),
                              accuraterip::kOffsetWindowFrames, frames.back().data(), nullptr);
    if (r == rip::kReadStopped) return Ended(kOffsetStopped, "中断しました");
    if (r != rip::kReadGood) continue;
    windows.push_back({place.slot, frames.back().data()});
  }
  if (windows.empty()) return Ended(kOffsetReadFailed, "ドライブから読み取れませんでした");
  const std::vector<accuraterip::OffsetCandidate> candidates = accuraterip::FindOffsets(windows, outcome.responses);
  Detection d;
  d.drive = device.CurrentDriveLetter();
  if (!accuraterip::DetectOffset(candidates, &d.offset)) {
    d.state = kOffsetCannotTell;
    d.text = std::string(kCannotTell) + "（オフセットが一致するトラックが足りません）";
    return d;
  }
  d.state = kOffsetFound;
  d.tracks = candidates.front().tracks;
  d.confidence = candidates.front().confidence;
  char text[160];
  std::snprintf(text, sizeof text, "読み取りオフセット %+d を検出しました（%c:、一致したトラック %d、信頼度 %d）",
                d.offset, d.drive ? d.drive : '?', d.tracks, d.confidence);
  d.text = text;
  return d;
}

bool Start(HWND page, unsigned message, const std::string& server) {
  std::lock_guard<std::mutex> lock(g_lock);
  if (g_closed || g_running) return false;
  if (g_thread != nullptr) {
    plugin_thread::Release(g_thread);  // it has ended: g_running is down
    g_thread = nullptr;
  }
  std::string trimmed = server;
  trimmed.erase(0, trimmed.find_first_not_of(" \t"));
  trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
  auto* job = new Job{page, message, trimmed.empty() ? std::string(kDefaultAccurateRipServer) : trimmed};
  g_stop = std::make_shared<rip::StopSignal>();
  g_running = true;
  g_thread = plugin_thread::Start(Run, job);
  if (g_thread == nullptr) {
    delete job;
    g_running = false;
    return false;
  }
  return true;
}

Detection Last() {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_last;
}

void EndAll() {
  plugin_thread::Handle thread;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    g_closed = true;
    if (g_stop) g_stop->Abort();
    thread = g_thread;
    g_thread = nullptr;
  }
  if (thread == nullptr) return;
  // One not ended by then holds its own reference to the library.
  plugin_thread::Wait(thread, kQuitWaitMs);
  plugin_thread::Release(thread);
}

void Reopen() {
  std::lock_guard<std::mutex> lock(g_lock);
  g_closed = false;
}

}  // namespace offset_detection
