// The editor's ways into the transfers, end to end: the built plug-in in the test host, its editor on
// the X display driven through XTest, the simulated synthesizer on the JACK server. The controls and
// menu items are found in the reference editor; what arrived is read from the simulator's log and
// memory. Run under scripts/with-jack scripts/with-xvfb; without them the suite skips.
#include "editor/SettledEdits.h"
#include "editor/TransferRoutes.h"
#include "framework/plugin/ParameterIds.h"
#include "framework/plugin/ParameterRange.h"
#include "librarian/BankEditPopupMenu.h"
#include "librarian/ProgramNumberPopupMenu.h"
#include "link/dumps/GlobalDump.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"
#include "tests/support/EndToEndFixture.h"
#include "tools/simsynth/SimSynth.h"
#include "tools/simsynth/SimSysEx.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
// "IN F0 00 ..." as bytes.
SimBytes LineBytes(const std::string& line)
{
  std::istringstream words(line.substr(line.find(' ') + 1));
  SimBytes bytes;
  for (std::string byte; words >> byte;)
    bytes.push_back(uint8_t(std::stoi(byte, nullptr, 16)));
  return bytes;
}

// The messages the synthesizer heard from `from` on whose bytes start so, in order.
std::vector<SimBytes> HeardStarting(const std::vector<std::string>& log, const std::string& start,
                                    size_t from = 0)
{
  std::vector<SimBytes> out;
  for (size_t i = from; i < log.size(); ++i)
    if (log[i].rfind("IN " + start, 0) == 0) out.push_back(LineBytes(log[i]));
  return out;
}

// Every byte of a global message that carries none of the editor's settings went back as the
// synthesizer sent it (the editor's own settings may be written in their own way).
void ExpectSynthesizersOwnBytes(const SimBytes& sent, const SimBytes& synthesizers)
{
  ASSERT_EQ(sent.size(), synthesizers.size());
  ASSERT_GT(sent.size(), 8u);
  const auto rows = sent[7] == 0x0F ? GlobalDumpAFields() : GlobalDumpBFields();
  size_t compared = 0;
  for (size_t i = 0; i < sent.size(); ++i)
  {
    bool editors = false;
    for (const DumpField& row : rows)
      editors = editors || row.at == i;
    if (editors) continue;
    ++compared;
    EXPECT_EQ(int(sent[i]), int(synthesizers[i])) << "byte " << i << " of global message " << int(sent[7]);
  }
  EXPECT_GT(compared, sent.size() - 30);
}

class RoutesEndToEnd : public EndToEndFixture
{
protected:
  RoutesEndToEnd() { simSeed = 29; }

  // The editor on the display, with a project talking to the simulator at its device id that the
  // handshake has found.
  void SetUp() override
  {
    EndToEndFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(OpenEditor());
    if (IsSkipped()) return;
    RecallTheSimulatorAndConnect();
  }

public:
  std::vector<std::string> Log() { return SimLog(); }

protected:
  bool Heard(const std::string& start) { return !HeardStarting(SimLog(), start).empty(); }

  const IControl* Visible(int param)
  {
    for (const IControl* c : reference->ControlsOf(param))
      if (!c->IsHidden()) return c;
    return nullptr;
  }

  template <class Menu> IRectangle MenuRect()
  {
    const Menu* menu = reference->FirstOfClass<Menu>();
    return menu ? menu->Rect() : IRectangle();
  }

  // The slot's memory-form messages as the simulator holds them in a bank.
  std::vector<SimBytes> SimSlot(int bankCode, int slot)
  {
    std::vector<SimBytes> out;
    const std::string prefix = "SLOT " + std::to_string(slot) + " ";
    for (const std::string& line : SimBank(bankCode))
      if (line.rfind(prefix, 0) == 0) out.push_back(LineBytes(line.substr(prefix.size() - 1)));
    return out;
  }

  // Writes the left pane's bank into the synthesizer's bank (Hardware > Store to Hardware > bank),
  // whose memory messages start with the type and bank code; the write says how many slots it
  // wrote (the empty ones are skipped).
  void StoreLeftBankTo(int bank, int bankCode, const std::string& memoryType, int slots)
  {
    std::vector<const char*> keys{"Down", "Down", "Right"};
    for (int b = 0; b <= bank; ++b)
      keys.push_back("Down");
    keys.push_back("Return");
    char write[40];
    std::snprintf(write, sizeof write, "F0 00 20 29 01 24 03 %s %02X ", memoryType.c_str(), bankCode);
    ASSERT_TRUE(Choose(MenuRect<LeftPatchPopupMenu>(), keys, [&] { return Heard(write); }))
        << "the bank write did not start";
    ASSERT_TRUE(
        WaitForStatus("Data write completed: " + std::to_string(slots) + " of 128 slots written", 60s))
        << "the bank was not written";
  }

