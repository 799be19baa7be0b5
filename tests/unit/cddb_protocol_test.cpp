// Disc id, query key, reply parsing and text conversion of the CDDB client.
#include <gtest/gtest.h>

#include "cddb/cddb_lookup.h"
#include "cddb/cddb_reply.h"
#include "cddb/cddb_text.h"
#include "cddb/disc_id.h"
#include "cddb_test_support.h"
#include "util/codepage.h"

using cddbtest::MakeToc;

TEST(CddbDiscId, WorkedExampleAndEdges) {
  std::string key;
  EXPECT_EQ(0x0D012C02u, BuildQueryKey(cddbtest::ExampleToc(), &key));
  EXPECT_EQ(cddbtest::kExampleKey, key);

  // Track at LBA 0 (2 s), lead-out at 2:30: t = 148.
  EXPECT_EQ(0x0094u, (ComputeDiscId(MakeToc({0, 3000}, 150 * 75 - 150)) >> 8) & 0xFFFF);

  // No tracks: id 0 and no key.
  key = "stale";
  EXPECT_EQ(0u, BuildQueryKey(DiscToc(), &key));
  EXPECT_EQ("", key);

  // Digit sums adding to exactly 255 (15 tracks of digit sum 17) leave 0 in
  // the top byte: the modulus is 255.
  std::vector<std::uint32_t> starts;
  for (int s : {89, 98, 179, 188, 197, 269, 278, 287, 296, 359, 368, 377, 386, 395, 449})
    starts.push_back(static_cast<std::uint32_t>(s * 75 - 150));
  const std::uint32_t id = ComputeDiscId(MakeToc(starts, 3000 * 75));
  EXPECT_EQ(0u, id >> 24);
  EXPECT_EQ(15u, id & 0xFF);

  // A data disc's MSF times are 150 frames on, whatever the table says.
  DiscToc data = cddbtest::ExampleToc();
  data.discType = kDiscDataOnly;
  data.msfOffset = 0;
  EXPECT_EQ(0x0D012C02u, ComputeDiscId(data));
}

TEST(CddbRequest, UrlsCarryHelloAndProtoUnescaped) {
  CddbClient client;
  client.SetServerUrl("http://127.0.0.1:8880/~cddb/cddb.cgi");
  client.SetClientInfo("in_quorvo.dll", "Ver.0.26");
  EXPECT_EQ("http://127.0.0.1:8880/~cddb/cddb.cgi?cmd=motd&hello=username+hostname+in_quorvo.dll+Ver.0.26&proto=1",
            client.CommandUrl("motd"));
  client.SetUseUtf8(true);
  EXPECT_EQ(6, client.ProtocolLevel());
  EXPECT_EQ(0, client.SetProtocolLevel(5));
  EXPECT_EQ(6, client.ProtocolLevel());
  EXPECT_EQ(1, client.SetProtocolLevel(1));
  // The user's address as user and host; anything else keeps the literal words.
  for (const auto& h : std::vector<std::pair<const char*, const char*>>{{"a.b-c_d@mail.example.jp", "a.b-c_d+mail.example.jp"},
                                                                      {"", "username+hostname"},
                                                                      {"a@b@c", "username+hostname"},
                                                                      {"taro@localhost", "username+hostname"},
                                                                      {"taro@example.", "username+hostname"},
                                                                      {"taro@a..jp", "username+hostname"}}) {
    client.SetEmail(h.first);
    EXPECT_EQ(std::string("http://127.0.0.1:8880/~cddb/cddb.cgi?cmd=motd&hello=") + h.second +
                  "+in_quorvo.dll+Ver.0.26&proto=1",
              client.CommandUrl("motd"));
  }
  client.SetEmail((std::string(65, 'u') + "@example.jp").c_str());  // longer than any mailbox
  EXPECT_NE(std::string::npos, client.CommandUrl("motd").find("hello=username+hostname+"));
  // Nothing is cut: a URL that does not fit is not sent at all, while the
  // query of a 99-track disc with the longest settings still is.
  client.SetEmail((std::string(64, 'u') + "@" + std::string(200, 'h') + ".jp").c_str());
  client.SetServerUrl(("http://" + std::string(504, 's') + "/").c_str());  // 512 characters
  std::string key = "FF0C1D63+99";
  for (int i = 0; i < 100; ++i) key += "+449999";
  EXPECT_LT(1500u, client.CommandUrl("cddb+query+" + key).size());
  client.SetServerUrl(("http://" + std::string(505, 's') + "/").c_str());
  EXPECT_EQ("", client.CommandUrl("motd"));
}

