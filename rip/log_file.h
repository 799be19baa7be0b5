#pragma once
// Writing one whole file under a UTF-8 name, per platform (the log's name
// may hold characters the ANSI code page lacks).
#include <cstddef>
#include <string>

namespace rip {
// Creates the folder (and its parents) when missing, then writes bytes to
// folder/name, replacing what was there. 1 ok, 0 failed.
int WriteWholeFile(const std::string& folderUtf8, const std::string& nameUtf8, const std::string& bytes);
// The bytes of folder/name, at most maxBytes of them; 0 when there is no
// such file or it is larger.
int ReadWholeFile(const std::string& folderUtf8, const std::string& nameUtf8, std::size_t maxBytes, std::string* bytes);
}  // namespace rip
