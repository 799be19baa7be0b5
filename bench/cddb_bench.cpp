// CDDB: a lookup against the local fixture server beside the floor of three
// bare round trips, the same disc from the cache, and reading and writing a
// 10,000-disc cache file (12 tracks each). The server part runs when
// QUORVO_CDDB_PORT names the fixture server's port.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cddb/cddb_client.h"
#include "cddb/disc_id.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class QuietClient : public CddbClient {
 public:
  int Get(const std::string& url) {
    body_.clear();
    HttpResponseInfo info;
    return HttpClient::Get(url.c_str(), info);
  }
};

// Tracks at 00:02:00 and 04:05:55, lead-out 05:02:00 (the server's rock record).
DiscToc RecordToc() {
  DiscToc toc;
  toc.discType = kDiscAudioOnly;
  toc.msfOffset = 150;
  toc.lastTrack = 2;
  auto entry = [](std::uint32_t lba) {
    TrackEntry e;
    e.start = lba;
    const std::uint32_t a = lba + 150;
    e.minute = static_cast<std::uint8_t>(a / 4500);
    e.second = static_cast<std::uint8_t>(a / 75 % 60);
    e.frame = static_cast<std::uint8_t>(a % 75);
    return e;
  };
  toc.tracks[1] = entry(0);
  toc.tracks[2] = entry(18280);
  toc.tracks[kLeadOutKey] = entry(22500);
  return toc;
}

void ServerTable(const std::string& port) {
  const int rounds = 50;
  const std::string url = "http://127.0.0.1:" + port + "/~cddb/cddb.cgi";
  QuietClient client;
  client.SetServerUrl(url.c_str());
  client.SetClientInfo("in_quorvo.dll", "Ver.0.26");
  double lookup = 0, floor = 0, cached = 0;
  for (int i = 0; i < rounds; ++i) {
    client.Cache().Clear();
    auto t = Clock::now();
    if (client.Lookup(RecordToc()) != 0) {
      std::printf("lookup against 127.0.0.1:%s failed\n", port.c_str());
      return;
    }
    lookup += MsSince(t);
    t = Clock::now();
    for (int k = 0; k < 3; ++k) client.Get(client.CommandUrl("motd"));
    floor += MsSince(t);
    t = Clock::now();
    for (int k = 0; k < 1000; ++k) client.Lookup(RecordToc());
    cached += MsSince(t) / 1000;
  }
  std::printf("\nFirst lookup against the local fixture server (mean of %d):\n\n", rounds);
  std::printf("| step | ms |\n|---|---|\n");
  std::printf("| motd + query + read + store | %.3f |\n", lookup / rounds);
  std::printf("| floor: three bare round trips (motd) | %.3f |\n", floor / rounds);
  std::printf("| the same disc from the cache | %.4f |\n", cached / rounds);
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
  const std::string path = "/tmp/quorvo_cddb_bench.dat";
  const int rounds = 5;
  double save = 0, load = 0;
  for (int i = 0; i < rounds; ++i) {
    auto t = Clock::now();
    cache.Save(path);
    save += MsSince(t);
    CddbCache loaded;
    t = Clock::now();
    loaded.Load(path);
    load += MsSince(t);
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::fseek(f, 0, SEEK_END);
  const double mb = static_cast<double>(std::ftell(f)) / 1e6;
  std::fclose(f);
  std::remove(path.c_str());
  std::printf("\nCache file of 10,000 discs, 12 tracks each (%.1f MB, mean of %d):\n\n", mb, rounds);
  std::printf("| operation | ms | MB/s |\n|---|---|---|\n");
  std::printf("| SaveCache | %.1f | %.0f |\n", save / rounds, mb / (save / rounds / 1000));
  std::printf("| LoadCache | %.1f | %.0f |\n", load / rounds, mb / (load / rounds / 1000));
}

}  // namespace

int main() {
  const char* port = std::getenv("QUORVO_CDDB_PORT");
  if (port && *port) ServerTable(port);
  else std::printf("QUORVO_CDDB_PORT not set: no server table\n");
  CacheTable();
  return 0;
}
