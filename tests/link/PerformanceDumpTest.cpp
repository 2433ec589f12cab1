#include "link/dumps/PerformanceDump.h"
#include "tests/support/DumpTestPlug.h"

#include <gtest/gtest.h>

#include <string>

using Bytes = std::vector<uint8_t>;

namespace
{
const DumpContext kContext{};
constexpr uint8_t kSustainCodes[] = {77, 78, 79, 126, 80, 81, 82, 127, 4, 5, 6, 7, 8, 83};

std::vector<DumpTable> PerformanceTables()
{
  return {{PerformanceCommonFields(), false},
          {PerformancePartFields(), true},
          {PerformanceVocoderFields(), false},
          {PerformancePartsFields(), true}};
}

Bytes Header(size_t size, uint8_t type)
{
  Bytes m(size, 0);
  const Bytes header{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, type};
  std::copy(header.begin(), header.end(), m.begin());
  m.back() = 0xF7;
  return m;
}

// Random bytes each message may hold, written from the byte maps.
struct RandomPerformance
{
  Bytes common, vocoder, parts;
};

RandomPerformance RandomMessages(std::mt19937& random)
{
  auto any = [&](int lo, int hi) { return uint8_t(std::uniform_int_distribution<int>(lo, hi)(random)); };
  RandomPerformance r{Header(381, 0x05), Header(25, 0x1B), Header(473, 0x20)};
  for (int i = 8; i < 24; ++i)
    r.common[size_t(i)] = any(0x20, 0x7E);
  for (int i = 24; i < 380; ++i)
    r.common[size_t(i)] = any(0, 127);
  for (int p = 0; p < 8; ++p)
  {
    const size_t b = 28 + 44 * size_t(p);
    r.common[b + 4] = kSustainCodes[any(0, 13)];
    r.common[b + 33] = uint8_t(32 + (any(0, 2) << 5) + (any(0, 1) << 4) + (any(0, 1) << 2) + any(0, 3));
  }
  for (int i = 8; i < 16; ++i)
    r.vocoder[size_t(i)] = any(0, 127);
  for (int p = 0; p < 8; ++p)
  {
    const size_t b = 8 + 40 * size_t(p);
    for (int k : {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18, 34, 35, 36, 37})
      r.parts[b + size_t(k)] = any(0, 127);
    const bool chorusThree = (r.common[28 + 44 * size_t(p) + 33] & 3) == 3;
    r.parts[b + 1] = chorusThree ? any(1, 2) : any(0, 2);
    r.parts[b + 33] = uint8_t(any(0, 1) << 6 | any(0, 15)); // bits 5-4 are not read
  }
  return r;
}

DumpResult Parse(DumpTestPlug& plug, const Bytes& m, const DumpContext& context = kContext)
{
  switch (m.size() > 7 ? m[7] : 0)
  {
  case 0x05:
    return ParsePerformanceCommon(plug, m.data(), m.size(), context);
  case 0x1B:
    return ParsePerformanceType1B(plug, m.data(), m.size(), context);
  default:
    return ParsePerformanceParts(plug, m.data(), m.size(), context);
  }
}
} // namespace

TEST(PerformanceDump, ParametersSurviveBuildAndParse)
{
  DumpTestPlug plug;
  std::mt19937 random(17);
  const auto tables = PerformanceTables();
  for (int round = 0; round < 20; ++round)
  {
    plug.Randomise(random, tables);
    plug.ParameterAt(kMultiName)->AddValueText(0, "Round Perf");
    std::vector<std::pair<int, double>> before;
    for (const DumpTable& table : tables)
      ForEachDrivenParameter(table, [&](int index, const DumpField&)
                             { before.emplace_back(index, plug.Value(index)); });
    const Bytes common = BuildPerformanceCommon(plug, {0, 15});
    const Bytes vocoder = BuildPerformanceType1B(plug, {0, 15});
    const Bytes parts = BuildPerformanceParts(plug, {0, 15});
    plug.Randomise(random, tables);
    plug.ParameterAt(kMultiName)->AddValueText(0, "");

    for (const Bytes* m : {&common, &vocoder, &parts})
      ASSERT_TRUE(Parse(plug, *m).Taken());
    for (const auto& [index, value] : before)
      ASSERT_EQ(plug.Value(index), value) << "parameter " << index << " round " << round;
    EXPECT_EQ(std::string(plug.ParameterAt(kMultiName)->ValueText(0)), "Round Perf      ");
  }
}

