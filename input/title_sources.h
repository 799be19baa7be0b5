#pragma once
// The four title sources (CD-TEXT in Japanese, CD-TEXT in English, CDDB and
// the default pattern) and the two searches that ask them in the user's
// order of priority: one for display titles, one for metadata values.
#include <array>
#include <cstdint>
#include <string>

#include "input/track_description.h"

class CdTextDevice;
class CddbLookup;
struct PluginSettings;
class CCriticalSection;

enum class TitleSourceKind { kCdText, kCddb, kDefault };

struct TitleSource {
  const char* name;         // internal name, stored in TitlePriority
  const char* displayName;  // shown in the priority and source lists
  TitleSourceKind kind;
  std::uint8_t language;    // CD-TEXT language code
};

constexpr const char kDefaultSourceName[] = "default";

// In the built-in order of the table: JP, EN, CDDB, default.
const std::array<TitleSource, 4>& TitleSources();
// By internal name (exact comparison); nullptr for any other name.
const TitleSource* FindTitleSource(const char* name);

// Everything a source needs to answer for one track.
struct TitleQuery {
  int mode;                  // passed on to the CDDB lookup
  const CdTextDevice& reader;  // the reader holding the disc's TOC and CD-TEXT
  CddbLookup& cddb;
  const PluginSettings& settings;
  char driveLetter;          // as written in the name
  int track;
  // Held by the caller; an immediate CDDB lookup lets go of it for the
  // exchange and the status window (null: nothing to let go).
  CCriticalSection* driveLock = nullptr;
};

// Display title into record.text. With a source name only that source is
// asked (no answer: "タイトル情報がありません"); otherwise TitlePriority in
// order until one answers. A data track answers 0 with "DATA TRACK". Names
// that are no source are skipped.
int SearchTitle(const TitleQuery& query, const char* sourceName, TrackDescription& record);

// Value of one metadata key into record.text. With a source name only that
// source is asked; otherwise TitlePriority in order, ending at the first
// answer or right after the entry "default".
int SearchExtendedInfo(const TitleQuery& query, const char* sourceName, const char* key, TrackDescription& record);

extern const char kNoTitleInformation[];
extern const char kCddbSearching[];
extern const char kDataTrackTitle[];
