#pragma once
// What the track information box shows, apart from its window: the sources
// to choose from, the texts of the chosen one, and when a choice calls for
// a new resolve.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "input/track_description.h"

struct PluginSettings;

// "m:ss.ff" with ff counted in frames (75 a second), not hundredths.
std::string FormatTrackLength(std::uint32_t frames);

struct InfoBoxSource {
  std::string name;         // as stored in TitlePriority
  std::string displayName;  // as listed in the box
};

// The title-priority entries that name a source, in priority order.
std::vector<InfoBoxSource> InfoBoxSources(const PluginSettings& settings);

struct InfoBoxFields {
  std::string title;   // the formatted title, or the resolver's message
  std::string length;
  std::string drive;   // "X:\" when the name is a track address
  std::string track;
  TitleInfo texts;     // the shown source's texts for the track
  std::string verification;  // the track's latest AccurateRip verdict, or that there was none
};

// What the box shows when the track was not verified in this session.
extern const char kNotVerifiedText[];

class InfoBoxModel {
 public:
  // Asks the title resolution for `file` naming one source.
  using Resolve = std::function<void(const std::string& file, const char* sourceName, TrackDescription& record)>;
  // The latest verification of the track `entry` (as resolved for `file`),
  // as its log line says it; "" when none.
  using Verification = std::function<std::string(const std::string& file, const TrackEntry& entry)>;

  InfoBoxModel(std::vector<InfoBoxSource> sources, Resolve resolve, Verification verification = nullptr);

  // Starts at the first source, whatever the previous box showed; the
  // verification is taken once, here.
  void Open(const std::string& file);
  // false when `index` is the source shown or no source: nothing to refresh.
  // Otherwise resolves again; length, drive and track stay as opened.
  bool Choose(int index);

  const std::vector<InfoBoxSource>& Sources() const { return sources_; }
  int Shown() const { return shown_; }
  const InfoBoxFields& Fields() const { return fields_; }

 private:
  TrackDescription ResolveShown();

  std::vector<InfoBoxSource> sources_;
  Resolve resolve_;
  Verification verification_;
  std::string file_;
  int shown_ = 0;
  InfoBoxFields fields_;
};
