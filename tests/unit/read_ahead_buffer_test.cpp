#include "device/read_ahead_buffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Counting(std::size_t n, std::uint8_t first) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), first);
  return b;
}

Bytes ReadAll(ReadAheadBuffer& buffer) {
  Bytes out(buffer.Capacity() + 1);
  std::uint32_t count = 0;
  buffer.Read(out.data(), static_cast<std::uint32_t>(out.size()), &count);
  out.resize(count);
  return out;
}

TEST(ReadAheadBuffer, WriteIsAllOrNothing) {
  ReadAheadBuffer buffer;
  ASSERT_EQ(1, buffer.Create(1000, 40));  // 40000 bytes
  const Bytes first = Counting(20000, 1);
  ASSERT_EQ(1, buffer.Write(first.data(), 20000));
  const Bytes big = Counting(35280, 7);
  EXPECT_EQ(0, buffer.Write(big.data(), 35280));
  EXPECT_EQ(20000u, buffer.Held());
  EXPECT_EQ(1, buffer.Write(big.data(), 20000));  // exactly full
  EXPECT_EQ(0, buffer.Write(big.data(), 1));
  EXPECT_EQ(40000u, buffer.Held());
  Bytes all = ReadAll(buffer);
  ASSERT_EQ(40000u, all.size());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), all.begin()));
  EXPECT_TRUE(std::equal(big.begin(), big.begin() + 20000, all.begin() + 20000));
}

TEST(ReadAheadBuffer, ShortAndEmptyReads) {
  ReadAheadBuffer buffer;
  buffer.Create(2352, 2);
  Bytes out(2352, 0xEE);
  std::uint32_t count = 99;
  EXPECT_EQ(0, buffer.Read(out.data(), 2352, &count));
  EXPECT_EQ(0u, count);
  const Bytes data = Counting(1000, 3);
  buffer.Write(data.data(), 1000);
  EXPECT_EQ(1, buffer.Read(out.data(), 2352, &count));
  EXPECT_EQ(1000u, count);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_EQ(0xEE, out[1000]);  // nothing past what was held
  EXPECT_EQ(0u, buffer.Held());
}

TEST(ReadAheadBuffer, WrapsAroundInOrder) {
  ReadAheadBuffer buffer;
  buffer.Create(100, 1);
  const Bytes a = Counting(70, 0);
  const Bytes b = Counting(60, 100);
  ASSERT_EQ(1, buffer.Write(a.data(), 70));
  Bytes out(50);
  std::uint32_t count = 0;
  buffer.Read(out.data(), 50, &count);  // read position 50, 20 held
  ASSERT_EQ(1, buffer.Write(b.data(), 60));  // 30 at the end, 30 at the start
  EXPECT_EQ(80u, buffer.Held());
  Bytes peeked(80);
  ASSERT_EQ(1, buffer.Peek(peeked.data(), 0, 80, &count));
  EXPECT_EQ(80u, count);
  const Bytes all = ReadAll(buffer);
  ASSERT_EQ(80u, all.size());
  EXPECT_EQ(all, peeked);
  EXPECT_TRUE(std::equal(a.begin() + 50, a.end(), all.begin()));
  EXPECT_TRUE(std::equal(b.begin(), b.end(), all.begin() + 20));
}

TEST(ReadAheadBuffer, PeekNeverHandsOutBytesNotHeld) {
  ReadAheadBuffer buffer;
  buffer.Create(100, 1);
  const Bytes a = Counting(40, 10);
  buffer.Write(a.data(), 40);
  Bytes out(64, 0);
  std::uint32_t count = 0;
  ASSERT_EQ(1, buffer.Peek(out.data(), 30, 64, &count));
  EXPECT_EQ(10u, count);
  EXPECT_EQ(a[30], out[0]);
  EXPECT_EQ(0, buffer.Peek(out.data(), 40, 1, &count));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(40u, buffer.Held());
}

TEST(ReadAheadBuffer, OverwriteOfTheNewestFrame) {
  constexpr std::uint32_t kFrame = 2352;
  ReadAheadBuffer buffer;
  buffer.Create(kFrame, 3);
  const Bytes old = Counting(3 * kFrame, 0);
  buffer.Write(old.data(), kFrame);
  std::uint32_t count = 0;
  Bytes sink(kFrame);
  buffer.Read(sink.data(), kFrame, &count);
  buffer.Write(old.data(), 3 * kFrame);  // wraps: read position at frame 1
  const Bytes fresh(kFrame, 0xA5);
  EXPECT_EQ(1, buffer.Overwrite(fresh.data(), 2 * kFrame, kFrame));
  EXPECT_EQ(3 * kFrame, buffer.Held());
  Bytes all = ReadAll(buffer);
  ASSERT_EQ(3 * kFrame, all.size());
  EXPECT_TRUE(std::equal(old.begin(), old.begin() + 2 * kFrame, all.begin()));
  EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), all.begin() + 2 * kFrame));
  EXPECT_EQ(0, buffer.Overwrite(fresh.data(), 2 * kFrame + 1, kFrame));  // past the capacity
  EXPECT_EQ(0, buffer.Overwrite(fresh.data(), UINT32_MAX, 2));          // no wrap of the sum
}

