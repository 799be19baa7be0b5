#include "accuraterip/dbar_fetch.h"

#include "util/http_client.h"

namespace accuraterip {

class DbarFetch::Client : public HttpClient {};

DbarFetch::DbarFetch() : client_(new Client) {}
DbarFetch::~DbarFetch() = default;

FetchOutcome DbarFetch::Fetch(const FetchSettings&, const DiscIds&) {
  FetchOutcome outcome;
  outcome.result = kFetchNoConnection;
  return outcome;
}

void DbarFetch::Abort() { client_->Abort(); }

std::string FetchOutcomeText(const FetchOutcome&) { return std::string(); }

}  // namespace accuraterip
