#include "cddb/cddb_cache.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Longest line a reader takes at once; a longer one is read as several.
constexpr std::size_t kLineLimit = 4095;

std::uint32_t HexValue(const std::string& text) {
  std::uint32_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else continue;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// Optional sign and leading digits, wrapping like the C library's unsigned
// conversion; no digits give 0.
std::uint32_t DecimalValue(const std::string& text, std::size_t from) {
  std::size_t i = from;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
  return negative ? 0u - value : value;
}

}  // namespace

int CddbCache::Find(const std::string& key, CddbDiscRecord* record) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(key);
  if (it == entries_.end()) return 0;
  if (record) *record = it->second;
  return 1;
}

void CddbCache::Store(const std::string& key, const CddbDiscRecord& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[key] = record;
}

int CddbCache::Delete(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.erase(key);
  return 1;
}

std::size_t CddbCache::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

void CddbCache::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

void CddbCache::First() {
  std::lock_guard<std::mutex> lock(mutex_);
  cursor_.clear();
  cursorAtStart_ = true;
  cursorAtEnd_ = false;
}

int CddbCache::Next(std::string* key, CddbDiscRecord* record) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cursorAtEnd_) return 0;
  // The cursor is a key, not an iterator, so a deletion between two calls
  // cannot leave it dangling.
  auto it = cursorAtStart_ ? entries_.begin() : entries_.upper_bound(cursor_);
  if (it == entries_.end()) {
    cursorAtEnd_ = true;
    return 0;
  }
  cursorAtStart_ = false;
  cursor_ = it->first;
  if (key) *key = it->first;
  if (record) *record = it->second;
  return 1;
}

void CddbCache::LoadText(const std::string& text) {
  std::map<std::string, CddbDiscRecord> loaded;
  std::string section;
  CddbDiscRecord current;
  auto storeSection = [&] {
    if (!section.empty()) loaded[section] = current;
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    // One read of at most kLineLimit bytes, through the line's "\n".
    std::size_t end = text.find('\n', pos);
    std::size_t next;
    if (end == std::string::npos || end - pos >= kLineLimit) {
      end = std::min(text.size(), pos + kLineLimit);
      next = end;
    } else {
      next = end + 1;
    }
    std::string line = text.substr(pos, end - pos);
    pos = next;
    // Written with CR LF; a file edited elsewhere may have LF alone.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;

    if (line[0] == '[') {
      // Lines before the first header belong to the first section; a
      // section without a DiscID line keeps the id before it.
      if (!section.empty()) {
        storeSection();
        current.trackCount = 0;
        current.tracks.clear();
      }
      if (line.back() == ']' && line.size() >= 2) section = line.substr(1, line.size() - 2);
      continue;
    }
    // Only the first "=" separates: a title may hold "=" itself.
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (name.compare(0, 6, "DiscID") == 0) {
      current.discId = HexValue(value);
    } else if (name.compare(0, 10, "TrackCount") == 0) {
      current.trackCount = DecimalValue(value, 0);
    } else if (name.compare(0, 5, "Title") == 0) {
      current.tracks[DecimalValue(name, 5)].title = value;
    } else if (name.compare(0, 9, "Performer") == 0) {
      current.tracks[DecimalValue(name, 9)].performer = value;
    }
  }
  storeSection();

  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& entry : loaded) entries_[entry.first] = std::move(entry.second);
}

std::string CddbCache::SaveText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  char line[64];
  for (const auto& entry : entries_) {
    const CddbDiscRecord& r = entry.second;
    text += "[" + entry.first + "]\r\n";
    std::snprintf(line, sizeof line, "DiscID=%.8X\r\nTrackCount=%u\r\n", static_cast<unsigned>(r.discId),
                  static_cast<unsigned>(r.trackCount));
    text += line;
    for (const auto& track : r.tracks) {
      std::snprintf(line, sizeof line, "Title%u=", static_cast<unsigned>(track.first));
      text += line + track.second.title + "\r\n";
      std::snprintf(line, sizeof line, "Performer%u=", static_cast<unsigned>(track.first));
      text += line + track.second.performer + "\r\n";
    }
  }
  return text;
}

int CddbCache::Load(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return 0;
  std::string text;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  LoadText(text);
  return 1;
}

int CddbCache::Save(const std::string& path) const {
  const std::string text = SaveText();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return 1;
}
