#include "util/host_dir.h"

#include "util/sjis.h"

std::string DirectoryOfWindowsPath(const std::string& path) {
  const std::size_t cut = sjis::FindLastChar(path, '\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

SettingsFiles ChooseSettingsFiles(const HostSettingsLocation& host, const std::string& oldIni, Profile& profile,
                                  const char* section) {
  SettingsFiles files;
  if (host.iniPath.empty()) {
    files.ini = files.sourceIni = oldIni;
    return files;
  }
  files.ini = files.sourceIni = host.iniPath;
  files.folder = host.folder;
  // The same file under two names has the section in both or in neither.
  if (!profile.HasSection(section, host.iniPath.c_str()) && profile.HasSection(section, oldIni.c_str())) {
    files.sourceIni = oldIni;
    files.moving = true;
  }
  return files;
}
