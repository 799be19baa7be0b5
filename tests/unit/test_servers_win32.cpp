#include <cstdlib>

#include "tests/unit/test_servers.h"

namespace test_servers {

namespace {
int PortFromEnvironment(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::atoi(text) : 0;
}
}  // namespace

int CddbPort() { return PortFromEnvironment("QUORVO_CDDB_PORT"); }
int ProxyPort() { return PortFromEnvironment("QUORVO_PROXY_PORT"); }
int BlackholePort() { return PortFromEnvironment("QUORVO_BLACKHOLE_PORT"); }
std::string AccurateRipDir() {
  const char* dir = std::getenv("QUORVO_AR_DIR");
  return dir != nullptr ? dir : "";
}
std::string CddbUrl(const std::string& path) { return "http://127.0.0.1:" + std::to_string(CddbPort()) + path; }

}  // namespace test_servers
