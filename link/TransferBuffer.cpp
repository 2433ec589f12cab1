#include "link/TransferBuffer.h"

#include <vector>

void TransferBuffer::Arm(uint32_t slotNumber)
{
  mSlot.Clear();
  mSlot.number = slotNumber;
  mArmed.store(true, std::memory_order_release);
}

TransferBuffer::Collected TransferBuffer::Collect(const uint8_t* bytes, size_t size)
{
  if (!Armed() || !bytes) return Collected::Refused;
  const int place = int(mSlot.messages.size());
  if (SlotMessageIndex(mKind, bytes, size) != place || place >= MessageCount()) return Collected::Refused;

  std::vector<uint8_t> message(bytes, bytes + size);
  if (!ToMemoryDump(message, mKind, int(mSlot.number & 0x7F))) return Collected::Refused;
  mSlot.AddMessage(std::move(message));
  if (int(mSlot.messages.size()) < MessageCount()) return Collected::Incomplete;

  mSlot.ReadName(mKind == DumpKind::Pattern ? int(kPatternNameOffset) : 10);
  Disarm();
  return Collected::Complete;
}
