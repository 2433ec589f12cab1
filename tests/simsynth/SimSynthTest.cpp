// The simulated synthesizer's answers, stores and faults, called directly: byte frames and
// lengths read against the format tables, not against the simulator's own helpers.
#include "platform/clock/VirtualClock.h"
#include "tools/simsynth/SimSynth.h"
#include "tools/simsynth/SimSynthControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace
{
constexpr uint8_t kId = 3;

SimBytes Request(uint8_t type, uint8_t id = kId)
{
  return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, id, type, 0xF7};
}

SimBytes MemoryRequest(uint8_t bankCode, uint8_t slot, uint8_t id = kId)
{
  return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, id, 0x13, bankCode, slot, 0xF7};
}

struct Rig
{
  explicit Rig(uint32_t seed = 11) : synth(kId, seed)
  {
    synth.SetSender([this](const SimBytes& m) { sent.push_back(m); });
  }
  std::vector<SimBytes> Ask(const SimBytes& request)
  {
    sent.clear();
    synth.Receive(request);
    return sent;
  }
  SimSynth synth;
  std::vector<SimBytes> sent;
};

// The frame every answer shares: maker id, fixed byte, model byte, our device id, F7 last, 7-bit data.
void ExpectFrame(const SimBytes& m, uint8_t type, size_t size)
{
  ASSERT_EQ(m.size(), size);
  EXPECT_EQ(m[0], 0xF0);
  EXPECT_EQ(m[1], 0x00);
  EXPECT_EQ(m[2], 0x20);
  EXPECT_EQ(m[3], 0x29);
  EXPECT_EQ(m[4], 0x01);
  EXPECT_EQ(m[5], 0x24);
  EXPECT_EQ(m[6], kId);
  EXPECT_EQ(m[7], type);
  EXPECT_EQ(m.back(), 0xF7);
  EXPECT_TRUE(std::none_of(m.begin() + 1, m.end() - 1, [](uint8_t b) { return b & 0x80; }));
}

bool LogHas(const SimSynth& synth, const std::string& text)
{
  const auto log = synth.Log();
  return std::any_of(log.begin(), log.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}
} // namespace

TEST(SimSynth, AnswersEachRequestWithTheFramesAndLengthsOfItsKind)
{
  Rig rig;
  auto globals = rig.Ask(Request(0x10));
  ASSERT_EQ(globals.size(), 2u);
  ExpectFrame(globals[0], 0x0F, 281);
  ExpectFrame(globals[1], 0x15, 297);

  auto program = rig.Ask(MemoryRequest(5 + 7, 127));
  ASSERT_EQ(program.size(), 2u);
  ExpectFrame(program[0], 0x02, 297);
  ExpectFrame(program[1], 0x1F, 99);
  for (const SimBytes& m : program)
  {
    EXPECT_EQ(m[8], 12);
    EXPECT_EQ(m[9], 127);
  }

  auto performance = rig.Ask(MemoryRequest(1, 0));
  ASSERT_EQ(performance.size(), 3u);
  ExpectFrame(performance[0], 0x07, 383);
  ExpectFrame(performance[1], 0x1C, 27);
  ExpectFrame(performance[2], 0x21, 475);
  for (const SimBytes& m : performance)
  {
    EXPECT_EQ(m[8], 1);
    EXPECT_EQ(m[9], 0);
  }

  rig.synth.SetSelectedPart(5);
  auto edit = rig.Ask(Request(0x08));
  ASSERT_EQ(edit.size(), 2u);
  ExpectFrame(edit[0], 0x00, 296);
  ExpectFrame(edit[1], 0x1E, 98);
  EXPECT_EQ(edit[0][8], 5);
  EXPECT_EQ(edit[1][8], 5);

  // A performance: the eight part programs in order, then common, vocoder and the parts message last.
  rig.synth.SetMode(SimSynth::Mode::Performance);
  auto whole = rig.Ask(Request(0x08));
  ASSERT_EQ(whole.size(), 19u);
  for (uint8_t p = 0; p < 8; ++p)
  {
    ExpectFrame(whole[2 * p], 0x00, 296);
    ExpectFrame(whole[2 * p + 1], 0x1E, 98);
    EXPECT_EQ(whole[2 * p][8], p);
    EXPECT_EQ(whole[2 * p + 1][8], p);
  }
  ExpectFrame(whole[16], 0x05, 381);
  ExpectFrame(whole[17], 0x1B, 25);
  ExpectFrame(whole[18], 0x20, 473);
  EXPECT_LE(whole[16][26], 7) << "the selected part of a performance is a part";
}

