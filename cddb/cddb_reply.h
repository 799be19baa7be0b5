#pragma once
// The two CDDB replies that carry disc texts: the query reply (status line
// and, for several exact matches, candidate lines) and the xmcd read reply.
// Portable and self-contained, so that they can be fuzzed.
#include <functional>
#include <string>
#include <vector>

#include "cddb/cddb_record.h"
#include "cddb/cddb_status_ui.h"

// Picks one of several exact matches: the candidate's number counted from 1,
// anything else for no choice.
using CddbChooser = std::function<int(const std::vector<CddbCandidate>&)>;

// A reply's status: the decimal value of its first word (0 when it has none).
int CddbReplyStatus(const std::string& body);
// 4xx and 5xx: the server turned the request down (no handshake, a hello it
// does not accept, an error of its own), which says nothing about the disc.
bool IsCddbRefusal(int status);
// The reply's first line, without its line end and at most 256 bytes, for
// showing the user what the server said.
std::string CddbStatusLine(const std::string& body);

// A multi-line reply (the read reply) ends with a line holding "." alone;
// without it the connection closed early and the reply is cut short.
bool HasCddbTerminator(const std::string& body);

// Lines may end in CR LF or LF alone in both replies.
//
// Query reply: 0 with the disc's title and performer in record->tracks[0],
// and the category and disc id of the matching line for the read command
// (the id as 8 lower-case hex digits, empty when the line's is none); 10 for
// a refusal; 4 for a reply cut short (a 200 line without its line end, a
// list without its "." line); 5 when the disc is not registered (any other
// status but 200 and 210, a short line, no choice made); 7 for an unknown
// protocol level.
int ParseQueryReply(const std::string& body, int proto, const CddbChooser& choose, CddbDiscRecord* record,
                    std::string* category, std::string* discId = nullptr);

// A disc id word of a reply line as 8 lower-case hex digits (leading zeros
// added); empty when it is not 1 to 8 hex digits.
std::string CddbLineDiscId(const std::string& word);

// Read reply: 0 with the track titles (TTITLEn is track n+1) in `record`,
// the disc performer of entry 0 as the default; 10 for a refusal; 6 when
// the reply is not a "210" reply; 7 for an unknown protocol level.
int ParseReadReply(const std::string& body, int proto, CddbDiscRecord* record);
