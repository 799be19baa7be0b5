// CDDB: the host's first title question for a disc only the server knows, to
// the moment the CDDB title is there (the background lookup's motd, query
// and read), beside the floor of three bare round trips, and the same
// question answered from the cache beside the drive's examination alone;
// then saving and loading a 10,000-disc cache file beside plain writes and
// reads of the same bytes. Prints its section of docs/BENCHMARKS.md. Needs
// the fixture server's port in QUORVO_CDDB_PORT (scripts/bench.sh runs it
// under tests/cddb_server/with_servers.sh).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_report.h"
#include "cddb/cddb_ui_client.h"
#include "device/cd_direct_cdda.h"
#include "host_api/in_module.h"
#include "input/plugin_settings.h"
#include "input/title_queries.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "tools/vdrive/virtual_system.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::MsSince;

class QuietClient : public CddbUiClient {
 public:
  int Get(const std::string& url) {
    body_.clear();
    HttpResponseInfo info;
    return HttpClient::Get(url.c_str(), info);
  }
};

// The fixture server's rock record 0D012C02+2+150+18430+302 in drive D: two
// tracks at 00:02:00 and 04:05:55, lead-out 05:02:00; the long gap before
// track 2 is silence the drive makes up, so the image stays small.
std::shared_ptr<vdrive::Disc> RockDisc(const std::string& dir) {
  std::filesystem::create_directories(dir);
  {
    std::ofstream bin(dir + "/rock.bin", std::ios::binary);
    const std::string frame(2352, '\0');
    for (int i = 0; i < 150 + 4220; ++i) bin << frame;
  }
  std::ofstream(dir + "/rock.cue", std::ios::binary)
      << "FILE \"rock.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
         "  TRACK 02 AUDIO\r\n    PREGAP 04:01:55\r\n    INDEX 01 00:02:00\r\n";
  auto disc = std::make_shared<vdrive::Disc>();
  std::string error;
  if (disc->LoadCue(dir + "/rock.cue", &error) != 0) {
    std::fprintf(stderr, "cue: %s\n", error.c_str());
    return nullptr;
  }
  return disc;
}

struct Rig {
  std::shared_ptr<vdrive::VirtualDrive> d = std::make_shared<vdrive::VirtualDrive>();
  CDirectCDDA playback, info;
  PluginSettings settings;
  std::unique_ptr<QuietClient> client;
  TitleResolver resolver{TitleResolverParts{&playback, &info, nullptr, &settings,
                                            [this]() -> CddbLookup& { return *client; },
                                            [] { return std::string(); }, [] { return std::string(); }}};

  explicit Rig(const std::shared_ptr<vdrive::Disc>& disc) {
    CddbFirst();
    d->Insert(disc);
    for (CDirectCDDA* reader : {&playback, &info}) {
      auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
      transport->Attach('D', d);
      reader->InstallTransport(std::move(transport), kTransportSpti);
      reader->EnumerateDrives();
    }
  }
  void CddbFirst() { settings.titlePriority = {"CDDB", "default", "CD-TEXT(JP)", "CD-TEXT(EN)"}; }
  void DefaultFirst() { settings.titlePriority = {"default", "CDDB", "CD-TEXT(JP)", "CD-TEXT(EN)"}; }
  // A client that has tried nothing yet, as after the plug-in's start.
  static std::unique_ptr<QuietClient> NewClient(const std::string& url, const char* email) {
    auto c = std::make_unique<QuietClient>();
    c->SetServerUrl(url.c_str());
    c->SetClientInfo("in_quorvo.dll", "Ver.0.26");
    c->SetEmail(email);
    return c;
  }
  void FreshClient(const std::string& url, const char* email) { client = NewClient(url, email); }
  std::string Title() {
    char title[GETFILEINFO_TITLE_LENGTH];
    titles::GetFileInfo(resolver, "cda://D,2", title, nullptr);
    return title;
  }
};

struct ServerRow {
  std::vector<double> firstToTitle, floor, cached, uncached;
};

// Mean time of one title question over many, ms.
double QuestionMs(Rig& rig) {
  const auto t = Clock::now();
  for (int k = 0; k < 1000; ++k) rig.Title();
  return MsSince(t) / 1000;
}

