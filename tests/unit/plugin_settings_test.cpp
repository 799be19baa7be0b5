#include "input/plugin_settings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "input/plugin_paths.h"
#include "temp_ini.h"
#include "util/codepage.h"

namespace {

using Lines = std::vector<std::string>;

const char kUrlA[] = "http://a.example/~cddb/cddb.cgi";
const char kUrlB[] = "http://b.example/~cddb/cddb.cgi";

int CountLinesStartingWith(const Lines& lines, const std::string& prefix) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.compare(0, prefix.size(), prefix) == 0;
  }));
}

TEST(PluginSettings, MissingFileKeepsDefaultsAndGivesVersion000) {
  TempIni ini;
  PluginSettings s;
  EXPECT_EQ("0.00", s.Load(SystemProfile(), ini.path()));
  const PluginSettings defaults;
  EXPECT_EQ(defaults.titlePriority, s.titlePriority);
  EXPECT_EQ(defaults.urlHistory, s.urlHistory);
  EXPECT_EQ(1764000u, s.doubleBufferSize);
  EXPECT_TRUE(s.cddbCache);
  EXPECT_FALSE(s.ripReadOffsetSet);
  EXPECT_FALSE(ini.Exists());
}

TEST(PluginSettings, SaveWritesEveryStoredKeyInOrder) {
  TempIni ini;
  PluginSettings s;
  s.aspi = true;
  s.jitterCorrection = true;
  s.Save(SystemProfile(), ini.path(), kPluginVersion);
  const Lines expected = {
      "[QZ_CDDAPLAYER]",
      "Version=0.26",
      "DefaultTitleFormat=CD-DA TRACK - %7:\\Track%6",
      "TitlePriority0=CD-TEXT(JP)",
      "TitlePriority1=CD-TEXT(EN)",
      "TitlePriority2=default",
      "TitlePriority3=CDDB",
      "CDTEXT_TitleFormat=%1 - %2",
      "ExtendedFileInfoDefault=false",
      "ExtendedFileInfoDefaultTitle=CD-DA TRACK - %7:\\Track%6",
      "CDDB_TitleFormat=%1 - %2",
      "CDDB_Cache=true",
      "CDDB_URL=http://gnudb.gnudb.org/~cddb/cddb.cgi",
      "CDDB_UseUtf8=false",
      "CDDB_Proxy=",
      "CDDB_UseProxy=false",
      "CDDB_Email=",
      "CDDB_DialogAutoClose=true",
      "CDDB_URLHistory=2",
      "CDDB_URLHistory0=http://gnudb.gnudb.org/~cddb/cddb.cgi",
      "CDDB_URLHistory1=http://gnudb.gnudb.org:80/~cddb/cddb.cgi",
      "CDDB_ProxyHistory=0",
      "BufferSize=882000",
      "PreReadSize=176400",
      "ReadSpeed=65535",
      "MultithreadInitialize=false",
      "Rip_Secure=true",  // an offset never set is not written: the first rip finds it
      "Rip_Retries=16",
      "Rip_LogFolder=",
      "AccurateRip_Use=true",
      "AccurateRip_Server=http://www.accuraterip.com",
  };
  EXPECT_EQ(expected, ini.Lines());
}

