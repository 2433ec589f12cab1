#include "link/dumps/DumpForms.h"
#include "link/dumps/ProgramDump.h"
#include "tests/support/DumpTestPlug.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using Bytes = std::vector<uint8_t>;

namespace
{
const DumpContext kContext{};

// Parameters a received program sets from another field than its own (or not at all).
bool IsDerived(int index, int part)
{
  for (int base : {kArpSpeed, kFilterWidth, kFXChorusType2, kEnvelope1Triggering, kEnvelope2Triggering,
                   kEnvelope3Triggering})
    if (index == base + part) return true;
  return false;
}

std::string Name(int part)
{
  return std::string(16, ' ').replace(0, 6, "Part " + std::to_string(part));
}

// Random bytes that a main message may hold, written from the byte map: any data byte, except
// the fixed bytes and the bytes whose bits or values the map restricts.
Bytes RandomMainMessage(std::mt19937& random, int part)
{
  auto any = [&](int lo, int hi) { return uint8_t(std::uniform_int_distribution<int>(lo, hi)(random)); };
  Bytes m(296, 0);
  const Bytes header{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x00, uint8_t(part)};
  std::copy(header.begin(), header.end(), m.begin());
  for (int i = 9; i < 25; ++i)
    m[size_t(i)] = any(0x20, 0x7E);
  for (int i = 25; i < 295; ++i)
    m[size_t(i)] = any(0, 127);
  m[29] = 0x30;
  m[78] = 0x7F;
  m[112] = 0x7F;
  m[246] = any(0, 15);                                                      // bits 6-4 are 0
  m[247] = uint8_t(0x40 | (any(0, 1) << 5) | (any(0, 1) << 2) | any(1, 2)); // polyphony 0 or 1
  m[248] = 0x38;
  m[253] = any(122, 127);
  m[284] = any(32, 127);
  m[295] = 0xF7;
  return m;
}

Bytes RandomSecondMessage(std::mt19937& random, int part, bool chorusBitsThree)
{
  auto any = [&](int lo, int hi) { return uint8_t(std::uniform_int_distribution<int>(lo, hi)(random)); };
  Bytes m(98, 0);
  const Bytes header{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x1E, uint8_t(part)};
  std::copy(header.begin(), header.end(), m.begin());
  for (int i = 9; i < 84; ++i)
    m[size_t(i)] = any(0, 127);
  for (int i : {42, 43, 44, 45, 80})
    m[size_t(i)] = 0;
  for (int i = 51; i <= 64; ++i)
    m[size_t(i)] = 0;
  m[50] = any(0, 3);
  m[65] = any(0, 3);
  // Chorus types 3 and 4 both travel as 3 in the main message; this byte tells them apart.
  m[66] = chorusBitsThree ? any(1, 2) : any(0, 2);
  m[97] = 0xF7;
  return m;
}

std::vector<DumpTable> ProgramTables()
{
  return {{ProgramDumpFields(), true}, {ProgramDumpBFields(), true}};
}
} // namespace

TEST(ProgramDump, ParametersSurviveBuildAndParseForEveryPart)
{
  DumpTestPlug plug;
  std::mt19937 random(11);
  const auto tables = ProgramTables();
  for (int round = 0; round < 6; ++round)
    for (int part = 0; part < kPartCount; ++part)
    {
      plug.Randomise(random, tables);
      plug.ParameterAt(kPatchName + part)->AddValueText(0, Name(part).c_str());
      std::vector<std::pair<int, double>> before;
      for (const DumpTable& table : tables)
        ForEachDrivenParameter(table,
                               [&](int index, const DumpField& field)
                               {
                                 if ((field.single || index - field.param == part) && !IsDerived(index, part))
                                   before.emplace_back(index, plug.Value(index));
                               });

      const Bytes main = BuildProgramDump(plug, part, {0, 15});
      const Bytes second = BuildProgramDumpB(plug, part, {0, 15});
      plug.Randomise(random, tables); // forget everything
      plug.ParameterAt(kPatchName + part)->AddValueText(0, "");

      ASSERT_TRUE(ParseProgramDump(plug, main.data(), main.size(), kContext).Taken());
      ASSERT_TRUE(ParseProgramDumpB(plug, second.data(), second.size(), kContext).Taken());
      for (const auto& [index, value] : before)
        ASSERT_EQ(plug.Value(index), value)
            << "parameter " << index << " part " << part << " round " << round;
      EXPECT_EQ(std::string(plug.ParameterAt(kPatchName + part)->ValueText(0)), Name(part));
      // The exceptions follow their own fields.
      EXPECT_EQ(plug.Value(kArpSpeed + part), 0x38);
      EXPECT_EQ(plug.Value(kFilterWidth + part),
                std::min(7, int(plug.Value(kFilterWidthSpecial + part)) >> 3));
    }
}

