#include "input/plugin_settings.h"

#include <vector>

#include <climits>
#include <cstdio>

namespace {

const char kDefaultTitle[] = "CD-DA TRACK - %7:\\Track%6";
const char kDefaultFormat[] = "%1 - %2";

// A history count far beyond anything a user collects comes from a damaged
// file; reading it key by key would stall Init for hours.
const long kMaxHistoryEntries = 4096;

// Sizes the plug-in accepts from the file: one frame up to a minute of audio.
const std::uint32_t kMinBufferBytes = 2352;
const std::uint32_t kMaxBufferBytes = 60 * 176400;

// The C runtime's decimal-text rule (blanks, sign, digits), saturating
// instead of overflowing.
long DecimalValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < LONG_MAX / 10) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

class Reader {
 public:
  Reader(Profile& profile, const std::string& path) : profile_(profile), path_(path.c_str()) {}

  std::string Text(const char* key, const char* fallback) {
    return profile_.GetText(kSettingsSection, key, fallback, path_, 1024);
  }
  void Bool(const char* key, bool* value) { *value = ProfileTextIsTrue(Text(key, *value ? "true" : "false")); }
  void Number(const char* key, std::uint32_t* value) {
    *value = profile_.GetInt(kSettingsSection, key, static_cast<int>(*value), path_);
  }
  // A signed number cut to [low, high]; a text that is no number keeps
  // the current value.
  void Bounded(const char* key, int low, int high, int* value) {
    long number = 0;
    if (!ParseSettingNumber(Text(key, ""), &number)) return;
    *value = static_cast<int>(number < low ? low : number > high ? high : number);
  }
  void History(const char* countKey, std::set<std::string>* history) {
    long count = DecimalValue(Text(countKey, "0"));
    if (count > kMaxHistoryEntries) count = kMaxHistoryEntries;
    for (long i = 0; i < count; ++i) {
      const std::string key = countKey + std::to_string(i);
      std::string entry = Text(key.c_str(), "");
      if (!entry.empty()) history->insert(std::move(entry));
    }
  }

 private:
  Profile& profile_;
  const char* path_;
};

class Writer {
 public:
  Writer(Profile& profile, const std::string& path) : profile_(profile), path_(path.c_str()) {}

  void Text(const char* key, const std::string& value) {
    written_ = profile_.WriteText(kSettingsSection, key, value.c_str(), path_) && written_;
  }
  bool AllWritten() const { return written_; }
  void Bool(const char* key, bool value) { Text(key, value ? "true" : "false"); }
  void Number(const char* key, std::uint32_t value) { Text(key, std::to_string(value)); }
  void Signed(const char* key, int value) { Text(key, std::to_string(value)); }
  void History(const char* countKey, const std::set<std::string>& history) {
    Text(countKey, std::to_string(static_cast<int>(history.size())));
    unsigned i = 0;
    for (const std::string& entry : history) Text((countKey + std::to_string(i++)).c_str(), entry);
  }

 private:
  Profile& profile_;
  const char* path_;
  bool written_ = true;
};

}  // namespace

PluginSettings::PluginSettings()
    : defaultTitleFormat(kDefaultTitle),
      titlePriority{"CD-TEXT(JP)", "CD-TEXT(EN)", "default", "CDDB"},
      cdtextTitleFormat(kDefaultFormat),
      cddbTitleFormat(kDefaultFormat),
      cddbCache(true),
      cddbUrl(kDefaultCddbUrl),
      cddbUseUtf8(false),
      cddbProxy(),
      cddbUseProxy(false),
      cddbEmail(),
      cddbDialogAutoClose(true),
      urlHistory{kDefaultCddbUrl, kTestCddbUrl},
      proxyHistory(),
      extendedFileInfoDefault(false),
      extendedFileInfoDefaultTitle(kDefaultTitle),
      preReadSize(176400),
      bufferSize(882000),
      doubleBufferSize(1764000),
      readSpeed(65535),
      jitterCorrection(false),
      aspi(false),
      multithreadInitialize(false),
      ripReadOffset(0),
      ripReadOffsetSet(false),
      ripSecure(true),
      ripRetries(16),
      ripLogFolder(),
      accurateRipUse(true),
      accurateRipServer(kDefaultAccurateRipServer) {}