TEST(SimSynth, AnswersOnlyWellFormedRequestsForItsOwnDeviceId)
{
  Rig rig;
  EXPECT_TRUE(rig.Ask(Request(0x10, 4)).empty());
  EXPECT_TRUE(LogHas(rig.synth, "NOTE ignored: device id 4"));
  EXPECT_TRUE(rig.Ask(MemoryRequest(5, 0, 15)).empty());
  EXPECT_TRUE(rig.Ask(Request(0x08, 0)).empty());

  // Lengths that do not match the type, a foreign maker, a missing F7, bank codes it lacks.
  SimBytes longer = Request(0x10);
  longer.insert(longer.end() - 1, 0x00);
  EXPECT_TRUE(rig.Ask(longer).empty());
  EXPECT_TRUE(LogHas(rig.synth, "refused: 10 bytes for type 16"));
  SimBytes cut = MemoryRequest(5, 0);
  cut.erase(cut.end() - 2);
  EXPECT_TRUE(rig.Ask(cut).empty());
  SimBytes foreign = Request(0x10);
  foreign[3] = 0x28;
  EXPECT_TRUE(rig.Ask(foreign).empty());
  SimBytes unterminated = Request(0x10);
  unterminated.back() = 0x00;
  EXPECT_TRUE(rig.Ask(unterminated).empty());
  SimBytes highBit = MemoryRequest(5, 0);
  highBit[9] = 0x80;
  EXPECT_TRUE(rig.Ask(highBit).empty());
  EXPECT_TRUE(rig.Ask(MemoryRequest(0, 0)).empty());
  EXPECT_TRUE(rig.Ask(MemoryRequest(13, 0)).empty());
  EXPECT_TRUE(rig.Ask({0xB0, 0x07, 0x40}).empty());
  EXPECT_TRUE(rig.Ask({}).empty());

  // Every message is logged, answered or not.
  EXPECT_EQ(rig.synth.Received(), 12u);
  EXPECT_EQ(rig.Ask(Request(0x10)).size(), 2u);
  const auto log = rig.synth.Log();
  EXPECT_EQ(log[log.size() - 3], "IN F0 00 20 29 01 24 03 10 F7");
  EXPECT_EQ(log[log.size() - 2].substr(0, 27), "OUT F0 00 20 29 01 24 03 0F");
}

TEST(SimSynth, GeneratedDataIsValidAndFollowsTheSeed)
{
  Rig a(1), b(1), c(2);
  EXPECT_EQ(a.synth.SlotMessages(9, 64), b.synth.SlotMessages(9, 64));
  EXPECT_EQ(a.synth.Globals(), b.synth.Globals());
  EXPECT_NE(a.synth.SlotMessages(9, 64), c.synth.SlotMessages(9, 64));

  std::set<SimBytes> distinct;
  for (int code = 1; code <= 12; ++code)
    for (int slot = 0; slot < 128; ++slot)
    {
      const auto slotMessages = a.synth.SlotMessages(code, slot);
      ASSERT_EQ(slotMessages.size(), code >= 5 ? 2u : 3u);
      for (const SimBytes& m : slotMessages)
      {
        ASSERT_TRUE(SimSysEx::WellFormed(m));
        ASSERT_EQ(m[8], code);
        ASSERT_EQ(m[9], slot);
      }
      const SimBytes& first = slotMessages[0];
      // Names: sixteen printable characters from byte 10.
      for (size_t i = 10; i < 26; ++i)
        ASSERT_TRUE(first[i] >= 0x20 && first[i] < 0x7F);
      if (code >= 5)
      {
        // Program memory form: edit bytes shifted by one; the fixed bytes 29, 78, 112, 248 of the edit form.
        EXPECT_EQ(first[30], 0x30);
        EXPECT_EQ(first[79], 0x7F);
        EXPECT_EQ(first[113], 0x7F);
        EXPECT_EQ(first[249], 0x38);
        EXPECT_TRUE(first[248] & 0x40) << "bit 6 of the unison byte is always set";
        EXPECT_NE(first[248] & 0x03, 0) << "polyphony + 1";
        EXPECT_GE(first[254], 122) << "note ordering and fill-in ride on 122";
        EXPECT_GE(first[285], 32);
        for (size_t i : {43, 44, 45, 46, 52, 65, 81, 85, 97})
          EXPECT_EQ(slotMessages[1][i], 0) << "second program message byte " << i - 1;
      }
      else
      {
        // Performance memory form: the sustain codes of each part are codes of the table.
        static const std::set<uint8_t> codes{77, 78, 79, 126, 80, 81, 82, 127, 4, 5, 6, 7, 8, 83};
        for (size_t p = 0; p < 8; ++p)
          EXPECT_TRUE(codes.count(first[30 + 44 * p + 4])) << "part " << p;
        EXPECT_GE(slotMessages[1][11], 18);
        EXPECT_GE(slotMessages[1][13], 111);
      }
      distinct.insert(first);
    }
  EXPECT_EQ(distinct.size(), 12u * 128u) << "every slot holds its own data";
}