TEST(ProgramDump, ValidMessagesSurviveParseAndBuild)
{
  DumpTestPlug plug;
  std::mt19937 random(5);
  for (int round = 0; round < 40; ++round)
  {
    const int part = round % kPartCount;
    const Bytes main = RandomMainMessage(random, part);
    ASSERT_TRUE(ParseProgramDump(plug, main.data(), main.size(), kContext).Taken());
    const Bytes built = BuildProgramDump(plug, part, {0, 15});
    ASSERT_EQ(built, main) << "round " << round << ": " << ByteDifferences(built, main);

    const Bytes second = RandomSecondMessage(random, part, (main[284] & 3) == 3);
    ASSERT_TRUE(ParseProgramDumpB(plug, second.data(), second.size(), kContext).Taken());
    const Bytes built2 = BuildProgramDumpB(plug, part, {0, 15});
    ASSERT_EQ(built2, second) << "round " << round << ": " << ByteDifferences(built2, second);
  }
}

TEST(ProgramDump, FixedBytesFrameAndDataBytesBelow0x80AtAnyValue)
{
  DumpTestPlug plug;
  for (double extreme : {-1e9, 1e9, std::nan(""), 0.0, 255.0, -1.0})
  {
    // Values outside every range, written past the clamping of the parameters.
    for (const DumpTable& table : ProgramTables())
      ForEachDrivenParameter(table,
                             [&](int index, const DumpField&) {
                               plug.ParameterAt(index)->SetupContinuous("", extreme, -1e12, 1e12, 1.0, "");
                             });
    for (int model : {0, 1, 2})
      for (int part : {0, 7, 9, -1})
      {
        const Bytes main = BuildProgramDump(plug, part, {model, 15});
        const Bytes second = BuildProgramDumpB(plug, part, {model, 15});
        ASSERT_EQ(main.size(), 296u);
        ASSERT_EQ(second.size(), 98u);
        const uint8_t modelByte = model == 0 ? 0x24 : (model == 1 ? 0x22 : 0x23);
        const uint8_t partByte = uint8_t(std::clamp(part, 0, 7));
        EXPECT_EQ(Bytes(main.begin(), main.begin() + 9),
                  (Bytes{0xF0, 0, 0x20, 0x29, 1, modelByte, 15, 0x00, partByte}));
        EXPECT_EQ(Bytes(second.begin(), second.begin() + 9),
                  (Bytes{0xF0, 0, 0x20, 0x29, 1, modelByte, 15, 0x1E, partByte}));
        EXPECT_EQ(main.back(), 0xF7);
        EXPECT_EQ(second.back(), 0xF7);
        EXPECT_EQ(main[29], 0x30);
        EXPECT_EQ(main[78], 0x7F);
        EXPECT_EQ(main[112], 0x7F);
        EXPECT_EQ(main[248], 0x38);
        for (size_t i = 1; i + 1 < main.size(); ++i)
          ASSERT_LT(main[i], 0x80) << "byte " << i << " value " << extreme;
        for (size_t i = 1; i + 1 < second.size(); ++i)
          ASSERT_LT(second[i], 0x80) << "byte " << i << " value " << extreme;
        for (int i : {42, 43, 44, 45, 80})
          EXPECT_EQ(second[size_t(i)], 0);
        for (int i = 51; i <= 64; ++i)
          EXPECT_EQ(second[size_t(i)], 0);
        for (int i = 84; i <= 96; ++i)
          EXPECT_EQ(second[size_t(i)], 0);
      }
  }
}

