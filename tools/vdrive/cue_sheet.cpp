#include "tools/vdrive/cue_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace vdrive {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Splits a line into words; a double-quoted word keeps its blanks.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string w;
    if (line[i] == '"') {
      const std::size_t end = line.find('"', i + 1);
      if (end == std::string::npos) {
        w = line.substr(i + 1);
        i = line.size();
      } else {
        w = line.substr(i + 1, end - i - 1);
        i = end + 1;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') w.push_back(line[i++]);
    }
    words.push_back(w);
  }
  return words;
}

int FieldOf(const std::string& keyword) {
  static const char* const kNames[kCdTextFieldCount] = {"TITLE", "PERFORMER", "SONGWRITER", "COMPOSER", "ARRANGER"};
  for (int i = 0; i < kCdTextFieldCount; ++i)
    if (keyword == kNames[i]) return i;
  return -1;
}

}  // namespace

int ParseMsf(const std::string& text) {
  int m = 0, s = 0, f = 0;
  char c1 = 0, c2 = 0;
  std::istringstream in(text);
  if (!(in >> m >> c1 >> s >> c2 >> f) || c1 != ':' || c2 != ':') return -1;
  std::string rest;
  if (in >> rest) return -1;
  if (m < 0 || m > 99 || s < 0 || s > 59 || f < 0 || f > 74) return -1;
  return (m * 60 + s) * 75 + f;
}

int LanguageCode(const std::string& name) {
  const std::string u = Upper(name);
  if (u == "ENGLISH") return kLanguageEnglish;
  if (u == "JAPANESE") return kLanguageJapanese;
  if (u.size() > 2 && u.compare(0, 2, "0X") == 0) {
    char* end = nullptr;
    const long v = std::strtol(u.c_str() + 2, &end, 16);
    if (*end == '\0' && v >= 0 && v <= 0xFF) return static_cast<int>(v);
  }
  return -1;
}

int ParseCueSheet(const std::string& text, CueSheet* out, std::string* error) {
  *out = CueSheet{};
  int session = 1;
  int block = -1;  // CD-TEXT block that text lines fill
  int lineNo = 0;
  std::istringstream in(text);
  std::string line;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
    return -1;
  };
  auto selectBlock = [&](int language) {
    for (std::size_t i = 0; i < out->cdText.size(); ++i)
      if (out->cdText[i].language == language) return static_cast<int>(i);
    if (out->cdText.size() >= 8) return -1;
    CdTextBlock b;
    b.language = static_cast<std::uint8_t>(language);
    b.doubleByte = language == kLanguageJapanese;
    b.characterCode = b.doubleByte ? kCharCodeMsJis : kCharCodeIso8859;
    out->cdText.push_back(b);
    return static_cast<int>(out->cdText.size() - 1);
  };
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNo == 1 && line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    const std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    const std::string key = Upper(w[0]);
    CueTrack* track = out->tracks.empty() ? nullptr : &out->tracks.back();
    if (key == "REM") {
      const std::string what = w.size() > 1 ? Upper(w[1]) : "";
      if (what == "SESSION" && w.size() > 2) {
        const int s = std::atoi(w[2].c_str());
        if (s < session || s > 99) return fail("session numbers must rise");
        session = s;
      } else if (what == "CDTEXT_LANGUAGE" && w.size() > 2) {
        const int code = LanguageCode(w[2]);
        if (code < 0) return fail("unknown CD-TEXT language " + w[2]);
        block = selectBlock(code);
        if (block < 0) return fail("more than eight CD-TEXT blocks");
      } else if (what == "CDTEXT_SIZE_PACKS" && w.size() > 2) {
        const std::string form = Upper(w[2]);
        if (form != "MARKED" && form != "UNMARKED") return fail("CDTEXT_SIZE_PACKS is MARKED or UNMARKED");
        out->cdTextSizePacksMarked = form == "MARKED";
      }
    } else if (key == "FILE") {
      if (w.size() < 3) return fail("FILE needs a name and a type");
      const std::string type = Upper(w[2]);
      if (type != "BINARY") return fail("only BINARY files are supported");
      out->files.push_back(w[1]);
    } else if (key == "TRACK") {
      if (w.size() < 3) return fail("TRACK needs a number and a mode");
      if (out->files.empty()) return fail("TRACK before FILE");
      CueTrack t;
      t.number = std::atoi(w[1].c_str());
      if (t.number < 1 || t.number > 99) return fail("track number out of range");
      if (!out->tracks.empty() && t.number != out->tracks.back().number + 1) return fail("track numbers must follow");
      const std::string mode = Upper(w[2]);
      if (mode == "AUDIO") t.mode = TrackMode::Audio;
      else if (mode == "MODE1/2352") t.mode = TrackMode::Mode1Raw;
      else if (mode == "MODE2/2352") t.mode = TrackMode::Mode2Raw;
      else return fail("unsupported track mode " + w[2]);
      t.file = static_cast<int>(out->files.size() - 1);
      t.session = session;
      out->tracks.push_back(t);
    } else if (key == "INDEX") {
      if (!track || w.size() < 3) return fail("INDEX outside a track");
      const int n = std::atoi(w[1].c_str());
      const int at = ParseMsf(w[2]);
      if (at < 0) return fail("bad time " + w[2]);
      if (track->file != static_cast<int>(out->files.size() - 1)) return fail("a track spanning files is not supported");
      if (n == 0) track->index0 = at;
      else if (n == 1) track->index1 = at;
      // Higher indexes only mark positions inside the track.
    } else if (key == "PREGAP" || key == "POSTGAP") {
      if (!track || w.size() < 2) return fail(key + " outside a track");
      const int at = ParseMsf(w[1]);
      if (at < 0) return fail("bad time " + w[1]);
      (key == "PREGAP" ? track->pregap : track->postgap) = at;
    } else if (key == "FLAGS") {
      if (!track) return fail("FLAGS outside a track");
      for (std::size_t i = 1; i < w.size(); ++i) {
        const std::string f = Upper(w[i]);
        if (f == "PRE") track->flags |= 1;
        else if (f == "DCP") track->flags |= 2;
        else if (f == "4CH") track->flags |= 8;
      }
    } else if (key == "CDTEXTFILE") {
      if (w.size() < 2) return fail("CDTEXTFILE needs a name");
      out->cdTextFile = w[1];
    } else if (FieldOf(key) >= 0) {
      if (w.size() < 2) continue;
      if (block < 0) block = selectBlock(kLanguageEnglish);
      if (block < 0) return fail("more than eight CD-TEXT blocks");
      auto& entries = out->cdText[static_cast<std::size_t>(block)].entries;
      const std::size_t entry =
          track ? static_cast<std::size_t>(track->number - out->tracks.front().number + 1) : 0;
      if (entries.size() <= entry) entries.resize(entry + 1);
      entries[entry][static_cast<std::size_t>(FieldOf(key))] = w[1];
    }
    // CATALOG, ISRC and anything else carry nothing this drive reports.
  }
  for (CdTextBlock& b : out->cdText) b.sizePacksMarked = out->cdTextSizePacksMarked;
  if (out->tracks.empty()) return fail("no tracks");
  for (const CueTrack& t : out->tracks)
    if (t.index1 < 0) return fail("track " + std::to_string(t.number) + " has no INDEX 01");
  return 0;
}

}  // namespace vdrive
