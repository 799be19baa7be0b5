#pragma once
// Raw results of a wait on a lock or event, with the values the Win32 wait
// functions return, on every platform.
#include <cstdint>

constexpr std::uint32_t kWaitSignalled = 0;     // WAIT_OBJECT_0
constexpr std::uint32_t kWaitTimeout = 258;     // WAIT_TIMEOUT
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;  // WAIT_FAILED
constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;  // INFINITE
