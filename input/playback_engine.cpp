#include "input/playback_engine.h"

#include <algorithm>
#include <chrono>

#include "device/cd_direct_cdda.h"
#include "host_api/host_messages.h"
#include "input/host_slots.h"
#include "input/plugin_state.h"
#include "input/plugin_settings.h"
#include "input/readers.h"
#include "input/track_name.h"
#include "util/critical_section.h"
#include "util/host_window.h"
#include "util/message_box.h"

namespace {

constexpr std::uint32_t kFrameBytes = CDirectCDDA::kFrameBytes;
constexpr std::uint32_t kBlockBytes = CDirectCDDA::kBlockBytes;
constexpr std::uint32_t kFullRead = CDirectCDDA::kMaxFramesPerRead;
constexpr int kSamplesPerFrame = 588;
constexpr int kSampleRate = 44100;
// One minute each way is far beyond any offered size; an edited winamp.ini
// must not make the plug-in ask for gigabytes.
constexpr std::uint64_t kMaxBlocks = 120;

// Pauses of the playback thread.
constexpr unsigned kPreReadPollMs = 1;
constexpr unsigned kOutputFullMs = 20;
// GetOutputTime's tries for a reading no write overlaps (the later ones sleep
// a millisecond: about 16 ms at most before the last reading stands).
constexpr int kPositionReadTries = 20;
constexpr unsigned kPausedOrDrainingMs = 10;
// The fill thread looks at the buffer this often while it is full enough,
// in slices so that a request to end is seen at once.
constexpr unsigned kFillIdleMs = 100;
constexpr unsigned kFillIdleSliceMs = 10;
// How often Stop looks for a read-error box to close while it waits.
constexpr std::uint32_t kStopBoxCheckMs = 50;
// The longest SetOutputTime waits for the playback thread to take a seek.
constexpr unsigned kSeekWaitMs = 5000;
// The drive's code for its maximum speed.
constexpr std::uint32_t kMaximumSpeed = 0xFFFF;

}  // namespace

BufferPlan PlanBuffer(std::uint32_t preReadSize, std::uint32_t bufferSize) {
  const std::uint64_t wanted = 2 * static_cast<std::uint64_t>(bufferSize) / kBlockBytes;
  BufferPlan plan;
  plan.blocks = static_cast<std::uint32_t>(std::min(std::max<std::uint64_t>(wanted, 1), kMaxBlocks));
  // A run that does not fit is dropped whole, so a fill is sure to reach
  // only the capacity less one full read.
  const std::uint32_t reachable = plan.blocks * kBlockBytes - kFullRead * kFrameBytes;
  plan.preReadBytes = std::min(preReadSize, reachable);
  // Below one frame the fill would wait for a buffer emptier than empty and
  // never read at all (BufferSize=0 in an edited winamp.ini): silence.
  plan.refillBelowBytes = std::max(std::min(bufferSize, reachable), kFrameBytes);
  return plan;
}

PlaybackEngine::PlaybackEngine(CDirectCDDA& reader, In_Module& module, CCriticalSection& driveLock)
    : reader_(reader), module_(module), driveLock_(driveLock) {}

