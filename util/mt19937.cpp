#include "util/mt19937.h"

void Mt19937::Seed(std::uint32_t seed) {
  state_[0] = seed;
  for (int i = 1; i < kN; ++i) {
    state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + static_cast<std::uint32_t>(i);
  }
  index_ = kN;
}

void Mt19937::SeedByArray(const std::uint32_t* key, std::size_t length) {
  Seed(19650218u);
  if (key == nullptr || length == 0) return;
  int i = 1;
  std::size_t j = 0;
  for (std::size_t k = (static_cast<std::size_t>(kN) > length ? kN : length); k != 0; --k) {
    state_[i] = (state_[i] ^ ((state_[i - 1] ^ (state_[i - 1] >> 30)) * 1664525u)) + key[j] +
                static_cast<std::uint32_t>(j);
    ++i;
    ++j;
    if (i >= kN) {
      state_[0] = state_[kN - 1];
      i = 1;
    }
    if (j >= length) j = 0;
  }
  for (int k = kN - 1; k != 0; --k) {
    state_[i] = (state_[i] ^ ((state_[i - 1] ^ (state_[i - 1] >> 30)) * 1566083941u)) - static_cast<std::uint32_t>(i);
    ++i;
    if (i >= kN) {
      state_[0] = state_[kN - 1];
      i = 1;
    }
  }
  state_[0] = 0x80000000u;  // non-zero initial state
  index_ = kN;
}

void Mt19937::Twist() {
  static const std::uint32_t kMatrixA = 0x9908b0dfu;
  for (int i = 0; i < kN; ++i) {
    const std::uint32_t y = (state_[i] & 0x80000000u) | (state_[(i + 1) % kN] & 0x7fffffffu);
    state_[i] = state_[(i + kM) % kN] ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
  }
  index_ = 0;
}

std::uint32_t Mt19937::Next() {
  if (index_ >= kN) Twist();
  std::uint32_t y = state_[index_++];
  y ^= (y >> 11);
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= (y >> 18);
  return y;
}