std::string PluginSettings::Load(Profile& profile, const std::string& iniPath) {
  Reader in(profile, iniPath);
  const std::string version = in.Text("Version", "0.00");
  defaultTitleFormat = in.Text("DefaultTitleFormat", kDefaultTitle);
  for (unsigned i = 0; i < titlePriority.size(); ++i) {
    const std::string key = "TitlePriority" + std::to_string(i);
    std::string entry = in.Text(key.c_str(), "");
    if (!entry.empty()) titlePriority[i] = std::move(entry);
  }
  // Older versions stored this under a key without the underscore.
  const std::string oldFormat = in.Text("CDTEXTTitleFormat", kDefaultFormat);
  cdtextTitleFormat = in.Text("CDTEXT_TitleFormat", oldFormat.c_str());

  in.Bool("ExtendedFileInfoDefault", &extendedFileInfoDefault);
  extendedFileInfoDefaultTitle = in.Text("ExtendedFileInfoDefaultTitle", extendedFileInfoDefaultTitle.c_str());
  cddbTitleFormat = in.Text("CDDB_TitleFormat", kDefaultFormat);
  in.Bool("CDDB_Cache", &cddbCache);
  cddbUrl = in.Text("CDDB_URL", kDefaultCddbUrl);
  in.Bool("CDDB_UseUtf8", &cddbUseUtf8);
  cddbProxy = in.Text("CDDB_Proxy", "");
  in.Bool("CDDB_UseProxy", &cddbUseProxy);
  cddbEmail = in.Text("CDDB_Email", "");
  in.Bool("CDDB_DialogAutoClose", &cddbDialogAutoClose);

  in.History("CDDB_URLHistory", &urlHistory);
  in.History("CDDB_ProxyHistory", &proxyHistory);

  in.Number("BufferSize", &bufferSize);
  in.Number("PreReadSize", &preReadSize);
  in.Number("ReadSpeed", &readSpeed);
  // An edited file may hold sizes and speeds no choice gives (negative ones
  // arrive as huge numbers): those take their defaults, so that playback and
  // the next Quit see sane values.
  const PluginSettings defaults;
  if (bufferSize < kMinBufferBytes || bufferSize > kMaxBufferBytes) bufferSize = defaults.bufferSize;
  if (preReadSize > kMaxBufferBytes) preReadSize = defaults.preReadSize;
  if (readSpeed == 0 || readSpeed > defaults.readSpeed) readSpeed = defaults.readSpeed;
  doubleBufferSize = 2 * bufferSize;

  in.Bool("MultithreadInitialize", &multithreadInitialize);
  in.Bool("Aspi", &aspi);

  // An offset never stored is found from the first disc ripped.
  if (!in.Text("Rip_ReadOffset", "").empty()) ripReadOffsetSet = true;
  in.Bounded("Rip_ReadOffset", kRipReadOffsetMin, kRipReadOffsetMax, &ripReadOffset);
  in.Bool("Rip_Secure", &ripSecure);
  in.Bounded("Rip_Retries", kRipRetriesMin, kRipRetriesMax, &ripRetries);
  ripLogFolder = in.Text("Rip_LogFolder", ripLogFolder.c_str());
  in.Bool("AccurateRip_Use", &accurateRipUse);
  accurateRipServer = in.Text("AccurateRip_Server", accurateRipServer.c_str());
  return version;
}

bool PluginSettings::Save(Profile& profile, const std::string& iniPath, const char* version) const {
  Writer out(profile, iniPath);
  out.Text("Version", version ? version : kPluginVersion);
  out.Text("DefaultTitleFormat", defaultTitleFormat);
  for (unsigned i = 0; i < titlePriority.size(); ++i) {
    out.Text(("TitlePriority" + std::to_string(i)).c_str(), titlePriority[i]);
  }
  out.Text("CDTEXT_TitleFormat", cdtextTitleFormat);
  out.Bool("ExtendedFileInfoDefault", extendedFileInfoDefault);
  out.Text("ExtendedFileInfoDefaultTitle", extendedFileInfoDefaultTitle);
  out.Text("CDDB_TitleFormat", cddbTitleFormat);
  out.Bool("CDDB_Cache", cddbCache);
  out.Text("CDDB_URL", cddbUrl);
  out.Bool("CDDB_UseUtf8", cddbUseUtf8);
  out.Text("CDDB_Proxy", cddbProxy);
  out.Bool("CDDB_UseProxy", cddbUseProxy);
  out.Text("CDDB_Email", cddbEmail);
  out.Bool("CDDB_DialogAutoClose", cddbDialogAutoClose);
  out.History("CDDB_URLHistory", urlHistory);
  out.History("CDDB_ProxyHistory", proxyHistory);
  out.Number("BufferSize", bufferSize);
  out.Number("PreReadSize", preReadSize);
  out.Number("ReadSpeed", readSpeed);
  out.Bool("MultithreadInitialize", multithreadInitialize);
  if (ripReadOffsetSet) out.Signed("Rip_ReadOffset", ripReadOffset);
  out.Bool("Rip_Secure", ripSecure);
  out.Signed("Rip_Retries", ripRetries);
  out.Text("Rip_LogFolder", ripLogFolder);
  out.Bool("AccurateRip_Use", accurateRipUse);
  out.Text("AccurateRip_Server", accurateRipServer);
  // Aspi is only read; JitterCorrection is never stored.
  return out.AllWritten();
}