TEST(PerformanceDump, ValidMessagesSurviveParseAndBuild)
{
  DumpTestPlug plug;
  std::mt19937 random(23);
  for (int round = 0; round < 30; ++round)
  {
    const RandomPerformance m = RandomMessages(random);
    ASSERT_TRUE(Parse(plug, m.common).Taken());
    Bytes built = BuildPerformanceCommon(plug, {0, 15});
    ASSERT_EQ(built, m.common) << ByteDifferences(built, m.common);
    ASSERT_TRUE(Parse(plug, m.vocoder).Taken());
    built = BuildPerformanceType1B(plug, {0, 15});
    ASSERT_EQ(built, m.vocoder) << ByteDifferences(built, m.vocoder);
    ASSERT_TRUE(Parse(plug, m.parts).Taken());
    built = BuildPerformanceParts(plug, {0, 15});
    ASSERT_EQ(built, m.parts) << ByteDifferences(built, m.parts);
  }
}

// The synthesizer's settings the editor does not show (vocoder bytes 16 - 23, the unread fields of
// the parts message, its bits 5-4 of field 33 and bytes 328 - 471) go back as they came when the
// received message is given; a setting changed in the editor still goes out changed.
TEST(PerformanceDump, BytesNoRowWritesComeBackFromTheReceivedMessage)
{
  DumpTestPlug plug;
  std::mt19937 random(29);
  auto any = [&](int lo, int hi) { return uint8_t(std::uniform_int_distribution<int>(lo, hi)(random)); };
  for (int round = 0; round < 20; ++round)
  {
    RandomPerformance m = RandomMessages(random);
    for (size_t i = 16; i < 24; ++i)
      m.vocoder[i] = any(1, 127);
    for (int p = 0; p < 8; ++p)
    {
      const size_t b = 8 + 40 * size_t(p);
      for (int k : {15, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 38, 39})
        m.parts[b + size_t(k)] = any(1, 127);
      m.parts[b + 33] |= 0x30;
    }
    for (size_t i = 328; i < 472; ++i)
      m.parts[i] = any(1, 127);
    // Each built right after it is read (the parts message's chorus bytes may change the common
    // message's chorus types).
    ASSERT_TRUE(Parse(plug, m.common).Taken());
    Bytes built = BuildPerformanceCommon(plug, {0, 15}, &m.common);
    EXPECT_EQ(built, m.common) << ByteDifferences(built, m.common);
    ASSERT_TRUE(Parse(plug, m.vocoder).Taken());
    built = BuildPerformanceType1B(plug, {0, 15}, &m.vocoder);
    EXPECT_EQ(built, m.vocoder) << ByteDifferences(built, m.vocoder);
    ASSERT_TRUE(Parse(plug, m.parts).Taken());
    built = BuildPerformanceParts(plug, {0, 15}, &m.parts);
    EXPECT_EQ(built, m.parts) << ByteDifferences(built, m.parts);

    // Nothing received: the bytes no row writes are the template's (0).
    EXPECT_EQ(BuildPerformanceParts(plug, {0, 15})[400], 0);
    EXPECT_EQ(BuildPerformanceType1B(plug, {0, 15})[20], 0);

    // An edited setting goes out as edited, its neighbours as received.
    plug.Set(kMultiPartSwitch2 + 3, plug.Value(kMultiPartSwitch2 + 3) == 0 ? 1 : 0);
    built = BuildPerformanceParts(plug, {0, 15}, &m.parts);
    const size_t at = 8 + 40 * 3 + 33;
    EXPECT_EQ(built[at], m.parts[at] ^ 0x02);
    built[at] = m.parts[at];
    EXPECT_EQ(built, m.parts) << ByteDifferences(built, m.parts);

    // A received message of another type or length gives nothing.
    EXPECT_EQ(BuildPerformanceParts(plug, {0, 15}, &m.common)[400], 0);
    Bytes shorter(m.vocoder.begin(), m.vocoder.end() - 1);
    EXPECT_EQ(BuildPerformanceType1B(plug, {0, 15}, &shorter)[20], 0);
  }
}

