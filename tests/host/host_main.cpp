// The test host as a program.
//
//   quorvo_host --hold-lock <ms>
//     takes the plug-in's drive lock, signals the named event
//     "quorvo-test-lock-held", holds the lock for <ms> and releases it (for
//     scenarios that need a second host process).
//
//   quorvo_host --hold-file <path> <ms>
//     opens <path> without sharing (as another program that keeps a file
//     open does), signals the named event "quorvo-test-file-held" and holds
//     the file for <ms> (the test ends the process sooner when it is done).
//
//   quorvo_host --demo [track] [pace]
//     loads in_quorvo.dll beside itself (winamp.ini, the virtual drive's
//     wnaspi32.dll and vdrive.ini lie there too), lists the disc in drive
//     D: with the track lengths, plays one track (default 1) at `pace`
//     times real time (default 4) into <folder>\demo.wav and prints where
//     it is. Pace 0 plays nothing: the same window and loop stay up for the
//     track's length (the host not playing, for the CPU benchmark).
//
//   quorvo_host --rip <track-file> <out.wav> [--kill-after-bytes N | --quit-after-bytes N]
//     as a format converter does: loads in_quorvo.dll beside itself, Inits
//     it, reads the track (cda://D,3 or D:\Track03.cda) through the
//     extended-read exports on a thread of its own into a WAV file (header
//     from the size the open call reports, data as delivered), Quits, and
//     prints the bytes written and the folder of the rip logs. With
//     --kill-after-bytes the converter's cancel is pressed once that much has
//     arrived and the time getData took to notice is printed. Exits 0 when
//     the track arrived whole (or the cancel was noticed within a second).
//     With --quit-after-bytes the player quits instead while getData is
//     busy (0: at once): exits 0 when Quit and that getData both returned
//     within 2 s, and getData ended with -1 unless the track had arrived whole.
//
//   quorvo_host --title-query <ms>
//     loads in_quorvo.dll beside itself, asks the title of cda://D,1 (with
//     CDDB first in winamp.ini this starts a background lookup and its status
//     window), runs the message loop for <ms>, quits and exits 0 (the CPU
//     benchmark of a lookup's wait).
//
//   quorvo_host --quit-inside-config
//     loads in_quorvo.dll beside itself and opens its settings sheet; from a
//     timer message the sheet's own loop dispatches, quits the plug-in, frees
//     the library as the player does after Quit and closes the sheet. Exits 0
//     when the call into the plug-in returned safely and the library stayed
//     mapped meanwhile (a player that does this must not crash).
//
//   quorvo_host --transport-kind
//     exits with the transport kind the start-up choice makes with Aspi on,
//     as this process's loader sees the ASPI layer.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/cd_device.h"
#include "device/device_map.h"
#include "host_api/host_messages.h"
#include "input/frame_time.h"
#include "input/plugin_state.h"
#include "tests/host/pass_through_stand_in.h"
#include "tests/host/recording_output.h"
#include "tests/host/test_host.h"
#include "util/codepage.h"
#include "util/critical_section.h"
#include "util/named_event.h"
#include "util/profile.h"