bool MeasureServer(Rig& rig, const std::string& url, const char* email, int rounds, ServerRow* row) {
  const std::string found = "E=mc2 (Live) - Artist";
  for (int i = 0; i < rounds; ++i) {
    rig.FreshClient(url, email);
    auto t = Clock::now();
    std::string title = rig.Title();  // starts the background lookup
    while (title != found && MsSince(t) < 10000) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
      title = rig.Title();
    }
    if (title != found) {
      std::fprintf(stderr, "no CDDB title from %s within 10 s (%s)\n", url.c_str(), title.c_str());
      rig.client->Close(30000);
      return false;
    }
    row->firstToTitle.push_back(MsSince(t));
    rig.client->Close(30000);
    // The floor from a client of its own: a closed one sends nothing.
    const auto bare = Rig::NewClient(url, email);
    t = Clock::now();
    for (int k = 0; k < 3; ++k) bare->Get(bare->CommandUrl("motd"));
    row->floor.push_back(MsSince(t));
    if (rig.Title() != found) {
      std::fprintf(stderr, "the CDDB title did not come from the cache\n");
      return false;
    }
    row->cached.push_back(QuestionMs(rig));
    rig.DefaultFirst();
    row->uncached.push_back(QuestionMs(rig));
    rig.CddbFirst();
  }
  return true;
}

bool ServerTable(const std::string& port) {
  vdrive::VirtualCdSystem system("D");
  bench::ScratchDir dir("quorvo_cddb_bench");
  const auto disc = RockDisc(dir.path().string());
  if (!disc) return false;
  Rig rig(disc);
  const int rounds = 50;
  const std::string base = "http://127.0.0.1:" + port;
  ServerRow plain, service;
  if (!MeasureServer(rig, base + "/~cddb/cddb.cgi", "", rounds, &plain) ||
      !MeasureServer(rig, base + "/gnudb/~cddb/cddb.cgi", "taro@example.jp", rounds, &service))
    return false;

  std::printf("### Lookup against the local fixture server\n\n");
  std::printf(
      "From the first GetFileInfo of a disc the cache does not hold (CDDB first in the order of title sources, "
      "the disc in the in-process virtual drive) to the moment GetFileInfo returns the CDDB title: the title "
      "query, the background lookup thread, motd + query + read and the store in the cache. Floor: three bare "
      "round trips (motd) from the same HTTP client to the same server. Then the same question once the disc is "
      "cached, beside the same question with the default title first, which examines the drive just as well: "
      "the floor of any title. Median of %d rounds.\n\n",
      rounds);
  std::printf("| server | first GetFileInfo to CDDB title ms | floor: three bare round trips ms | x floor |"
              " GetFileInfo from the cache ms | floor: default title first ms | x floor |\n"
              "|---|---|---|---|---|---|---|\n");
  auto print = [](const char* name, const ServerRow& r) {
    const double first = Median(r.firstToTitle), floor = Median(r.floor);
    const double cached = Median(r.cached), uncached = Median(r.uncached);
    std::printf("| %s | %.3f | %.3f | %s | %.4f | %.4f | %s |\n", name, first, floor, bench::Ratio(first, floor).c_str(),
                cached, uncached, bench::Ratio(cached, uncached).c_str());
  };
  print("CR LF, closes after each reply", plain);
  print("service rules (`/gnudb/`): LF only, HTTP/1.1 keep-alive", service);
  std::printf("\n");
  bench::Say(
      u8"Beyond the round trips, the first GetFileInfo itself examines the drive and starts the lookup thread, and "
      "the benchmark asks again every 0.1 ms until the title is there. Against the service's rules a server "
      "keeps the connection open after a complete body; the body ends at its Content-Length, so the lookup "
      u8"does not wait for the server to close (which used to end in \"CDDBサーバに接続できません\" after the "
      u8"30 s receive time-out).");
  return true;
}

// The floor of the cache table: the same bytes written to a new file of
// the same folder and forced to the disk, or read back, without the cache.
double PlainWriteMs(const std::string& path, const std::string& bytes) {
  const auto t = Clock::now();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 0;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::fsync(fd);
  ::close(fd);
  return MsSince(t);
}

