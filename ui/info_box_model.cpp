#include "ui/info_box_model.h"

#include <cstdio>

#include "input/plugin_settings.h"
#include "input/title_sources.h"
#include "input/track_name.h"

const char kNotVerifiedText[] = "このセッションでは照合していません";

std::string FormatTrackLength(std::uint32_t frames) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%.2u.%.2u", static_cast<unsigned>(frames / 4500),
                static_cast<unsigned>((frames / 75) % 60), static_cast<unsigned>(frames % 75));
  return text;
}

std::vector<InfoBoxSource> InfoBoxSources(const PluginSettings& settings) {
  std::vector<InfoBoxSource> sources;
  for (const std::string& name : settings.titlePriority) {
    const TitleSource* source = FindTitleSource(name.c_str());
    if (source) sources.push_back({source->name, source->displayName});
  }
  return sources;
}

InfoBoxModel::InfoBoxModel(std::vector<InfoBoxSource> sources, Resolve resolve, Verification verification)
    : sources_(std::move(sources)), resolve_(std::move(resolve)), verification_(std::move(verification)) {}

TrackDescription InfoBoxModel::ResolveShown() {
  TrackDescription record;
  // With no source at all the resolver's own order still gives a title.
  const char* name = shown_ < static_cast<int>(sources_.size()) ? sources_[shown_].name.c_str() : nullptr;
  resolve_(file_, name, record);
  fields_.title = record.text;
  fields_.texts = record.track;
  return record;
}

void InfoBoxModel::Open(const std::string& file) {
  file_ = file;
  shown_ = 0;
  fields_ = InfoBoxFields{};
  const TrackDescription record = ResolveShown();
  fields_.length = FormatTrackLength(record.entry.length);
  if (verification_) fields_.verification = verification_(file, record.entry);
  if (fields_.verification.empty()) fields_.verification = kNotVerifiedText;
  char letter = 0;
  int track = 0;
  if (ParseTrackName(file.c_str(), &letter, &track)) {
    fields_.drive = std::string(1, letter) + ":\\";
    fields_.track = std::to_string(track);
  }
}

bool InfoBoxModel::Choose(int index) {
  if (index < 0 || index >= static_cast<int>(sources_.size()) || index == shown_) return false;
  shown_ = index;
  ResolveShown();
  return true;
}
