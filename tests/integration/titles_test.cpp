// Titles and extended file information through the real DLL: virtual
// drives over ASPI and over the pass-through, discs with and without
// CD-TEXT, and the user's order of title sources from winamp.ini.
#include <gtest/gtest.h>

#include <string>

#include "tests/host/recording_output.h"
#include "tests/host/test_host.h"
#include "tests/integration/transports.h"
#include "tests/integration/virtual_aspi.h"
#include "util/codepage.h"

namespace {

using ExtendedInfo = int (*)(const char*, const char*, char*, int);

std::string IniPath() { return TestHost::ProgramDirectory() + "\\winamp.ini"; }

// D: a disc with English and Japanese CD-TEXT, E: a disc without, F: an
// empty drive; G: is no CD drive at all.
class TitlesTest : public ::testing::TestWithParam<transports::Transport> {
 protected:
  static void SetUpTestSuite() {
    discgen::DiscOptions options;
    options.audioTracks = 4;
    options.trackFrames = 150;
    options.text = discgen::TextMode::EnglishJapanese;
    texted_ = virtual_aspi::MakeDisc(options, "titles_enja");
    options.text = discgen::TextMode::None;
    plain_ = virtual_aspi::MakeDisc(options, "titles_plain");
  }
  void SetUp() override {
    ASSERT_FALSE(texted_.empty());
    ASSERT_FALSE(plain_.empty());
    ASSERT_EQ(3, virtual_aspi::Configure("[0:0:0]\r\nletter=D\r\ncue=" + texted_ + "\r\n[0:1:0]\r\nletter=E\r\ncue=" +
                                         plain_ + "\r\n[0:2:0]\r\nletter=F\r\n"));
    ASSERT_TRUE(host_.CreateMainWindow());
  }
  void TearDown() override {
    if (in_) in_->Quit();
    host_.UnloadInputPlugin();
    DeleteFileA(IniPath().c_str());
  }

  void Start(const std::string& extraSettings) {
    const std::string drives = transports::DriveSettings(GetParam(), {{'D', "0:0:0"}, {'E', "0:1:0"}, {'F', "0:2:0"}});
    ini_file::Write(IniPath(), "[QZ_CDDAPLAYER]\r\n" + drives + extraSettings);
    in_ = host_.LoadInputPlugin();
    ASSERT_NE(nullptr, in_);
    in_->Init();
    extended_ = reinterpret_cast<ExtendedInfo>(
        reinterpret_cast<void*>(GetProcAddress(host_.InputLibrary(), "winampGetExtendedFileInfo")));
    ASSERT_NE(nullptr, extended_);
  }
  std::string Title(const std::string& name, int* length = nullptr) {
    char title[GETFILEINFO_TITLE_LENGTH];
    std::string copy = name;
    in_->GetFileInfo(&copy[0], title, length);
    return codepage::AnsiToUtf8(title);  // this prefix's code page, 932
  }
  int Extended(const std::string& name, const char* key, std::string* value) {
    char buffer[256];
    const int result = extended_(name.c_str(), key, buffer, sizeof buffer);
    *value = codepage::AnsiToUtf8(buffer);
    return result;
  }

