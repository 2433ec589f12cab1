#include "link/transfer/TransferBuffer.h"
#include "tests/support/DumpTestPlug.h"

#include <gtest/gtest.h>

#include <string>

using Bytes = std::vector<uint8_t>;

namespace
{
Bytes Message(size_t size, uint8_t type, const char* name = nullptr, size_t nameAt = 0)
{
  Bytes m(size, 0x11);
  const Bytes header{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, type};
  std::copy(header.begin(), header.end(), m.begin());
  if (name) std::copy_n(name, 16, m.begin() + long(nameAt));
  m.back() = 0xF7;
  return m;
}

TransferBuffer::Collected Collect(TransferBuffer& record, const Bytes& m)
{
  return record.Collect(m.data(), m.size());
}
} // namespace

TEST(TransferBuffer, APerformanceAnswerFillsOneSlotInMemoryForm)
{
  TransferBuffer record(DumpKind::Performance);
  EXPECT_EQ(Collect(record, Message(381, 0x05, "Big\x02Strings    ", 8)), TransferBuffer::Collected::Refused);

  record.Arm(42);
  EXPECT_EQ(Collect(record, Message(381, 0x05, "Big\x02Strings    ", 8)),
            TransferBuffer::Collected::Incomplete);
  EXPECT_EQ(Collect(record, Message(25, 0x1B)), TransferBuffer::Collected::Incomplete);
  EXPECT_TRUE(record.Armed());
  EXPECT_EQ(Collect(record, Message(473, 0x20)), TransferBuffer::Collected::Complete);
  EXPECT_FALSE(record.Armed());

  const LibrarianSlot& slot = record.Slot();
  ASSERT_EQ(slot.messages.size(), 3u);
  const size_t sizes[] = {383, 27, 475};
  const uint8_t types[] = {0x07, 0x1C, 0x21};
  for (size_t i = 0; i < 3; ++i)
  {
    EXPECT_EQ(slot.messages[i].size(), sizes[i]);
    EXPECT_EQ(slot.messages[i][7], types[i]);
    EXPECT_EQ(slot.messages[i][8], 1);
    EXPECT_EQ(slot.messages[i][9], 42);
  }
  EXPECT_EQ(slot.number, 42u);
  EXPECT_EQ(slot.name, "Big Strings     ");
  // Nothing more is taken once complete.
  EXPECT_EQ(Collect(record, Message(381, 0x05)), TransferBuffer::Collected::Refused);
}

TEST(TransferBuffer, ProgramsKeepMemoryFormsAndRefuseStrayMessages)
{
  TransferBuffer record(DumpKind::Program);
  record.Arm(7);
  // Another kind, cut short, global settings as long as a program in memory.
  EXPECT_EQ(Collect(record, Message(381, 0x05)), TransferBuffer::Collected::Refused);
  EXPECT_EQ(Collect(record, Message(295, 0x00)), TransferBuffer::Collected::Refused);
  EXPECT_EQ(Collect(record, Message(297, 0x15)), TransferBuffer::Collected::Refused);
  EXPECT_TRUE(record.Slot().messages.empty());

  // A memory-form answer is kept as received, its bank (program bank C) included.
  Bytes memory = Message(297, 0x02, "Solo Lead       ", 10);
  memory[8] = 7;
  memory[9] = 99;
  EXPECT_EQ(Collect(record, memory), TransferBuffer::Collected::Incomplete);
  EXPECT_EQ(Collect(record, memory), TransferBuffer::Collected::Refused); // a second main message
  EXPECT_EQ(Collect(record, Message(98, 0x1E)), TransferBuffer::Collected::Complete);
  EXPECT_EQ(record.Slot().messages[0], memory);
  EXPECT_EQ(record.Slot().messages[1].size(), 99u);
  EXPECT_EQ(record.Slot().messages[1][7], 0x1F);
  EXPECT_EQ(record.Slot().messages[1][9], 7);
  EXPECT_EQ(record.Slot().name, "Solo Lead       ");

  // An edit-form answer: the part byte goes, the name keeps its first character.
  record.Arm(3);
  EXPECT_TRUE(record.Slot().messages.empty());
  Bytes edit = Message(296, 0x00, "Acid Bass       ", 9);
  edit[8] = 5;
  EXPECT_EQ(Collect(record, edit), TransferBuffer::Collected::Incomplete);
  EXPECT_EQ(Collect(record, Message(98, 0x1E)), TransferBuffer::Collected::Complete);
  EXPECT_EQ(record.Slot().messages[0][8], 5); // the default bank code of programs
  EXPECT_EQ(record.Slot().messages[0][9], 3);
  EXPECT_EQ(record.Slot().name, "Acid Bass       ");
}

