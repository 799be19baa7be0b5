#pragma once
// What the CDDB tests share: the fixture server's address and request log
// (tests/cddb_server/with_servers.sh passes its ports in the environment) and
// the disc it knows by the key 0D012C02+2+150+18430+302.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "resources/in_quorvo_cddb_info_res.h"
#include "tests/host/test_host.h"
#include "util/codepage.h"
#include "util/http_client.h"

namespace cddb_fixture {

inline std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Collects a reply body.
class BodyClient : public HttpClient {
 public:
  std::string body;

 protected:
  int OnData(const char* bytes, int length) override {
    body.append(bytes, static_cast<size_t>(length));
    return length;
  }
};

// A control page of the fixture server (/__reset, /__log).
inline std::string ServerGet(const std::string& port, const std::string& path) {
  StartSocketLayer();
  BodyClient client;
  client.SetTimeouts(5000, 5000);
  HttpResponseInfo info;
  const int r = client.Get(("http://127.0.0.1:" + port + path).c_str(), info);
  StopSocketLayer();
  return r == kHttpOk ? client.body : "(request failed)";
}

// The outcome the status window (of another thread) shows once its lookup
// has ended; empty if it does not within timeoutMs. Its close button alone
// tells nothing: the box's own lookup can be cancelled with it.
inline std::string StatusOutcome(HWND status, DWORD timeoutMs) {
  for (const DWORD start = GetTickCount(); IsWindow(status) && GetTickCount() - start < timeoutMs; Sleep(20)) {
    wchar_t text[1024] = {};
    SendDlgItemMessageW(status, IDC_STATUS_MESSAGE, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    const std::string shown = codepage::WideToUtf8(text);
    if (shown != "接続中..." && shown != "サーバに問い合わせています" && !shown.empty()) return shown;
  }
  return std::string();
}

inline int LineCount(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// Tracks at 00:02:00 and 04:05:55, lead-out at 05:02:00 (with the default
// gap before track 2; "03:01:55" gives the disc 1000F002+2+150+13930+242).
// The gap is silence the drive makes up, so the image stays small. Returns
// the cue sheet's path relative to the programs, empty on failure.
inline std::string MakeKnownDisc(const std::string& name, const std::string& pregap = "04:01:55") {
  const std::string dir = TestHost::ProgramDirectory() + "\\discs";
  CreateDirectoryA(dir.c_str(), nullptr);
  FILE* f = std::fopen((dir + "\\" + name + ".bin").c_str(), "wb");
  if (!f) return std::string();
  const std::string frame(2352, '\0');
  for (int i = 0; i < 150 + 4220; ++i) std::fwrite(frame.data(), 1, frame.size(), f);
  std::fclose(f);
  f = std::fopen((dir + "\\" + name + ".cue").c_str(), "wb");
  if (!f) return std::string();
  const std::string cue = "FILE \"" + name + ".bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
                          "  TRACK 02 AUDIO\r\n    PREGAP " + pregap + "\r\n    INDEX 01 00:02:00\r\n";
  std::fputs(cue.c_str(), f);
  std::fclose(f);
  return "discs\\" + name + ".cue";
}

}  // namespace cddb_fixture
