#include "librarian/PatchLibrarian.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
std::vector<uint8_t> Message(size_t size, int nameAt, const char* name)
{
  std::vector<uint8_t> m(size, 0x00);
  m.front() = 0xF0;
  m.back() = 0xF7;
  for (size_t i = 0; name[i] && nameAt + i < size; ++i)
    m[nameAt + i] = static_cast<uint8_t>(name[i]);
  return m;
}
} // namespace

TEST(LibrarianSlot, ReadNameTakesSixteenBytesAndBlanksControlBytes)
{
  LibrarianSlot slot;
  EXPECT_FALSE(slot.ReadName(10)); // no message yet
  std::vector<uint8_t> m = Message(99, 10, "Bass\x01Line 1234567890");
  slot.AddMessage(std::move(m));
  ASSERT_TRUE(slot.ReadName(10));
  EXPECT_EQ(slot.name, "Bass Line 123456");

  // Only the first message is read.
  slot.AddMessage(Message(40, 10, "Other"));
  ASSERT_TRUE(slot.ReadName(10));
  EXPECT_EQ(slot.name, "Bass Line 123456");
}

TEST(LibrarianSlot, ReadNameStaysInsideTheMessage)
{
  LibrarianSlot slot;
  slot.AddMessage(Message(14, 10, "ABCDEFGH"));
  // Four bytes from 10: 'A', 'B', 'C' and the end byte (0xF7 is kept as it is).
  ASSERT_TRUE(slot.ReadName(10));
  EXPECT_EQ(slot.name.size(), 4u);
  EXPECT_EQ(slot.name.substr(0, 3), "ABC");
  slot.name = "kept";
  EXPECT_FALSE(slot.ReadName(14));
  EXPECT_FALSE(slot.ReadName(-1));
  EXPECT_FALSE(slot.ReadName(1 << 30));
  EXPECT_EQ(slot.name, "kept");
}

TEST(LibrarianSlot, CopyAddAndClear)
{
  LibrarianSlot a;
  a.number = 7;
  a.name = "Pad";
  a.category = "Strings";
  a.AddMessage(Message(27, 10, "x"));
  a.AddMessage({});
  EXPECT_EQ(a.messages.size(), 1u); // empty messages are not stored

  std::vector<uint8_t> moved = Message(383, 10, "Multi");
  a.AddMessage(std::move(moved));
  EXPECT_EQ(a.messages.size(), 2u);
  EXPECT_EQ(a.messages[1].size(), 383u);

  LibrarianSlot b;
  b.CopyFrom(a);
  EXPECT_EQ(b.number, 7u);
  EXPECT_EQ(b.name, "Pad");
  EXPECT_EQ(b.category, "Strings");
  EXPECT_EQ(b.messages, a.messages);
  b.CopyFrom(b);
  EXPECT_EQ(b.messages.size(), 2u);

  b.Clear();
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_TRUE(b.name.empty());
  EXPECT_TRUE(b.category.empty());
  EXPECT_EQ(b.number, 7u);
  EXPECT_EQ(a.messages.size(), 2u); // the copy was deep
}

TEST(BankEntry, ResizeFillsNumbersAndCuts)
{
  BankEntry bank("B");
  EXPECT_EQ(bank.Slot(0), nullptr);
  bank.Resize(3);
  bank.slots[2].name = "third";
  bank.Resize(BankEntry::kNumSlots);
  ASSERT_EQ(bank.NumSlots(), 128);
  EXPECT_EQ(bank.Slot(127)->number, 127u);
  EXPECT_EQ(bank.Slot(2)->name, "third");
  EXPECT_EQ(bank.Slot(128), nullptr);
  EXPECT_EQ(bank.Slot(-1), nullptr);
  bank.Resize(200);
  bank.Resize(128);
  EXPECT_EQ(bank.NumSlots(), 128);
  bank.Resize(-5);
  EXPECT_EQ(bank.NumSlots(), 0);
}

