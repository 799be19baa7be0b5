// Placeholder until the reader lands: refuses every track.
#include "device/cd_direct_cdda.h"

CDirectCDDA::CDirectCDDA() { buffer_.Create(kBlockBytes, 10); }
int CDirectCDDA::OpenTrack(int) { return kReaderNotReady; }
int CDirectCDDA::CloseTrack() { return CloseDevice(); }
std::uint32_t CDirectCDDA::SetBufferBlocks(std::uint32_t blocks) { return buffer_.SetBlocks(blocks); }
void CDirectCDDA::SetJitterCorrection(int on) { jitter_ = on ? 1 : 0; }
int CDirectCDDA::Seek(std::uint32_t frame) {
  buffer_.Clear();
  lastReadResult_ = 0;
  position_ = frame;
  return 1;
}
void CDirectCDDA::SetFramesPerRead(std::uint32_t frames) {
  framesPerRead_ = frames == 0 ? 1 : (frames > kMaxFramesPerRead ? kMaxFramesPerRead : frames);
}
int CDirectCDDA::Fill(std::uint32_t) { return kReaderEndOfTrack; }
int CDirectCDDA::TakeFrames(std::uint32_t, void*, std::uint32_t* taken) {
  if (taken) *taken = 0;
  return kReaderEndOfTrack;
}
int CDirectCDDA::ReadFrames(std::uint32_t, std::uint32_t, std::uint8_t*, std::uint32_t*) { return kReaderEndOfTrack; }
int CDirectCDDA::MatchOverlap(const std::uint8_t*, std::uint32_t) { return 0; }
