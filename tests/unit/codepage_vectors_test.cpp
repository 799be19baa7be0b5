// The decoders against vectors Python's codecs wrote (data/make_codepage_vectors.py).
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "util/codepage.h"

namespace {

struct Vector { const char* function; const char* input; const char* expected; };
const Vector kVectors[] = {
#include "tests/unit/data/codepage_vectors.inc"
};

template <class Units>  // each code unit as 2 (bytes) or 4 (UTF-16) hex digits
std::string Hex(const Units& units, std::string out = "") {
  for (const auto u : units) {
    char d[5];
    std::snprintf(d, sizeof d, "%0*x", static_cast<int>(2 * sizeof u), static_cast<unsigned>(u) & (sizeof u == 1 ? 0xFFu : 0xFFFFu));
    out += d;
  }
  return out;
}

TEST(CodepageVectors, DecodersAgreeWithPythonsCodecs) {
  for (const Vector& v : kVectors) {
    std::string in, f = v.function;
    for (const char* h = v.input; h[0] && h[1]; h += 2) in += static_cast<char>(std::stoi(std::string(h, 2), nullptr, 16));
    const std::string actual = f == "cp932" ? Hex(codepage::Cp932ToUtf8(in)) : f == "latin1" ? Hex(codepage::Latin1ToUtf8(in))
                               : f == "utf16" ? Hex(codepage::Utf8ToUtf16(in)) : Hex(codepage::SanitizeUtf8(in));
    EXPECT_EQ(v.expected, actual) << f << " of " << v.input;
  }
  EXPECT_GT(sizeof kVectors / sizeof *kVectors, 60u);  // the whole double-byte table is there
}

}  // namespace
