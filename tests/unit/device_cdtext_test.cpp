#include <gtest/gtest.h>

#include "device/cd_text.h"
#include "device/cd_text_device.h"
#include "device_test_support.h"

namespace {

using devtest::Bytes;
using devtest::CdTextBlock;

const Bytes kCdTextCdb{0x43, 0, 0x05, 0, 0, 0, 0, 0x8F, 0x70, 0};

std::vector<std::string> Numbered(const std::string& prefix, int n) {
  std::vector<std::string> out;
  for (int i = 0; i <= n; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

CdTextBlock EnglishBlock(int tracks = 12) {
  CdTextBlock block;
  block.lastTrack = static_cast<std::uint8_t>(tracks);
  block.texts[0x80] = Numbered("Title ", tracks);
  block.texts[0x81] = Numbered("Artist ", tracks);
  return block;
}

CdTextStore Decode(const Bytes& reply) {
  CdTextStore store;
  DecodeCdText(reply.data(), reply.size(), store);
  return store;
}

class DeviceCdText : public ::testing::Test {
 protected:
  devtest::FakeSystem system;
  devtest::ScopedSystem scoped{system};
  CdTextDevice device;
  devtest::ScriptedTransport* transport = devtest::AttachDriveD(device, system);
};

TEST_F(DeviceCdText, EnglishOnlyDiscOfTwelveTracks) {
  transport->Reply(kCdTextCdb, devtest::CdTextReply(devtest::CdTextPacks({EnglishBlock()})));
  EXPECT_EQ(-1, device.ReadToc());  // no TOC scripted: CD-TEXT is read all the same
  ASSERT_EQ(1, device.HasCdText());
  const devtest::SentCommand& sent = transport->sent.back();
  EXPECT_EQ(kCdTextCdb, sent.cdb);
  EXPECT_EQ("SendToDrive", sent.via);
  EXPECT_EQ(36720u, sent.dataLength);
  EXPECT_TRUE(sent.aligned);
  EXPECT_TRUE(sent.zeroFilled);

  TitleInfo info;
  ASSERT_EQ(1, device.GetCdText(0, kLanguageEnglish, &info));
  EXPECT_EQ("Title 0", info.title);
  EXPECT_EQ("Artist 0", info.performer);
  EXPECT_EQ("", info.songwriter);
  ASSERT_EQ(1, device.GetCdText(12, kLanguageEnglish, &info));
  EXPECT_EQ("Title 12", info.title);
  EXPECT_EQ("Artist 12", info.performer);

  info.title = "kept";
  EXPECT_EQ(0, device.GetCdText(13, kLanguageEnglish, &info));
  EXPECT_EQ(0, device.GetCdText(-1, kLanguageEnglish, &info));
  EXPECT_EQ(0, device.GetCdText(0, kLanguageJapanese, &info));
  EXPECT_EQ("kept", info.title);

  // The store is emptied at every read.
  transport->failing.insert(kCdTextCdb);
  device.ReadToc();
  EXPECT_EQ(0, device.HasCdText());
}

TEST(DeviceCdTextDecoder, EnglishAndJapaneseBlocksEachFromItsOwn) {
  CdTextBlock en = EnglishBlock(2);
  en.languages = {0x09, 0x69};
  CdTextBlock ja;
  ja.index = 1;
  ja.lastTrack = 2;
  ja.doubleByte = true;
  ja.languages = {0x09, 0x69};
  ja.texts[0x80] = {"\x83\x41\x83\x8B", "\x8B\xC8\x82\x50", "\x8B\xC8\x82\x51"};
  CdTextStore store = Decode(devtest::CdTextReply(devtest::CdTextPacks({en, ja})));
  ASSERT_EQ(2u, store.size());
  ASSERT_EQ(3u, store[0x09].size());
  ASSERT_EQ(3u, store[0x69].size());
  EXPECT_EQ("Title 2", store[0x09][2].title);
  EXPECT_EQ("\x83\x41\x83\x8B", store[0x69][0].title);
  EXPECT_EQ("\x8B\xC8\x82\x51", store[0x69][2].title);
  EXPECT_EQ("", store[0x69][2].performer);
}

TEST(DeviceCdTextDecoder, TerminatorsTabsAndPairs) {
  // Single-byte: an empty string moves the rest along; a tab is text.
  CdTextBlock block;
  block.lastTrack = 3;
  block.raw = Bytes{'A', 0, 0, 'B', '\t', 0, '\t', 0};
  CdTextStore store = Decode(devtest::CdTextReply(devtest::CdTextPacks({block})));
  ASSERT_EQ(4u, store[0x09].size());
  EXPECT_EQ("A", store[0x09][0].title);
  EXPECT_EQ("", store[0x09][1].title);
  EXPECT_EQ("B\t", store[0x09][2].title);
  EXPECT_EQ("\t", store[0x09][3].title);

  // Double-byte: 00 00 ends a string, and so does a pair with one zero
  // byte (00 41).
  block.doubleByte = true;
  block.raw = Bytes{0x82, 0xA0, 0x00, 0x00, 0x00, 0x41, 0x82, 0xA2, 0x82, 0xA4, 0x00, 0x00};
  store = Decode(devtest::CdTextReply(devtest::CdTextPacks({block})));
  ASSERT_EQ(4u, store[0x09].size());
  EXPECT_EQ("\x82\xA0", store[0x09][0].title);
  EXPECT_EQ("", store[0x09][1].title);
  EXPECT_EQ("\x82\xA2\x82\xA4", store[0x09][2].title);
  EXPECT_EQ("", store[0x09][3].title);

  // Pairs count from the start of the type's text: shifted by one byte the
  // same characters pair up differently.
  block.raw = Bytes{'x', 0x82, 0xA0, 0x00, 0x00, 0x41};
  store = Decode(devtest::CdTextReply(devtest::CdTextPacks({block})));
  EXPECT_EQ("x\x82", store[0x09][0].title);
  EXPECT_EQ("", store[0x09][1].title);  // 0xA0 0x00
  EXPECT_EQ("", store[0x09][2].title);  // 0x00 0x41
}

TEST(DeviceCdTextDecoder, AtMostOneHundredAndSixEntriesPerBlock) {
  CdTextStore store = Decode(devtest::CdTextReply(devtest::CdTextPacks({EnglishBlock(120)})));
  ASSERT_EQ(106u, store[0x09].size());
  EXPECT_EQ("Title 105", store[0x09][105].title);

  // More strings than the block's last track: the extra ones are dropped.
  CdTextBlock block = EnglishBlock(2);
  block.texts[0x80] = Numbered("T", 5);
  store = Decode(devtest::CdTextReply(devtest::CdTextPacks({block})));
  ASSERT_EQ(3u, store[0x09].size());
  EXPECT_EQ("T2", store[0x09][2].title);
}

// Replies of any length decode without reading past them; what cannot be
// decoded leaves the store empty.
TEST(DeviceCdTextDecoder, DamagedRepliesGiveAnEmptyStore) {
  const Bytes good = devtest::CdTextReply(devtest::CdTextPacks({EnglishBlock(3)}));
  ASSERT_EQ(1u, Decode(good).size());

  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    // Truncated buffers (the size information is last) never count.
    EXPECT_TRUE(Decode(Bytes(good.begin(), good.begin() + cut)).empty()) << cut;
  }
  Bytes shortLength = good;
  shortLength[0] = 0;
  shortLength[1] = 1;  // data length below the two reserved bytes
  EXPECT_TRUE(Decode(shortLength).empty());
  shortLength[1] = 0;
  EXPECT_TRUE(Decode(shortLength).empty());

  // A data length larger than the buffer is bounded by the buffer.
  Bytes huge = good;
  huge[0] = 0xFF;
  huge[1] = 0xFF;
  EXPECT_EQ(1u, Decode(huge).size());
  // An odd data length drops the partial pack, here the last 0x8F pack.
  Bytes odd = good;
  const std::size_t length = good.size() - 2 - 9;
  odd[0] = static_cast<std::uint8_t>(length >> 8);
  odd[1] = static_cast<std::uint8_t>(length);
  EXPECT_TRUE(Decode(odd).empty());

  // Text packs without size information.
  CdTextBlock block = EnglishBlock(3);
  Bytes packs = devtest::CdTextPacks({block});
  packs.resize(packs.size() - 3 * 18);
  EXPECT_TRUE(Decode(devtest::CdTextReply(packs)).empty());
}

TEST(DeviceCdTextDecoder, BlocksAfterTheEighthAreIgnored) {
  std::vector<CdTextBlock> blocks;
  for (int b = 0; b < 9; ++b) {
    CdTextBlock block = EnglishBlock(1);
    block.index = static_cast<std::uint8_t>(b & 7);
    block.languages = {1, 2, 3, 4, 5, 6, 7, 8};
    blocks.push_back(block);
  }
  CdTextStore store = Decode(devtest::CdTextReply(devtest::CdTextPacks(blocks)));
  EXPECT_EQ(8u, store.size());
  EXPECT_EQ(2u, store[8].size());

  // A language met again is appended after the first block's entries.
  blocks.resize(2);
  blocks[1].languages = {0x09, 0x09};
  blocks[0].languages = {0x09, 0x09};
  store = Decode(devtest::CdTextReply(devtest::CdTextPacks(blocks)));
  ASSERT_EQ(1u, store.size());
  EXPECT_EQ(4u, store[0x09].size());
}

}  // namespace
