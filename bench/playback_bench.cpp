// Playback benchmarks: the engine on the playback reader over the in-process
// virtual drive, with a stand-in output plug-in. Prints tables:
//   1. pipeline throughput with an instant drive and output (x real time);
//   2. CPU time per second of audio while the output consumes at 1x;
//   3. start latency (Play to first Write) and seek latency (SetOutputTime
//      to the first Write of the new position) for a modelled 8x and 48x
//      drive, beside the physical floor (seek + reading PreReadSize);
//   4. heap allocations on the streaming path after the first frame.
#include <sys/resource.h>

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

#include "tools/vdrive/virtual_system.h"
#include "host_api/host_messages.h"
#include "input/host_slots.h"
#include "input/playback_engine.h"
#include "input/readers.h"
#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/virtual_drive.h"
#include "tools/vdrive/virtual_scsi_transport.h"
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

using Clock = std::chrono::steady_clock;

// Forwards to the virtual drive, marking its time so that its own
// allocations are not counted as the plug-in's.
class MarkedTransport : public ScsiTransport {
 public:
  explicit MarkedTransport(std::unique_ptr<ScsiTransport> inner) : inner_(std::move(inner)) {}
  int SendToDrive(const CdDrive& d, const std::uint8_t* c, std::uint8_t n, void* b, std::uint32_t l) override {
    Mark m;
    return inner_->SendToDrive(d, c, n, b, l);
  }
  int Open(const CdDrive& d) override { Mark m; return inner_->Open(d); }
  int Close() override { Mark m; return inner_->Close(); }
  int Send(const std::uint8_t* c, std::uint8_t n, void* b, std::uint32_t l) override {
    Mark m;
    return inner_->Send(c, n, b, l);
  }
  int IsAvailable() override { return inner_->IsAvailable(); }
  int Initialize() override { return inner_->Initialize(); }
  int GetAddress(ScsiAddress* a) override { return inner_->GetAddress(a); }