// Written from the byte maps: every parameter 0 except those set below, part 3, device id 9.
TEST(ProgramDump, GoldenMessages)
{
  DumpTestPlug plug;
  const int part = 3;
  plug.ParameterAt(kPatchName + part)->AddValueText(0, "Golden\x01Pad");
  plug.Set(kOscillator1Octave + part, 3);
  plug.Set(kFilterCutoff + part, 100);
  plug.Set(kEnvelopeTriggering + part, 5);
  plug.Set(kArpNoteOrdering + part, 1);
  plug.Set(kArpFillIn + part, 1);
  plug.Set(kProgramPolyphony + part, 1);
  plug.Set(kUnisonSwitch + part, 1);
  plug.Set(kFXPassToFXConfig + part, 2);
  plug.Set(kFXChorusType + part, 4);
  plug.Set(kVocoderWidth, 31); // held once, at the base index
  plug.Set(kArpGateMenu + part, 2);
  plug.Set(kFilterWidth + part, 5);
  plug.Set(kDCOVCOMode + part, 1);
  plug.Set(kArpMuteStatus + part, 1);
  plug.Set(kArpSpeed + part, 99); // never written
  plug.Set(kArpOctaveRange + part, 2);
  plug.Set(kFXReverbRoom + part, 9);
  plug.Set(kFXReverbEarlyRef + part, 6);
  plug.Set(kLFO2Slew + part, 77);
  plug.Set(kFilterWidthSpecial + part, 42);
  plug.Set(kKeyboardTranspose + part, 3);
  plug.Set(kLFO1DelayMode + part, 1);
  plug.Set(kFXBypass + part, 1);

  Bytes main(296, 0);
  const Bytes head{0xF0, 0x00, 0x20, 0x29, 0x01, 0x22, 0x09, 0x00, 0x03, 'G', 'o', 'l', 'd',
                   'e',  'n',  ' ',  'P',  'a',  'd',  ' ',  ' ',  ' ',  ' ', ' ', ' '};
  std::copy(head.begin(), head.end(), main.begin());
  const std::pair<int, int> bytes[] = {
      {29, 0x30}, {32, 33},  {33, 45},   {35, 52},   {65, 10},  {66, 35},    {67, 70},    {69, 52},
      {78, 0x7F}, {99, 20},  {100, 40},  {101, 95},  {103, 52}, {112, 0x7F}, {170, 16},   {177, 24},
      {178, 124}, {180, 20}, {187, 26},  {188, 126}, {189, 28}, {190, 31},   {216, 3},    {218, 13},
      {220, 100}, {241, 42}, {242, 120}, {243, 122}, {244, 39}, {247, 0x62}, {248, 0x38}, {249, 76},
      {251, 86},  {252, 74}, {253, 125}, {254, 81},  {255, 3},  {257, 79},   {258, 1},    {259, 72},
      {260, 92},  {261, 1},  {262, 126}, {273, 55},  {278, 78}, {284, 99},   {290, 96},   {295, 0xF7}};
  for (const auto& [at, value] : bytes)
    main[size_t(at)] = uint8_t(value);
  const Bytes built = BuildProgramDump(plug, part, {1, 9});
  EXPECT_EQ(built, main) << ByteDifferences(built, main);

  Bytes second(98, 0);
  const Bytes head2{0xF0, 0x00, 0x20, 0x29, 0x01, 0x22, 0x09, 0x1E, 0x03};
  std::copy(head2.begin(), head2.end(), second.begin());
  const std::pair<int, int> bytes2[] = {{10, 77}, {16, 42}, {18, 64}, {41, 1},
                                        {50, 1},  {65, 1},  {66, 2},  {97, 0xF7}};
  for (const auto& [at, value] : bytes2)
    second[size_t(at)] = uint8_t(value);
  const Bytes built2 = BuildProgramDumpB(plug, part, {1, 9});
  EXPECT_EQ(built2, second) << ByteDifferences(built2, second);
}

