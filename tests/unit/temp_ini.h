#pragma once
// A scratch .ini file for tests, named Windows-style ("dir\name") as the
// plug-ins build their paths, removed again at the end of the test.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

class TempIni {
 public:
  TempIni() {
    static int counter = 0;
    std::string dir = std::filesystem::temp_directory_path().string();
    while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = dir + "\\quorvo_test_" + std::to_string(ticks) + "_" + std::to_string(++counter) + ".ini";
  }
  ~TempIni() { std::remove(Native().c_str()); }
  TempIni(const TempIni&) = delete;
  TempIni& operator=(const TempIni&) = delete;

  const char* path() const { return path_.c_str(); }

  void Write(const std::string& content) const {
    std::ofstream out(Native(), std::ios::binary);
    out << content;
  }
  std::string Read() const {
    std::ifstream in(Native(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists() const { return std::ifstream(Native()).good(); }
  // The file's non-blank lines without their line ends.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Read());
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }

 private:
  // The same file as the host's file system names it.
  std::string Native() const {
    std::string native = path_;
    if (std::filesystem::path::preferred_separator == '/') {
      for (char& c : native) {
        if (c == '\\') c = '/';
      }
    }
    return native;
  }

  std::string path_;
};
