#include "link/dumps/GlobalDump.h"
#include "tests/support/DumpTestPlug.h"

#include <gtest/gtest.h>

using Bytes = std::vector<uint8_t>;

namespace
{
const DumpContext kContext{};

Bytes Header(size_t size, uint8_t type, uint8_t deviceId = 15)
{
  Bytes m(size, 0);
  const Bytes header{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, deviceId, type};
  std::copy(header.begin(), header.end(), m.begin());
  m.back() = 0xF7;
  return m;
}

std::vector<DumpTable> GlobalTables()
{
  return {{GlobalDumpAFields(), false}, {GlobalDumpBFields(), false}};
}

// Random messages as the synthesizer may send them: any byte, except byte 9 (a breath-sensing
// step and local control 0 or 4) and the receive-program-change bits, which the editor writes as
// bit 1 only.
std::pair<Bytes, Bytes> RandomMessages(std::mt19937& random)
{
  auto any = [&](int lo, int hi) { return uint8_t(std::uniform_int_distribution<int>(lo, hi)(random)); };
  Bytes a = Header(281, 0x0F, any(0, 127)), b = Header(297, 0x15, a[6]);
  for (size_t i = 8; i + 1 < a.size(); ++i)
    a[i] = any(0, 127);
  for (size_t i = 8; i + 1 < b.size(); ++i)
    b[i] = any(0, 127);
  b[9] = uint8_t(8 * any(0, 10) + 4 * any(0, 1));
  b[22] = uint8_t((b[22] & 0x7C) | (any(0, 1) << 1));
  return {a, b};
}
} // namespace

TEST(GlobalDump, ParametersSurviveBuildAndParse)
{
  DumpTestPlug plug;
  std::mt19937 random(51);
  for (int round = 0; round < 50; ++round)
  {
    plug.Randomise(random, GlobalTables());
    std::vector<std::pair<int, double>> before;
    for (const DumpTable& table : GlobalTables())
      ForEachDrivenParameter(table, [&](int index, const DumpField&)
                             { before.emplace_back(index, plug.Value(index)); });
    const Bytes a = BuildGlobalDumpA(plug, {0, 15});
    const Bytes b = BuildGlobalDumpB(plug, {0, 15});
    plug.Randomise(random, GlobalTables());
    ASSERT_TRUE(ParseGlobalDumpA(plug, a.data(), a.size(), kContext).Taken());
    ASSERT_TRUE(ParseGlobalDumpB(plug, b.data(), b.size(), kContext).Taken());
    for (const auto& [index, value] : before)
      ASSERT_EQ(plug.Value(index), value) << "parameter " << index << " round " << round;
  }
}

TEST(GlobalDump, ReceivedMessagesGoBackAsTheyCame)
{
  DumpTestPlug plug;
  std::mt19937 random(53);
  for (int round = 0; round < 50; ++round)
  {
    const auto [a, b] = RandomMessages(random);
    ASSERT_TRUE(ParseGlobalDumpA(plug, a.data(), a.size(), kContext).Taken());
    ASSERT_TRUE(ParseGlobalDumpB(plug, b.data(), b.size(), kContext).Taken());
    // The settings the editor does not show come from the received messages.
    Bytes built = BuildGlobalDumpA(plug, {0, a[6]}, &a);
    ASSERT_EQ(built, a) << ByteDifferences(built, a);
    built = BuildGlobalDumpB(plug, {0, b[6]}, &b);
    ASSERT_EQ(built, b) << ByteDifferences(built, b);
  }
}

// Written from the byte maps: every parameter 0 except those set below.
TEST(GlobalDump, GoldenMessages)
{
  DumpTestPlug plug;
  plug.Set(kGlobalMidiChannel, 3);
  plug.Set(kGlobalMasterTune, 64);
  plug.Set(kGlobalMIDIClock, 2);
  plug.Set(kGlobalMasterVolume, 110);
  plug.Set(kGlobalBreathSensing, 4);
  plug.Set(kGlobalLocalControl, 1);
  plug.Set(kGlobalBreathMode, 5);
  plug.Set(kGlobalRXPC, 1);
  plug.Set(kGlobalKnobMode, 1);
  plug.Set(kGlobalTXAT, 1);
  plug.Set(kGlobalFinderDemos, 1);
  plug.Set(kGlobalAudioIn2Trim, 10);

  Bytes a = Header(281, 0x0F, 3);
  a[10] = 64;
  a[14] = 107;
  a[15] = 110;
  Bytes built = BuildGlobalDumpA(plug, {0, 3});
  EXPECT_EQ(built, a) << ByteDifferences(built, a);

  Bytes b = Header(297, 0x15, 3);
  b[9] = 80;    // breath sensing 4, local control on
  b[10] = 0x50; // breath mode 5 in bits 6-4
  b[20] = 11;
  b[22] = 0x10 | 0x08 | 0x02; // knob mode, velocity sensitivity 0 (inverted), receive program changes
  b[24] = 0x09;
  b[34] = 56;
  b[35] = 66;
  built = BuildGlobalDumpB(plug, {0, 3});
  EXPECT_EQ(built, b) << ByteDifferences(built, b);
}

