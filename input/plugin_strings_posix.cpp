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
      {IDS_TIP_DEFAULT_FORMAT, STR_TIP_DEFAULT_FORMAT},
      {IDS_TIP_CDTEXT_FORMAT, STR_TIP_CDTEXT_FORMAT},
      {IDS_TIP_READ_SPEED, STR_TIP_READ_SPEED},
      {IDS_TIP_BUFFER_SIZE, STR_TIP_BUFFER_SIZE},
      {IDS_TIP_PRE_READ_SIZE, STR_TIP_PRE_READ_SIZE},
      {IDS_TIP_JITTER, STR_TIP_JITTER},
      {IDS_TIP_CDDB_FORMAT, STR_TIP_CDDB_FORMAT},
      {IDS_TIP_CDDB_URL, STR_TIP_CDDB_URL},
      {IDS_TIP_PRIORITY, STR_TIP_PRIORITY},
      {IDS_TIP_CDDB_UTF8, STR_TIP_CDDB_UTF8},
      {IDS_TIP_CDDB_PROXY, STR_TIP_CDDB_PROXY},
      {IDS_TIP_CDDB_USE_PROXY, STR_TIP_CDDB_USE_PROXY},
      {IDS_PAGE_TITLE, STR_PAGE_TITLE},
      {IDS_PAGE_CDTEXT, STR_PAGE_CDTEXT},
      {IDS_PAGE_CDDB1, STR_PAGE_CDDB1},
      {IDS_PAGE_CDDB2, STR_PAGE_CDDB2},
      {IDS_PAGE_READ, STR_PAGE_READ},
      {IDS_PAGE_OTHER, STR_PAGE_OTHER},
      {IDS_TIP_MULTITHREAD_INIT, STR_TIP_MULTITHREAD_INIT},
      {IDS_PAGE_EXTENDED, STR_PAGE_EXTENDED},
      {IDS_TIP_EXTENDED_DEFAULT, STR_TIP_EXTENDED_DEFAULT},
      {IDS_TIP_EXTENDED_TITLE, STR_TIP_EXTENDED_TITLE},
      {IDS_TIP_CDDB_AUTO_CLOSE, STR_TIP_CDDB_AUTO_CLOSE},
      {IDS_TIP_CDDB_EMAIL, STR_TIP_CDDB_EMAIL},
  };
  const auto it = table.find(id);
  return it == table.end() ? std::string() : std::string(it->second);
}
