#pragma once
// UTF-8 to the system's ANSI code page (932 on a Japanese system, and CP932
// through iconv elsewhere). Characters the code page lacks become its
// default character "?"; malformed UTF-8 does too.
#include <string>

namespace codepage {

bool Utf8ToAnsi(const std::string& utf8, std::string* ansi);

}  // namespace codepage
