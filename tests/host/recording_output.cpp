#include "tests/host/recording_output.h"

#include <windows.h>

#include <mutex>
#include <string>

namespace recording_output {

namespace {

std::mutex g_mutex;
CallLog g_calls;
std::vector<std::uint8_t> g_pcm;
double g_pace = 0;
bool g_openFails = false;
bool g_paused = false;
int g_sampleRate = 44100, g_channels = 2, g_bits = 16;
std::uint64_t g_writtenBytes = 0;  // since Open or the last Flush
int g_flushBaseMs = 0;
DWORD g_playStartTick = 0;
DWORD g_pausedMs = 0, g_pauseStartTick = 0;

int BytesPerSecond() { return g_sampleRate * g_channels * (g_bits / 8); }
int WrittenMs() { return g_flushBaseMs + static_cast<int>(g_writtenBytes * 1000 / BytesPerSecond()); }

// Bytes of the written audio that the "device" has played so far.
std::uint64_t PlayedBytes() {
  if (g_pace <= 0) return g_writtenBytes;
  DWORD now = g_paused ? g_pauseStartTick : GetTickCount();
  const double seconds = (now - g_playStartTick - g_pausedMs) / 1000.0 * g_pace;
  const auto played = static_cast<std::uint64_t>(seconds * BytesPerSecond());
  return played < g_writtenBytes ? played : g_writtenBytes;
}

void Config(HWND) { g_calls.Add("Config"); }
void About(HWND) { g_calls.Add("About"); }
void Init() { g_calls.Add("Init"); }
void Quit() { g_calls.Add("Quit"); }

int Open(int samplerate, int numchannels, int bitspersamp, int bufferlenms, int prebufferms) {
  g_calls.Add("Open(" + std::to_string(samplerate) + "," + std::to_string(numchannels) + "," +
              std::to_string(bitspersamp) + "," + std::to_string(bufferlenms) + "," + std::to_string(prebufferms) +
              ")");
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_openFails) return -1;
  g_sampleRate = samplerate;
  g_channels = numchannels;
  g_bits = bitspersamp;
  g_writtenBytes = 0;
  g_flushBaseMs = 0;
  g_playStartTick = GetTickCount();
  g_pausedMs = 0;
  g_paused = false;
  return 500;  // latency in ms
}

void Close() { g_calls.Add("Close"); }

int Write(char* buf, int len) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (len > 0 && buf) {
    g_pcm.insert(g_pcm.end(), buf, buf + len);
    g_writtenBytes += static_cast<std::uint64_t>(len);
  }
  return 0;
}

int CanWrite() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_pace <= 0) return 1 << 20;
  const std::int64_t buffered = static_cast<std::int64_t>(g_writtenBytes - PlayedBytes());
  const std::int64_t room = BytesPerSecond() / 2 - buffered;  // half a second of device buffer
  return room > 0 ? static_cast<int>(room) : 0;
}

int IsPlaying() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return PlayedBytes() < g_writtenBytes ? 1 : 0;
}

int Pause(int pause) {
  g_calls.Add("Pause(" + std::to_string(pause) + ")");
  std::lock_guard<std::mutex> lock(g_mutex);
  const bool was = g_paused;
  if (pause && !g_paused) {
    g_paused = true;
    g_pauseStartTick = GetTickCount();
  } else if (!pause && g_paused) {
    g_paused = false;
    g_pausedMs += GetTickCount() - g_pauseStartTick;
  }
  return was ? 1 : 0;
}

void SetVolume(int volume) { g_calls.Add("SetVolume(" + std::to_string(volume) + ")"); }
void SetPan(int pan) { g_calls.Add("SetPan(" + std::to_string(pan) + ")"); }

void Flush(int t) {
  g_calls.Add("Flush(" + std::to_string(t) + ")");
  std::lock_guard<std::mutex> lock(g_mutex);
  g_flushBaseMs = t;
  g_writtenBytes = 0;
  g_playStartTick = GetTickCount();
  g_pausedMs = 0;
  if (g_paused) g_pauseStartTick = g_playStartTick;
}

int GetOutputTime() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_flushBaseMs + static_cast<int>(PlayedBytes() * 1000 / BytesPerSecond());
}

int GetWrittenTime() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return WrittenMs();
}

char g_description[] = "Recording output (test host)";
Out_Module g_table = {0x10,  g_description, 65536, nullptr, nullptr, Config,    About,         Init,
                      Quit,  Open,          Close, Write,   CanWrite, IsPlaying, Pause,         SetVolume,
                      SetPan, Flush,        GetOutputTime, GetWrittenTime};

}  // namespace

Out_Module* Table() { return &g_table; }
CallLog& Calls() { return g_calls; }

std::vector<std::uint8_t> Captured() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_pcm;
}

void Reset() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_pcm.clear();
  g_calls.Clear();
  g_openFails = false;
  g_paused = false;
  g_writtenBytes = 0;
  g_flushBaseMs = 0;
}

void SetPace(double timesRealTime) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_pace = timesRealTime;
}

void SetOpenFails(bool fails) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_openFails = fails;
}

}  // namespace recording_output
