#include "util/message_box.h"

namespace msgbox {

int Show(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

std::vector<Shown>& RecordedForTesting() {
  static std::vector<Shown> none;
  return none;
}

void SetShowHookForTesting(void (*)(const Shown&)) {}

}  // namespace msgbox
