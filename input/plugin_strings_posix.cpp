#include "input/plugin_strings.h"

#include <map>

#include "resources/in_quorvo_res.h"
#include "resources/in_quorvo_strings.h"

namespace {
HINSTANCE g_instance = nullptr;
}

void SetPluginInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE PluginInstance() { return g_instance; }

std::string LoadPluginString(unsigned id) {
  static const std::map<unsigned, const char*> table = {
      {IDS_ABOUT_TEXT, STR_ABOUT_TEXT},       {IDS_PLUGIN_NAME, STR_PLUGIN_NAME},
      {IDS_ABOUT_NOTICE, STR_ABOUT_NOTICE},   {IDS_ABOUT_CAPTION, STR_ABOUT_CAPTION},
      {IDS_SETTINGS, STR_SETTINGS},           {IDS_MODULE_DESCRIPTION, STR_MODULE_DESCRIPTION},
  };
  const auto it = table.find(id);
  return it == table.end() ? std::string() : std::string(it->second);
}
