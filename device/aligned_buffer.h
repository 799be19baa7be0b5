#pragma once
// A zero-filled data-in buffer whose start is aligned to 16 bytes, as some
// host adapters require for direct transfers.
#include <cstddef>
#include <cstdint>
#include <vector>

class AlignedBuffer {
 public:
  static constexpr std::size_t kAlignment = 16;

  explicit AlignedBuffer(std::size_t size) : storage_(size + kAlignment, 0), size_(size) {
    std::uintptr_t raw = reinterpret_cast<std::uintptr_t>(storage_.data());
    offset_ = (kAlignment - raw % kAlignment) % kAlignment;
  }

  std::uint8_t* data() { return storage_.data() + offset_; }
  const std::uint8_t* data() const { return storage_.data() + offset_; }
  std::size_t size() const { return size_; }

 private:
  std::vector<std::uint8_t> storage_;
  std::size_t size_;
  std::size_t offset_ = 0;
};
