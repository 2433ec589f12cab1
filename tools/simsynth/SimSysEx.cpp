#include "tools/simsynth/SimSysEx.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace
{
struct TypeSize
{
  uint8_t type;
  size_t size;
};

constexpr std::array<TypeSize, 16> kSizes{{{0x00, 296},
                                           {0x1E, 98},
                                           {0x02, 297},
                                           {0x1F, 99},
                                           {0x05, 381},
                                           {0x1B, 25},
                                           {0x20, 473},
                                           {0x07, 383},
                                           {0x1C, 27},
                                           {0x21, 475},
                                           {0x0C, 204},
                                           {0x0F, 281},
                                           {0x15, 297},
                                           {0x08, 9},
                                           {0x13, 11},
                                           {0x10, 9}}};

// An edit form and its memory form: the memory form's data starts `shift` bytes later, where the
// edit form's first data byte was `firstData`.
struct FormPair
{
  uint8_t edit;
  uint8_t memory;
  size_t firstData;
  size_t shift;
};

constexpr std::array<FormPair, 5> kForms{{{SimSysEx::kProgramEdit, SimSysEx::kProgramMemory, 9, 1},
                                          {SimSysEx::kProgramEditB, SimSysEx::kProgramMemoryB, 9, 1},
                                          {SimSysEx::kPerfEdit, SimSysEx::kPerfMemory, 8, 2},
                                          {SimSysEx::kPerfEditB, SimSysEx::kPerfMemoryB, 8, 2},
                                          {SimSysEx::kPerfEditParts, SimSysEx::kPerfMemoryParts, 8, 2}}};

// A field that holds base + a value below span (span 0: the byte is always base).
struct Field
{
  size_t byte;
  uint8_t base;
  uint8_t span;
};

uint8_t Pick(std::mt19937& random, unsigned span)
{
  return span ? uint8_t(random() % span) : 0;
}

// Every byte between the header and F7 random 7-bit, from `first` on.
void FillRandom(SimBytes& message, std::mt19937& random, size_t first)
{
  for (size_t i = first; i + 1 < message.size(); ++i)
    message[i] = Pick(random, 128);
}

void Apply(SimBytes& message, std::mt19937& random, std::initializer_list<Field> fields, size_t origin = 0)
{
  for (const Field& f : fields)
    message[origin + f.byte] = uint8_t(f.base + Pick(random, f.span));
}

void Zero(SimBytes& message, size_t first, size_t last)
{
  for (size_t i = first; i <= last && i + 1 < message.size(); ++i)
    message[i] = 0;
}

void WriteName(SimBytes& message, std::mt19937& random, size_t first)
{
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -";
  for (size_t i = 0; i < SimSysEx::kNameLength; ++i)
    message[first + i] = uint8_t(kChars[Pick(random, sizeof kChars - 1)]);
}

// Value 0 to 13 of the per-part sustain setting as the performance carries it.
constexpr std::array<uint8_t, 14> kSustainCodes{77, 78, 79, 126, 80, 81, 82, 127, 4, 5, 6, 7, 8, 83};
// Breath-sensing steps of the second global message, byte 9.
constexpr std::array<uint8_t, 11> kBreathSteps{80, 72, 64, 56, 48, 40, 32, 24, 16, 8, 0};
} // namespace

size_t SimSysEx::SizeOfType(uint8_t type)
{
  for (const TypeSize& t : kSizes)
    if (t.type == type) return t.size;
  return 0;
}

uint8_t SimSysEx::ModelByte(int model)
{
  if (model == 0) return 0x24;
  if (model == 1) return 0x22;
  return 0x23;
}

SimBytes SimSysEx::Frame(uint8_t type, uint8_t modelByte, uint8_t deviceId)
{
  SimBytes message(std::max<size_t>(SizeOfType(type), 9), 0);
  const uint8_t head[] = {0xF0, 0x00, 0x20, 0x29, 0x01, modelByte, deviceId, type};
  std::copy(std::begin(head), std::end(head), message.begin());
  message.back() = 0xF7;
  return message;
}

bool SimSysEx::WellFormed(const SimBytes& message)
{
  if (message.size() < 9 || message[0] != 0xF0 || message.back() != 0xF7) return false;
  if (message[1] != 0x00 || message[2] != 0x20 || message[3] != 0x29 || message[4] != 0x01) return false;
  if (SizeOfType(message[kTypeByte]) != message.size()) return false;
  return std::none_of(message.begin() + 1, message.end() - 1, [](uint8_t b) { return b & 0x80; });
}