TEST(PatchLibrarian, StoreReceivedSlotGoesToTheSelectedLeftSlotOfTheCurrentMode)
{
  PatchLibrarian lib;
  LibrarianSlot received;
  received.number = 42;
  received.name = "Received";
  received.AddMessage(Message(99, 10, "Received"));

  lib.selectedLeftSlot = 5;
  const uint64_t before = lib.Revision();
  ASSERT_TRUE(lib.StoreReceivedSlot(received));
  EXPECT_NE(lib.Revision(), before);
  {
    auto lock = lib.Lock();
    ASSERT_EQ(lib.LeftBank()->NumSlots(), 128);
    EXPECT_EQ(lib.LeftBank()->Slot(5)->name, "Received");
    EXPECT_EQ(lib.LeftBank()->Slot(5)->number, 42u);
    EXPECT_EQ(lib.RightBank()->NumSlots(), 0);
  }
  // A selection outside the bank stores nothing.
  lib.selectedLeftSlot = 128;
  EXPECT_FALSE(lib.StoreReceivedSlot(received));
  lib.selectedLeftSlot = -1;
  EXPECT_FALSE(lib.StoreReceivedSlot(received));

  // Each kind of bank has its own panes.
  lib.SetMode(PatchLibrarian::kPatterns);
  EXPECT_EQ(lib.SlotNames(PatchLibrarian::kLeft)[5], "");
  lib.SetMode(7); // ignored
  EXPECT_EQ(lib.GetMode(), PatchLibrarian::kPatterns);
  lib.SetMode(PatchLibrarian::kPrograms);
  EXPECT_EQ(lib.SlotNames(PatchLibrarian::kLeft)[5], "Received");
}

TEST(PatchLibrarian, SlotEditsAndCopies)
{
  PatchLibrarian lib;
  LibrarianSlot out;
  out.name = "untouched";
  EXPECT_FALSE(lib.CopySlot(PatchLibrarian::kRight, 0, &out));
  EXPECT_EQ(out.name, "untouched");
  EXPECT_FALSE(lib.SetSlotName(PatchLibrarian::kRight, 0, "x"));

  LibrarianSlot s;
  s.name = "Lead";
  s.AddMessage(Message(99, 10, "Lead"));
  EXPECT_FALSE(lib.PutSlot(PatchLibrarian::kRight, 128, s));
  ASSERT_TRUE(lib.PutSlot(PatchLibrarian::kRight, 127, s));
  ASSERT_TRUE(lib.SetSlotName(PatchLibrarian::kRight, 127, "Lead 2"));
  ASSERT_TRUE(lib.SetSlotCategory(PatchLibrarian::kRight, 127, "Lead"));
  ASSERT_TRUE(lib.CopySlot(PatchLibrarian::kRight, 127, &out));
  EXPECT_EQ(out.name, "Lead 2");
  EXPECT_EQ(out.category, "Lead");
  EXPECT_EQ(out.messages.size(), 1u);
  const std::vector<std::string> names = lib.SlotNames(PatchLibrarian::kRight);
  ASSERT_EQ(names.size(), 128u);
  EXPECT_EQ(names[127], "Lead 2");
  EXPECT_EQ(names[0], "");
  EXPECT_EQ(lib.SlotNames(PatchLibrarian::kLeft).size(), 128u);
}

// Names are set by the MIDI and worker threads while the editor reads them.
TEST(PatchLibrarian, ConcurrentStoresNamesAndReads)
{
  PatchLibrarian lib;
  LibrarianSlot s;
  s.AddMessage(Message(99, 10, "Threaded"));
  s.ReadName(10);
  std::atomic<bool> done{false};
  std::thread writer(
      [&]
      {
        for (int i = 0; i < 2000; ++i)
        {
          lib.selectedLeftSlot = i % 128;
          lib.StoreReceivedSlot(s);
          lib.SetSlotName(PatchLibrarian::kLeft, (i * 7) % 128, "Renamed");
        }
        done = true;
      });
  // Read while the writer runs; every name seen is whole.
  do
  {
    for (const std::string& n : lib.SlotNames(PatchLibrarian::kLeft))
      EXPECT_TRUE(n.empty() || n == "Threaded        " || n == "Renamed") << n;
  } while (!done);
  writer.join();
  for (const std::string& n : lib.SlotNames(PatchLibrarian::kLeft))
    EXPECT_TRUE(n == "Threaded        " || n == "Renamed") << n;
  auto lock = lib.Lock();
  EXPECT_EQ(lib.LeftBank()->NumSlots(), 128);
}
