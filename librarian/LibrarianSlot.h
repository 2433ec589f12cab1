#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One librarian slot: a program, performance or pattern as the SysEx messages that make it up
// (in memory form), with its number, name and category. A slot is a plain value; the librarian
// that holds it guards it with its lock.
class LibrarianSlot
{
public:
  static constexpr int kNameLength = 16;

  LibrarianSlot() = default;

  // Copies number, name, category and messages.
  void CopyFrom(const LibrarianSlot& other);
  // Takes over the message's bytes; an empty message is not stored.
  void AddMessage(std::vector<uint8_t>&& message);
  // Sets the name from the 16 bytes of the first message that start at the position, bytes
  // below 0x20 read as blanks. A name that runs past the message's end is cut there. With no
  // first message or a position outside it the name stays as it was and the answer is false.
  bool ReadName(int position);
  // Empties messages, name and category (the number stays).
  void Clear();
  bool IsEmpty() const { return messages.empty(); }

  uint32_t number = 0;
  std::string name;
  std::string category;
  std::vector<std::vector<uint8_t>> messages;
};
