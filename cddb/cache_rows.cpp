#include "cddb/cache_rows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

std::string DiscIdText(std::uint32_t discId) {
  char text[16];
  std::snprintf(text, sizeof text, "%.8X", static_cast<unsigned>(discId));
  return text;
}

namespace {

int CompareBytes(const std::string& a, const std::string& b) {
  const int r = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (r) return r;
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace

int CompareCacheRows(const CacheRow& a, const CacheRow& b, int column) {
  switch (column) {
    case 0:
      return a.discId < b.discId ? -1 : (a.discId > b.discId ? 1 : 0);
    case 1:
      return CompareBytes(a.title, b.title);
    case 2:
      return CompareBytes(a.performer, b.performer);
    default:
      return 0;
  }
}

void CacheSortState::Click(int column) {
  if (column < 0 || column >= kColumns) return;
  if (column == column_) {
    ascending_[column] = !ascending_[column];
  } else {
    column_ = column;
  }
}

int CacheSortState::Compare(const CacheRow& a, const CacheRow& b) const {
  const int r = CompareCacheRows(a, b, column_);
  return ascending_[column_] ? r : -r;
}

CacheSortState& CacheManagerSortState() {
  static CacheSortState state;
  return state;
}
