#include "util/sjis.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SjisCopy, FitsWholeTextAndTerminates) {
  char buf[8];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(3u, sjis::CopyToBuffer(buf, sizeof buf, "abc"));
  EXPECT_STREQ("abc", buf);
}

TEST(SjisCopy, NeverWritesPastCapacityAndNeverSplitsDoubleByte) {
  // "ab" then the double-byte 0x83 0x65; capacity 4 leaves room for 3 bytes,
  // which would cut the double-byte character in half.
  const char text[] = "ab\x83\x65z";
  char buf[6];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(2u, sjis::CopyToBuffer(buf, 4, text));
  EXPECT_STREQ("ab", buf);
  EXPECT_EQ('x', buf[4]);
  EXPECT_EQ(4u, sjis::CopyToBuffer(buf, 5, text));
  EXPECT_EQ(0, std::memcmp(buf, "ab\x83\x65", 5));
}

TEST(SjisCopy, ZeroCapacityAndNullSourceAreSafe) {
  char buf[2] = {'x', 'x'};
  EXPECT_EQ(0u, sjis::CopyToBuffer(buf, 0, "abc"));
  EXPECT_EQ('x', buf[0]);
  EXPECT_EQ(0u, sjis::CopyToBuffer(buf, 2, static_cast<const char*>(nullptr)));
  EXPECT_EQ('\0', buf[0]);
}

TEST(SjisCopy, LeadByteAtEndOfTextIsCopiedAlone) {
  // A truncated text ending in a lead byte still copies that byte: it is all there is.
  char buf[8];
  EXPECT_EQ(2u, sjis::CopyToBuffer(buf, sizeof buf, "a\x83"));
}

TEST(SjisFindLastChar, SkipsTrailBytesThatLookLikeBackslash) {
  // 0x95 0x5C is a double-byte character whose trail byte equals '\'.
  const std::string path = "C:\\dir\\\x95\x5C" "file";
  EXPECT_EQ(6u, sjis::FindLastChar(path, '\\'));
  EXPECT_EQ(std::string::npos, sjis::FindLastChar("\x95\x5C", '\\'));
}

}  // namespace
