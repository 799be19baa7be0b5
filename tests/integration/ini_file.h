#pragma once
// Reads and writes winamp.ini as raw lines, independently of the profile
// functions under test.
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ini_file {

inline std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// key=value pairs of one section, in file order.
inline std::vector<std::pair<std::string, std::string>> Section(const std::string& text, const std::string& name) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::istringstream lines(text);
  std::string line;
  bool inside = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + name + "]";
      continue;
    }
    const auto eq = line.find('=');
    if (inside && eq != std::string::npos) entries.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return entries;
}

inline std::string Value(const std::string& text, const std::string& section, const std::string& key,
                         const std::string& missing = "<missing>") {
  for (const auto& [k, v] : Section(text, section))
    if (k == key) return v;
  return missing;
}

}  // namespace ini_file
