// Playback: the engine on the playback reader over the in-process virtual
// drive, with a stand-in output plug-in. Prints its section of
// docs/BENCHMARKS.md: throughput, CPU per second of audio, start and seek
// latency, heap allocations on the streaming path and reads landing late,
// each figure beside what the drive model alone takes for the same frames.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_report.h"
#include "bench/forwarding_transport.h"
#include "host_api/host_messages.h"
#include "input/host_slots.h"
#include "input/playback_engine.h"
#include "input/readers.h"
#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/virtual_drive.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "tools/vdrive/virtual_system.h"
#include "util/host_window.h"

// ---- allocation counting -------------------------------------------------
namespace {
std::atomic<bool> g_countAllocations{false};
std::atomic<long> g_allocations{0};
thread_local int t_insideDrive = 0;  // the virtual drive is a test instrument
thread_local bool t_benchThread = false;  // the benchmark's own polling
}  // namespace

void* operator new(std::size_t size) {
  if (g_countAllocations.load(std::memory_order_relaxed) && t_insideDrive == 0 && !t_benchThread) ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_countAllocations.load(std::memory_order_relaxed) && t_insideDrive == 0 && !t_benchThread) ++g_allocations;
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using bench::Clock;

// Marks the virtual drive's time, so that its own allocations are not
// counted as the plug-in's.
struct InsideDrive {
  InsideDrive() { ++t_insideDrive; }
  ~InsideDrive() { --t_insideDrive; }
};

// ---- the stand-in output plug-in ----------------------------------------
struct Output {
  std::atomic<double> pace{0};  // 0 instant, 1 real time
  std::atomic<long long> written{0};
  Clock::time_point openedAt;
  std::atomic<long long> firstWriteNs{-1};
  std::atomic<long long> watchFromSample{-1};  // first Write carrying a sample at/after this position
  std::atomic<long long> watchHitNs{-1};
  std::vector<std::uint8_t>* capture = nullptr;  // reserved in advance
} g_out;

long long NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

int OutOpen(int, int, int, int, int) {
  g_out.written = 0;
  g_out.openedAt = Clock::now();
  return 0;
}
void OutClose() {}
int OutWrite(char* buffer, int length) {
  if (g_out.firstWriteNs.load() < 0) g_out.firstWriteNs = NowNs();
  const long long watch = g_out.watchFromSample.load();
  if (watch >= 0 && g_out.watchHitNs.load() < 0 && length >= 4) {
    const long long pos = discgen::PatternPosition(reinterpret_cast<const std::uint8_t*>(buffer));
    if (pos >= watch) g_out.watchHitNs = NowNs();
  }
  if (g_out.capture) g_out.capture->insert(g_out.capture->end(), buffer, buffer + length);
  g_out.written += length;
  return 0;
}
int OutCanWrite() {
  const double pace = g_out.pace.load();
  if (pace <= 0) return 1 << 20;
  const double elapsed = std::chrono::duration<double>(Clock::now() - g_out.openedAt).count();
  const double consumed = elapsed * pace * 176400.0;
  const double room = consumed + 176400.0 / 4 - static_cast<double>(g_out.written.load());  // 250 ms device buffer
  return room > 0 ? static_cast<int>(room) : 0;
}
int OutIsPlaying() { return 0; }
int OutPause(int) { return 0; }
void OutSetVolume(int) {}
void OutSetPan(int) {}
void OutFlush(int) { g_out.written = 0; g_out.openedAt = Clock::now(); }
int OutGetOutputTime() { return 0; }
int OutGetWrittenTime() { return 0; }

char g_outName[] = "bench output";
Out_Module g_outModule = {0x10, g_outName, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, OutOpen,
                          OutClose, OutWrite, OutCanWrite, OutIsPlaying, OutPause, OutSetVolume, OutSetPan,
                          OutFlush, OutGetOutputTime, OutGetWrittenTime};

void SAVSAInit(int, int) {}
void SAVSADeInit() {}
void SAAddPCMData(void*, int, int, int) {}
int SAGetMode() { return 0; }
int SAAdd(void*, int, int) { return 0; }
void VSAAddPCMData(void*, int, int, int) {}
int VSAGetMode(int*, int*) { return 0; }
int VSAAdd(void*, int) { return 0; }
void VSASetInfo(int, int) {}
int DspIsActive() { return 0; }
int DspDoSamples(short*, int n, int, int, int) { return n; }
void SetInfo(int, int, int, int) {}

