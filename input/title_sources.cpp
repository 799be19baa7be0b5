#include "input/title_sources.h"

#include <cstring>

#include "cddb/cddb_lookup.h"
#include "device/cd_text_device.h"
#include "input/plugin_settings.h"
#include "input/title_format.h"
#include "util/critical_section.h"

const char kNoTitleInformation[] = "タイトル情報がありません";
const char kCddbSearching[] = "CDDBを検索中です...";
const char kDataTrackTitle[] = "DATA TRACK";

namespace {

const std::array<TitleSource, 4> kSources = {{
    {"CD-TEXT(JP)", "CD-TEXT(日本語)", TitleSourceKind::kCdText, kLanguageJapanese},
    {"CD-TEXT(EN)", "CD-TEXT(英語)", TitleSourceKind::kCdText, kLanguageEnglish},
    {"CDDB", "CDDB", TitleSourceKind::kCddb, 0},
    {kDefaultSourceName, "デフォルト", TitleSourceKind::kDefault, 0},
}};

// Fills the disc and track texts from CD-TEXT; 1 when the track has texts.
int FetchCdText(const TitleQuery& q, std::uint8_t language, TrackDescription& record) {
  if (!q.reader.HasCdText()) return 0;
  q.reader.GetCdText(0, language, &record.disc);
  return q.reader.GetCdText(q.track, language, &record.track) == 1 ? 1 : 0;
}

// The CDDB lookup and, when it found the disc, the texts: 1 texts filled,
// 0 no texts, kCddbBusy a background lookup is running.
int FetchCddb(const TitleQuery& q, TrackDescription& record) {
  int r;
  CddbDiscRecord found;
  if (q.mode == kCddbModeImmediate && q.driveLock) {
    // The exchange may take seconds and the status window dispatches the
    // host's messages, from which the host calls in again: the drive lock
    // must be free meanwhile. The lookup needs only a copy of the table of
    // contents; nothing after it touches the reader.
    const DiscToc toc = q.reader.Toc();
    q.driveLock->Unlock();
    r = q.cddb.LookupDisc(q.mode, toc, &found);
    q.driveLock->Lock();
  } else {
    r = q.cddb.LookupDisc(q.mode, q.reader.Toc(), &found);
  }
  if (r == kCddbFoundOnServer || r == kCddbFoundInCache) {
    CddbTrackText(found, 0, &record.disc);
    return CddbTrackText(found, q.track, &record.track) == 1 ? 1 : 0;
  }
  return r == kCddbBusy ? kCddbBusy : 0;
}

int TitleFrom(const TitleSource& source, const TitleQuery& q, TrackDescription& record) {
  switch (source.kind) {
    case TitleSourceKind::kCdText:
      if (!FetchCdText(q, source.language, record)) return 0;
      Expand(q.driveLetter, q.track, q.settings.cdtextTitleFormat, record);
      return 1;
    case TitleSourceKind::kCddb: {
      const int r = FetchCddb(q, record);
      if (r == kCddbBusy) {
        record.text = kCddbSearching;
        return 1;
      }
      if (!r) return 0;
      Expand(q.driveLetter, q.track, q.settings.cddbTitleFormat, record);
      return 1;
    }
    case TitleSourceKind::kDefault:
      record.track = TitleInfo{};
      record.disc = TitleInfo{};
      Expand(q.driveLetter, q.track, q.settings.defaultTitleFormat, record);
      return 1;
  }
  return 0;
}

int ExtendedInfoFrom(const TitleSource& source, const TitleQuery& q, const char* key, TrackDescription& record) {
  switch (source.kind) {
    case TitleSourceKind::kCdText:
      if (!FetchCdText(q, source.language, record)) return 0;
      return Produce(key, q.track, record);
    case TitleSourceKind::kCddb: {
      const int r = FetchCddb(q, record);
      if (r == kCddbBusy) {
        record.track.title = kCddbSearching;
        return Produce(key, q.track, record);
      }
      return r ? Produce(key, q.track, record) : 0;
    }
    case TitleSourceKind::kDefault:
      record.track = TitleInfo{};
      record.disc = TitleInfo{};
      if (q.settings.extendedFileInfoDefault && EqualsIgnoringCase(key, "TITLE")) {
        Expand(q.driveLetter, q.track, q.settings.extendedFileInfoDefaultTitle, record);
        record.track.title = std::move(record.text);
        record.text.clear();
      }
      return Produce(key, q.track, record);
  }
  return 0;
}

}  // namespace

const std::array<TitleSource, 4>& TitleSources() { return kSources; }

const TitleSource* FindTitleSource(const char* name) {
  if (!name) return nullptr;
  for (const TitleSource& source : kSources) {
    if (std::strcmp(source.name, name) == 0) return &source;
  }
  return nullptr;
}

int SearchTitle(const TitleQuery& query, const char* sourceName, TrackDescription& record) {
  if (record.entry.dataTrack) {
    record.text = kDataTrackTitle;
    return 0;
  }
  if (sourceName) {
    const TitleSource* source = FindTitleSource(sourceName);
    const int result = source ? TitleFrom(*source, query, record) : 0;
    if (result != 1) record.text = kNoTitleInformation;
    return result;
  }
  for (const std::string& name : query.settings.titlePriority) {
    const TitleSource* source = FindTitleSource(name.c_str());
    if (!source) continue;  // a stored name of no source never answers
    const int result = TitleFrom(*source, query, record);
    if (result) return result;
  }
  record.text.clear();
  return 0;
}

int SearchExtendedInfo(const TitleQuery& query, const char* sourceName, const char* key, TrackDescription& record) {
  if (sourceName) {
    const TitleSource* source = FindTitleSource(sourceName);
    const int result = source ? ExtendedInfoFrom(*source, query, key, record) : 0;
    if (result != 1) record.text.clear();
    return result;
  }
  int result = 0;
  for (const std::string& name : query.settings.titlePriority) {
    const TitleSource* source = FindTitleSource(name.c_str());
    if (!source) continue;
    result = ExtendedInfoFrom(*source, query, key, record);
    if (result || name == kDefaultSourceName) break;
  }
  if (!result) record.text.clear();
  return result;
}
