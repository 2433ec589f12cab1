#include "link/dumps/DumpForms.h"

#include "link/dumps/SysExCodec.h"
#include "link/dumps/SysExFrame.h"

#include <algorithm>

namespace
{
struct FormType
{
  uint8_t edit;
  size_t editSize;
  uint8_t memory;
  size_t memorySize;
};

// Per kind and message: the two forms. The edit form of a pattern is the received 204-byte
// message; its memory form is what a slot stores.
constexpr FormType kProgramForms[] = {{0x00, 296, 0x02, 297}, {0x1E, 98, 0x1F, 99}};
constexpr FormType kPerformanceForms[] = {
    {0x05, 381, 0x07, 383}, {0x1B, 25, 0x1C, 27}, {0x20, 473, 0x21, 475}};
constexpr FormType kPatternForms[] = {{0x0C, kPatternDumpSize, 0x0C, kStoredPatternSize}};

constexpr char kRequestedPatternName[] = "Requested Arp***";

const FormType* Forms(DumpKind kind)
{
  switch (kind)
  {
  case DumpKind::Program:
    return kProgramForms;
  case DumpKind::Performance:
    return kPerformanceForms;
  default:
    return kPatternForms;
  }
}

// The bytes of the form before the payload that both forms share: the part byte of a program
// (edit form) and the bank code and slot (memory form).
size_t EditPayload(DumpKind kind)
{
  return kind == DumpKind::Program ? 9 : 8;
}

bool Framed(const uint8_t* message, size_t size, size_t sysExSize)
{
  return size >= sysExSize && sysExSize > 8 && message[0] == 0xF0 && message[1] == 0x00 &&
         message[2] == 0x20 && message[sysExSize - 1] == 0xF7;
}

uint8_t DataByte(int value)
{
  return uint8_t(std::clamp(value, 0, 0x7F));
}
} // namespace

int SlotMessageCount(DumpKind kind)
{
  switch (kind)
  {
  case DumpKind::Program:
    return 2;
  case DumpKind::Performance:
    return 3;
  default:
    return 1;
  }
}

int DefaultBankCode(DumpKind kind)
{
  switch (kind)
  {
  case DumpKind::Program:
    return 5;
  case DumpKind::Performance:
    return 1;
  default:
    return 0;
  }
}

bool IsDumpOfType(const uint8_t* message, size_t size, uint8_t type)
{
  return message && size > 8 && message[1] == 0x00 && message[2] == 0x20 && message[7] == type;
}

int SlotMessageIndex(DumpKind kind, const uint8_t* message, size_t size, bool* memoryForm)
{
  if (!message || size <= 8) return -1;
  const FormType* forms = Forms(kind);
  for (int i = 0; i < SlotMessageCount(kind); ++i)
  {
    const FormType& f = forms[i];
    if (message[7] == f.edit && size == f.editSize && Framed(message, size, f.editSize))
    {
      if (memoryForm) *memoryForm = false;
      return i;
    }
    // A stored pattern is the 204-byte message followed by its name.
    const size_t sysExSize = kind == DumpKind::Pattern ? kPatternDumpSize : f.memorySize;
    if (message[7] == f.memory && size == f.memorySize && Framed(message, size, sysExSize))
    {
      if (memoryForm) *memoryForm = true;
      return i;
    }
  }
  return -1;
}

bool IsStoredSlotMessage(DumpKind kind, int index, const uint8_t* message, size_t size)
{
  bool memoryForm = false;
  return index >= 0 && SlotMessageIndex(kind, message, size, &memoryForm) == index && memoryForm;
}

bool ToMemoryDump(std::vector<uint8_t>& message, DumpKind kind, int slot, int bankCode)
{
  bool memoryForm = false;
  const int index = SlotMessageIndex(kind, message.data(), message.size(), &memoryForm);
  if (index < 0) return false;
  if (memoryForm) return true;
  if (bankCode < 0) bankCode = DefaultBankCode(kind);

  const FormType& f = Forms(kind)[index];
  if (kind == DumpKind::Pattern)
  {
    message[7] = f.memory;
    message[8] = 0;
    message[kPatternSlotByte] = DataByte(slot);
    message.insert(message.end(), kRequestedPatternName, kRequestedPatternName + kDumpNameChars);
    return true;
  }

  const size_t from = EditPayload(kind);
  std::vector<uint8_t> memory(f.memorySize);
  std::copy(message.begin(), message.begin() + 7, memory.begin()); // frame, model byte and device id
  memory[7] = f.memory;
  memory[8] = DataByte(bankCode);
  memory[9] = DataByte(slot);
  std::copy(message.begin() + from, message.end(), memory.begin() + 10);
  message.swap(memory);
  return true;
}

bool ToEditForm(std::vector<uint8_t>& message, DumpKind kind, int part)
{
  bool memoryForm = false;
  const int index = SlotMessageIndex(kind, message.data(), message.size(), &memoryForm);
  if (index < 0) return false;
  if (!memoryForm) return true;

  const FormType& f = Forms(kind)[index];
  if (kind == DumpKind::Pattern)
  {
    message.resize(kPatternDumpSize);
    return true;
  }

  const size_t to = EditPayload(kind);
  std::vector<uint8_t> edit(f.editSize);
  std::copy(message.begin(), message.begin() + 7, edit.begin());
  edit[7] = f.edit;
  if (kind == DumpKind::Program) edit[8] = DataByte(part);
  std::copy(message.begin() + 10, message.end(), edit.begin() + to);
  message.swap(edit);
  return true;
}

std::vector<uint8_t> BuildInitPattern(const SysExAddress& address, int slot)
{
  std::vector<uint8_t> message = BuildSysExMessage(kSysExPatternMemory, address);
  message[8] = 0;
  message[kPatternSlotByte] = DataByte(slot);
  return message;
}

void WriteDumpName(const std::string& name, uint8_t* destination)
{
  std::string clean = name.substr(0, kDumpNameChars);
  for (char& c : clean)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  WriteNameChars(clean, destination, kDumpNameChars);
}

std::string CategoryText(const std::vector<std::string>* categories, int index)
{
  if (!categories || index < 0 || size_t(index) >= categories->size()) return {};
  return (*categories)[size_t(index)];
}
