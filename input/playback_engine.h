#pragma once
// Plays one CD track at a time: the playback thread takes frames from the
// playback reader's read-ahead buffer and hands them, through the host's DSP
// and visualisation hooks, to the output plug-in; the fill thread keeps the
// buffer filled. The flags both threads and the host's thread share are
// single atomic words, polled with short sleeps.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "host_api/in_module.h"
#include "util/plugin_thread.h"
#include "input/frame_time.h"

class CDirectCDDA;
class CCriticalSection;

// Device-change events the engine answers (the system's DBT_* codes).
constexpr std::uint32_t kDeviceArrival = 0x8000;
constexpr std::uint32_t kDeviceQueryRemoveFailed = 0x8002;
constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;

// What Play takes from the settings.
struct PlaybackOptions {
  std::uint32_t preReadSize;  // bytes buffered before playback starts or resumes
  std::uint32_t bufferSize;   // bytes; the fill thread refills below this
  std::uint32_t readSpeed;    // kB/s for the drive, 65535 = maximum
  bool jitterCorrection;
};

// Buffer geometry for a track: blocks of the read-ahead buffer, the pre-read
// target and the refill threshold. The buffer holds at least one block, and
// neither the target nor the threshold lies above what a fill can reach
// (a read that does not fit is refused whole, so the last 15 frames of the
// capacity may stay empty).
struct BufferPlan {
  std::uint32_t blocks;
  std::uint32_t preReadBytes;
  std::uint32_t refillBelowBytes;
};
BufferPlan PlanBuffer(std::uint32_t preReadSize, std::uint32_t bufferSize);

class PlaybackEngine {
 public:
  PlaybackEngine(CDirectCDDA& reader, In_Module& module, CCriticalSection& driveLock);
  PlaybackEngine(const PlaybackEngine&) = delete;
  PlaybackEngine& operator=(const PlaybackEngine&) = delete;

  // 0 playing; -1 the track cannot be opened; 1 the output or the thread
  // failed to start (playback stopped again), or a Stop is under way.
  int Play(const char* fileName, const PlaybackOptions& options);
  // Ends both threads, closes the output and the track. A Stop that arrives
  // while another one waits (through a message it dispatches) returns at once.
  void Stop();
  void Pause() { paused_.store(true); }
  void UnPause() { paused_.store(false); }
  int IsPaused() const { return paused_.load() ? 1 : 0; }
  int GetLength() const { return trackLengthMs_.load(); }
  // Decode position plus what the output still holds.
  int GetOutputTime() const;
  // Asks the playback thread to seek and waits until it has taken the
  // request or has stopped.
  void SetOutputTime(int ms);
  void SetVolume(int volume);
  void SetPan(int pan);

  // A device-change notification: event code, whether the record is a
  // volume record, and its drive-letter unit mask (bit 0 = A:). 1 for the
  // three events handled, 0 for every other.
  int OnDeviceChange(std::uint32_t event, bool volumeRecord, std::uint32_t unitMask);

  // For title queries about the current file (empty name) and for knowing
  // which drive is being played ("" when none).
  std::string CurrentFileName() const;
  std::string PlayingDriveText() const;

  // Observers for tests.
  bool HasThreads() const { return playbackThread_ != nullptr || fillThread_ != nullptr; }
  // A Stop is waiting for the threads (they may still read the drive).
  bool Stopping() const { return stopping_.load(); }
  std::uint32_t DecodePosition() const { return decodePosition_.load(); }
  bool Running() const { return running_.load(); }
  bool FillError() const { return fillError_.load(); }
  const BufferPlan& Plan() const { return plan_; }

 private:
  static void PlaybackThreadEntry(void* self);
  static void FillThreadEntry(void* self);
  void PlaybackThread();
  void FillThread();
  void StartFill();
  void StopFill();
  void PreReadWait();
  void SetPlayingDrive(const std::string& text);

  CDirectCDDA& reader_;
  In_Module& module_;
  CCriticalSection& driveLock_;

  std::atomic<int> seekRequestMs_{-1};
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> paused_{false};
  std::atomic<int> volume_{0};
  std::atomic<int> pan_{0};
  std::atomic<std::uint32_t> decodePosition_{0};
  // Odd while the playback thread moves the decode position and the
  // output's written count apart (a write, a seek's flush): GetOutputTime
  // reads the three values only between such moves.
  std::atomic<std::uint32_t> positionChanges_{0};
  std::atomic<int> trackLengthMs_{-1000};
  std::atomic<int> outputLatency_{-1};
  std::atomic<bool> fillRunning_{false};
  std::atomic<bool> fillError_{false};

  // Written by Play before the threads start; read-only while they run.
  BufferPlan plan_{};
  std::uint16_t readSpeed_ = 0xFFFF;
  bool jitterCorrection_ = false;

  // Owned by the host's thread (playback) and by the playback thread (fill).
  plugin_thread::Handle playbackThread_ = nullptr;
  plugin_thread::Handle fillThread_ = nullptr;

  mutable std::mutex namesMutex_;
  std::string currentFileName_;
  std::string playingDrive_;
};

// The plug-in's engine: the playback reader, the module table, the drive lock.
PlaybackEngine& Engine();
// The settings the next Play uses.
PlaybackOptions PlaybackOptionsFromSettings();