  void SelectLeftCell(int index)
  {
    const LibrarianViewControl* view = reference->LibrarianView();
    ASSERT_NE(view, nullptr);
    editor->Click(view->CellRect(0, index));
  }
};
} // namespace

namespace
{
// Where a dump keeps a parameter: the message type, the row, and the offset of its block.
struct Place
{
  uint8_t type = 0;
  const DumpField* row = nullptr;
  size_t block = 0;
};
} // namespace

// Turns the knob of a parameter that no controller or NRPN carries, twice: within a second of
// letting go, the dump that holds it reaches the synthesizer's edit buffer, which then holds the
// knob's value where the dump keeps it.
static void TurnAndExpectInEditBuffer(RoutesEndToEnd& t, EditorOnScreen& editor, vsthost::VstHost& host,
                                      const IControl& knob, int param, const Place& place,
                                      const std::string& stored)
{
  char start[40];
  std::snprintf(start, sizeof start, "IN F0 00 20 29 01 24 03 %02X ", place.type);
  for (int dy : {40, -24})
  {
    const size_t before = t.Log().size();
    editor.Drag(CentreX(knob.Rect()), CentreY(knob.Rect()), dy);
    const auto released = std::chrono::steady_clock::now();
    SimBytes message;
    const bool arrived = editor.PumpUntil(
        [&]
        {
          const std::vector<std::string> log = t.Log();
          for (size_t i = before; i + 1 < log.size(); ++i)
            if (log[i].rfind(start, 0) == 0 && log[i + 1] == "NOTE stored: " + stored)
              message = LineBytes(log[i]);
          return !message.empty();
        },
        10s);
    const auto took = std::chrono::steady_clock::now() - released;
    ASSERT_TRUE(arrived) << "the " << stored << " was not sent after a drag of " << dy;
    EXPECT_LT(took, 1s) << "it arrived only after "
                        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    ProgramChunk now;
    ASSERT_TRUE(now.Parse(host.GetChunk(false)));
    const int value = NearestWhole(now.Value(param)); // a knob between steps is read at the nearest
    const DumpField& row = *place.row;
    const size_t at = place.block + row.at;
    ASSERT_LT(at, message.size());
    EXPECT_EQ(((message[at] - row.bias) >> row.shift) & ((1 << row.width) - 1), value + row.add)
        << "byte " << at << " of the stored message";
  }
}

TEST_F(RoutesEndToEnd, AControlWithoutAMessageReachesTheEditBufferOnceItSettles)
{
  const int param = kOscillator1Keyfollow; // part 1's
  ASSERT_EQ(reference->Plug().Routes()->Settled().CarrierOf(param), SettledEdits::Carrier::kProgram);
  Place place{SimSysEx::kProgramEdit};
  for (const DumpField& field : ProgramDumpFields())
    if (field.param == param && !place.row) place.row = &field;
  ASSERT_NE(place.row, nullptr) << "the program does not hold the parameter";

  ASSERT_NO_FATAL_FAILURE(ShowPage(2));
  const IControl* knob = Visible(param);
  ASSERT_NE(knob, nullptr) << "no control of oscillator 1's key follow on the page";
  TurnAndExpectInEditBuffer(*this, *editor, host, *knob, param, place, "program edit buffer of part 0");
}

TEST_F(RoutesEndToEnd, AMultiModeControlWithoutAMessageReachesThePerformanceOnceItSettles)
{
  const int param = kFXMultiDelaySend; // part 1's, on the mixer strip
  ASSERT_EQ(reference->Plug().Routes()->Settled().CarrierOf(param), SettledEdits::Carrier::kPerformance);
  Place place;
  for (const DumpField& field : PerformancePartsFields())
    if (field.param == param && !place.row)
      place = {SimSysEx::kPerfEditParts, &field, kPerformancePartsBlock};
  for (const DumpField& field : PerformancePartFields())
    if (field.param == param && !place.row) place = {SimSysEx::kPerfEdit, &field, kPerformancePartBlock};
  ASSERT_NE(place.row, nullptr) << "the performance does not hold the parameter";

  ASSERT_NO_FATAL_FAILURE(ShowPage(0));
  const IControl* knob = Visible(param);
  ASSERT_NE(knob, nullptr) << "no control of part 1's delay send on the multi page";
  TurnAndExpectInEditBuffer(*this, *editor, host, *knob, param, place, "performance edit buffer");
}

