#pragma once
// The few blocking TCP/IPv4 socket calls the HTTP client needs, one
// implementation per platform (WinSock 1.1 on Windows, BSD sockets elsewhere).
// Every wait is bounded by the time-out it is given.
#include <cstdint>
#include <string>

namespace net {

using Socket = std::intptr_t;
constexpr Socket kInvalidSocket = -1;

// Outcome of Connect and Receive besides success.
enum : int { kNetFailed = -1, kNetTimeout = -2 };

Socket CreateTcpSocket();
// The first IPv4 address of host (network byte order). A dotted address is
// taken as it is, without asking any name service.
bool ResolveHost(const std::string& host, std::uint32_t* address);
std::string AddressText(std::uint32_t address);
// 0, kNetFailed (refused, unreachable) or kNetTimeout.
int Connect(Socket s, std::uint32_t address, std::uint16_t port, std::uint32_t timeoutMs);
// Bytes sent (> 0) or <= 0 on failure.
int Send(Socket s, const char* bytes, int length);
// Bytes received (> 0), 0 at the peer's orderly close, kNetFailed or
// kNetTimeout when nothing arrived within timeoutMs.
int Receive(Socket s, char* buffer, int capacity, std::uint32_t timeoutMs);
bool ShutdownBoth(Socket s);
void Close(Socket s);

bool StartLayer();
void StopLayer();

}  // namespace net