namespace {

int HoldFile(const char* path, DWORD ms) {
  const HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  CNamedEvent held;
  if (!held.Open("quorvo-test-file-held") && !held.Create(true, false, "quorvo-test-file-held")) return 4;
  held.Set();
  Sleep(ms);
  CloseHandle(file);
  return 0;
}

int HoldLock(DWORD ms) {
  CCriticalSection lock;
  if (!lock.Create(plugin::kDriveLockName)) return 2;
  if (!lock.Lock()) return 3;
  CNamedEvent held;
  if (!held.Open("quorvo-test-lock-held") && !held.Create(true, false, "quorvo-test-lock-held")) return 4;
  held.Set();
  Sleep(ms);
  lock.Unlock();
  return 0;
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string MinSec(int ms) {
  if (ms < 0) return "-:--";
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", ms / 60000, ms / 1000 % 60);
  return text;
}

struct PlaylistEntry {
  std::string name;
  std::string title;
  int lengthMs;
};

// The disc's track lengths as the drive reports them, over the transport
// and device map the plug-in chooses from the same winamp.ini.
std::vector<int> TocLengths(const std::string& iniPath, char letter) {
  std::vector<int> lengths;
  DeviceMap map;
  LoadDeviceMap(SystemProfile(), iniPath.c_str(), map);
  pass_through_stand_in::Install(GetModuleHandleA(nullptr));
  CdDevice device;  // the automatic choice: the pass-through on Windows NT
  ChooseTransport(device, ProfileTextIsTrue(SystemProfile().GetString("QZ_CDDAPLAYER", "Aspi", "", iniPath.c_str())),
                  map);
  device.EnumerateDrives();
  if (!device.SelectDrive(letter)) return lengths;
  const int last = device.ReadToc();
  for (int track = 1; track <= last; ++track) {
    TrackEntry entry;
    if (!device.GetTrackEntry(track, &entry)) break;
    lengths.push_back(entry.dataTrack ? -1 : static_cast<int>(FramesToMs(entry.length)));
  }
  return lengths;
}

void PutWavHeader(FILE* f, std::uint32_t size) {
  const auto put32 = [f](std::uint32_t v) {
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    std::fwrite(b, 1, 4, f);
  };
  const auto put16 = [f](std::uint16_t v) {
    const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
  };
  std::fwrite("RIFF", 1, 4, f);
  put32(36 + size);
  std::fwrite("WAVEfmt ", 1, 8, f);
  put32(16);
  put16(1);  // PCM
  put16(2);
  put32(44100);
  put32(44100 * 4);
  put16(4);
  put16(16);
  std::fwrite("data", 1, 4, f);
  put32(size);
}

bool WriteWav(const std::string& path, const std::vector<std::uint8_t>& pcm) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  PutWavHeader(f, static_cast<std::uint32_t>(pcm.size()));
  std::fwrite(pcm.data(), 1, pcm.size(), f);
  return std::fclose(f) == 0;
}

// The converter's side of a rip: its worker thread pulls the track, the UI
// thread pumps messages and may press cancel (the killswitch).
struct RipJob {
  TestHost::ExtendedRead read;
  intptr_t handle = 0;
  FILE* out = nullptr;
  volatile LONG written = 0;
  volatile int kill = 0;
  DWORD killedAt = 0, noticedAt = 0;
  intptr_t last = 0;  // the last getData result
  bool writeFailed = false;
};

DWORD WINAPI RipWorker(void* param) {
  auto* job = static_cast<RipJob*>(param);
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    const intptr_t n = job->read.getData(job->handle, buffer.data(), buffer.size(), const_cast<int*>(&job->kill));
    job->last = n;
    if (job->kill) {
      job->noticedAt = GetTickCount();
      return 0;
    }
    if (n <= 0) return 0;
    if (std::fwrite(buffer.data(), 1, static_cast<std::size_t>(n), job->out) != static_cast<std::size_t>(n))
      job->writeFailed = true;
    InterlockedExchangeAdd(&job->written, static_cast<LONG>(n));
  }
}

std::string RipLogFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetPrivateProfileStringW(L"QZ_CDDAPLAYER", L"Rip_LogFolder", L"", folder, MAX_PATH, TestHost::SettingsIni().c_str());
  return codepage::WideToUtf8(folder[0] ? std::wstring(folder) : TestHost::SettingsFolder() + L"\\rip logs");
}

