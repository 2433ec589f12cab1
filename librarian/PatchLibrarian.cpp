#include "librarian/PatchLibrarian.h"

PatchLibrarian::PatchLibrarian()
{
  static const char* const kNames[kNumModes][2] = {
      {"Programs Left", "Programs Right"},
      {"Performances Left", "Performances Right"},
      {"Patterns Left", "Patterns Right"},
  };
  for (int m = 0; m < kNumModes; ++m)
    for (int s = 0; s < 2; ++s)
      mBanks[m][s].name = kNames[m][s];
}

BankEntry* PatchLibrarian::Bank(int side)
{
  return &mBanks[static_cast<size_t>(mMode.load())][side == kLeft ? 0 : 1];
}

const BankEntry* PatchLibrarian::ConstBank(int side) const
{
  return &mBanks[static_cast<size_t>(mMode.load())][side == kLeft ? 0 : 1];
}

void PatchLibrarian::SetMode(int mode)
{
  if (mode < 0 || mode >= kNumModes) return;
  std::lock_guard<std::mutex> lock(mMutex);
  if (mMode.exchange(mode) != mode) Touch();
}

bool PatchLibrarian::StoreReceivedSlot(const LibrarianSlot& slot)
{
  // Copied before the lock: the received slot may be the worker's own buffer.
  LibrarianSlot copy;
  copy.CopyFrom(slot);
  std::lock_guard<std::mutex> lock(mMutex);
  BankEntry* bank = Bank(kLeft);
  bank->Resize(kNumSlots);
  LibrarianSlot* target = bank->Slot(selectedLeftSlot.load());
  if (!target) return false;
  *target = std::move(copy);
  Touch();
  return true;
}

bool PatchLibrarian::CopySlot(int side, int index, LibrarianSlot* out) const
{
  if (!out) return false;
  std::lock_guard<std::mutex> lock(mMutex);
  const LibrarianSlot* slot = ConstBank(side)->Slot(index);
  if (!slot) return false;
  out->CopyFrom(*slot);
  return true;
}

bool PatchLibrarian::PutSlot(int side, int index, const LibrarianSlot& slot)
{
  if (index < 0 || index >= kNumSlots) return false;
  LibrarianSlot copy;
  copy.CopyFrom(slot);
  std::lock_guard<std::mutex> lock(mMutex);
  BankEntry* bank = Bank(side);
  bank->Resize(kNumSlots);
  *bank->Slot(index) = std::move(copy);
  Touch();
  return true;
}

bool PatchLibrarian::SetSlotText(int side, int index, std::string LibrarianSlot::*field,
                                 const std::string& text)
{
  std::lock_guard<std::mutex> lock(mMutex);
  LibrarianSlot* slot = Bank(side)->Slot(index);
  if (!slot) return false;
  slot->*field = text;
  Touch();
  return true;
}

std::vector<std::string> PatchLibrarian::SlotNames(int side) const
{
  std::vector<std::string> names(kNumSlots);
  std::lock_guard<std::mutex> lock(mMutex);
  const BankEntry* bank = ConstBank(side);
  const int n = bank->NumSlots() < kNumSlots ? bank->NumSlots() : kNumSlots;
  for (int i = 0; i < n; ++i)
    names[static_cast<size_t>(i)] = bank->Slot(i)->name;
  return names;
}
