#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "util/socket.h"

namespace net {

int WaitOnce(Socket s, Readiness what, std::uint32_t timeoutMs) {
  pollfd p{static_cast<int>(s), static_cast<short>(what == Readiness::kReadable ? POLLIN : POLLOUT), 0};
  int ms = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(timeoutMs);
  for (;;) {
    int r = ::poll(&p, 1, ms);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return kNetFailed;
    if (r == 0) return kNetTimeout;
    return 0;
  }
}

Socket CreateTcpSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return fd < 0 ? kInvalidSocket : fd;
}

bool ResolveHost(const std::string& host, std::uint32_t* address) {
  in_addr dotted{};
  if (::inet_pton(AF_INET, host.c_str(), &dotted) == 1) {
    *address = dotted.s_addr;
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return false;
  *address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(list);
  return true;
}

std::string AddressText(std::uint32_t address) {
  in_addr a{};
  a.s_addr = address;
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

int Connect(Socket s, std::uint32_t address, std::uint16_t port, std::uint32_t timeoutMs, const CancelFlag* cancel) {
  int fd = static_cast<int>(s);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  int flags = ::fcntl(fd, F_GETFL, 0);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int r = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
  if (r != 0 && errno != EINPROGRESS) return kNetFailed;
  if (r != 0) {
    int w = WaitReady(s, Readiness::kWritable, timeoutMs, cancel);
    if (w != 0) return w;
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return kNetFailed;
  }
  ::fcntl(fd, F_SETFL, flags);
  return 0;
}

int Send(Socket s, const char* bytes, int length) {
  ssize_t n;
  do {
    n = ::send(static_cast<int>(s), bytes, static_cast<size_t>(length), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return static_cast<int>(n);
}

int Receive(Socket s, char* buffer, int capacity, std::uint32_t timeoutMs, const CancelFlag* cancel) {
  int fd = static_cast<int>(s);
  int w = WaitReady(s, Readiness::kReadable, timeoutMs, cancel);
  if (w != 0) return w;
  ssize_t n;
  do {
    n = ::recv(fd, buffer, static_cast<size_t>(capacity), 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? kNetFailed : static_cast<int>(n);
}

bool ShutdownBoth(Socket s) { return ::shutdown(static_cast<int>(s), SHUT_RDWR) == 0; }
void Close(Socket s) { ::close(static_cast<int>(s)); }

bool StartLayer() { return true; }
void StopLayer() {}

}  // namespace net
