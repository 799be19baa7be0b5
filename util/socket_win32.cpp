#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "util/socket.h"

// Only WinSock 1.1 calls: the plug-in must run on systems that have nothing newer.
namespace net {

namespace {

SOCKET S(Socket s) { return static_cast<SOCKET>(s); }

timeval ToTimeval(std::uint32_t ms) {
  timeval tv;
  tv.tv_sec = static_cast<long>(ms / 1000);
  tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
  return tv;
}

}  // namespace

Socket CreateTcpSocket() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(s);
}

bool ResolveHost(const std::string& host, std::uint32_t* address) {
  unsigned long dotted = ::inet_addr(host.c_str());
  if (dotted != INADDR_NONE || host == "255.255.255.255") {
    *address = dotted;
    return true;
  }
  hostent* entry = ::gethostbyname(host.c_str());
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list == nullptr ||
      entry->h_addr_list[0] == nullptr)
    return false;
  std::uint32_t a;
  memcpy(&a, entry->h_addr_list[0], 4);
  *address = a;
  return true;
}

std::string AddressText(std::uint32_t address) {
  in_addr a;
  a.s_addr = address;
  const char* text = ::inet_ntoa(a);
  return text != nullptr ? text : "";
}

int WaitOnce(Socket s, Readiness what, std::uint32_t timeoutMs) {
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(S(s), &ready);
  FD_SET(S(s), &failed);
  timeval tv = ToTimeval(timeoutMs);
  // A failed non-blocking connect shows in the exception set on Windows.
  const bool reading = what == Readiness::kReadable;
  int r = ::select(0, reading ? &ready : nullptr, reading ? nullptr : &ready, reading ? nullptr : &failed, &tv);
  if (r == 0) return kNetTimeout;
  if (r < 0 || (!reading && FD_ISSET(S(s), &failed)) || !FD_ISSET(S(s), &ready)) return kNetFailed;
  return 0;
}

int Connect(Socket s, std::uint32_t address, std::uint16_t port, std::uint32_t timeoutMs, const CancelFlag* cancel) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  u_long on = 1;
  if (::ioctlsocket(S(s), FIONBIO, &on) != 0) return kNetFailed;
  if (::connect(S(s), reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return kNetFailed;
    const int w = WaitReady(s, Readiness::kWritable, timeoutMs, cancel);
    if (w != 0) return w;
    int error = 0;
    int len = sizeof error;
    if (::getsockopt(S(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0 || error != 0)
      return kNetFailed;
  }
  u_long off = 0;
  ::ioctlsocket(S(s), FIONBIO, &off);
  return 0;
}

int Send(Socket s, const char* bytes, int length) { return ::send(S(s), bytes, length, 0); }

int Receive(Socket s, char* buffer, int capacity, std::uint32_t timeoutMs, const CancelFlag* cancel) {
  const int w = WaitReady(s, Readiness::kReadable, timeoutMs, cancel);
  if (w != 0) return w;
  int n = ::recv(S(s), buffer, capacity, 0);
  return n == SOCKET_ERROR ? kNetFailed : n;
}

bool ShutdownBoth(Socket s) { return ::shutdown(S(s), SD_BOTH) == 0; }
void Close(Socket s) { ::closesocket(S(s)); }

// WinSock counts WSAStartup calls itself and is safe to call from any thread.
bool StartLayer() {
  WSADATA data;
  return ::WSAStartup(MAKEWORD(1, 1), &data) == 0;
}
void StopLayer() { ::WSACleanup(); }

}  // namespace net
