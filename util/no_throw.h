#pragma once
// The host calls us through C function pointers and window procedures: an
// exception (a failed allocation, a thread the system refused) must never
// unwind into its frames. Each entry point runs its work through one of
// these and answers its failure value instead.
#include <utility>

template <class R, class F>
R NoThrow(R failure, F&& work) noexcept {
  try {
    return std::forward<F>(work)();
  } catch (...) {
    return failure;
  }
}

template <class F>
void NoThrow(F&& work) noexcept {
  try {
    std::forward<F>(work)();
  } catch (...) {
  }
}
