// Two independent readings of the dump formats checked against each other: the simulated
// synthesizer's generated dumps read by the plug-in's parsers and written back by its builders.
// Every byte that carries a parameter must come back as it went in, and so must the bytes that carry
// none (the simulator fills them, as a used synthesizer would): a rebuilt performance or global
// message keeps them from the message received. Where the formats state that a byte is rebuilt
// otherwise, the exception is named here.
#include "link/dumps/DumpForms.h"
#include "tests/config/ConfigTestSupport.h"
#include "tests/support/DumpTestPlug.h"
#include "tools/simsynth/SimSynth.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace
{
using Parse = std::function<DumpResult(IEffectBase&, const uint8_t*, size_t, const DumpContext&)>;
using Build = std::function<SimBytes(IEffectBase&, const SimBytes&)>;

// Offsets where the rebuilt message differs from the simulator's, over every message given.
std::set<size_t> Disagreements(const std::vector<SimBytes>& messages, const Parse& parse, const Build& build)
{
  std::set<size_t> offsets;
  for (const SimBytes& m : messages)
  {
    DumpTestPlug plug;
    const DumpResult result = parse(plug, m.data(), m.size(), DumpContext{});
    EXPECT_TRUE(result.Taken()) << result.statusText;
    const SimBytes back = build(plug, m);
    EXPECT_EQ(back.size(), m.size());
    for (size_t i = 0; i < std::min(back.size(), m.size()); ++i)
      if (back[i] != m[i]) offsets.insert(i);
  }
  return offsets;
}

std::string Describe(const std::set<size_t>& offsets)
{
  std::string text;
  for (size_t o : offsets)
    text += std::to_string(o) + " ";
  return text;
}

struct Samples
{
  std::vector<SimBytes> program, programB, perf, perfB, perfParts, globalA, globalB;
};

Samples Collect()
{
  Samples s;
  for (uint32_t seed : {1u, 2u, 3u})
  {
    SimSynth synth(15, seed);
    for (int p = 0; p < 8; ++p)
    {
      const auto program = synth.PartProgram(p);
      s.program.push_back(program[0]);
      s.programB.push_back(program[1]);
    }
    const auto perf = synth.PerformanceEdit();
    s.perf.push_back(perf[0]);
    s.perfB.push_back(perf[1]);
    s.perfParts.push_back(perf[2]);
    const auto globals = synth.Globals();
    s.globalA.push_back(globals[0]);
    s.globalB.push_back(globals[1]);
  }
  return s;
}

const SysExAddress kAddress{0, 15};
} // namespace

TEST(SimSynthCrossCheck, ProgramsReadAndWrittenBackByThePlugin)
{
  const Samples s = Collect();
  const auto main = Disagreements(s.program, ParseProgramDump,
                                  [](IEffectBase& plug, const SimBytes& m)
                                  { return BuildProgramDump(plug, m[8], kAddress); });
  EXPECT_TRUE(main.empty()) << "main program message differs at " << Describe(main);
  const auto second = Disagreements(s.programB, ParseProgramDumpB,
                                    [](IEffectBase& plug, const SimBytes& m)
                                    { return BuildProgramDumpB(plug, m[8], kAddress); });
  EXPECT_TRUE(second.empty()) << "second program message differs at " << Describe(second);
}

TEST(SimSynthCrossCheck, PerformancesReadAndWrittenBackByThePlugin)
{
  const Samples s = Collect();
  const auto common = Disagreements(s.perf, ParsePerformanceCommon,
                                    [](IEffectBase& plug, const SimBytes& m)
                                    { return BuildPerformanceCommon(plug, kAddress, &m); });
  EXPECT_TRUE(common.empty()) << "performance common differs at " << Describe(common);
  const auto vocoder = Disagreements(s.perfB, ParsePerformanceType1B,
                                     [](IEffectBase& plug, const SimBytes& m)
                                     { return BuildPerformanceType1B(plug, kAddress, &m); });
  EXPECT_TRUE(vocoder.empty()) << "performance vocoder differs at " << Describe(vocoder);
  const auto parts = Disagreements(s.perfParts, ParsePerformanceParts,
                                   [](IEffectBase& plug, const SimBytes& m)
                                   { return BuildPerformanceParts(plug, kAddress, &m); });
  EXPECT_TRUE(parts.empty()) << "performance parts differs at " << Describe(parts);
}

