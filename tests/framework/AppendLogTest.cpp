#include "framework/support/AppendLog.h"

#include <gtest/gtest.h>

namespace
{
struct Entry
{
  int index;
  double value;
};

// Appends count entries numbered from first, as a recall's loop does: room first, count after.
void Append(AppendLog<Entry>& log, int first, int count)
{
  Entry* out = log.Extend(size_t(count));
  for (int i = 0; i < count; ++i)
    *out++ = {first + i, first + i + 0.5};
  log.Commit(out);
}
} // namespace

TEST(AppendLog, GrowingKeepsTheEntriesAndOnlyWhatWasWrittenCounts)
{
  AppendLog<Entry> log;
  EXPECT_EQ(log.Size(), 0u);

  // Room for more than is written: only the written entries count.
  Entry* out = log.Extend(10);
  *out++ = {0, 0.5};
  *out++ = {1, 1.5};
  log.Commit(out);
  ASSERT_EQ(log.Size(), 2u);

  // Growing many times over moves the block; every entry written so far stays as it was.
  for (int first = 2; first < 5000; first += 7)
    Append(log, first, 7);
  ASSERT_EQ(log.Size(), 5000u);
  for (size_t i = 0; i < log.Size(); ++i)
  {
    ASSERT_EQ(log[i].index, int(i)) << i;
    ASSERT_EQ(log[i].value, double(i) + 0.5) << i;
  }

  // Shrinking keeps the front; growing again keeps it too.
  log.Resize(3);
  ASSERT_EQ(log.Size(), 3u);
  log.Resize(6000);
  ASSERT_EQ(log.Size(), 6000u);
  EXPECT_EQ(log[2].index, 2);
  EXPECT_EQ(log[2].value, 2.5);

  // Cleared, the room is used again from the start.
  log.Clear();
  Append(log, 100, 2);
  ASSERT_EQ(log.Size(), 2u);
  EXPECT_EQ(log.Data()[0].index, 100);
  EXPECT_EQ(log.Data()[1].index, 101);
}
