#pragma once
// A locked byte ring of whole seconds of audio between the fill thread
// (Peek, Overwrite, Write) and the playback thread (Read, Clear, SetBlocks,
// Held). Allocated once per size change; reading and writing never allocate.
#include <atomic>
#include <cstdint>
#include <memory>

#include "util/critical_section.h"

class ReadAheadBuffer {
 public:
  ReadAheadBuffer();
  ~ReadAheadBuffer();
  ReadAheadBuffer(const ReadAheadBuffer&) = delete;
  ReadAheadBuffer& operator=(const ReadAheadBuffer&) = delete;

  // capacity = blockSize x blocks; contents dropped. 1 on success; 0 when the
  // size does not fit 32 bits or cannot be allocated (the buffer is then
  // left as it was, emptied).
  int Create(std::uint32_t blockSize, std::uint32_t blocks);
  // Resizes to n blocks, dropping the contents; the new capacity (the old
  // one when the new size cannot be had).
  std::uint32_t SetBlocks(std::uint32_t blocks);
  int Clear();
  // All or nothing: 0 (and no change) when the bytes do not fit.
  int Write(const void* source, std::uint32_t length);
  // Takes up to length bytes; 0 with count 0 when nothing is held.
  int Read(void* destination, std::uint32_t length, std::uint32_t* count);
  // Copies up to length bytes starting offset bytes after the read position
  // without taking them; only bytes held are copied (0 when none are).
  int Peek(void* destination, std::uint32_t offset, std::uint32_t length, std::uint32_t* count);
  // Replaces length bytes starting offset bytes after the read position.
  int Overwrite(const void* source, std::uint32_t offset, std::uint32_t length);

  // The same two, addressed back from the write position, which only the
  // writer moves: the newest bytes stay where the writer put them even when
  // the reader takes bytes in between.
  // Copies up to length bytes starting `back` bytes before the write
  // position; 0 when fewer than `back` bytes are held.
  int PeekNewest(void* destination, std::uint32_t back, std::uint32_t length, std::uint32_t* count);
  // Replaces length bytes starting `back` bytes before the write position;
  // bytes the reader has already taken are skipped. 0 when length > back.
  int OverwriteNewest(const void* source, std::uint32_t back, std::uint32_t length);

  // Bytes held, read without the lock (may be momentarily stale).
  std::uint32_t Held() const { return held_.load(std::memory_order_acquire); }
  std::uint32_t Capacity() const { return capacity_.load(std::memory_order_acquire); }
  std::uint32_t BlockSize() const { return blockSize_.load(std::memory_order_acquire); }

 private:
  // Callers hold the lock.
  int Resize(std::uint32_t blockSize, std::uint32_t blocks);
  void CopyOut(std::uint32_t from, std::uint8_t* destination, std::uint32_t length) const;
  void CopyIn(std::uint32_t to, const std::uint8_t* source, std::uint32_t length);
  std::uint32_t Wrap(std::uint64_t position) const;

  CCriticalSection lock_;
  std::unique_ptr<std::uint8_t[]> storage_;
  std::atomic<std::uint32_t> blockSize_{0};
  std::atomic<std::uint32_t> capacity_{0};
  std::atomic<std::uint32_t> held_{0};
  std::uint32_t writePos_ = 0;
  std::uint32_t readPos_ = 0;
};