TEST(PerformanceDump, FrameAndDataBytesBelow0x80AtAnyValue)
{
  DumpTestPlug plug;
  for (double extreme : {-1e9, 1e9, std::nan(""), 200.0, -3.0})
  {
    for (const DumpTable& table : PerformanceTables())
      ForEachDrivenParameter(table,
                             [&](int index, const DumpField&) {
                               plug.ParameterAt(index)->SetupContinuous("", extreme, -1e12, 1e12, 1.0, "");
                             });
    for (int model : {0, 1, 2})
    {
      const uint8_t modelByte = model == 0 ? 0x24 : (model == 1 ? 0x22 : 0x23);
      const std::pair<Bytes, uint8_t> messages[] = {{BuildPerformanceCommon(plug, {model, 3}), 0x05},
                                                    {BuildPerformanceType1B(plug, {model, 3}), 0x1B},
                                                    {BuildPerformanceParts(plug, {model, 3}), 0x20}};
      for (const auto& [m, type] : messages)
      {
        ASSERT_EQ(m.size(), type == 0x05 ? 381u : (type == 0x1B ? 25u : 473u));
        EXPECT_EQ(Bytes(m.begin(), m.begin() + 8), (Bytes{0xF0, 0, 0x20, 0x29, 1, modelByte, 3, type}));
        EXPECT_EQ(m.back(), 0xF7);
        for (size_t i = 1; i + 1 < m.size(); ++i)
          ASSERT_LT(m[i], 0x80) << "type " << int(type) << " byte " << i << " value " << extreme;
      }
    }
  }
}

// Written from the byte maps: every parameter 0 except those set below.
TEST(PerformanceDump, GoldenMessages)
{
  DumpTestPlug plug;
  plug.ParameterAt(kMultiName)->AddValueText(0, "Golden Perf");
  plug.Set(kMultiPartStatus + 0, 1);
  plug.Set(kMultiPartStatus + 7, 1);
  plug.Set(kMultiLargeCase24Param1, 2);
  plug.Set(kGlobalTempo, 120);
  plug.Set(kQuickTab, 3);
  plug.Set(kMultiPartSustain + 2, 3);
  plug.Set(kMultiPartTranspose + 2, 12);
  plug.Set(kMultiArpSwitch + 2, 1);
  plug.Set(kMultiPartPolyphony + 2, 2);
  plug.Set(kFXMultiChorusType + 2, 4);
  plug.Set(kFXMultiPassToFXConfig + 2, 1);
  plug.Set(kFXMultiReverbRoom + 2, 15);
  plug.Set(kFXMultiReverbEarlyRef + 2, 7);
  plug.Set(kMultiArpSource + 2, 1);
  plug.Set(kMultiPartSwitch1 + 2, 1);
  plug.Set(kFXMultiBypass + 2, 1);
  plug.Set(kMultiVocoderBalance, 100);
  plug.Set(kMultiSmallCase08, 7);

  Bytes common = Header(381, 0x05);
  std::copy_n("Golden Perf     ", 16, common.begin() + 8);
  common[24] = 2;
  common[25] = 120;
  common[26] = 3;
  common[27] = 0x7E;
  for (size_t p = 0; p < 8; ++p)
  {
    const size_t b = 28 + 44 * p;
    const std::pair<size_t, uint8_t> zero[] = {{1, 5},   {3, 98},  {4, 77},  {5, 40}, {7, 80},
                                               {10, 16}, {22, 55}, {33, 32}, {39, 96}};
    for (const auto& [k, v] : zero)
      common[b + k] = v;
  }
  common[116 + 4] = 126;
  common[116 + 5] = 52;
  common[116 + 10] = 2;
  common[116 + 27] = 127;
  common[116 + 33] = 67;
  Bytes built = BuildPerformanceCommon(plug, {0, 15});
  EXPECT_EQ(built, common) << ByteDifferences(built, common);

  Bytes vocoder = Header(25, 0x1B);
  const std::pair<size_t, uint8_t> vocoderBytes[] = {{8, 7},    {9, 18},   {10, 28},
                                                     {11, 111}, {12, 100}, {14, 96}};
  for (const auto& [at, v] : vocoderBytes)
    vocoder[at] = v;
  built = BuildPerformanceType1B(plug, {0, 15});
  EXPECT_EQ(built, vocoder) << ByteDifferences(built, vocoder);

  Bytes parts = Header(473, 0x20);
  for (size_t p = 0; p < 8; ++p)
  {
    parts[8 + 40 * p + 33] = 64;
    parts[8 + 40 * p + 34] = 76;
  }
  parts[88] = 1;
  parts[89] = 2;
  parts[88 + 33] = 1;
  built = BuildPerformanceParts(plug, {0, 15});
  EXPECT_EQ(built, parts) << ByteDifferences(built, parts);
}

