#pragma once
// Every setting of the input plug-in: one process-wide record with built-in
// defaults, read from winamp.ini at Init and written back at Quit.
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "util/profile.h"

constexpr char kSettingsSection[] = "QZ_CDDAPLAYER";
constexpr char kPluginVersion[] = "0.26";
constexpr char kDefaultCddbUrl[] = "http://gnudb.gnudb.org/~cddb/cddb.cgi";
constexpr char kDefaultAccurateRipServer[] = "http://www.accuraterip.com";
constexpr char kTestCddbUrl[] = "http://gnudb.gnudb.org:80/~cddb/cddb.cgi";

struct PluginSettings {
  PluginSettings();

  std::string defaultTitleFormat;
  std::array<std::string, 4> titlePriority;
  std::string cdtextTitleFormat;
  std::string cddbTitleFormat;
  bool cddbCache;
  std::string cddbUrl;
  bool cddbUseUtf8;
  std::string cddbProxy;
  bool cddbUseProxy;
  std::string cddbEmail;  // sent in the CDDB hello; empty: none
  bool cddbDialogAutoClose;
  std::set<std::string> urlHistory;    // unique, ascending byte order
  std::set<std::string> proxyHistory;  // unique, ascending byte order
  bool extendedFileInfoDefault;
  std::string extendedFileInfoDefaultTitle;
  std::uint32_t preReadSize;       // bytes
  std::uint32_t bufferSize;        // bytes
  std::uint32_t doubleBufferSize;  // 2 x bufferSize, never stored
  std::uint32_t readSpeed;         // kB/s for the drive; 65535 = maximum
  bool jitterCorrection;           // never stored: off at every start
  bool aspi;                       // read, never written
  bool multithreadInitialize;
  int ripReadOffset;         // samples the drive's reads are corrected by
  bool ripReadOffsetSet;     // the offset was stored (by the user or found from a disc)
  bool ripSecure;            // every frame read twice and compared
  int ripRetries;            // attempts at a frame whose reads differ
  std::string ripLogFolder;  // empty: the default folder
  bool accurateRipUse;            // verify rips against the AccurateRip database
  std::string accurateRipServer;  // its address, without a trailing path

  // Reads every key (a missing one keeps the current value) and returns the
  // file's Version text ("0.00" when missing).
  std::string Load(Profile& profile, const std::string& iniPath);
  // Writes every stored key, one write per key, in a fixed order; false
  // when any write failed.
  bool Save(Profile& profile, const std::string& iniPath, const char* version) const;
};

// The plug-in's one settings record, for the host's thread at Init and in
// tests. Other threads read it while the settings sheet may change it: they
// take a snapshot, and the sheet publishes its changes whole.
PluginSettings& Settings();
PluginSettings SettingsSnapshot();
void PublishSettings(const PluginSettings& settings);
std::mutex& SettingsMutex();

// The keys the plug-ins only read (Aspi and the ASPI device map), copied
// from the old settings file into the host's one where it lacks them, so
// that settings moving over take them along; false when a write failed.
bool CarryOverReadOnlyKeys(Profile& profile, const std::string& from, const std::string& to);

// What the ripping settings accept; stored values outside are cut to these.
constexpr int kRipReadOffsetMin = -5880;
constexpr int kRipReadOffsetMax = 5880;
constexpr int kRipRetriesMin = 2;
constexpr int kRipRetriesMax = 64;

// A whole decimal number: blanks around it, an optional sign, digits and
// nothing else. Saturates far beyond any setting instead of overflowing;
// false (value untouched) for anything else, the empty text included.
bool ParseSettingNumber(const std::string& text, long* value);

// "<dir>\winamp.ini".
std::string IniPathIn(const std::string& dir);

// Values offered by the settings pages, keyed (and so ordered) by value,
// each with its label. BufferSizeChoices serves BufferSize and PreReadSize.
void BuildChoiceTables();
const std::map<std::uint32_t, std::string>& BufferSizeChoices();
const std::map<std::uint32_t, std::string>& ReadSpeedChoices();