TEST(CddbText, ConversionAndSlashSplit) {
  struct Case {
    int proto;
    std::string text, title, performer;
    int result;
  } cases[] = {
      {1, "Band / Song", "Song", "Band", 0},
      {1, "Song", "Song", "default", 0},
      {1, "A / B / C", "A / B / C", "default", 0},
      {1, "A/B", "A/B", "default", 0},
      {6, u8"バンド / 曲名", "曲名", "バンド", 0},
      {6, u8"\u2603 \U0001F600 x", u8"\u2603 \U0001F600 x", "default", 0},  // kept exactly
      {6, "\xE3\x81 / x", "x", u8"\uFFFD", 0},  // malformed UTF-8
      {3, "Song", "", "", kCddbUnexpectedData},
      // xmcd escapes: \n and \t are blanks, \\ one backslash, others stay.
      {1, "First\\nLine", "First Line", "default", 0},
      {1, "Back\\\\slash Band / Tabs\\tand\\nLines", "Tabs and Lines", "Back\\slash Band", 0},
      {1, "C:\\\\Music \\x end\\", "C:\\Music \\x end\\", "default", 0},
      // Level 1 in the system's code page, 932 here: ソ's trail byte 0x5C starts no escape.
      {1, codepage::Utf8ToAnsi("ソnata / ソ\\\\n"), "ソ\\n", "ソnata", 0},
      {6, u8"ソnata \\\\n", "ソnata \\n", "default", 0},
  };
  for (const Case& c : cases) {
    std::string title, performer;
    EXPECT_EQ(c.result, ConvertCddbText(c.proto, c.text, "default", &title, &performer)) << c.text;
    if (c.result != 0) continue;
    EXPECT_EQ(c.title, title) << c.text;
    EXPECT_EQ(c.performer, performer) << c.text;
  }
  // Cut texts end on a character boundary of the decoded text.
  std::string title, performer;
  ConvertCddbText(1, std::string(2046, 'a') + "\x82\xA0", "d", &title, &performer);
  EXPECT_EQ(2046u, title.size());
  ConvertCddbText(6, std::string(2044, 'a') + u8"あ", "d", &title, &performer);
  EXPECT_EQ(2047u, title.size());
  // On a Western system level 1 is code page 1252.
  codepage::SetAnsiCodePageForTesting(1252);
  ConvertCddbText(1, "Bj\xF6rk / Caf\xE9", "d", &title, &performer);
  codepage::SetAnsiCodePageForTesting(0);
  EXPECT_EQ("Café", title);
  EXPECT_EQ("Björk", performer);
  EXPECT_EQ("a\nb\nc\r\n", NormalizeLineEnds("a\r\nb\nc\r\r\n"));
  EXPECT_EQ(3u, SplitText("a  b", " ").size());
  EXPECT_EQ(1u, SplitText("", " ").size());
}

namespace {

struct QueryCase {
  const char* name;
  std::string body;
  int choice;  // what the user picks (0: none)
  int result;
  std::string category, title, performer;
};

}  // namespace

