#include "cddb/cddb_reply.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "cddb/cddb_lookup.h"
#include "cddb/cddb_text.h"
#include "util/codepage.h"

namespace {

constexpr int kHighestTitleIndex = 98;  // TTITLE98 is track 99
constexpr std::size_t kStatusLineLimit = 256;

int LeadingDecimal(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 1000000) return -1;  // no status or track number is this large
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

// The digits of the first word are the leading digits of the whole reply.
int CddbReplyStatus(const std::string& body) { return std::max(0, LeadingDecimal(body)); }

bool IsCddbRefusal(int status) { return status >= 400 && status <= 599; }

std::string CddbStatusLine(const std::string& body) {
  // Every byte becomes at least one byte of UTF-8, so decoding four times
  // the limit is enough, and what that cut leaves broken lies beyond it.
  const std::size_t end = std::min(std::min(body.find_first_of("\r\n"), body.size()), 4 * kStatusLineLimit);
  const std::string raw = body.substr(0, end);
  // A level-6 server speaks UTF-8; anything else is taken as the level-1
  // texts are, in the system's ANSI code page.
  std::string line = codepage::IsValidUtf8(raw) ? raw : codepage::AnsiToUtf8(raw);
  line.resize(codepage::Utf8PrefixLength(line.data(), line.size(), kStatusLineLimit));
  // Tabs and other control bytes would draw as boxes or jumps.
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return line;
}

std::string CddbLineDiscId(const std::string& word) {
  if (word.empty() || word.size() > 8) return std::string();
  std::string id(8 - word.size(), '0');
  for (char c : word) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::string();
    id += c;
  }
  return id;
}

int ParseQueryReply(const std::string& reply, int proto, const CddbChooser& choose, CddbDiscRecord* record,
                    std::string* category, std::string* discId) {
  const int status = CddbReplyStatus(reply);
  if (IsCddbRefusal(status)) return kCddbServerRefused;
  // A connection closed early without a length to tell: the text so far
  // would pass for the whole disc title, or the whole list.
  if (status == 200 && reply.find('\n') == std::string::npos) return kCddbServerUnreachable;
  if ((status == 210 || status == 211) && !HasCddbTerminator(reply)) return kCddbServerUnreachable;
  const std::string body = NormalizeLineEnds(reply);
  const std::vector<std::string> lines = SplitText(body, "\n");
  if (SplitText(body, " ").size() < 4) return kCddbNotRegistered;
  std::string discText;
  if (status == 200) {
    const std::vector<std::string> pieces = SplitText(lines[0], " ");
    if (pieces.size() < 4) return kCddbNotRegistered;
    *category = pieces[1];
    if (discId) *discId = CddbLineDiscId(pieces[2]);
    discText = TextAfterNth(lines[0], ' ', 3);
  } else if (status == 210) {
    std::vector<CddbCandidate> candidates;
    std::vector<std::size_t> candidateLines;  // the reply line of each candidate
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const std::vector<std::string> pieces = SplitText(lines[i], " ");
      if (pieces.size() < 3) continue;
      CddbCandidate c;
      c.category = pieces[0];
      if (ConvertCddbText(proto, TextAfterNth(lines[i], ' ', 2), std::string(), &c.title, &c.performer) != 0)
        continue;
      candidates.push_back(c);
      candidateLines.push_back(i);
    }
    if (candidates.empty()) return kCddbNotRegistered;
    // The choice counts candidates, so a skipped line in between never
    // shifts it onto the wrong disc.
    const int chosen = choose ? choose(candidates) : 1;
    if (chosen < 1 || static_cast<std::size_t>(chosen) > candidates.size()) return kCddbNotRegistered;
    const std::string& line = lines[candidateLines[static_cast<std::size_t>(chosen - 1)]];
    const std::vector<std::string> pieces = SplitText(line, " ");
    *category = pieces[0];
    if (discId) *discId = CddbLineDiscId(pieces[1]);
    discText = TextAfterNth(line, ' ', 2);
  } else {
    return kCddbNotRegistered;
  }
  TitleInfo disc;
  const int r = ConvertCddbText(proto, discText, std::string(), &disc.title, &disc.performer);
  if (r != 0) return r;
  record->tracks[0] = disc;
  return 0;
}

bool HasCddbTerminator(const std::string& body) {
  const std::string text = NormalizeLineEnds(body);
  // The status line comes first, so the "." line always follows a line end.
  return text.find("\n.\n") != std::string::npos || (text.size() >= 2 && text.compare(text.size() - 2, 2, "\n.") == 0);
}

int ParseReadReply(const std::string& body, int proto, CddbDiscRecord* record) {
  if (IsCddbRefusal(CddbReplyStatus(body))) return kCddbServerRefused;
  const std::vector<std::string> words = SplitText(body, " ");
  if (words.size() <= 1 || words[0] != "210") return kCddbReadFailed;
  const std::string text = NormalizeLineEnds(body);
  // xmcd continues a long title on further lines of the same number; the
  // parts join before any conversion so that a character split across two
  // lines stays whole.
  std::map<int, std::string> raw;
  for (const std::string& line : SplitText(text, "\n")) {
    if (line.compare(0, 6, "TTITLE") != 0) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const int index = LeadingDecimal(line.substr(6, equals - 6));
    if (index < 0 || index > kHighestTitleIndex) continue;
    raw[index + 1] += line.substr(equals + 1);
  }
  record->trackCount = 0;
  const std::string discPerformer = record->tracks.count(0) ? record->tracks[0].performer : std::string();
  for (const auto& entry : raw) {
    TitleInfo info;
    const int r = ConvertCddbText(proto, entry.second, discPerformer, &info.title, &info.performer);
    if (r != 0) return r;
    record->tracks[static_cast<std::uint32_t>(entry.first)] = info;
    record->trackCount = static_cast<std::uint32_t>(entry.first);
  }
  return 0;
}
