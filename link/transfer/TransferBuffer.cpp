#include "link/transfer/TransferBuffer.h"

#include <vector>

void TransferBuffer::Clear()
{
  mSlot.Clear();
  for (std::vector<uint8_t>& place : mPlaces)
    place.clear();
}

void TransferBuffer::Arm(uint32_t slotNumber, int expectSlot)
{
  Clear();
  mSlot.number = slotNumber;
  mExpectSlot = expectSlot;
  mArmed.store(true, std::memory_order_release);
}

TransferBuffer::Collected TransferBuffer::Collect(const uint8_t* bytes, size_t size)
{
  if (!Armed() || !bytes) return Collected::Refused;
  bool memoryForm = false;
  const int place = SlotMessageIndex(mKind, bytes, size, &memoryForm);
  if (place < 0 || place >= MessageCount() || !mPlaces[size_t(place)].empty()) return Collected::Refused;
  if (memoryForm && mExpectSlot >= 0 && bytes[9] != mExpectSlot) return Collected::Refused;

  std::vector<uint8_t> message(bytes, bytes + size);
  if (!ToMemoryDump(message, mKind, int(mSlot.number & 0x7F))) return Collected::Refused;
  mPlaces[size_t(place)] = std::move(message);

  mSlot.messages.clear();
  for (int i = 0; i < MessageCount(); ++i)
    if (!mPlaces[size_t(i)].empty()) mSlot.messages.push_back(mPlaces[size_t(i)]);
  if (int(mSlot.messages.size()) < MessageCount()) return Collected::Incomplete;

  mSlot.ReadName(mKind == DumpKind::Pattern ? int(kPatternNameOffset) : 10);
  Disarm();
  return Collected::Complete;
}