TEST(SimSynth, StoresTheDumpsItReceivesAndAnswersWithThem)
{
  Rig rig;
  // A program written into bank code 6 slot 9 by an editor that stamped another model byte.
  SimBytes program = rig.synth.SlotMessages(7, 1)[0];
  SimBytes programB = rig.synth.SlotMessages(7, 1)[1];
  for (SimBytes* m : {&program, &programB})
  {
    (*m)[5] = 0x23;
    (*m)[8] = 6;
    (*m)[9] = 9;
  }
  program[12] = 'Z';
  EXPECT_NE(rig.synth.SlotMessages(6, 9)[0], program);
  EXPECT_TRUE(rig.Ask(program).empty());
  EXPECT_TRUE(rig.Ask(programB).empty());
  auto back = rig.Ask(MemoryRequest(6, 9));
  ASSERT_EQ(back.size(), 2u);
  program[5] = programB[5] = 0x24; // answered with its own model byte
  EXPECT_EQ(back[0], program);
  EXPECT_EQ(back[1], programB);
  EXPECT_TRUE(LogHas(rig.synth, "stored: program bank code 6 slot 9"));

  // A performance slot, message by message.
  auto perf = rig.synth.SlotMessages(2, 40);
  for (SimBytes& m : perf)
  {
    m[8] = 4;
    m[9] = 0;
    EXPECT_TRUE(rig.Ask(m).empty());
  }
  EXPECT_EQ(rig.Ask(MemoryRequest(4, 0)), perf);

  // A part's edit buffer, then an edit-buffer request for that part.
  SimBytes edit = rig.synth.PartProgram(1)[0];
  edit[8] = 6;
  edit[20] = 0x11;
  rig.Ask(edit);
  rig.synth.SetSelectedPart(6);
  EXPECT_EQ(rig.Ask(Request(0x08))[0], edit);

  // The global settings.
  SimBytes global = rig.synth.Globals()[1];
  global[25] ^= 1;
  rig.Ask(global);
  EXPECT_EQ(rig.Ask(Request(0x10))[1], global);

  // Refused: a cut message, a program into a performance bank, a program for part 8; nothing changes.
  const auto before = rig.synth.SlotMessages(6, 9);
  SimBytes cut = before[0];
  cut[20] = 0x01;
  cut.erase(cut.end() - 2);
  rig.Ask(cut);
  SimBytes wrongBank = before[0];
  wrongBank[8] = 3;
  rig.Ask(wrongBank);
  SimBytes part8 = edit;
  part8[8] = 8;
  rig.Ask(part8);
  EXPECT_EQ(rig.synth.SlotMessages(6, 9), before);
  EXPECT_EQ(rig.synth.PartProgram(6)[0], edit);
  EXPECT_TRUE(LogHas(rig.synth, "refused: program for bank code 3"));
  EXPECT_TRUE(LogHas(rig.synth, "refused: program for part 8"));

  // Every store counted once where it went; requests, refusals and answers write nothing.
  const SimSynthWrites writes = rig.synth.Writes();
  EXPECT_EQ(writes.programMemory, 2u);
  EXPECT_EQ(writes.performanceMemory, perf.size());
  EXPECT_EQ(writes.programEdit, 1u);
  EXPECT_EQ(writes.performanceEdit, 0u);
  EXPECT_EQ(writes.globals, 1u);
  EXPECT_EQ(writes.Total(), 4u + perf.size());
}