int PlaybackEngine::Play(const char* fileName, const PlaybackOptions& options) {
  // A Play that reaches us through a message dispatched while Stop waits for
  // the playback thread would start a track that Stop then tears down.
  if (stopping_.load()) return 1;
  // The host stops before it plays; should it not, the old threads must not
  // be left running unowned.
  if (playbackThread_ != nullptr) Stop();

  // Given back only if it was had: after its bound Play goes on without it.
  const bool locked = driveLock_.Lock();
  plan_ = PlanBuffer(options.preReadSize, options.bufferSize);
  // Only 16 bits reach the drive: a larger value (or 0) must not wrap into
  // some arbitrary slow speed.
  readSpeed_ = static_cast<std::uint16_t>(
      options.readSpeed == 0 || options.readSpeed > kMaximumSpeed ? kMaximumSpeed : options.readSpeed);
  jitterCorrection_ = options.jitterCorrection;
  outputLatency_.store(-1);
  running_.store(false);
  // Cleared here rather than by the new thread, so that a drive removed
  // just after Play returns is not forgotten.
  fillError_.store(false);
  started_.store(false);
  ended_.store(false);
  reader_.SetBufferBlocks(plan_.blocks);
  reader_.SetErrorBoxOwner(module_.hMainWindow);

  std::string drive;
  int track = 0;
  TrackEntry entry;
  if (fileName == nullptr || !ParseTrackName(fileName, &drive, &track) || drive.empty() ||
      reader_.FindDrive(drive[0]) == 0 || reader_.SelectDrive(drive[0]) == 0 ||
      reader_.OpenTrack(track) != kReaderOk || !reader_.GetTrackEntry(track, &entry)) {
    if (locked) driveLock_.Unlock();
    return -1;
  }
  trackLengthMs_.store(static_cast<int>(FramesToMs(entry.length)));
  {
    std::lock_guard<std::mutex> hold(namesMutex_);
    currentFileName_ = fileName;
    playingDrive_ = drive;
  }
  if (locked) driveLock_.Unlock();

  Out_Module* out = module_.outMod;
  outputLatency_.store(out ? out->Open(kSampleRate, 2, 16, -1, -1) : -1);
  if (outputLatency_.load() < 0) {
    Stop();
    return 1;
  }
  playbackThread_ = plugin_thread::Start(PlaybackThreadEntry, this);
  if (playbackThread_ == nullptr) {
    Stop();
    return 1;
  }
  // Until the thread has started; a short track may already be over by the
  // time this looks, which is a success all the same.
  while (!started_.load() && !ended_.load()) plugin_thread::SleepMs(kPreReadPollMs);
  if (started_.load()) return 0;
  Stop();
  return 1;
}

void PlaybackEngine::Stop() {
  // While this waits it answers messages sent to the host's window, and the
  // host may call Stop again from one of them: that call has nothing to add.
  if (stopping_.exchange(true)) return;
  // Taken out before the wait, so that nothing reached from the wait sees a
  // thread that is already being ended.
  plugin_thread::Handle thread = playbackThread_;
  playbackThread_ = nullptr;
  if (thread != nullptr) {
    running_.store(false);
    // A read-error box would hold the fill thread, and with it the playback
    // thread, until somebody closed it: the track it reports on is over.
    while (!plugin_thread::Wait(thread, kStopBoxCheckMs)) msgbox::CloseAbortable();
    plugin_thread::Release(thread);
  }
  Out_Module* out = module_.outMod;
  // Closed once: a second Stop must not close an output that is not open.
  if (outputLatency_.exchange(-1) >= 0 && out) out->Close();
  if (module_.SAVSADeInit) module_.SAVSADeInit();
  reader_.Seek(0);
  reader_.CloseTrack();
  SetPlayingDrive("");
  stopping_.store(false);
}

int PlaybackEngine::GetOutputTime() const {
  // The decode position and the output's times are read as one consistent
  // set: read across a write they put the position up to the output's whole
  // buffer early (seen after a seek under load). Writes are short, so a few
  // tries find a quiet moment; failing that, the last reading stands.
  Out_Module* out = module_.outMod;
  int ms = 0;
  for (int attempt = 0; attempt < kPositionReadTries; ++attempt) {
    const std::uint32_t before = positionChanges_.load();
    ms = static_cast<int>(FramesToMs(decodePosition_.load()));
    if (out) ms += out->GetOutputTime() - out->GetWrittenTime();
    if ((before & 1) == 0 && positionChanges_.load() == before) break;
    plugin_thread::SleepMs(attempt < 4 ? 0 : 1);
  }
  return ms;
}

void PlaybackEngine::SetOutputTime(int ms) {
  // -1 means "no request"; a position before the start is the start.
  seekRequestMs_.store(std::max(ms, 0));
  // A read error at the new position opens a box that the host's window
  // owns, and the box needs this thread to answer before the playback thread
  // can take the request: the wait answers sent messages. It is bounded, as
  // the box waits for the user; a request not yet taken is carried out later.
  const auto start = std::chrono::steady_clock::now();
  while (running_.load() && seekRequestMs_.load() != -1 &&
         std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kSeekWaitMs)) {
    plugin_thread::SleepAnsweringSentMessages(kPreReadPollMs);
  }
}

void PlaybackEngine::SetVolume(int volume) {
  if (volume >= 0 && volume <= 255) volume_.store(volume);
}