TEST(PluginSettings, SavedValuesLoadBack) {
  TempIni ini;
  PluginSettings s;
  s.defaultTitleFormat = codepage::AnsiCodePage() == 1252 ? "%7 Café%6" : "%7 トラック%6";
  s.titlePriority = {"CDDB", "default", "CD-TEXT(EN)", "CD-TEXT(JP)"};
  s.cdtextTitleFormat = "%2 / %1";
  s.cddbTitleFormat = "%1";
  s.cddbCache = false;
  s.cddbUrl = kUrlA;
  s.cddbUseUtf8 = true;
  s.cddbProxy = "proxy.example:8080";
  s.cddbUseProxy = true;
  s.cddbEmail = "taro@example.jp";
  s.cddbDialogAutoClose = false;
  s.proxyHistory = {"proxy.example:8080", "other:3128"};
  s.extendedFileInfoDefault = true;
  s.extendedFileInfoDefaultTitle = "x";
  s.preReadSize = 352800;
  s.bufferSize = 3528000;
  s.readSpeed = 1411;
  s.multithreadInitialize = true;
  s.ripReadOffset = -30;
  s.ripReadOffsetSet = true;
  s.accurateRipUse = false;
  s.accurateRipServer = "http://127.0.0.1:8080/delay/5000";
  s.ripSecure = false;
  s.ripRetries = 64;
  s.ripLogFolder = codepage::AnsiCodePage() == 1252 ? "D:\\Café" : "D:\\ログ";
  s.Save(SystemProfile(), ini.path(), "9.99");
  EXPECT_TRUE(codepage::AnsiCodePage() != 932 ||
              ini.Read().find("=%7 \x83g\x83\x89\x83\x62\x83N%6\r\n") != std::string::npos);
  EXPECT_TRUE(codepage::AnsiCodePage() != 932 ||
              ini.Read().find("Rip_LogFolder=D:\\\x83\x8D\x83O\r\n") != std::string::npos);

  PluginSettings r;
  EXPECT_EQ("9.99", r.Load(SystemProfile(), ini.path()));
  EXPECT_EQ(s.defaultTitleFormat, r.defaultTitleFormat);
  EXPECT_EQ(s.titlePriority, r.titlePriority);
  EXPECT_EQ(s.cdtextTitleFormat, r.cdtextTitleFormat);
  EXPECT_EQ(s.cddbTitleFormat, r.cddbTitleFormat);
  EXPECT_EQ(s.cddbCache, r.cddbCache);
  EXPECT_EQ(s.cddbUrl, r.cddbUrl);
  EXPECT_EQ(s.cddbUseUtf8, r.cddbUseUtf8);
  EXPECT_EQ(s.cddbProxy, r.cddbProxy);
  EXPECT_EQ(s.cddbUseProxy, r.cddbUseProxy);
  EXPECT_EQ(s.cddbEmail, r.cddbEmail);
  EXPECT_EQ(s.cddbDialogAutoClose, r.cddbDialogAutoClose);
  EXPECT_EQ(s.urlHistory, r.urlHistory);
  EXPECT_EQ(s.proxyHistory, r.proxyHistory);
  EXPECT_EQ(s.extendedFileInfoDefault, r.extendedFileInfoDefault);
  EXPECT_EQ(s.extendedFileInfoDefaultTitle, r.extendedFileInfoDefaultTitle);
  EXPECT_EQ(352800u, r.preReadSize);
  EXPECT_EQ(3528000u, r.bufferSize);
  EXPECT_EQ(7056000u, r.doubleBufferSize);
  EXPECT_EQ(1411u, r.readSpeed);
  EXPECT_TRUE(r.multithreadInitialize);
  EXPECT_EQ(-30, r.ripReadOffset);
  EXPECT_TRUE(r.ripReadOffsetSet);
  EXPECT_FALSE(r.accurateRipUse);
  EXPECT_EQ(s.accurateRipServer, r.accurateRipServer);
  EXPECT_FALSE(r.ripSecure);
  EXPECT_EQ(64, r.ripRetries);
  EXPECT_EQ(s.ripLogFolder, r.ripLogFolder);
}

TEST(PluginSettings, OldCdTextFormatKeyIsMigrated) {
  TempIni ini;
  ini.Write("[QZ_CDDAPLAYER]\r\nCDTEXTTitleFormat=%2\r\n");
  PluginSettings s;
  s.Load(SystemProfile(), ini.path());
  EXPECT_EQ("%2", s.cdtextTitleFormat);
  s.Save(SystemProfile(), ini.path(), kPluginVersion);
  const Lines lines = ini.Lines();
  EXPECT_EQ(1, CountLinesStartingWith(lines, "CDTEXTTitleFormat=%2"));
  EXPECT_EQ(1, CountLinesStartingWith(lines, "CDTEXT_TitleFormat=%2"));

  // Once the new key exists it wins.
  ini.Write("[QZ_CDDAPLAYER]\r\nCDTEXTTitleFormat=%2\r\nCDTEXT_TitleFormat=%1\r\n");
  PluginSettings t;
  t.Load(SystemProfile(), ini.path());
  EXPECT_EQ("%1", t.cdtextTitleFormat);
}

