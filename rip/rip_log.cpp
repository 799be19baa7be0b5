#include "rip/rip_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rip/log_file.h"
#include "util/codepage.h"

namespace rip {

namespace {

const char kBom[] = "\xEF\xBB\xBF";
const char kEol[] = "\r\n";

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

const char* EdgeText(int state) {
  switch (state) {
    case kEdgeRead:
      return "ドライブから読み取り";
    case kEdgeZeroed:
      return "読めないためゼロで補完";
    default:
      return "不要";
  }
}

// Zeroed says more than read, read more than not needed: the disc line
// shows the strongest state any track reached.
int DiscEdge(const std::vector<TrackReport>& tracks, bool leadIn) {
  int state = kEdgeNotNeeded;
  for (const TrackReport& t : tracks) {
    const int s = leadIn ? t.leadIn : t.leadOut;
    if (s == kEdgeZeroed || (s == kEdgeRead && state == kEdgeNotNeeded)) state = s;
  }
  return state;
}

enum Verdict { kClean, kSuspicious, kErrors };

Verdict VerdictOf(const TrackReport& t) {
  if (!t.unreadable.empty()) return kErrors;
  return t.suspicious.empty() ? kClean : kSuspicious;
}

const char* VerdictText(Verdict v) {
  switch (v) {
    case kErrors:
      return "読み取りエラーあり";
    case kSuspicious:
      return "疑わしい位置あり";
    default:
      return "エラーなし";
  }
}

std::string Line(const std::string& text) { return text + kEol; }

const char kArLabel[] = "    AccurateRip ";

// A disc's text on one line of the log: no line breaks or other controls
// from CD-TEXT or a CDDB reply, and valid UTF-8.
std::string OneLine(const std::string& text) {
  std::string out = codepage::SanitizeUtf8(text);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return out;
}

bool Reserved(const std::string& base) {
  std::string upper;
  for (char c : base.substr(0, base.find('.'))) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) && upper[3] >= '1' &&
         upper[3] <= '9';
}

// "m:ss.ff" back into frames; false unless the whole text is one.
bool ParseTrackTime(const std::string& text, std::uint32_t* frame) {
  unsigned m = 0, s = 0, f = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4u:%2u.%2u%c", &m, &s, &f, &tail) != 3 || s >= 60 || f >= 75) return false;
  *frame = (m * 60 + s) * 75 + f;
  return true;
}

// The text after `label` when the line starts with it.
bool After(const std::string& line, const std::string& label, std::string* rest) {
  if (line.compare(0, label.size(), label) != 0) return false;
  *rest = line.substr(label.size());
  return true;
}

// Eight upper-case hex digits, as the log writes them, and nothing else.
bool ParseHex8(const std::string& text, std::uint32_t* value) {
  if (text.size() != 8 || std::strspn(text.c_str(), "0123456789ABCDEF") != 8) return false;
  *value = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
  return true;
}

int EdgeOf(const std::string& text) {
  for (int state : {kEdgeRead, kEdgeZeroed}) {
    if (text == EdgeText(state)) return state;
  }
  return kEdgeNotNeeded;
}

// A log holds at most every track of a disc, each with a bounded list.
constexpr std::size_t kMaxLoggedTracks = 99;
constexpr std::size_t kMaxLoggedPositions = 100000;

}  // namespace

std::vector<TrackReport> ParseLogTracks(const std::string& text) {
  std::vector<TrackReport> tracks;
  std::size_t at = text.compare(0, 3, kBom) == 0 ? 3 : 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string rest;
    std::uint32_t frame = 0;
    if (After(line, "トラック ", &rest)) {
      char* stop = nullptr;
      const unsigned long number = std::strtoul(rest.c_str(), &stop, 10);
      if (*stop != '\0' || number < 1 || number > 99 || tracks.size() >= kMaxLoggedTracks) break;
      tracks.emplace_back();
      tracks.back().track = static_cast<int>(number);
      continue;
    }
    if (line == "概要") break;
    if (tracks.empty()) continue;
    TrackReport& t = tracks.back();
    if (After(line, "    長さ ", &rest) && ParseTrackTime(rest, &frame)) {
      t.frames = frame;
    } else if (After(line, "    コピーCRC ", &rest) && ParseHex8(rest, &t.crc32)) {
      t.whole = true;
    } else if (After(line, std::string(kArLabel) + "v1 ", &rest) && ParseHex8(rest, &t.arV1)) {
      t.arSums = true;
    } else if (After(line, std::string(kArLabel) + "v2 ", &rest) && ParseHex8(rest, &t.arV2)) {
    } else if (After(line, kArLabel, &rest) && rest.compare(0, 1, "v") != 0) {
      t.arVerdict = rest.substr(0, 200);
    } else if (After(line, "    再読み込みフレーム数 ", &rest)) {
      t.rereadFrames = static_cast<std::uint32_t>(std::strtoul(rest.c_str(), nullptr, 10));
    } else if (After(line, "    リードイン ", &rest)) {
      t.leadIn = EdgeOf(rest);
    } else if (After(line, "    リードアウト ", &rest)) {
      t.leadOut = EdgeOf(rest);
    } else if (After(line, "    疑わしい位置 ", &rest) && ParseTrackTime(rest, &frame) &&
               t.suspicious.size() < kMaxLoggedPositions) {
      t.suspicious.push_back(frame);
    } else if (After(line, "    読めない位置 ", &rest) && ParseTrackTime(rest, &frame) &&
               t.unreadable.size() < kMaxLoggedPositions) {
      t.unreadable.push_back(frame);
    }
  }
  // Only tracks that were read whole were ever logged.
  std::vector<TrackReport> whole;
  for (TrackReport& t : tracks) {
    if (t.whole) whole.push_back(std::move(t));
  }
  return whole;
}

