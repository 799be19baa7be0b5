#include "cddb/cddb_reply.h"

#include <cstdlib>
#include <map>

#include "cddb/cddb_lookup.h"
#include "cddb/cddb_text.h"

namespace {

constexpr int kHighestTitleIndex = 98;  // TTITLE98 is track 99

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

int ParseQueryReply(const std::string& body, int proto, const CddbChooser& choose, CddbDiscRecord* record,
                    std::string* category) {
  const std::vector<std::string> lines = SplitText(body, "\r\n");
  if (SplitText(body, " ").size() < 4) return kCddbNotRegistered;
  const int status = LeadingDecimal(SplitText(body, " ")[0]);
  std::string discText;
  if (status == 200) {
    const std::vector<std::string> pieces = SplitText(lines[0], " ");
    if (pieces.size() < 4) return kCddbNotRegistered;
    *category = pieces[1];
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
    *category = SplitText(line, " ")[0];
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

int ParseReadReply(const std::string& body, int proto, CddbDiscRecord* record) {
  const std::vector<std::string> words = SplitText(body, " ");
  if (words.size() <= 1 || words[0] != "210") return kCddbReadFailed;
  std::string text = body;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
    text.replace(at, 2, "\n");
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
