#pragma once
// Frames of ours that may dispatch messages (a modal dialog, a wait that
// answers sent messages, a subclassed window procedure): the host may call
// Quit from one of those messages and free the library right after, while
// the frame below still has to return into our code. Every entry point
// counts itself; a Quit that finds other frames of ours on a stack keeps the
// library mapped for the rest of the process instead.
#include <atomic>

namespace own_frames {

// Counts one frame for its lifetime.
class Scope {
 public:
  Scope() noexcept;
  ~Scope();
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
};

// Frames open now, in every thread.
int Count() noexcept;

// When more than `ownFrames` frames are open (the caller's own frames, such
// as the Quit that asks), the library that holds this code is pinned: the
// host's FreeLibrary then leaves it mapped. True when it was pinned.
bool PinIfOthersOpen(int ownFrames) noexcept;

// Per platform: pins the library that holds this code (nothing to do where
// the core is not a library).
bool PinThisLibrary() noexcept;

}  // namespace own_frames
