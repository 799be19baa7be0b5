#include "input/track_name.h"

#include <boost/regex.hpp>

#include <climits>
#include <cstring>

namespace {

// Reads a decimal digit string (leading zeros allowed). A value beyond the
// range of int is refused rather than wrapped: a wrapped number would name a
// different (or negative) track.
bool ReadTrackNumber(const char* first, const char* last, int* value) {
  long long n = 0;
  for (const char* p = first; p != last; ++p) {
    n = n * 10 + (*p - '0');
    if (n > INT_MAX) return false;
  }
  *value = static_cast<int>(n);
  return true;
}

}  // namespace

int ParseTrackName(const char* name, std::string* drive, int* track) {
  if (name == nullptr) return 0;
  try {
    static const boost::regex urlForm("cda://([A-Za-z]),([0-9]+)");
    static const boost::regex fileForm("([A-Za-z]):\\\\Track([0-9]+)\\.cda");
    const boost::regex& form = std::strncmp(name, "cda:/", 5) == 0 ? urlForm : fileForm;
    boost::cmatch match;
    if (!boost::regex_search(name, match, form)) return 0;
    int number = 0;
    if (!ReadTrackNumber(match[2].first, match[2].second, &number)) return 0;
    if (drive != nullptr) *drive = match[1].str();
    if (track != nullptr) *track = number;
    return 1;
  } catch (...) {
    // The engine may give up on pathological input; such a name is not ours.
    return 0;
  }
}

int ParseTrackName(const char* name, char* driveLetter, int* track) {
  std::string drive;
  if (!ParseTrackName(name, &drive, track)) return 0;
  if (driveLetter != nullptr) *driveLetter = drive[0];
  return 1;
}

int IsOurFile(const char* name) { return ParseTrackName(name, nullptr, nullptr); }
