// A part's program selection that another enabled part already plays waits for the user.
#include "framework/plugin/ParameterIds.h"
#include "link/output/DeviceSender.h"
#include "tests/link/LinkHostDouble.h"

#include <gtest/gtest.h>

namespace
{
class ConflictHost : public LinkHostDouble
{
public:
  void ShowProgramConflict(int part, int otherPart) override { asked.emplace_back(part, otherPart); }
  std::vector<std::pair<int, int>> asked;
};
} // namespace

TEST(ProgramConflict, TheWindowNamesThePartsAndTheRefusedSelectionIsNotRecorded)
{
  ConflictHost host;
  DeviceSender sender(host);
  for (int part : {1, 2, 5})
  {
    host.Set(kMultiPartMIDICh + part, part);
    host.Set(kMultiPartStatus + part, 1);
  }
  // Part 6 plays B-011, part 3 A-004.
  host.Set(kMultiPartBank + 5, 1);
  host.Set(kMultiPartPatch + 5, 10);
  ASSERT_TRUE(sender.SelectPartProgram(5));
  host.Set(kMultiPartPatch + 2, 3);
  ASSERT_TRUE(sender.SelectPartProgram(2));
  host.ClearSent();

  // Part 3 is to play B-011 too: the window asks, naming part 6, and part 3 keeps A-004.
  host.Set(kMultiPartBank + 2, 1);
  host.Set(kMultiPartPatch + 2, 10);
  EXPECT_FALSE(sender.SelectPartProgram(2));
  EXPECT_EQ(host.asked, (std::vector<std::pair<int, int>>{{2, 5}}));
  EXPECT_EQ(host.conflictPart.load(), 2);
  EXPECT_EQ(host.SentCount(), 0u);
  EXPECT_EQ(host.lastBank[2], 0);
  EXPECT_EQ(host.lastProgram[2], 3);
  // Part 3 still plays A-004: part 2 choosing it meets part 3.
  host.Set(kMultiPartBank + 1, 0);
  host.Set(kMultiPartPatch + 1, 3);
  EXPECT_EQ(sender.DuplicateOf(1), 2);

  // Sent anyway (the change handler raised the flag): the selection goes out and is recorded.
  host.conflictWindowSuppressed = 1;
  host.Set(kMultiPartPatch + 1, 0);
  host.Set(kMultiPartBank + 2, 1);
  host.Set(kMultiPartPatch + 2, 10);
  EXPECT_TRUE(sender.SelectPartProgram(2));
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xB2, 123, 0}, {0xB2, 0, 0}, {0xB2, 32, 6}, {0xC2, 10}}));
  EXPECT_EQ(host.lastBank[2], 1);
  EXPECT_EQ(host.lastProgram[2], 10);
  EXPECT_EQ(host.asked.size(), 1u);
  // Selecting a part on the synthesizer asks again next time.
  sender.SendNrpn(1, false);
  EXPECT_EQ(host.conflictWindowSuppressed.load(), 0);
  host.Set(kMultiPartBank + 1, 1);
  host.Set(kMultiPartPatch + 1, 10);
  EXPECT_FALSE(sender.SelectPartProgram(1));
  EXPECT_EQ(host.asked.back(), (std::pair<int, int>{1, 2}));
}