TEST(GlobalDump, BreathSensingAndLocalControlShareByte9)
{
  DumpTestPlug plug;
  Bytes b = Header(297, 0x15);
  auto read = [&](uint8_t byte)
  {
    b[9] = byte;
    const DumpResult r = ParseGlobalDumpB(plug, b.data(), b.size(), kContext);
    EXPECT_TRUE(r.Taken());
    return std::tuple<double, double, int>(plug.Value(kGlobalBreathSensing), plug.Value(kGlobalLocalControl),
                                           r.localControlOn);
  };
  // Remainder 0 is local control on (1, "On"), 4 off (0, "Off"); the owner's byte says on for 1
  // only, as the change handler reads the switch.
  EXPECT_EQ(read(0x54), std::make_tuple(4.0, 0.0, 0));
  EXPECT_EQ(read(5), std::make_tuple(5.0, 1.0, 1)); // remainder 5, held to the range 0 - 1
  EXPECT_EQ(read(40), std::make_tuple(10.0, 1.0, 1));
  EXPECT_EQ(read(0), std::make_tuple(5.0, 1.0, 1));
  EXPECT_EQ(read(127), std::make_tuple(4.0, 1.0, 1)); // 80 + 47
  EXPECT_TRUE(LocalControlIsOn(1));
  EXPECT_FALSE(LocalControlIsOn(0));
  EXPECT_FALSE(LocalControlIsOn(5));

  plug.Set(kGlobalBreathSensing, 4);
  plug.Set(kGlobalLocalControl, 0);
  EXPECT_EQ(BuildGlobalDumpB(plug, {0, 15})[9], 84);
  const int expected[] = {48, 56, 64, 72, 80, 0, 8, 16, 24, 32, 40};
  for (int a = 0; a <= 10; ++a)
  {
    plug.Set(kGlobalBreathSensing, a);
    plug.Set(kGlobalLocalControl, 1);
    EXPECT_EQ(BuildGlobalDumpB(plug, {0, 15})[9], expected[a]) << a;
  }
}

TEST(GlobalDump, DeviceIdAndWhatIsNotAGlobalDump)
{
  DumpTestPlug plug;
  Bytes a = Header(281, 0x0F, 3);
  const DumpResult r = ParseGlobalDumpA(plug, a.data(), a.size(), kContext);
  ASSERT_TRUE(r.Taken());
  EXPECT_EQ(r.deviceId, 3);
  EXPECT_EQ(plug.Value(kGlobalMidiChannel), 3);
  EXPECT_EQ(BuildGlobalDumpA(plug, {0, 3})[6], 3);

  plug.Set(kGlobalMasterTune, 17);
  // A program in memory form has the length of the second message: its type byte tells.
  Bytes program = Header(297, 0x02);
  program[10] = 99;
  EXPECT_EQ(ParseGlobalDumpB(plug, program.data(), program.size(), kContext).status, DumpStatus::NotThisType);
  EXPECT_EQ(ParseGlobalDumpA(plug, program.data(), program.size(), kContext).status, DumpStatus::NotThisType);
  Bytes otherMaker = a;
  otherMaker[3] = 0x28;
  EXPECT_EQ(ParseGlobalDumpA(plug, otherMaker.data(), otherMaker.size(), kContext).status,
            DumpStatus::NotThisType);

  for (size_t n = 0; n < 300; ++n)
  {
    if (n == 281) continue;
    Bytes cut = Header(281, 0x0F, 9);
    cut[10] = 99;
    cut.resize(n, 0xF7);
    const DumpResult refused = ParseGlobalDumpA(plug, cut.data(), cut.size(), kContext);
    EXPECT_FALSE(refused.Taken()) << n;
    EXPECT_EQ(refused.status == DumpStatus::Refused, n > 8) << n;
    Bytes cutB = Header(297, 0x15, 9);
    cutB.resize(n, 0);
    if (n != 297)
    {
      EXPECT_FALSE(ParseGlobalDumpB(plug, cutB.data(), cutB.size(), kContext).Taken()) << n;
    }
  }
  EXPECT_EQ(plug.Value(kGlobalMasterTune), 17);
  EXPECT_EQ(plug.Value(kGlobalMidiChannel), 3);

  // A received message of the wrong type or length gives no bytes to a build.
  Bytes wrong = Header(280, 0x0F);
  std::fill(wrong.begin() + 8, wrong.end() - 1, 0x55);
  EXPECT_EQ(BuildGlobalDumpA(plug, {0, 3}, &wrong)[100], 0);
}