TEST(SimSynthCrossCheck, GlobalSettingsReadAndWrittenBackByThePlugin)
{
  const Samples s = Collect();
  const auto a = Disagreements(s.globalA, ParseGlobalDumpA,
                               [](IEffectBase& plug, const SimBytes& m)
                               { return BuildGlobalDumpA(plug, kAddress, &m); });
  EXPECT_TRUE(a.empty()) << "first global message differs at " << Describe(a);
  const auto b = Disagreements(s.globalB, ParseGlobalDumpB,
                               [](IEffectBase& plug, const SimBytes& m)
                               { return BuildGlobalDumpB(plug, kAddress, &m); });
  // Byte 22 reads its program-change switch from two bits (01, 10 and 11 all mean on), so the
  // builder's one form of it need not be the synthesizer's; its reading is checked below.
  EXPECT_EQ(b, std::set<size_t>({22})) << "second global message differs at " << Describe(b);
}

// Single fields read by the simulator's own reading of the format and by the plug-in's parsers.
TEST(SimSynthCrossCheck, FieldsReadAlike)
{
  const Samples s = Collect();
  for (const SimBytes& m : s.program)
  {
    DumpTestPlug plug;
    ASSERT_TRUE(ParseProgramDump(plug, m.data(), m.size(), {}).Taken());
    const int p = m[8];
    EXPECT_EQ(plug.Value(kOscillator1Octave + p), m[32] - 30);
    EXPECT_EQ(plug.Value(kOscillator2Waveform + p), m[65] - 10);
    EXPECT_EQ(plug.Value(kLFO1DelayTrigger + p), m[178] - 124);
    EXPECT_EQ(plug.Value(kFilterType + p), m[216] - 3);
    EXPECT_EQ(plug.Value(kEnvelopeTriggering + p), m[244] - 34);
    EXPECT_EQ(plug.Value(kArpBank + p), m[249] - 76);
    EXPECT_EQ(plug.Value(kFXDelayRatio + p), m[290] - 96);
    EXPECT_EQ(plug.Value(kVocoderBalance), m[25]) << "held once, whatever the part";
    EXPECT_EQ(plug.Value(kProgramPolyphony + p), (m[247] & 1) ? 0 : 1);
    EXPECT_EQ(plug.Value(kArpFillIn + p), (m[253] - 122) % 2);
    EXPECT_EQ(plug.Value(kArpNoteOrdering + p), (m[253] - 122) / 2);
    EXPECT_EQ(plug.Value(kArpOctaveRange + p), (m[255] & 7) - 1);
    EXPECT_EQ(plug.Value(kFXPassToFXConfig + p), (m[284] - 32) >> 5);
  }
  for (const SimBytes& m : s.programB)
  {
    DumpTestPlug plug;
    ASSERT_TRUE(ParseProgramDumpB(plug, m.data(), m.size(), {}).Taken());
    const int p = m[8];
    EXPECT_EQ(plug.Value(kKeyboardTranspose + p), m[18] - 61);
    EXPECT_EQ(plug.Value(kArpGate + p), m[41] - 1);
    EXPECT_EQ(plug.Value(kFXChorusType2 + p), m[66]);
    EXPECT_EQ(plug.Value(kFilterWidth + p), m[16] >> 3);
  }
  static const std::map<uint8_t, int> sustain{{77, 0}, {78, 1}, {79, 2},  {126, 3}, {80, 4},
                                              {81, 5}, {82, 6}, {127, 7}, {4, 8},   {5, 9},
                                              {6, 10}, {7, 11}, {8, 12},  {83, 13}};
  for (const SimBytes& m : s.perf)
  {
    DumpTestPlug plug;
    ASSERT_TRUE(ParsePerformanceCommon(plug, m.data(), m.size(), {}).Taken());
    for (int p = 0; p < 8; ++p)
    {
      const size_t at = 28 + 44 * size_t(p);
      EXPECT_EQ(plug.Value(kMultiPartBank + p), m[at + 1] - 5);
      EXPECT_EQ(plug.Value(kMultiPartOutput + p), m[at + 3] - 98);
      EXPECT_EQ(plug.Value(kMultiPartSustain + p), sustain.at(m[at + 4]));
      EXPECT_EQ(plug.Value(kMultiPartVeloCurve + p), m[at + 7] - 80);
      EXPECT_EQ(plug.Value(kFXMultiDelayRatio + p), m[at + 39] - 96);
      const bool on = p == 7 ? !(m[24] & 0x40) : !(m[27] & (1 << p));
      EXPECT_EQ(plug.Value(kMultiPartStatus + p), on ? 1 : 0) << "part " << p;
    }
  }
  for (const SimBytes& m : s.perfB)
  {
    DumpTestPlug plug;
    ASSERT_TRUE(ParsePerformanceType1B(plug, m.data(), m.size(), {}).Taken());
    EXPECT_EQ(plug.Value(kMultiVocoderWidth), m[11] - 111);
    EXPECT_EQ(plug.Value(kMultiVocoderSibilanceLevel), m[14] - 96);
  }
  for (const SimBytes& m : s.perfParts)
  {
    DumpTestPlug plug;
    ASSERT_TRUE(ParsePerformanceParts(plug, m.data(), m.size(), {}).Taken());
    for (int p = 0; p < 8; ++p)
      EXPECT_EQ(plug.Value(kMultiArpBank + p), m[8 + 40 * size_t(p) + 34] - 76);
  }
  for (const SimBytes& m : s.globalA)
  {
    DumpTestPlug plug;
    ASSERT_TRUE(ParseGlobalDumpA(plug, m.data(), m.size(), {}).Taken());
    EXPECT_EQ(plug.Value(kGlobalMIDIClock), m[14] - 105);
    EXPECT_EQ(plug.Value(kGlobalMidiChannel), m[6]);
  }
  for (const SimBytes& m : s.globalB)
  {
    DumpTestPlug plug;
    ASSERT_TRUE(ParseGlobalDumpB(plug, m.data(), m.size(), {}).Taken());
    EXPECT_EQ(plug.Value(kGlobalPedalSw3), m[20] - 11);
    EXPECT_EQ(plug.Value(kGlobalAudioIn1Trim), m[34] - 56);
    EXPECT_EQ(plug.Value(kGlobalRXPC), (m[22] & 3) ? 1 : 0);
    EXPECT_EQ(plug.Value(kGlobalRXCC), (m[22] >> 2) & 1);
    EXPECT_EQ(plug.Value(kGlobalVelocitySensitivity), (m[22] & 8) ? 0 : 1);
    EXPECT_EQ(plug.Value(kGlobalKnobMode), (m[22] >> 4) & 1);
    // Breath sensing in steps of 8 (80 reads 4, ..., 8 reads 6, below 8 reads 5), local control in the rest.
    static const std::map<int, int> breath{{80, 4}, {72, 3}, {64, 2}, {56, 1}, {48, 0}, {40, 10},
                                           {32, 9}, {24, 8}, {16, 7}, {8, 6},  {0, 5}};
    const int step = m[9] / 8 * 8;
    EXPECT_EQ(plug.Value(kGlobalBreathSensing), breath.at(step)) << int(m[9]);
    const int rest = m[9] - step;
    EXPECT_EQ(plug.Value(kGlobalLocalControl), rest == 0 ? 1 : rest == 4 ? 0 : rest) << int(m[9]);
  }
}

