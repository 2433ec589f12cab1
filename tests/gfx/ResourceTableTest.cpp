#include <gtest/gtest.h>

#include <cstdint>

#include "platform/resources/ResourceTable.h"

TEST(ResourceTable, RegisterFindReplaceRemove)
{
  static const std::uint8_t first[] = {1, 2, 3};
  static const std::uint8_t second[] = {9, 8};
  EXPECT_TRUE(ResourceTable::Find("TEXTFILE", 77).empty());
  ResourceTable::Register("TEXTFILE", 77, first);
  auto found = ResourceTable::Find("TEXTFILE", 77);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found.data(), first);
  // Type and id both select: neither another type nor another id finds it.
  EXPECT_TRUE(ResourceTable::Find("PNG", 77).empty());
  EXPECT_TRUE(ResourceTable::Find("TEXTFILE", 78).empty());
  EXPECT_TRUE(ResourceTable::Find("textfile", 77).empty());

  ResourceTable::Register("TEXTFILE", 77, second);
  EXPECT_EQ(ResourceTable::Find("TEXTFILE", 77).data(), second);
  EXPECT_TRUE(ResourceTable::Unregister("TEXTFILE", 77));
  EXPECT_TRUE(ResourceTable::Find("TEXTFILE", 77).empty());
}