TEST(ReadAheadBuffer, NewestAddressingSurvivesTheReaderTakingBytes) {
  ReadAheadBuffer buffer;
  buffer.Create(10, 3);
  const Bytes a = Counting(30, 0);
  buffer.Write(a.data(), 30);
  Bytes sink(25), out(4);
  std::uint32_t count = 0;
  buffer.Read(sink.data(), 25, &count);  // 5 left: bytes 25..29
  ASSERT_EQ(1, buffer.PeekNewest(out.data(), 5, 4, &count));
  EXPECT_EQ((Bytes{25, 26, 27, 28}), out);
  EXPECT_EQ(0, buffer.PeekNewest(out.data(), 6, 4, &count));
  const Bytes fresh(10, 0xFF);
  // The oldest five of these ten bytes were taken: only the rest is replaced.
  EXPECT_EQ(1, buffer.OverwriteNewest(fresh.data(), 10, 10));
  EXPECT_EQ(Bytes(5, 0xFF), ReadAll(buffer));
  EXPECT_EQ(0, buffer.OverwriteNewest(fresh.data(), 1, 2));
}

TEST(ReadAheadBuffer, ResizingDropsContentsAndZeroBlocksHoldNothing) {
  ReadAheadBuffer buffer;
  buffer.Create(176400, 10);
  const Bytes data = Counting(2352, 0);
  buffer.Write(data.data(), 2352);
  EXPECT_EQ(352800u, buffer.SetBlocks(2));
  EXPECT_EQ(0u, buffer.Held());
  // A size beyond 32 bits is refused; the buffer keeps its size.
  EXPECT_EQ(352800u, buffer.SetBlocks(UINT32_MAX));
  EXPECT_EQ(0u, buffer.SetBlocks(0));
  EXPECT_EQ(0, buffer.Write(data.data(), 1));
  std::uint32_t count = 1;
  EXPECT_EQ(0, buffer.Read(nullptr, 10, &count));
  EXPECT_EQ(0u, count);
  EXPECT_EQ(176400u, buffer.SetBlocks(1));
  EXPECT_EQ(1, buffer.Write(data.data(), 2352));
  EXPECT_EQ(1, buffer.Clear());
  EXPECT_EQ(0u, buffer.Held());
}

// One thread writes frames of a running counter, another takes them in odd
// sizes; every byte must arrive once and in order.
TEST(ReadAheadBuffer, ProducerAndConsumerOnTwoThreads) {
  constexpr std::uint32_t kFrame = 2352;
  constexpr std::uint32_t kFrames = 3000;
  ReadAheadBuffer buffer;
  buffer.Create(kFrame * 5, 2);
  std::atomic<bool> failed{false};
  std::thread producer([&] {
    std::vector<std::uint32_t> frame(kFrame / 4);
    for (std::uint32_t f = 0; f < kFrames;) {
      for (std::uint32_t i = 0; i < frame.size(); ++i) frame[i] = f * 588 + i;
      if (buffer.Write(frame.data(), kFrame)) {
        ++f;
      } else {
        std::this_thread::yield();
      }
    }
  });
  std::vector<std::uint32_t> got;
  got.reserve(kFrames * 588);
  std::vector<std::uint8_t> chunk(5000);
  std::uint32_t carried = 0;
  std::uint8_t partial[4];
  while (got.size() < kFrames * 588 && !failed) {
    std::uint32_t count = 0;
    const std::uint32_t want = 1 + static_cast<std::uint32_t>(got.size() * 7 % 4999);
    if (!buffer.Read(chunk.data(), want, &count)) {
      std::this_thread::yield();
      continue;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      partial[carried++] = chunk[i];
      if (carried == 4) {
        std::uint32_t v;
        std::memcpy(&v, partial, 4);
        if (v != got.size()) failed = true;
        got.push_back(v);
        carried = 0;
      }
    }
  }
  producer.join();
  EXPECT_FALSE(failed);
  EXPECT_EQ(kFrames * 588u, got.size());
  EXPECT_EQ(0u, buffer.Held());
}

}  // namespace