// The edit and memory forms: the simulator's conversions and the plug-in's give the same bytes.
TEST(SimSynthCrossCheck, EditAndMemoryFormsConvertAlike)
{
  SimSynth synth(15, 4);
  for (int code = 1; code <= 12; ++code)
  {
    const DumpKind kind = code >= 5 ? DumpKind::Program : DumpKind::Performance;
    for (int slot : {0, 63, 127})
    {
      for (const SimBytes& memory : synth.SlotMessages(code, slot))
      {
        const int part = slot % 8;
        const SimBytes simEdit = SimSysEx::ToEdit(memory, uint8_t(part));
        std::vector<uint8_t> edit = memory;
        ASSERT_TRUE(ToEditForm(edit, kind, part));
        EXPECT_EQ(edit, simEdit) << "bank code " << code << " slot " << slot << " type " << int(memory[7]);
        std::vector<uint8_t> back = simEdit;
        ASSERT_TRUE(ToMemoryDump(back, kind, slot, code));
        EXPECT_EQ(back, memory) << "bank code " << code << " slot " << slot << " type " << int(memory[7]);
      }
    }
  }
}

// The simulator's data is what a synthesizer could hold: read by the editor, whose parameters have
// the ranges of its documents, every message is written back unchanged (a value out of a
// parameter's range would come back brought into it).
TEST(SimSynthCrossCheck, GeneratedValuesLieWithinTheEditorsRanges)
{
  ReaderFixture f(1.0, false);
  ASSERT_TRUE(f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0));
  std::map<std::string, std::set<size_t>> changed;
  struct Message
  {
    const char* what;
    const SimBytes& bytes;
    Parse parse;
    Build build;
  };
  // Read together, in the order they travel, then written back: a later message of a program or a
  // performance repeats some of the first's settings, and the two must agree.
  auto roundTrip = [&](std::initializer_list<Message> messages)
  {
    for (const Message& m : messages)
    {
      const DumpResult result = m.parse(f.plug, m.bytes.data(), m.bytes.size(), DumpContext{});
      ASSERT_TRUE(result.Taken()) << m.what << ": " << result.statusText;
    }
    for (const Message& m : messages)
    {
      const SimBytes back = m.build(f.plug, m.bytes);
      ASSERT_EQ(back.size(), m.bytes.size()) << m.what;
      for (size_t i = 0; i < back.size(); ++i)
        if (back[i] != m.bytes[i]) changed[m.what].insert(i);
    }
  };
  for (uint32_t seed = 1; seed <= 12; ++seed)
  {
    SimSynth synth(15, seed);
    for (int p = 0; p < 8; ++p)
    {
      const auto program = synth.PartProgram(p);
      roundTrip(
          {{"program", program[0], ParseProgramDump,
            [](IEffectBase& plug, const SimBytes& m) { return BuildProgramDump(plug, m[8], kAddress); }},
           {"second program message", program[1], ParseProgramDumpB,
            [](IEffectBase& plug, const SimBytes& m) { return BuildProgramDumpB(plug, m[8], kAddress); }}});
    }
    const auto perf = synth.PerformanceEdit();
    roundTrip(
        {{"performance common", perf[0], ParsePerformanceCommon,
          [](IEffectBase& plug, const SimBytes& m) { return BuildPerformanceCommon(plug, kAddress, &m); }},
         {"performance vocoder", perf[1], ParsePerformanceType1B,
          [](IEffectBase& plug, const SimBytes& m) { return BuildPerformanceType1B(plug, kAddress, &m); }},
         {"performance parts", perf[2], ParsePerformanceParts,
          [](IEffectBase& plug, const SimBytes& m) { return BuildPerformanceParts(plug, kAddress, &m); }}});
    const auto globals = synth.Globals();
    roundTrip({{"first global message", globals[0], ParseGlobalDumpA,
                [](IEffectBase& plug, const SimBytes& m) { return BuildGlobalDumpA(plug, kAddress, &m); }},
               {"second global message", globals[1], ParseGlobalDumpB,
                [](IEffectBase& plug, const SimBytes& m) { return BuildGlobalDumpB(plug, kAddress, &m); }}});
  }
  // Byte 22's program-change switch has three forms of "on" (see above).
  EXPECT_EQ(changed["second global message"], std::set<size_t>({22}));
  changed.erase("second global message");
  for (const auto& [what, offsets] : changed)
    EXPECT_TRUE(offsets.empty()) << what << " changed at " << Describe(offsets);
}