TEST(TransferBuffer, APatternIsStoredWithItsName)
{
  TransferBuffer record(DumpKind::Pattern);
  record.Arm(12);
  EXPECT_EQ(Collect(record, Message(210, 0x0C)), TransferBuffer::Collected::Refused);
  EXPECT_EQ(Collect(record, Message(219, 0x0C)), TransferBuffer::Collected::Refused);
  EXPECT_TRUE(record.Armed());
  EXPECT_EQ(Collect(record, Message(204, 0x0C)), TransferBuffer::Collected::Complete);
  ASSERT_EQ(record.Slot().messages.size(), 1u);
  EXPECT_EQ(record.Slot().messages[0].size(), 220u);
  EXPECT_EQ(record.Slot().messages[0][9], 12);
  EXPECT_EQ(record.Slot().name, "Requested Arp***");
  EXPECT_FALSE(record.Armed());
}

// Storing the editor's program or performance into the librarian: the slot gets memory-form
// messages with their own types, the chosen bank and slot, and loading it back gives the same sound.
TEST(TransferBuffer, StoringTheEditorIntoASlotKeepsTypesBankAndSound)
{
  DumpTestPlug plug;
  std::mt19937 random(9);
  const std::vector<DumpTable> programTables{{ProgramDumpFields(), true}, {ProgramDumpBFields(), true}};
  plug.Randomise(random, programTables);
  plug.ParameterAt(kPatchName + 4)->AddValueText(0, "Stored Sound");
  const Bytes editMain = BuildProgramDump(plug, 4, {0, 15});
  const Bytes editSecond = BuildProgramDumpB(plug, 4, {0, 15});

  TransferBuffer programs(DumpKind::Program);
  programs.Arm(77);
  TransferBuffer::Collected last = TransferBuffer::Collected::Refused;
  for (const Bytes& m : BuildProgramForSlot(plug, 4, {0, 15}, 7 + 5, 77))
    last = programs.Collect(m.data(), m.size());
  ASSERT_EQ(last, TransferBuffer::Collected::Complete);
  const LibrarianSlot& slot = programs.Slot();
  EXPECT_EQ(Bytes(slot.messages[0].begin() + 7, slot.messages[0].begin() + 10), (Bytes{0x02, 12, 77}));
  EXPECT_EQ(Bytes(slot.messages[1].begin() + 7, slot.messages[1].begin() + 10), (Bytes{0x1F, 12, 77}));
  EXPECT_EQ(slot.name, "Stored Sound    ");
  Bytes main = slot.messages[0], second = slot.messages[1];
  ASSERT_TRUE(ToEditForm(main, DumpKind::Program, 4));
  ASSERT_TRUE(ToEditForm(second, DumpKind::Program, 4));
  EXPECT_EQ(main, editMain);
  EXPECT_EQ(second, editSecond);

  TransferBuffer performances(DumpKind::Performance);
  performances.Arm(5);
  plug.ParameterAt(kMultiName)->AddValueText(0, "Stored Multi");
  for (const Bytes& m : BuildPerformanceForSlot(plug, {0, 15}, 3, 5))
    last = performances.Collect(m.data(), m.size());
  ASSERT_EQ(last, TransferBuffer::Collected::Complete);
  const uint8_t types[] = {0x07, 0x1C, 0x21};
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(
        Bytes(performances.Slot().messages[i].begin() + 7, performances.Slot().messages[i].begin() + 10),
        (Bytes{types[i], 3, 5}));
  EXPECT_EQ(performances.Slot().name, "Stored Multi    ");
}

// A slot is complete when each of its places is filled, in whatever order its messages come; a
// repeated message fills nothing, and a memory answer for another slot than the one asked for is
// refused (a late answer to the request before).
TEST(TransferBuffer, MessagesFillTheirPlacesInAnyOrderOnlyOnce)
{
  TransferBuffer record(DumpKind::Performance);
  record.Arm(9);
  EXPECT_EQ(Collect(record, Message(473, 0x20)), TransferBuffer::Collected::Incomplete);
  EXPECT_EQ(Collect(record, Message(473, 0x20)), TransferBuffer::Collected::Refused);
  EXPECT_EQ(Collect(record, Message(25, 0x1B)), TransferBuffer::Collected::Incomplete);
  EXPECT_EQ(Collect(record, Message(381, 0x05, "Out Of Order    ", 8)), TransferBuffer::Collected::Complete);
  const LibrarianSlot& slot = record.Slot();
  ASSERT_EQ(slot.messages.size(), 3u);
  EXPECT_EQ(slot.messages[0][7], 0x07);
  EXPECT_EQ(slot.messages[1][7], 0x1C);
  EXPECT_EQ(slot.messages[2][7], 0x21);
  EXPECT_EQ(slot.name, "Out Of Order    ");

  TransferBuffer program(DumpKind::Program);
  program.Arm(40, TransferBuffer::Expect::Memory(5, 40, 15));
  Bytes second = Message(99, 0x1F);
  second[8] = 5;
  second[9] = 39; // the slot before: late
  EXPECT_EQ(Collect(program, second), TransferBuffer::Collected::Refused);
  second[9] = 40;
  EXPECT_EQ(Collect(program, second), TransferBuffer::Collected::Incomplete);
  Bytes main = Message(297, 0x02, "Forty           ", 10);
  main[8] = 5;
  main[9] = 40;
  EXPECT_EQ(Collect(program, main), TransferBuffer::Collected::Complete);
  EXPECT_EQ(program.Slot().messages, (std::vector<Bytes>{main, second}));
}