TEST(ProgramDump, SectionLocksKeepTheirGroupsOnly)
{
  const std::pair<int, std::vector<int>> osc1Bytes{
      kSectionLockOsc1, {31, 32, 33, 34, 35, 36, 37, 42, 43, 44, 45, 50, 51, 56, 57, 62, 63, 64}};
  DumpTestPlug plug;
  std::mt19937 random(3);
  const int part = 2;
  Bytes main = RandomMainMessage(random, part);
  // Every data byte off by one from what the parameters will hold, so any change shows.
  for (double lockValue : {1.0, 0.5})
  {
    plug.Randomise(random, ProgramTables());
    const Bytes before = BuildProgramDump(plug, part, {0, 15});
    Bytes other = before;
    for (int i = 25; i < 295; ++i)
      if (i != 29 && i != 78 && i != 112 && i != 248 && i < 246)
        other[size_t(i)] = uint8_t((before[size_t(i)] + 1) & 0x7F);
    plug.Set(kSectionLockOsc1 + part, lockValue);
    ASSERT_TRUE(ParseProgramDump(plug, other.data(), other.size(), kContext).Taken());
    plug.Set(kSectionLockOsc1 + part, 0);
    const Bytes after = BuildProgramDump(plug, part, {0, 15});
    const std::set<int> guarded(osc1Bytes.second.begin(), osc1Bytes.second.end());
    for (int i = 25; i < 246; ++i)
    {
      if (i == 29 || i == 78 || i == 112) continue;
      const bool kept = lockValue == 1.0 && guarded.count(i);
      EXPECT_EQ(after[size_t(i)], kept ? before[size_t(i)] : other[size_t(i)])
          << "byte " << i << " lock " << lockValue;
    }
  }

  // Each group's switch keeps exactly the rows the map gives it; the other parts are untouched.
  for (const DumpField& field : ProgramDumpFields())
  {
    if (field.lock == DumpLock::None || !FieldDomain(field).drives) continue;
    DumpTestPlug fresh;
    fresh.Randomise(random, ProgramTables());
    const int index = FieldIndex(field, part);
    const double kept = fresh.Value(index);
    Bytes message = RandomMainMessage(random, part);
    fresh.Set(DumpLockParameter(field.lock, part), 1.0);
    ParseProgramDump(fresh, message.data(), message.size(), kContext);
    EXPECT_EQ(fresh.Value(index), kept) << "byte " << field.at;
  }
}