int Rip(const char* track, const char* wavPath, long long killAfter, long long quitAfter) {
  TestHost host;
  if (!host.CreateMainWindow()) {
    Say("rip: the host window could not be created (is there an X display?)");
    return 2;
  }
  In_Module* in = host.LoadInputPlugin();
  RipJob job;
  job.read = host.InputExtendedRead();
  if (!in || !job.read.Complete()) {
    Say("rip: in_quorvo.dll or its extended-read exports are missing in " + TestHost::ProgramDirectory());
    return 3;
  }
  in->Init();
  int size = 0, bps = 0, nch = 0, srate = 0;
  job.handle = job.read.openW(codepage::Utf8ToWide(codepage::AnsiToUtf8(track)).c_str(), &size, &bps, &nch, &srate);
  if (job.handle == 0) {
    Say(std::string("rip: open(") + track + ") returned 0");
    in->Quit();
    return 4;
  }
  Say("rip: " + std::string(track) + ": " + std::to_string(size) + " bytes, " + std::to_string(bps) + " bit, " +
      std::to_string(nch) + " ch, " + std::to_string(srate) + " Hz");
  job.out = std::fopen(wavPath, "wb");
  if (!job.out) {
    job.read.close(job.handle);
    in->Quit();
    Say(std::string("rip: cannot write ") + wavPath);
    return 7;
  }
  PutWavHeader(job.out, static_cast<std::uint32_t>(size));
  const DWORD start = GetTickCount();
  HANDLE worker = CreateThread(nullptr, 0, RipWorker, &job, 0, nullptr);
  DWORD quitAt = 0, quitMs = 0;
  while (MsgWaitForMultipleObjects(1, &worker, FALSE, 5, QS_ALLINPUT) != WAIT_OBJECT_0) {
    host.PumpFor(0);
    if (killAfter >= 0 && !job.kill && job.written >= killAfter) {
      job.killedAt = GetTickCount();
      job.kill = 1;
    }
    if (quitAfter >= 0 && !quitAt && job.written >= quitAfter) {
      quitAt = GetTickCount();
      in->Quit();
      quitMs = GetTickCount() - quitAt;
    }
    if (quitAt && GetTickCount() - quitAt > 10000) break;  // reported below
  }
  const bool returned = WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
  CloseHandle(worker);
  const DWORD ms = GetTickCount() - start;
  if (quitAt) {
    const DWORD after = GetTickCount() - quitAt;
    const long long written = job.written;
    Say("rip: Quit took " + std::to_string(quitMs) + " ms; getData " +
        (returned ? "returned " + std::to_string(job.last) + " within " + std::to_string(after) + " ms"
                  : std::string("never returned")) + " (" + std::to_string(written) + " bytes)");
    // An aborted rip must not look finished (0) to the converter.
    const bool honest = job.last < 0 || written == size;
    std::fflush(stdout);
    // The reading thread may still be inside the library: no exit cleanup.
    TerminateProcess(GetCurrentProcess(), returned && honest && quitMs <= 2000 && after <= 2000 ? 0 : 6);
  }
  job.read.close(job.handle);
  in->Quit();
  const bool closed = std::fclose(job.out) == 0 && !job.writeFailed;
  const long long written = job.written;
  Say("rip: wrote " + std::to_string(written) + " of " + std::to_string(size) + " bytes in " + std::to_string(ms) +
      " ms to " + wavPath);
  Say("rip: log folder " + RipLogFolder());
  if (job.kill) {
    const DWORD noticed = job.noticedAt - job.killedAt;
    Say("rip: cancelled; getData returned " + std::to_string(job.last) + " " + std::to_string(noticed) +
        " ms after the killswitch");
    return closed && noticed <= 1000 ? 0 : 6;
  }
  if (job.last < 0) Say("rip: getData failed (-1)");
  return closed && job.last == 0 && written == size ? 0 : 5;
}

