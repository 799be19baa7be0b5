// Titles: drive commands and time spent answering the host's title
// questions for a whole 99-track playlist, with nothing playing and while a
// track of the same disc (or of another drive) plays, beside the least
// commands any title source needs and the drive's time for the commands
// sent. Prints its section of docs/BENCHMARKS.md.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_report.h"
#include "bench/forwarding_transport.h"
#include "cddb/cddb_lookup.h"
#include "device/cd_direct_cdda.h"
#include "tools/vdrive/virtual_system.h"
#include "host_api/in_module.h"
#include "input/plugin_settings.h"
#include "input/title_queries.h"
#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/virtual_scsi_transport.h"

namespace {

constexpr int kTracks = 99;
constexpr int kRounds = 3;
// A drive answering each command in 1 ms: the order of a spun-up drive
// answering from its own memory. A model, not a measured drive.
constexpr int kCommandLatencyUs = 1000;

struct CommandLatency {
  CommandLatency() { std::this_thread::sleep_for(std::chrono::microseconds(kCommandLatencyUs)); }
};

// The floor of the time: as many commands sent straight to the same drive
// model, without a plug-in (TEST UNIT READY, which the model answers at
// once, so that only the model's latency and the instrument remain).
double StraightMs(vdrive::VirtualDrive& drive, std::uint32_t commands) {
  const std::uint8_t tur[6] = {};
  const auto start = bench::Clock::now();
  for (std::uint32_t k = 0; k < commands; ++k) {
    CommandLatency latency;
    drive.Execute(tur, sizeof tur, nullptr, 0);
  }
  return bench::MsSince(start);
}

std::string TwoDigits(int n) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

// One data track and 98 audio tracks (the generator's most), with short
// English and Japanese CD-TEXT for all 99 so both blocks fit their packs.
std::shared_ptr<vdrive::Disc> MakePlaylistDisc(const std::string& dir) {
  discgen::DiscOptions options;
  options.layout = discgen::Layout::DataFirst;
  options.audioTracks = kTracks - 1;
  options.trackFrames = 75;
  options.dataFrames = 75;
  options.name = "bench99";
  std::string cue, error;
  if (discgen::GenerateDisc(options, dir, &cue, &error) != 0) {
    std::fprintf(stderr, "disc: %s\n", error.c_str());
    return nullptr;
  }
  std::vector<vdrive::CdTextBlock> blocks(2);
  blocks[1].language = vdrive::kLanguageJapanese;
  blocks[1].doubleByte = true;
  blocks[1].characterCode = vdrive::kCharCodeMsJis;
  for (auto& block : blocks) {
    block.entries.resize(kTracks + 1);
    block.entries[0] = {block.doubleByte ? "盤" : "Disc", "Band", "", "", ""};
    for (int k = 1; k <= kTracks; ++k) block.entries[k][0] = block.doubleByte ? "曲" : "T" + TwoDigits(k);
  }
  const std::vector<std::uint8_t> packs = vdrive::BuildCdTextPacks(blocks, 1, kTracks);
  if (packs.empty()) return nullptr;
  std::ofstream(dir + "/bench99.cdt", std::ios::binary)
      .write(reinterpret_cast<const char*>(packs.data()), static_cast<std::streamsize>(packs.size()));
  std::string text;
  {
    std::ifstream in(cue, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::ofstream(cue, std::ios::binary | std::ios::trunc) << "CDTEXTFILE \"bench99.cdt\"\r\n" << text;
  auto disc = std::make_shared<vdrive::Disc>();
  if (disc->LoadCue(cue, &error) != 0) {
    std::fprintf(stderr, "cue: %s\n", error.c_str());
    return nullptr;
  }
  return disc;
}

struct Rig {
  std::shared_ptr<vdrive::VirtualDrive> d = std::make_shared<vdrive::VirtualDrive>();
  std::shared_ptr<vdrive::VirtualDrive> e = std::make_shared<vdrive::VirtualDrive>();
  CDirectCDDA playback;
  CDirectCDDA info;
  PluginSettings settings;
  std::string playing;
  TitleResolver resolver{TitleResolverParts{&playback, &info, nullptr, &settings, [] () -> CddbLookup& { return TitleCddb(); },
                                            [] { return std::string(); }, [this] { return playing; }}};

  explicit Rig(const std::shared_ptr<vdrive::Disc>& disc) {
    for (auto* drive : {d.get(), e.get()}) {
      drive->Insert(disc);
    }
    for (CDirectCDDA* reader : {&playback, &info}) {
      auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
      transport->Attach('D', d);
      transport->Attach('E', e);
      reader->InstallTransport(
          std::make_unique<bench::ForwardingTransport<CommandLatency, bench::NoGuard>>(std::move(transport)),
          kTransportSpti);
      reader->EnumerateDrives();
    }
  }
  // What Play leaves: the playback reader open on D with its table read.
  void PlayOnD() {
    playback.SelectDrive('D');
    playback.OpenDevice();
    playback.ReadToc();
    playing = "D";
  }
  std::uint32_t Commands() const { return d->CommandCount(-1) + e->CommandCount(-1); }
  void ResetCounters() {
    d->ResetCounters();
    e->ResetCounters();
  }
};

struct Row {
  std::string scenario;
  std::uint32_t floorCommands;  // the least a title source needs here
  std::uint32_t commands;
  std::uint32_t readToc;  // table of contents and CD-TEXT (both READ TOC)
  std::uint32_t testUnitReady;
  std::vector<double> ms;
  double floorMs = 0;
};

Row RunPlaylist(Rig& rig, const std::string& scenario, std::uint32_t floorCommands, char drive, bool extendedToo) {
  rig.ResetCounters();
  const auto start = bench::Clock::now();
  char title[GETFILEINFO_TITLE_LENGTH];
  char value[256];
  for (int track = 1; track <= kTracks; ++track) {
    const std::string name = std::string("cda://") + drive + "," + std::to_string(track);
    int length = 0;
    titles::GetFileInfo(rig.resolver, name.c_str(), title, &length);
    if (extendedToo) {
      for (const char* key : {"TITLE", "ARTIST", "ALBUM"})
        titles::GetExtendedFileInfo(rig.resolver, name.c_str(), key, value, sizeof value);
    }
  }
  const double ms = bench::MsSince(start);
  const std::uint32_t tur = rig.d->CommandCount(0x00) + rig.e->CommandCount(0x00);
  const std::uint32_t toc = rig.d->CommandCount(0x43) + rig.e->CommandCount(0x43);
  return Row{scenario, floorCommands, rig.Commands(), toc, tur, {ms}};
}

// Runs the scenario kRounds times from the same starting state; the counts
// are the same every round, the time is the median.
template <class Setup>
Row Measure(Rig& rig, Setup setup, const std::string& scenario, std::uint32_t floorCommands, char drive,
            bool extendedToo) {
  Row row;
  std::vector<double> ms;
  for (int round = 0; round < kRounds; ++round) {
    setup();
    row = RunPlaylist(rig, scenario, floorCommands, drive, extendedToo);
    ms.push_back(row.ms.front());
  }
  row.ms = ms;
  std::vector<double> floor;
  for (int round = 0; round < kRounds && row.commands > 0; ++round) floor.push_back(StraightMs(*rig.d, row.commands));
  row.floorMs = bench::Median(floor);
  return row;
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  vdrive::VirtualCdSystem system("DE");
  bench::ScratchDir dir("quorvo_titles_bench");
  const auto disc = MakePlaylistDisc(dir.path().string());
  if (!disc) return 1;

  Rig rig(disc);
  // The floor: one examination of the disc (one table and one CD-TEXT read).
  rig.ResetCounters();
  char title[GETFILEINFO_TITLE_LENGTH];
  titles::GetFileInfo(rig.resolver, "cda://D,2", title, nullptr);
  const std::uint32_t floor = rig.Commands();
  if (std::string(title).compare(0, 11, "CD-DA TRACK") == 0) {
    std::fprintf(stderr, "the disc's CD-TEXT was not read: %s\n", title);
    return 1;
  }

  std::vector<Row> rows;
  const auto stopped = [&rig] {
    rig.playback.CloseDevice();
    rig.playing.clear();
  };
  const auto playingD = [&rig, &stopped] {
    stopped();
    rig.PlayOnD();
  };
  // As the host comes to it: the information reader last examined D:.
  const auto playingDAfterD = [&rig, &stopped, &playingD] {
    stopped();
    char ignored[GETFILEINFO_TITLE_LENGTH];
    titles::GetFileInfo(rig.resolver, "cda://D,1", ignored, nullptr);
    playingD();
  };
  for (bool extended : {false, true}) {
    const std::string what = extended ? "GetFileInfo + TITLE/ARTIST/ALBUM" : "GetFileInfo";
    rows.push_back(Measure(rig, stopped, what + ", nothing playing", floor, 'D', extended));
    rows.push_back(Measure(rig, playingD, what + ", a track of D: playing", 0, 'D', extended));
    rows.push_back(Measure(rig, playingDAfterD, what + ", same disc in E:, D: playing", floor, 'E', extended));
  }

  std::printf("## Titles (`bench/titles_bench.cpp`)\n\n");
  std::printf(
      "The host asks GetFileInfo (and, in the second group, also `winampGetExtendedFileInfo` for TITLE, ARTIST "
      "and ALBUM) for every entry of a %d-track playlist (one data track and %d audio tracks, English and Japanese "
      "CD-TEXT) in three situations: nothing plays; a track of the same disc plays on D:; D: plays and the "
      "playlist names the same disc in another drive E:. The drives are virtual drives that take %.1f ms for "
      "each command (a model of a spun-up drive answering from its memory; the benchmark sleeps that long at each "
      "command). Times are medians of %d rounds.\n\n",
      kTracks, kTracks - 1, kCommandLatencyUs / 1000.0, kRounds);
  std::printf(
      "Floors. Commands: one examination of the disc, %u commands (TEST UNIT READY, READ TOC in MSF and LBA form, "
      "session information and one CD-TEXT read, READ TOC format 5), is the least any title source can do with a "
      "disc it does not hold; none while the playing disc's table is held. Time: as many commands sent straight "
      "to the same drive model, about the commands times %.1f ms: the drive's own time for what was asked (0 "
      "where nothing was sent).\n\n",
      floor, kCommandLatencyUs / 1000.0);
  std::printf("| scenario | commands | READ TOC | TUR | floor: commands | x floor | time ms | floor ms | x floor |\n"
              "|---|---|---|---|---|---|---|---|---|\n");
  for (const Row& r : rows) {
    const double ms = bench::Median(r.ms), floorMs = r.floorMs;
    std::printf("| %s | %u | %u | %u | %u | %s | %.1f | %.1f | %s |\n", r.scenario.c_str(), r.commands, r.readToc,
                r.testUnitReady, r.floorCommands, bench::Ratio(r.commands, r.floorCommands).c_str(), ms, floorMs,
                bench::Ratio(ms, floorMs).c_str());
  }
  std::printf("\n");
  bench::Say("(\"READ TOC\" counts the CD-TEXT reads too; \"TUR\" is TEST UNIT READY.)");
  bench::Say(
      "With nothing playing every question re-examines the drive. This is deliberate: without playback there is "
      "no table at hand that could be trusted to still describe the disc in the drive, so a playlist refresh "
      "costs one examination per question, and with a real drive's latency that time is the drive's.");
  bench::Say(
      "While a track of the disc plays, the whole playlist is answered from the playback reader's table and "
      "CD-TEXT: no command reaches the drive, so the host refreshing its playlist never disturbs playback, and "
      "the time is the plug-in's own work. While D: plays, a playlist on another drive costs one examination: "
      "the first question examines E:, the rest are answered from what the information reader holds.");
  return 0;
}
