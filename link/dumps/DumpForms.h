#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SysExAddress;

// The two forms of the dumps a librarian slot holds: the edit form the synthesizer's edit buffer
// sends (program 0x00 and 0x1E with a part byte; performance 0x05, 0x1B and 0x20), and the memory
// form a slot keeps (program 0x02 and 0x1F, performance 0x07, 0x1C and 0x21, each with a bank code
// in byte 8 and the slot in byte 9, then the edit-form bytes). A pattern has only the memory form
// (0x0C, 204 bytes, bank code 0 in byte 8 and the slot in byte 9); a slot stores it followed by
// its 16-character name (220 bytes).

enum class DumpKind
{
  Program,     // two messages
  Performance, // three messages
  Pattern,     // one message
};

constexpr size_t kDumpNameChars = 16; // program, performance and pattern names
constexpr size_t kPatternDumpSize = 204;
constexpr size_t kPatternSlotByte = 9;
constexpr size_t kPatternNameOffset = 204;
constexpr size_t kStoredPatternSize = 220;

// Messages in a slot of this kind.
int SlotMessageCount(DumpKind kind);
// The bank code a slot of this kind gets when none is given: program bank A (5), performance bank
// A (1), the pattern bank (0).
int DefaultBankCode(DumpKind kind);

// Bytes 1 and 2 (00 20) and the type byte say this type; the length is not checked.
bool IsDumpOfType(const uint8_t* message, size_t size, uint8_t type);

// Which message of a slot of this kind a whole message is (0 .. count - 1), by type byte and exact
// length, with its frame (F0, 00 20, F7); -1 when it is none. `memoryForm` tells the form.
int SlotMessageIndex(DumpKind kind, const uint8_t* message, size_t size, bool* memoryForm = nullptr);
// A message read from a bank file: message `index` of a slot of this kind in memory form.
bool IsStoredSlotMessage(DumpKind kind, int index, const uint8_t* message, size_t size);

// Brings a message into the memory form a slot keeps: an edit-form message gets the memory type,
// the bank code and the slot, and its bytes from byte 8 (performance) or 9 (program, whose part
// byte goes) move behind them; a received 204-byte pattern gets bank 0, the slot and the name
// "Requested Arp***". A message already in memory form is left as it is. A bank code below 0 is
// the kind's default. False, and the message unchanged, when it is no message of this kind.
bool ToMemoryDump(std::vector<uint8_t>& message, DumpKind kind, int slot, int bankCode = -1);
// The reverse, for loading a slot into the editor: program messages get the part in byte 8,
// performance messages lose their bank and slot bytes, a pattern loses its stored name. An
// edit-form message is left as it is. False, and the message unchanged, for any other message.
bool ToEditForm(std::vector<uint8_t>& message, DumpKind kind, int part);

// The initial pattern: the 204-byte memory message of an empty pattern for the slot (bank code 0).
std::vector<uint8_t> BuildInitPattern(const SysExAddress& address, int slot);

// Writes 16 name characters: padded with blanks, control characters as blanks, characters that
// cannot travel inside SysEx as '?'.
void WriteDumpName(const std::string& name, uint8_t* destination);
// Entry `index` of the category list; empty when there is no list or no such entry.
std::string CategoryText(const std::vector<std::string>* categories, int index);
