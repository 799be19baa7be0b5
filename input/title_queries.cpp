#include "input/title_queries.h"

#include "cddb/cddb_lookup.h"
#include "host_api/in_module.h"
#include "input/plugin_state.h"
#include "input/plugin_settings.h"
#include "input/readers.h"
#include "input/title_playback.h"
#include "util/codepage.h"

namespace titles {

void GetFileInfo(TitleResolver& resolver, const char* file, char* title, int* lengthMs) {
  TrackDescription record;
  resolver.Resolve(kQueryFileInfo, file, nullptr, nullptr, record);
  if (title) codepage::CopyAnsiToBuffer(title, GETFILEINFO_TITLE_LENGTH, codepage::Utf8ToAnsi(record.text));
  if (lengthMs) *lengthMs = record.lengthMs;
}

int GetExtendedFileInfo(TitleResolver& resolver, const char* file, const char* key, char* value, int valueLength) {
  TrackDescription record;
  // Without a key there is no value to give (and a title search would
  // answer with a display title instead).
  const int result = resolver.Resolve(kQueryExtendedInfo, file, nullptr, key ? key : "", record);
  if (value && valueLength > 0)
    codepage::CopyAnsiToBuffer(value, static_cast<std::size_t>(valueLength), codepage::Utf8ToAnsi(record.text));
  return result;
}

int GetExtendedFileInfoW(TitleResolver& resolver, const char* file, const char* key, char16_t* value,
                         std::size_t valueLength) {
  TrackDescription record;
  const int result = resolver.Resolve(kQueryExtendedInfo, file, nullptr, key ? key : "", record);
  codepage::CopyUtf16ToBuffer(value, valueLength, codepage::Utf8ToUtf16(record.text));
  return result;
}

TitleResolver& PluginResolver() {
  static TitleResolver resolver(TitleResolverParts{
      &PlaybackReader(), &InfoReader(), &plugin::DriveLock(), &Settings(), [] () -> CddbLookup& { return TitleCddb(); },
      PlayingFileName, PlayingDriveText, &SettingsMutex()});
  return resolver;
}

}  // namespace titles
