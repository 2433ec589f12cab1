#include "editor/PatchManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(PatchManager, SetNameStoresSetNameForEmptyAndTellsTheListener)
{
  PatchManager names;
  std::vector<int> told;
  names.SetListener([&](int n) { told.push_back(n); });
  names.SetName(PatchManager::kMultiName, "Big Multi");
  names.SetName(3, "");
  names.SetName(PatchManager::kNumNames, "outside");
  names.SetName(-1, "outside");
  names.SetNameExact(4, ""); // recall's form: as it is, nobody told
  EXPECT_EQ(names.Name(PatchManager::kMultiName), "Big Multi");
  EXPECT_EQ(names.Name(3), "Set Name");
  EXPECT_EQ(names.Name(4), "");
  EXPECT_EQ(names.Name(PatchManager::kNumNames), "");
  EXPECT_EQ(told, (std::vector<int>{0, 3}));
  names.SetName(1, std::string(300, 'x'));
  EXPECT_EQ(names.Name(1).size(), size_t(PatchManager::kMaxNameLength));
}

TEST(PatchManager, NamesSetFromSeveralThreads)
{
  PatchManager names;
  std::atomic<int> told{0};
  names.SetListener([&](int) { ++told; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back(
        [&, t]
        {
          for (int i = 0; i < 500; ++i)
            names.SetName(1 + t, "Part " + std::to_string(i));
        });
  for (int i = 0; i < 500; ++i)
    for (const std::string& n : names.Names())
      EXPECT_TRUE(n.empty() || n.rfind("Part ", 0) == 0) << n;
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(told.load(), 2000);
  EXPECT_EQ(names.Name(4), "Part 499");
}
