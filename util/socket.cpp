#include "util/socket.h"

#include <algorithm>

namespace net {

int WaitReady(Socket s, Readiness what, std::uint32_t timeoutMs, const CancelFlag* cancel) {
  if (cancel == nullptr) return WaitOnce(s, what, timeoutMs);
  std::uint32_t left = timeoutMs;
  for (;;) {
    if (cancel->load()) return kNetCancelled;
    const std::uint32_t slice = std::min(left, kCancelSliceMs);
    const int r = WaitOnce(s, what, slice);
    if (r != kNetTimeout) return cancel->load() ? kNetCancelled : r;
    left -= slice;
    if (left == 0) return kNetTimeout;
  }
}

}  // namespace net
