#include "link/dumps/DumpForms.h"
#include "link/dumps/ProgramDump.h"
#include "link/dumps/PerformanceDump.h"
#include "tests/support/DumpTestPlug.h"

#include <gtest/gtest.h>

#include <cmath>

#include <set>
#include <string>

using Bytes = std::vector<uint8_t>;

namespace
{
Bytes Message(size_t size, uint8_t type, uint8_t fill)
{
  Bytes m(size, fill);
  const Bytes header{0xF0, 0x00, 0x20, 0x29, 0x01, 0x22, 0x07, type};
  std::copy_n(header.begin(), std::min(size, header.size()), m.begin());
  if (size > 8) m.back() = 0xF7;
  return m;
}

// Payload bytes numbered, so that a shift by any amount shows.
Bytes Numbered(size_t size, uint8_t type)
{
  Bytes m = Message(size, type, 0);
  for (size_t i = 8; i + 1 < size; ++i)
    m[i] = uint8_t(i & 0x7F);
  return m;
}
} // namespace

TEST(DumpForms, EditFormsBecomeMemoryFormsAndBackWithoutLosingAByte)
{
  struct Case
  {
    DumpKind kind;
    uint8_t edit;
    size_t editSize;
    uint8_t memory;
    size_t memorySize;
    size_t payload; // first edit byte after the part byte
  } const cases[] = {{DumpKind::Program, 0x00, 296, 0x02, 297, 9},
                     {DumpKind::Program, 0x1E, 98, 0x1F, 99, 9},
                     {DumpKind::Performance, 0x05, 381, 0x07, 383, 8},
                     {DumpKind::Performance, 0x1B, 25, 0x1C, 27, 8},
                     {DumpKind::Performance, 0x20, 473, 0x21, 475, 8}};
  for (const Case& c : cases)
  {
    Bytes edit = Numbered(c.editSize, c.edit);
    if (c.kind == DumpKind::Program) edit[8] = 6; // the part
    Bytes m = edit;
    ASSERT_TRUE(ToMemoryDump(m, c.kind, 93, 7)) << int(c.edit);
    ASSERT_EQ(m.size(), c.memorySize);
    EXPECT_EQ(Bytes(m.begin(), m.begin() + 10), (Bytes{0xF0, 0, 0x20, 0x29, 1, 0x22, 0x07, c.memory, 7, 93}));
    // Every payload byte, the first name character included, one place per removed part byte on.
    EXPECT_EQ(Bytes(m.begin() + 10, m.end()), Bytes(edit.begin() + long(c.payload), edit.end()))
        << int(c.edit);
    EXPECT_TRUE(
        IsStoredSlotMessage(c.kind, SlotMessageIndex(c.kind, m.data(), m.size()), m.data(), m.size()));

    Bytes same = m; // a memory-form message is kept as received, bank and all
    ASSERT_TRUE(ToMemoryDump(same, c.kind, 5));
    EXPECT_EQ(same, m);

    ASSERT_TRUE(ToEditForm(m, c.kind, 6));
    EXPECT_EQ(m, edit) << int(c.edit);
  }

  // Without a bank code a slot gets bank A of its kind.
  Bytes program = Numbered(296, 0x00);
  ASSERT_TRUE(ToMemoryDump(program, DumpKind::Program, 0));
  EXPECT_EQ(program[8], 5);
  Bytes performance = Numbered(25, 0x1B);
  ASSERT_TRUE(ToMemoryDump(performance, DumpKind::Performance, 0));
  EXPECT_EQ(performance[8], 1);
}

TEST(DumpForms, ReceivedPatternsAreStoredWithTheirName)
{
  Bytes pattern = Numbered(204, 0x0C);
  ASSERT_TRUE(ToMemoryDump(pattern, DumpKind::Pattern, 17));
  ASSERT_EQ(pattern.size(), 220u);
  EXPECT_EQ(pattern[7], 0x0C);
  EXPECT_EQ(pattern[8], 0);
  EXPECT_EQ(pattern[kPatternSlotByte], 17);
  EXPECT_EQ(pattern[203], 0xF7);
  EXPECT_EQ(std::string(pattern.begin() + 204, pattern.end()), "Requested Arp***");
  EXPECT_TRUE(IsStoredSlotMessage(DumpKind::Pattern, 0, pattern.data(), pattern.size()));
  Bytes stored = pattern;
  ASSERT_TRUE(ToMemoryDump(stored, DumpKind::Pattern, 3));
  EXPECT_EQ(stored, pattern);
  ASSERT_TRUE(ToEditForm(stored, DumpKind::Pattern, 0));
  EXPECT_EQ(stored, Bytes(pattern.begin(), pattern.begin() + 204));

  // Patterns of other lengths are no patterns: nothing is copied past a 204-byte message and no
  // name is read past a message's end.
  for (size_t n : {0, 9, 203, 205, 210, 218, 219, 221, 300})
  {
    Bytes other = Numbered(std::max<size_t>(n, 9), 0x0C);
    other.resize(n);
    const Bytes before = other;
    EXPECT_FALSE(ToMemoryDump(other, DumpKind::Pattern, 1)) << n;
    EXPECT_FALSE(ToEditForm(other, DumpKind::Pattern, 1)) << n;
    EXPECT_EQ(other, before);
    EXPECT_EQ(SlotMessageIndex(DumpKind::Pattern, other.data(), other.size()), -1);
  }
}