TEST(PluginSettings, HistoriesMergeIntoSortedSetsAndSaveAscending) {
  TempIni ini;
  ini.Write(std::string("[QZ_CDDAPLAYER]\r\nCDDB_URLHistory=3\r\nCDDB_URLHistory0=") + kUrlB +
            "\r\nCDDB_URLHistory1=\r\nCDDB_URLHistory2=" + kUrlA +
            "\r\nCDDB_ProxyHistory=1\r\nCDDB_ProxyHistory0=p:1\r\nCDDB_ProxyHistory5=stale:1\r\n");
  PluginSettings s;
  s.Load(SystemProfile(), ini.path());
  EXPECT_EQ(4u, s.urlHistory.size());
  EXPECT_EQ(std::set<std::string>{"p:1"}, s.proxyHistory);  // entries beyond the count are not read

  s.Save(SystemProfile(), ini.path(), kPluginVersion);
  const Lines lines = ini.Lines();
  EXPECT_EQ(1, CountLinesStartingWith(lines, "CDDB_URLHistory=4"));
  EXPECT_EQ(1, CountLinesStartingWith(lines, std::string("CDDB_URLHistory0=") + kUrlA));
  EXPECT_EQ(1, CountLinesStartingWith(lines, std::string("CDDB_URLHistory1=") + kUrlB));
  EXPECT_EQ(1, CountLinesStartingWith(lines, "CDDB_URLHistory2=http://gnudb.gnudb.org/~cddb/cddb.cgi"));
  EXPECT_EQ(1, CountLinesStartingWith(lines, "CDDB_URLHistory3=http://gnudb.gnudb.org:80/~cddb/cddb.cgi"));
  // Keys beyond the saved count are left as they were.
  EXPECT_EQ(1, CountLinesStartingWith(lines, "CDDB_ProxyHistory5=stale:1"));
}

TEST(PluginSettings, AbsurdHistoryCountsLoadPromptly) {
  TempIni ini;
  ini.Write("[QZ_CDDAPLAYER]\r\nCDDB_URLHistory=99999999999999999999\r\nCDDB_ProxyHistory=-3\r\n");
  PluginSettings s;
  s.Load(SystemProfile(), ini.path());
  EXPECT_EQ(2u, s.urlHistory.size());
  EXPECT_TRUE(s.proxyHistory.empty());
}

TEST(PluginSettings, BooleansAreTrueOnlyForTheWordTrue) {
  TempIni ini;
  ini.Write("[QZ_CDDAPLAYER]\r\nCDDB_UseProxy=TRUE\r\nCDDB_UseUtf8=1\r\nCDDB_Cache=yes\r\n"
            "ExtendedFileInfoDefault=True\r\n");
  PluginSettings s;
  s.cddbUseUtf8 = true;
  s.cddbDialogAutoClose = true;
  s.multithreadInitialize = true;
  s.Load(SystemProfile(), ini.path());
  EXPECT_TRUE(s.cddbUseProxy);
  EXPECT_FALSE(s.cddbUseUtf8);
  EXPECT_FALSE(s.cddbCache);
  EXPECT_TRUE(s.extendedFileInfoDefault);
  // Missing keys keep the current value.
  EXPECT_TRUE(s.cddbDialogAutoClose);
  EXPECT_TRUE(s.multithreadInitialize);
}

TEST(PluginSettings, AspiIsOnlyReadAndJitterCorrectionNeverStored) {
  TempIni ini;
  ini.Write("[QZ_CDDAPLAYER]\r\nAspi=true\r\nJitterCorrection=true\r\n");
  PluginSettings s;
  s.Load(SystemProfile(), ini.path());
  EXPECT_TRUE(s.aspi);
  EXPECT_FALSE(s.jitterCorrection);

  s.aspi = false;  // even a changed value is not written
  s.jitterCorrection = true;
  s.Save(SystemProfile(), ini.path(), kPluginVersion);
  const Lines lines = ini.Lines();
  EXPECT_EQ(1, CountLinesStartingWith(lines, "Aspi="));
  EXPECT_EQ(1, CountLinesStartingWith(lines, "Aspi=true"));
  EXPECT_EQ(1, CountLinesStartingWith(lines, "JitterCorrection=true"));

  PluginSettings again;
  again.Load(SystemProfile(), ini.path());
  EXPECT_TRUE(again.aspi);
  EXPECT_FALSE(again.jitterCorrection);
}

TEST(PluginSettings, NumbersAndTitlePriorities) {
  TempIni ini;
  ini.Write("[QZ_CDDAPLAYER]\r\nBufferSize=1411200\r\nPreReadSize=abc\r\n"
            "TitlePriority0=CDDB\r\nTitlePriority2=\r\nTitlePriority3=nonsense\r\n");
  PluginSettings s;
  s.Load(SystemProfile(), ini.path());
  EXPECT_EQ(1411200u, s.bufferSize);
  EXPECT_EQ(2822400u, s.doubleBufferSize);
  EXPECT_EQ(0u, s.preReadSize);   // no leading digits
  EXPECT_EQ(65535u, s.readSpeed); // missing: unchanged
  const std::array<std::string, 4> expected = {"CDDB", "CD-TEXT(EN)", "default", "nonsense"};
  EXPECT_EQ(expected, s.titlePriority);
}

