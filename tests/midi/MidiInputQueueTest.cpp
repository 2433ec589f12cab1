#include "framework/plugin/MidiInputQueue.h"

#include <gtest/gtest.h>

#include <thread>

TEST(MidiInputQueue, KeepsMessagesWholeAndInOrderAcrossTheWrap)
{
  MidiInputQueue queue(256);
  std::vector<uint8_t> out;
  EXPECT_FALSE(queue.Pop(out));
  int next = 0, expected = 0;
  for (int round = 0; round < 200; ++round)
  {
    for (int k = 0; k < 3; ++k, ++next)
    {
      std::vector<uint8_t> message(1 + next % 37, uint8_t(next));
      ASSERT_TRUE(queue.Push(message.data(), message.size()));
    }
    for (int k = 0; k < 3; ++k, ++expected)
    {
      ASSERT_TRUE(queue.Pop(out));
      ASSERT_EQ(out, std::vector<uint8_t>(1 + expected % 37, uint8_t(expected)));
    }
  }
  EXPECT_EQ(queue.Dropped(), 0u);
}

TEST(MidiInputQueue, DropsAndCountsWhatDoesNotFit)
{
  MidiInputQueue queue(64);
  std::vector<uint8_t> big(61, 1), small(20, 2), out;
  EXPECT_FALSE(queue.Push(big.data(), big.size())); // 4 length bytes + 61 > 64
  EXPECT_TRUE(queue.Push(small.data(), small.size()));
  EXPECT_TRUE(queue.Push(small.data(), small.size()));
  EXPECT_FALSE(queue.Push(small.data(), small.size()));
  EXPECT_EQ(queue.Dropped(), 2u);
  queue.Clear();
  EXPECT_FALSE(queue.Pop(out));
  EXPECT_TRUE(queue.Push(small.data(), small.size()));
}

TEST(MidiInputQueue, DeferredQueueDropsUntilItsRingIsSetUp)
{
  MidiInputQueue queue(64, MidiInputQueue::Deferred{});
  std::vector<uint8_t> message{0x90, 60, 100}, out;
  EXPECT_FALSE(queue.Push(message.data(), message.size()));
  EXPECT_FALSE(queue.Pop(out));
  queue.SkipTo(queue.WrittenPosition());
  EXPECT_EQ(queue.Dropped(), 1u);
  queue.Allocate();
  // Whole capacity, as a queue set up at once: 4 length bytes + 60 fit, 61 would not.
  std::vector<uint8_t> fits(60, 7);
  EXPECT_TRUE(queue.Push(fits.data(), fits.size()));
  ASSERT_TRUE(queue.Pop(out));
  EXPECT_EQ(out, fits);
  queue.Allocate(); // once set up, the ring and what it holds stay
  EXPECT_TRUE(queue.Push(message.data(), message.size()));
  queue.Allocate();
  ASSERT_TRUE(queue.Pop(out));
  EXPECT_EQ(out, message);
}

TEST(MidiInputQueue, OneProducerOneConsumer)
{
  MidiInputQueue queue(4096);
  constexpr int kCount = 20000;
  std::thread producer(
      [&]
      {
        for (int i = 0; i < kCount;)
        {
          uint8_t message[5] = {0xF0, uint8_t(i & 0x7F), uint8_t((i >> 7) & 0x7F), uint8_t((i >> 14) & 0x7F),
                                0xF7};
          if (queue.Push(message, 1 + i % 5))
            ++i;
          else
            std::this_thread::yield();
        }
      });
  std::vector<uint8_t> out;
  for (int i = 0; i < kCount;)
  {
    if (!queue.Pop(out))
    {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(out.size(), size_t(1 + i % 5));
    if (out.size() > 1)
    {
      ASSERT_EQ(out[1], uint8_t(i & 0x7F));
    }
    if (out.size() > 2)
    {
      ASSERT_EQ(out[2], uint8_t((i >> 7) & 0x7F));
    }
    ++i;
  }
  producer.join();
}
