#pragma once
// Where the settings sheet reaches outside itself, provided by the plug-in:
// its CDDB client, which takes the server, proxy and status-window settings,
// the cache manager behind the CDDB page's button, the transport the drives
// are reached through, and the module that holds the sheet's resources.
#include <string>

#include "host_api/win_types.h"
#include "ui/settings_pages.h"

namespace settings_links {

settings_pages::CddbClientSettings& CddbClient();
void OpenCacheManager(HWND owner);
int TransportKind();
// The module whose templates and strings the sheet uses.
HINSTANCE Instance();

// The ripping page's 「オフセットを検出」: finds the drive's read offset
// from the disc in a drive and the AccurateRip server `server` (as the page
// shows it), off the caller's thread, then posts `message` to `page`. An
// offset found is stored in the settings at once. false when a detection is
// running already.
struct OffsetDetectionAnswer {
  bool found = false;
  int offset = 0;    // found: the read offset, in samples
  std::string text;  // what to show, Japanese, UTF-8
};
bool StartOffsetDetection(HWND page, unsigned message, const std::string& server);
// The answer of the latest detection that has ended.
OffsetDetectionAnswer LastOffsetDetection();

}  // namespace settings_links
