#include "link/host/MidiQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace
{
IMidiMessage At(int offset, int data1)
{
  IMidiMessage m;
  m.offset = offset;
  m.status = 0xB0;
  m.data1 = uint8_t(data1);
  return m;
}

std::vector<int> DrainData(MidiQueue& queue, int frames)
{
  std::vector<int> out;
  queue.DrainBlock(frames, [&](const IMidiMessage& m) { out.push_back(m.data1); });
  return out;
}
} // namespace

TEST(MidiQueue, EntriesLeaveInOffsetOrderAndLaterOnesKeepTheirPlaceInTime)
{
  MidiQueue queue;
  EXPECT_EQ(queue.Capacity(), MidiQueue::kGrowthBlock);
  queue.Add(At(5, 1));
  queue.Add(At(2, 2));
  queue.Add(At(2, 3)); // after the equal offset added first
  queue.Add(At(7, 4));
  queue.Add(At(70, 5)); // beyond this block of 64
  EXPECT_EQ(DrainData(queue, 64), (std::vector<int>{2, 3, 1, 4}));
  EXPECT_EQ(queue.Count(), 1);
  EXPECT_EQ(queue.ReadPosition(), 0);

  // The survivor is now due at 6 of the next block: after something at 5, before something at 6 added later.
  queue.Add(At(6, 7));
  queue.Add(At(5, 6));
  IMidiMessage taken[4];
  ASSERT_EQ(queue.TakeDue(5, taken, 4), 1);
  EXPECT_EQ(taken[0].data1, 6);
  // A message added after the drain passed its offset goes first among the untaken ones, never
  // before what was taken.
  queue.Add(At(0, 8));
  ASSERT_EQ(queue.TakeDue(63, taken, 4), 3);
  EXPECT_EQ(taken[0].data1, 8);
  EXPECT_EQ(taken[1].data1, 5);
  EXPECT_EQ(taken[2].data1, 7);
  queue.EndBlock(64);
  EXPECT_EQ(queue.Count(), 0);

  // A block with nothing due takes nothing; a negative offset is due at once.
  queue.Add(At(100, 9));
  EXPECT_TRUE(DrainData(queue, 32).empty());
  queue.Add(At(-5, 10));
  EXPECT_EQ(DrainData(queue, 32), (std::vector<int>{10}));
  EXPECT_EQ(DrainData(queue, 32), (std::vector<int>{}));
  EXPECT_EQ(DrainData(queue, 64), (std::vector<int>{9})); // 100 - 3 x 32 = 4
}

TEST(MidiQueue, GrowsWhenFullUnlessTakenEntriesCanMakeRoom)
{
  MidiQueue queue;
  for (int i = 0; i < 1024; ++i)
    ASSERT_TRUE(queue.Add(At(0, i & 0x7F)));
  EXPECT_EQ(queue.Capacity(), 1024);
  ASSERT_TRUE(queue.Add(At(0, 1)));
  EXPECT_EQ(queue.Capacity(), 2048);
  EXPECT_EQ(queue.Count(), 1025);

  // Full with entries taken in this block: the taken ones go instead of growing.
  MidiQueue full;
  for (int i = 0; i < 1024; ++i)
    full.Add(At(i < 10 ? 0 : 50, 0));
  IMidiMessage taken[16];
  ASSERT_EQ(full.TakeDue(0, taken, 16), 10);
  ASSERT_TRUE(full.Add(At(60, 1)));
  EXPECT_EQ(full.Capacity(), 1024);
  EXPECT_EQ(full.Count(), 1015);
  EXPECT_EQ(full.ReadPosition(), 0);

  // The buffer stops at its limit: a queue nobody drains drops instead of eating memory.
  MidiQueue capped;
  int added = 0;
  while (capped.Add(At(0, 0)) && added <= MidiQueue::kMaxEntries)
    ++added;
  EXPECT_EQ(added, MidiQueue::kMaxEntries);
  EXPECT_EQ(capped.Capacity(), MidiQueue::kMaxEntries);
  EXPECT_EQ(capped.Dropped(), 1u);
}

// The MIDI input thread adds while the audio thread drains: every message comes out exactly once
// (run under ThreadSanitizer too).
TEST(MidiQueue, ConcurrentAddAndDrain)
{
  MidiQueue queue;
  constexpr int kAdders = 2;
  constexpr int kPerAdder = 20000;
  std::atomic<int> running{kAdders};
  std::vector<std::thread> adders;
  for (int a = 0; a < kAdders; ++a)
    adders.emplace_back(
        [&, a]
        {
          for (int i = 0; i < kPerAdder; ++i)
          {
            IMidiMessage m;
            m.status = uint8_t(0xB0 | a);
            m.data1 = uint8_t(i >> 7);
            m.data2 = uint8_t(i & 0x7F);
            m.offset = i % 3 == 0 ? 0 : i % 100; // some due at once, some in a later block
            while (!queue.Add(m))
              std::this_thread::yield();
          }
          --running;
        });

  std::vector<int> next(kAdders, 0);
  std::vector<std::vector<int>> seen(kAdders);
  int received = 0;
  while (received < kAdders * kPerAdder)
  {
    const bool addersDone = running == 0;
    queue.DrainBlock(64,
                     [&](const IMidiMessage& m)
                     {
                       seen[m.status & 0x0F].push_back(m.data1 << 7 | m.data2);
                       ++received;
                     });
    if (addersDone && queue.Count() == 0) break;
  }
  for (std::thread& t : adders)
    t.join();
  EXPECT_EQ(received, kAdders * kPerAdder);
  for (int a = 0; a < kAdders; ++a)
  {
    std::vector<int> sorted = seen[size_t(a)];
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(sorted.size(), size_t(kPerAdder));
    for (int i = 0; i < kPerAdder; ++i)
      ASSERT_EQ(sorted[size_t(i)], i);
  }
  EXPECT_EQ(queue.Dropped(), 0u);
}