TEST(ProgramDump, SpecialBytes)
{
  DumpTestPlug plug;
  std::mt19937 random(8);
  const int part = 6;
  Bytes main = RandomMainMessage(random, part);

  auto parse = [&] { ASSERT_TRUE(ParseProgramDump(plug, main.data(), main.size(), kContext).Taken()); };
  main[244] = 39; // v = 5: envelopes 1 and 3
  parse();
  EXPECT_EQ(plug.Value(kEnvelopeTriggering + part), 5);
  EXPECT_EQ(plug.Value(kEnvelope1Triggering + part), 1);
  EXPECT_EQ(plug.Value(kEnvelope2Triggering + part), 0);
  EXPECT_EQ(plug.Value(kEnvelope3Triggering + part), 1);
  for (int b : {34 + 7, 34 + 20, 20})
  {
    main[244] = uint8_t(b); // 7 and values outside 0 - 7 keep all three on
    parse();
    EXPECT_EQ(plug.Value(kEnvelope1Triggering + part) + plug.Value(kEnvelope2Triggering + part) +
                  plug.Value(kEnvelope3Triggering + part),
              3)
        << b;
  }

  main[253] = 125;
  parse();
  EXPECT_EQ(plug.Value(kArpNoteOrdering + part), 1);
  EXPECT_EQ(plug.Value(kArpFillIn + part), 1);
  main[253] = 126;
  parse();
  EXPECT_EQ(plug.Value(kArpNoteOrdering + part), 2);
  EXPECT_EQ(plug.Value(kArpFillIn + part), 0);
  main[253] = 1; // below 122: ordering kept, fill-in the byte itself
  parse();
  EXPECT_EQ(plug.Value(kArpNoteOrdering + part), 2);
  EXPECT_EQ(plug.Value(kArpFillIn + part), 1);

  main[247] = 0x41;
  parse();
  EXPECT_EQ(plug.Value(kProgramPolyphony + part), 0);
  main[247] = 0x42;
  parse();
  EXPECT_EQ(plug.Value(kProgramPolyphony + part), 1);

  // A received part 5 sets the vocoder at its base index; sending part 5 writes the same values.
  main = RandomMainMessage(random, 5);
  main[25] = 99;
  main[262] = 0x7C; // width 31
  ASSERT_TRUE(ParseProgramDump(plug, main.data(), main.size(), kContext).Taken());
  EXPECT_EQ(plug.Value(kVocoderBalance), 99);
  EXPECT_EQ(plug.Value(kVocoderWidth), 31);
  plug.Set(kVocoderBalance + 5, 3); // the per-part slots are not used
  EXPECT_EQ(BuildProgramDump(plug, 5, {0, 15})[25], 99);
  EXPECT_EQ(BuildProgramDump(plug, 0, {0, 15})[25], 99);

  // Second message: the filter width follows byte 16, the chorus types 3 and 4 byte 66.
  Bytes second = RandomSecondMessage(random, 5, false);
  second[16] = 0x28;
  second[66] = 2;
  ASSERT_TRUE(ParseProgramDumpB(plug, second.data(), second.size(), kContext).Taken());
  EXPECT_EQ(plug.Value(kFilterWidthSpecial + 5), 0x28);
  EXPECT_EQ(plug.Value(kFilterWidth + 5), 5);
  EXPECT_EQ(plug.Value(kFXChorusType + 5), 4);
  EXPECT_EQ(plug.Value(kFXChorusType2 + 5), 2);
}

TEST(ProgramDump, NamesAreWrittenPaddedAndReadAsTheyStand)
{
  DumpTestPlug plug;
  auto nameBytes = [&](const char* name)
  {
    plug.ParameterAt(kPatchName + 1)->AddValueText(0, name);
    const Bytes m = BuildProgramDump(plug, 1, {0, 15});
    return std::string(m.begin() + 9, m.begin() + 25);
  };
  EXPECT_EQ(nameBytes("Pad"), "Pad             ");
  EXPECT_EQ(nameBytes("Twenty Characters!!!"), "Twenty Character");
  EXPECT_EQ(nameBytes("Tab\there"), "Tab here        ");
  EXPECT_EQ(nameBytes("Caf\xc3\xa9"), "Caf??           ");
  EXPECT_EQ(nameBytes(""), std::string(16, ' '));

  Bytes m = BuildProgramDump(plug, 1, {0, 15});
  const std::string received = "Lead\x05  Trail    ";
  std::copy(received.begin(), received.end(), m.begin() + 9);
  const DumpResult r = ParseProgramDump(plug, m.data(), m.size(), kContext);
  EXPECT_EQ(r.name, received);
  EXPECT_EQ(std::string(plug.ParameterAt(kPatchName + 1)->ValueText(0)), received);
}

