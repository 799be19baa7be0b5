#include "util/own_frames.h"

namespace own_frames {

namespace {
std::atomic<int> g_open{0};
}

Scope::Scope() noexcept { g_open.fetch_add(1); }
Scope::~Scope() { g_open.fetch_sub(1); }

int Count() noexcept { return g_open.load(); }

bool PinIfOthersOpen(int ownFrames) noexcept {
  if (g_open.load() <= ownFrames) return false;
  return PinThisLibrary();
}

}  // namespace own_frames
