#include "input/host_slots.h"

#include "plugin/plugin_lifecycle.h"
#include "input/plugin_strings.h"
#include "input/track_name.h"
#include "resources/in_quorvo_res.h"
#include "util/no_throw.h"
#include "util/own_frames.h"
#include "util/codepage.h"

namespace {

char g_description[256] = "in_quorvo.dll Ver.0.26";
// Extension list and its description, double-NUL terminated.
char g_extensions[] = "cda\0CD-DA(*.cda)\0";

// Stays ANSI (the host's Unicode flag would make it pass wide file names to
// every slot, which older hosts cannot): a Unicode host gets exact texts from
// winampGetExtendedFileInfoW instead.
In_Module g_module = {
    IN_VER,
    g_description,
    nullptr,  // hMainWindow: host
    nullptr,  // hDllInstance: host
    g_extensions,
    1,  // is_seekable
    1,  // UsesOutputPlug
    slots::Config,
    slots::About,
    slots::Init,
    slots::Quit,
    slots::GetFileInfo,
    slots::InfoBox,
    slots::IsOurFile,
    slots::Play,
    slots::Pause,
    slots::UnPause,
    slots::IsPaused,
    slots::Stop,
    slots::GetLength,
    slots::GetOutputTime,
    slots::SetOutputTime,
    slots::SetVolume,
    slots::SetPan,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // host's vis/DSP
    slots::EQSet,
    nullptr,  // SetInfo: host
    nullptr,  // outMod: host
};

}  // namespace

In_Module* GetInModule() {
  const std::string description = LoadPluginString(IDS_MODULE_DESCRIPTION) + plugin::kVersionSuffix;
  // The host reads the description in its ANSI code page.
  codepage::CopyAnsiToBuffer(g_description, sizeof g_description, codepage::Utf8ToAnsi(description));
  return &g_module;
}

In_Module& Module() { return g_module; }

namespace slots {

// The slots that run a modal window or a wait that dispatches messages count
// their frame: the host may call Quit from such a message (see Quit).
void Config(HWND parent) {
  own_frames::Scope frame;
  NoThrow([parent] { plugin::Config(parent); });
}
void About(HWND parent) {
  own_frames::Scope frame;
  NoThrow([parent] { plugin::About(parent); });
}
void Init() { NoThrow(plugin::Init); }
void Quit() {
  own_frames::Scope frame;
  NoThrow(plugin::Quit);
}
int InfoBox(char* file, HWND parent) {
  own_frames::Scope frame;
  return NoThrow(0, [file, parent] { return plugin::InfoBox(file, parent); });
}
void EQSet(int on, char data[10], int preamp) {
  NoThrow([=] { plugin::EQSet(on, data, preamp); });
}

int IsOurFile(char* name) {
  return NoThrow(0, [name] {
    plugin::WaitForInitialisation();
    return ::IsOurFile(name);
  });
}

}  // namespace slots