TEST(CddbQueryReply, Forms) {
  const QueryCase cases[] = {
      {"exact", "200 rock 0d012c02 Band / Album\r\n", 1, 0, "rock", "Album", "Band"},
      {"exact without performer", "200 misc 0d012c02 Album Name\r\n", 1, 0, "misc", "Album Name", ""},
      {"third candidate",
       "210 Found exact matches, list follows (until terminating `.')\r\n"
       "rock 0d012c02 A / One\r\njazz 0d012c02 B / Two\r\nblues 0d012c02 C / Three\r\n.\r\n",
       3, 0, "blues", "Three", "C"},
      {"no choice", "210 Found exact matches\r\nrock 0d012c02 A / One\r\n.\r\n", 0, kCddbNotRegistered, "", "", ""},
      {"choice past the list", "210 Found exact matches\r\nrock 0d012c02 A / One\r\n.\r\n", 2, kCddbNotRegistered,
       "", "", ""},
      {"inexact", "211 Found inexact matches\r\nrock 0d012c03 A / One\r\n.\r\n", 1, kCddbNotRegistered, "", "", ""},
      {"no match", "202 No match for disc ID 0d012c02.\r\n", 1, kCddbNotRegistered, "", "", ""},
      {"short", "200 rock\r\n", 1, kCddbNotRegistered, "", "", ""},
      {"error page", "<html>Not Found</html>", 1, kCddbNotRegistered, "", "", ""},
      {"empty", "", 1, kCddbNotRegistered, "", "", ""},
  };
  for (const QueryCase& c : cases) {
    CddbDiscRecord record;
    std::string category;
    std::vector<CddbCandidate> offered;
    const int r = ParseQueryReply(
        c.body, 1,
        [&](const std::vector<CddbCandidate>& list) {
          offered = list;
          return c.choice;
        },
        &record, &category);
    EXPECT_EQ(c.result, r) << c.name;
    if (r != 0) continue;
    EXPECT_EQ(c.category, category) << c.name;
    EXPECT_EQ(c.title, record.tracks[0].title) << c.name;
    EXPECT_EQ(c.performer, record.tracks[0].performer) << c.name;
  }
}

TEST(CddbQueryReply, CandidatesListedAsOffered) {
  const std::string body =
      "210 Found exact matches\r\nrock 0d012c02 A / One\r\nbroken\r\njazz 0d012c02 Two\r\n.\r\n";
  std::vector<CddbCandidate> offered;
  CddbDiscRecord record;
  std::string category;
  ASSERT_EQ(0, ParseQueryReply(
                   body, 1,
                   [&](const std::vector<CddbCandidate>& list) {
                     offered = list;
                     return 2;
                   },
                   &record, &category));
  ASSERT_EQ(2u, offered.size());
  EXPECT_EQ("rock", offered[0].category);
  EXPECT_EQ("A", offered[0].performer);
  EXPECT_EQ("Two", offered[1].title);
  // The second candidate, even though a broken line sits between them.
  EXPECT_EQ("jazz", category);
  EXPECT_EQ("Two", record.tracks[0].title);
  EXPECT_EQ(7, ParseQueryReply("200 rock 0d012c02 A / B\r\n", 2, nullptr, &record, &category));
}