SimBytes SimSysEx::ToMemory(const SimBytes& edit, uint8_t bankCode, uint8_t slot)
{
  if (!WellFormed(edit)) return {};
  for (const FormPair& f : kForms)
  {
    if (f.edit != edit[kTypeByte]) continue;
    SimBytes memory = Frame(f.memory, edit[kModelByte], edit[kDeviceByte]);
    memory[8] = bankCode & 0x7F;
    memory[9] = slot & 0x7F;
    std::copy(edit.begin() + long(f.firstData), edit.end() - 1, memory.begin() + long(f.firstData + f.shift));
    return memory;
  }
  return {};
}

SimBytes SimSysEx::ToEdit(const SimBytes& memory, uint8_t part)
{
  if (!WellFormed(memory)) return {};
  for (const FormPair& f : kForms)
  {
    if (f.memory != memory[kTypeByte]) continue;
    SimBytes edit = Frame(f.edit, memory[kModelByte], memory[kDeviceByte]);
    std::copy(memory.begin() + long(f.firstData + f.shift), memory.end() - 1,
              edit.begin() + long(f.firstData));
    if (f.shift == 1) edit[8] = part & 0x07;
    return edit;
  }
  return {};
}

namespace
{
void MarkExtendedType(uint8_t typeByte, uint8_t& mark)
{
  if (((typeByte - 32) & 3) != 3)
    mark = 0;
  else if (mark != 1 && mark != 2)
    mark = 1;
}
} // namespace

void SimSysEx::MatchSecondMessage(const SimBytes& program, SimBytes& second)
{
  if (program.size() <= 284 || second.size() <= 66) return;
  MarkExtendedType(program[284], second[66]);
  second[16] = uint8_t(((program[218] & 7) << 3) | (second[16] & 7));
}

void SimSysEx::MarkMultiChorusTypes(const SimBytes& performance, SimBytes& parts)
{
  for (size_t p = 0; p < kParts; ++p)
  {
    const size_t typeAt = 28 + 44 * p + 33, markAt = 8 + 40 * p + 1;
    if (performance.size() > typeAt && parts.size() > markAt)
      MarkExtendedType(performance[typeAt], parts[markAt]);
  }
}

SimBytes SimSysEx::GenerateProgram(std::mt19937& random, uint8_t part, uint8_t modelByte, uint8_t deviceId)
{
  SimBytes m = Frame(kProgramEdit, modelByte, deviceId);
  m[8] = part;
  WriteName(m, random, kProgramNameByte);
  FillRandom(m, random, 25);
  // Fixed bytes, then the fields that carry an offset (values from it on), then the plain bytes whose
  // settings have fewer than 128 values: waveforms, octaves, LFO shapes and switches, the filter
  // slope, the arpeggiator's bank, velocity, quantize and latch, the pan type and the routing.
  Apply(m, random, {{29, 0x30, 0}, {78, 0x7F, 0}, {112, 0x7F, 0}, {248, 0x38, 0}});
  Apply(m, random,
        {{32, 30, 5},   {33, 45, 8},   {35, 52, 8},   {65, 10, 5},  {66, 35, 5},  {67, 70, 8},  {69, 52, 8},
         {99, 20, 5},   {100, 40, 5},  {101, 95, 8},  {103, 52, 8}, {170, 16, 4}, {177, 24, 2}, {178, 124, 2},
         {180, 20, 4},  {187, 26, 2},  {188, 126, 2}, {189, 28, 3}, {190, 31, 3}, {216, 3, 8},  {241, 42, 4},
         {242, 120, 2}, {243, 122, 2}, {244, 34, 8},  {246, 0, 16}, {249, 76, 5}, {251, 86, 4}, {252, 74, 2},
         {253, 122, 6}, {254, 81, 5},  {257, 79, 2},  {259, 72, 2}, {260, 92, 2}, {261, 1, 8},  {273, 55, 4},
         {284, 32, 64}, {290, 96, 8}});
  Apply(m, random, {{31, 0, 5}, {217, 0, 3}, {256, 0, 2}, {293, 0, 19}});
  // Unison switch (bit 5), unison mode (bit 2), polyphony + 1 in bits 1-0, bit 6 always set.
  m[247] = uint8_t(0x41 + (Pick(random, 2) << 5) + (Pick(random, 2) << 2) + Pick(random, 2));
  // Sibilance level in bits 6-3, arpeggio octave range + 1 in bits 2-0.
  m[255] = uint8_t((Pick(random, 16) << 3) + 1 + Pick(random, 4));
  return m;
}

