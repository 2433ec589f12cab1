#include "link/incoming/NrpnDecode.h"

#include <gtest/gtest.h>

namespace
{
struct Key
{
  int msbKey, base, lsbKey, block, value;
  bool refresh;
};

void ExpectLookup(int msb, int lsb, int data, Key k)
{
  SCOPED_TRACE(::testing::Message() << msb << "/" << lsb << " data " << data);
  const NrpnDecode d = DecodeNrpn(msb, lsb, data);
  ASSERT_EQ(d.action, NrpnDecode::kLookup);
  EXPECT_EQ(d.msbKey, k.msbKey);
  EXPECT_EQ(d.base, k.base);
  EXPECT_EQ(d.lsbKey, k.lsbKey);
  EXPECT_EQ(d.block, k.block);
  EXPECT_EQ(d.value, k.value);
  EXPECT_EQ(d.refreshPart, k.refresh);
}
} // namespace

TEST(NrpnDecode, PagesOfMsbZeroGiveTheBaseOfTheDataRange)
{
  // Page 0: part ranges refresh the part view, the plain ones do not; gaps are base 0 (part).
  ExpectLookup(0, 0, 4, {0, 0, 0, 0, 4, true});
  ExpectLookup(0, 0, 12, {0, 10, 0, 0, 2, true});
  ExpectLookup(0, 0, 7, {0, 0, 0, 0, 7, true});
  ExpectLookup(0, 0, 34, {0, 30, 0, 0, 4, false});
  ExpectLookup(0, 0, 35, {0, 35, 0, 0, 0, false});
  ExpectLookup(0, 0, 119, {0, 95, 0, 0, 24, false});
  ExpectLookup(0, 0, 127, {0, 126, 0, 0, 1, true});
  // Page 1: every value refreshes; a gap (94) keeps base 0.
  ExpectLookup(0, 1, 14, {0, 3, 1, 0, 11, true});
  ExpectLookup(0, 1, 15, {0, 0, 1, 0, 15, true});
  ExpectLookup(0, 1, 94, {0, 0, 1, 0, 94, true});
  ExpectLookup(0, 1, 125, {0, 122, 1, 0, 3, true});
  // Page 84 and the sustain values that come home to base 77 from pages 84, 110 and 113.
  ExpectLookup(0, 84, 81, {0, 77, 84, 0, 5, false});
  ExpectLookup(0, 84, 83, {0, 77, 84, 0, 13, false});
  ExpectLookup(0, 84, 78, {0, 77, 84, 0, 1, false});
  ExpectLookup(0, 84, 87, {0, 86, 84, 0, 1, false});
  ExpectLookup(0, 110, 126, {0, 77, 84, 0, 3, false});
  ExpectLookup(0, 110, 127, {0, 77, 84, 0, 7, false});
  ExpectLookup(0, 113, 4, {0, 77, 84, 0, 8, false});
  ExpectLookup(0, 113, 8, {0, 77, 84, 0, 12, false});
  // Page 100: the delay ratio's last two values, and plain ranges.
  ExpectLookup(0, 100, 110, {0, 96, 100, 0, 11, false});
  ExpectLookup(0, 100, 111, {0, 96, 100, 0, 12, false});
  ExpectLookup(0, 100, 99, {0, 98, 100, 0, 1, false});
  ExpectLookup(0, 100, 116, {0, 115, 100, 0, 1, false});
  ExpectLookup(0, 100, 90, {0, 0, 100, 0, 90, false});
  // Pages 109, 110, 111.
  ExpectLookup(0, 109, 3, {0, 1, 109, 0, 2, false});
  ExpectLookup(0, 109, 100, {0, 96, 109, 0, 4, false});
  ExpectLookup(0, 110, 75, {0, 110, 110, 0, 0, false});
  ExpectLookup(0, 110, 115, {0, 110, 110, 0, 1, false});
  ExpectLookup(0, 110, 100, {0, 80, 110, 0, 20, false});
  ExpectLookup(0, 111, 100, {0, 80, 111, 0, 20, false});
  ExpectLookup(0, 111, 88, {0, 40, 111, 0, 48, false});
  // Page 113: shifted values, the block ranges and the part range.
  ExpectLookup(0, 113, 0, {0, 1, 113, 0, -1, false});
  ExpectLookup(0, 113, 3, {0, 1, 113, 0, 2, false});
  ExpectLookup(0, 113, 17, {0, 16, 113, 1, 1, false});
  ExpectLookup(0, 113, 127, {0, 112, 113, 1, 15, false});
  ExpectLookup(0, 113, 40, {0, 36, 113, 0, 4, true});
  ExpectLookup(0, 113, 90, {0, 89, 113, 0, 1, false});
  // Page 122 keeps the value; any other page is plain.
  ExpectLookup(0, 122, 2, {0, 1, 122, 0, 2, false});
  ExpectLookup(0, 122, 9, {0, 0, 122, 0, 9, false});
  ExpectLookup(0, 50, 77, {0, 0, 50, 0, 77, false});
}

TEST(NrpnDecode, DataValuesThatActOnTheirOwnOrAreIgnored)
{
  for (int data : {94, 95})
    EXPECT_EQ(DecodeNrpn(0, 100, data).action, NrpnDecode::kIgnore);
  for (int data : {5, 8})
    EXPECT_EQ(DecodeNrpn(0, 109, data).action, NrpnDecode::kIgnore);
  NrpnDecode on = DecodeNrpn(0, 113, 57);
  EXPECT_EQ(on.action, NrpnDecode::kPartOn);
  EXPECT_EQ(on.part, 2);
  NrpnDecode off = DecodeNrpn(0, 113, 70);
  EXPECT_EQ(off.action, NrpnDecode::kPartOff);
  EXPECT_EQ(off.part, 7);
  NrpnDecode select = DecodeNrpn(0, 113, 76);
  EXPECT_EQ(select.action, NrpnDecode::kSelectPart);
  EXPECT_EQ(select.part, 0);
}

TEST(NrpnDecode, PairsWithAnMsbOtherThanZero)
{
  ExpectLookup(14, 122, 1, {0, 52, 1, 0, 3, false});
  ExpectLookup(14, 122, 2, {0, 52, 1, 0, 4, false});
  ExpectLookup(14, 122, 3, {14, 0, 122, 0, 3, false}); // outside the pair's data: plain
  ExpectLookup(43, 122, 0, {0, 76, 1, 0, 3, false});
  ExpectLookup(43, 122, 1, {0, 76, 1, 0, 4, false});
  ExpectLookup(43, 122, 2, {43, 0, 122, 0, 2, false});
  ExpectLookup(31, 122, 9, {31, 0, 122, 0, 9, false});
  // The three switches: data 0..2 on, 3..5 off, the base naming the switch.
  ExpectLookup(34, 122, 0, {34, 0, 122, 0, 1, false});
  ExpectLookup(34, 122, 4, {34, 2, 122, 0, 0, false});
  ExpectLookup(7, 120, 2, {7, 4, 120, 0, 1, false});
  ExpectLookup(7, 120, 5, {7, 4, 120, 0, 0, false});
  ExpectLookup(7, 120, 6, {7, 0, 120, 0, 6, false});
  ExpectLookup(116, 120, 60, {116, 56, 120, 0, 4, false});
  ExpectLookup(117, 120, 56, {117, 56, 120, 0, 0, false});
  ExpectLookup(20, 5, 9, {20, 0, 5, 0, 9, false});
}