TEST(CddbReadReply, TrackTitles) {
  const std::string body =
      "210 rock 0d012c02 CD database entry follows (until terminating `.')\r\n"
      "# xmcd\r\nDTITLE=Other / Ignored\r\n"
      "TTITLE0=Song\r\n"
      "TTITLE1=Guest / Duet\r\n"
      "TTITLE2=A / B / C\r\n"
      "TTITLE3=A=B\r\n"
      "TTITLE4=Long title that goes \r\nTTITLE4=on and on\r\n"
      "TTITLE5=\r\n"
      "TTITLE200=out of range\r\nTTITLE-1=negative\r\n"
      "EXTT0=\r\nPLAYORDER=\r\n.\r\n";
  CddbDiscRecord record;
  record.tracks[0] = TitleInfo{"Album", "Band", "", "", ""};
  ASSERT_EQ(0, ParseReadReply(body, 1, &record));
  EXPECT_EQ(6u, record.trackCount);
  EXPECT_EQ("Album", record.tracks[0].title);  // DTITLE is not used
  const struct {
    std::uint32_t track;
    const char *title, *performer;
  } expected[] = {{1, "Song", "Band"},  {2, "Duet", "Guest"},
                  {3, "A / B / C", "Band"}, {4, "A=B", "Band"},
                  {5, "Long title that goes on and on", "Band"}, {6, "", "Band"}};
  for (const auto& e : expected) {
    ASSERT_EQ(1u, record.tracks.count(e.track)) << e.track;
    EXPECT_EQ(e.title, record.tracks[e.track].title) << e.track;
    EXPECT_EQ(e.performer, record.tracks[e.track].performer) << e.track;
  }
  EXPECT_EQ(7u, record.tracks.size());

  // Japanese in UTF-8, a character split over two continuation lines.
  const std::string utf8 = u8"日本";
  CddbDiscRecord jp;
  ASSERT_EQ(0, ParseReadReply("210 misc 0d012c02\nTTITLE0=" + utf8.substr(0, 4) + "\nTTITLE0=" + utf8.substr(4) +
                                  "\n.\n",
                              6, &jp));
  EXPECT_EQ("日本", jp.tracks[1].title);

  for (const char* bad : {"", "210", "2100 x\r\n", "600 rock 0d012c02\r\n"})
    EXPECT_EQ(kCddbReadFailed, ParseReadReply(bad, 1, &record)) << bad;
  EXPECT_EQ(kCddbServerRefused, ParseReadReply("401 rock 0d012c02 No such CD entry.\r\n", 1, &record));
  EXPECT_EQ(kCddbUnexpectedData, ParseReadReply("210 rock x\nTTITLE0=a\n", 4, &record));
}

// Replies as the live service writes them: LF line ends, refusals of any
// length; 202 and 211 still mean "not registered".
TEST(CddbReplyForms, RefusalsAndLfLineEnds) {
  const std::vector<std::pair<std::string, int>> queries = {
      {"200 rock 0d012c02 Band / Two\n", 0},
      {"210 Found\r\nrock 0d012c02 A / One\njazz 0d012c02 B / Two\r\n.\n", 0},  // the second chosen
      {"500 Invalid hello: a valid e-mail address is required.\n", kCddbServerRefused},
      {"500", kCddbServerRefused},
      {"409 No handshake\r\n", kCddbServerRefused},
      {"202 No match for disc ID 0d012c02.\n", kCddbNotRegistered},
      {"211 Found inexact matches\nrock 0d012c02 A / B\n.\n", kCddbNotRegistered},
      {"4000 x y z\n", kCddbNotRegistered}};
  for (const auto& q : queries) {
    CddbDiscRecord record;
    std::string category;
    const auto second = [](const std::vector<CddbCandidate>&) { return 2; };
    EXPECT_EQ(q.second, ParseQueryReply(q.first, 1, second, &record, &category)) << q.first;
    EXPECT_EQ(q.second == 0 ? "Two" : "", record.tracks[0].title) << q.first;
  }
  CddbDiscRecord record;
  ASSERT_EQ(0, ParseReadReply("210 rock 0d012c02 entry follows\nTTITLE0=One\nTTITLE1=Two\\tB\n.\n", 1, &record));
  EXPECT_EQ("Two B", record.tracks[2].title);

  // The line shown to the user: the first line, control bytes blank, at most
  // 256 bytes and never half a character.
  EXPECT_EQ("500 Bad hello", CddbStatusLine("500 Bad\thello\r\nmore"));
  EXPECT_EQ(256u, CddbStatusLine("500 " + std::string(300, 'x')).size());
  EXPECT_EQ(255u, CddbStatusLine(std::string(255, 'x') + "日本").size());
  // Shown as UTF-8 whatever the server sent: a level-1 line in the ANSI code page.
  EXPECT_EQ("401 エラー", CddbStatusLine(codepage::Utf8ToAnsi("401 エラー")));
}
