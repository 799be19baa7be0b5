#include "util/save_notice.h"

#include <memory>
#include <new>

#include "util/message_box.h"

namespace save_notice {

namespace {

struct Box {
  HWND owner;
  std::string text;
  std::string caption;
};

void ShowBox(void* argument) {
  std::unique_ptr<Box> box(static_cast<Box*>(argument));
  msgbox::ShowAbortable(box->owner, box->text, box->caption, msgbox::kOk | msgbox::kIconError);
}

void ReplaceFirst(std::string& text, const char* placeholder, const std::string& value) {
  const std::size_t at = text.find(placeholder);
  if (at != std::string::npos) text.replace(at, 2, value);
}

}  // namespace

std::string Compose(const std::string& pattern, const std::string& path, const std::string& reason) {
  std::string text = pattern;
  ReplaceFirst(text, "%2", reason);  // first: a path may hold "%2"
  ReplaceFirst(text, "%1", path);
  return text;
}

plugin_thread::Handle ShowLater(HWND owner, const std::string& text, const std::string& caption) {
  if (text.empty()) return nullptr;
  auto* box = new (std::nothrow) Box{owner, text, caption};
  if (box == nullptr) return nullptr;
  plugin_thread::Handle thread = plugin_thread::Start(ShowBox, box);
  if (thread == nullptr) delete box;
  return thread;
}

}  // namespace save_notice
