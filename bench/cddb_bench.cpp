// CDDB: the host's first title question for a disc only the server knows, to
// the moment the CDDB title is there (the background lookup's motd, query
// and read), beside the floor of three bare round trips and the same question
// answered from the cache; then reading and writing a 10,000-disc cache file
// (12 tracks each). The server part runs when QUORVO_CDDB_PORT names the
// fixture server's port (scripts/bench.sh starts it).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cddb/cddb_ui_client.h"
#include "device/cd_direct_cdda.h"
#include "host_api/in_module.h"
#include "input/plugin_settings.h"
#include "input/title_queries.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "tools/vdrive/virtual_system.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

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
    settings.titlePriority = {"CDDB", "default", "CD-TEXT(JP)", "CD-TEXT(EN)"};
    d->Insert(disc);
    for (CDirectCDDA* reader : {&playback, &info}) {
      auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
      transport->Attach('D', d);
      reader->InstallTransport(std::move(transport), kTransportSpti);
      reader->EnumerateDrives();
    }
  }
  // A client that has tried nothing yet, as after the plug-in's start.
  void FreshClient(const std::string& url, const char* email) {
    client = std::make_unique<QuietClient>();
    client->SetServerUrl(url.c_str());
    client->SetClientInfo("in_quorvo.dll", "Ver.0.26");
    client->SetEmail(email);
  }
  std::string Title() {
    char title[GETFILEINFO_TITLE_LENGTH];
    titles::GetFileInfo(resolver, "cda://D,2", title, nullptr);
    return title;
  }
};

// Medians over the rounds: the machine is shared, and a mean takes every
// stall of another process along.
struct ServerRow {
  std::vector<double> firstToTitle, floor, cached;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
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
      std::printf("no CDDB title from %s within 10 s (%s)\n", url.c_str(), title.c_str());
      rig.client->StopBackgroundLookup(30000);
      return false;
    }
    row->firstToTitle.push_back(MsSince(t));
    rig.client->StopBackgroundLookup(30000);
    t = Clock::now();
    for (int k = 0; k < 3; ++k) rig.client->Get(rig.client->CommandUrl("motd"));
    row->floor.push_back(MsSince(t));
    t = Clock::now();
    for (int k = 0; k < 1000; ++k) rig.Title();
    row->cached.push_back(MsSince(t) / 1000);
  }
  return true;
}

void ServerTable(const std::string& port) {
  vdrive::VirtualCdSystem system("D");
  const std::string dir = (std::filesystem::temp_directory_path() / "quorvo_cddb_bench").string();
  const auto disc = RockDisc(dir);
  if (!disc) return;
  Rig rig(disc);
  const int rounds = 50;
  const std::string base = "http://127.0.0.1:" + port;
  ServerRow plain, service;
  if (!MeasureServer(rig, base + "/~cddb/cddb.cgi", "", rounds, &plain)) return;
  if (!MeasureServer(rig, base + "/gnudb/~cddb/cddb.cgi", "taro@example.jp", rounds, &service)) return;
  std::filesystem::remove_all(dir);

  std::printf("\nCDDB title of a disc the cache does not hold, against the local fixture server (median of %d):\n\n",
              rounds);
  std::printf("| server | first GetFileInfo to CDDB title ms | floor: three bare round trips ms | x floor |"
              " GetFileInfo from the cache ms |\n|---|---|---|---|---|\n");
  auto print = [](const char* name, const ServerRow& r) {
    const double first = Median(r.firstToTitle), floor = Median(r.floor);
    std::printf("| %s | %.3f | %.3f | %.2f | %.4f |\n", name, first, floor, floor > 0 ? first / floor : 0.0,
                Median(r.cached));
  };
  print("CR LF, closes after each reply", plain);
  print("service rules: LF only, keep-alive", service);
}

void CacheTable() {
  CddbCache cache;
  for (unsigned disc = 0; disc < 10000; ++disc) {
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
  const std::string path = (std::filesystem::temp_directory_path() / "quorvo_cddb_bench.dat").string();
  std::remove(path.c_str());
  const int rounds = 5;
  double save = 0, load = 0;
  for (int i = 0; i < rounds; ++i) {
    // From the first round on the file exists, so each save reads and merges it.
    auto t = Clock::now();
    cache.Save(path);
    save += MsSince(t);
    CddbCache loaded;
    t = Clock::now();
    loaded.Load(path);
    load += MsSince(t);
  }
  const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
  std::printf("\nCache file of 10,000 discs, 12 tracks each (%.1f MB, mean of %d):\n\n", mb, rounds);
  std::printf("| operation | ms | MB/s |\n|---|---|---|\n");
  std::printf("| SaveCache (read and merge the file, write beside it, sync, replace) | %.1f | %.0f |\n", save / rounds,
              mb / (save / rounds / 1000));
  std::printf("| LoadCache | %.1f | %.0f |\n", load / rounds, mb / (load / rounds / 1000));
}

}  // namespace

int main() {
  const char* port = std::getenv("QUORVO_CDDB_PORT");
  if (port && *port) ServerTable(port);
  else std::printf("QUORVO_CDDB_PORT not set: no server table (scripts/bench.sh starts the fixture server)\n");
  CacheTable();
  return 0;
}
