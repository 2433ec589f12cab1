#pragma once

#include "librarian/LibrarianSlot.h"

#include <string>
#include <vector>

// One bank of the librarian: a name and its slots (128 once anything is stored into it).
class BankEntry
{
public:
  static constexpr int kNumSlots = 128;

  explicit BankEntry(std::string bankName = std::string());

  // Brings the slot list to exactly n slots: new slots are empty and numbered by their index,
  // slots past n are dropped.
  void Resize(int n);
  // The slot at the index, or null outside the list.
  LibrarianSlot* Slot(int index);
  const LibrarianSlot* Slot(int index) const;
  int NumSlots() const { return static_cast<int>(slots.size()); }

  std::string name;
  std::vector<LibrarianSlot> slots;
};
