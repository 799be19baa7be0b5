#pragma once
// The CDDB fixture server and a tinyproxy in front of nothing, for tests that
// need real network peers on 127.0.0.1. Natively they are started on first use
// and stopped when the test program exits; under Windows they come from
// tests/cddb_server/with_servers.sh through QUORVO_CDDB_PORT and
// QUORVO_PROXY_PORT. A port of 0 means "not available": skip the test.
#include <string>

namespace test_servers {

int CddbPort();
int ProxyPort();
// The fixture's folder of AccurateRip files ("" when none), and a port that
// never completes a connect (0 when none).
std::string AccurateRipDir();
int BlackholePort();

// "http://127.0.0.1:<port>" + path (path begins with "/").
std::string CddbUrl(const std::string& path);

}  // namespace test_servers
