// Drive commands and time spent answering the host's title questions for a
// whole 99-track playlist, with nothing playing and while a track of the
// same disc (or of another drive) plays. Drives are virtual, with the
// latency model of a real 8x drive.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cddb/cddb_lookup.h"
#include "device/cd_direct_cdda.h"
#include "tools/vdrive/virtual_system.h"
#include "host_api/in_module.h"
#include "input/plugin_settings.h"
#include "input/title_queries.h"
#include "tools/discgen/disc_generator.h"
#include "tools/vdrive/drive_config.h"
#include "tools/vdrive/virtual_scsi_transport.h"

namespace {

constexpr int kTracks = 99;
const char kLatency[] = "latency 8 seek=60";

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
    std::string error;
    for (auto* drive : {d.get(), e.get()}) {
      drive->Insert(disc);
      vdrive::ApplyBehaviour(*drive, kLatency, &error);
    }
    for (CDirectCDDA* reader : {&playback, &info}) {
      auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
      transport->Attach('D', d);
      transport->Attach('E', e);
      reader->InstallTransport(std::move(transport), kTransportSpti);
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
  std::uint32_t commands;
  std::uint32_t readToc;  // table of contents and CD-TEXT (both READ TOC)
  std::uint32_t testUnitReady;
  double ms;
};

Row RunPlaylist(Rig& rig, const std::string& scenario, char drive, bool extendedToo) {
  rig.ResetCounters();
  const auto start = std::chrono::steady_clock::now();
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
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const std::uint32_t tur = rig.d->CommandCount(0x00) + rig.e->CommandCount(0x00);
  const std::uint32_t toc = rig.d->CommandCount(0x43) + rig.e->CommandCount(0x43);
  return Row{scenario, rig.Commands(), toc, tur, ms};
}

}  // namespace

int main() {
  vdrive::VirtualCdSystem system("DE");
  const std::string dir = (std::filesystem::temp_directory_path() / "quorvo_titles_bench").string();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto disc = MakePlaylistDisc(dir);
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
  for (bool extended : {false, true}) {
    const std::string what = extended ? "GetFileInfo + TITLE/ARTIST/ALBUM" : "GetFileInfo";
    rig.playback.CloseDevice();
    rig.playing.clear();
    rows.push_back(RunPlaylist(rig, what + ", nothing playing", 'D', extended));
    rig.PlayOnD();
    rows.push_back(RunPlaylist(rig, what + ", a track of D: playing", 'D', extended));
    rows.push_back(RunPlaylist(rig, what + ", same disc in E:, D: playing", 'E', extended));
  }

  std::printf("Titles for a %d-track playlist (virtual drive, %s)\n", kTracks, kLatency);
  std::printf("floor: one examination of the disc = %u commands (TEST UNIT READY, table of contents, CD-TEXT)\n\n",
              floor);
  std::printf("| %-62s | %8s | %8s | %8s | %9s | %8s |\n", "scenario", "commands", "READ TOC", "TUR", "x floor",
              "time ms");
  std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(64, '-').c_str(), std::string(10, '-').c_str(),
              std::string(10, '-').c_str(), std::string(10, '-').c_str(), std::string(11, '-').c_str(),
              std::string(10, '-').c_str());
  for (const Row& r : rows) {
    std::printf("| %-62s | %8u | %8u | %8u | %9.1f | %8.1f |\n", r.scenario.c_str(), r.commands, r.readToc,
                r.testUnitReady, floor ? double(r.commands) / floor : 0.0, r.ms);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
