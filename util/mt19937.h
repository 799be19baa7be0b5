#pragma once
// MT19937 with the published array initialisation (init_by_array), which
// std::seed_seq does not reproduce; the lock names depend on that sequence.
#include <cstddef>
#include <cstdint>

class Mt19937 {
 public:
  explicit Mt19937(std::uint32_t seed = 5489u) { Seed(seed); }
  Mt19937(const std::uint32_t* key, std::size_t length) { SeedByArray(key, length); }

  void Seed(std::uint32_t seed);
  void SeedByArray(const std::uint32_t* key, std::size_t length);
  std::uint32_t Next();

 private:
  static constexpr int kN = 624;
  static constexpr int kM = 397;
  void Twist();

  std::uint32_t state_[kN];
  int index_ = kN;
};