TEST(PerformanceDump, PartSwitchesLocksAndPartChannels)
{
  DumpTestPlug plug;
  std::mt19937 random(31);
  RandomPerformance m = RandomMessages(random);

  // Byte 27 = 0 and bit 6 of byte 24 = 0: all eight parts on.
  m.common[27] = 0;
  m.common[24] &= 0x3F;
  ASSERT_TRUE(Parse(plug, m.common).Taken());
  for (int p = 0; p < 8; ++p)
    EXPECT_EQ(plug.Value(kMultiPartStatus + p), 1) << p;
  m.common[27] = 0x7F;
  m.common[24] |= 0x40;
  ASSERT_TRUE(Parse(plug, m.common).Taken());
  for (int p = 0; p < 8; ++p)
    EXPECT_EQ(plug.Value(kMultiPartStatus + p), 0) << p;

  // The outputs lock keeps every part output and takes everything else.
  plug.Randomise(random, PerformanceTables());
  std::vector<double> outputs;
  for (int p = 0; p < 8; ++p)
    outputs.push_back(plug.Value(kMultiPartOutput + p));
  plug.Set(kSectionLockMultiOutputs, 1);
  DumpResult r = Parse(plug, m.common);
  ASSERT_TRUE(r.Taken());
  EXPECT_TRUE(r.outputsLocked);
  for (int p = 0; p < 8; ++p)
  {
    EXPECT_EQ(plug.Value(kMultiPartOutput + p), outputs[size_t(p)]);
    EXPECT_EQ(plug.Value(kMultiPartLevel + p), m.common[28 + 44 * size_t(p) + 11]);
  }
  plug.Set(kSectionLockMultiOutputs, 0);
  EXPECT_FALSE(Parse(plug, m.common).outputsLocked);
  EXPECT_EQ(plug.Value(kMultiPartOutput + 5), m.common[28 + 44 * 5 + 3] - 98);

  // The vocoder lock leaves only the two unguarded bytes to change.
  plug.Randomise(random, PerformanceTables());
  const Bytes vocoderBefore = BuildPerformanceType1B(plug, {0, 15});
  plug.Set(kSectionLockVocoder, 1);
  ASSERT_TRUE(Parse(plug, m.vocoder).Taken());
  plug.Set(kSectionLockVocoder, 0);
  const Bytes vocoderAfter = BuildPerformanceType1B(plug, {0, 15});
  for (size_t i = 8; i < 16; ++i)
    EXPECT_EQ(vocoderAfter[i], i == 8 || i == 13 ? m.vocoder[i] : vocoderBefore[i]) << i;

  // With the part-channels flag the parts keep channel = part number.
  DumpContext channels;
  channels.partChannels = true;
  ASSERT_TRUE(Parse(plug, m.common, channels).Taken());
  for (int p = 0; p < 8; ++p)
    EXPECT_EQ(plug.Value(kMultiPartMIDICh + p), p);

  // The bypass byte is the bypass alone: it never turns a part's chorus into type 3 or 4.
  plug.Set(kFXMultiChorusType + 1, 2);
  m.parts[8 + 40 + 0] = 1;
  m.parts[8 + 40 + 1] = 0;
  ASSERT_TRUE(Parse(plug, m.parts).Taken());
  EXPECT_EQ(plug.Value(kFXMultiBypass + 1), 1);
  EXPECT_EQ(plug.Value(kFXMultiChorusType + 1), 2);
  EXPECT_EQ(plug.Value(kFXMultiChorusType2 + 1), 0);
  m.parts[8 + 40 + 1] = 1;
  ASSERT_TRUE(Parse(plug, m.parts).Taken());
  EXPECT_EQ(plug.Value(kFXMultiChorusType + 1), 3);
}

