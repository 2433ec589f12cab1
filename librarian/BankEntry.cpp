#include "librarian/BankEntry.h"

#include <utility>

BankEntry::BankEntry(std::string bankName) : name(std::move(bankName)) {}

void BankEntry::Resize(int n)
{
  if (n < 0) n = 0;
  const size_t old = slots.size();
  slots.resize(static_cast<size_t>(n));
  for (size_t i = old; i < slots.size(); ++i)
    slots[i].number = static_cast<uint32_t>(i);
}

LibrarianSlot* BankEntry::Slot(int index)
{
  if (index < 0 || index >= NumSlots()) return nullptr;
  return &slots[static_cast<size_t>(index)];
}

const LibrarianSlot* BankEntry::Slot(int index) const
{
  if (index < 0 || index >= NumSlots()) return nullptr;
  return &slots[static_cast<size_t>(index)];
}