// Numbers no choice gives come back as defaults, so that neither playback
// nor the next Quit works with them; values inside the range stay.
TEST(PluginSettings, OutOfRangeNumbersFallBackToTheirDefaults) {
  struct Case {
    const char* lines;
    std::uint32_t buffer, preRead, speed;
  } cases[] = {
      {"BufferSize=0\r\nPreReadSize=-1\r\nReadSpeed=0\r\n", 882000, 176400, 65535},
      {"BufferSize=-176400\r\nPreReadSize=99999999999\r\nReadSpeed=65536\r\n", 882000, 176400, 65535},
      {"BufferSize=2351\r\nPreReadSize=10584001\r\nReadSpeed=-1\r\n", 882000, 176400, 65535},
      {"BufferSize=2352\r\nPreReadSize=0\r\nReadSpeed=1\r\n", 2352, 0, 1},
      {"BufferSize=10584000\r\nPreReadSize=10584000\r\nReadSpeed=65535\r\n", 10584000, 10584000, 65535},
  };
  for (const Case& c : cases) {
    TempIni ini;
    ini.Write(std::string("[QZ_CDDAPLAYER]\r\n") + c.lines);
    PluginSettings s;
    s.Load(SystemProfile(), ini.path());
    EXPECT_EQ(c.buffer, s.bufferSize) << c.lines;
    EXPECT_EQ(2 * c.buffer, s.doubleBufferSize) << c.lines;
    EXPECT_EQ(c.preRead, s.preReadSize) << c.lines;
    EXPECT_EQ(c.speed, s.readSpeed) << c.lines;
  }
}

// An edited file's ripping numbers: cut to their range, and a text that is
// no whole number keeps the default instead of reading as 0. Either way the
// offset counts as set.
TEST(PluginSettings, RipNumbersAreCutToTheirRangeAndNonNumbersKeepTheDefault) {
  const struct { const char* lines; int offset, retries; } cases[] = {
      {"Rip_ReadOffset=+667\r\nRip_Retries=2\r\n", 667, 2},
      {"Rip_ReadOffset=-5881\r\nRip_Retries=65\r\n", -5880, 64},
      {"Rip_ReadOffset=99999999999999999999\r\nRip_Retries=-4000000000\r\n", 5880, 2},
      {"Rip_ReadOffset=12abc\r\nRip_Retries=0x20\r\n", 0, 16}};
  for (const auto& [lines, offset, retries] : cases) {
    TempIni ini;
    ini.Write(std::string("[QZ_CDDAPLAYER]\r\n") + lines);
    PluginSettings s;
    s.Load(SystemProfile(), ini.path());
    EXPECT_EQ(offset, s.ripReadOffset) << lines;
    EXPECT_EQ(retries, s.ripRetries) << lines;
    EXPECT_TRUE(s.ripReadOffsetSet) << lines;
  }
}

TEST(PluginSettings, ChoiceTablesInValueOrderWithUtf8Labels) {
  BuildChoiceTables();
  const auto& sizes = BufferSizeChoices();
  const auto& speeds = ReadSpeedChoices();
  ASSERT_EQ(20u, sizes.size());
  ASSERT_EQ(8u, speeds.size());
  EXPECT_EQ(2352u, sizes.begin()->first);
  EXPECT_EQ(3528000u, sizes.rbegin()->first);
  EXPECT_EQ(65535u, speeds.rbegin()->first);
  EXPECT_EQ("   1\xe7\xa7\x92 (  75 frame,   176,400 byte)", sizes.at(176400));
  EXPECT_EQ("0.13\xe7\xa7\x92 (  10 frame,    17,640 byte)", sizes.at(17640));
  EXPECT_EQ(" 4\xe5\x80\x8d\xe9\x80\x9f (  705,600\xe3\x83\x90\xe3\x82\xa4\xe3\x83\x88/\xe7\xa7\x92)", speeds.at(705));
  EXPECT_EQ(" \xe6\x9c\x80\xe9\xab\x98\xe9\x80\x9f\xe5\xba\xa6", speeds.at(65535));
}

TEST(PluginSettings, IniPathAndProcessRecord) {
  EXPECT_EQ("C:\\Program Files\\Winamp\\winamp.ini", IniPathIn("C:\\Program Files\\Winamp"));
  EXPECT_EQ(&Settings(), &Settings());
  const std::string logs = plugin::RipLogFolderFor("");  // "<settings folder>\\rip logs"
  EXPECT_EQ(logs.substr(0, logs.size() - 8) + "old", plugin::RipLogFolderFor("old"));
  EXPECT_EQ(codepage::Utf8ToAnsi("D:\\ログ"), plugin::RipLogFolderFor("D:\\ログ"));
}

}  // namespace
