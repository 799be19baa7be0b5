// Ripping: the rip session over the in-process virtual drive, as the host's
// converter would drive it. Prints its section of docs/BENCHMARKS.md: what
// burst and secure rips of a 120 s track cost against the drive reading the
// same track by itself, what a frame read again costs, CPU per ripped second
// and heap allocations per frame.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bench/bench_report.h"
#include "bench/forwarding_transport.h"
#include "device/cd_device.h"
#include "rip/rip_session.h"
#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/virtual_drive.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "tools/vdrive/virtual_system.h"
#include "util/critical_section.h"

// ---- allocation counting -------------------------------------------------
namespace {
std::atomic<bool> g_count{false};
std::atomic<long> g_allocations{0};
thread_local int t_insideDrive = 0;  // the virtual drive is a test instrument
}  // namespace

void* operator new(std::size_t size) {
  if (g_count.load(std::memory_order_relaxed) && t_insideDrive == 0) ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (g_count.load(std::memory_order_relaxed) && t_insideDrive == 0) ++g_allocations;
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using bench::Clock;

struct InsideDrive {
  InsideDrive() { ++t_insideDrive; }
  ~InsideDrive() { --t_insideDrive; }
};

constexpr int kTrackFrames = 75 * 120;
constexpr std::size_t kPiece = 16384;  // bytes per GetData, as a converter asks
const vdrive::LatencyModel kModel{48, 0};

struct Figures {
  double wallS = 0, cpuS = 0;
  std::uint64_t frames = 0;  // asked of the drive
  std::uint32_t rereads = 0;
  long allocations = 0;
  bool ok = false;
};

struct Bench {
  bench::ScratchDir dir{"quorvo_rip_bench"};
  std::shared_ptr<vdrive::VirtualDrive> drive = std::make_shared<vdrive::VirtualDrive>();
  vdrive::VirtualCdSystem system{"D"};
  CdDevice device;
  CCriticalSection lock;
  std::int32_t trackStart = 0;
  std::vector<char> piece = std::vector<char>(kPiece);

  bool Setup() {
    discgen::DiscOptions options;
    options.audioTracks = 1;
    options.trackFrames = kTrackFrames;
    options.name = "rip";
    std::string cue, error;
    if (discgen::GenerateDisc(options, dir.path().string(), &cue, &error) != 0 || drive->InsertCue(cue, &error) != 0) {
      std::fprintf(stderr, "disc: %s\n", error.c_str());
      return false;
    }
    trackStart = drive->disc()->tracks().front().start;
    auto inner = std::make_unique<vdrive::VirtualScsiTransport>();
    inner->Attach('D', drive);
    device.InstallTransport(std::make_unique<bench::ForwardingTransport<InsideDrive>>(std::move(inner)),
                            kTransportSpti);
    return lock.Create() && device.EnumerateDrives() == 1;
  }

  // The whole track; allocations counted from the second GetData on (the
  // first one makes the session's first window).
  Figures Rip(bool secure) {
    rip::RipSession session(device, lock);
    rip::RipOptions options;
    options.secure = secure;
    Figures f;
    if (session.Open('D', 1, options) != rip::kRipOpened) return f;
    const double cpu0 = bench::CpuSeconds();
    const auto t0 = Clock::now();
    std::uint64_t bytes = 0;
    for (bool first = true;; first = false) {
      const std::intptr_t n = session.GetData(piece.data(), piece.size(), nullptr);
      if (first) {
        g_allocations = 0;
        g_count = true;
      }
      if (n <= 0) {
        f.ok = n == 0 && bytes == std::uint64_t{kTrackFrames} * 2352;
        break;
      }
      bytes += static_cast<std::uint64_t>(n);
    }
    g_count = false;
    f.wallS = bench::MsSince(t0) / 1000;
    f.cpuS = bench::CpuSeconds() - cpu0;
    f.frames = session.FramesRequested();
    f.rereads = session.Report().rereadFrames;
    f.allocations = g_allocations.load();
    return f;
  }

  // The floor: the drive alone reading the track once, 15 frames per READ CD.
  Figures Straight() {
    std::vector<std::uint8_t> data(15 * 2352);
    Figures f;
    const double cpu0 = bench::CpuSeconds();
    const auto t0 = Clock::now();
    f.ok = true;
    for (int done = 0; done < kTrackFrames; done += 15) {
      const std::int32_t lba = trackStart + done;
      const int count = std::min(15, kTrackFrames - done);
      const std::uint8_t cdb[12] = {0xBE,
                                    0x04,
                                    std::uint8_t(lba >> 24),
                                    std::uint8_t(lba >> 16),
                                    std::uint8_t(lba >> 8),
                                    std::uint8_t(lba),
                                    0,
                                    0,
                                    std::uint8_t(count),
                                    0x10,
                                    0,
                                    0};
      f.ok = drive->Execute(cdb, sizeof cdb, data.data(), static_cast<std::uint32_t>(data.size())).ok() && f.ok;
      f.frames += static_cast<std::uint64_t>(count);
    }
    f.wallS = bench::MsSince(t0) / 1000;
    f.cpuS = bench::CpuSeconds() - cpu0;
    return f;
  }
};

Figures MedianOf(int rounds, const std::function<Figures()>& run) {
  std::vector<Figures> all;
  std::vector<double> walls, cpus;
  for (int i = 0; i < rounds; ++i) {
    all.push_back(run());
    walls.push_back(all.back().wallS);
    cpus.push_back(all.back().cpuS);
  }
  Figures f = all.back();
  for (const Figures& a : all) f.ok = f.ok && a.ok;
  f.wallS = bench::Median(walls);
  f.cpuS = bench::Median(cpus);
  return f;
}

struct Row {
  const char* name;
  bool secure;
  int landing;  // reads landing early by this many frames, one in four (0: an accurate stream)
  int cacheKiB;
};

bool CostTable(Bench& b) {
  std::printf("### A 120 s track, against the drive alone\n\n");
  bench::Say(
      "The rip session reads the whole track through GetData in 16 KiB pieces, over the drive model at 48x "
      "(frames at its speed, no seek time). Floor: the same drive model reading the track's 9000 frames once, "
      "15 per READ CD. Frames are those asked of the drive in READ CD commands (the rip's own cost, free of the "
      "model's millisecond grain); wall time is the median of 3. A drive whose CD-DA stream is accurate (it says "
      "so in its capabilities page) is read without overlap; one whose reads land off (one read in four lands 2 "
      "frames early) is read with a one-frame overlap per READ CD and two agreeing reads after each seek.");
  std::printf(
      "| rip | drive | frames read | floor frames | x floor | wall s | floor: the drive alone s | x floor |\n"
      "|---|---|---|---|---|---|---|---|\n");
  for (const Row& row : {Row{"burst", false, 0, 0}, Row{"burst", false, -2, 0}, Row{"secure", true, 0, 2048},
                         Row{"secure", true, 0, 8192}}) {
    b.drive->ClearBehaviours();
    b.drive->SetLatency(kModel);
    b.drive->SetCache(static_cast<std::uint32_t>(row.cacheKiB));
    if (row.landing) b.drive->SetLanding(row.landing, 4);
    // The floor on the same drive: its cache keeping every frame read costs
    // the model time of its own.
    const Figures floor = MedianOf(3, [&] { return b.Straight(); });
    const Figures f = MedianOf(3, [&] { return b.Rip(row.secure); });
    if (!f.ok) return false;
    char drive[96];
    std::snprintf(drive, sizeof drive, "%s, cache %d KiB", row.landing ? "reads land off" : "accurate stream",
                  row.cacheKiB);
    std::printf("| %s | %s | %llu | %llu | %s | %.2f | %.2f | %s |\n", row.name, drive,
                static_cast<unsigned long long>(f.frames), static_cast<unsigned long long>(floor.frames),
                bench::Ratio(static_cast<double>(f.frames), static_cast<double>(floor.frames)).c_str(), f.wallS,
                floor.wallS, bench::Ratio(f.wallS, floor.wallS).c_str());
  }
  b.drive->ClearBehaviours();
  std::printf("\n");
  bench::Say(
      "Floors: burst at most 1.02 x, secure at most 2.2 x the drive alone. A secure rip reads every frame twice "
      "and, once per track, as many frames elsewhere as the drive's cache holds (before the last window's second "
      "pass), so its figure is 2 + cache / track length: a larger cache costs more on a short track.");
  return true;
}

bool RereadTable(Bench& b) {
  const int flaky = 20;
  std::printf("### Frames read again\n\n");
  std::printf(
      "Secure rips of the same track with %d sectors that read wrong twice before they read right, behind a 2 MiB "
      "cache, against the clean track; instant drive and the 48x model. Cost per frame re-read: the extra frames "
      "asked of the drive (and the extra wall time) divided by the frames that needed re-reading. Each round of "
      "re-reads first reads a cache's worth elsewhere, once for all frames pending in the window.\n\n",
      flaky);
  std::printf(
      "| drive | frames re-read | extra frames read | per frame re-read | extra wall ms | ms per frame re-read |\n"
      "|---|---|---|---|---|---|\n");
  for (const vdrive::LatencyModel& model : {vdrive::LatencyModel{0, 0}, kModel}) {
    b.drive->ClearBehaviours();
    b.drive->SetLatency(model);
    b.drive->SetCache(2048);
    const Figures clean = b.Rip(true);
    for (int i = 0; i < flaky; ++i) b.drive->AddFlakySector(b.trackStart + 200 + i * 431, 2);
    const Figures f = b.Rip(true);
    if (!clean.ok || !f.ok || f.rereads == 0) return false;
    const double extra = static_cast<double>(f.frames) - static_cast<double>(clean.frames);
    const double extraMs = (f.wallS - clean.wallS) * 1000;
    std::printf("| %s | %u | %.0f | %.1f | %.0f | %.1f |\n", model.speedX > 0 ? "48x model" : "instant", f.rereads,
                extra, extra / f.rereads, extraMs, extraMs / f.rereads);
  }
  b.drive->ClearBehaviours();
  std::printf("\n");
  return true;
}

bool CpuAndAllocationTable(Bench& b) {
  std::printf("### CPU per ripped second, heap allocations per frame\n\n");
  bench::Say(
      "Instant drive (no latency), the whole track, median of 3; CPU is this process's user and system time per "
      "second of audio ripped. Floor: the CPU of the drive model alone reading the track once (the instrument's "
      "own copying). Allocations: a replaced global operator new, counted outside the drive model's code from "
      "the second GetData to the end of the track; floor none.");
  std::printf(
      "| rip | CPU ms per audio s | floor ms per audio s | x floor | allocations | per frame | floor |\n"
      "|---|---|---|---|---|---|---|\n");
  b.drive->ClearBehaviours();
  b.drive->SetCache(2048);
  const double audioS = kTrackFrames / 75.0;
  const Figures floor = MedianOf(3, [&] { return b.Straight(); });
  for (bool secure : {false, true}) {
    const Figures f = MedianOf(3, [&] { return b.Rip(secure); });
    if (!f.ok) return false;
    const double ms = f.cpuS * 1000 / audioS, floorMs = floor.cpuS * 1000 / audioS;
    std::printf("| %s | %.3f | %.3f | %s | %ld | %.4f | 0 |\n", secure ? "secure" : "burst", ms, floorMs,
                bench::Ratio(ms, floorMs).c_str(), f.allocations, static_cast<double>(f.allocations) / kTrackFrames);
  }
  b.drive->ClearBehaviours();
  std::printf("\n");
  bench::Say(
      "A secure rip hashes every frame of its first pass and compares the second, and copies each frame once "
      "more than the drive's own answer; the session's buffers (a window of more than the cache's size) are made "
      "when the track is opened.");
  return true;
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Bench b;
  if (!b.Setup()) return 1;
  std::printf("## Ripping (`bench/rip_bench.cpp`)\n\n");
  bench::Say(
      "The rip session (the reader behind the extended-read exports) over the in-process virtual drive, natively "
      "(optimised, no sanitizers), as a converter drives it: GetData until the track ends. The drive model "
      "reports its cache in its capabilities page; the session defeats that much between a frame's two reads.");
  if (!CostTable(b)) return 2;
  if (!RereadTable(b)) return 3;
  if (!CpuAndAllocationTable(b)) return 4;
  return 0;
}
