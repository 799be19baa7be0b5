#include "cddb/cddb_cache.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

#include "util/codepage.h"

namespace {

using Entries = std::map<std::string, CddbDiscRecord>;

// Longest line a reader takes at once; a longer one is read as several.
// Older versions read with the same limit.
constexpr std::size_t kLineLimit = 4095;
// Texts are UTF-8 in memory. The file keeps them as older versions wrote
// and read them, "Title<n>=" and "Performer<n>=" in the system's ANSI code
// page. A text that code page cannot hold exactly gets one more line with
// its UTF-8 bytes under a name that begins with none of the older readers'
// prefixes (DiscID, TrackCount, Title, Performer), so that they pass it
// over; they drop it when they save. It is written only when needed, so a
// file whose texts all fit is the file older versions wrote, byte for byte.
constexpr char kUtf8Title[] = "Utf8Title";
constexpr char kUtf8Performer[] = "Utf8Performer";
// Far beyond any collection (a disc of 12 tracks takes about 1 KB): a larger
// file is no cache of ours and is neither loaded nor replaced.
constexpr std::size_t kMaxFileBytes = 64u << 20;
// What a file, however made, can make the reader hold. A disc has at most
// 99 tracks plus the disc's own entry, and a collection of tens of
// thousands of discs is far beyond any user's; within these the parsed
// cache stays within a few hundred MB even for a file built to inflate.
// Sections beyond kMaxDiscs and numbers beyond kMaxEntriesPerDisc in a
// section are ignored, and so is every number once kMaxEntries have been
// read.
constexpr std::size_t kMaxDiscs = 50000;
constexpr std::size_t kMaxEntriesPerDisc = 100;
constexpr std::size_t kMaxEntries = 1000000;
// How long a save keeps trying to put its file in place while another
// program has the old one open (a player starting and reading it, a
// backup or indexing tool), and in which steps.
constexpr std::uint32_t kReplaceRetryMs = 3000;
constexpr std::uint32_t kReplaceStepMs = 50;
// Another process's save of a large cache takes a few hundred ms, plus its
// own wait for a held file.
constexpr std::uint32_t kLockWaitMs = kReplaceRetryMs + 2000;

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

// The exact texts a section's UTF-8 lines give for one number.
struct ExactTexts {
  std::string title, performer;
  bool hasTitle = false, hasPerformer = false;
};

// A text as the file holds it: its UTF-8 line counts only while the ANSI
// line beside it is still that text's conversion. When the ANSI line was
// written or edited without it (a hand edit, another program), the ANSI
// text wins.
std::string FileText(const std::string& ansi, const std::string* utf8) {
  if (utf8 && codepage::IsValidUtf8(*utf8) && codepage::Utf8ToAnsi(*utf8) == ansi) return *utf8;
  return codepage::AnsiToUtf8(ansi);
}

Entries ParseCacheText(const std::string& text) {
  Entries loaded;
  std::string section;
  CddbDiscRecord current;  // texts still as the ANSI lines hold them
  std::map<std::uint32_t, ExactTexts> exact;
  std::size_t entries = 0;
  auto storeSection = [&] {
    if (section.empty() || (loaded.size() >= kMaxDiscs && loaded.count(section) == 0)) return;
    CddbDiscRecord& stored = loaded[section] = current;
    for (auto& track : stored.tracks) {
      const auto it = exact.find(track.first);
      const ExactTexts* e = it == exact.end() ? nullptr : &it->second;
      track.second.title = FileText(track.second.title, e && e->hasTitle ? &e->title : nullptr);
      track.second.performer = FileText(track.second.performer, e && e->hasPerformer ? &e->performer : nullptr);
    }
  };
  // The exact texts of `number`, only for a number an ANSI line created.
  auto exactOf = [&](std::uint32_t number) -> ExactTexts* {
    return current.tracks.count(number) ? &exact[number] : nullptr;
  };
  // The text of `number`, created only within the limits; null otherwise.
  auto entry = [&](std::uint32_t number) -> TitleInfo* {
    auto it = current.tracks.find(number);
    if (it != current.tracks.end()) return &it->second;
    if (current.tracks.size() >= kMaxEntriesPerDisc || entries >= kMaxEntries) return nullptr;
    ++entries;
    return &current.tracks[number];
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
        exact.clear();
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
      if (TitleInfo* info = entry(DecimalValue(name, 5))) info->title = value;
    } else if (name.compare(0, 9, "Performer") == 0) {
      if (TitleInfo* info = entry(DecimalValue(name, 9))) info->performer = value;
    } else if (name.compare(0, sizeof kUtf8Title - 1, kUtf8Title) == 0) {
      if (ExactTexts* e = exactOf(DecimalValue(name, sizeof kUtf8Title - 1))) {
        e->title = value;
        e->hasTitle = true;
      }
    } else if (name.compare(0, sizeof kUtf8Performer - 1, kUtf8Performer) == 0) {
      if (ExactTexts* e = exactOf(DecimalValue(name, sizeof kUtf8Performer - 1))) {
        e->performer = value;
        e->hasPerformer = true;
      }
    }
  }
  storeSection();
  return loaded;
}