int Demo(int track, double pace) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  TestHost host;
  if (!host.CreateMainWindow()) {
    Say("demo: the host window could not be created (is there an X display?)");
    return 2;
  }
  HWND window = host.MainWindow();
  SetWindowTextW(window, codepage::Utf8ToWide("Winamp (test host) - in_quorvo デモ").c_str());
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_USETABSTOPS |
                              LBS_NOINTEGRALHEIGHT, 10, 10, 610, 240, window, nullptr, instance, nullptr);
  HWND progress = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 260, 610, 22, window, nullptr,
                                  instance, nullptr);
  HWND status = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 290, 610, 40, window, nullptr, instance,
                                nullptr);
  for (HWND control : {list, status}) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  int tabs[] = {200};
  SendMessageA(list, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(tabs));
  SendMessageA(progress, PBM_SETRANGE32, 0, 1000);
  host.PumpFor(10);

  In_Module* in = host.LoadInputPlugin();
  if (!in) {
    Say("demo: in_quorvo.dll could not be loaded from " + TestHost::ProgramDirectory());
    return 3;
  }
  in->Init();
  Say("demo: " + std::string(in->description));

  // The playlist: the plug-in's own title and length where it has them,
  // the cda:// name and the drive's table of contents otherwise.
  const std::vector<int> toc = TocLengths(TestHost::ProgramDirectory() + "\\winamp.ini", 'D');
  std::vector<PlaylistEntry> playlist;
  for (std::size_t i = 0; i < toc.size(); ++i) {
    PlaylistEntry entry{"cda://D," + std::to_string(i + 1), "", toc[i]};
    char title[GETFILEINFO_TITLE_LENGTH] = {};
    int lengthMs = -1000;
    in->GetFileInfo(&entry.name[0], title, &lengthMs);
    entry.title = title[0] ? codepage::AnsiToUtf8(title) : entry.name;
    if (lengthMs >= 0) entry.lengthMs = lengthMs;
    playlist.push_back(entry);
    const std::string line = std::to_string(i + 1) + ". " + entry.title + "\t" + MinSec(entry.lengthMs);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(codepage::Utf8ToWide(line).c_str()));
    Say("demo: playlist " + std::to_string(i + 1) + ". " + entry.title + "  " + MinSec(entry.lengthMs));
  }
  if (playlist.empty()) {
    Say("demo: no disc in drive D: (check vdrive.ini and winamp.ini beside the host)");
    in->Quit();
    return 4;
  }
  if (track < 1 || track > static_cast<int>(playlist.size())) track = 1;
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(track - 1), 0);

  recording_output::Reset();
  recording_output::SetPace(pace);
  std::string name = playlist[track - 1].name;
  const bool idle = pace <= 0;
  const int played = idle ? 0 : in->Play(&name[0]);
  if (played != 0) {
    Say("demo: Play(" + name + ") returned " + std::to_string(played));
    in->Quit();
    return 5;
  }
  const std::string playing = (idle ? "停止中: " : "再生中: ") + playlist[track - 1].title;
  SetWindowTextW(status, codepage::Utf8ToWide(playing).c_str());
  Say(idle ? "demo: idle for the length of " + name : "demo: playing " + name);

  const DWORD start = GetTickCount();
  const DWORD limit = idle ? static_cast<DWORD>(std::max(playlist[track - 1].lengthMs, 0)) : 120000;
  bool ended = false;
  while (!ended && GetTickCount() - start < limit) {
    host.PumpFor(50);
    const int length = in->GetLength();
    const int now = in->GetOutputTime();
    if (length > 0) SendMessageA(progress, PBM_SETPOS, static_cast<WPARAM>(static_cast<long long>(now) * 1000 / length), 0);
    const std::string text = playing + "   " + MinSec(now) + " / " + MinSec(length);
    SetWindowTextW(status, codepage::Utf8ToWide(text).c_str());
    for (const auto& m : host.Messages()) ended = ended || m.msg == host::kMsgEndOfStream;
  }
  SendMessageA(progress, PBM_SETPOS, 1000, 0);
  host.PumpFor(50);
  if (!idle) in->Stop();
  in->Quit();
  if (idle) return 0;
  if (!ended) {
    Say("demo: the track never ended");
    return 6;
  }

  const std::string wav = TestHost::ProgramDirectory() + "\\demo.wav";
  const std::vector<std::uint8_t> pcm = recording_output::Captured();
  if (!WriteWav(wav, pcm)) {
    Say("demo: could not write " + wav);
    return 7;
  }
  Say("demo: wrote " + std::to_string(pcm.size()) + " bytes of PCM (" + MinSec(static_cast<int>(pcm.size() / 176.4)) +
      ") to " + wav);
  return 0;
}

