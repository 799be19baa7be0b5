#include "input/plugin_strings.h"

#include "util/codepage.h"

namespace {
HINSTANCE g_instance = nullptr;
}

void SetPluginInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE PluginInstance() { return g_instance; }

std::string LoadPluginString(unsigned id) {
  // The table is UTF-16: the wide load keeps every character on any code page.
  wchar_t buffer[1024];
  const int n = LoadStringW(g_instance, id, buffer, 1024);
  return n > 0 ? codepage::WideToUtf8(std::wstring(buffer, static_cast<std::size_t>(n))) : std::string();
}
