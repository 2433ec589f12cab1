// What a received program change leaves behind: a transfer that runs is not disturbed by it, and a
// librarian slot load leaves no request pending for a later answer.
#include "tests/incoming/IncomingTestSupport.h"

#include "librarian/PatchLibrarian.h"

#include <gtest/gtest.h>

namespace
{
// A librarian whose left program bank holds a slot at the index.
void FillSlot(PatchLibrarian& librarian, int index)
{
  LibrarianSlot slot;
  slot.number = uint32_t(index);
  slot.messages.push_back(Bytes(297, 0x11));
  slot.messages.push_back(Bytes(99, 0x11));
  ASSERT_TRUE(librarian.PutSlot(PatchLibrarian::kLeft, index, slot));
}
} // namespace

// While the jobs thread runs a transfer (a bank being received), a program change from either side
// touches nothing of the reception: no record disarmed, no edit-buffer receive opened, the
// librarian's selected slot (where the answer is stored) left alone. The status line says that it
// was not followed.
TEST(ProgramChangeFollowUp, ATransferRunningIsNotDisturbed)
{
  IncomingFixture t;
  PatchLibrarian librarian;
  t.host.librarian = &librarian;
  librarian.selectedLeftSlot = 20;
  t.host.Set(kPartProgramChange + 2, 1);
  t.host.jobsIdle = false;

  t.FromDevice({0xC2, 5}); // a part's channel
  t.FromDevice({0xCF, 6}); // the global channel
  t.FromHost({0xC2, 7});
  t.host.Set(kControlLibrary, 1);
  t.FromDevice({0xC2, 8});
  t.FromHost({0xC2, 9});

  EXPECT_EQ(t.host.disarms, 0);
  EXPECT_EQ(t.host.editBufferReceive, 0);
  EXPECT_TRUE(t.host.storedPrograms.empty());
  EXPECT_TRUE(t.host.posted.empty());
  EXPECT_EQ(librarian.selectedLeftSlot.load(), 20);
  EXPECT_EQ(t.host.pendingRequestId, -1);
  ASSERT_EQ(t.host.statusTexts.size(), 5u);
  for (const std::string& text : t.host.statusTexts)
    EXPECT_EQ(text, IncomingMessages::kProgramChangeDuringTransfer);

  // Once the transfer has ended, a program change is followed again.
  t.host.jobsIdle = true;
  t.host.Set(kControlLibrary, 0);
  t.FromDevice({0xC2, 5});
  ASSERT_EQ(t.host.posted.size(), 1u);
  EXPECT_EQ(t.host.posted[0].code, LinkJobCode::kRequestPartProgram);
}

// A program change in the librarian view loads the slot; the load asks the synthesizer for
// nothing, so no request id is left pending to cut a later answer down to one part.
TEST(ProgramChangeFollowUp, ASlotLoadLeavesNoRequestPending)
{
  IncomingFixture t;
  PatchLibrarian librarian;
  t.host.librarian = &librarian;
  ASSERT_NO_FATAL_FAILURE(FillSlot(librarian, 3));
  t.host.Set(kControlLibrary, 1);

  t.FromDevice({0xC1, 3});
  ASSERT_EQ(t.host.posted.size(), 1u);
  EXPECT_EQ(t.host.posted[0].code, LinkJobCode::kLoadSlot);
  EXPECT_EQ(t.host.posted[0].partOrSlot, 1);
  EXPECT_EQ(t.host.pendingRequestId, -1);

  t.host.Set(kPartProgramChange + 1, 1);
  t.host.editBufferReceive = 0; // the slot load's job ended
  t.FromHost({0xC1, 3});
  ASSERT_EQ(t.host.posted.size(), 2u);
  EXPECT_EQ(t.host.pendingRequestId, -1);
}
