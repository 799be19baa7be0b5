#include "input/plugin_strings.h"

namespace {
HINSTANCE g_instance = nullptr;
}

void SetPluginInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE PluginInstance() { return g_instance; }

std::string LoadPluginString(unsigned id) {
  char buffer[1024];
  const int n = LoadStringA(g_instance, id, buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}
