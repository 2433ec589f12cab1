#include "framework/support/HeapBuffer.h"
#include "framework/support/HeapString.h"
#include "framework/support/PointerList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

TEST(HeapBuffer, GrowthFollowsPagesAndGranules)
{
  HeapBuffer page(4096);
  ASSERT_NE(page.Resize(8), nullptr);
  EXPECT_EQ(page.Size(), 8);
  EXPECT_EQ(page.Allocated(), 4000); // 8 + 96 + 4096 rounded down to a page, less 96

  HeapBuffer small(128);
  small.Resize(10);
  EXPECT_EQ(small.Allocated(), 138);

  // Growth steps are capped at 4 MiB for big buffers.
  HeapBuffer big(4096);
  big.Resize(20000000);
  ASSERT_EQ(big.Size(), 20000000);
  EXPECT_EQ(big.Allocated(), (20000000 + 96 + 4194304) / 4096 * 4096 - 96);

  // The owner's minimum allocation wins over the rule.
  HeapBuffer floor(128);
  floor.SetMinimumAllocation(1000);
  floor.Resize(10);
  EXPECT_EQ(floor.Allocated(), 1000);
}

TEST(HeapBuffer, ShrinksOnlyWhenAskedAndWorthIt)
{
  HeapBuffer b(4096);
  b.Resize(100000);
  ASSERT_EQ(b.Allocated(), 147360);
  std::memset(b.Data(), 0x5a, 100000);

  b.Resize(60000, false); // shrinking not allowed: block kept
  EXPECT_EQ(b.Size(), 60000);
  EXPECT_EQ(b.Allocated(), 147360);

  b.Resize(100000);
  b.Resize(80000, true); // 80000 is at least half of the block: kept
  EXPECT_EQ(b.Size(), 80000);
  EXPECT_EQ(b.Allocated(), 147360);

  b.Resize(60000, true); // below half and more than four granules freed
  EXPECT_EQ(b.Size(), 60000);
  EXPECT_EQ(b.Allocated(), 85920);
  EXPECT_EQ(b.Data()[0], 0x5a);
  EXPECT_EQ(b.Data()[59999], 0x5a); // contents survive the reallocation

  b.Resize(0);
  EXPECT_EQ(b.Data(), nullptr); // absent to readers while empty
  b.Release();
  EXPECT_EQ(b.Allocated(), 0);
}

TEST(HeapBuffer, ResizeZeroTailZeroesOnlyNewBytes)
{
  HeapBuffer b(128);
  b.Resize(4);
  std::memset(b.Data(), 0xff, 4);
  b.Resize(12);
  std::memset(b.Data(), 0xff, 12); // dirty the bytes past 4 in the block
  b.Resize(4);
  EXPECT_EQ(b.ResizeZeroTail(12), 4);
  ASSERT_EQ(b.Size(), 12);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(b.Data()[i], 0xff);
  for (int i = 4; i < 12; ++i)
    EXPECT_EQ(b.Data()[i], 0) << i;
}

TEST(HeapBuffer, RefusesNegativeAndOverflowingSizes)
{
  HeapBuffer b(4096);
  b.Resize(16);
  std::memset(b.Data(), 7, 16);
  uint8_t* before = b.Data();
  const int allocated = b.Allocated();

  EXPECT_EQ(b.Resize(-1), before);
  EXPECT_EQ(b.Resize(std::numeric_limits<int32_t>::max()), before);
  EXPECT_EQ(b.Resize(std::numeric_limits<int32_t>::max() - 200), before);
  EXPECT_EQ(b.ResizeZeroTail(-5), 16);
  EXPECT_EQ(b.Size(), 16);
  EXPECT_EQ(b.Allocated(), allocated);
  EXPECT_EQ(b.Data()[15], 7);

  HeapBuffer small(128);
  EXPECT_EQ(small.Resize(std::numeric_limits<int32_t>::max() - 10), nullptr);
  EXPECT_EQ(small.Size(), 0);
  EXPECT_EQ(small.AllocationFor(-1), -1);
}