// The slot menu on the library page: the synthesizer's slot received into the selected slot, the
// editor's program stored into the next, the initial program into the one after and the
// synthesizer's edit buffer into the next; written into a bank of the synthesizer, each arrives as
// it should. The editor's program sent to the edit buffer
// is the stored one in edit form.
TEST_F(RoutesEndToEnd, TheSlotMenuReceivesStoresInitialisesAndSendsThroughTheSynthesizer)
{
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  const IRectangle slotMenu = MenuRect<BankEditPopupMenu>();
  ASSERT_GT(slotMenu.W(), 0) << "no slot menu in the editor";

  // Receive Slot from Hardware > From Bank C, into slot 6.
  ASSERT_NO_FATAL_FAILURE(SelectLeftCell(5));
  ASSERT_TRUE(Choose(slotMenu, {"Up", "Up", "Up", "Up", "Up", "Right", "Down", "Down", "Down", "Return"},
                     [&] { return Heard("F0 00 20 29 01 24 03 13 07 05 F7"); }))
      << "the slot was not requested from bank C";
  ASSERT_TRUE(WaitForStatus("Data request completed!")) << "the slot request did not complete";

  // Store Current Program into Slot, into slot 7; Initialise Slot, slot 8. Neither talks to the
  // synthesizer; the bank written afterwards shows them.
  const auto settleMenu = [&]
  {
    editor->Pump(300ms);
    return true;
  };
  ASSERT_NO_FATAL_FAILURE(SelectLeftCell(6));
  ASSERT_TRUE(Choose(slotMenu, {"Up", "Up", "Up", "Return"}, settleMenu));
  ASSERT_NO_FATAL_FAILURE(SelectLeftCell(7));
  ASSERT_TRUE(Choose(slotMenu, {"Up", "Up", "Return"}, settleMenu));
  // Receive Edit Buffer into Slot, slot 9: the synthesizer's program of part 1.
  ASSERT_NO_FATAL_FAILURE(SelectLeftCell(8));
  size_t asked = SimLog().size();
  ASSERT_TRUE(Choose(
      slotMenu, {"Up", "Up", "Up", "Up", "Return"},
      [&] { return FirstIndexOf(SimLog(), "IN F0 00 20 29 01 24 03 08 F7", asked) < SimLog().size(); }))
      << "the edit buffer was not asked for";
  ASSERT_TRUE(WaitForStatus("Data request completed!")) << "the edit buffer request did not complete";

  // Send Current Program to Hardware: part 1's program in edit form.
  const size_t before = SimLog().size();
  ASSERT_TRUE(Choose(slotMenu, {"Up", "Return"}, [&] { return Heard("F0 00 20 29 01 24 03 1E 00 "); }))
      << "the part's program was not sent";
  const std::vector<std::string> log = SimLog();
  const std::vector<SimBytes> sentMain = HeardStarting(log, "F0 00 20 29 01 24 03 00 00 ", before);
  const std::vector<SimBytes> sentSecond = HeardStarting(log, "F0 00 20 29 01 24 03 1E 00 ", before);
  ASSERT_EQ(sentMain.size(), 1u);
  ASSERT_EQ(sentSecond.size(), 1u);

  ASSERT_NO_FATAL_FAILURE(StoreLeftBankTo(3, 8, "02", 4)); // bank D: slots 6 to 9
  const SimSynth same(3, 29);
  std::vector<SimBytes> received = same.SlotMessages(7, 5);
  ASSERT_EQ(received.size(), 2u);
  for (SimBytes& m : received)
    m[8] = 8;
  EXPECT_EQ(SimSlot(8, 5), received) << "slot 6 is not bank C's slot 6";

  const std::vector<SimBytes> stored = SimSlot(8, 6);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0][9], 6);
  EXPECT_EQ(SimSysEx::ToEdit(stored[0], 0), sentMain[0]) << "the stored program is not the one sent";
  EXPECT_EQ(SimSysEx::ToEdit(stored[1], 0), sentSecond[0]);

  const std::vector<SimBytes> initial = SimSlot(8, 7);
  ASSERT_EQ(initial.size(), 2u);
  EXPECT_EQ(std::string(initial[0].begin() + 10, initial[0].begin() + 26), "Init Program    ");

  const std::vector<SimBytes> editBuffer = SimSlot(8, 8), part = same.PartProgram(0);
  ASSERT_EQ(editBuffer.size(), 2u);
  ASSERT_EQ(part.size(), 2u);
  EXPECT_EQ(SimSysEx::ToEdit(editBuffer[0], 0), part[0]) << "slot 9 is not the synthesizer's part 1";
  EXPECT_EQ(SimSysEx::ToEdit(editBuffer[1], 0), part[1]);
}