void PlaybackEngine::SetPan(int pan) {
  if (pan >= -127 && pan <= 127) pan_.store(pan);
}

int PlaybackEngine::OnDeviceChange(std::uint32_t event, bool volumeRecord, std::uint32_t unitMask) {
  if (event != kDeviceArrival && event != kDeviceQueryRemoveFailed && event != kDeviceRemoveComplete) return 0;
  if (!volumeRecord || unitMask == 0) return 1;
  int bit = 0;
  while ((unitMask & (1u << bit)) == 0) ++bit;
  const char letter = static_cast<char>('a' + bit);
  const char found = reader_.FindDrive(letter);
  if (found == 0 || found != reader_.CurrentDriveLetter()) return 1;
  if (event != kDeviceArrival) {
    // Ends playback as a read error would: the output plays out and the
    // host is told the stream has ended.
    fillRunning_.store(false);
    fillError_.store(true);
  }
  SetPlayingDrive("");
  return 1;
}

std::string PlaybackEngine::CurrentFileName() const {
  std::lock_guard<std::mutex> hold(namesMutex_);
  return currentFileName_;
}

std::string PlaybackEngine::PlayingDriveText() const {
  std::lock_guard<std::mutex> hold(namesMutex_);
  return playingDrive_;
}

void PlaybackEngine::SetPlayingDrive(const std::string& text) {
  std::lock_guard<std::mutex> hold(namesMutex_);
  playingDrive_ = text;
}

void PlaybackEngine::PlaybackThreadEntry(void* self) { static_cast<PlaybackEngine*>(self)->PlaybackThread(); }
void PlaybackEngine::FillThreadEntry(void* self) { static_cast<PlaybackEngine*>(self)->FillThread(); }

void PlaybackEngine::StartFill() {
  fillRunning_.store(true);
  fillThread_ = plugin_thread::Start(FillThreadEntry, this);
  if (fillThread_ == nullptr) {
    fillRunning_.store(false);
    fillError_.store(true);
  }
}

void PlaybackEngine::StopFill() {
  fillRunning_.store(false);
  plugin_thread::Join(fillThread_);
  fillThread_ = nullptr;
}

void PlaybackEngine::PreReadWait() {
  // Also ends when playback is stopped or the fill has failed (a removed
  // drive leaves no read result behind).
  while (reader_.BufferedBytes() < plan_.preReadBytes && reader_.LastReadResult() == kReaderOk &&
         running_.load() && !fillError_.load()) {
    plugin_thread::SleepMs(kPreReadPollMs);
  }
}

void PlaybackEngine::FillThread() {
  bool filling = false;
  while (fillRunning_.load()) {
    if (filling) {
      const int result = reader_.Fill(kFullRead);
      if (result == kReaderOk) continue;
      if (result == kReaderBufferFull) {
        filling = false;
      } else if (result == kReaderEndOfTrack) {
        fillRunning_.store(false);
      } else {
        fillError_.store(true);
        fillRunning_.store(false);
      }
    } else if (reader_.BufferedBytes() < plan_.refillBelowBytes) {
      filling = true;
    } else {
      for (unsigned slept = 0; slept < kFillIdleMs && fillRunning_.load(); slept += kFillIdleSliceMs) {
        plugin_thread::SleepMs(kFillIdleSliceMs);
      }
    }
  }
}

