#include "input/title_resolver.h"

#include <cstdint>

#include "cddb/cddb_lookup.h"
#include "device/cd_direct_cdda.h"
#include "input/frame_time.h"
#include "input/plugin_settings.h"
#include "input/track_name.h"
#include "util/critical_section.h"

const char kNoSuchDevice[] = "指定されたデバイスは存在しません。";
const char kNoDiscInDevice[] = "指定されたデバイスにCDが存在しません。";
const char kNoSuchTrack[] = "指定されたトラックは存在しません。";

TitleResolver::TitleResolver(TitleResolverParts parts) : parts_(std::move(parts)) {}

int TitleResolver::Resolve(int mode, const char* fileName, const char* sourceName, const char* key,
                           TrackDescription& record) {
  // A lock that could not be had within its bound is gone on without (the
  // holder may be a player that died), and then not given back.
  CCriticalSection::Hold lock(parts_.driveLock);
  return ResolveLocked(mode, fileName, sourceName, key, record);
}

int TitleResolver::ResolveLocked(int mode, const char* fileName, const char* sourceName, const char* key,
                                 TrackDescription& record) {
  record = TrackDescription{};
  const std::string name =
      (fileName && *fileName) ? std::string(fileName) : (parts_.currentFileName ? parts_.currentFileName() : "");
  std::string drive;
  int track = 0;
  if (!ParseTrackName(name.c_str(), &drive, &track)) return 0;

  const std::string playing = parts_.playingDriveText ? parts_.playingDriveText() : std::string();
  CDirectCDDA& playback = *parts_.playbackReader;
  CDirectCDDA& info = *parts_.infoReader;
  const bool playbackOpen = playback.IsOpen() != 0;

  // While a track plays, the playing drive and the drive asked about last
  // are answered from the tables at hand, without a single drive command.
  // The last drive counts only while the information reader still holds its
  // table: after a query about the playing drive it may hold another one's.
  CDirectCDDA* reader = &info;
  if (playbackOpen && drive == playing) {
    reader = &playback;
  } else if (!(playbackOpen && drive == previousDrive_ && drive == infoDrive_)) {
    // Until this read has given a table, the information reader holds no
    // drive's contents that a later query could rely on.
    infoDrive_.clear();
    if (!info.FindDrive(drive[0]) || !info.SelectDrive(drive[0])) {
      record.text = kNoSuchDevice;
      return 0;
    }
    if (!info.TestUnitReady()) {
      record.text = kNoDiscInDevice;
      return 0;
    }
    info.ReadToc();
    if (info.LastTrack() > 0) infoDrive_ = drive;
  }

  // Whether the drive was just examined or answered from a table at hand, a
  // track the table does not have is no track: no title is made up for it.
  if (reader->LastTrack() == 0 || reader->LastTrack() < track) {
    record.text = kNoSuchTrack;
    return 0;
  }

  previousDrive_ = drive;
  // Only tracks have entries of their own: key 0 is the disc, 0xAA the lead-out.
  if (track >= 1 && track <= 99 && reader->GetTrackEntry(track, &record.entry))
    record.lengthMs = static_cast<std::int32_t>(FramesToMs(record.entry.length));

  // A copy: the sheet may publish new settings while a query runs elsewhere.
  PluginSettings settings;
  if (parts_.settingsMutex) {
    std::lock_guard<std::mutex> hold(*parts_.settingsMutex);
    settings = *parts_.settings;
  } else {
    settings = *parts_.settings;
  }
  const TitleQuery query{
      mode, *reader, parts_.cddb ? parts_.cddb() : TitleCddb(), settings, drive[0], track, parts_.driveLock};
  return key ? SearchExtendedInfo(query, sourceName, key, record) : SearchTitle(query, sourceName, record);
}
