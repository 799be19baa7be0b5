#pragma once
// Fetches a disc's dBAR file from an AccurateRip server over HTTP (through
// the proxy the CDDB settings name) and parses it. One request, bounded by
// the HTTP client's time-outs; Abort ends it from any thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "accuraterip/dbar.h"
#include "accuraterip/disc_ids.h"

namespace accuraterip {

enum FetchResult : int {
  kFetchFound = 0,          // the disc's responses, parsed
  kFetchNotInDatabase = 1,  // 404, or a body without a response
  kFetchMalformed = 2,      // a body cut short, over the size limit, or not for this disc
  kFetchNoAnswer = 3,       // no whole reply within the time-outs (a silent or stalled server)
  kFetchNoConnection = 4,   // the server (or the proxy) cannot be reached: unknown host, refused
  kFetchServerError = 5,    // any other HTTP status, or a reply that breaks HTTP
  kFetchCancelled = 6,      // Abort, or the plug-in quitting
  kFetchDisabled = 7,       // never asked (AccurateRip is off); set by callers, not by Fetch
  kFetchBadServer = 8,      // the server setting is no http:// address
};

struct FetchSettings {
  std::string server;  // "http://host[:port][/path]"; the request path is appended
  bool useProxy = false;
  std::string proxy;  // "host:port", as the CDDB settings hold it
  std::uint32_t connectMs = 30000;
  std::uint32_t receiveMs = 30000;
};

struct FetchOutcome {
  int result = kFetchCancelled;  // a FetchResult
  int httpStatus = 0;            // the reply's status, 0 when none came
  bool viaProxy = false;         // the request went to the proxy
  std::vector<DbarResponse> responses;  // kFetchFound only
};

// The most a dBAR body may hold (far beyond any real disc's pressings).
constexpr std::size_t kMaxDbarBytes = 1u << 20;

class DbarFetch {
 public:
  DbarFetch();
  ~DbarFetch();
  DbarFetch(const DbarFetch&) = delete;
  DbarFetch& operator=(const DbarFetch&) = delete;

  // Blocking; never throws. `ids` from ComputeDiscIds.
  FetchOutcome Fetch(const FetchSettings& settings, const DiscIds& ids);
  // From any thread: the fetch in progress (and every later one on this
  // object: make one DbarFetch per fetch) ends with kFetchCancelled as soon
  // as it can.
  void Abort();

 private:
  class Client;
  std::unique_ptr<Client> client_;
};

// What the rip log says of a fetch that gave no responses to compare with,
// in Japanese, UTF-8, without the "AccurateRip" label; e.g. for
// kFetchNoAnswer 「サーバーから応答がありません」. Empty for kFetchFound.
std::string FetchOutcomeText(const FetchOutcome& outcome);

}  // namespace accuraterip
