#pragma once
// The process-wide CDDB client and its place in the plug-in's start-up and
// shutdown.
#include <string>

class CddbUiClient;

CddbUiClient& PluginCddbClient();

namespace plugin {

// cddb_cache.dat beside the plug-in library.
std::string CddbCachePath();
// Background initialisation: the client configured from the settings,
// installed for title resolution, the cache loaded.
void StartCddb();
// Quit: the background lookup ended (bounded wait), the cache saved.
void StopCddb();

}  // namespace plugin

#include <cstdint>
struct DiscToc;
// The lookup driver on the plug-in's client (see CddbUiClient).
int RunLookupWithStatus(const DiscToc& toc, int show, std::uint32_t waitMs);
