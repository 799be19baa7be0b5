#include "util/profile.h"

#include <gtest/gtest.h>

#include "temp_ini.h"
#include "util/codepage.h"

namespace {

using Lines = std::vector<std::string>;

TEST(Profile, MissingFileSectionOrKeyGivesFallback) {
  TempIni ini;
  Profile& p = SystemProfile();
  EXPECT_EQ("fb", p.GetString("S", "k", "fb", ini.path()));
  EXPECT_EQ(7u, p.GetInt("S", "k", 7, ini.path()));
  EXPECT_EQ(static_cast<unsigned>(-2), p.GetInt("S", "k", -2, ini.path()));
  EXPECT_FALSE(ini.Exists());  // reading never creates the file

  ini.Write("[Other]\r\nk=1\r\n[S]\r\nj=2\r\n");
  EXPECT_EQ("fb", p.GetString("S", "k", "fb", ini.path()));
  EXPECT_EQ("fb", p.GetString("Missing", "k", "fb", ini.path()));
  EXPECT_EQ(9u, p.GetInt("S", "k", 9, ini.path()));
}

TEST(Profile, NamesIgnoreCaseAndValuesAreTrimmed) {
  TempIni ini;
  ini.Write("[QZ_CDDAPlayer]\n  CDDB_Url  =   http://x/~cddb/cddb.cgi  \t\nEmpty=\n");
  Profile& p = SystemProfile();
  EXPECT_EQ("http://x/~cddb/cddb.cgi", p.GetString("qz_cddaplayer", "cddb_URL", "", ini.path()));
  // An empty value is a value, not a missing key.
  EXPECT_EQ("", p.GetString("QZ_CDDAPLAYER", "empty", "fb", ini.path()));
}

TEST(Profile, MatchingQuotesAroundAValueAreDropped) {
  TempIni ini;
  ini.Write("[S]\r\nd=\"quoted value\"\r\ns='x'\r\nopen=\"abc\r\nmixed=\"abc'\r\npad=\" a \"\r\n");
  Profile& p = SystemProfile();
  EXPECT_EQ("quoted value", p.GetString("S", "d", "", ini.path()));
  EXPECT_EQ("x", p.GetString("S", "s", "", ini.path()));
  EXPECT_EQ("\"abc", p.GetString("S", "open", "", ini.path()));
  EXPECT_EQ("\"abc'", p.GetString("S", "mixed", "", ini.path()));
  EXPECT_EQ(" a ", p.GetString("S", "pad", "", ini.path()));
}

TEST(Profile, TextIsCutToBufferSizeAndFallbackLosesTrailingSpaces) {
  TempIni ini;
  ini.Write("[S]\r\nk=abcdefgh\r\n");
  Profile& p = SystemProfile();
  EXPECT_EQ("abc", p.GetString("S", "k", "", ini.path(), 4));
  EXPECT_EQ("abcdefgh", p.GetString("S", "k", "", ini.path(), 9));
  EXPECT_EQ("fal", p.GetString("S", "none", "fallback", ini.path(), 4));
  EXPECT_EQ("fb", p.GetString("S", "none", "fb   ", ini.path()));
}

TEST(Profile, IntegersTakeLeadingDigits) {
  TempIni ini;
  ini.Write("[S]\r\nplain=1411200\r\ntail=12abc\r\nnone=abc\r\nneg=-5\r\nplus=+7\r\nempty=\r\n");
  Profile& p = SystemProfile();
  EXPECT_EQ(1411200u, p.GetInt("S", "plain", 3, ini.path()));
  EXPECT_EQ(12u, p.GetInt("S", "tail", 3, ini.path()));
  EXPECT_EQ(0u, p.GetInt("S", "none", 3, ini.path()));
  EXPECT_EQ(static_cast<unsigned>(-5), p.GetInt("S", "neg", 3, ini.path()));
  EXPECT_EQ(7u, p.GetInt("S", "plus", 3, ini.path()));
  EXPECT_EQ(3u, p.GetInt("S", "empty", 3, ini.path()));
  EXPECT_EQ(3u, p.GetInt("S", "missing", 3, ini.path()));
}

TEST(Profile, WriteCreatesReplacesInPlaceAndAppendsAtSectionEnd) {
  TempIni ini;
  Profile& p = SystemProfile();
  ASSERT_TRUE(p.WriteString("A", "one", "1", ini.path()));
  ASSERT_TRUE(p.WriteString("B", "x", "X", ini.path()));
  EXPECT_EQ((Lines{"[A]", "one=1", "[B]", "x=X"}), ini.Lines());

  ASSERT_TRUE(p.WriteString("a", "two", "2", ini.path()));     // new key: end of A, before B
  ASSERT_TRUE(p.WriteString("A", "ONE", "uno", ini.path()));   // existing key keeps its place
  EXPECT_EQ((Lines{"[A]", "one=uno", "two=2", "[B]", "x=X"}), ini.Lines());
  EXPECT_EQ("uno", p.GetString("A", "one", "", ini.path()));

  ASSERT_TRUE(p.WriteString("A", "one", nullptr, ini.path()));  // a null value removes the key
  EXPECT_EQ((Lines{"[A]", "two=2", "[B]", "x=X"}), ini.Lines());
}

TEST(Profile, WriteLeavesForeignLinesAlone) {
  TempIni ini;
  ini.Write("[Winamp]\r\noutname=out_wave.dll\r\n\r\n[QZ_CDDAPLAYER]\r\nAspi=true\r\n\r\n[Other]\r\nz=1\r\n");
  Profile& p = SystemProfile();
  ASSERT_TRUE(p.WriteString("QZ_CDDAPLAYER", "Version", "0.26", ini.path()));
  EXPECT_EQ((Lines{"[Winamp]", "outname=out_wave.dll", "[QZ_CDDAPLAYER]", "Aspi=true", "Version=0.26", "[Other]",
                   "z=1"}),
            ini.Lines());
  EXPECT_EQ("out_wave.dll", p.GetString("Winamp", "outname", "", ini.path()));
}

// As older versions stored texts (bytes from Python's codecs; 表示 has 0x5C as a trail byte).
TEST(Profile, TextsAreStoredInTheAnsiCodePageAndReadAsUtf8) {
  const struct { unsigned codePage; const char *text, *ansi; } cases[] = {
      {932, "CD-DA 表示 %1", "CD-DA \x95\x5c\x8e\xa6 %1"}, {1252, "Beyoncé – Café", "Beyonc\xe9 \x96 Caf\xe9"}};
  Profile& p = SystemProfile();
  for (const auto& t : cases) {
#ifdef _WIN32
    if (t.codePage != codepage::AnsiCodePage()) continue;  // the system functions use the real one
#endif
    codepage::SetAnsiCodePageForTesting(t.codePage);
    TempIni ini;
    ASSERT_TRUE(p.WriteText("S", "k", t.text, ini.path()));
    EXPECT_EQ((Lines{"[S]", std::string("k=") + t.ansi}), ini.Lines());
    EXPECT_EQ(t.text, p.GetText("S", "k", "", ini.path()));
  }
  codepage::SetAnsiCodePageForTesting(0);
}

}  // namespace