 private:
  struct Mark {
    Mark() { ++t_insideDrive; }
    ~Mark() { --t_insideDrive; }
  };
  std::unique_ptr<ScsiTransport> inner_;
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

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Bench {
  std::shared_ptr<vdrive::VirtualDrive> drive = std::make_shared<vdrive::VirtualDrive>();
  vdrive::VirtualCdSystem system{"D"};
  int trackFrames = 0;

  bool Setup(int frames) {
    trackFrames = frames;
    const auto dir = std::filesystem::temp_directory_path() / "quorvo_playback_bench";
    std::filesystem::create_directories(dir);
    discgen::DiscOptions options;
    options.audioTracks = 1;
    options.trackFrames = frames;
    options.name = "bench";
    std::string cue, error;
    if (discgen::GenerateDisc(options, dir.string(), &cue, &error) != 0 || drive->InsertCue(cue, &error) != 0) {
      std::fprintf(stderr, "disc: %s\n", error.c_str());
      return false;
    }
    auto inner = std::make_unique<vdrive::VirtualScsiTransport>();
    inner->Attach('D', drive);
    PlaybackReader().InstallTransport(std::make_unique<MarkedTransport>(std::move(inner)), kTransportSpti);
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
};

PlaybackOptions Defaults() { return PlaybackOptions{176400, 882000, 65535, false}; }

}  // namespace

int main() {
  t_benchThread = true;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Bench bench;
  if (!bench.Setup(75 * 120)) return 1;  // a two-minute track

  std::printf("Pipeline throughput, instant drive and output (120 s track)\n");
  std::printf("| jitter correction | wall s | x real time |\n|---|---|---|\n");
  for (bool jitter : {false, true}) {
    PlaybackOptions o = Defaults();
    o.jitterCorrection = jitter;
    const auto start = Clock::now();
    if (bench.Play(o) != 0 || !WaitEnded(120)) return 2;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    Engine().Stop();
    std::printf("| %s | %.3f | %.0f |\n", jitter ? "on" : "off", wall, 120.0 / wall);
  }

  std::printf("\nCPU per second of audio, output consuming at 1x (10 s of audio)\n");
  std::printf("| drive | CPU ms per audio s | %% of one core |\n|---|---|---|\n");
  for (double speed : {0.0, 8.0}) {
    bench.drive->SetLatency({speed, speed > 0 ? 100 : 0});
    g_out.pace = 1.0;
    const double cpu0 = CpuSeconds();
    if (bench.Play(Defaults()) != 0) return 3;
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double cpu = CpuSeconds() - cpu0;
    Engine().Stop();
    g_out.pace = 0;
    std::printf("| %s | %.2f | %.3f |\n", speed > 0 ? "8x model" : "instant", cpu * 100.0, cpu * 10.0);
  }

  std::printf("\nStart and seek latency (PreReadSize 176400 bytes)\n");
  std::printf("| drive model | start ms | floor ms | seek ms | floor ms |\n|---|---|---|---|---|\n");
  for (double speed : {8.0, 48.0}) {
    const int seekMs = speed < 20 ? 130 : 85;  // typical access times of such drives
    bench.drive->SetLatency({speed, seekMs});
    g_out.pace = 1.0;
    const long long t0 = NowNs();
    if (bench.Play(Defaults()) != 0) return 4;
    while (g_out.firstWriteNs.load() < 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double startMs = (g_out.firstWriteNs.load() - t0) / 1e6;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int targetMs = 60000;
    g_out.watchFromSample = static_cast<long long>(targetMs / 1000 * 75) * 588;
    const long long t1 = NowNs();
    Engine().SetOutputTime(targetMs);
    while (g_out.watchHitNs.load() < 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double seekLatency = (g_out.watchHitNs.load() - t1) / 1e6;
    Engine().Stop();
    g_out.pace = 0;
    const double floorMs = seekMs + 176400.0 / (176400.0 * speed) * 1000.0;
    std::printf("| %.0fx, seek %d ms | %.1f | %.1f | %.1f | %.1f |\n", speed, seekMs, startMs, floorMs, seekLatency,
                floorMs);
  }
  bench.drive->SetLatency({0, 0});

  std::printf("\nHeap allocations on the streaming path after the first frame\n");
  std::printf("| jitter correction | frames played | allocations |\n|---|---|---|\n");
  for (bool jitter : {false, true}) {
    PlaybackOptions o = Defaults();
    o.jitterCorrection = jitter;
    if (bench.Play(o) != 0) return 5;
    while (g_out.firstWriteNs.load() < 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    g_allocations = 0;
    g_countAllocations = true;
    if (!WaitEnded(120)) return 6;
    g_countAllocations = false;
    Engine().Stop();
    std::printf("| %s | %d | %ld |\n", jitter ? "on" : "off", bench.trackFrames, g_allocations.load());
  }
  // What late landings cost: the drive delivers data from k frames after the
  // address asked for; jitter correction can only line up reads that land
  // early, so a late read leaves a gap of frames never heard.
  std::printf("\nReads landing late, jitter correction on (every read late / every 4th read late)\n");
  std::printf("| late by | reads late | frames in place | frames missing | frames repeated |\n|---|---|---|---|---|\n");
  std::vector<std::uint8_t> captured;
  captured.reserve(static_cast<std::size_t>(bench.trackFrames) * 2352 * 2);
  for (int every : {1, 4}) {
    for (int late : {1, 2, 5}) {
      bench.drive->SetLanding(late, every);
      captured.clear();
      g_out.capture = &captured;
      PlaybackOptions o = Defaults();
      o.jitterCorrection = true;
      if (bench.Play(o) != 0) return 7;
      if (!WaitEnded(120)) {
        std::printf("| %d | %s | playback never reached the end of the track | | |\n", late, every == 1 ? "all" : "1 in 4");
        Engine().Stop();
        g_out.capture = nullptr;
        bench.drive->SetLanding(0, 1);
        continue;
      }
      Engine().Stop();
      g_out.capture = nullptr;
      bench.drive->SetLanding(0, 1);
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
      std::printf("| %d | %s | %ld of %d | %ld | %ld |\n", late, every == 1 ? "all" : "1 in 4", inPlace,
                  bench.trackFrames, missing, repeated);
    }
  }
  return 0;
}