bool CarryOverReadOnlyKeys(Profile& profile, const std::string& from, const std::string& to) {
  // Nothing stored reads back as this. The values are copied as the file's
  // bytes: they are no texts of ours.
  const char kMissing[] = "\x01missing";
  std::vector<std::string> keys = {"Aspi"};
  for (char letter = 'A'; letter <= 'Z'; ++letter) keys.push_back(std::string("AspiDevMap_") + letter);
  bool written = true;
  for (const std::string& key : keys) {
    const std::string value = profile.GetString(kSettingsSection, key.c_str(), kMissing, from.c_str());
    if (value == kMissing) continue;
    if (profile.GetString(kSettingsSection, key.c_str(), kMissing, to.c_str()) != kMissing) continue;
    written = profile.WriteString(kSettingsSection, key.c_str(), value.c_str(), to.c_str()) && written;
  }
  return written;
}

PluginSettings& Settings() {
  static PluginSettings settings;
  return settings;
}

std::mutex& SettingsMutex() {
  static std::mutex mutex;
  return mutex;
}

PluginSettings SettingsSnapshot() {
  std::lock_guard<std::mutex> lock(SettingsMutex());
  return Settings();
}

void PublishSettings(const PluginSettings& settings) {
  std::lock_guard<std::mutex> lock(SettingsMutex());
  Settings() = settings;
}

bool ParseSettingNumber(const std::string& text, long* value) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const std::size_t last = text.find_last_not_of(" \t");
  std::size_t i = first;
  const bool negative = text[i] == '-';
  if (text[i] == '+' || text[i] == '-') ++i;
  if (i > last) return false;
  long number = 0;
  for (; i <= last; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    if (number < LONG_MAX / 10) number = number * 10 + (text[i] - '0');
  }
  *value = negative ? -number : number;
  return true;
}

std::string IniPathIn(const std::string& dir) { return dir + "\\winamp.ini"; }

const std::map<std::uint32_t, std::string>& BufferSizeChoices() {
  // The 17640 row is 0.1 s (7.5 frames), whatever its label says.
  static const std::map<std::uint32_t, std::string> choices = {
      {2352, "0.01秒 (   1 frame,     2,352 byte)"},
      {4704, "0.02秒 (   2 frame,     4,704 byte)"},
      {11760, "0.06秒 (   5 frame,    11,760 byte)"},
      {17640, "0.13秒 (  10 frame,    17,640 byte)"},
      {35280, "0.20秒 (  15 frame,    35,280 byte)"},
      {70560, "0.40秒 (  30 frame,    70,560 byte)"},
      {105840, "0.60秒 (  45 frame,    105,840 byte)"},
      {141120, "0.80秒 (  60 frame,    141,120 byte)"},
      {176400, "   1秒 (  75 frame,   176,400 byte)"},
      {352800, "   2秒 ( 150 frame,   352,800 byte)"},
      {529200, "   3秒 ( 225 frame,   529,200 byte)"},
      {705600, "   4秒 ( 300 frame,   705,600 byte)"},
      {882000, "   5秒 ( 375 frame,   882,000 byte)"},
      {1058400, "   6秒 ( 450 frame, 1,058,400 byte)"},
      {1234800, "   7秒 ( 525 frame, 1,234,800 byte)"},
      {1411200, "   8秒 ( 600 frame, 1,411,200 byte)"},
      {1587600, "   9秒 ( 675 frame, 1,587,600 byte)"},
      {1764000, "  10秒 ( 750 frame, 1,764,000 byte)"},
      {2646000, "  15秒 (1125 frame, 2,646,000 byte)"},
      {3528000, "  20秒 (1500 frame, 3,528,000 byte)"},
  };
  return choices;
}

const std::map<std::uint32_t, std::string>& ReadSpeedChoices() {
  // Values are the drive's speed in kB/s (bytes per second / 1000).
  static const std::map<std::uint32_t, std::string> choices = {
      {705, " 4倍速 (  705,600バイト/秒)"},
      {1411, "  8倍速 (1,411,200バイト/秒)"},
      {2822, " 16倍速 (2,822,400バイト/秒)"},
      {4233, " 24倍速 (4,233,600バイト/秒)"},
      {5644, " 32倍速 (5,644,800バイト/秒)"},
      {7056, " 40倍速 (7,056,000バイト/秒)"},
      {8467, " 48倍速 (8,467,200バイト/秒)"},
      {65535, " 最高速度"},
  };
  return choices;
}

void BuildChoiceTables() {
  BufferSizeChoices();
  ReadSpeedChoices();
}
