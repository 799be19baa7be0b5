#pragma once
// What the settings pages decide, apart from their windows: the priority
// list's moves and names, the choice lists and their selection, and the two
// apply sequences that check what the user entered.
#include <cstdint>
#include <string>
#include <vector>

#include "host_api/win_types.h"

struct PluginSettings;

namespace settings_pages {

// Priority list. Up (-1) or down (+1) swaps the selected row with that
// neighbour; the neighbour's index (the row's new place), or -1 when the
// move is not possible (nothing selected, first row up, last row down).
int PriorityNeighbour(int count, int selected, int direction);
// "CD-TEXT(JP)" <-> "CD-TEXT(日本語)" ...; an unknown identifier shows as
// itself, an unknown display name gives "".
std::string PriorityDisplayName(const std::string& identifier);
std::string PriorityIdentifier(const std::string& displayName);

// One item of a drop-down list: its label and the value it stands for.
struct Choice {
  std::string label;
  std::uint32_t value;
};
std::vector<Choice> ReadSpeedList();  // ascending values
std::vector<Choice> PreReadSizeList();
std::vector<Choice> BufferSizeList();  // one second and more only
// The item whose value equals `setting`, else the first larger one, else -1.
int ChoiceIndexFor(const std::vector<Choice>& list, std::uint32_t setting);

// The read page's apply. A list without a selection (-1) keeps its setting.
// A start size above the buffer size is cut to it after the message.
struct ReadPageInput {
  int speedIndex, bufferIndex, preReadIndex;
  bool jitter;
};
void ApplyReadPage(PluginSettings& settings, const ReadPageInput& input, HWND owner);

// The ripping page's apply; the fields as typed. A number out of range is
// cut to it after a message; one that is no number (full-width digits and
// minus signs count as digits and signs) keeps its setting after a message.
// A log folder equal to the default one, or empty, stores "" (follow the
// default); one the system's code page cannot hold keeps its setting after
// a message. The offset counts as stored (ripReadOffsetSet) once it was
// typed or found from a disc. An empty AccurateRip server follows the
// default one; one that is no http:// address keeps its setting after a
// message.
struct RipPageInput {
  std::string readOffset;
  bool secure;
  std::string retries;
  std::string logFolder;
  std::string defaultLogFolder;  // as the page shows it (UTF-8)
  std::string shownOffset;       // the offset as the page showed it when it opened
  bool offsetDetected;           // a detection found an offset while the page was open
  bool accurateRipUse;
  std::string accurateRipServer;
};
void ApplyRipPage(PluginSettings& settings, const RipPageInput& input, HWND owner);
// The AccurateRip server a typed text stands for: blanks around it and
// trailing '/' dropped, empty for the default one; "" when it is no http://
// address of printable ASCII (the ini holds it in the system's code page).
std::string AccurateRipServerFor(const std::string& typed);

// The CDDB client as the CDDB page needs it.
class CddbClientSettings {
 public:
  virtual ~CddbClientSettings() = default;
  virtual void SetServerUrl(const std::string& url) = 0;
  virtual void SetUseUtf8(bool flag) = 0;
  virtual int SetProxy(const std::string& text) = 0;  // 1 accepted, 0 refused
  virtual void SetUseProxy(bool flag) = 0;
  virtual void SetEmail(const std::string& address) = 0;
  // The status window's auto-close, for the next lookup.
  virtual void SetAutoClose(bool) {}
};

struct CddbPageInput {
  std::string url, proxy;
  bool useUtf8, useProxy, autoClose;
  std::string email;  // blanks around it are dropped; empty clears it
};
void ApplyCddbPage(PluginSettings& settings, const CddbPageInput& input, CddbClientSettings& client, HWND owner);

// "使用ドライバ : SPTI" / "ASPI" / "不明" for a transport kind.
std::string TransportLabel(int transportKind);

extern const char kProxyRefusedMessage[];
extern const char kEmailRefusedMessage[];
extern const char kStartSizeMessage[];
extern const char kMessageCaption[];
extern const char kReadOffsetRangeMessage[];
extern const char kReadOffsetNumberMessage[];
extern const char kRetriesRangeMessage[];
extern const char kRetriesNumberMessage[];
extern const char kLogFolderCharsMessage[];
extern const char kLogFolderOpenMessage[];  // followed by the folder
extern const char kAccurateRipServerMessage[];

}  // namespace settings_pages
