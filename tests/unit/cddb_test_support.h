#pragma once
// Shared pieces of the CDDB tests: tables of contents built from track start
// addresses, and a client that answers from canned replies instead of a server.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cddb/cddb_ui_client.h"
#include "device/disc_toc.h"

namespace cddbtest {

// Tracks starting at the given LBAs, MSF times as a drive reports them.
inline DiscToc MakeToc(const std::vector<std::uint32_t>& starts, std::uint32_t leadOut,
                       int discType = kDiscAudioOnly) {
  DiscToc toc;
  toc.discType = discType;
  toc.msfOffset = 150;
  toc.lastTrack = static_cast<int>(starts.size());
  auto entry = [](std::uint32_t lba) {
    TrackEntry e;
    e.start = lba;
    const std::uint32_t a = lba + 150;
    e.minute = static_cast<std::uint8_t>(a / 4500);
    e.second = static_cast<std::uint8_t>((a / 75) % 60);
    e.frame = static_cast<std::uint8_t>(a % 75);
    return e;
  };
  for (std::size_t i = 0; i < starts.size(); ++i) toc.tracks[static_cast<int>(i) + 1] = entry(starts[i]);
  toc.tracks[kLeadOutKey] = entry(leadOut);
  return toc;
}

// The worked example: tracks at 00:02:00 and 04:05:55, lead-out at 05:02:00.
inline DiscToc ExampleToc() { return MakeToc({0, 18430 - 150}, 302 * 75 - 150); }
constexpr char kExampleKey[] = "0D012C02+2+150+18430+302";

// Answers each command ("motd", "cddb+query+...", "cddb+read+...") from a
// table keyed by the command's first word after "cddb+" (or "motd"); records
// every URL. A missing entry fails like an unreachable server.
template <class Base>
class Canned : public Base {
 public:
  std::map<std::string, std::string> replies;  // "motd", "query", "read"
  std::map<std::string, int> failures;         // the same keys, an HttpResult
  std::vector<std::string> urls;
  std::vector<int> choices;  // answers of ChooseCandidate, in turn (default 1)
  std::vector<std::vector<CddbCandidate>> offered;
  std::function<void()> onFetch;  // runs before each reply (a gate for thread tests)

 protected:
  int Fetch(const std::string& url) override {
    this->httpStatus_ = 200;
    if (onFetch) onFetch();
    urls.push_back(url);
    const std::size_t cmd = url.find("?cmd=");
    std::string word = url.substr(cmd + 5);
    if (word.compare(0, 5, "cddb+") == 0) word = word.substr(5);
    word = word.substr(0, word.find_first_of("+&"));
    auto f = failures.find(word);
    if (f != failures.end()) return f->second;
    auto it = replies.find(word);
    if (it == replies.end()) return kHttpConnectFailed;
    // Through the data hook in small chunks, as the HTTP client delivers.
    for (std::size_t at = 0; at < it->second.size(); at += 7) {
      const std::string chunk = it->second.substr(at, 7);
      this->OnData(chunk.data(), static_cast<int>(chunk.size()));
    }
    return kHttpOk;
  }
  int ChooseCandidate(const std::vector<CddbCandidate>& candidates) override {
    offered.push_back(candidates);
    if (choices.empty()) return Base::ChooseCandidate(candidates);
    const int c = choices.front();
    choices.erase(choices.begin());
    return c;
  }
};

using CannedClient = Canned<CddbClient>;
using CannedUiClient = Canned<CddbUiClient>;

}  // namespace cddbtest