SimBytes SimSysEx::GenerateProgramB(std::mt19937& random, uint8_t part, uint8_t modelByte, uint8_t deviceId)
{
  SimBytes m = Frame(kProgramEditB, modelByte, deviceId);
  m[8] = part;
  FillRandom(m, random, 9);
  Zero(m, 42, 45);
  Zero(m, 51, 64);
  Zero(m, 80, 80);
  Zero(m, 84, 96);
  // Byte 16 also carries the filter width (0-7) in its bits 5-3.
  Apply(m, random, {{16, 0, 64}, {18, 61, 8}, {41, 1, 8}, {50, 0, 4}, {65, 0, 4}, {66, 0, 3}});
  return m;
}

SimBytes SimSysEx::GeneratePerformance(std::mt19937& random, uint8_t modelByte, uint8_t deviceId)
{
  SimBytes m = Frame(kPerfEdit, modelByte, deviceId);
  WriteName(m, random, kPerfNameByte);
  FillRandom(m, random, 24);
  m[26] = Pick(random, kParts);
  for (size_t p = 0; p < kParts; ++p)
  {
    const size_t at = 28 + 44 * p;
    Apply(m, random,
          {{1, 5, 8}, {2, 0, 16}, {3, 98, 8}, {5, 40, 8}, {7, 80, 8}, {22, 55, 4}, {39, 96, 8}, {42, 0, 19}},
          at);
    m[at + 4] = kSustainCodes[Pick(random, kSustainCodes.size())];
    // Pass-to-effects fields of (byte - 32), bit 3 always clear.
    m[at + 33] = uint8_t(32 + (Pick(random, 96) & 0x77));
  }
  return m;
}

SimBytes SimSysEx::GeneratePerformanceB(std::mt19937& random, uint8_t modelByte, uint8_t deviceId)
{
  SimBytes m = Frame(kPerfEditB, modelByte, deviceId);
  FillRandom(m, random, 8);
  // Bytes 16 - 23 carry settings of the synthesizer's own that the editor never shows: they hold
  // whatever the rest of the message does.
  Apply(m, random, {{9, 18, 8}, {10, 28, 6}, {11, 111, 8}, {14, 96, 16}, {15, 0, 2}});
  return m;
}

SimBytes SimSysEx::GeneratePerformanceParts(std::mt19937& random, uint8_t modelByte, uint8_t deviceId)
{
  SimBytes m = Frame(kPerfEditParts, modelByte, deviceId);
  FillRandom(m, random, 8);
  for (size_t p = 0; p < kParts; ++p)
  {
    const size_t at = 8 + 40 * p;
    // Fields 15, 19 to 32, 38 and 39, bits 5-4 of field 33 and bytes 328 to 471 are the
    // synthesizer's own settings, left random: an editor must send them back as they came.
    Apply(m, random, {{0, 0, 2}, {1, 0, 3}, {34, 76, 5}, {36, 0, 4}, {37, 0, 4}}, at);
  }
  return m;
}

SimBytes SimSysEx::GenerateGlobalA(std::mt19937& random, uint8_t modelByte, uint8_t deviceId)
{
  SimBytes m = Frame(kGlobalA, modelByte, deviceId);
  // Most bytes are settings the editor does not show: random, as they would be on a used synthesizer.
  FillRandom(m, random, 8);
  Apply(m, random, {{14, 105, 8}});
  return m;
}

SimBytes SimSysEx::GenerateGlobalB(std::mt19937& random, uint8_t modelByte, uint8_t deviceId)
{
  SimBytes m = Frame(kGlobalB, modelByte, deviceId);
  // Most bytes and bits are settings the editor does not show: random, as on a used synthesizer.
  FillRandom(m, random, 8);
  // Breath sensing in steps of 8; local control off adds 4.
  m[9] = uint8_t(kBreathSteps[Pick(random, kBreathSteps.size())] + 4 * Pick(random, 2));
  Apply(m, random, {{20, 11, 4}, {34, 56, 16}, {35, 56, 16}});
  return m;
}
