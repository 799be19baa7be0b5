#include "input/title_resolver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "cddb/cddb_lookup.h"
#include "device/cd_direct_cdda.h"
#include "device_test_support.h"
#include "host_api/in_module.h"
#include "input/plugin_settings.h"
#include "input/title_queries.h"
#include "tools/vdrive/virtual_scsi_transport.h"
#include "util/codepage.h"
#include "util/critical_section.h"
#include "vdrive_test_support.h"

namespace {

using vdrive::VirtualDrive;

class FakeCddb : public CddbLookup {
 public:
  int answer = kCddbNotRegistered;
  std::vector<int> modes;  // one per LookupDisc
  std::function<void()> during;  // runs inside each lookup
  int LookupDisc(int mode, const DiscToc&, CddbDiscRecord* found) override {
    modes.push_back(mode);
    if (during) during();
    for (std::uint32_t number = 0; number <= 3; ++number)
      found->tracks[number] = {number ? "Cddb Song " + std::to_string(number) : "Cddb Album", "Cddb Band", "", "", ""};
    return answer;
  }
};

discgen::DiscOptions Disc(discgen::TextMode text, discgen::Layout layout = discgen::Layout::AudioOnly) {
  discgen::DiscOptions options;
  options.layout = layout;
  options.audioTracks = 4;
  options.trackFrames = 150;  // 2 s
  options.text = text;
  return options;
}

// Drives D: and E: with discs, G: without one; F: is no drive. Each reader
// has its own transport onto the same drives, as the plug-in's two have.
class TitleRig : public ::testing::Test {
 protected:
  void SetUp() override {
    system_.roots = {"D:\\", "E:\\", "G:\\"};
    system_.cdroms = {'D', 'E', 'G'};
    d_->Insert(vdrive_test::MakeDisc(Disc(discgen::TextMode::EnglishJapanese)));
    for (CDirectCDDA* reader : {&playback_, &info_}) {
      auto transport = std::make_unique<vdrive::VirtualScsiTransport>();
      transport->Attach('D', d_);
      transport->Attach('E', e_);
      transport->Attach('G', g_);
      reader->InstallTransport(std::move(transport), kTransportSpti);
      ASSERT_EQ(3, reader->EnumerateDrives());
    }
  }

  void InsertIntoE(const discgen::DiscOptions& options) {
    discgen::DiscOptions named = options;
    named.name = "e";
    e_->Insert(vdrive_test::MakeDisc(named));
  }

  // What Play leaves behind: the playback reader open on the drive with its
  // table read, and the engine naming the drive and file.
  void Play(const char* drive, const char* file) {
    ASSERT_NE(0, playback_.SelectDrive(drive[0]));
    playback_.CloseDevice();
    ASSERT_EQ(1, playback_.OpenDevice());
    ASSERT_GT(playback_.ReadToc(), 0);
    playing_ = drive;
    current_ = file;
  }

  std::uint32_t Commands() const {
    return d_->CommandCount(-1) + e_->CommandCount(-1) + g_->CommandCount(-1);
  }
  void ResetCounters() {
    for (auto* drive : {d_.get(), e_.get(), g_.get()}) drive->ResetCounters();
  }

  std::string Title(const char* name, int* lengthMs = nullptr) {
    std::vector<char> buffer(GETFILEINFO_TITLE_LENGTH, '\x7F');
    titles::GetFileInfo(resolver_, name, buffer.data(), lengthMs);
    return codepage::AnsiToUtf8(buffer.data());  // the host's bytes are code page 932 here
  }
  int Extended(const char* name, const char* key, std::string* value) {
    char buffer[512];
    const int result = titles::GetExtendedFileInfo(resolver_, name, key, buffer, sizeof buffer);
    *value = codepage::AnsiToUtf8(buffer);
    return result;
  }
  void Priority(std::array<std::string, 4> order) { settings_.titlePriority = std::move(order); }