// The same in performance mode: a performance received from bank B, the editor's performance stored
// and the initial one, written into performance bank C; the stored one is what the editor sends.
TEST_F(RoutesEndToEnd, ThePerformanceSlotMenuReceivesStoresAndInitialisesThroughTheSynthesizer)
{
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  const IControl* kind = Visible(kDatatype);
  ASSERT_NE(kind, nullptr) << "no switch of the librarian's kind of bank";
  editor->Click(kind->Rect());
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        ProgramChunk now;
        return now.Parse(host.GetChunk(false)) && now.Value(kDatatype) == 1.0;
      },
      10s))
      << "the librarian did not switch to performances";
  const IRectangle slotMenu = MenuRect<BankEditPopupMenu>();

  // Receive Slot from Hardware > From Bank B, into slot 3.
  ASSERT_NO_FATAL_FAILURE(SelectLeftCell(2));
  ASSERT_TRUE(Choose(slotMenu, {"Up", "Up", "Up", "Up", "Up", "Right", "Down", "Down", "Return"},
                     [&] { return Heard("F0 00 20 29 01 24 03 13 02 02 F7"); }))
      << "the performance was not requested from bank B";
  ASSERT_TRUE(WaitForStatus("Data request completed!")) << "the performance request did not complete";
  const auto settleMenu = [&]
  {
    editor->Pump(300ms);
    return true;
  };
  ASSERT_NO_FATAL_FAILURE(SelectLeftCell(3));
  ASSERT_TRUE(Choose(slotMenu, {"Up", "Up", "Up", "Return"}, settleMenu)); // Store Current Performance
  ASSERT_NO_FATAL_FAILURE(SelectLeftCell(4));
  ASSERT_TRUE(Choose(slotMenu, {"Up", "Up", "Return"}, settleMenu)); // Initialise Slot
  ASSERT_NO_FATAL_FAILURE(StoreLeftBankTo(2, 3, "07", 3));           // performance bank C: slots 3 to 5

  const SimSynth same(3, 29);
  std::vector<SimBytes> received = same.SlotMessages(2, 2);
  ASSERT_EQ(received.size(), 3u);
  for (SimBytes& m : received)
    m[8] = 3;
  EXPECT_EQ(SimSlot(3, 2), received) << "slot 3 is not bank B's slot 3";
  const std::vector<SimBytes> initial = SimSlot(3, 4);
  ASSERT_EQ(initial.size(), 3u);
  EXPECT_EQ(std::string(initial[0].begin() + 10, initial[0].begin() + 26), "Init Perf       ");

  // Hardware > Send Current Performance: its three messages are the stored slot's in edit form.
  const std::vector<SimBytes> stored = SimSlot(3, 3);
  ASSERT_EQ(stored.size(), 3u);
  const size_t before = SimLog().size();
  const std::string header = "F0 00 20 29 01 24 03 ";
  ASSERT_TRUE(Choose(MenuRect<LeftPatchPopupMenu>(), {"Up", "Up", "Return"},
                     [&] { return !HeardStarting(SimLog(), header + "0F ", before).empty(); }));
  ASSERT_TRUE(
      editor->PumpUntil([&] { return !HeardStarting(SimLog(), header + "20 ", before).empty(); }, 30s));
  const std::vector<std::string> log = SimLog();
  int i = 0;
  for (const char* type : {"05 ", "1B ", "20 "})
  {
    const std::vector<SimBytes> sent = HeardStarting(log, header + type, before);
    ASSERT_EQ(sent.size(), 1u) << type;
    EXPECT_EQ(SimSysEx::ToEdit(stored[size_t(i++)], 0), sent[0]) << "message " << type;
  }
}

