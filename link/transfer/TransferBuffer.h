#pragma once

#include "librarian/LibrarianSlot.h"
#include "link/dumps/DumpForms.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// What the request that armed the record asked for. A slot takes only the answer to it: a dump in
// another form, from another device id, or of another slot or bank is refused, so that a dump
// another device (or the synthesizer unasked) puts on the cable is never stored as the slot.
struct ReceiveExpect
{
  enum class Form
  {
    kAny,    // the editor's own messages (a store or an initial slot): nothing is asked for
    kEdit,   // an edit-buffer request: the edit form
    kMemory, // a memory request: the memory form of the slot and bank asked for
  };
  Form form = Form::kAny;
  int slot = -1;          // kMemory: byte 9
  int bankCode = -1;      // kMemory: byte 8
  uint16_t deviceIds = 0; // one bit per device id asked (byte 6); 0: any

  static ReceiveExpect Edit(int deviceId);
  static ReceiveExpect Memory(int bankCode, int slot, int deviceId);
};

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

  using Expect = ReceiveExpect;

  explicit TransferBuffer(DumpKind kind) : mKind(kind) {}

  DumpKind Kind() const { return mKind; }
  int MessageCount() const { return SlotMessageCount(mKind); }

  // Empties the slot and arms the record for the slot number the messages are stored under, taking
  // only what `expect` describes: a late answer to the request before, or a dump of another device,
  // must not fill this one.
  void Arm(uint32_t slotNumber, const Expect& expect = {});
  // A device-id scan asks another id: its answer is taken too.
  void AcceptDeviceId(int deviceId);
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
  Expect mExpect;
  std::array<std::vector<uint8_t>, kMaxPlaces> mPlaces;
  LibrarianSlot mSlot;
};
