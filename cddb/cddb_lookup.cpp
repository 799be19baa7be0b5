#include "cddb/cddb_lookup.h"

#include <atomic>

namespace {

NoCddbLookup g_none;
std::atomic<CddbLookup*> g_installed{nullptr};

}  // namespace

CddbLookup& TitleCddb() {
  CddbLookup* lookup = g_installed.load(std::memory_order_acquire);
  return lookup ? *lookup : g_none;
}

void InstallTitleCddb(CddbLookup* lookup) { g_installed.store(lookup, std::memory_order_release); }

int CddbTrackText(const CddbDiscRecord& record, int number, TitleInfo* out) {
  if (number < 0) return 0;
  const auto it = record.tracks.find(static_cast<std::uint32_t>(number));
  if (it == record.tracks.end()) return 0;
  if (out) *out = it->second;
  return 1;
}