TEST(SimSynth, FaultSwitches)
{
  Rig rig;
  const auto expected = rig.synth.SlotMessages(5, 10);

  SimSynthFaults faults;
  faults.silent = true;
  rig.synth.SetFaults(faults);
  EXPECT_TRUE(rig.Ask(MemoryRequest(5, 10)).empty());
  EXPECT_TRUE(LogHas(rig.synth, "NOTE silent: 2 answer(s) not sent"));
  // Silent still stores.
  SimBytes stored = expected[0];
  stored[9] = 11;
  stored[15] = 'Q';
  rig.Ask(stored);
  faults.silent = false;
  rig.synth.SetFaults(faults);
  EXPECT_EQ(rig.Ask(MemoryRequest(5, 11))[0], stored);

  faults.missingBankCode = 5;
  faults.missingSlot = 10;
  rig.synth.SetFaults(faults);
  EXPECT_TRUE(rig.Ask(MemoryRequest(5, 10)).empty());
  EXPECT_EQ(rig.Ask(MemoryRequest(5, 9)).size(), 2u);
  EXPECT_EQ(rig.Ask(MemoryRequest(6, 10)).size(), 2u);
  faults.missingBankCode = faults.missingSlot = -1;

  faults.wrongPartByte = true;
  rig.synth.SetFaults(faults);
  rig.synth.SetSelectedPart(7);
  auto wrong = rig.Ask(Request(0x08));
  ASSERT_EQ(wrong.size(), 2u);
  EXPECT_EQ(wrong[0][8], 0);
  EXPECT_EQ(wrong[1][8], 0);
  EXPECT_EQ(rig.Ask(MemoryRequest(5, 10)), expected) << "memory answers keep their bank and slot";
  faults.wrongPartByte = false;

  faults.malformedLengths = true;
  rig.synth.SetFaults(faults);
  auto shortAnswers = rig.Ask(MemoryRequest(5, 10));
  ASSERT_EQ(shortAnswers.size(), 2u);
  EXPECT_EQ(shortAnswers[0].size(), 296u);
  EXPECT_EQ(shortAnswers[1].size(), 98u);
  EXPECT_EQ(shortAnswers[0].back(), 0xF7);
  EXPECT_EQ(SimBytes(shortAnswers[0].begin(), shortAnswers[0].end() - 1),
            SimBytes(expected[0].begin(), expected[0].end() - 2));
}

// The faults of a cable: answers in pieces at its pace, one slot lost a number of times, a data byte
// turned to 0x85, and a message that never ends.
TEST(SimSynth, CableFaults)
{
  Rig rig;
  VirtualClock clock;
  clock.SetAutoAdvance(true);
  rig.synth.SetClock(&clock);
  const std::vector<SimBytes> whole = rig.Ask(MemoryRequest(5, 10));
  ASSERT_EQ(whole.size(), 2u);

  SimSynthFaults faults = rig.synth.Faults();
  faults.cableBytesPerSecond = 3125;
  rig.synth.SetFaults(faults);
  const int64_t start = clock.NowMs();
  const std::vector<SimBytes> pieces = rig.Ask(MemoryRequest(5, 10));
  EXPECT_NEAR(double(clock.NowMs() - start), (297 + 99) * 1000.0 / 3125, 3.0); // at 3,125 bytes/s
  SimBytes joined;
  for (const SimBytes& p : pieces)
  {
    EXPECT_GE(p.size(), 4u);
    EXPECT_LE(p.size(), 19u);
    joined.insert(joined.end(), p.begin(), p.end());
  }
  EXPECT_EQ(pieces[0].size(), 16u);
  SimBytes expected = whole[0];
  expected.insert(expected.end(), whole[1].begin(), whole[1].end());
  EXPECT_EQ(joined, expected);
  faults.cableBytesPerSecond = 0;

  faults.missingBankCode = 5;
  faults.missingSlot = 10;
  faults.missingTimes = 2;
  rig.synth.SetFaults(faults);
  EXPECT_TRUE(rig.Ask(MemoryRequest(5, 10)).empty());
  EXPECT_TRUE(rig.Ask(MemoryRequest(5, 10)).empty());
  EXPECT_EQ(rig.Ask(MemoryRequest(5, 10)), whole);
  EXPECT_EQ(rig.Ask(MemoryRequest(5, 10)), whole);

  faults = rig.synth.Faults();
  faults.corruptNext = 1;
  rig.synth.SetFaults(faults);
  const std::vector<SimBytes> corrupt = rig.Ask(MemoryRequest(5, 10));
  ASSERT_EQ(corrupt.size(), 2u);
  EXPECT_EQ(corrupt[0][20], 0x85);
  SimBytes repaired = corrupt[0];
  repaired[20] = whole[0][20];
  EXPECT_EQ(repaired, whole[0]);
  EXPECT_EQ(corrupt[1], whole[1]);
  EXPECT_EQ(rig.Ask(MemoryRequest(5, 10)), whole) << "only the next message";

  rig.sent.clear();
  rig.synth.SendUnterminated(20000);
  SimBytes garbage;
  for (const SimBytes& p : rig.sent)
    garbage.insert(garbage.end(), p.begin(), p.end());
  ASSERT_EQ(garbage.size(), 20001u);
  EXPECT_EQ(garbage[0], 0xF0);
  EXPECT_TRUE(std::none_of(garbage.begin() + 1, garbage.end(), [](uint8_t b) { return b & 0x80; }));
}