// The left pane's menu sends the whole performance, the global settings and the eight part
// programs first; then the global settings alone. The synthesizer's own global bytes (all but the
// few of the editor's settings) come back as it sent them.
TEST_F(RoutesEndToEnd, ThePerformanceGoesOutWithTheGlobalsAndThePartsFirst)
{
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  const IRectangle menu = MenuRect<LeftPatchPopupMenu>();
  ASSERT_GT(menu.W(), 0);
  const std::string header = "F0 00 20 29 01 24 03 ";
  size_t before = SimLog().size();
  ASSERT_TRUE(Choose(menu, {"Up", "Up", "Return"}, [&] { return Heard(header + "0F "); }))
      << "the performance send did not start";
  ASSERT_TRUE(
      editor->PumpUntil([&] { return !HeardStarting(SimLog(), header + "20 ", before).empty(); }, 30s))
      << "the performance's parts message never came";
  std::vector<int> order;
  for (const SimBytes& m : HeardStarting(SimLog(), header, before))
    order.push_back(m[7] == 0x00 || m[7] == 0x1E ? m[7] * 16 + m[8] : m[7]);
  std::vector<int> expected{0x0F, 0x15};
  for (int part = 0; part < 8; ++part)
    expected.insert(expected.end(), {part, 0x1E * 16 + part});
  expected.insert(expected.end(), {0x05, 0x1B, 0x20});
  EXPECT_EQ(order, expected);

  const SimSynth same(3, 29);
  const std::vector<SimBytes> globals = same.Globals();
  const std::vector<std::string> log = SimLog();
  ASSERT_EQ(HeardStarting(log, header + "0F ", before).size(), 1u);
  ASSERT_EQ(HeardStarting(log, header + "15 ", before).size(), 1u);
  ExpectSynthesizersOwnBytes(HeardStarting(log, header + "0F ", before)[0], globals[0]);
  ExpectSynthesizersOwnBytes(HeardStarting(log, header + "15 ", before)[0], globals[1]);

  // Send Global Settings.
  before = SimLog().size();
  ASSERT_TRUE(Choose(menu, {"Up", "Return"},
                     [&] { return !HeardStarting(SimLog(), header + "15 ", before).empty(); }))
      << "the global settings were not sent";
  const std::vector<std::string> after = SimLog();
  ASSERT_EQ(HeardStarting(after, header, before).size(), 2u) << "more or less than the global settings";
  ExpectSynthesizersOwnBytes(HeardStarting(after, header + "0F ", before).at(0), globals[0]);
  ExpectSynthesizersOwnBytes(HeardStarting(after, header + "15 ", before).at(0), globals[1]);
}

// Choosing a part selects it on the synthesizer; choosing the selected part's program selects it
// there (bank and program change on the part's channel) and then brings it into the editor.
TEST_F(RoutesEndToEnd, ChoosingAPartAndAProgramSelectsThemOnTheSynthesizer)
{
  ASSERT_NO_FATAL_FAILURE(ShowPage(1));
  IRectangle part3;
  ASSERT_TRUE(reference->RadioButton(kQuickTab, 2, part3));
  size_t before = SimLog().size();
  editor->Click(part3);
  // The part-select NRPN on the global channel (3): controller 98 = 113, then controller 6 = 2 + 76.
  ASSERT_TRUE(editor->PumpUntil(
      [&]
      {
        const std::vector<std::string> log = SimLog();
        const size_t select = FirstIndexOf(log, "IN B3 62 71", before);
        return FirstIndexOf(log, "IN B3 06 4E", select) < log.size();
      },
      10s))
      << "part 3 was not selected on the synthesizer";
  editor->Click(reference->RadioButton(kQuickTab, 0, part3) ? part3 : IRectangle());
  ASSERT_TRUE(editor->PumpUntil(
      [&] { return FirstIndexOf(SimLog(), "IN B3 06 4C", before) < SimLog().size(); }, 10s));

  // Program > 001-016 > 006 for part 1.
  ProgramChunk chunk;
  ASSERT_TRUE(chunk.Parse(host.GetChunk(false)));
  int channel = int(chunk.Value(kMultiPartMIDICh));
  if (channel < 0 || channel > 15) channel = 3;
  const int bank = int(chunk.Value(kMultiPartBank));
  char change[16], bankSelect[16];
  std::snprintf(change, sizeof change, "IN C%X 05", channel);
  std::snprintf(bankSelect, sizeof bankSelect, "IN B%X 20 %02X", channel, bank + 5);
  before = SimLog().size();
  ASSERT_TRUE(Choose(MenuRect<ProgramNumberPopupMenu>(),
                     {"Down", "Right", "Down", "Down", "Down", "Down", "Down", "Down", "Return"},
                     [&] { return FirstIndexOf(SimLog(), change, before) < SimLog().size(); }))
      << "the program change did not reach the synthesizer";
  const char* request = "IN F0 00 20 29 01 24 03 08 F7";
  ASSERT_TRUE(
      editor->PumpUntil([&] { return FirstIndexOf(SimLog(), request, before) < SimLog().size(); }, 10s))
      << "the part's new program was not asked for";
  const std::vector<std::string> log = SimLog();
  const size_t select = FirstIndexOf(log, bankSelect, before);
  EXPECT_LT(select, FirstIndexOf(log, change, before)) << "no bank select before the program change";
  EXPECT_LT(FirstIndexOf(log, change, before), FirstIndexOf(log, request, before));
}
