#pragma once
// The track information box the host opens for one playlist entry.
#include <functional>
#include <string>
#include <vector>

#include "host_api/win_types.h"
#include "ui/info_box_model.h"

namespace ui {

// What the box shows and where it asks: the entry (already the playing
// track's when the host gave none), the sources to offer and the title
// resolution that answers for one of them.
struct InfoBoxRequest {
  HINSTANCE instance = nullptr;  // the dialog template's module
  std::string file;
  std::vector<InfoBoxSource> sources;
  InfoBoxModel::Resolve resolve;
  // The latest AccurateRip verification of the track in this session, as
  // its rip log's line says it (「一致（信頼度 5）」); empty when none.
  std::function<std::string(const std::string& file, const TrackEntry& entry)> verification;
};

// Runs the box modally over `parent`. Returns the dialog's end code (1 OK,
// 2 closed), 0 when it could not be shown.
int ShowInfoBox(const InfoBoxRequest& request, HWND parent);

}  // namespace ui