  static std::string texted_;
  static std::string plain_;
  TestHost host_;
  In_Module* in_ = nullptr;
  ExtendedInfo extended_ = nullptr;
};

std::string TitlesTest::texted_;
std::string TitlesTest::plain_;

INSTANTIATE_TEST_SUITE_P(Transports, TitlesTest, transports::kBoth, transports::ParamName);

// A full-width digit (U+FF10 + n).
std::string Wide(int n) { return std::string("\xEF\xBC") + static_cast<char>(0x90 + n); }

TEST_P(TitlesTest, JapaneseCdTextFirstByDefault) {
  Start("");
  for (int track = 1; track <= 4; ++track) {
    const std::string name = "cda://D," + std::to_string(track);
    int length = -1;
    EXPECT_EQ("トラック" + Wide(track) + " - 演奏者" + Wide(track), Title(name, &length));
    EXPECT_EQ(2000, length);
    std::string value;
    EXPECT_EQ(1, Extended(name, "TITLE", &value));
    EXPECT_EQ("トラック" + Wide(track), value);
    EXPECT_EQ(1, Extended(name, "artist", &value));
    EXPECT_EQ("演奏者" + Wide(track), value);
    EXPECT_EQ(1, Extended(name, "Album", &value));
    EXPECT_EQ("仮想テストディスク", value);
    EXPECT_EQ(1, Extended(name, "TRACKNO", &value));
    EXPECT_EQ(std::to_string(track), value);
    EXPECT_EQ(1, Extended(name, "LENGTH", &value));
    EXPECT_EQ("2000", value);
  }
  EXPECT_EQ("トラック３ - 演奏者３", Title("D:\\Track03.cda"));
}

// The disc's Japanese block is written as authoring software writes it:
// the double-byte flag on its text packs only. Every field of every track
// must land on its own track in both languages.
TEST_P(TitlesTest, EveryTrackTitlePerformerAndSongwriterInBothLanguages) {
  for (const char* first : {"CD-TEXT(JP)", "CD-TEXT(EN)"}) {
    const bool japanese = std::string(first) == "CD-TEXT(JP)";
    if (in_) {
      in_->Quit();
      host_.UnloadInputPlugin();
    }
    Start(std::string("CDTEXT_TitleFormat=%1|%2|%3\r\nTitlePriority0=") + first + "\r\n");
    for (int track = 1; track <= 4; ++track) {
      const std::string name = "cda://D," + std::to_string(track);
      const std::string expected =
          japanese ? "トラック" + Wide(track) + "|演奏者" + Wide(track) + "|" + (track % 2 ? "作詞者" + Wide(track) : "")
                   : "Track 0" + std::to_string(track) + " Title|Performer " + std::to_string(track) + "|" +
                         (track == 1 ? "Songwriter One" : "");
      EXPECT_EQ(expected, Title(name)) << first << " track " << track;
    }
    std::string value;
    EXPECT_EQ(1, Extended("cda://D,3", "ALBUM", &value));
    EXPECT_EQ(japanese ? "仮想テストディスク" : "Virtual Test Disc", value);
  }
}

TEST_P(TitlesTest, TheOrderOfSourcesComesFromWinampIni) {
  Start("TitlePriority0=CD-TEXT(EN)\r\nTitlePriority1=CD-TEXT(JP)\r\nTitlePriority2=default\r\n"
        "TitlePriority3=CDDB\r\nCDTEXT_TitleFormat=%6. %1 (%8)\r\n");
  for (int track = 1; track <= 4; ++track) {
    const std::string name = "cda://d," + std::to_string(track);
    EXPECT_EQ(std::to_string(track) + ". Track 0" + std::to_string(track) + " Title (Virtual Test Disc)", Title(name));
    std::string value;
    EXPECT_EQ(1, Extended(name, "title", &value));
    EXPECT_EQ("Track 0" + std::to_string(track) + " Title", value);
  }
}

TEST_P(TitlesTest, DefaultFirstHidesCdText) {
  Start("TitlePriority0=default\r\nTitlePriority1=CD-TEXT(JP)\r\nExtendedFileInfoDefault=true\r\n");
  EXPECT_EQ("CD-DA TRACK - D:\\Track2", Title("cda://D,2"));
  std::string value;
  EXPECT_EQ(1, Extended("cda://D,2", "TITLE", &value));
  EXPECT_EQ("CD-DA TRACK - D:\\Track2", value);
  EXPECT_EQ(0, Extended("cda://D,2", "ARTIST", &value));
}

TEST_P(TitlesTest, ADiscWithoutCdTextGetsTheDefaultTitle) {
  Start("");
  int length = -1;
  EXPECT_EQ("CD-DA TRACK - e:\\Track2", Title("cda://e,2", &length));
  EXPECT_EQ(2000, length);
  std::string value;
  EXPECT_EQ(0, Extended("cda://E,2", "TITLE", &value)) << "the host then shows the GetFileInfo title";
  EXPECT_EQ("", value);
  EXPECT_EQ(1, Extended("cda://E,2", "TYPE", &value));
  EXPECT_EQ("CDDA", value);
}

TEST_P(TitlesTest, MissingDrivesDiscsAndTracksAreReportedInTheTitle) {
  Start("");
  int length = -1;
  EXPECT_EQ("指定されたデバイスは存在しません。", Title("cda://G,1", &length));
  EXPECT_EQ(0, length);
  EXPECT_EQ("指定されたデバイスにCDが存在しません。", Title("cda://F,1", &length));
  EXPECT_EQ(0, length);
  EXPECT_EQ("指定されたトラックは存在しません。", Title("cda://D,5", &length));
  EXPECT_EQ(0, length);
  std::string value;
  EXPECT_EQ(0, Extended("cda://F,1", "TYPE", &value));
}

TEST_P(TitlesTest, WhileATrackPlaysQueriesAboutItsDriveSendNoCommand) {
  recording_output::Reset();
  recording_output::SetPace(1.0);  // the 2 s track is still playing while we ask
  Start("");
  char playing[] = "cda://D,2";
  ASSERT_EQ(0, in_->Play(playing));
  const unsigned tur = virtual_aspi::CommandCount(0, 0, 0, 0x00);
  const unsigned toc = virtual_aspi::CommandCount(0, 0, 0, 0x43);
  for (int track = 1; track <= 4; ++track) {
    const std::string name = "cda://D," + std::to_string(track);
    EXPECT_EQ("トラック" + Wide(track) + " - 演奏者" + Wide(track), Title(name));
    std::string value;
    EXPECT_EQ(1, Extended(name, "ALBUM", &value));
    EXPECT_EQ("仮想テストディスク", value);
  }
  int length = -1;
  EXPECT_EQ("トラック２ - 演奏者２", Title("", &length)) << "an empty name is the file being played";
  EXPECT_EQ(2000, length);
  EXPECT_EQ(tur, virtual_aspi::CommandCount(0, 0, 0, 0x00));
  EXPECT_EQ(toc, virtual_aspi::CommandCount(0, 0, 0, 0x43));

  EXPECT_EQ("CD-DA TRACK - E:\\Track1", Title("cda://E,1")) << "another drive is examined as ever";
  EXPECT_GT(virtual_aspi::CommandCount(0, 1, 0, 0x43), 0u);
  in_->Stop();
}

}  // namespace
