#pragma once
// Answers the host's title questions for one playlist entry: finds the drive
// and track the name gives, reads the track's table-of-contents entry and
// asks the title sources. Queries about the drive being played are answered
// from the playback reader without a single drive command.
#include <functional>
#include <mutex>
#include <string>

#include "input/title_sources.h"
#include "input/track_description.h"

class CCriticalSection;
class CDirectCDDA;
class CddbLookup;
struct PluginSettings;

enum TitleQueryMode : int {
  kQueryFileInfo = 0,
  kQueryExtendedInfo = 1,
  kQueryInfoDialog = 2,
};

extern const char kNoSuchDevice[];
extern const char kNoDiscInDevice[];
extern const char kNoSuchTrack[];

struct TitleResolverParts {
  CDirectCDDA* playbackReader;
  CDirectCDDA* infoReader;
  CCriticalSection* driveLock;  // may be null where nothing else touches the drives
  const PluginSettings* settings;
  std::function<CddbLookup&()> cddb;
  std::function<std::string()> currentFileName;   // the file last given to Play
  std::function<std::string()> playingDriveText;  // "" when nothing plays
  // Guards *settings against the settings sheet (null where nobody writes).
  std::mutex* settingsMutex = nullptr;
};

class TitleResolver {
 public:
  explicit TitleResolver(TitleResolverParts parts);

  // 1 when answered. The record is cleared first. An empty or null name
  // means the current file; a null source name asks the sources in
  // TitlePriority order; a null key asks for the display title.
  int Resolve(int mode, const char* fileName, const char* sourceName, const char* key, TrackDescription& record);

 private:
  int ResolveLocked(int mode, const char* fileName, const char* sourceName, const char* key,
                    TrackDescription& record);

  TitleResolverParts parts_;
  // Both read and written under the drive lock: the drive text of the last
  // query, and the drive text whose table of contents the information reader
  // holds ("" when it holds none a query could rely on).
  std::string previousDrive_;
  std::string infoDrive_;
};
