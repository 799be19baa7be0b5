#pragma once
// The few blocking TCP/IPv4 socket calls the HTTP client needs, one
// implementation per platform (WinSock 1.1 on Windows, BSD sockets elsewhere).
// Every wait is bounded by the time-out it is given.
#include <atomic>
#include <cstdint>
#include <string>

namespace net {

using Socket = std::intptr_t;
constexpr Socket kInvalidSocket = -1;

// Outcome of Connect and Receive besides success.
enum : int { kNetFailed = -1, kNetTimeout = -2, kNetCancelled = -3 };

// Raised by another thread to end a wait on a socket; a wait looks at it at
// least every kCancelSliceMs.
using CancelFlag = std::atomic<bool>;
constexpr std::uint32_t kCancelSliceMs = 50;

Socket CreateTcpSocket();
// The first IPv4 address of host (network byte order). A dotted address is
// taken as it is, without asking any name service.
bool ResolveHost(const std::string& host, std::uint32_t* address);
std::string AddressText(std::uint32_t address);
// 0, kNetFailed (refused, unreachable), kNetTimeout or kNetCancelled.
int Connect(Socket s, std::uint32_t address, std::uint16_t port, std::uint32_t timeoutMs,
            const CancelFlag* cancel = nullptr);
// Bytes sent (> 0) or <= 0 on failure.
int Send(Socket s, const char* bytes, int length);
// Bytes received (> 0), 0 at the peer's orderly close, kNetFailed,
// kNetTimeout when nothing arrived within timeoutMs, or kNetCancelled.
int Receive(Socket s, char* buffer, int capacity, std::uint32_t timeoutMs, const CancelFlag* cancel = nullptr);
bool ShutdownBoth(Socket s);
void Close(Socket s);

bool StartLayer();
void StopLayer();

enum class Readiness { kReadable, kWritable };
// Per platform: one wait until the socket is ready: 0, kNetTimeout or
// kNetFailed (for kWritable also when a connect in progress has failed).
int WaitOnce(Socket s, Readiness what, std::uint32_t timeoutMs);
// The same wait in slices, ending early with kNetCancelled when *cancel is
// raised (shared by both platforms).
int WaitReady(Socket s, Readiness what, std::uint32_t timeoutMs, const CancelFlag* cancel);

}  // namespace net