TEST(PointerList, AppendInsertRemoveAndBounds)
{
  int a = 1, b = 2, c = 3;
  PointerList<int> list;
  EXPECT_EQ(list.Get(0), nullptr);
  EXPECT_EQ(list.Append(&a), &a);
  EXPECT_EQ(list.Append(&c), &c);
  EXPECT_EQ(list.Insert(1, &b), &b);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0), &a);
  EXPECT_EQ(list.Get(1), &b);
  EXPECT_EQ(list.Get(2), &c);
  EXPECT_EQ(list.Get(3), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  EXPECT_EQ(list.Find(&c), 2);

  EXPECT_EQ(list.Insert(0, &c), &c); // insert at the front moves everything
  EXPECT_EQ(list.Get(1), &a);
  EXPECT_EQ(list.Remove(0), &c);
  EXPECT_EQ(list.Remove(5), nullptr);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0), &a);

  // Many appends cross several reallocations without losing entries.
  PointerList<int> many;
  for (int i = 0; i < 5000; ++i)
    many.Append(i % 2 ? &a : &b);
  ASSERT_EQ(many.Count(), 5000);
  EXPECT_EQ(many.Get(4999), &a);
  EXPECT_EQ(many.Get(4998), &b);
}

namespace
{
struct Counted
{
  explicit Counted(std::vector<int>& log, int id) : log(log), id(id) {}
  ~Counted() { log.push_back(id); }
  std::vector<int>& log;
  int id;
};
} // namespace

TEST(PointerList, DeleteAllFreesLastToFirst)
{
  std::vector<int> log;
  PointerList<Counted> list;
  for (int i = 0; i < 4; ++i)
    list.Append(new Counted(log, i));
  list.DeleteAll();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(log, (std::vector<int>{3, 2, 1, 0}));
}

TEST(HeapString, SetCountedAndSetAtOffset)
{
  HeapString s;
  EXPECT_STREQ(s.Get(), "");
  EXPECT_TRUE(s.SetCounted("abcdefghij", 4));
  EXPECT_STREQ(s.Get(), "abcd");
  EXPECT_EQ(s.Length(), 4);

  EXPECT_TRUE(s.SetCounted("xy", 10)); // terminator comes before n
  EXPECT_STREQ(s.Get(), "xy");
  EXPECT_TRUE(s.SetCounted("whole text", 0));
  EXPECT_STREQ(s.Get(), "whole text");

  EXPECT_TRUE(s.SetAtOffset(6, "thing", 3));
  EXPECT_STREQ(s.Get(), "whole thi");
  EXPECT_TRUE(s.SetAtOffset(9, "ng!", 3)); // at the end: appends
  EXPECT_STREQ(s.Get(), "whole thing!");
  EXPECT_TRUE(s.SetAtOffset(3, "", 0)); // n < 1 away from 0: nothing changes
  EXPECT_STREQ(s.Get(), "whole thing!");
  EXPECT_FALSE(s.SetAtOffset(20, "x", 1)); // past the end would leave a hole
  EXPECT_FALSE(s.SetAtOffset(-1, "x", 1));
  EXPECT_STREQ(s.Get(), "whole thing!");
  EXPECT_TRUE(s.SetAtOffset(0, "", 0)); // n < 1 at 0 empties
  EXPECT_STREQ(s.Get(), "");
  EXPECT_TRUE(s.Empty());

  // A text taken from the string itself survives the growth.
  s.Set("abc");
  s.SetAtOffset(3, s.Get(), 3);
  EXPECT_STREQ(s.Get(), "abcabc");
  s.Set(s.Get() + 2);
  EXPECT_STREQ(s.Get(), "cabc");

  HeapString copy(s);
  s.Set("changed");
  EXPECT_STREQ(copy.Get(), "cabc");
}
