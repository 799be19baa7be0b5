#include "tools/vdrive/drive_config.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace vdrive {

namespace {

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Whole-text integer, decimal or 0x hexadecimal.
bool ToInt(const std::string& s, long* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 0);
  if (*end != '\0') return false;
  *out = v;
  return true;
}

// "name=value" options after the leading arguments.
bool Option(const std::vector<std::string>& words, const std::string& name, long* value) {
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::size_t eq = words[i].find('=');
    if (eq != std::string::npos && Lower(words[i].substr(0, eq)) == name)
      return ToInt(words[i].substr(eq + 1), value);
  }
  return true;
}

bool Opcode(const std::string& s, int* out) {
  if (Lower(s) == "any") {
    *out = -1;
    return true;
  }
  long v = 0;
  if (!ToInt(s, &v) || v < 0 || v > 255) return false;
  *out = static_cast<int>(v);
  return true;
}

int ApplyOne(VirtualDrive& drive, const std::vector<std::string>& w, std::string* error) {
  const std::string verb = Lower(w[0]);
  long times = 0, skip = 0, every = 1, seek = 0, bytes = -1, from = 0, format = -1;
  if (!Option(w, "times", &times) || !Option(w, "skip", &skip) || !Option(w, "every", &every) ||
      !Option(w, "seek", &seek) || !Option(w, "bytes", &bytes) || !Option(w, "from", &from) ||
      !Option(w, "format", &format) || times < 0 || skip < 0 || every < 1 || seek < 0 || from < 0 ||
      format < -1 || format > 15) {
    if (error) *error = "bad option in '" + w[0] + "'";
    return -1;
  }
  long value = 0;
  if (verb == "scatter") {
    long seed = -1, wrong = 0, unreadable = 0, to = -1;
    if (!Option(w, "seed", &seed) || !Option(w, "wrong", &wrong) || !Option(w, "unreadable", &unreadable) ||
        !Option(w, "to", &to) || seed < 0 || wrong < 0 || unreadable < 0 || to < -1 ||
        drive.ScatterSectors(static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(wrong),
                             static_cast<std::uint32_t>(unreadable), static_cast<std::int32_t>(from),
                             static_cast<std::int32_t>(to)) != 0) {
      if (error) *error = "'scatter' needs seed=S, wrong=N and unreadable=M that fit in [from, to) of a disc";
      return -1;
    }
    return 0;
  }
  if (verb == "clear") {
    drive.ClearBehaviours();
    return 0;
  }
  if (w.size() < 2) {
    if (error) *error = "'" + verb + "' needs an argument";
    return -1;
  }
  if (verb == "fail" || verb == "hang") {
    int opcode = 0;
    if (!Opcode(w[1], &opcode)) {
      if (error) *error = "bad opcode " + w[1];
      return -1;
    }
    if (verb == "fail") drive.FailCommand(opcode, static_cast<std::uint32_t>(times), static_cast<std::uint32_t>(skip));
    else drive.HangCommand(opcode, static_cast<std::uint32_t>(times), static_cast<std::uint32_t>(skip));
    return 0;
  }
  if (verb == "short" || verb == "garble") {
    int opcode = 0;
    if (!Opcode(w[1], &opcode) || (verb == "short" && bytes < 0)) {
      if (error) *error = "'" + verb + "' needs an opcode" + (verb == "short" ? " and bytes=N" : "");
      return -1;
    }
    if (verb == "short") {
      drive.ShortenReply(opcode, static_cast<std::uint32_t>(bytes), static_cast<int>(format),
                         static_cast<std::uint32_t>(times), static_cast<std::uint32_t>(skip));
    } else {
      drive.GarbleReply(opcode, static_cast<std::uint32_t>(from), static_cast<int>(format),
                        static_cast<std::uint32_t>(times), static_cast<std::uint32_t>(skip));
    }
    return 0;
  }
  if (verb == "readerror" && ToInt(w[1], &value) && value >= 0) {
    drive.AddReadError(static_cast<std::int32_t>(value), static_cast<std::uint32_t>(times));
    return 0;
  }
  if (verb == "landing" && ToInt(w[1], &value) && value > -1000 && value < 1000) {
    drive.SetLanding(static_cast<int>(value), static_cast<std::uint32_t>(every));
    return 0;
  }
  if (verb == "latency") {
    char* end = nullptr;
    const double speed = std::strtod(w[1].c_str(), &end);
    if (*end == '\0' && speed >= 0 && speed <= 100) {
      drive.SetLatency(LatencyModel{speed, static_cast<int>(seek)});
      return 0;
    }
  }
  if (verb == "tocform") {
    const std::string form = Lower(w[1]);
    if (form == "mmc" || form == "old" || form == "both") {
      drive.SetTocForms(form == "mmc"   ? VirtualDrive::TocForms::kMmcOnly
                        : form == "old" ? VirtualDrive::TocForms::kOldOnly
                                        : VirtualDrive::TocForms::kBoth);
      return 0;
    }
  }
  if (verb == "offset" && ToInt(w[1], &value) && value >= -100000 && value <= 100000) {
    drive.SetReadOffset(static_cast<int>(value));
    return 0;
  }
  if (verb == "overread") {
    const std::string mode = Lower(w[1]);
    if (mode == "on" || mode == "off" || mode == "leadin" || mode == "leadout") {
      drive.SetOverread(mode == "on" || mode == "leadin", mode == "on" || mode == "leadout");
      return 0;
    }
  }
  if (verb == "cache" && ToInt(w[1], &value) && value >= 0 && value <= 65535) {
    drive.SetCache(static_cast<std::uint32_t>(value));
    return 0;
  }
  if (verb == "flaky" && ToInt(w[1], &value) && value >= -150 && value <= 0x7FFFFFFF) {
    drive.AddFlakySector(static_cast<std::int32_t>(value), static_cast<std::uint32_t>(times));
    return 0;
  }
  if (verb == "c2" && (Lower(w[1]) == "on" || Lower(w[1]) == "off")) {
    drive.SetC2(Lower(w[1]) == "on");
    return 0;
  }
  if (verb == "unitattention") {
    drive.SetUnitAttentionOnInsert(Lower(w[1]) == "on");
    return 0;
  }
  if (error) *error = "cannot apply '" + verb + " " + w[1] + "'";
  return -1;
}

}  // namespace