int TitleQuery(DWORD ms) {
  TestHost host;
  if (!host.CreateMainWindow()) return 2;
  In_Module* in = host.LoadInputPlugin();
  if (!in) return 3;
  in->Init();
  char name[] = "cda://D,1";
  char title[GETFILEINFO_TITLE_LENGTH] = {};
  in->GetFileInfo(name, title, nullptr);
  Say("title: " + codepage::AnsiToUtf8(title));
  host.PumpFor(ms);
  in->Quit();
  return 0;
}

// The settings sheet open; the host quits and frees the plug-in from a
// message the sheet's loop dispatches, then closes the sheet.
struct QuitInside {
  In_Module* in = nullptr;
  HMODULE library = nullptr;
  bool quit = false;
};
QuitInside g_quitInside;

void CALLBACK QuitFromInsideTheSheet(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND sheet = FindWindowW(nullptr, codepage::Utf8ToWide("設定  -  音楽CD再生プラグイン [in_quorvo.dll]").c_str());
  if (sheet == nullptr) return;  // not up yet
  KillTimer(nullptr, timer);
  g_quitInside.in->Quit();
  FreeLibrary(g_quitInside.library);
  g_quitInside.quit = true;
  PostMessageA(sheet, WM_CLOSE, 0, 0);
}

int QuitInsideConfig() {
  TestHost host;
  if (!host.CreateMainWindow()) return 2;
  In_Module* in = host.LoadInputPlugin();
  if (!in) return 3;
  in->Init();
  g_quitInside.in = in;
  g_quitInside.library = host.InputLibrary();
  SetTimer(nullptr, 0, 100, QuitFromInsideTheSheet);
  in->Config(host.MainWindow());
  const bool mapped = GetModuleHandleA("in_quorvo.dll") != nullptr;
  Say(std::string("config returned; quit inside: ") + (g_quitInside.quit ? "yes" : "no") +
      "; library mapped: " + (mapped ? "yes" : "no"));
  return g_quitInside.quit && mapped ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--hold-lock") == 0) return HoldLock(static_cast<DWORD>(std::atoi(argv[2])));
  if (argc == 4 && std::strcmp(argv[1], "--hold-file") == 0)
    return HoldFile(argv[2], static_cast<DWORD>(std::atoi(argv[3])));
  if (argc >= 2 && std::strcmp(argv[1], "--demo") == 0) {
    const int track = argc >= 3 ? std::atoi(argv[2]) : 1;
    const double pace = argc >= 4 ? std::atof(argv[3]) : 4.0;
    return Demo(track, pace);
  }
  if (argc >= 4 && std::strcmp(argv[1], "--rip") == 0) {
    const bool kill = argc == 6 && std::strcmp(argv[4], "--kill-after-bytes") == 0;
    const bool quit = argc == 6 && std::strcmp(argv[4], "--quit-after-bytes") == 0;
    if (argc == 4 || kill || quit)
      return Rip(argv[2], argv[3], kill ? std::atoll(argv[5]) : -1, quit ? std::atoll(argv[5]) : -1);
  }
  if (argc == 3 && std::strcmp(argv[1], "--title-query") == 0) return TitleQuery(static_cast<DWORD>(std::atoi(argv[2])));
  if (argc == 2 && std::strcmp(argv[1], "--quit-inside-config") == 0) return QuitInsideConfig();
  if (argc == 2 && std::strcmp(argv[1], "--transport-kind") == 0) {
    // The start-up transport choice with Aspi on, as this process's loader
    // sees the ASPI layer; the kind is the exit code.
    CdDevice device;
    ChooseTransport(device, true, DeviceMap());
    return device.TransportKind();
  }
  return 1;
}