  devtest::FakeSystem system_;
  devtest::ScopedSystem scoped_{system_};
  std::shared_ptr<VirtualDrive> d_ = std::make_shared<VirtualDrive>();
  std::shared_ptr<VirtualDrive> e_ = std::make_shared<VirtualDrive>();
  std::shared_ptr<VirtualDrive> g_ = std::make_shared<VirtualDrive>();
  CDirectCDDA playback_;
  CDirectCDDA info_;
  PluginSettings settings_;
  FakeCddb cddb_;
  std::string current_;
  std::string playing_;
  TitleResolver resolver_{TitleResolverParts{&playback_, &info_, nullptr, &settings_,
                                             [this]() -> CddbLookup& { return cddb_; },
                                             [this] { return current_; }, [this] { return playing_; }}};
};

TEST_F(TitleRig, EveryTrackIsTitledFromTheFirstSourceThatAnswers) {
  int length = -1;
  EXPECT_EQ("トラック２ - 演奏者２", Title("cda://D,2", &length));
  EXPECT_EQ(2000, length);
  EXPECT_EQ("トラック４ - 演奏者４", Title("D:\\Track04.cda"));

  Priority({"CD-TEXT(EN)", "CD-TEXT(JP)", "default", "CDDB"});
  for (int track = 1; track <= 4; ++track) {
    const std::string name = "cda://D," + std::to_string(track);
    EXPECT_EQ("Track 0" + std::to_string(track) + " Title - Performer " + std::to_string(track), Title(name.c_str()));
  }
  settings_.cdtextTitleFormat = "%8 / %6";
  EXPECT_EQ("Virtual Test Disc / 3", Title("cda://D,3"));
  EXPECT_TRUE(cddb_.modes.empty()) << "CDDB sits below default";
}

TEST_F(TitleRig, NamesOfNoSourceAreSkippedAndSourcesBelowDefaultNeverAsked) {
  Priority({"bogus", "", "default", "CD-TEXT(JP)"});
  EXPECT_EQ("CD-DA TRACK - D:\\Track2", Title("cda://D,2"));

  Priority({"CDDB", "cd-text(jp)", "CD-TEXT(EN)", "default"});
  cddb_.answer = kCddbLookupStarted;
  EXPECT_EQ("Track 02 Title - Performer 2", Title("cda://D,2"));
  EXPECT_EQ(std::vector<int>{kQueryFileInfo}, cddb_.modes);

  Priority({"x", "y", "CD-TEXT", "defaults"});
  int length = -1;
  EXPECT_EQ("", Title("cda://D,2", &length));
  EXPECT_EQ(2000, length);
  std::string value = "unchanged";
  EXPECT_EQ(0, Extended("cda://D,2", "TYPE", &value));
  EXPECT_EQ("", value);
}

TEST_F(TitleRig, ADiscWithoutCdTextGetsTheDefaultTitleAndCddbIsNotAsked) {
  InsertIntoE(Disc(discgen::TextMode::None));
  int length = -1;
  EXPECT_EQ("CD-DA TRACK - e:\\Track3", Title("cda://e,3", &length));
  EXPECT_EQ(2000, length);
  EXPECT_TRUE(cddb_.modes.empty());
}

TEST_F(TitleRig, CddbAnswersFromItsResultOrReportsARunningLookup) {
  InsertIntoE(Disc(discgen::TextMode::None));
  Priority({"CDDB", "default", "", ""});
  cddb_.answer = kCddbFoundInCache;
  EXPECT_EQ("Cddb Song 2 - Cddb Band", Title("cda://E,2"));
  EXPECT_EQ("CD-DA TRACK - E:\\Track4", Title("cda://E,4")) << "the result has no such track";
  std::string value;
  EXPECT_EQ(1, Extended("cda://E,1", "album", &value));
  EXPECT_EQ("Cddb Album", value);

  cddb_.answer = kCddbBusy;
  EXPECT_EQ("CDDBを検索中です...", Title("cda://E,2"));
  EXPECT_EQ(1, Extended("cda://E,2", "TITLE", &value));
  EXPECT_EQ("CDDBを検索中です...", value);
  EXPECT_EQ(1, Extended("cda://E,2", "ARTIST", &value));
  EXPECT_EQ("", value);

  cddb_.answer = -1;
  EXPECT_EQ("CD-DA TRACK - E:\\Track2", Title("cda://E,2"));
  EXPECT_EQ((std::vector<int>{0, 0, 1, 0, 1, 1, 0}), cddb_.modes);
}

TEST_F(TitleRig, ExtendedInformationFromCdTextInAnyKeyCase) {
  std::string value;
  const struct {
    const char* key;
    int answer;
    const char* value;
  } cases[] = {{"TITLE", 1, "トラック３"}, {"title", 1, "トラック３"},    {"Artist", 1, "演奏者３"},
               {"album", 1, "仮想テストディスク"}, {"type", 1, "CDDA"}, {"Length", 1, "2000"},
               {"TRACKNO", 1, "3"},          {"comment", 0, ""},          {nullptr, 0, ""}};
  for (const auto& c : cases) {
    const char* shown = c.key ? c.key : "(null)";
    EXPECT_EQ(c.answer, Extended("cda://D,3", c.key, &value)) << shown;
    EXPECT_EQ(c.value, value) << shown;
  }
}

TEST_F(TitleRig, DefaultTitleForExtendedInformationOnlyWhenSwitchedOn) {
  InsertIntoE(Disc(discgen::TextMode::None));
  std::string value;
  settings_.extendedFileInfoDefault = false;
  EXPECT_EQ(0, Extended("cda://E,3", "TITLE", &value));
  EXPECT_EQ("", value);
  EXPECT_EQ(1, Extended("cda://E,3", "LENGTH", &value));
  EXPECT_EQ("2000", value);
  EXPECT_EQ(1, Extended("cda://E,3", "TRACKNO", &value));
  EXPECT_EQ("3", value);
  settings_.titlePriority = {"default", "CDDB", "", ""};
  EXPECT_EQ(0, Extended("cda://E,3", "TITLE", &value)) << "the search ends at default even without an answer";
  EXPECT_TRUE(cddb_.modes.empty());

  settings_.extendedFileInfoDefault = true;
  settings_.extendedFileInfoDefaultTitle = "%1%2%3%4%5%8[%6]%7";
  EXPECT_EQ(1, Extended("cda://E,3", "Title", &value));
  EXPECT_EQ("[3]E", value);
  EXPECT_EQ(0, Extended("cda://E,3", "ARTIST", &value));
  EXPECT_EQ(0, Extended("cda://E,3", "ALBUM", &value));
}

TEST_F(TitleRig, DataTracksAreLabelledYetKeepTheirLengthAndType) {
  InsertIntoE(Disc(discgen::TextMode::None, discgen::Layout::DataFirst));
  int length = -1;
  EXPECT_EQ("DATA TRACK", Title("cda://E,1", &length));
  EXPECT_EQ(6000, length) << "300 data frames and the 2 s pregap of the first audio track";
  std::string value;
  EXPECT_EQ(1, Extended("cda://E,1", "TYPE", &value));
  EXPECT_EQ("CDDA", value);
  EXPECT_EQ("CD-DA TRACK - E:\\Track2", Title("cda://E,2"));
}

TEST_F(TitleRig, TrackNumbersOutsideTheDisc) {
  int length = -1;
  EXPECT_EQ("指定されたトラックは存在しません。", Title("cda://D,5", &length));
  EXPECT_EQ(0, length);
  Title("cda://D,0", &length);
  EXPECT_EQ(0, length) << "track 0 has no table-of-contents entry";
  Priority({"default", "", "", ""});
  EXPECT_EQ("CD-DA TRACK - D:\\Track0", Title("cda://D,0"));
  // The playing drive is not examined, yet its table knows its last track:
  // neither a track beyond it nor the lead-out's key gets a title.
  Play("D", "cda://D,1");
  ResetCounters();
  EXPECT_EQ("指定されたトラックは存在しません。", Title("cda://D,5", &length));
  EXPECT_EQ(0, length);
  Title("cda://D,170", &length);
  EXPECT_EQ(0, length);
  EXPECT_EQ(0u, Commands());
}

TEST_F(TitleRig, MissingDrivesAndEmptyDrivesAreReportedAsTheTitle) {
  int length = -1;
  EXPECT_EQ("指定されたデバイスは存在しません。", Title("cda://F,1", &length));
  EXPECT_EQ(0, length);
  EXPECT_EQ("指定されたデバイスにCDが存在しません。", Title("cda://G,1", &length));
  EXPECT_EQ(0, length);
  std::string value;
  EXPECT_EQ(0, Extended("cda://G,1", "TYPE", &value));
  EXPECT_EQ("指定されたデバイスにCDが存在しません。", value);
  EXPECT_EQ("", Title("cda://D"));
  EXPECT_EQ("", Title("http://example.com/x.mp3"));
}

TEST_F(TitleRig, OneNamedSourceForTheInformationDialog) {
  TrackDescription record;
  EXPECT_EQ(1, resolver_.Resolve(kQueryInfoDialog, "cda://D,1", "CD-TEXT(EN)", nullptr, record));
  EXPECT_EQ("Track 01 Title - Performer 1", record.text);
  EXPECT_EQ("Songwriter One", record.track.songwriter);
  EXPECT_EQ(0, resolver_.Resolve(kQueryInfoDialog, "cda://D,1", "CDDB", nullptr, record));
  EXPECT_EQ("タイトル情報がありません", record.text);
  EXPECT_EQ(std::vector<int>{kQueryInfoDialog}, cddb_.modes);
  EXPECT_EQ(0, resolver_.Resolve(kQueryInfoDialog, "cda://D,1", "CD-TEXT", nullptr, record));
  EXPECT_EQ("タイトル情報がありません", record.text);
  EXPECT_EQ(0, resolver_.Resolve(kQueryInfoDialog, "cda://D,1", "nothing", "TITLE", record));
  EXPECT_EQ("", record.text);
}

// The information box's lookup talks to the server and runs the status
// window's message loop, from which the host calls in again: the drive lock
// is free meanwhile. A background lookup is only started and keeps it.
TEST_F(TitleRig, OnlyTheImmediateLookupLetsGoOfTheDriveLockAndSettingsAreReadAsACopy) {
  CCriticalSection lock;
  ASSERT_TRUE(lock.Create());
  std::mutex settingsMutex;
  TitleResolver locked{TitleResolverParts{&playback_, &info_, &lock, &settings_,
                                          [this]() -> CddbLookup& { return cddb_; }, [this] { return current_; },
                                          [this] { return playing_; }, &settingsMutex}};
  std::vector<bool> free;
  cddb_.during = [&] { free.push_back(lock.Probe(0) == kWaitSignalled); };
  TrackDescription record;
  locked.Resolve(kQueryInfoDialog, "cda://D,1", "CDDB", nullptr, record);
  Priority({"CDDB", "default", "", ""});
  locked.Resolve(kQueryFileInfo, "cda://D,1", nullptr, nullptr, record);
  EXPECT_EQ((std::vector<bool>{true, false}), free);
  EXPECT_EQ(kWaitSignalled, lock.Probe(0)) << "the lock is given back once";

  // The sheet publishes while queries run elsewhere (ThreadSanitizer).
  cddb_.during = nullptr;
  std::thread sheet([&] {
    for (int i = 0; i < 200; ++i) {
      std::lock_guard<std::mutex> hold(settingsMutex);
      settings_.defaultTitleFormat = i % 2 ? "odd %6" : "even %6";
    }
  });
  for (int i = 0; i < 50; ++i) {
    locked.Resolve(kQueryFileInfo, "cda://D,1", nullptr, nullptr, record);
    EXPECT_TRUE(record.text == "odd 1" || record.text == "even 1" || record.text == "CD-DA TRACK - D:\\Track1")
        << record.text;
  }
  sheet.join();
}

TEST_F(TitleRig, AnEmptyOrNullNameMeansTheFileBeingPlayed) {
  Play("D", "cda://D,3");
  int length = -1;
  EXPECT_EQ("トラック３ - 演奏者３", Title("", &length));
  EXPECT_EQ(2000, length);
  EXPECT_EQ("トラック３ - 演奏者３", Title(nullptr));
  std::string value;
  EXPECT_EQ(1, Extended(nullptr, "TRACKNO", &value));
  EXPECT_EQ("3", value);
}

TEST_F(TitleRig, QueriesAboutThePlayingDriveSendNoCommand) {
  InsertIntoE(Disc(discgen::TextMode::English));
  Play("D", "cda://D,1");
  ResetCounters();
  std::string value;
  for (int track = 1; track <= 4; ++track) {
    const std::string name = "cda://D," + std::to_string(track);
    EXPECT_FALSE(Title(name.c_str()).empty());
    EXPECT_EQ(1, Extended(name.c_str(), "ALBUM", &value));
  }
  EXPECT_EQ("仮想テストディスク", value);
  EXPECT_EQ(0u, Commands());

  // Another drive is read once; asking it again right away needs nothing.
  EXPECT_EQ("Track 02 Title - Performer 2", Title("cda://E,2"));
  const std::uint32_t perRead = e_->CommandCount(-1);
  EXPECT_GT(perRead, 0u);
  EXPECT_EQ("Track 03 Title - Performer 3", Title("cda://E,3"));
  EXPECT_EQ(perRead, e_->CommandCount(-1));
  EXPECT_EQ(0u, d_->CommandCount(-1));
  // After a query about the playing drive the other one is read again.
  Title("cda://D,1");
  Title("cda://E,3");
  EXPECT_EQ(2 * perRead, e_->CommandCount(-1));

  // A drive text in another case is another text: that drive is examined.
  Title("cda://d,1");
  EXPECT_GT(d_->CommandCount(-1), 0u);
}

TEST_F(TitleRig, NothingPlayingEveryQueryReadsTheDrive) {
  ResetCounters();
  Title("cda://D,1");
  const std::uint32_t perRead = d_->CommandCount(-1);
  Title("cda://D,1");
  EXPECT_EQ(2 * perRead, d_->CommandCount(-1));
}

TEST_F(TitleRig, AfterPlaybackMovesToAnotherDriveTheLastDriveIsReadAgain) {
  InsertIntoE(Disc(discgen::TextMode::English));
  Title("cda://E,2");  // the information reader holds E's disc
  Play("D", "cda://D,1");
  Title("cda://D,1");  // the last query names D, answered by the playback reader
  Play("E", "cda://E,1");
  ResetCounters();
  // D was asked last, but only the playback reader ever held its table.
  EXPECT_EQ("トラック２ - 演奏者２", Title("cda://D,2"));
  EXPECT_GT(d_->CommandCount(-1), 0u);
}

TEST_F(TitleRig, CopiesNeverOverrunTheHostsBuffersNorSplitACharacter) {
  settings_.cdtextTitleFormat.clear();
  for (int i = 0; i < 500; ++i) settings_.cdtextTitleFormat += "%1";  // "トラック１" is 10 bytes in 932
  std::vector<char> title(GETFILEINFO_TITLE_LENGTH + 16, '\x7F');
  titles::GetFileInfo(resolver_, "cda://D,1", title.data(), nullptr);
  EXPECT_EQ(GETFILEINFO_TITLE_LENGTH - 2, std::strlen(title.data())) << "2047 would split a character";
  EXPECT_EQ('\x7F', title[GETFILEINFO_TITLE_LENGTH]);

  char value[8];
  std::memset(value, '\x7F', sizeof value);
  EXPECT_EQ(1, titles::GetExtendedFileInfo(resolver_, "cda://D,2", "ARTIST", value, 6));
  EXPECT_EQ(codepage::Utf8ToAnsi("演奏"), value);  // "演奏者２" cut before a whole character
  EXPECT_EQ('\x7F', value[6]);
  std::memset(value, '\x7F', sizeof value);
  EXPECT_EQ(1, titles::GetExtendedFileInfo(resolver_, "cda://D,2", "ARTIST", value, 1));
  EXPECT_EQ('\0', value[0]);
  EXPECT_EQ('\x7F', value[1]);
  std::memset(value, '\x7F', sizeof value);
  EXPECT_EQ(1, titles::GetExtendedFileInfo(resolver_, "cda://D,2", "ARTIST", value, 0));
  EXPECT_EQ(1, titles::GetExtendedFileInfo(resolver_, "cda://D,2", "ARTIST", value, -5));
  EXPECT_EQ('\x7F', value[0]);
  EXPECT_EQ(1, titles::GetExtendedFileInfo(resolver_, "cda://D,2", "ARTIST", nullptr, 64));
  int length = -1;
  titles::GetFileInfo(resolver_, "cda://D,2", nullptr, &length);
  EXPECT_EQ(2000, length);
}

}  // namespace
