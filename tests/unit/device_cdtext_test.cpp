#include <gtest/gtest.h>

#include "device/cd_text.h"
#include "device/cd_text_device.h"
#include "device/mmc_commands.h"
#include "device_test_support.h"

namespace {

using devtest::Bytes;
using devtest::CdTextBlock;
using namespace std::string_literals;

// Entry 0 "<prefix>0", then one string per track, each terminated.
std::string Numbered(const std::string& prefix, int last) {
  std::string text;
  for (int i = 0; i <= last; ++i) text += prefix + std::to_string(i) + '\0';
  return text;
}

CdTextBlock English(int last) {
  CdTextBlock block;
  block.lastTrack = last;
  block.text[0x80] = Numbered("Title ", last);
  block.text[0x81] = Numbered("Artist ", last);
  return block;
}

CdTextStore Decode(const Bytes& reply) {
  CdTextStore store;
  DecodeCdText(reply.data(), reply.size(), store);
  return store;
}

TEST(DeviceCdText, EnglishOnlyDiscOfTwelveTracks) {
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped(system);
  CdTextDevice device;
  devtest::ScriptedTransport* t = devtest::AttachDriveD(device, system);
  const mmc::Cdb10 cdb = mmc::ReadCdText();
  const Bytes key(cdb.begin(), cdb.end());
  t->replies[key] = devtest::CdTextReply({English(12)});

  EXPECT_EQ(-1, device.ReadToc());  // no TOC scripted: CD-TEXT is read all the same
  ASSERT_EQ(1, device.HasCdText());
  EXPECT_EQ(key, t->sent.back().cdb);
  EXPECT_EQ("SendToDrive", t->sent.back().via);
  EXPECT_EQ(36720u, t->sent.back().dataLength);
  EXPECT_TRUE(t->sent.back().alignedAndZeroed);

  TitleInfo info;
  ASSERT_EQ(1, device.GetCdText(0, kLanguageEnglish, &info));
  EXPECT_EQ("Title 0", info.title);
  EXPECT_EQ("Artist 0", info.performer);
  EXPECT_EQ("", info.songwriter);
  ASSERT_EQ(1, device.GetCdText(12, kLanguageEnglish, &info));
  EXPECT_EQ("Title 12", info.title);
  info.title = "kept";
  EXPECT_EQ(0, device.GetCdText(13, kLanguageEnglish, &info));
  EXPECT_EQ(0, device.GetCdText(-1, kLanguageEnglish, &info));
  EXPECT_EQ(0, device.GetCdText(0, kLanguageJapanese, &info));
  EXPECT_EQ("kept", info.title);

  t->failing.insert(key);  // emptied at every read
  device.ReadToc();
  EXPECT_EQ(0, device.HasCdText());
}

TEST(DeviceCdTextDecoder, EnglishAndJapaneseBlocksEachFromItsOwn) {
  CdTextBlock en = English(2), ja;
  ja.lastTrack = 2;
  ja.doubleByte = true;
  ja.text[0x80] = "\x83\x41\x83\x8B\0\0\x8B\xC8\x82\x50\0\0\x8B\xC8\x82\x51\0\0"s;
  en.languages = ja.languages = {0x09, 0x69};
  CdTextStore store = Decode(devtest::CdTextReply({en, ja}));
  ASSERT_EQ(2u, store.size());
  ASSERT_EQ(3u, store[0x69].size());
  EXPECT_EQ("Title 2", store[0x09].at(2).title);
  EXPECT_EQ("アル", store[0x69][0].title);  // decoded from Shift-JIS into UTF-8
  EXPECT_EQ("曲２", store[0x69][2].title);

  // Each block by its own character code: ISO 8859-1; ASCII, where a byte beyond it is none.
  for (const auto& code : {std::make_pair(0x00, u8"Caf\u00E9"), std::make_pair(0x01, u8"Caf\uFFFD")}) {
    CdTextBlock latin = English(0);
    latin.characterCode = static_cast<std::uint8_t>(code.first);
    latin.text[0x80] = "Caf\xE9"s + '\0';
    latin.languages = {0x09};
    EXPECT_EQ(code.second, Decode(devtest::CdTextReply({latin}))[0x09][0].title) << code.first;
  }

  // A language met again goes after the first block's entries.
  en.languages = ja.languages = {0x09, 0x09};
  EXPECT_EQ(6u, Decode(devtest::CdTextReply({en, ja}))[0x09].size());
}

// How a Japanese block says that it is double-byte. Discs in the wild carry
// the flag on the text packs only and say MS-JIS in the character code.
struct JapaneseForm {
  const char* name;
  bool textPacksFlag;
  bool sizePacksFlag;
  std::uint8_t characterCode;
};

class DeviceCdTextJapaneseForms : public ::testing::TestWithParam<JapaneseForm> {};

TEST_P(DeviceCdTextJapaneseForms, EveryEntryOfBothLanguagesLandsOnItsTrack) {
  const JapaneseForm form = GetParam();
  CdTextBlock ja;
  ja.lastTrack = 3;
  ja.doubleByte = form.textPacksFlag;
  ja.sizePacksMarked = form.sizePacksFlag;
  ja.characterCode = form.characterCode;
  // Disc "アル", track 1 without a title, tracks 2 and 3 "曲２" "曲３".
  ja.text[0x80] = "\x83\x41\x83\x8B\0\0\0\0\x8B\xC8\x82\x51\0\0\x8B\xC8\x82\x52\0\0"s;
  ja.text[0x81] = "\x89\xB9\0\0\x89\xB9\x82\x50\0\0\x89\xB9\x82\x51\0\0\x89\xB9\x82\x52\0\0"s;
  ja.text[0x82] = "\0\0\x8D\xEC\0\0\0\0\0\0"s;
  const CdTextBlock en = English(3);
  const std::vector<std::string> jaTitles = {"アル", "", "曲２", "曲３"};
  const std::vector<std::string> jaPerformers = {"音", "音１", "音２", "音３"};

  // Both block orders: the Japanese block's flag must not carry over into
  // an English block that follows it.
  for (bool japaneseFirst : {false, true}) {
    std::vector<CdTextBlock> blocks = japaneseFirst ? std::vector<CdTextBlock>{ja, en} : std::vector<CdTextBlock>{en, ja};
    for (auto& b : blocks) b.languages = japaneseFirst ? std::vector<std::uint8_t>{0x69, 0x09} : std::vector<std::uint8_t>{0x09, 0x69};
    CdTextStore store = Decode(devtest::CdTextReply(blocks));
    SCOPED_TRACE(std::string(form.name) + (japaneseFirst ? ", Japanese first" : ", English first"));
    ASSERT_EQ(4u, store[0x69].size());
    ASSERT_EQ(4u, store[0x09].size());
    for (std::size_t k = 0; k < 4; ++k) {
      EXPECT_EQ(jaTitles[k], store[0x69][k].title) << k;
      EXPECT_EQ(jaPerformers[k], store[0x69][k].performer) << k;
      EXPECT_EQ(k == 1 ? "作" : "", store[0x69][k].songwriter) << k;
      EXPECT_EQ("Title " + std::to_string(k), store[0x09][k].title);
      EXPECT_EQ("Artist " + std::to_string(k), store[0x09][k].performer);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DeviceCdTextJapaneseForms,
    ::testing::Values(JapaneseForm{"flag on every pack", true, true, 0x80},
                      JapaneseForm{"flag on text packs, MS-JIS", true, false, 0x80},
                      JapaneseForm{"flag on text packs only", true, false, 0x00},
                      JapaneseForm{"MS-JIS without any flag", false, false, 0x80}),
    [](const ::testing::TestParamInfo<JapaneseForm>& info) { return "Form" + std::to_string(info.index); });

std::vector<std::string> Titles(const std::string& text, bool doubleByte, int last = 3) {
  CdTextBlock block;
  block.lastTrack = last;
  block.doubleByte = doubleByte;
  block.text[0x80] = text;
  std::vector<std::string> titles;
  CdTextStore store = Decode(devtest::CdTextReply({block}));
  for (const TitleInfo& info : store[0x09]) titles.push_back(info.title);
  return titles;
}

TEST(DeviceCdTextDecoder, TerminatorsTabsAndPairs) {
  // An empty string moves the rest along; a tab is an ordinary character.
  EXPECT_EQ((std::vector<std::string>{"A", "", "B\t", "\t"}), Titles("A\0\0B\t\0\t\0"s, false));
  // Double-byte: 00 00 ends a string, and so does a pair with one zero.
  EXPECT_EQ((std::vector<std::string>{"あ", "", "いう", ""}),
            Titles("\x82\xA0\0\0\0A\x82\xA2\x82\xA4\0\0"s, true));
  // Pairs count from the start of the type's text, across packs.
  EXPECT_EQ((std::vector<std::string>{u8"x\uFFFD", "", ""}), Titles("x\x82\xA0\0\0A"s, true, 2));
  EXPECT_EQ((std::vector<std::string>{"abcdefghijあい", ""}),
            Titles("abcdefghij\x82\xA0\x82\xA2\0\0"s, true, 1));
}

TEST(DeviceCdTextDecoder, AtMostOneHundredAndSixEntriesPerBlock) {
  CdTextStore store = Decode(devtest::CdTextReply({English(120)}));
  ASSERT_EQ(106u, store[0x09].size());
  EXPECT_EQ("Title 105", store[0x09][105].title);
  // More strings than tracks: the extra ones are dropped.
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), Titles("a\0b\0c\0d\0"s, false, 1));
}

// Replies of any length decode without reading past them; what cannot be
// decoded whole leaves the store empty.
TEST(DeviceCdTextDecoder, DamagedRepliesGiveAnEmptyStore) {
  const Bytes good = devtest::CdTextReply({English(3)});
  ASSERT_EQ(1u, Decode(good).size());
  for (std::size_t cut = 0; cut < good.size(); ++cut)  // the size information is last
    EXPECT_TRUE(Decode(Bytes(good.begin(), good.begin() + cut)).empty()) << cut;

  auto withLength = [&](std::size_t length) {
    Bytes reply = good;
    reply[0] = static_cast<std::uint8_t>(length >> 8);
    reply[1] = static_cast<std::uint8_t>(length);
    return Decode(reply);
  };
  EXPECT_TRUE(withLength(0).empty());
  EXPECT_TRUE(withLength(1).empty());
  EXPECT_EQ(1u, withLength(0xFFFF).size());               // bounded by the buffer
  EXPECT_TRUE(withLength(good.size() - 2 - 9).empty());   // half the last pack

  CdTextBlock block = English(3);
  Bytes noSize = devtest::CdTextReply({block});
  noSize.resize(noSize.size() - 3 * 18);
  noSize[1] = static_cast<std::uint8_t>(noSize.size() - 2);
  noSize[0] = static_cast<std::uint8_t>((noSize.size() - 2) >> 8);
  EXPECT_TRUE(Decode(noSize).empty());

  // A ninth block has no language slot and is ignored.
  std::vector<CdTextBlock> nine(9, English(1));
  for (auto& b : nine) b.languages = {1, 2, 3, 4, 5, 6, 7, 8};
  CdTextStore store = Decode(devtest::CdTextReply(nine));
  EXPECT_EQ(8u, store.size());
  EXPECT_EQ(2u, store[8].size());
}

}  // namespace
