#pragma once
// Frames (1/75 s) to milliseconds and back, in integer arithmetic, so that
// every part of the plug-in rounds the same way.
#include <cstdint>

constexpr std::uint32_t kFramesPerSecond = 75;

// (f / 75) * 1000 + ((f % 75) * 1000) / 75, unsigned.
constexpr std::uint32_t FramesToMs(std::uint32_t frames) {
  return (frames / kFramesPerSecond) * 1000u + ((frames % kFramesPerSecond) * 1000u) / kFramesPerSecond;
}

// (ms / 1000) * 75 + ((ms % 1000) * 75) / 1000, signed, truncating toward zero.
constexpr std::int32_t MsToFrames(std::int32_t ms) {
  return (ms / 1000) * static_cast<std::int32_t>(kFramesPerSecond) +
         ((ms % 1000) * static_cast<std::int32_t>(kFramesPerSecond)) / 1000;
}