TEST(PerformanceDump, OnlyExactLengthsAreTaken)
{
  DumpTestPlug plug;
  std::mt19937 random(41);
  plug.Randomise(random, PerformanceTables());
  const RandomPerformance m = RandomMessages(random);
  const Bytes before[] = {BuildPerformanceCommon(plug, {0, 15}), BuildPerformanceType1B(plug, {0, 15}),
                          BuildPerformanceParts(plug, {0, 15})};
  auto unchanged = [&]
  {
    return BuildPerformanceCommon(plug, {0, 15}) == before[0] &&
           BuildPerformanceType1B(plug, {0, 15}) == before[1] &&
           BuildPerformanceParts(plug, {0, 15}) == before[2];
  };
  for (const Bytes* message : {&m.common, &m.vocoder, &m.parts})
  {
    for (size_t n = 0; n < message->size(); ++n)
    {
      const Bytes cut(message->begin(), message->begin() + long(n));
      const DumpResult r = Parse(plug, cut);
      ASSERT_FALSE(r.Taken()) << n;
      EXPECT_EQ(r.status == DumpStatus::Refused, n > 8) << n;
    }
    Bytes longer = *message;
    longer.push_back(0xF7);
    const DumpResult r = Parse(plug, longer);
    EXPECT_EQ(r.status, DumpStatus::Refused);
    EXPECT_FALSE(r.statusText.empty());
    EXPECT_TRUE(unchanged());
  }
  // Other messages are not read at all.
  Bytes program(296, 0);
  program[2] = 0x20;
  EXPECT_EQ(ParsePerformanceCommon(plug, program.data(), program.size(), kContext).status,
            DumpStatus::NotThisType);
  EXPECT_TRUE(unchanged());
}

TEST(PerformanceDump, StatusTextsFollowTheSelectedPart)
{
  DumpTestPlug plug;
  std::mt19937 random(43);
  RandomPerformance m = RandomMessages(random);
  const std::vector<std::string> categories{"None", "Bass", "Lead"};
  plug.ParameterAt(kPatchName + 4)->AddValueText(0, "Deep Bass");
  plug.Set(kCategoryName + 4, 1);
  m.common[26] = 4;
  const DumpResult r = Parse(plug, m.common, DumpContext{0, false, &categories});
  EXPECT_EQ(r.selectedPart, 4);
  EXPECT_EQ(r.progressText, "Deep Bass");
  EXPECT_EQ(r.infoText, "Bass");
  EXPECT_EQ(r.name, std::string(m.common.begin() + 8, m.common.begin() + 24));
  EXPECT_EQ(std::string(plug.ParameterAt(kMultiName)->ValueText(0)), r.name);
}
