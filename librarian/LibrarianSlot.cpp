#include "librarian/LibrarianSlot.h"

#include <algorithm>

void LibrarianSlot::CopyFrom(const LibrarianSlot& other)
{
  if (&other == this) return;
  number = other.number;
  name = other.name;
  category = other.category;
  messages = other.messages;
}

void LibrarianSlot::AddMessage(std::vector<uint8_t>&& message)
{
  if (message.empty()) return;
  messages.push_back(std::move(message));
}

bool LibrarianSlot::ReadName(int position)
{
  if (messages.empty() || position < 0) return false;
  const std::vector<uint8_t>& first = messages.front();
  if (static_cast<size_t>(position) >= first.size()) return false;
  const size_t end = std::min(first.size(), static_cast<size_t>(position) + kNameLength);
  std::string text;
  text.reserve(kNameLength);
  for (size_t i = static_cast<size_t>(position); i < end; ++i)
    text.push_back(first[i] < 0x20 ? ' ' : static_cast<char>(first[i]));
  name = std::move(text);
  return true;
}

void LibrarianSlot::Clear()
{
  messages.clear();
  name.clear();
  category.clear();
}