double PlainReadMs(const std::string& path, std::string* bytes) {
  const auto t = Clock::now();
  bytes->clear();
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  char chunk[65536];
  for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) bytes->append(chunk, static_cast<std::size_t>(n));
  ::close(fd);
  return MsSince(t);
}

void CacheTable() {
  const int discs = 10000, rounds = 5;
  CddbCache cache;
  for (unsigned disc = 0; disc < discs; ++disc) {
    CddbDiscRecord r;
    r.discId = 0x0A000000u + disc * 977u;
    r.trackCount = 12;
    for (unsigned t = 0; t <= 12; ++t)
      r.tracks[t] = {"Title of track " + std::to_string(t) + " on disc " + std::to_string(disc),
                     "Performer " + std::to_string(disc % 300), "", "", ""};
    char key[160];
    std::snprintf(key, sizeof key, "%.8X+12+150+15000+30000+45000+60000+75000+90000+105000+120000+135000+150000+165000+%u",
                  static_cast<unsigned>(r.discId), 2400 + disc % 600);
    cache.Store(key, r);
  }
  bench::ScratchDir dir("quorvo_cddb_cache_bench");
  const std::string path = dir / "cddb_cache.dat", plain = dir / "plain.dat";
  std::vector<double> firstSave, save, load, write, read;
  std::string bytes;
  for (int i = 0; i < rounds; ++i) {
    std::remove(path.c_str());
    auto t = Clock::now();
    cache.Save(path);  // nothing on disk: writes what it holds
    firstSave.push_back(MsSince(t));
    t = Clock::now();
    cache.Save(path);  // reads and merges what the file holds, then writes
    save.push_back(MsSince(t));
    CddbCache loaded;
    t = Clock::now();
    loaded.Load(path);
    load.push_back(MsSince(t));
    read.push_back(PlainReadMs(path, &bytes));
    std::remove(plain.c_str());
    write.push_back(PlainWriteMs(plain, bytes));
  }
  const double mb = static_cast<double>(bytes.size()) / 1e6;
  const double w = Median(write), r = Median(read);
  std::printf("### Cache file\n\n");
  std::printf(
      "Saving and loading a cache of %d discs with 12 tracks each (%.1f MB) in a folder under `build/`, median of "
      "%d. Floors: the same bytes written by `write` to a new file of the same folder and forced to the disk by "
      "`fsync`; read back by `read` (from the page cache, as the load reads them); a save over an existing file "
      "reads it first, so its floor is a read and a write.\n\n",
      discs, mb, rounds);
  std::printf("| operation | ms | MB/s | floor ms | x floor |\n|---|---|---|---|---|\n");
  auto row = [mb](const char* what, double ms, double floor) {
    std::printf("| %s | %.1f | %.0f | %.1f | %s |\n", what, ms, ms > 0 ? mb / (ms / 1000) : 0.0, floor,
                bench::Ratio(ms, floor).c_str());
  };
  row("SaveCache, no file yet (write `cddb_cache.dat.tmp`, flush to the disk, replace)", Median(firstSave), w);
  row("SaveCache over the file (read and merge it, then as above)", Median(save), r + w);
  row("LoadCache", Median(load), r);
  std::printf("\n");
  bench::Say(
      "Beyond the plain write, a save copies and formats every record, takes the file's lock, and replaces the "
      "file in one step; over an existing file it also reads and parses what the file holds to merge this run's "
      "changes into it. The load parses every record. A profile of both shows memory: allocating and freeing "
      "the records' texts, not the disk, is most of the time above the floor.");
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("## CDDB (`bench/cddb_bench.cpp`)\n\n");
  bench::Say(
      "`make bench` runs it with the CDDB fixture server started around it "
      "(`tests/cddb_server/with_servers.sh`), on this machine's loopback.");
  const char* port = std::getenv("QUORVO_CDDB_PORT");
  if (!port || !*port) {
    std::fprintf(stderr, "QUORVO_CDDB_PORT is not set: run it under tests/cddb_server/with_servers.sh\n");
    return 1;
  }
  if (!ServerTable(port)) return 1;
  CacheTable();
  return 0;
}