void InstallHost() {
  In_Module& m = *GetInModule();
  m.hMainWindow = reinterpret_cast<HWND>(0x1);
  m.SAVSAInit = SAVSAInit;
  m.SAVSADeInit = SAVSADeInit;
  m.SAAddPCMData = SAAddPCMData;
  m.SAGetMode = SAGetMode;
  m.SAAdd = SAAdd;
  m.VSAAddPCMData = VSAAddPCMData;
  m.VSAGetMode = VSAGetMode;
  m.VSAAdd = VSAAdd;
  m.VSASetInfo = VSASetInfo;
  m.dsp_isactive = DspIsActive;
  m.dsp_dosamples = DspDoSamples;
  m.SetInfo = SetInfo;
  m.outMod = &g_outModule;
}

bool Ended() {
  for (const auto& p : host_window::PostedForTesting())
    if (p.msg == host::kMsgEndOfStream) return true;
  return false;
}

bool WaitEnded(double limitSeconds) {
  const auto end = Clock::now() + std::chrono::duration<double>(limitSeconds);
  while (!Ended()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

struct Bench {
  bench::ScratchDir dir{"quorvo_playback_bench"};
  std::shared_ptr<vdrive::VirtualDrive> drive = std::make_shared<vdrive::VirtualDrive>();
  vdrive::VirtualCdSystem system{"D"};
  int trackFrames = 0;
  std::int32_t trackStart = 0;

  bool Setup(int frames) {
    trackFrames = frames;
    discgen::DiscOptions options;
    options.audioTracks = 1;
    options.trackFrames = frames;
    options.name = "bench";
    std::string cue, error;
    if (discgen::GenerateDisc(options, dir.path().string(), &cue, &error) != 0 || drive->InsertCue(cue, &error) != 0) {
      std::fprintf(stderr, "disc: %s\n", error.c_str());
      return false;
    }
    trackStart = drive->disc()->tracks().front().start;
    auto inner = std::make_unique<vdrive::VirtualScsiTransport>();
    inner->Attach('D', drive);
    PlaybackReader().InstallTransport(
        std::make_unique<bench::ForwardingTransport<InsideDrive>>(std::move(inner)), kTransportSpti);
    InstallHost();
    return PlaybackReader().EnumerateDrives() == 1;
  }

  int Play(const PlaybackOptions& options) {
    host_window::ClearPostedForTesting();
    g_out.firstWriteNs = -1;
    g_out.watchFromSample = -1;
    g_out.watchHitNs = -1;
    return Engine().Play("cda://D,1", options);
  }

  // The floor of the tables: the drive model alone. Reads `frames` frames
  // from `offset` frames into the track straight from the drive, 15 frames
  // per READ CD as the fill thread asks, after a read elsewhere so that the
  // first one seeks as the engine's does. Wall ms and CPU s.
  struct Straight {
    double ms;
    double cpu;
  };
  Straight ReadStraight(int offset, int frames) {
    std::vector<std::uint8_t> data(15 * 2352);
    auto readCd = [&](std::int32_t lba, int count) {
      const std::uint8_t cdb[12] = {0xBE, 0x04, std::uint8_t(lba >> 24), std::uint8_t(lba >> 16), std::uint8_t(lba >> 8),
                                    std::uint8_t(lba), 0, 0, std::uint8_t(count), 0x10, 0, 0};
      return drive->Execute(cdb, sizeof cdb, data.data(), static_cast<std::uint32_t>(data.size())).ok();
    };
    readCd(trackStart + (offset + frames + 1) % trackFrames, 1);
    const double cpu0 = bench::CpuSeconds();
    const auto t = Clock::now();
    for (int done = 0; done < frames; done += 15) {
      if (!readCd(trackStart + offset + done, std::min(15, frames - done))) std::fprintf(stderr, "READ CD failed\n");
    }
    return {bench::MsSince(t), bench::CpuSeconds() - cpu0};
  }
};

PlaybackOptions Defaults() { return PlaybackOptions{176400, 882000, 65535, false}; }

const char* OnOff(bool on) { return on ? "on" : "off"; }

struct DriveModel {
  const char* name;
  vdrive::LatencyModel latency;
};

// Output instant: how fast the pipeline moves a whole track, against the
// drive reading the same frames by itself.
bool ThroughputTable(Bench& bench) {
  std::printf("### Throughput, output taking everything at once\n\n");
  bench::Say(
      "The engine plays the whole 120 s track to an output that never waits. Floor: the same frames read "
      "straight from the same drive model, 15 frames per READ CD (what the drive alone takes). Medians of 3.");
  std::printf("| drive | jitter correction | wall s | floor: the drive alone s | x floor | x real time |\n"
              "|---|---|---|---|---|---|\n");
  const double audioS = bench.trackFrames / 75.0;
  for (const DriveModel& model : {DriveModel{"instant", {0, 0}}, DriveModel{"48x model, seek 85 ms", {48, 85}}}) {
    bench.drive->SetLatency(model.latency);
    std::vector<double> floor;
    for (int round = 0; round < 3; ++round) floor.push_back(bench.ReadStraight(0, bench.trackFrames).ms / 1000);
    for (bool jitter : {false, true}) {
      std::vector<double> wall;
      for (int round = 0; round < 3; ++round) {
        PlaybackOptions o = Defaults();
        o.jitterCorrection = jitter;
        const auto start = Clock::now();
        if (bench.Play(o) != 0 || !WaitEnded(120)) return false;
        wall.push_back(bench::MsSince(start) / 1000);
        Engine().Stop();
      }
      const double w = bench::Median(wall), f = bench::Median(floor);
      std::printf("| %s | %s | %.3f | %.3f | %s | %.0f |\n", model.name, OnOff(jitter), w, f,
                  bench::Ratio(w, f).c_str(), audioS / w);
    }
  }
  bench.drive->SetLatency({0, 0});
  std::printf("\n");
  bench::Say(
      "With an instant drive the ceiling is the fill protocol itself: when the buffer is full the fill thread "
      "idles for 100 ms before it looks again, so an output that drains at once waits on those pauses while the "
      "drive alone would be done in a moment. With a modelled drive the engine keeps the drive busy: the figure is "
      "the drive's own time. With jitter correction every read starts a few frames before the last one ended, "
      "to line the two up; the drive model charges each such read a full seek (a real drive often answers it "
      "from its own cache), so this row is the costliest case, and \"x real time\" shows whether playback still "
      "keeps ahead of the audio.");
  return true;
}

// Output consuming in real time: the plug-in's CPU per second of audio,
// against the CPU of reading the same frames straight from the drive.
bool CpuTable(Bench& bench) {
  const int seconds = 6;
  std::printf("### CPU per second of audio, output consuming in real time\n\n");
  std::printf(
      "The output takes audio at the pace it would play it (a 250 ms device buffer); %d s of audio, median of 3. "
      "CPU is this process's user and system time. Floor: the CPU of reading the same frames straight from the "
      "same drive model (the instrument's own copying, which any player's reads cost too).\n\n",
      seconds);
  std::printf("| drive | CPU ms per audio s | floor: the drive alone, ms per audio s | x floor | %% of one core |\n"
              "|---|---|---|---|---|\n");
  for (const DriveModel& model : {DriveModel{"instant", {0, 0}}, DriveModel{"8x model, seek 100 ms", {8, 100}}}) {
    bench.drive->SetLatency(model.latency);
    // An instant drive reads the whole track for a figure above the clock's grain.
    const int floorFrames = model.latency.speedX > 0 ? seconds * 75 : bench.trackFrames;
    const double floorMs = bench.ReadStraight(0, floorFrames).cpu * 1000 / (floorFrames / 75.0);
    std::vector<double> perSecond;
    for (int round = 0; round < 3; ++round) {
      g_out.pace = 1.0;
      const double cpu0 = bench::CpuSeconds();
      if (bench.Play(Defaults()) != 0) return false;
      std::this_thread::sleep_for(std::chrono::seconds(seconds));
      perSecond.push_back((bench::CpuSeconds() - cpu0) * 1000 / seconds);
      Engine().Stop();
      g_out.pace = 0;
    }
    const double ms = bench::Median(perSecond);
    std::printf("| %s | %.2f | %.3f | %s | %.3f |\n", model.name, ms, floorMs, bench::Ratio(ms, floorMs).c_str(),
                ms / 10);
  }
  bench.drive->SetLatency({0, 0});
  std::printf("\n");
  bench::Say(
      "The plug-in's own work is waking its two threads, moving each frame through the buffer and the host's "
      "visualisation and DSP calls; the floor is only the copying of the frames out of the drive model, so the "
      "ratio is large while both stay small against one core.");
  return true;
}

// Play to the first Write, and SetOutputTime to the first Write of the new
// position, against the drive seeking and reading PreReadSize by itself.
bool LatencyTable(Bench& bench) {
  const int rounds = 5, seekToMs = 60000;
  const int preReadFrames = 176400 / 2352;
  std::printf("### Start and seek latency\n\n");
  std::printf(
      "Start: Play to the first Write of the output. Seek: SetOutputTime(%d) to the first Write carrying audio of "
      "the new position. PreReadSize 176400 bytes (%d frames); median of %d. Floor: the same drive model seeking and "
      "reading those %d frames by itself, 15 per READ CD (seek time + PreReadSize at the drive's speed).\n\n",
      seekToMs, preReadFrames, rounds, preReadFrames);
  std::printf("| drive model | start ms | floor ms | x floor | seek ms | floor ms | x floor |\n"
              "|---|---|---|---|---|---|---|\n");
  for (const DriveModel& model : {DriveModel{"8x, seek 130 ms", {8, 130}}, DriveModel{"48x, seek 85 ms", {48, 85}}}) {
    bench.drive->SetLatency(model.latency);
    std::vector<double> start, seek, startFloor, seekFloor;
    for (int round = 0; round < rounds; ++round) {
      startFloor.push_back(bench.ReadStraight(0, preReadFrames).ms);
      seekFloor.push_back(bench.ReadStraight(seekToMs / 1000 * 75, preReadFrames).ms);
      g_out.pace = 1.0;
      const long long t0 = NowNs();
      if (bench.Play(Defaults()) != 0) return false;
      while (g_out.firstWriteNs.load() < 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
      start.push_back((g_out.firstWriteNs.load() - t0) / 1e6);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      g_out.watchFromSample = static_cast<long long>(seekToMs / 1000 * 75) * 588;
      const long long t1 = NowNs();
      Engine().SetOutputTime(seekToMs);
      while (g_out.watchHitNs.load() < 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
      seek.push_back((g_out.watchHitNs.load() - t1) / 1e6);
      Engine().Stop();
      g_out.pace = 0;
    }
    const double s = bench::Median(start), sf = bench::Median(startFloor);
    const double k = bench::Median(seek), kf = bench::Median(seekFloor);
    std::printf("| %s | %.1f | %.1f | %s | %.1f | %.1f | %s |\n", model.name, s, sf, bench::Ratio(s, sf).c_str(), k, kf,
                bench::Ratio(k, kf).c_str());
  }
  bench.drive->SetLatency({0, 0});
  std::printf("\n");
  bench::Say(
      "The pre-read wait looks at the buffer every millisecond, so a start stays within a few milliseconds of "
      "the drive's own time. A seek first lets the fill thread's read in flight end (up to one READ CD of 15 "
      "frames at the drive's speed) before the first read at the new place, which is what it adds.");
  return true;
}

bool AllocationTable(Bench& bench) {
  std::printf("### Heap allocations on the streaming path\n\n");
  bench::Say(
      "Counted by a replaced global operator new from the first Write to the end of the track, outside the "
      "virtual drive's own code. Floor: none; the streaming path works in buffers made before it starts.");
  std::printf("| jitter correction | frames played | allocations | floor |\n|---|---|---|---|\n");
  for (bool jitter : {false, true}) {
    PlaybackOptions o = Defaults();
    o.jitterCorrection = jitter;
    if (bench.Play(o) != 0) return false;
    while (g_out.firstWriteNs.load() < 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    g_allocations = 0;
    g_countAllocations = true;
    if (!WaitEnded(120)) return false;
    g_countAllocations = false;
    Engine().Stop();
    std::printf("| %s | %d | %ld | 0 |\n", OnOff(jitter), bench.trackFrames, g_allocations.load());
  }
  std::printf("\n");
  return true;
}

// What late landings cost: the drive delivers data from k frames after the
// address asked for; jitter correction can only line up reads that land
// early, so a late read leaves a gap of frames never heard.
bool LateReadsTable(Bench& bench) {
  std::printf("### Reads landing late\n\n");
  bench::Say(
      "Jitter correction on, the 120 s track; the drive delivers data from k frames after the address asked for, "
      "on every read or on one read in four. Each frame's position is read back from the generated audio. Floor: "
      "a bit-exact stream, every frame in its place, none missing or repeated.");
  std::printf("| late by | reads late | frames in place | floor | frames missing | frames repeated | floor |\n"
              "|---|---|---|---|---|---|---|\n");
  std::vector<std::uint8_t> captured;
  captured.reserve(static_cast<std::size_t>(bench.trackFrames) * 2352 * 2);
  for (int every : {1, 4}) {
    for (int late : {1, 2, 5}) {
      const char* which = every == 1 ? "all" : "1 in 4";
      bench.drive->SetLanding(late, every);
      captured.clear();
      g_out.capture = &captured;
      PlaybackOptions o = Defaults();
      o.jitterCorrection = true;
      if (bench.Play(o) != 0) return false;
      const bool ended = WaitEnded(120);
      Engine().Stop();
      g_out.capture = nullptr;
      bench.drive->SetLanding(0, 1);
      if (!ended) {
        std::printf("| %d | %s | playback never reached the end of the track | %d | | | 0 |\n", late, which,
                    bench.trackFrames);
        continue;
      }
      std::vector<int> seen(static_cast<std::size_t>(bench.trackFrames), 0);
      long inPlace = 0, repeated = 0;
      const std::size_t frames = captured.size() / 2352;
      for (std::size_t f = 0; f < frames; ++f) {
        const long long pos = discgen::PatternPosition(&captured[f * 2352]);
        if (pos < 0) continue;
        const long long lba = pos / 588;
        if (lba < 0 || lba >= bench.trackFrames) continue;
        if (seen[static_cast<std::size_t>(lba)]++) ++repeated;
        if (static_cast<long long>(f) == lba) ++inPlace;
      }
      long missing = 0;
      for (int v : seen) missing += v == 0;
      std::printf("| %d | %s | %ld | %d | %ld | %ld | 0 |\n", late, which, inPlace, bench.trackFrames, missing, repeated);
    }
  }
  std::printf("\n");
  bench::Say(
      "Jitter correction lines up reads that land early; a late read has no overlap with the data held, so it is "
      "taken as landing where it was asked. At the first late read the stream skips k frames (k/75 s, an audible "
      "jump); from then on it plays k frames ahead of where it should, so it is no longer bit-exact, and at the end "
      "of the track the frames the drive cannot deliver past the disc's end are taken at their nominal place, which "
      "repeats k frames. Late landings do not accumulate: later late reads line up against the already shifted "
      "data. After three reads in a row that bring nothing new the reader takes a read at its nominal place, so a "
      "drive landing late at the end of the disc cannot hold playback at the track's last frames.");
  return true;
}

}  // namespace

int main() {
  t_benchThread = true;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Bench bench;
  if (!bench.Setup(75 * 120)) return 1;  // a two-minute track

  std::printf("## Playback (`bench/playback_bench.cpp`)\n\n");
  bench::Say(
      "The engine plays from the playback reader over the in-process virtual drive into a stand-in output "
      "plug-in, natively (optimised, no sanitizers), with the default PreReadSize 176400 and BufferSize 882000. "
      "The drive's latency model sleeps for each READ CD as long as the modelled drive would take (frames at "
      "its speed, plus the seek time when a read does not continue the last one).");
  if (!ThroughputTable(bench)) return 2;
  if (!CpuTable(bench)) return 3;
  if (!LatencyTable(bench)) return 4;
  if (!AllocationTable(bench)) return 5;
  if (!LateReadsTable(bench)) return 6;
  return 0;
}