TEST(DumpForms, OnlyWholeMessagesOfTheirKindAreConverted)
{
  // The second global message is as long as a program in memory; another kind's messages, cut or
  // unframed messages are refused unchanged.
  const Bytes refused[] = {Message(297, 0x15, 0), Message(296, 0x05, 0), Message(381, 0x00, 0),
                           Message(295, 0x00, 0), Message(98, 0x1F, 0),  Message(4, 0x00, 0)};
  for (Bytes m : refused)
  {
    const Bytes before = m;
    EXPECT_FALSE(ToMemoryDump(m, DumpKind::Program, 1));
    EXPECT_FALSE(ToMemoryDump(m, DumpKind::Performance, 1));
    EXPECT_EQ(m, before);
  }
  Bytes unframed = Message(296, 0x00, 0);
  unframed.back() = 0x00;
  EXPECT_FALSE(ToMemoryDump(unframed, DumpKind::Program, 1));
  unframed = Message(296, 0x00, 0);
  unframed[2] = 0x21;
  EXPECT_FALSE(ToMemoryDump(unframed, DumpKind::Program, 1));

  // A stored message is checked for the place it takes in its slot.
  const Bytes second = Message(99, 0x1F, 0);
  EXPECT_TRUE(IsStoredSlotMessage(DumpKind::Program, 1, second.data(), second.size()));
  EXPECT_FALSE(IsStoredSlotMessage(DumpKind::Program, 0, second.data(), second.size()));
  EXPECT_FALSE(IsStoredSlotMessage(DumpKind::Performance, 1, second.data(), second.size()));
  const Bytes editForm = Message(98, 0x1E, 0);
  EXPECT_FALSE(IsStoredSlotMessage(DumpKind::Program, 1, editForm.data(), editForm.size()));
  EXPECT_FALSE(IsStoredSlotMessage(DumpKind::Program, 1, nullptr, 0));
}

TEST(DumpForms, InitialSlotsArePlayableAndWellFormed)
{
  const auto program = BuildInitProgram({1, 4}, 9, 12);
  ASSERT_EQ(program.size(), 2u);
  for (int i = 0; i < 2; ++i)
  {
    const Bytes& m = program[size_t(i)];
    ASSERT_TRUE(IsStoredSlotMessage(DumpKind::Program, i, m.data(), m.size()));
    EXPECT_EQ(Bytes(m.begin(), m.begin() + 10),
              (Bytes{0xF0, 0, 0x20, 0x29, 1, 0x22, 4, uint8_t(i ? 0x1F : 0x02), 9, 12}));
    for (size_t b = 1; b + 1 < m.size(); ++b)
      ASSERT_LT(m[b], 0x80);
  }
  EXPECT_EQ(std::string(program[0].begin() + 10, program[0].begin() + 26), "Init Program    ");

  // Loaded into part 2 of the editor: one oscillator, an open filter, no effect sends.
  DumpTestPlug plug;
  std::mt19937 random(2);
  plug.Randomise(random, {{{ProgramDumpFields(), true}, {ProgramDumpBFields(), true}}});
  Bytes main = program[0], second = program[1];
  ASSERT_TRUE(ToEditForm(main, DumpKind::Program, 2));
  ASSERT_TRUE(ToEditForm(second, DumpKind::Program, 2));
  ASSERT_TRUE(ParseProgramDump(plug, main.data(), main.size(), {}).Taken());
  ASSERT_TRUE(ParseProgramDumpB(plug, second.data(), second.size(), {}).Taken());
  EXPECT_EQ(plug.Value(kOscillator1Level + 2), 127);
  EXPECT_EQ(plug.Value(kOscillator2Level + 2), 0);
  EXPECT_EQ(plug.Value(kOscillator3Level + 2), 0);
  EXPECT_EQ(plug.Value(kNoiseLevel + 2), 0);
  EXPECT_EQ(plug.Value(kFilterCutoff + 2), 127);
  EXPECT_EQ(plug.Value(kFilterResonance + 2), 0);
  EXPECT_EQ(plug.Value(kEnv1Sustain + 2), 127);
  EXPECT_GT(plug.Value(kProgramLevel + 2), 0);
  for (int send : {kFXReverbSend, kFXChorusSend, kFXDelaySend, kFXDistortionOverdrive})
    EXPECT_EQ(plug.Value(send + 2), 0) << send;
  EXPECT_EQ(plug.Value(kEnv2osc1Pitch + 2), 64);
  EXPECT_EQ(plug.Value(kLFO1filterFreqAmnt + 2), 64);
  EXPECT_EQ(std::string(plug.ParameterAt(kPatchName + 2)->ValueText(0)), "Init Program    ");

  const auto performance = BuildInitPerformance({0, 15}, 2, 127);
  ASSERT_EQ(performance.size(), 3u);
  const uint8_t types[] = {0x07, 0x1C, 0x21};
  for (int i = 0; i < 3; ++i)
  {
    const Bytes& m = performance[size_t(i)];
    ASSERT_TRUE(IsStoredSlotMessage(DumpKind::Performance, i, m.data(), m.size()));
    EXPECT_EQ(Bytes(m.begin(), m.begin() + 10), (Bytes{0xF0, 0, 0x20, 0x29, 1, 0x24, 15, types[i], 2, 127}));
  }
  EXPECT_EQ(std::string(performance[0].begin() + 10, performance[0].begin() + 26), "Init Perf       ");
  // Eight identical part blocks (memory form: two bytes further on).
  for (size_t p = 1; p < 8; ++p)
  {
    EXPECT_TRUE(std::equal(performance[0].begin() + 30, performance[0].begin() + 74,
                           performance[0].begin() + 30 + 44 * long(p)));
    EXPECT_TRUE(std::equal(performance[2].begin() + 10, performance[2].begin() + 50,
                           performance[2].begin() + 10 + 40 * long(p)));
  }
  Bytes common = performance[0];
  ASSERT_TRUE(ToEditForm(common, DumpKind::Performance, 0));
  ASSERT_TRUE(ParsePerformanceCommon(plug, common.data(), common.size(), {}).Taken());
  EXPECT_EQ(plug.Value(kMultiPartStatus), 1);
  for (int p = 1; p < 8; ++p)
    EXPECT_EQ(plug.Value(kMultiPartStatus + p), 0);

  const Bytes pattern = BuildInitPattern({2, 5}, 44);
  Bytes expected(204, 0);
  const Bytes head{0xF0, 0x00, 0x20, 0x29, 0x01, 0x23, 0x05, 0x0C, 0x00, 44};
  std::copy(head.begin(), head.end(), expected.begin());
  expected[203] = 0xF7;
  EXPECT_EQ(pattern, expected);
}

