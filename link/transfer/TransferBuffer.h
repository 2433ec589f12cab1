#pragma once

#include "librarian/LibrarianSlot.h"
#include "link/dumps/DumpForms.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// One librarian slot being collected from the synthesizer's answer: the messages of one program
// (2), performance (3) or pattern (1), each brought into memory form as it arrives. Armed by the
// request before it is sent; the MIDI input thread collects; the slot is read once the record has
// completed (and so disarmed itself).
class TransferBuffer
{
public:
  enum class Collected
  {
    Refused,    // not armed, no message of this slot's kind, its place already filled, or the
                // memory answer of another slot: nothing stored
    Incomplete, // stored; more messages to come
    Complete,   // stored, the slot is whole and named, the record disarmed
  };

  explicit TransferBuffer(DumpKind kind) : mKind(kind) {}

  DumpKind Kind() const { return mKind; }
  int MessageCount() const { return SlotMessageCount(mKind); }

  // Empties the slot and arms the record for the slot number the messages are stored under. With
  // the slot a memory request asked for, a memory-form answer for another slot is refused: a late
  // answer to the request before must not fill this one.
  void Arm(uint32_t slotNumber, int expectSlot = -1);
  void Disarm() { mArmed.store(false, std::memory_order_release); }
  bool Armed() const { return mArmed.load(std::memory_order_acquire); }
  // Empties the slot's messages, name and category.
  void Clear();

  // Takes a received message into its place in the slot, in whatever order the places come: the
  // place is told by the message's type and length, in edit form (converted, with the default bank
  // code of its kind) or memory form (kept as received, bank and all). The slot is complete when
  // every place is filled. A message of another kind or length is refused, and so is a second
  // message for a filled place, so a stray or repeated message never makes a slot complete with
  // the wrong contents; the slot keeps its messages in place order for writing and loading.
  Collected Collect(const uint8_t* bytes, size_t size);
  Collected CollectProgram(const uint8_t* bytes, size_t size) { return Collect(bytes, size); }
  Collected CollectPerformance(const uint8_t* bytes, size_t size) { return Collect(bytes, size); }
  Collected CollectPattern(const uint8_t* bytes, size_t size) { return Collect(bytes, size); }

  // The messages collected so far, in place order; the whole slot once complete.
  const LibrarianSlot& Slot() const { return mSlot; }

private:
  static constexpr size_t kMaxPlaces = 3;

  const DumpKind mKind;
  std::atomic<bool> mArmed{false};
  int mExpectSlot = -1;
  std::array<std::vector<uint8_t>, kMaxPlaces> mPlaces;
  LibrarianSlot mSlot;
};
