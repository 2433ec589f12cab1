#include "link/transfer/TransferBuffer.h"

#include <vector>

void TransferBuffer::Clear()
{
  mSlot.Clear();
  for (std::vector<uint8_t>& place : mPlaces)
    place.clear();
}

namespace
{
uint16_t DeviceIdBit(int deviceId)
{
  return deviceId >= 0 && deviceId < 16 ? uint16_t(1u << deviceId) : 0;
}
} // namespace

ReceiveExpect ReceiveExpect::Edit(int deviceId)
{
  ReceiveExpect expect;
  expect.form = Form::kEdit;
  expect.deviceIds = DeviceIdBit(deviceId);
  return expect;
}

ReceiveExpect ReceiveExpect::Memory(int bankCode, int slot, int deviceId)
{
  ReceiveExpect expect;
  expect.form = Form::kMemory;
  expect.bankCode = bankCode;
  expect.slot = slot;
  expect.deviceIds = DeviceIdBit(deviceId);
  return expect;
}

void TransferBuffer::Arm(uint32_t slotNumber, const Expect& expect)
{
  Clear();
  mSlot.number = slotNumber;
  mExpect = expect;
  mArmed.store(true, std::memory_order_release);
}

void TransferBuffer::AcceptDeviceId(int deviceId)
{
  if (mExpect.deviceIds != 0) mExpect.deviceIds |= DeviceIdBit(deviceId);
}

TransferBuffer::Collected TransferBuffer::Collect(const uint8_t* bytes, size_t size)
{
  if (!Armed() || !bytes) return Collected::Refused;
  bool memoryForm = false;
  const int place = SlotMessageIndex(mKind, bytes, size, &memoryForm);
  if (place < 0 || place >= MessageCount() || !mPlaces[size_t(place)].empty()) return Collected::Refused;
  using Form = Expect::Form;
  if (mExpect.form != Form::kAny && memoryForm != (mExpect.form == Form::kMemory)) return Collected::Refused;
  if (mExpect.deviceIds != 0 && !(mExpect.deviceIds & DeviceIdBit(bytes[6]))) return Collected::Refused;
  if (memoryForm && mExpect.slot >= 0 && bytes[9] != mExpect.slot) return Collected::Refused;
  if (memoryForm && mExpect.bankCode >= 0 && bytes[8] != mExpect.bankCode) return Collected::Refused;

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
