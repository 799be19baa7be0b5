// The decoders against vectors Python's codecs wrote (data/make_codepage_vectors.py).
#include <gtest/gtest.h>

#include <string>

#include "util/codepage.h"

namespace {

struct Vector {
  const char* function;
  const char* input;
  const char* expected;
};

const Vector kVectors[] = {
#include "tests/unit/data/codepage_vectors.inc"
};

std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[c & 0xF];
  }
  return out;
}

std::string Hex(const std::u16string& units) {
  std::string out;
  for (const char16_t u : units) out += Hex(std::string{static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)});
  return out;
}

TEST(CodepageVectors, DecodersAgreeWithPythonsCodecs) {
  int checked = 0;
  for (const Vector& v : kVectors) {
    const std::string function = v.function;
    const std::string input = FromHex(v.input);
    std::string actual;
    if (function == "cp932") actual = Hex(codepage::Cp932ToUtf8(input));
    else if (function == "latin1") actual = Hex(codepage::Latin1ToUtf8(input));
    else if (function == "sanitize") actual = Hex(codepage::SanitizeUtf8(input));
    else if (function == "utf16") actual = Hex(codepage::Utf8ToUtf16(input));
    else ADD_FAILURE() << "unknown function " << function;
    EXPECT_EQ(v.expected, actual) << function << " of " << v.input;
    ++checked;
  }
  EXPECT_GT(checked, 60);  // the whole double-byte table was there
}

}  // namespace
