#pragma once
// The cache manager's rows and their ordering, apart from its window. The
// sort state outlives the window: it is kept for the life of the library.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct CacheRow {
  std::uint32_t discId = 0;
  std::string key;  // the query key that names the entry in the cache
  std::string title;
  std::string performer;
};

// "%.8X" of the disc id, as the first column shows it.
std::string DiscIdText(std::uint32_t discId);

class CacheSortState {
 public:
  static constexpr int kColumns = 3;  // disc id, title, performer

  // A click on column `column`: the same column again turns its direction,
  // another column keeps the direction it had. Columns out of range are ignored.
  void Click(int column);
  // <0, 0, >0 as `a` sorts before, with or after `b` in the current order.
  int Compare(const CacheRow& a, const CacheRow& b) const;

  int Column() const { return column_; }
  bool Ascending(int column) const { return ascending_[column]; }

 private:
  std::array<bool, kColumns> ascending_{{true, true, true}};
  int column_ = 0;
};

// Ascending comparison of one column: disc ids as unsigned numbers, texts
// bytewise over the shorter length and then the shorter first.
int CompareCacheRows(const CacheRow& a, const CacheRow& b, int column);

// The process-wide sort state of the cache manager.
CacheSortState& CacheManagerSortState();
