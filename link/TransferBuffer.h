#pragma once

#include "librarian/LibrarianSlot.h"
#include "link/DumpForms.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// One librarian slot being collected from the synthesizer's answer: the messages of one program
// (2), performance (3) or pattern (1), each brought into memory form as it arrives. Armed by the
// request before it is sent; the MIDI input thread collects; the slot is read once the record has
// completed (and so disarmed itself).
class TransferBuffer
{
public:
  enum class Collected
  {
    Refused,    // not armed, or no message of this slot's kind in its place: nothing stored
    Incomplete, // stored; more messages to come
    Complete,   // stored, the slot is whole and named, the record disarmed
  };

  explicit TransferBuffer(DumpKind kind) : mKind(kind) {}

  DumpKind Kind() const { return mKind; }
  int MessageCount() const { return SlotMessageCount(mKind); }

  // Empties the slot and arms the record for the slot number the messages are stored under.
  void Arm(uint32_t slotNumber);
  void Disarm() { mArmed.store(false, std::memory_order_release); }
  bool Armed() const { return mArmed.load(std::memory_order_acquire); }
  // Empties the slot's messages, name and category.
  void Clear() { mSlot.Clear(); }

  // Takes a received message as the next message of the slot: the message of the slot's next
  // place, in edit form (converted, with the default bank code of its kind) or memory form (kept
  // as received, bank and all). A message of another kind, place or length is refused, so a
  // stray message can never make a slot complete with the wrong contents.
  Collected Collect(const uint8_t* bytes, size_t size);
  Collected CollectProgram(const uint8_t* bytes, size_t size) { return Collect(bytes, size); }
  Collected CollectPerformance(const uint8_t* bytes, size_t size) { return Collect(bytes, size); }
  Collected CollectPattern(const uint8_t* bytes, size_t size) { return Collect(bytes, size); }

  const LibrarianSlot& Slot() const { return mSlot; }

private:
  const DumpKind mKind;
  std::atomic<bool> mArmed{false};
  LibrarianSlot mSlot;
};
