#include "device/read_ahead_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Holds the buffer's lock for one operation.
class Hold {
 public:
  explicit Hold(CCriticalSection& lock) : lock_(lock), owned_(lock.Lock()) {}
  ~Hold() {
    if (owned_) lock_.Unlock();
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  bool owned() const { return owned_; }

 private:
  CCriticalSection& lock_;
  bool owned_;
};

}  // namespace

ReadAheadBuffer::ReadAheadBuffer() { lock_.Create(nullptr); }

ReadAheadBuffer::~ReadAheadBuffer() = default;

std::uint32_t ReadAheadBuffer::Wrap(std::uint64_t position) const {
  const std::uint32_t capacity = capacity_.load(std::memory_order_relaxed);
  return capacity == 0 ? 0 : static_cast<std::uint32_t>(position % capacity);
}

void ReadAheadBuffer::CopyOut(std::uint32_t from, std::uint8_t* destination, std::uint32_t length) const {
  const std::uint32_t capacity = capacity_.load(std::memory_order_relaxed);
  const std::uint32_t first = std::min(length, capacity - from);
  std::memcpy(destination, storage_.get() + from, first);
  if (length > first) std::memcpy(destination + first, storage_.get(), length - first);
}

void ReadAheadBuffer::CopyIn(std::uint32_t to, const std::uint8_t* source, std::uint32_t length) {
  const std::uint32_t capacity = capacity_.load(std::memory_order_relaxed);
  const std::uint32_t first = std::min(length, capacity - to);
  std::memcpy(storage_.get() + to, source, first);
  if (length > first) std::memcpy(storage_.get(), source + first, length - first);
}

int ReadAheadBuffer::Resize(std::uint32_t blockSize, std::uint32_t blocks) {
  writePos_ = readPos_ = 0;
  held_.store(0, std::memory_order_release);
  const std::uint64_t size = static_cast<std::uint64_t>(blockSize) * blocks;
  if (size > UINT32_MAX) return 0;
  std::unique_ptr<std::uint8_t[]> storage;
  if (size > 0) {
    storage.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
    if (!storage) return 0;
  }
  storage_ = std::move(storage);
  blockSize_.store(blockSize, std::memory_order_release);
  capacity_.store(static_cast<std::uint32_t>(size), std::memory_order_release);
  return 1;
}

int ReadAheadBuffer::Create(std::uint32_t blockSize, std::uint32_t blocks) {
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  return Resize(blockSize, blocks);
}

std::uint32_t ReadAheadBuffer::SetBlocks(std::uint32_t blocks) {
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  Resize(blockSize_.load(std::memory_order_relaxed), blocks);
  return capacity_.load(std::memory_order_relaxed);
}

int ReadAheadBuffer::Clear() {
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  writePos_ = readPos_ = 0;
  held_.store(0, std::memory_order_release);
  return 1;
}

int ReadAheadBuffer::Write(const void* source, std::uint32_t length) {
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  const std::uint32_t held = held_.load(std::memory_order_relaxed);
  if (static_cast<std::uint64_t>(held) + length > capacity_.load(std::memory_order_relaxed)) return 0;
  if (length == 0) return 1;
  CopyIn(writePos_, static_cast<const std::uint8_t*>(source), length);
  writePos_ = Wrap(static_cast<std::uint64_t>(writePos_) + length);
  held_.store(held + length, std::memory_order_release);
  return 1;
}

int ReadAheadBuffer::Read(void* destination, std::uint32_t length, std::uint32_t* count) {
  if (count) *count = 0;
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  const std::uint32_t held = held_.load(std::memory_order_relaxed);
  if (held == 0) return 0;
  const std::uint32_t n = std::min(length, held);
  CopyOut(readPos_, static_cast<std::uint8_t*>(destination), n);
  readPos_ = Wrap(static_cast<std::uint64_t>(readPos_) + n);
  held_.store(held - n, std::memory_order_release);
  if (count) *count = n;
  return 1;
}

int ReadAheadBuffer::Peek(void* destination, std::uint32_t offset, std::uint32_t length, std::uint32_t* count) {
  if (count) *count = 0;
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  const std::uint32_t held = held_.load(std::memory_order_relaxed);
  // Bytes past those held are stale: never hand them out.
  if (offset >= held) return 0;
  const std::uint32_t n = std::min(length, held - offset);
  CopyOut(Wrap(static_cast<std::uint64_t>(readPos_) + offset), static_cast<std::uint8_t*>(destination), n);
  if (count) *count = n;
  return 1;
}

int ReadAheadBuffer::Overwrite(const void* source, std::uint32_t offset, std::uint32_t length) {
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  if (static_cast<std::uint64_t>(offset) + length > capacity_.load(std::memory_order_relaxed)) return 0;
  if (length == 0) return 1;
  CopyIn(Wrap(static_cast<std::uint64_t>(readPos_) + offset), static_cast<const std::uint8_t*>(source), length);
  return 1;
}

int ReadAheadBuffer::PeekNewest(void* destination, std::uint32_t back, std::uint32_t length, std::uint32_t* count) {
  if (count) *count = 0;
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  const std::uint32_t held = held_.load(std::memory_order_relaxed);
  if (back == 0 || back > held) return 0;
  const std::uint32_t capacity = capacity_.load(std::memory_order_relaxed);
  const std::uint32_t n = std::min(length, back);
  CopyOut(Wrap(static_cast<std::uint64_t>(writePos_) + capacity - back), static_cast<std::uint8_t*>(destination), n);
  if (count) *count = n;
  return 1;
}

int ReadAheadBuffer::OverwriteNewest(const void* source, std::uint32_t back, std::uint32_t length) {
  Hold hold(lock_);
  if (!hold.owned()) return 0;
  if (length > back) return 0;
  const std::uint32_t held = held_.load(std::memory_order_relaxed);
  const std::uint32_t capacity = capacity_.load(std::memory_order_relaxed);
  // The reader may have taken the oldest of these bytes meanwhile; they have
  // been played and are left alone.
  const std::uint32_t skip = back > held ? back - held : 0;
  if (skip >= length) return 1;
  const std::uint32_t start = back - skip;
  CopyIn(Wrap(static_cast<std::uint64_t>(writePos_) + capacity - start),
         static_cast<const std::uint8_t*>(source) + skip, length - skip);
  return 1;
}