int ApplyBehaviour(VirtualDrive& drive, const std::string& commands, std::string* error) {
  std::istringstream parts(commands);
  std::string part;
  while (std::getline(parts, part, ';')) {
    std::istringstream in(part);
    std::vector<std::string> words;
    std::string word;
    while (in >> word) words.push_back(word);
    if (words.empty()) continue;
    if (ApplyOne(drive, words, error) != 0) return -1;
  }
  return 0;
}

int ParseDriveConfig(const std::string& text, std::vector<DriveConfig>* out, std::string* error) {
  out->clear();
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  DriveConfig* current = nullptr;
  while (std::getline(in, line)) {
    ++lineNo;
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t[0] == '[') {
      int ha = -1, target = -1, lun = -1;
      char c1 = 0, c2 = 0, close = 0;
      std::istringstream s(t.substr(1));
      if (!(s >> ha >> c1 >> target >> c2 >> lun >> close) || c1 != ':' || c2 != ':' || close != ']' || ha < 0 ||
          ha > 7 || target < 0 || target > 15 || lun < 0 || lun > 7) {
        if (error) *error = "line " + std::to_string(lineNo) + ": section must be [ha:target:lun]";
        return -1;
      }
      for (const DriveConfig& d : *out) {
        if (d.hostAdapter == ha && d.target == target && d.lun == lun) {
          if (error) *error = "line " + std::to_string(lineNo) + ": address given twice";
          return -1;
        }
      }
      out->push_back(DriveConfig{});
      current = &out->back();
      current->hostAdapter = ha;
      current->target = target;
      current->lun = lun;
      continue;
    }
    const std::size_t eq = t.find('=');
    if (current == nullptr || eq == std::string::npos) {
      if (error) *error = "line " + std::to_string(lineNo) + ": expected key=value inside a section";
      return -1;
    }
    const std::string key = Lower(Trim(t.substr(0, eq)));
    const std::string value = Trim(t.substr(eq + 1));
    if (key == "letter") {
      const char letter = value.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(value[0]))) : 0;
      if (letter < 'A' || letter > 'Z') {
        if (error) *error = "line " + std::to_string(lineNo) + ": letter must be one of A to Z";
        return -1;
      }
      for (const DriveConfig& d : *out) {
        if (&d != current && d.letter == letter) {
          if (error) *error = "line " + std::to_string(lineNo) + ": letter given twice";
          return -1;
        }
      }
      current->letter = letter;
    } else if (key == "cue") current->cue = value;
    else if (key == "vendor") current->identity.vendor = value;
    else if (key == "product") current->identity.product = value;
    else if (key == "revision") current->identity.revision = value;
    else if (key == "behaviour" || key == "behavior") current->behaviour = value;
    // Unknown keys are left for other readers of the file.
  }
  return 0;
}

}  // namespace vdrive