TEST(SimSynth, ControlLines)
{
  SimSynth synth(kId, 5);
  std::ostringstream out;
  auto run = [&](const std::string& line)
  {
    out.str("");
    const bool more = SimSynthControl(synth, line, out);
    EXPECT_EQ(more, line != "QUIT") << line;
    return out.str();
  };
  EXPECT_EQ(run("SILENT 1"), "OK\n");
  EXPECT_TRUE(synth.Faults().silent);
  EXPECT_EQ(run("SILENT 0"), "OK\n");
  EXPECT_FALSE(synth.Faults().silent);
  EXPECT_EQ(run("SLOW 250"), "OK\n");
  EXPECT_EQ(synth.Faults().slowMs, 250);
  EXPECT_EQ(run("MISSING 7 100"), "OK\n");
  EXPECT_EQ(synth.Faults().missingBankCode, 7);
  EXPECT_EQ(synth.Faults().missingSlot, 100);
  EXPECT_EQ(synth.Faults().missingTimes, -1);
  EXPECT_EQ(run("MISSING 7 100 2"), "OK\n");
  EXPECT_EQ(synth.Faults().missingTimes, 2);
  EXPECT_EQ(run("MISSING OFF"), "OK\n");
  EXPECT_EQ(synth.Faults().missingSlot, -1);
  EXPECT_EQ(run("CABLE 3125"), "OK\n");
  EXPECT_EQ(synth.Faults().cableBytesPerSecond, 3125);
  EXPECT_EQ(synth.Faults().cablePieceBytes, 16);
  EXPECT_EQ(run("CABLE 0"), "OK\n");
  EXPECT_EQ(synth.Faults().cableBytesPerSecond, 0);
  EXPECT_EQ(run("CORRUPT 1"), "OK\n");
  EXPECT_EQ(synth.Faults().corruptNext, 1);
  EXPECT_EQ(run("CORRUPT 0"), "OK\n");
  EXPECT_EQ(run("WRONGPART 1"), "OK\n");
  EXPECT_EQ(run("MALFORMED 1"), "OK\n");
  EXPECT_TRUE(synth.Faults().wrongPartByte && synth.Faults().malformedLengths);
  EXPECT_EQ(run("MODE PERFORMANCE"), "OK\n");
  EXPECT_EQ(synth.GetMode(), SimSynth::Mode::Performance);

  // Malformed lines change nothing.
  const SimSynthFaults before = synth.Faults();
  for (const char* bad : {"SILENT 2", "SILENT", "SLOW -1", "SLOW 99999999999", "MISSING 13 0", "MISSING 5",
                          "MISSING 5 128", "MISSING 5 1 0", "CABLE", "CABLE 3125 2", "CORRUPT x", "GARBAGE",
                          "MODE MULTI", "PART 8", "BANK 0", "BANK x", "HELLO", ""})
    EXPECT_EQ(run(bad).substr(0, 6), "ERROR ") << bad;
  EXPECT_EQ(synth.Faults().slowMs, before.slowMs);
  EXPECT_EQ(synth.Faults().missingBankCode, -1);
  EXPECT_EQ(synth.GetMode(), SimSynth::Mode::Performance);

  // BANK lists every message of the 128 slots, as sent, then END.
  std::istringstream bank(run("BANK 2"));
  std::string line;
  int lines = 0;
  while (std::getline(bank, line) && line != "END")
  {
    const int slot = lines / 3;
    EXPECT_EQ(line,
              "SLOT " + std::to_string(slot) + " " + SimHex(synth.SlotMessages(2, slot)[size_t(lines % 3)]));
    ++lines;
  }
  EXPECT_EQ(lines, 3 * 128);
  EXPECT_EQ(line, "END");

  EXPECT_EQ(run("SLOW 0"), "OK\n");
  EXPECT_EQ(synth.Faults().slowMs, 0);
  EXPECT_EQ(run("SILENT 0"), "OK\n");
  EXPECT_EQ(run("MALFORMED 0"), "OK\n");
  synth.Receive(Request(0x10));
  const std::string log = run("LOG");
  ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 4);
  EXPECT_EQ(log.substr(0, 30), "IN F0 00 20 29 01 24 03 10 F7\n");
  EXPECT_EQ(log.substr(30, 28), "OUT F0 00 20 29 01 24 03 0F ");
  EXPECT_EQ(log.substr(log.size() - 4), "END\n");

  // SEND puts a channel message of its own on the wire and logs it.
  std::vector<SimBytes> sent;
  synth.SetSender([&](const SimBytes& m) { sent.push_back(m); });
  EXPECT_EQ(run("SEND B2 0B 40"), "OK\n");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (SimBytes{0xB2, 0x0B, 0x40}));
  EXPECT_EQ(synth.Log().back(), "OUT B2 0B 40");
  for (const char* bad : {"SEND", "SEND 0B 40", "SEND B2 80", "SEND B2 0B 40 01", "SEND F0 01", "SEND B2 G0",
                          "SEND F0 00 80 F7", "SEND F0 00 20 F7 F7"})
    EXPECT_EQ(run(bad).substr(0, 6), "ERROR ") << bad;
  EXPECT_EQ(sent.size(), 1u);
  // ... or a whole SysEx message, as another device on the cable would send one.
  EXPECT_EQ(run("SEND F0 00 20 29 01 24 05 00 7F F7"), "OK\n");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], (SimBytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x05, 0x00, 0x7F, 0xF7}));
  EXPECT_EQ(synth.Log().back(), "OUT F0 00 20 29 01 24 05 00 7F F7");
  EXPECT_EQ(run("WRITES"),
            "WRITES program-edit 0 performance-edit 0 program-memory 0 performance-memory 0 global 0\n");
  SimBytes global = synth.Globals()[0];
  global[5] = 0x24;
  synth.Receive(global);
  EXPECT_EQ(run("WRITES"),
            "WRITES program-edit 0 performance-edit 0 program-memory 0 performance-memory 0 global 1\n");
  EXPECT_EQ(run("QUIT"), "OK\n");
}

TEST(SimSynth, LogStaysBoundedAndKeepsTheNewest)
{
  SimSynth synth(kId, 1);
  for (int i = 0; i < 60000; ++i)
    synth.Receive({0xB0, uint8_t(i & 0x7F), 0x40});
  auto log = synth.Log();
  EXPECT_LE(log.size(), 100000u);
  EXPECT_GE(log.size(), 50000u);
  EXPECT_EQ(log[log.size() - 2], "IN B0 " + SimHex({uint8_t(59999 & 0x7F)}) + " 40");
  // Large messages: bounded by size too (here 64 KiB each, far fewer than 100000 lines).
  SimBytes big(65536, 0x11);
  big.front() = 0xF0;
  big.back() = 0xF7;
  for (int i = 0; i < 300; ++i)
    synth.Receive(big);
  log = synth.Log();
  size_t bytes = 0;
  for (const std::string& line : log)
    bytes += line.size();
  EXPECT_LE(bytes, size_t(16) << 20);
  EXPECT_EQ(log.back(), "NOTE ignored: not a message of this synthesizer");
  EXPECT_EQ(synth.Received(), 60300u);
}