// "<name><number>=<ANSI text>", then the UTF-8 line when the ANSI text
// loses something and the line stays within what a reader takes at once
// (a longer one would come back in pieces; the ANSI text then stands).
void AppendText(const char* name, const char* utf8Name, std::uint32_t number, const std::string& text,
                std::string* out) {
  char head[40];
  std::snprintf(head, sizeof head, "%s%u=", name, static_cast<unsigned>(number));
  const std::string ansi = codepage::Utf8ToAnsi(text);
  *out += head + ansi + "\r\n";
  if (codepage::AnsiToUtf8(ansi) == text) return;
  std::snprintf(head, sizeof head, "%s%u=", utf8Name, static_cast<unsigned>(number));
  if (std::strlen(head) + text.size() + 2 > kLineLimit) return;
  *out += head + text + "\r\n";
}

// One entry as the file holds it.
void AppendEntry(const std::string& key, const CddbDiscRecord& r, std::string* text) {
  char line[64];
  *text += "[" + key + "]\r\n";
  std::snprintf(line, sizeof line, "DiscID=%.8X\r\nTrackCount=%u\r\n", static_cast<unsigned>(r.discId),
                static_cast<unsigned>(r.trackCount));
  *text += line;
  for (const auto& track : r.tracks) {
    AppendText("Title", kUtf8Title, track.first, track.second.title, text);
    AppendText("Performer", kUtf8Performer, track.first, track.second.performer, text);
  }
}

bool HasText(const std::string& text) { return text.find_first_not_of(" \t\r\n") != std::string::npos; }

// Puts `temp` in place of `path`, trying again for a while when the old
// file is open elsewhere.
bool ReplaceWithRetry(const std::string& temp, const std::string& path, CacheFileOps& ops) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplaceRetryMs);
  for (;;) {
    const int result = ops.Replace(temp, path);
    if (result == kCacheReplaced) return true;
    if (result != kCacheReplaceBusy || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kReplaceStepMs));
  }
}

// Writes `entries` to this process's temporary file and puts it in place
// of `path`; every step is checked and any failure leaves `path` untouched
// and no temporary file behind.
bool WriteAndReplace(const Entries& entries, const std::string& path, CacheFileOps& ops) {
  const std::string temp = cache_file::TempPathFor(path);
  if (!ops.Create(temp)) return false;
  bool ok = true;
  std::string text;
  for (const auto& entry : entries) {
    text.clear();
    AppendEntry(entry.first, entry.second, &text);
    if (!ops.Write(text.data(), text.size())) {
      ok = false;
      break;
    }
  }
  ok = ops.Finish() && ok;
  ok = ok && ReplaceWithRetry(temp, path, ops);
  if (!ok) ops.Remove(temp);
  return ok;
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
  added_.insert(key);
  deleted_.erase(key);
}

int CddbCache::Delete(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.erase(key);
  added_.erase(key);
  deleted_.insert(key);
  return 1;
}

std::size_t CddbCache::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

void CddbCache::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
  added_.clear();
  deleted_.clear();
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
  Entries loaded = ParseCacheText(text);
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& entry : loaded) entries_[entry.first] = std::move(entry.second);
}

std::string CddbCache::SaveText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  for (const auto& entry : entries_) AppendEntry(entry.first, entry.second, &text);
  return text;
}

int CddbCache::Load(const std::string& path) {
  CacheFileOps ops;
  return Load(path, ops);
}

int CddbCache::Load(const std::string& path, CacheFileOps& ops) {
  try {
    std::string text;
    if (ops.Read(path, kMaxFileBytes, &text) != kCacheFileRead) return 0;
    LoadText(text);
    return 1;
  } catch (const std::exception&) {
    return 0;  // out of memory: the cache keeps what it held
  }
}

int CddbCache::Save(const std::string& path) {
  CacheFileOps ops;
  return Save(path, ops);
}

int CddbCache::Save(const std::string& path, CacheFileOps& ops) {
  try {
    Entries held;
    std::set<std::string> added, deleted;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      held = entries_;
      added = added_;
      deleted = deleted_;
    }
    if (!ops.Lock(path, kLockWaitMs)) return 0;
    struct Unlocker {
      CacheFileOps& ops;
      ~Unlocker() { ops.Unlock(); }
    } unlocker{ops};
    std::string text;
    const int read = ops.Read(path, kMaxFileBytes, &text);
    if (read == kCacheFileUnreadable) return 0;  // what it holds cannot be kept
    Entries merged = ParseCacheText(text);
    if (read == kCacheFileMissing || (merged.empty() && HasText(text))) {
      // Nothing on disk to merge into (gone, or no cache at all): all we hold.
      merged = held;
    } else {
      for (const std::string& key : deleted) merged.erase(key);
      for (const std::string& key : added) {
        auto it = held.find(key);
        if (it != held.end()) merged[key] = it->second;
      }
    }
    text.clear();
    if (!WriteAndReplace(merged, path, ops)) return 0;
    // The file has these changes now; later ones stay for the next save.
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& key : added) added_.erase(key);
    for (const std::string& key : deleted) deleted_.erase(key);
    return 1;
  } catch (const std::exception&) {
    return 0;
  }
}