void PlaybackEngine::PlaybackThread() {
  In_Module& m = module_;
  Out_Module* out = m.outMod;

  seekRequestMs_.store(-1);
  paused_.store(false);
  decodePosition_.store(0);
  running_.store(true);
  started_.store(true);

  if (m.SetInfo) m.SetInfo(1411, kSampleRate / 1000, 2, 1);
  if (m.SAVSAInit) m.SAVSAInit(outputLatency_.load(), kSampleRate);
  if (m.VSASetInfo) m.VSASetInfo(kSampleRate, 2);
  plugin_thread::RaiseToAboveNormal();

  reader_.SetCdSpeed(readSpeed_, 0xFFFF);
  reader_.SetJitterCorrection(jitterCorrection_ ? 1 : 0);
  reader_.Seek(0);
  // A one-frame read that overlaps the frame before it adds nothing, so with
  // jitter correction the first reads take at least two frames.
  std::uint32_t firstRead = plan_.preReadBytes / kFrameBytes;
  if (jitterCorrection_) firstRead = std::max<std::uint32_t>(firstRead, 2);
  reader_.SetFramesPerRead(firstRead);
  StartFill();
  PreReadWait();
  reader_.SetFramesPerRead(kFullRead);

  int lastVolume = -1;
  int lastPan = -128;
  bool lastPaused = false;
  // Room for one frame that the DSP may have stretched to twice its samples.
  short block[2 * kFrameBytes / sizeof(short)];
  std::uint32_t heldFrames = 0;
  int bytes = 0;
  bool ending = false;

  while (running_.load()) {
    if (fillError_.load()) ending = true;

    int request = seekRequestMs_.load();
    if (request != -1) {
      const std::int32_t target = MsToFrames(request);
      // The fill thread is ended first: the reader must not be moved under
      // a read in progress, and a fill that was about to end on its own
      // would otherwise leave the new position unread.
      StopFill();
      reader_.Seek(static_cast<std::uint32_t>(target));
      // After a failure nothing more is played, so nothing more is read
      // (a second error box would tell the user nothing new).
      if (!fillError_.load()) StartFill();
      PreReadWait();
      positionChanges_.fetch_add(1);
      decodePosition_.store(static_cast<std::uint32_t>(target));
      if (out) out->Flush(request);
      positionChanges_.fetch_add(1);
      heldFrames = 0;
      // A newer request that came in meanwhile stays for the next pass.
      seekRequestMs_.compare_exchange_strong(request, -1);
      ending = false;
    }

    const int volume = volume_.load();
    if (volume != lastVolume) {
      if (out) out->SetVolume(volume);
      lastVolume = volume;
    }
    const int pan = pan_.load();
    if (pan != lastPan) {
      if (out) out->SetPan(pan);
      lastPan = pan;
    }
    const bool paused = paused_.load();
    if (paused != lastPaused) {
      if (out) out->Pause(paused ? 1 : 0);
      lastPaused = paused;
    }
    if (paused) {
      plugin_thread::SleepMs(kPausedOrDrainingMs);
      continue;
    }

    if (ending) {
      if (out) out->CanWrite();
      if (!out || !out->IsPlaying()) {
        host_window::Post(m.hMainWindow, host::kMsgEndOfStream, 0, 0);
        running_.store(false);
        break;
      }
      plugin_thread::SleepMs(kPausedOrDrainingMs);
      continue;
    }

    if (heldFrames == 0) {
      std::uint32_t taken = 0;
      if (reader_.TakeFrames(1, block, &taken) != kReaderOk) {
        ending = true;
        continue;
      }
      heldFrames = taken;
      bytes = static_cast<int>(taken * kFrameBytes);
      if (taken > 0 && m.dsp_isactive && m.dsp_dosamples && m.dsp_isactive()) {
        const int samples = m.dsp_dosamples(block, static_cast<int>(taken) * kSamplesPerFrame, 16, 2, kSampleRate);
        // Never more than the block holds, whatever the DSP answers.
        bytes = std::min(std::max(samples, 0) * 4, static_cast<int>(sizeof block));
      }
    }

    if (heldFrames > 0 && out && out->CanWrite() >= bytes) {
      const int t = static_cast<int>(FramesToMs(decodePosition_.load()));
      if (m.SAAddPCMData) m.SAAddPCMData(block, 2, 16, t);
      if (m.VSAAddPCMData) m.VSAAddPCMData(block, 2, 16, t);
      positionChanges_.fetch_add(1);
      out->Write(reinterpret_cast<char*>(block), bytes);
      decodePosition_.fetch_add(heldFrames);
      positionChanges_.fetch_add(1);
      heldFrames = 0;
      continue;
    }
    plugin_thread::SleepMs(kOutputFullMs);
  }

  StopFill();
  running_.store(false);
  ended_.store(true);
}

PlaybackEngine& Engine() {
  static PlaybackEngine engine(PlaybackReader(), Module(), plugin::DriveLock());
  return engine;
}

PlaybackOptions PlaybackOptionsFromSettings() {
  const PluginSettings s = SettingsSnapshot();
  return PlaybackOptions{s.preReadSize, s.bufferSize, s.readSpeed, s.jitterCorrection};
}