// The rows themselves: inside their message, one byte's rows together, no two fields sharing a
// bit, and every value of a field's domain written and read back unchanged.
TEST(DumpForms, EveryRowIsSound)
{
  struct Table
  {
    std::span<const DumpField> fields;
    size_t end; // first offset past the rows' area
  } const tables[] = {{ProgramDumpFields(), 295},       {ProgramDumpBFields(), 97},
                      {PerformanceCommonFields(), 28},  {PerformancePartFields(), 44},
                      {PerformanceVocoderFields(), 24}, {PerformancePartsFields(), 40},
                      {GlobalDumpAFields(), 280},       {GlobalDumpBFields(), 296}};
  for (const Table& t : tables)
  {
    std::set<int> finished;
    int previous = -1;
    uint8_t used = 0;
    for (const DumpField& f : t.fields)
    {
      ASSERT_LT(f.at, t.end);
      if (int(f.at) != previous)
      {
        ASSERT_EQ(finished.count(f.at), 0u) << "rows of byte " << f.at << " apart";
        finished.insert(previous);
        used = 0;
      }
      previous = f.at;
      const uint8_t bits = uint8_t(((1 << f.width) - 1) << f.shift);
      if (f.special != DumpSpecial::ReadOnly && f.special != DumpSpecial::BreathSensing &&
          f.special != DumpSpecial::LocalControl)
      {
        EXPECT_EQ(used & bits, 0) << "byte " << f.at;
        used |= bits;
      }
      EXPECT_EQ(bits & 0x80, 0);

      const DumpDomain d = FieldDomain(f);
      if (!d.drives || f.special == DumpSpecial::LocalControl || f.special == DumpSpecial::BreathSensing ||
          f.special == DumpSpecial::Polyphony || f.special == DumpSpecial::ChorusTypeBits ||
          f.special == DumpSpecial::ConstantOnWrite || f.special == DumpSpecial::SustainCode ||
          f.special == DumpSpecial::RxProgramChange)
        continue;
      for (int v = d.lo; v <= d.hi; ++v)
      {
        const int byte = f.bias + EncodeField(f, v);
        ASSERT_LT(byte, 0x80) << "byte " << f.at << " value " << v;
        const int bits2 = DecodeFieldBits(f, uint8_t(byte));
        EXPECT_EQ(f.special == DumpSpecial::Inverted ? 1 - bits2 : bits2 - f.add, v) << "byte " << f.at;
        // A value a hair or less than half a step off a whole number is written as that number.
        EXPECT_EQ(EncodeField(f, std::nextafter(double(v), -1e9)), EncodeField(f, v)) << "byte " << f.at;
        EXPECT_EQ(EncodeField(f, v - 1e-6), EncodeField(f, v)) << "byte " << f.at;
        EXPECT_EQ(EncodeField(f, v - 0.4), EncodeField(f, v)) << "byte " << f.at;
      }
    }
  }
}