std::vector<TrackReport> ReadLogTracks(const std::string& folderAnsi, const RipLogDisc& disc) {
  constexpr std::size_t kMaxLogBytes = 4u << 20;
  std::string text;
  if (!ReadWholeFile(codepage::AnsiToUtf8(folderAnsi), LogFileName(disc), kMaxLogBytes, &text)) return {};
  return ParseLogTracks(text);
}

std::string TrackTime(std::uint32_t frame) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u.%02u", static_cast<unsigned>(frame / 4500),
                static_cast<unsigned>(frame / 75 % 60), static_cast<unsigned>(frame % 75));
  return text;
}

std::string LogFileName(const RipLogDisc& disc) {
  std::string base;
  if (!disc.performer.empty() && !disc.album.empty()) {
    for (char c : codepage::SanitizeUtf8(disc.performer + " - " + disc.album)) {
      const auto u = static_cast<unsigned char>(c);
      const bool forbidden = u < 0x20 || u == 0x7F || std::string("<>:\"/\\|?*").find(c) != std::string::npos;
      base += forbidden ? '_' : c;
    }
    // Windows drops trailing dots and blanks from a name; keep the name
    // within what any of its file systems takes.
    while (!base.empty() && (base.back() == '.' || base.back() == ' ')) base.pop_back();
    base.resize(codepage::Utf8PrefixLength(base.data(), base.size(), 200));
    while (!base.empty() && (base.back() == '.' || base.back() == ' ')) base.pop_back();
    if (Reserved(base)) base.insert(0, "_");
  }
  if (base.empty()) base = Hex8(disc.discId);
  return base + ".log";
}

std::string ComposeLog(const RipLogDisc& disc, const std::vector<TrackReport>& tracks) {
  std::string log = kBom;
  log += Line("quorvo リッピング ログ");
  if (!disc.program.empty()) log += Line(OneLine(disc.program));
  if (!disc.written.empty()) log += Line("日時: " + OneLine(disc.written));
  log += kEol;
  std::string drive = OneLine(disc.vendor);
  for (const std::string* part : {&disc.product, &disc.revision}) {
    if (!part->empty()) drive += (drive.empty() ? "" : " ") + OneLine(*part);
  }
  log += Line("ドライブ: " + drive);
  log += Line("転送方式: " + OneLine(disc.transport));
  char offset[32];
  std::snprintf(offset, sizeof offset, "%+d", disc.readOffset);
  log += Line(std::string("読み取りオフセット: ") + offset +
              (disc.offsetNote.empty() ? std::string() : "（" + OneLine(disc.offsetNote) + "）"));
  log += Line(std::string("リードイン/リードアウト: ") + EdgeText(DiscEdge(tracks, true)) + " / " +
              EdgeText(DiscEdge(tracks, false)));
  log += Line(std::string("モード: ") + (disc.secure ? "セキュア" : "バースト"));
  if (!disc.album.empty()) log += Line("アルバム: " + OneLine(disc.album));
  if (!disc.performer.empty()) log += Line("アーティスト: " + OneLine(disc.performer));
  log += Line("freedb ID: " + Hex8(disc.discId));

  int counts[3] = {0, 0, 0};
  for (const TrackReport& t : tracks) {
    const Verdict verdict = VerdictOf(t);
    ++counts[verdict];
    log += kEol;
    log += Line("トラック " + std::to_string(t.track));
    log += Line("    長さ " + TrackTime(t.frames));
    log += Line(t.whole ? "    コピーCRC " + Hex8(t.crc32) : std::string("    コピーCRC なし（全体を読んでいません）"));
    if (t.arSums) {
      log += Line(std::string(kArLabel) + "v1 " + Hex8(t.arV1));
      log += Line(std::string(kArLabel) + "v2 " + Hex8(t.arV2));
    }
    if (!t.arVerdict.empty()) log += Line(kArLabel + OneLine(t.arVerdict));
    log += Line("    再読み込みフレーム数 " + std::to_string(t.rereadFrames));
    if (t.leadIn != kEdgeNotNeeded) log += Line(std::string("    リードイン ") + EdgeText(t.leadIn));
    if (t.leadOut != kEdgeNotNeeded) log += Line(std::string("    リードアウト ") + EdgeText(t.leadOut));
    for (std::uint32_t f : t.suspicious) log += Line("    疑わしい位置 " + TrackTime(f));
    for (std::uint32_t f : t.unreadable) log += Line("    読めない位置 " + TrackTime(f));
    log += Line(std::string("    判定: ") + VerdictText(verdict));
  }
  log += kEol;
  log += Line("概要");
  log += Line("    トラック数 " + std::to_string(tracks.size()));
  log += Line("    エラーなし " + std::to_string(counts[kClean]));
  log += Line("    疑わしい位置あり " + std::to_string(counts[kSuspicious]));
  log += Line("    読み取りエラーあり " + std::to_string(counts[kErrors]));
  const Verdict overall = counts[kErrors] ? kErrors : counts[kSuspicious] ? kSuspicious : kClean;
  if (!disc.arSummary.empty()) log += Line(kArLabel + OneLine(disc.arSummary));
  log += Line(std::string("    判定: ") + VerdictText(overall));
  return log;
}

int WriteLogFile(const std::string& folderAnsi, const RipLogDisc& disc, const std::vector<TrackReport>& tracks) {
  return WriteWholeFile(codepage::AnsiToUtf8(folderAnsi), LogFileName(disc), ComposeLog(disc, tracks));
}

}  // namespace rip
