// Placeholder until the buffer lands: holds nothing.
#include "device/read_ahead_buffer.h"

ReadAheadBuffer::ReadAheadBuffer() { lock_.Create(nullptr); }
ReadAheadBuffer::~ReadAheadBuffer() = default;
int ReadAheadBuffer::Create(std::uint32_t blockSize, std::uint32_t blocks) {
  blockSize_ = blockSize;
  capacity_ = blockSize * blocks;
  return 1;
}
std::uint32_t ReadAheadBuffer::SetBlocks(std::uint32_t blocks) { return capacity_ = blockSize_ * blocks; }
int ReadAheadBuffer::Clear() { return 1; }
int ReadAheadBuffer::Write(const void*, std::uint32_t) { return 0; }
int ReadAheadBuffer::Read(void*, std::uint32_t, std::uint32_t* count) {
  if (count) *count = 0;
  return 0;
}
int ReadAheadBuffer::Peek(void*, std::uint32_t, std::uint32_t, std::uint32_t* count) {
  if (count) *count = 0;
  return 0;
}
int ReadAheadBuffer::Overwrite(const void*, std::uint32_t, std::uint32_t) { return 0; }