TEST(ProgramDump, RefusesWhatIsNotAWholeProgramWithoutReadingPastIt)
{
  DumpTestPlug plug;
  std::mt19937 random(21);
  plug.Randomise(random, ProgramTables());
  const Bytes untouched = BuildProgramDump(plug, 4, {0, 15});
  Bytes main = RandomMainMessage(random, 4);

  auto unchanged = [&] { return BuildProgramDump(plug, 4, {0, 15}) == untouched; };
  // Byte 8 beyond the parts, a memory-form program, a message of another maker.
  for (auto change : {std::pair<int, int>{8, 8}, {7, 0x02}, {2, 0x21}, {1, 0x7E}})
  {
    Bytes other = main;
    other[size_t(change.first)] = uint8_t(change.second);
    if (change.second == 0x02) other.push_back(0xF7);
    const DumpResult r = ParseProgramDump(plug, other.data(), other.size(), kContext);
    EXPECT_EQ(r.status, DumpStatus::NotThisType) << change.first;
    EXPECT_TRUE(r.statusText.empty());
    EXPECT_TRUE(unchanged());
  }
  // Cut short at every length: refused with a text once the type shows, never read past.
  for (size_t n = 0; n < 296; ++n)
  {
    const Bytes cut(main.begin(), main.begin() + long(n));
    const DumpResult r = ParseProgramDump(plug, cut.data(), cut.size(), kContext);
    EXPECT_FALSE(r.Taken()) << n;
    EXPECT_EQ(r.status == DumpStatus::Refused, n >= 9) << n;
    EXPECT_EQ(r.statusText.empty(), n < 9) << n;
    EXPECT_TRUE(unchanged());
    const Bytes cut2(main.begin(), main.begin() + long(std::min<size_t>(n, 97)));
    EXPECT_FALSE(ParseProgramDumpB(plug, cut2.data(), cut2.size(), kContext).Taken());
  }
  EXPECT_EQ(ParseProgramDump(plug, nullptr, 0, kContext).status, DumpStatus::NotThisType);

  // A longer message is read; its extra bytes are not.
  Bytes longer = main;
  longer.insert(longer.end() - 1, 40, 0x55);
  ASSERT_TRUE(ParseProgramDump(plug, longer.data(), longer.size(), kContext).Taken());
  EXPECT_EQ(BuildProgramDump(plug, 4, {0, 15}), main);
}

TEST(ProgramDump, StatusTextsAndTheEditorFollowTheSelectedPart)
{
  DumpTestPlug plug;
  auto* editor = new RecordingEditor;
  plug.AttachEditor(editor);
  editor->syncs.clear();
  const std::vector<std::string> categories{"None", "Bass", "Lead", "Pad"};
  std::mt19937 random(4);
  Bytes main = RandomMainMessage(random, 2);
  main[26] = 3;
  std::copy_n("Warm Pad        ", 16, main.begin() + 9);
  plug.ParameterAt(kPatchName + 0)->AddValueText(0, "Other");

  DumpContext context{2, false, &categories};
  DumpResult r = ParseProgramDump(plug, main.data(), main.size(), context);
  EXPECT_EQ(r.part, 2);
  EXPECT_TRUE(r.showsSelectedPart);
  EXPECT_EQ(r.infoText, "Pad");
  EXPECT_EQ(r.progressText, "Warm Pad        ");
  // Every parameter read was handed to the editor, normalised, so its controls move.
  bool cutoff = false;
  for (const auto& s : editor->syncs)
    if (s.index == kFilterCutoff + 2)
    {
      cutoff = true;
      EXPECT_TRUE(s.normalised);
      EXPECT_DOUBLE_EQ(s.value, plug.ParameterAt(kFilterCutoff + 2)->NormalisedValue());
    }
  EXPECT_TRUE(cutoff);

  context.selectedPart = 0; // another part shows: its name, no category
  r = ParseProgramDump(plug, main.data(), main.size(), context);
  EXPECT_FALSE(r.showsSelectedPart);
  EXPECT_EQ(r.progressText, "Other");
  EXPECT_TRUE(r.infoText.empty());

  main[26] = 9; // a category the list does not have
  context.selectedPart = 2;
  r = ParseProgramDump(plug, main.data(), main.size(), context);
  EXPECT_TRUE(r.infoText.empty());
  r = ParseProgramDump(plug, main.data(), main.size(), DumpContext{2, false, nullptr});
  EXPECT_TRUE(r.infoText.empty());
}
