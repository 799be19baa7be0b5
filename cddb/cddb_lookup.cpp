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
