#pragma once

#include "librarian/BankEntry.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// The librarian model: for each kind of bank (programs, performances, patterns) the bank of the
// left pane, which received dumps fill, and the bank of the right pane. The editor, the MIDI
// input thread and the transfer worker all reach it, so every bank and slot is guarded by one
// lock; the methods below take it themselves, and code that works on a bank directly through
// LeftBank or RightBank holds Lock() for as long as it uses the pointer.
class PatchLibrarian
{
public:
  enum Side
  {
    kLeft = 0,
    kRight = 1
  };
  enum Mode
  {
    kPrograms = 0,
    kPerformances = 1,
    kPatterns = 2,
    kNumModes = 3
  };
  static constexpr int kNumSlots = BankEntry::kNumSlots;

  PatchLibrarian();

  PatchLibrarian(const PatchLibrarian&) = delete;
  PatchLibrarian& operator=(const PatchLibrarian&) = delete;

  std::unique_lock<std::mutex> Lock() const { return std::unique_lock<std::mutex>(mMutex); }
  // The bank shown in the pane for the current mode. Hold Lock() while using it.
  BankEntry* LeftBank() { return Bank(kLeft); }
  BankEntry* RightBank() { return Bank(kRight); }
  // Side 0 is the left pane, anything else the right one. Hold Lock() while using it.
  BankEntry* Bank(int side);

  // Which kind of bank the panes show; a value outside the kinds is ignored.
  void SetMode(int mode);
  int GetMode() const { return mMode.load(); }

  // Stores a received slot at the selected left slot of the left bank, which is brought to
  // exactly 128 slots first. A selected slot outside the bank stores nothing (answer false).
  bool StoreReceivedSlot(const LibrarianSlot& slot);
  // Copies a slot out of a pane's bank; false (and out untouched) when there is no such slot.
  bool CopySlot(int side, int index, LibrarianSlot* out) const;
  // Replaces a slot of a pane's bank (brought to 128 slots first); false for an index outside.
  bool PutSlot(int side, int index, const LibrarianSlot& slot);
  // Set from any thread; false for an index outside the bank.
  bool SetSlotName(int side, int index, const std::string& name)
  {
    return SetSlotText(side, index, &LibrarianSlot::name, name);
  }
  bool SetSlotCategory(int side, int index, const std::string& category)
  {
    return SetSlotText(side, index, &LibrarianSlot::category, category);
  }
  // The pane's 128 names, the empty text for slots the bank does not hold.
  std::vector<std::string> SlotNames(int side) const;
  // Changes with every change of a bank or the mode, so views know when to refresh.
  uint64_t Revision() const { return mRevision.load(); }

  // Selections the link reads and writes (see the transfer jobs).
  std::atomic<int32_t> selectedLeftSlot{0};
  std::atomic<int32_t> selectedRightSlot{0};
  // Slot number written into received messages; set by paste and drop in the slot view.
  std::atomic<int32_t> receiveTargetSlot{0};

private:
  const BankEntry* ConstBank(int side) const;
  bool SetSlotText(int side, int index, std::string LibrarianSlot::*field, const std::string& text);
  void Touch() { mRevision.fetch_add(1); }

  mutable std::mutex mMutex;
  std::array<std::array<BankEntry, 2>, kNumModes> mBanks;
  std::atomic<int> mMode{kPrograms};
  std::atomic<uint64_t> mRevision{0};
};
